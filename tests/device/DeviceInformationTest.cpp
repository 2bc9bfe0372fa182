#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceInformation.h"
#include "QELDeviceInterface.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TypeCase {
    const char* deviceClass;
    const char* productType;
    qint64 type;
};

class DeviceTypeTable : public ::testing::TestWithParam<TypeCase> {};

TEST_P(DeviceTypeTable, ComparesTheMajorNumberExactly)
{
    const TypeCase& c = GetParam();
    EXPECT_EQ(QELDeviceInterface::deviceTypeFor(QString::fromLatin1(c.deviceClass), QString::fromLatin1(c.productType), 99),
              c.type)
        << c.deviceClass << " " << c.productType;
}

INSTANTIATE_TEST_SUITE_P(
    Types, DeviceTypeTable,
    ::testing::Values(
        TypeCase{"iPhone", "iPhone2,1", 7}, TypeCase{"iPhone", "iPhone3,1", 8}, TypeCase{"iPhone", "iPhone4,1", 8},
        TypeCase{"iPhone", "iPhone5,1", 9}, TypeCase{"iPhone", "iPhone5,3", 15}, TypeCase{"iPhone", "iPhone5,4", 15},
        TypeCase{"iPhone", "iPhone6,2", 16}, TypeCase{"iPhone", "iPhone7,2", 18}, TypeCase{"iPhone", "iPhone8,1", 19},
        // Newer models take the newest listed row, never a row their digits happen to contain.
        TypeCase{"iPhone", "iPhone12,1", 19}, TypeCase{"iPhone", "iPhone15,2", 19}, TypeCase{"iPhone", "iPhone16,5", 19},
        TypeCase{"iPhone", "iPhone1,2", 2}, TypeCase{"iPhone", "1,0", 2}, TypeCase{"iPhone", "", 2},
        TypeCase{"iPod", "iPod4,1", 10}, TypeCase{"iPod", "iPod5,1", 11}, TypeCase{"iPod", "iPod9,1", 11},
        TypeCase{"iPod", "iPod3,1", 3}, TypeCase{"iPod", "1,0", 3},
        TypeCase{"iPad", "iPad2,1", 12}, TypeCase{"iPad", "iPad2,5", 14}, TypeCase{"iPad", "iPad2,7", 14},
        TypeCase{"iPad", "iPad3,4", 13}, TypeCase{"iPad", "iPad4,1", 17}, TypeCase{"iPad", "iPad4,4", 14},
        TypeCase{"iPad", "iPad4,6", 14}, TypeCase{"iPad", "iPad5,1", 14}, TypeCase{"iPad", "iPad5,3", 17},
        TypeCase{"iPad", "iPad13,4", 17}, TypeCase{"iPad", "iPad12,1", 17}, TypeCase{"iPad", "iPad14,5", 17},
        TypeCase{"iPad", "1,0", 4}, TypeCase{"IPHONE", "iPhone2,1", 7},
        TypeCase{"AppleTV", "AppleTV5,3", 99}, TypeCase{"", "iPhone2,1", 99}));

struct VersionCase {
    QVariant version;
    int major;
};

class MajorVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(MajorVersion, IsTheNumberBeforeTheFirstDot)
{
    EXPECT_EQ(QELDeviceInterface::majorVersionOf(GetParam().version), GetParam().major)
        << GetParam().version.toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Versions, MajorVersion,
                         ::testing::Values(VersionCase{QStringLiteral("10"), 10}, VersionCase{QStringLiteral("7.1.2"), 7},
                                           VersionCase{QStringLiteral("17.2"), 17}, VersionCase{QStringLiteral("6"), 6},
                                           VersionCase{QVariant(), 6}, VersionCase{QStringLiteral(""), 6},
                                           VersionCase{QStringLiteral("beta"), 6}, VersionCase{QStringLiteral(".5"), 6}));

class DeviceInformationPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QELDeviceInformation::pictureLocation();
        QELDeviceInformation::setPictureLocation(m_dir.path());
    }
    void TearDown() override { QELDeviceInformation::setPictureLocation(m_previous); }

    void writePicture(const QString& name, const QColor& color)
    {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(m_dir.path() + QLatin1Char('/') + name, "PNG"));
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

TEST_F(DeviceInformationPictures, OutOfRangeTypesTakeTheFirstRow)
{
    for (qint64 type : {qint64(0), qint64(20), qint64(-1)}) {
        QELDeviceInformation info;
        info.setDeviceType(type);
        EXPECT_EQ(info.deviceType(), type);
        EXPECT_EQ(info.deviceTypeString(), QStringLiteral("iPod"));
    }
    EXPECT_EQ(QELDeviceInformation::pictureNameForType(0), QStringLiteral("classic.jpg"));
    EXPECT_EQ(QELDeviceInformation::pictureNameForType(19), QStringLiteral("iPhone6.png"));
    EXPECT_EQ(QELDeviceInformation::displayNameForType(14), QStringLiteral("iPad mini"));
}

TEST_F(DeviceInformationPictures, PictureLoadsAndIsKeptWhenTheNextOneCannot)
{
    writePicture(QStringLiteral("iPhone5.png"), Qt::red);
    QELDeviceInformation info;
    info.setDeviceType(9);
    ASSERT_FALSE(info.deviceImage().isNull());
    EXPECT_EQ(info.deviceImage().pixelColor(0, 0), QColor(Qt::red));

    // Type 5 has no picture; a missing picture and an unreadable one change nothing.
    info.setDeviceType(5);
    EXPECT_EQ(info.deviceTypeString(), QStringLiteral("iPod Shuffle"));
    EXPECT_EQ(info.deviceImage().pixelColor(0, 0), QColor(Qt::red));
    info.setDeviceType(16);
    EXPECT_EQ(info.deviceImage().pixelColor(0, 0), QColor(Qt::red));
    QFile broken(m_dir.path() + QStringLiteral("/iPadAir.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not an image");
    broken.close();
    info.setDeviceType(17);
    EXPECT_EQ(info.deviceTypeString(), QStringLiteral("iPad Air"));
    EXPECT_EQ(info.deviceImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST(DeviceConnectivityArguments, StartEmpty)
{
    const QELDeviceConnectivityArguments arguments;
    EXPECT_FALSE(arguments.success());
    EXPECT_FALSE(arguments.devicePairValidated());
    EXPECT_FALSE(arguments.isJailbreaked());
    EXPECT_EQ(arguments.devicePairingStatus(), 0);
    EXPECT_EQ(arguments.connectivityType(), 0);
    EXPECT_TRUE(arguments.revision().isNull());
    EXPECT_EQ(arguments.deviceInformation().deviceType(), 0);
}

} // namespace
