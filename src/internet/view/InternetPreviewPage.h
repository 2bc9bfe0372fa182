// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QUrl>

#include "QELWebViewHost.h"

// The internet category's preview: the one web page of the program that
// loads remote pages, since it shows the device's own history and bookmarks.
// Its page runs on a private, memory-only profile whose requests go out only
// over http and https, with JavaScript off, and follows no navigation to any
// other scheme. Main thread.
class InternetPreviewPage : public QELWebViewHost {
    Q_OBJECT
public:
    explicit InternetPreviewPage(QWidget* parent = nullptr);

    // Loads a web address; false (nothing loaded) for any other.
    bool loadWebAddress(const QUrl& url);

    // For tests: every navigation is handed to `hook` and refused, so no
    // page is ever fetched. An empty hook lets navigations go again.
    using NavigationHook = std::function<void(const QUrl& url)>;
    void setNavigationHook(NavigationHook hook) { m_hook = std::move(hook); }

protected:
    bool engineAcceptNavigation(const QUrl& url, bool linkClicked) override;

private:
    NavigationHook m_hook;
};
