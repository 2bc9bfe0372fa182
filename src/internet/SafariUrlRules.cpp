// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafariUrlRules.h"

namespace SafariUrlRules {

bool isWebScheme(const QUrl& url)
{
    // QUrl keeps schemes in lower case.
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QUrl webUrl(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || !isWebScheme(url) || url.host().isEmpty())
        return QUrl();
    return url;
}

bool isWebAddress(const QString& address) { return webUrl(address).isValid(); }

} // namespace SafariUrlRules
