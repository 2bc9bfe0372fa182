// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// Which addresses from the device's history and bookmarks the internet
// category may load or hand to the browser: web pages only. A file:,
// javascript: or application address from the device could read local files
// or start another program, so it is never followed.
namespace SafariUrlRules {

// The address as a URL when it is an http or https address with a host;
// an invalid QUrl otherwise.
QUrl webUrl(const QString& address);
bool isWebAddress(const QString& address);
// Whether a request of the preview (the page or anything it loads) may go out.
bool isWebScheme(const QUrl& url);

} // namespace SafariUrlRules
