// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace WindowPlacement {

// Where a window of `size` goes: centred over `over` (the window it belongs
// to), then moved, and if need be shrunk, to lie wholly inside `available`
// (the free part of the screen).
QRect centredInside(const QSize& size, const QRect& over, const QRect& available);

// Places the top-level `window` so over `owner` on the owner's screen.
void placeOver(QWidget* window, const QWidget* owner);

} // namespace WindowPlacement
