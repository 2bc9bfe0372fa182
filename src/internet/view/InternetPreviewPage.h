// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QUrl>
#include <QWebEnginePage>

// The page of the internet category's preview: the one web page of the
// program that loads remote pages, since it shows the device's own history
// and bookmarks. It runs on a private, memory-only profile whose requests go
// out only over http and https, with JavaScript off, and follows no
// navigation to any other scheme. Main thread.
class InternetPreviewPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit InternetPreviewPage(QObject* parent = nullptr);

    // Loads a web address; false (nothing loaded) for any other.
    bool loadWebAddress(const QUrl& url);

    // For tests: every navigation is handed to `hook` and refused, so no
    // page is ever fetched. An empty hook lets navigations go again.
    using NavigationHook = std::function<void(const QUrl& url)>;
    void setNavigationHook(NavigationHook hook) { m_hook = std::move(hook); }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    NavigationHook m_hook;
};
