// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlainText.h"

#include <QTextDocument>

namespace PlainText {

QString toolTip(const QString& text)
{
    // A tool tip has no format of its own: only wrapping the escaped text in
    // markup keeps Qt from reading the text itself as markup. Line breaks stay.
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped()
        + QStringLiteral("</p>");
}

} // namespace PlainText
