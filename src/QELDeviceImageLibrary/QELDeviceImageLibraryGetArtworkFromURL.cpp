// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImageLibraryGetArtworkFromURL.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "Clock.h"
#include "Log.h"
#include "QELImageUtilities.h"

void QELDeviceImageLibraryGetArtworkFromURL::fail()
{
    if (QELDeviceImageLibraryGetArtworkFromURLDelegate* d = delegate())
        d->OnLoadArtworkFromURLFailed();
}

void QELDeviceImageLibraryGetArtworkFromURL::cancelLoading()
{
    if (!m_reply || m_cancelled)
        return;
    m_cancelled = true;
    m_reply->abort();
    fail();
    if (m_loop)
        m_loop->quit();
}

void QELDeviceImageLibraryGetArtworkFromURL::startLoadingArtworkFromURL(const QUrl& url)
{
    m_url = url;
    m_cancelled = false;
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    m_reply = reply;
    m_loop = &loop;
    QByteArray data;
    bool timedOut = false;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply] {
        const bool http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        const QString type =
            reply->header(QNetworkRequest::ContentTypeHeader).toString().trimmed().toLower();
        if (http && !type.startsWith(QLatin1String("image")))
            cancelLoading();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        if (!m_cancelled)
            data += reply->readAll();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timeout.start(Clock::scaledMs(kTimeoutMs));
    if (!reply->isFinished())
        loop.exec();
    timeout.stop();
    m_loop = nullptr;
    m_reply = nullptr;
    if (!m_cancelled) {
        data += reply->readAll();
        if (reply->error() != QNetworkReply::NoError) {
            qCWarning(lcOrvane).noquote()
                << QStringLiteral("Failed to load  at %1, %2")
                       .arg(url.toString(),
                            timedOut ? QStringLiteral("the request timed out")
                                     : reply->errorString());
            fail();
        } else {
            // Bytes that are no picture are a failure, not an empty success.
            const QImage image = QELImageUtilities::imageFromFileData(data);
            if (image.isNull()) {
                qCWarning(lcOrvane).noquote()
                    << QStringLiteral("Failed to load  at %1, %2")
                           .arg(url.toString(), QStringLiteral("the answer is no picture"));
                fail();
            } else if (QELDeviceImageLibraryGetArtworkFromURLDelegate* d = delegate()) {
                d->OnLoadArtworkFromURLCompleteWithImage(image);
            }
        }
    }
    delete reply;
}
