// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceInformation.h"

#include <QFileInfo>
#include <QImageReader>

#include <mutex>

// The pictures are compiled into this static library; its resources must be
// registered by hand, outside any namespace.
static void registerDevicePictures() { Q_INIT_RESOURCE(devices); }

namespace {

struct TypeRow {
    const char* name;
    const char* picture;  // nullptr: the model has no picture
};

// Indexed by model number; row 0 is never used (out-of-range numbers take row 1).
const TypeRow kTypes[] = {
    {"iPod", "classic.jpg"},
    {"iPod", "classic.jpg"},
    {"iPhone", "iphone.jpg"},
    {"iPod Touch", "iPodTouch.jpg"},
    {"iPad", "iPad.jpg"},
    {"iPod Shuffle", nullptr},
    {"iPod Nano", "nano6.jpg"},
    {"iPhone 3GS", "iphone.jpg"},
    {"iPhone 4", "iphone4.jpg"},
    {"iPhone 5", "iPhone5.png"},
    {"iPod Touch", "iPodTouch.jpg"},
    {"iPod Touch", "iPodTouch5.png"},
    {"iPad", "iPad.jpg"},
    {"iPad", "iPad.jpg"},
    {"iPad mini", "iPadMini.png"},
    {"iPhone 5C", "iPhone5C.png"},
    {"iPhone 5S", "iPhone5S.png"},
    {"iPad Air", "iPadAir.png"},
    {"iPhone 6", "iPhone6.png"},
    {"iPhone 6S", "iPhone6.png"},
};

const TypeRow& rowOf(qint64 type)
{
    if (type < 1 || type > 19)
        return kTypes[1];
    return kTypes[type];
}

std::mutex g_locationMutex;
QString& location()
{
    static QString path = (registerDevicePictures(), QStringLiteral(":/devices"));
    return path;
}

} // namespace

QString QELDeviceInformation::displayNameForType(qint64 type) { return QString::fromLatin1(rowOf(type).name); }

QString QELDeviceInformation::pictureNameForType(qint64 type)
{
    const char* picture = rowOf(type).picture;
    return picture ? QString::fromLatin1(picture) : QString();
}

void QELDeviceInformation::setPictureLocation(const QString& path)
{
    std::lock_guard lock(g_locationMutex);
    location() = path;
}

QString QELDeviceInformation::pictureLocation()
{
    std::lock_guard lock(g_locationMutex);
    return location();
}

void QELDeviceInformation::setDeviceType(qint64 type)
{
    m_deviceType = type;
    m_deviceTypeString = displayNameForType(type);
    const QString picture = pictureNameForType(type);
    if (picture.isEmpty())
        return;
    const QString path = pictureLocation() + QLatin1Char('/') + picture;
    if (!QFileInfo::exists(path))
        return;
    QImageReader reader(path);
    // A class's one picture stands under the names of several models, whatever
    // their extension says.
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (!image.isNull())
        m_deviceImage = image;
}
