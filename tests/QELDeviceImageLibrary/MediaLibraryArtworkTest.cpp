// SPDX-License-Identifier: GPL-3.0-or-later
// Track artwork listed in MediaLibrary.sqlitedb (the older schema's
// artwork_info), its pictures on the device, and the artwork loader over HTTP.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ArtworkTestSupport.h"
#include "Clock.h"
#include "LocalVersionServer.h"
#include "MediaLibraryFixture.h"
#include "PhotosTestSupport.h"
#include "QELDeviceImageLibraryGetArtworkFromURL.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"
#include "QELImageStore.h"

using ArtworkTest::Device;
using Reader = QELDeviceImageMediaLibraryArtworkDBReader;

namespace {

// The smallest cache id whose SHA-1 (as text) begins with `prefix`.
qint64 cacheIDHashedTo(const char* prefix)
{
    for (qint64 id = 1;; ++id)
        if (QCryptographicHash::hash(QByteArray::number(id), QCryptographicHash::Sha1)
                .toHex()
                .startsWith(prefix))
            return id;
}

MediaLibraryFixture::Item track(qint64 pid, qint64 cacheID)
{
    MediaLibraryFixture::Item item;
    item.pid = pid;
    item.title = QStringLiteral("Track %1").arg(pid);
    item.location = QStringLiteral("T%1.mp3").arg(pid);
    item.artworkCacheID = cacheID;
    return item;
}

// Three tracks: one whose artwork has two renditions (and the device's own
// small one, never stored), two whose hashes begin with "0a" and "00".
MediaLibraryFixture olderLibrary(qint64 zeroA, qint64 zeroZero)
{
    MediaLibraryFixture library;
    library.schema.artworkInfo = true;
    library.items = {track(11, 500), track(12, zeroA), track(13, zeroZero), track(14, 0)};
    library.artworkInfo = {
        {500, 1200, 0, 3005},     {500, 5000, 1200, 3006},     {500, 100, 6200, 286261520},
        {zeroA, 300, 6300, 3005}, {zeroZero, 400, 6600, 3005},
    };
    return library;
}

struct Read {
    std::unique_ptr<Reader> reader;
    ArtworkTest::RecordingDelegate delegate;
    bool result = false;
};

std::unique_ptr<Read> readLibrary(const Device& device,
                                  const QString& name = QStringLiteral("MediaLibrary.sqlitedb"))
{
    auto read = std::make_unique<Read>();
    read->reader = Reader::create(device.copies(), name);
    read->reader->setDeviceInterface(device.interface());
    read->reader->setDelegate(&read->delegate);
    read->result = read->reader->readImageDatabase();
    return read;
}

void writeLibrary(const Device& device, const MediaLibraryFixture& library,
                  const QString& name = QStringLiteral("MediaLibrary.sqlitedb"))
{
    QString error;
    ASSERT_TRUE(library.write(device.copies() + QLatin1Char('/') + name, &error))
        << error.toStdString();
}

TEST(MediaLibraryArtworkNames, HashAndFolderOfAnArtworkFile)
{
    EXPECT_EQ(Reader::_hashString(QStringLiteral("abc")),
              QStringLiteral("A9993E364706816ABA3E25717850C26C9CD0D89D"));
    const std::pair<const char*, const char*> zeros[] = {{"0a", "a"}, {"00", "0"}, {"1f", "1f"},
                                                         {"0", ""},   {"", ""},    {"a0", "a0"}};
    for (const auto& [in, out] : zeros)
        EXPECT_EQ(Reader::_removeLeadingZeroCharacterIn(QString::fromLatin1(in)),
                  QString::fromLatin1(out))
            << in;
    // SHA-1("abc") = a9993e36..., folder "a9", 16 digits from the third.
    EXPECT_EQ(Reader::artworkPathForCacheID(QStringLiteral("abc"), 3005),
              QStringLiteral("/iTunes_Control/iTunes/Artwork/a9/993e364706816aba_3005.jpg"));
}

TEST(MediaLibraryArtwork, EachRenditionBecomesAListOfOneImageLargestFirst)
{
    const qint64 zeroA = cacheIDHashedTo("0a");
    const qint64 zeroZero = cacheIDHashedTo("00");
    Device device;
    writeLibrary(device, olderLibrary(zeroA, zeroZero));
    const std::unique_ptr<Read> read = readLibrary(device);
    ASSERT_TRUE(read->result) << read->reader->failureReason().toStdString();
    EXPECT_EQ(read->delegate.completions(), QList<bool>{true});
    EXPECT_TRUE(read->delegate.progress().isEmpty());

    const QList<ImageListPtr> two = read->reader->store()->listsWithPhotoID(11);
    ASSERT_EQ(two.size(), 2); // the device's own 286261520 rendition is left out
    struct Case {
        const ImageList& list;
        qint64 length, offset, format;
    };
    for (const Case& c : {Case{*two[0], 5000, 1200, 3006}, Case{*two[1], 1200, 0, 3005}}) {
        SCOPED_TRACE(c.length);
        ASSERT_EQ(c.list.imageDetails.size(), 1u);
        const ImageDetail& image = *c.list.imageDetails.front();
        EXPECT_EQ(image.thumbnailPath,
                  QStringLiteral("/iTunes_Control/iTunes/MediaLibrary-artwork.data"));
        EXPECT_EQ(image.dataSize, c.length);
        EXPECT_EQ(image.thumbnailOffset, c.offset);
        EXPECT_EQ(image.mhifReference, 11);
        EXPECT_EQ(image.imageFormat, std::nullopt);
        EXPECT_EQ(image.imageID, std::nullopt);
        EXPECT_EQ(image.fullImagePath,
                  Reader::artworkPathForCacheID(QStringLiteral("500"), c.format));
    }
    // A track's artwork is its largest rendition.
    const ImageDetailPtr artwork = read->reader->getImageDetailForId(11);
    ASSERT_NE(artwork, nullptr);
    EXPECT_EQ(artwork->dataSize, 5000);

    const std::pair<qint64, QString> folders[] = {{12, QStringLiteral("/a/")},
                                                  {13, QStringLiteral("/0/")}};
    for (const auto& [pid, folder] : folders) {
        SCOPED_TRACE(pid);
        const ImageDetailPtr image = read->reader->getImageDetailForId(pid);
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(image->fullImagePath.startsWith(QStringLiteral("/iTunes_Control/iTunes/Artwork")
                                                    + folder))
            << image->fullImagePath.toStdString();
        EXPECT_EQ(QFileInfo(image->fullImagePath).fileName().size(), 16 + 9);
    }
    EXPECT_EQ(read->reader->getImageDetailForId(14), nullptr);
    EXPECT_EQ(read->reader->store()->images().size(), 4u);
}

TEST(MediaLibraryArtwork, TheNewerSchemaAndUnreadableFilesStoreNothing)
{
    struct Case {
        const char* what;
        std::function<void(const Device&)> write;
        bool newer;
    };
    const Case cases[] = {
        {"item_artwork.best_artwork_token",
         [](const Device& d) {
             MediaLibraryFixture library = olderLibrary(1, 2);
             library.schema.itemArtwork = true;
             writeLibrary(d, library);
         },
         true},
        {"artwork_token.entity_pid",
         [](const Device& d) {
             MediaLibraryFixture library = olderLibrary(1, 2);
             library.schema.artworkToken = true;
             writeLibrary(d, library);
         },
         true},
        {"missing", [](const Device&) {}, false},
        {"empty", [](const Device& d) { d.copy(QStringLiteral("MediaLibrary.sqlitedb"), {}); },
         false},
        {"not a database",
         [](const Device& d) {
             d.copy(QStringLiteral("MediaLibrary.sqlitedb"), QByteArray(4096, 'x'));
         },
         false},
        {"truncated",
         [](const Device& d) {
             writeLibrary(d, olderLibrary(1, 2));
             QFile::resize(d.copies() + QStringLiteral("/MediaLibrary.sqlitedb"), 100);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Device device;
        c.write(device);
        const std::unique_ptr<Read> read = readLibrary(device);
        EXPECT_FALSE(read->result);
        EXPECT_EQ(read->reader->foundNewerSchema(), c.newer);
        EXPECT_FALSE(read->reader->failureReason().isEmpty());
        EXPECT_EQ(read->delegate.completions(), QList<bool>{false});
        EXPECT_TRUE(read->reader->store()->images().empty());
        EXPECT_EQ(read->reader->getImageDetailForId(11), nullptr);
    }
}

TEST(MediaLibraryArtwork, WithoutArtworkRowsTheReadSucceedsEmpty)
{
    Device device;
    MediaLibraryFixture library = olderLibrary(1, 2);
    library.schema.artworkInfo = false;
    writeLibrary(device, library);
    const std::unique_ptr<Read> read = readLibrary(device);
    EXPECT_TRUE(read->result);
    EXPECT_TRUE(read->reader->store()->images().empty());
    EXPECT_EQ(read->delegate.completions(), QList<bool>{true});
}

TEST(MediaLibraryArtwork, TheReaderOpensTheCopyItIsGiven)
{
    // Only a ".bak" copy: that is the one read.
    Device device;
    writeLibrary(device, olderLibrary(1, 2), QStringLiteral("MediaLibrary.sqlitedb.bak"));
    const std::unique_ptr<Read> read =
        readLibrary(device, QStringLiteral("MediaLibrary.sqlitedb.bak"));
    EXPECT_TRUE(read->result) << read->reader->failureReason().toStdString();
    EXPECT_NE(read->reader->getImageDetailForId(11), nullptr);
}

TEST(MediaLibraryArtwork, ThePicturesComeFromThePackedFileAndTheArtworkFolder)
{
    Device device;
    const QByteArray small = PhotosTest::jpegBytes(QSize(20, 20), Qt::red);
    const QByteArray large = PhotosTest::jpegBytes(QSize(60, 60), Qt::blue);
    MediaLibraryFixture library;
    library.schema.artworkInfo = true;
    library.items = {track(21, 77)};
    library.artworkInfo = {{77, small.size(), 10, 3005}};
    writeLibrary(device, library);
    device.file(QStringLiteral("iTunes_Control/iTunes/MediaLibrary-artwork.data"),
                QByteArray(10, '\0') + small);
    const QString full = Reader::artworkPathForCacheID(QStringLiteral("77"), 3005);
    device.file(full.mid(1), large);
    const std::unique_ptr<Read> read = readLibrary(device);
    ASSERT_TRUE(read->result);
    const ImageDetailPtr artwork = read->reader->getImageDetailForId(21);
    ASSERT_NE(artwork, nullptr);
    EXPECT_EQ(read->reader->getThumbnailImageFromDetail(artwork.get()).size(), QSize(20, 20));
    EXPECT_EQ(read->reader->getFullImageFromDetail(artwork.get()).size(), QSize(60, 60));
}

// --- The artwork loader ------------------------------------------------------

class RecordingLoadDelegate : public QELDeviceImageLibraryGetArtworkFromURLDelegate {
public:
    void OnLoadArtworkFromURLCompleteWithImage(const QImage& image) override { images << image; }
    void OnLoadArtworkFromURLFailed() override { ++failures; }
    QList<QImage> images;
    int failures = 0;
};

TEST(ArtworkFromURL, AnImageArrivesOtherAnswersAndSilenceFail)
{
    const QByteArray jpeg = PhotosTest::jpegBytes(QSize(12, 8), Qt::green);
    struct Case {
        const char* what;
        QByteArray response;
        bool silent;
        bool image;
    };
    const Case cases[] = {
        {"image", VersionServer::answer("200 OK", "image/jpeg", jpeg), false, true},
        {"image type in capitals", VersionServer::answer("200 OK", "Image/JPEG", jpeg), false,
         true},
        {"text", VersionServer::answer("200 OK", "text/html", "<html>no</html>"), false, false},
        {"image type, no picture", VersionServer::answer("200 OK", "image/png", "garbage"), false,
         false},
        {"not found", VersionServer::answer("404 Not Found", "image/jpeg", jpeg), false, false},
        {"silent", QByteArray(), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VersionServer server;
        server.response = c.response;
        server.silent = c.silent;
        // Silence waits out the 10 s time-out in 10 ms; the others never reach it.
        Clock::setScale(c.silent ? 0.001 : 1.0);
        RecordingLoadDelegate delegate;
        QELDeviceImageLibraryGetArtworkFromURL loader;
        loader.setDelegate(&delegate);
        loader.startLoadingArtworkFromURL(server.url());
        EXPECT_EQ(loader.url(), server.url());
        if (c.image) {
            ASSERT_EQ(delegate.images.size(), 1);
            EXPECT_EQ(delegate.images.first().size(), QSize(12, 8));
            EXPECT_EQ(delegate.failures, 0);
        } else {
            EXPECT_TRUE(delegate.images.isEmpty());
            EXPECT_EQ(delegate.failures, 1);
        }
    }
}

} // namespace
