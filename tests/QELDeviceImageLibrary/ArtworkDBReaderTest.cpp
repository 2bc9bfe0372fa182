// SPDX-License-Identifier: GPL-3.0-or-later
// The binary image databases: ArtworkDB with its three data sets, and the
// same reader over damaged copies of a good file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include "ArtworkTestSupport.h"
#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELImageStore.h"

using ArtworkTest::Device;
using ArtworkTest::RecordingDelegate;

namespace {

const QString kArtwork = QStringLiteral("/iTunes_Control/Artwork/");

struct Read {
    std::unique_ptr<QELDeviceImageArtworkDBReader> reader;
    RecordingDelegate delegate;
    bool result = false;
};

// Reads the copy "ArtworkDB" of `device`.
std::unique_ptr<Read> readArtwork(const Device& device)
{
    auto read = std::make_unique<Read>();
    read->reader = QELDeviceImageArtworkDBReader::create(device.copies());
    if (!read->reader)
        return read;
    read->reader->setDeviceInterface(device.interface());
    read->reader->setLibraryDirectoryOnDevice(kArtwork);
    read->reader->setDelegate(&read->delegate);
    read->result = read->reader->readImageDatabase();
    return read;
}

// The store's one image with this id and correlation id.
ImageDetailPtr imageOf(const QELDeviceImageArtworkDBReader& reader, qint64 id, qint64 correlation)
{
    ImageDetailPtr found;
    for (const ImageDetailPtr& image : reader.store()->imagesWithID(id))
        if (image->mhifReference == correlation) {
            EXPECT_EQ(found, nullptr) << "two images " << id << "/" << correlation;
            found = image;
        }
    return found;
}

class ArtworkDBReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device.install(ArtworkTest::artworkSample(), QStringLiteral("iTunes_Control/Artwork"),
                         QStringLiteral("ArtworkDB"));
        m_read = readArtwork(m_device);
        ASSERT_NE(m_read->reader, nullptr);
    }
    QELDeviceImageArtworkDBReader& reader() { return *m_read->reader; }

    Device m_device;
    std::unique_ptr<Read> m_read;
};

TEST_F(ArtworkDBReader, ReadsEveryImageSizeWithItsFormatPlaceAndGeometry)
{
    ASSERT_TRUE(m_read->result) << reader().failureReason().toStdString();
    EXPECT_TRUE(reader().failureReason().isEmpty());
    struct Case {
        qint64 id, correlation;
        std::optional<qint64> format;
        const char* thumbnailPath; // empty: none
        std::optional<qint64> offset;
        const char* fullPath;
        qint64 width, height, hPad, vPad, size;
    };
    const Case cases[] = {
        {101, 1093, 2, "/iTunes_Control/Artwork/F1093_1.ithmb", 0, "", 7, 5, 0, 0, 80},
        {101, 3005, 1, "/iTunes_Control/Artwork/F3005_1.ithmb", 0, "", 10, 6, 2, 0, 144},
        {101, 4005, 0, "", std::nullopt, "/iTunes_Control/Artwork/Full/A101.jpg", 64, 64, 0, 0, -1},
        {102, 1005, 2, "/iTunes_Control/Artwork/F1005_1.ithmb", 0, "", 8, 8, 0, 0, 128},
        {103, 4005, 0, "", std::nullopt, "/iTunes_Control/Artwork/Full/A103.jpg", 32, 32, 0, 0, -1},
        {104, 1027, std::nullopt, "/iTunes_Control/Artwork/F1027_1.ithmb", 0, "", 4, 4, 0, 0, 32},
        {105, 1027, std::nullopt, "/iTunes_Control/Artwork/F1027_1.ithmb", 32, "", 16, 16, 0, 0,
         -1},
        {106, 1093, 2, "/iTunes_Control/Artwork/F1093_1.ithmb", 80, "", 7, 5, 0, 0, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << "/" << c.correlation);
        const ImageDetailPtr image = imageOf(reader(), c.id, c.correlation);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->imageFormat, c.format);
        EXPECT_EQ(image->thumbnailPath, QString::fromLatin1(c.thumbnailPath));
        EXPECT_EQ(image->thumbnailOffset, c.offset);
        EXPECT_EQ(image->fullImagePath, QString::fromLatin1(c.fullPath));
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_EQ(image->horizontalPadding, c.hPad);
        EXPECT_EQ(image->verticalPadding, c.vPad);
        if (c.size >= 0) {
            EXPECT_EQ(image->dataSize, c.size);
        }
    }
    EXPECT_EQ(reader().store()->images().size(), 8u);
}

