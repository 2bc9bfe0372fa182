// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include <QUrl>

#include "QELDeviceImageLibraryGetArtworkFromURLDelegate.h"

class QEventLoop;
class QNetworkReply;

// Loads one picture over HTTP for a delegate, bypassing every cache, with a
// 10 s time-out (through Clock). startLoadingArtworkFromURL() runs the
// calling thread's events until the load has ended and returns only then;
// the thread needs no event loop of its own. A response whose type is not an
// image, a failure, a time-out and bytes that are no picture all end in
// OnLoadArtworkFromURLFailed.
class QELDeviceImageLibraryGetArtworkFromURL {
public:
    QELDeviceImageLibraryGetArtworkFromURL() = default;
    QELDeviceImageLibraryGetArtworkFromURL(const QELDeviceImageLibraryGetArtworkFromURL&) = delete;
    QELDeviceImageLibraryGetArtworkFromURL& operator=(
        const QELDeviceImageLibraryGetArtworkFromURL&) = delete;

    // Not owned.
    void setDelegate(QELDeviceImageLibraryGetArtworkFromURLDelegate* delegate)
    {
        m_delegate.store(delegate);
    }
    QELDeviceImageLibraryGetArtworkFromURLDelegate* delegate() const { return m_delegate.load(); }

    void startLoadingArtworkFromURL(const QUrl& url);
    // Ends the running load (from its own thread's events) and tells the
    // delegate it failed.
    void cancelLoading();
    QUrl url() const { return m_url; }

    static constexpr int kTimeoutMs = 10000;

private:
    void fail();

    QUrl m_url;
    std::atomic<QELDeviceImageLibraryGetArtworkFromURLDelegate*> m_delegate{nullptr};
    QNetworkReply* m_reply = nullptr;
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
};
