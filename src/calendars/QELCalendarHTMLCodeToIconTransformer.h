// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// A calendar's colour code ("#" and six hexadecimal digits) as a colour, and
// as the small disc of the calendar list. Any thread.
class QELCalendarHTMLCodeToIconTransformer {
public:
    static constexpr int kIconSize = 24;

    // The colour of the code; neutral grey for anything that is not "#" and
    // six hexadecimal digits (the device may give an empty colour).
    static QColor colorFromHTMLCode(const QString& code);
    // A 24 x 24 image: a disc of the colour in (5, 5, 14, 14) with a black
    // outline at alpha 0.8, transparent around it. A null code gives a null image.
    static QImage transformedValue(const QString& code);
    static bool allowsReverseTransformation() { return false; }
};