TEST_F(ArtworkDBReader, AnImageCarriesItsListsValues)
{
    ASSERT_TRUE(m_read->result);
    const QList<ImageListPtr> lists = reader().store()->listsWithPhotoID(101);
    ASSERT_EQ(lists.size(), 1);
    const ImageList& list = *lists.first();
    // The low 32 bits of the 64-bit song id.
    EXPECT_EQ(list.songID, 0x55667788);
    EXPECT_EQ(list.rating, 60);
    EXPECT_EQ(list.sourceByteSize, 123456);
    EXPECT_EQ(list.date, QDateTime(QDate(2018, 1, 28), QTime(16, 0), Qt::UTC));
    ASSERT_EQ(list.imageDetails.size(), 3u);
    for (const ImageDetailPtr& image : list.imageDetails) {
        EXPECT_EQ(image->imageID, 101);
        EXPECT_EQ(image->title, QStringLiteral("image_1432778632.jpg"));
        EXPECT_EQ(image->dateCreated, list.date);
    }
    // A date of 0 stays unset.
    const QList<ImageListPtr> undated = reader().store()->listsWithPhotoID(102);
    ASSERT_EQ(undated.size(), 1);
    EXPECT_FALSE(undated.first()->date.isValid());
    ASSERT_EQ(reader().store()->fileDetails().size(), 3u);
    EXPECT_EQ(reader().store()->fileDetails()[1]->correlationID, 3005);
    EXPECT_EQ(reader().store()->fileDetails()[1]->bytesSize, 144);
}

TEST_F(ArtworkDBReader, ArtworkOfAnIdIsTheTallestPreferredSize)
{
    ASSERT_TRUE(m_read->result);
    struct Case {
        qint64 id;
        std::optional<qint64> correlation; // none: no artwork
    };
    const Case cases[] = {
        {101, 4005},         // 64 high beats 1093 and 3005
        {102, std::nullopt}, // 1005 is not an artwork size
        {103, 4005},         // stored only as a file of its own
        {104, 1027},         // preferred although the format table lacks it
        {106, 1093},         {999, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const ImageDetailPtr image = reader().getImageDetailForId(c.id);
        if (!c.correlation) {
            EXPECT_EQ(image, nullptr);
            continue;
        }
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->mhifReference, c.correlation);
    }
    EXPECT_EQ(reader().getImageDetailForId(std::nullopt), nullptr);
}

TEST_F(ArtworkDBReader, ReportsProgressPerImageThenTheFileListAndEndsWithOneCompletion)
{
    ASSERT_TRUE(m_read->result);
    const QList<ArtworkTest::Progress> progress = m_read->delegate.progress();
    ASSERT_EQ(progress.size(), 7);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(progress[i].text, L("READINGMAINPHOTOLIBRARY"));
        EXPECT_EQ(progress[i].counter, i);
        EXPECT_EQ(progress[i].total, 6);
    }
    EXPECT_EQ(progress[6].text, QStringLiteral("Reading file list..."));
    EXPECT_EQ(progress[6].counter, -1);
    EXPECT_EQ(m_read->delegate.completions(), QList<bool>{true});
    // The store was written to its file in the temporary folder.
    EXPECT_GT(QFileInfo(Locations::temporaryFolder() + QStringLiteral("/artwork.db")).size(), 0);
}

