// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopPicture.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include "AtomicFile.h"
#include "PhotoOriginals.h"
#include "SafePath.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kWallpaper = QStringLiteral("org.freedesktop.portal.Wallpaper");
// A portal that does not answer must not hold the worker for long.
constexpr int kTimeoutMs = 3000;

} // namespace

bool DesktopPicture::portalAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface properties(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                              bus);
    if (!properties.isValid())
        return false;
    properties.setTimeout(kTimeoutMs);
    const QDBusReply<QDBusVariant> version =
        properties.call(QStringLiteral("Get"), kWallpaper, QStringLiteral("version"));
    return version.isValid();
}

QString DesktopPicture::folder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QString() : QDir(pictures).filePath(QStringLiteral("Orvane"));
}

QString DesktopPicture::writePicture(const QImage& image, qint64 imageId, QString* error)
{
    const QString target = folder();
    if (target.isEmpty() || !QDir().mkpath(target)) {
        *error = QStringLiteral("no pictures folder");
        return {};
    }
    const QByteArray jpeg = PhotoOriginals::jpegOf(image);
    if (jpeg.isEmpty()) {
        *error = QStringLiteral("the picture could not be encoded");
        return {};
    }
    SafePath::UniqueNamer namer(target, SafePath::Numbering::Parenthesised,
                                SafePath::Taken::InFolder);
    const QString path =
        namer.claimPath(QStringLiteral("Desktop_%1").arg(imageId), QStringLiteral("jpg"));
    if (path.isEmpty() || !writeFileAtomically(path, jpeg, error))
        return {};
    return path;
}

bool DesktopPicture::setWallpaper(const QString& path, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kWallpaper,
                                                       QStringLiteral("SetWallpaperURI"));
    QVariantMap options;
    options.insert(QStringLiteral("show-preview"), false);
    options.insert(QStringLiteral("set-on"), QStringLiteral("background"));
    call << QString() << QUrl::fromLocalFile(path).toString() << options;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        *error = reply.errorMessage();
        return false;
    }
    return true;
}
