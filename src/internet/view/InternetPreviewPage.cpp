// SPDX-License-Identifier: GPL-3.0-or-later
#include "InternetPreviewPage.h"

#include <QApplication>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include "Log.h"
#include "SafariUrlRules.h"

namespace {

// Lets out only web requests: a page from the device's history must not
// reach local files or other schemes through its images, frames or styles.
class WebOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!SafariUrlRules::isWebScheme(info.requestUrl())) {
            qCDebug(lcOrvane) << "Preview: blocked a request for" << info.requestUrl().scheme();
            info.block(true);
        }
    }
};

// Off the record (no storage name): cookies, cache and history stay in
// memory and go with the program. One for every preview; the application
// owns it, so it outlives every page.
QWebEngineProfile* previewProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(qApp);
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setUrlRequestInterceptor(new WebOnlyInterceptor(p));
        return p;
    }();
    return profile;
}

} // namespace

InternetPreviewPage::InternetPreviewPage(QObject* parent)
    : QWebEnginePage(previewProfile(), parent)
{
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
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
    load(url);
    return true;
}

bool InternetPreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool)
{
    if (m_hook) {
        m_hook(url);
        return false;
    }
    return SafariUrlRules::isWebScheme(url);
}
