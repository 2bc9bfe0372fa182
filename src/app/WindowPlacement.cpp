// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

QRect centredInside(const QSize& size, const QRect& over, const QRect& available)
{
    if (available.isEmpty())
        return QRect(over.center() - QPoint(size.width() / 2, size.height() / 2), size);
    const QSize fitted = size.boundedTo(available.size());
    QRect placed(QPoint(0, 0), fitted);
    placed.moveCenter(over.isValid() ? over.center() : available.center());
    placed.moveLeft(
        std::clamp(placed.left(), available.left(), available.right() - fitted.width() + 1));
    placed.moveTop(
        std::clamp(placed.top(), available.top(), available.bottom() - fitted.height() + 1));
    return placed;
}

void placeOver(QWidget* window, const QWidget* owner)
{
    if (!window)
        return;
    window->ensurePolished();
    if (QLayout* layout = window->layout())
        layout->activate();
    const QSize size =
        window->size().expandedTo(window->sizeHint()).expandedTo(window->minimumSize());
    const QScreen* screen =
        owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect over = owner && owner->isVisible() ? owner->frameGeometry() : available;
    // The frame the window manager adds goes inside the free part as well.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    const QRect placed = centredInside(size + frame, over, available);
    window->resize(placed.size() - frame);
    window->move(placed.topLeft());
}

} // namespace WindowPlacement
