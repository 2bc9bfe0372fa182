// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace HtmlEntities {

// The text of HTML character data: every character reference ("&lt;",
// "&eacute;", "&#8217;", "&#x20AC;") replaced by its character, once, so
// "&amp;lt;" gives the text "&lt;". A reference that names no character, or
// lacks its ";", stays as it is; a number of no valid character gives U+FFFD.
QString decoded(const QString& html);

} // namespace HtmlEntities
