// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Device text shown where Qt guesses the format (tool tips, labels left at
// Qt::AutoText): a text that looks like HTML would be drawn as rich text, so a
// contact named "<b>Party</b>" would show bold and an <img> would load.
namespace PlainText {

// `text` as a tool tip that shows it as it stands, tags and all.
QString toolTip(const QString& text);

} // namespace PlainText
