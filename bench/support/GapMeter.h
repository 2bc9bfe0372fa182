// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The longest time the event loop went without running a 5 ms timer, less the
// 5 ms: how long the window would have stood still.
class GapMeter {
public:
    GapMeter()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double longestMs()
    {
        m_timer.stop();
        return std::max(0.0, double(m_longest) / 1e6 - 5);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};