TEST(ArtworkDBReaderFile, AMissingCopyFailsWithTheEventSent)
{
    Device device;
    const std::unique_ptr<Read> read = readArtwork(device);
    ASSERT_NE(read->reader, nullptr);
    EXPECT_FALSE(read->result);
    EXPECT_EQ(read->delegate.completions(), QList<bool>{false});
    EXPECT_FALSE(read->reader->failureReason().isEmpty());
}

TEST(ArtworkDBReaderFile, ADataSetOfAnotherKindIsSteppedOverAndTheRestRead)
{
    for (const QList<quint32>& order : {QList<quint32>{9, 1, 2, 3}, QList<quint32>{1, 7, 2, 3},
                                        QList<quint32>{1, 2, 3, 0x10001}}) {
        SCOPED_TRACE(order.first());
        Device device;
        ArtworkTest::Sample sample = ArtworkTest::photoSample();
        sample.db.dataSets = order;
        device.install(sample, QStringLiteral("iTunes_Control/Artwork"),
                       QStringLiteral("ArtworkDB"));
        const std::unique_ptr<Read> read = readArtwork(device);
        ASSERT_TRUE(read->result) << read->reader->failureReason().toStdString();
        EXPECT_EQ(read->reader->store()->imageLists().size(), 4u);
        EXPECT_EQ(read->reader->store()->albums().size(), 5u);
        EXPECT_EQ(read->reader->store()->fileDetails().size(), 1u);
    }
}

TEST(ArtworkDBReaderFile, NamesReadWhereverTheyEnd)
{
    // Header lengths 76 to 79 end the names at each position modulo 4; the
    // records after each name are found all the same.
    Device device;
    ArtworkTest::Sample sample;
    for (quint32 shift = 0; shift < 4; ++shift) {
        ArtworkDBWriter::Image image;
        image.id = 1 + shift;
        for (int n = 0; n < 3; ++n) {
            ArtworkDBWriter::Picture p;
            p.correlationID = 1093;
            p.name =
                QStringLiteral(":F%1_%2.ithmb").arg(shift).arg(QString(n + 1, QLatin1Char('x')));
            p.locationHeaderLength = 76 + shift;
            p.width = p.height = quint16(10 + n);
            image.pictures << p;
        }
        sample.db.images << image;
    }
    device.install(sample, QStringLiteral("iTunes_Control/Artwork"), QStringLiteral("ArtworkDB"));
    const std::unique_ptr<Read> read = readArtwork(device);
    ASSERT_TRUE(read->result) << read->reader->failureReason().toStdString();
    for (quint32 shift = 0; shift < 4; ++shift) {
        const QList<ImageListPtr> lists = read->reader->store()->listsWithPhotoID(1 + shift);
        ASSERT_EQ(lists.size(), 1);
        ASSERT_EQ(lists.first()->imageDetails.size(), 3u);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(lists.first()->imageDetails[size_t(n)]->thumbnailPath,
                      kArtwork
                          + QStringLiteral("F%1_%2.ithmb")
                                .arg(shift)
                                .arg(QString(n + 1, QLatin1Char('x'))));
    }
}

