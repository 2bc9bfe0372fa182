// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoOriginals.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>

#include "AtomicFile.h"
#include "ImageDetail.h"
#include "PhotoVideoRule.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"

namespace {

qint64 sizeFromInfo(const QVariantMap& info)
{
    if (info.contains(QStringLiteral("st_size")))
        return info.value(QStringLiteral("st_size")).toLongLong();
    return info.value(QStringLiteral("NSFileSize")).toLongLong();
}

// The extension of a device path when it is a plain one.
QString plainExtension(const QString& path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return {};
    const QString extension = path.mid(dot + 1);
    return plain.match(extension).hasMatch() ? extension : QString();
}

} // namespace

bool PhotoOriginals::isVideo(const ImageDetail& detail)
{
    return ImageDetail::isYes(detail.isVideo) || PhotoVideoRule::isVideo(detail.fileName)
        || PhotoVideoRule::isVideo(detail.title) || PhotoVideoRule::isVideo(detail.fullImagePath);
}

PhotoOriginals::Source PhotoOriginals::sourceOf(const ImageDetail& detail,
                                                QELDeviceInterface* device, Take take)
{
    Source source;
    source.extension = QStringLiteral("jpg");
    if (!device || detail.fullImagePath.isEmpty())
        return source;
    if (take == Take::JpegStills && !isVideo(detail))
        return source;
    const std::optional<QVariantMap> info = device->getFileInfo(detail.fullImagePath);
    if (!info)
        return source;
    source.devicePath = detail.fullImagePath;
    source.deviceSize = sizeFromInfo(*info);
    source.extension = plainExtension(detail.fullImagePath);
    return source;
}

QString PhotoOriginals::nameStem(const ImageDetail& detail)
{
    QString name = detail.fileName.isEmpty() ? detail.title : detail.fileName;
    // Only the last extension goes: "a.mov.jpg" keeps "a.mov".
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    if (dot > 0 && dot > slash + 1)
        name.truncate(dot);
    return name;
}

QByteArray PhotoOriginals::jpegOf(const QImage& image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    // A picture with transparency would otherwise turn black where it is clear.
    const QImage opaque = image.hasAlphaChannel()
        ? [&] {
              QImage flat(image.size(), QImage::Format_RGB32);
              flat.fill(Qt::white);
              QPainter(&flat).drawImage(0, 0, image);
              return flat;
          }()
        : image;
    if (!writer.write(opaque))
        return {};
    return bytes;
}

bool PhotoOriginals::writeTo(const ImageDetail& detail, const Source& source,
                             const QELDeviceImageLibraryReader& reader, QELDeviceInterface* device,
                             const QString& path, const std::atomic<bool>* cancel, QString* error)
{
    if (!source.devicePath.isEmpty()) {
        if (!device || !device->copyFileFromDeviceAtToLocalPath(source.devicePath, path, cancel)) {
            *error = QStringLiteral("the device file %1 could not be read").arg(source.devicePath);
            return false;
        }
        return true;
    }
    if (isVideo(detail)) {
        *error = QStringLiteral("the video's file is not on the device");
        return false;
    }
    const QByteArray jpeg = jpegOf(reader.getFullImageFromDetail(&detail));
    if (jpeg.isEmpty()) {
        *error = QStringLiteral("the picture could not be read from the device");
        return false;
    }
    return AtomicFile::writeNewFile(
        path,
        [&jpeg](QIODevice& out, QString* why) {
            if (out.write(jpeg) == jpeg.size())
                return true;
            *why = out.errorString();
            return false;
        },
        false, error);
}
