// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContactPhoto.h"

#include <QBuffer>
#include <QImage>

namespace {

// A picture larger than this is not a contact's picture.
constexpr qsizetype kMaxPictureBytes = 16 * 1024 * 1024;

} // namespace

ContactPhoto ContactPhoto::fromDeviceBytes(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxPictureBytes)
        return {};
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return {bytes, QStringLiteral("JPEG")};
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return {bytes, QStringLiteral("PNG")};
    QImage image;
    if (!image.loadFromData(bytes) || image.isNull())
        return {};
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 90))
        return {};
    return {jpeg, QStringLiteral("JPEG")};
}