TEST(ArtworkDBReaderFile, ANameGoesUnderTheDeviceFolderWithOneSeparator)
{
    struct Case {
        const char* folder;
        const char* name;
        const char* path;
    };
    const Case cases[] = {
        {"/iTunes_Control/Artwork/", ":F1_1.ithmb", "/iTunes_Control/Artwork/F1_1.ithmb"},
        {"/iPod_Control/Artwork", ":F1_1.ithmb", "/iPod_Control/Artwork/F1_1.ithmb"},
        {"/Photos", ":Thumbs:F1_1.ithmb", "/Photos/Thumbs/F1_1.ithmb"},
        {"/Photos", "Thumbs:F1_1.ithmb", "/Photos/Thumbs/F1_1.ithmb"},
        {"", ":F1_1.ithmb", "/F1_1.ithmb"},
        {"/iTunes_Control/Artwork/", ":..:..:..:etc:passwd", "/etc/passwd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device;
        ArtworkTest::Sample sample;
        ArtworkDBWriter::Image image;
        image.id = 1;
        ArtworkDBWriter::Picture p;
        p.name = QString::fromLatin1(c.name);
        image.pictures << p;
        sample.db.images << image;
        device.copy(QStringLiteral("ArtworkDB"), sample.db.build());
        auto reader = QELDeviceImageArtworkDBReader::create(device.copies());
        reader->setLibraryDirectoryOnDevice(QString::fromLatin1(c.folder));
        ASSERT_TRUE(reader->readImageDatabase());
        ASSERT_EQ(reader->store()->images().size(), 1u);
        EXPECT_EQ(reader->store()->images().front()->thumbnailPath, QString::fromLatin1(c.path));
    }
}

// --- Damaged files ---------------------------------------------------------

struct Damaged {
    QString what;
    QByteArray bytes;
};

QList<Damaged> damagedVariants(const ArtworkDBWriter& writer)
{
    ArtworkDBWriter::Layout layout;
    const QByteArray good = writer.build(&layout);
    QList<Damaged> variants;
    for (const ArtworkDBWriter::Field& field : layout.fields) {
        if (field.kind == ArtworkDBWriter::Field::Tag) {
            QByteArray bytes = good;
            bytes.replace(field.offset, 4, "XXXX");
            variants.append({field.what + QStringLiteral(" wrong"), bytes});
            continue;
        }
        const quint32 original = qFromLittleEndian<quint32>(good.constData() + field.offset);
        for (quint32 value : {0u, 0xFFFFFFFFu, quint32(good.size()) + 1}) {
            if (value == original)
                continue;
            QByteArray bytes = good;
            qToLittleEndian<quint32>(value, bytes.data() + field.offset);
            variants.append({QStringLiteral("%1 = %2").arg(field.what).arg(value), bytes});
        }
    }
    for (qsizetype start : layout.recordStarts) {
        variants.append({QStringLiteral("cut at byte %1").arg(start), good.left(start)});
        // The same with the file's own length made to agree, so the cut is
        // found by the records inside.
        if (start >= 12) {
            QByteArray cut = good.left(start);
            qToLittleEndian<quint32>(quint32(start), cut.data() + 8);
            variants.append({QStringLiteral("cut at byte %1, length fixed").arg(start), cut});
        }
    }
    variants.append({QStringLiteral("cut one byte short"), good.left(good.size() - 1)});
    variants.append({QStringLiteral("empty"), QByteArray()});
    return variants;
}

class DamagedArtworkDB : public ::testing::TestWithParam<bool> {};

TEST_P(DamagedArtworkDB, EveryDamagedVariantFailsWithTheEventSentAndAReason)
{
    const ArtworkTest::Sample sample =
        GetParam() ? ArtworkTest::photoSample() : ArtworkTest::artworkSample();
    const QList<Damaged> variants = damagedVariants(sample.db);
    ASSERT_GT(variants.size(), 100);
    Device device;
    for (const Damaged& variant : variants) {
        SCOPED_TRACE(variant.what.toStdString());
        device.copy(QStringLiteral("ArtworkDB"), variant.bytes);
        const std::unique_ptr<Read> read = readArtwork(device);
        ASSERT_NE(read->reader, nullptr);
        EXPECT_FALSE(read->result);
        EXPECT_EQ(read->delegate.completions(), QList<bool>{false});
        EXPECT_FALSE(read->reader->failureReason().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedArtworkDB, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "PhotoDatabase" : "ArtworkDB");
                         });

} // namespace
