// SPDX-License-Identifier: GPL-3.0-or-later
#include "InternetPreviewPage.h"

#include "SafariUrlRules.h"

// A page from the device's history must not reach local files or other
// schemes through its images, frames or styles: only web requests go out.
InternetPreviewPage::InternetPreviewPage(QWidget* parent)
    : QELWebViewHost(QELWebEngineFactory::Kind::WebPreview, &SafariUrlRules::isWebScheme, parent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool InternetPreviewPage::loadWebAddress(const QUrl& url)
{
    if (!SafariUrlRules::isWebScheme(url) || url.host().isEmpty())
        return false;
    if (m_hook) {
        // As a navigation would be: handed over and refused.
        m_hook(url);
        return true;
    }
    if (engine())
        engine()->load(url);
    return true;
}

bool InternetPreviewPage::engineAcceptNavigation(const QUrl& url, bool)
{
    if (m_hook) {
        m_hook(url);
        return false;
    }
    return SafariUrlRules::isWebScheme(url);
}
