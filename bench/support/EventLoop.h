// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QApplication>
#include <QElapsedTimer>

// Runs the event loop until `done` answers true, or for `ms` at the most;
// false when the time ran out first.
inline bool runEventsUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
