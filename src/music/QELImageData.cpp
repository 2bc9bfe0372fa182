// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELImageData.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

#include "Clock.h"
#include "Locations.h"
#include "Log.h"

namespace {

QByteArray readLocalFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcOrvane) << "Cannot open the image" << path << file.errorString();
        return {};
    }
    if (file.size() > QELImageData::kMaxImageBytes) {
        qCWarning(lcOrvane) << "The image" << path << "is too large:" << file.size() << "bytes";
        return {};
    }
    const QByteArray bytes = file.read(file.size());
    // A file that grew meanwhile is refused: it may be growing without end.
    if (!file.atEnd())
        return {};
    return bytes;
}

QByteArray download(const QString& address)
{
    const QUrl url(address);
    if (!url.isValid()) {
        qCWarning(lcOrvane) << "Not an image address:" << address;
        return {};
    }
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    bool timedOut = false;
    bool tooLarge = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(
        reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64 total) {
            if (received > QELImageData::kMaxImageBytes || total > QELImageData::kMaxImageBytes) {
                tooLarge = true;
                reply->abort();
            }
        });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(Clock::scaledMs(QELImageData::kDownloadTimeoutMs));
    if (!reply->isFinished())
        loop.exec();
    timer.stop();
    QByteArray bytes;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timedOut)
        qCWarning(lcOrvane) << "The image download from" << url << "timed out";
    else if (tooLarge)
        qCWarning(lcOrvane) << "The image at" << url << "is too large";
    else if (reply->error() != QNetworkReply::NoError)
        qCWarning(lcOrvane) << "The image download from" << url
                            << "failed:" << reply->errorString();
    else if (status != 0 && (status < 200 || status > 299))
        qCWarning(lcOrvane) << "The image download from" << url << "answered" << status;
    else
        bytes = reply->readAll();
    delete reply;
    return bytes.size() > QELImageData::kMaxImageBytes ? QByteArray() : bytes;
}

// The download goes through a private file of its own in the program's
// temporary folder, never a fixed name another user could place first.
QByteArray downloadThroughTemporaryFile(const QString& address)
{
    const QByteArray downloaded = download(address);
    if (downloaded.isEmpty())
        return {};
    const QString folder = Locations::temporaryFolder();
    if (folder.isEmpty())
        return {};
    QTemporaryFile file(folder + QStringLiteral("/image-XXXXXX"));
    if (!file.open() || file.write(downloaded) != downloaded.size() || !file.flush()) {
        qCWarning(lcOrvane) << "Cannot keep the downloaded image in" << folder;
        return {};
    }
    return readLocalFile(file.fileName());
}

} // namespace

TagLib::ByteVector QELImageData::imageDataFromImageAtPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QByteArray bytes = path.startsWith(QLatin1String("http"), Qt::CaseInsensitive)
        ? downloadThroughTemporaryFile(path)
        : readLocalFile(path);
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}
