// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include "QELDeviceInformation.h"
#include "QELDeviceInterface.h"

namespace {

struct TextCase {
    const char* deviceClass;
    const char* productType;
    const char* text;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.deviceClass << " " << c.productType; }

class DeviceTypeText : public ::testing::TestWithParam<TextCase> {};

// A model newer than the rows takes the newest row's picture, but its text
// names no model it is not.
TEST_P(DeviceTypeText, NamesTheModelOrOnlyItsClass)
{
    const TextCase& c = GetParam();
    const QString deviceClass = QString::fromLatin1(c.deviceClass);
    const QString productType = QString::fromLatin1(c.productType);
    const qint64 type = QELDeviceInterface::deviceTypeFor(deviceClass, productType, 0);
    EXPECT_EQ(QELDeviceInterface::deviceTypeStringFor(deviceClass, productType, type),
              QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Products, DeviceTypeText,
    ::testing::Values(
        TextCase{"iPhone", "iPhone14,5", "iPhone"}, TextCase{"iPhone", "iPhone9,1", "iPhone"},
        TextCase{"iPhone", "iPhone8,4", "iPhone"}, TextCase{"iPhone", "iPhone8,1", "iPhone 6S"},
        TextCase{"iPhone", "iPhone7,2", "iPhone 6"}, TextCase{"iPhone", "iPhone5,3", "iPhone 5C"},
        TextCase{"iPhone", "iPhone2,1", "iPhone 3GS"}, TextCase{"iPhone", "", "iPhone"},
        TextCase{"iPad", "iPad13,4", "iPad"}, TextCase{"iPad", "iPad6,11", "iPad"},
        TextCase{"iPad", "iPad5,3", "iPad Air"}, TextCase{"iPad", "iPad2,5", "iPad mini"},
        TextCase{"iPod", "iPod9,1", "iPod Touch"}, TextCase{"IPHONE", "iPhone15,2", "iPhone"}));

// Every type with a picture shows one from the program's own resources.
TEST(DevicePictures, EveryTypeWithAPictureHasOneOfItsClass)
{
    for (qint64 type = 1; type <= 19; ++type) {
        SCOPED_TRACE(type);
        QELDeviceInformation info;
        info.setDeviceType(type);
        if (QELDeviceInformation::pictureNameForType(type).isEmpty()) {
            EXPECT_TRUE(info.deviceImage().isNull());
            continue;
        }
        ASSERT_FALSE(info.deviceImage().isNull());
        EXPECT_GE(info.deviceImage().width(), 128);
        EXPECT_TRUE(info.deviceImage().hasAlphaChannel());
    }
    // One class, one picture: every iPhone row shows the same.
    QELDeviceInformation first, newest;
    first.setDeviceType(7);
    newest.setDeviceType(19);
    EXPECT_EQ(first.deviceImage(), newest.deviceImage());
}

// A disk-mode iPod's picture is its volume's .icns file; Apple's icon format
// is read through Qt's image-format plugins.
TEST(DevicePictures, AVolumeIconDecodes)
{
    QImage picture(128, 128, QImage::Format_ARGB32);
    picture.fill(QColor(10, 200, 30));
    QByteArray png;
    QBuffer pngBuffer(&png);
    ASSERT_TRUE(pngBuffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(picture.save(&pngBuffer, "PNG"));
    // "icns", total length, then one element: "ic07" (128x128, PNG data).
    auto be32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    const QByteArray element = QByteArray("ic07") + be32(8 + png.size()) + png;
    const QByteArray icns = QByteArray("icns") + be32(8 + element.size()) + element;

    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("icns"))
        << "the Qt image-format plugins are not installed";
    QImage icon;
    ASSERT_TRUE(icon.loadFromData(icns));
    EXPECT_EQ(icon.size(), QSize(128, 128));
    EXPECT_EQ(icon.pixelColor(64, 64), QColor(10, 200, 30));
}

} // namespace
