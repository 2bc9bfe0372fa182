// SPDX-License-Identifier: GPL-3.0-or-later
// The photo copy to a folder: originals byte for byte, album subfolders and
// file names that stay inside the chosen folder, nothing replaced, a JPEG
// only where the device has no original, failures counted, a real cancel.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ArtworkTestSupport.h"
#include "ImageDetail.h"
#include "PhotoQueue.h"
#include "PhotosTestSupport.h"
#include "QELCopyPhotos.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELDeviceInterface.h"
#include "RecordingCopyDelegate.h"
#include "SafePath.h"

using PhotosDbFixture::Asset;
using PhotosDbFixture::Schema;
using PhotosTest::Library;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Every file below `root`, relative, with its bytes.
QMap<QString, QByteArray> filesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readFile(path));
    }
    return files;
}

std::shared_ptr<QELDeviceImageLibraryReader> held(QELDeviceImageLibraryReader& reader)
{
    return std::shared_ptr<QELDeviceImageLibraryReader>(&reader, [](auto*) {});
}

Asset asset(qint64 pk, const QString& name, const QString& directory = "DCIM/100APPLE")
{
    Asset a;
    a.pk = pk;
    a.fileName = name;
    a.directory = directory;
    a.sortToken = double(pk);
    return a;
}

struct Device {
    Device() { QDir().mkpath(base()); }
    Library library;
    // The chosen folder, alone in a folder of its own.
    QTemporaryDir root;
    QString base() const { return root.path() + "/chosen"; }
    void file(const QString& path, const QByteArray& bytes) { library.deviceFile(path, bytes); }
};

} // namespace

// Each image's original arrives byte for byte under its whole device file
// name, in the folder of the album it was last listed through; hostile album
// names stay inside the chosen folder.
TEST(PhotoCopy, OriginalsArriveByteForByteInTheirAlbumFolderUnderTheirWholeName)
{
    struct Case {
        QString fileName;
        QString album; // null: listed through no album
        QString expected;
    };
    const QList<Case> cases = {
        {"IMG_0001.JPG", QString(), "IMG_0001.JPG"},
        {"IMG_0002.HEIC", "Holidays", "Holidays/IMG_0002.HEIC"},
        {"IMG_0003.MOV", "Holidays", "Holidays/IMG_0003.MOV"},
        {"IMG_0004.mp4", "", "IMG_0004.mp4"},
        {"IMG_0005.Mov", "../x", "___x/IMG_0005.Mov"},
        {"IMG_20160101_123456.MOV", "a/b", "a_b/IMG_20160101_123456.MOV"},
        {"IMG_0007.PNG", QStringLiteral("bad\x01name"), "bad_name/IMG_0007.PNG"},
    };
    Device d;
    QList<Asset> assets;
    for (int i = 0; i < cases.size(); ++i) {
        assets << asset(i + 1, cases[i].fileName);
        d.file("DCIM/100APPLE/" + cases[i].fileName,
               PhotosTest::jpegBytes(QSize(8 + i, 8), Qt::red) + QByteArray("EXIF-tail") + char(i));
    }
    d.library.database(Schema{}, assets);
    ASSERT_TRUE(d.library.read());
    QELCopyPhotos::Run run(d.base());
    for (int i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].fileName.toStdString());
        const ImageDetailPtr image = d.library.image(i + 1);
        ASSERT_NE(image, nullptr);
        image->setSingleInstanceAlbumName(cases[i].album);
        QString path;
        QString error;
        EXPECT_EQ(QELCopyPhotos::copyPhoto(*image, d.library.reader(), &d.library.device(), run,
                                           nullptr, &path, &error),
                  QELCopyPhotos::CopyResult::Copied)
            << error.toStdString();
        EXPECT_EQ(path, d.base() + "/" + cases[i].expected);
        EXPECT_TRUE(SafePath::isInside(d.base(), path));
        EXPECT_EQ(readFile(path),
                  readFile(d.library.deviceRoot() + "/DCIM/100APPLE/" + cases[i].fileName));
    }
    ASSERT_TRUE(run.batch().commit());
    // Nothing else: no temporary file left, nothing outside the folder.
    EXPECT_EQ(filesBelow(d.base()).size(), cases.size());
    EXPECT_EQ(QDir(d.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"chosen"});
}

// A device file name that names a path, or holds control characters, gives
// one plain file in the chosen folder, byte for byte.
TEST(PhotoCopy, HostileFileNamesGiveOnePlainFileInside)
{
    Device d;
    const QStringList names = {"../../evil.JPG", "a/b.JPG", QStringLiteral("line\nbreak\x01.JPG")};
    QList<Asset> assets;
    for (int i = 0; i < names.size(); ++i) {
        assets << asset(i + 1, names[i]);
        // Where the device has it: ".." never climbs above its root.
        d.file(QDir::cleanPath("DCIM/100APPLE/" + names[i]), "bytes " + QByteArray::number(i));
    }
    d.library.database(Schema{}, assets);
    ASSERT_TRUE(d.library.read());
    QELCopyPhotos::Run run(d.base());
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        QString path;
        QString error;
        const ImageDetailPtr image = d.library.image(i + 1);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(QELCopyPhotos::copyPhoto(*image, d.library.reader(), &d.library.device(), run,
                                           nullptr, &path, &error),
                  QELCopyPhotos::CopyResult::Copied)
            << error.toStdString();
        EXPECT_EQ(QFileInfo(path).path(), d.base());
        EXPECT_TRUE(SafePath::isPlainName(QFileInfo(path).fileName()));
        EXPECT_EQ(readFile(path), "bytes " + QByteArray::number(i));
    }
    ASSERT_TRUE(run.batch().commit());
    EXPECT_EQ(QDir(d.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"chosen"});
}

// Two photos of one name from two camera folders both arrive; a file that
// was there before is never replaced: the same name and size counts as
// copied, another size gets " (n)".
TEST(PhotoCopy, NothingAlreadyThereIsReplaced)
{
    Device d;
    const QByteArray first = PhotosTest::jpegBytes(QSize(10, 10), Qt::blue);
    const QByteArray second = PhotosTest::jpegBytes(QSize(30, 20), Qt::green);
    d.file("DCIM/100APPLE/IMG_0001.JPG", first);
    d.file("DCIM/101APPLE/IMG_0001.JPG", second);
    d.file("DCIM/101APPLE/IMG_0009.JPG", second);
    d.library.database(Schema{},
                       {asset(1, "IMG_0001.JPG"), asset(2, "IMG_0001.JPG", "DCIM/101APPLE"),
                        asset(3, "IMG_0009.JPG", "DCIM/101APPLE")});
    ASSERT_TRUE(d.library.read());
    // Earlier copies: one of the same size (other bytes), one of another size.
    const QByteArray sameSize(second.size(), 'k');
    writeFile(d.base() + "/IMG_0009.JPG", sameSize);

    struct Case {
        qint64 id;
        QELCopyPhotos::CopyResult result;
        QString name;
    };
    const QList<Case> cases = {
        {1, QELCopyPhotos::CopyResult::Copied, "IMG_0001.JPG"},
        {2, QELCopyPhotos::CopyResult::Copied, "IMG_0001 (1).JPG"},
        {3, QELCopyPhotos::CopyResult::AlreadyThere, "IMG_0009.JPG"},
    };
    QELCopyPhotos::Run run(d.base());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        QString path;
        QString error;
        EXPECT_EQ(QELCopyPhotos::copyPhoto(*d.library.image(c.id), d.library.reader(),
                                           &d.library.device(), run, nullptr, &path, &error),
                  c.result);
        EXPECT_EQ(QFileInfo(path).fileName(), c.name);
    }
    ASSERT_TRUE(run.batch().commit());
    EXPECT_EQ(readFile(d.base() + "/IMG_0001.JPG"), first);
    EXPECT_EQ(readFile(d.base() + "/IMG_0001 (1).JPG"), second);
    EXPECT_EQ(readFile(d.base() + "/IMG_0009.JPG"), sameSize);

    // A second run of the same photos into a folder that has a file of
    // another size under the first name: that file stays, the copy is numbered.
    QTemporaryDir again;
    writeFile(again.path() + "/IMG_0001.JPG", "not a photo");
    QELCopyPhotos::Run second_run(again.path());
    QString path;
    QString error;
    EXPECT_EQ(QELCopyPhotos::copyPhoto(*d.library.image(1), d.library.reader(), &d.library.device(),
                                       second_run, nullptr, &path, &error),
              QELCopyPhotos::CopyResult::Copied);
    ASSERT_TRUE(second_run.batch().commit());
    EXPECT_EQ(readFile(again.path() + "/IMG_0001.JPG"), QByteArray("not a photo"));
    EXPECT_EQ(readFile(again.path() + "/IMG_0001 (1).JPG"), first);
}

// An image whose device has no original file (the binary photo database)
// is written as a JPEG of its picture; a video without its file, and a
// picture that does not decode, leave nothing.
TEST(PhotoCopy, AJpegOnlyWhereTheDeviceHasNoOriginal)
{
    Device d;
    d.file("Photos/Thumbs/F1019_1.ithmb",
           QByteArray(16, 'p') + PhotosTest::jpegBytes(QSize(40, 30), Qt::red));
    d.library.database(Schema{}, {});
    ASSERT_TRUE(d.library.read());
    auto picture = std::make_shared<ImageDetail>();
    picture->title = "IMG_0042.PNG";
    picture->thumbnailPath = "Photos/Thumbs/F1019_1.ithmb";
    picture->thumbnailOffset = 16;
    picture->dataSize = PhotosTest::jpegBytes(QSize(40, 30), Qt::red).size();
    picture->imageFormat = 0;
    auto video = std::make_shared<ImageDetail>();
    video->title = "IMG_0043.MOV";
    video->fullImagePath = "DCIM/100APPLE/IMG_0043.MOV";
    auto broken = std::make_shared<ImageDetail>();
    broken->title = "IMG_0044.JPG";
    broken->thumbnailPath = "Photos/Thumbs/F1019_1.ithmb";
    broken->thumbnailOffset = 0;
    broken->dataSize = 16;
    broken->imageFormat = 0;

    QELCopyPhotos::Run run(d.base());
    QString path;
    QString error;
    EXPECT_EQ(QELCopyPhotos::copyPhoto(*picture, d.library.reader(), &d.library.device(), run,
                                       nullptr, &path, &error),
              QELCopyPhotos::CopyResult::Copied);
    EXPECT_EQ(QFileInfo(path).fileName(), "IMG_0042.jpg");
    for (const ImageDetailPtr& lost : {video, broken}) {
        SCOPED_TRACE(lost->title.toStdString());
        EXPECT_EQ(QELCopyPhotos::copyPhoto(*lost, d.library.reader(), &d.library.device(), run,
                                           nullptr, &path, &error),
                  QELCopyPhotos::CopyResult::Failed);
    }
    ASSERT_TRUE(run.batch().commit());
    const QMap<QString, QByteArray> files = filesBelow(d.base());
    ASSERT_EQ(files.keys(), QStringList{"IMG_0042.jpg"});
    QImage written;
    ASSERT_TRUE(written.loadFromData(files.first(), "JPEG"));
    EXPECT_EQ(written.size(), QSize(40, 30));
}

// A cancelled copy stops inside the file and leaves nothing behind.
TEST(PhotoCopy, ACancelledCopyLeavesNoFile)
{
    Device d;
    d.file("DCIM/100APPLE/IMG_0001.MOV", QByteArray(9 << 20, 'v'));
    d.library.database(Schema{}, {asset(1, "IMG_0001.MOV")});
    ASSERT_TRUE(d.library.read());
    QELCopyPhotos::Run run(d.base());
    const std::atomic<bool> cancelled{true};
    QString path;
    QString error;
    EXPECT_EQ(QELCopyPhotos::copyPhoto(*d.library.image(1), d.library.reader(), &d.library.device(),
                                       run, &cancelled, &path, &error),
              QELCopyPhotos::CopyResult::Cancelled);
    run.batch().abandon();
    EXPECT_TRUE(filesBelow(d.base()).isEmpty());
}

// The job: one begin event per item with the album in its text, every item
// that could not be copied counted, the end event also for an empty queue.
TEST(PhotoCopy, TheJobReportsEachItemAndCountsThoseNotCopied)
{
    Device d;
    d.file("DCIM/100APPLE/IMG_0001.JPG", PhotosTest::jpegBytes(QSize(8, 8), Qt::red));
    d.library.database(Schema{}, {asset(1, "IMG_0001.JPG"), asset(2, "IMG_0002.MOV")});
    ASSERT_TRUE(d.library.read());
    d.library.image(1)->setSingleInstanceAlbumName("Trip");

    RecordingCopyDelegate events;
    QELCopyPhotos job;
    job.setDelegate(&events);
    job.setDeviceInteface(&d.library.device());
    job.setImageLibraryReader(held(d.library.reader()));
    job.setBaseCopyPath(d.base());
    job.setItemQueue(PhotoQueue::itemsOf({d.library.image(1), d.library.image(2)}));
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied());
    const auto begins = events.begins();
    ASSERT_EQ(begins.size(), 2u);
    EXPECT_TRUE(begins[0].itemDescription.startsWith("IMG_0001.JPG"));
    EXPECT_TRUE(begins[0].itemDescription.contains("Trip"));
    EXPECT_EQ(begins[1].itemCount, 2u);
    EXPECT_EQ(job.failedItemCount(), 1u);
    EXPECT_TRUE(QFileInfo(d.base() + "/Trip/IMG_0001.JPG").isFile());

    job.setItemQueue({});
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied(2));
    EXPECT_EQ(job.failedItemCount(), 0u);
}

// The bar follows the originals' bytes: a 12 MiB video among two photos
// moves it while it is copied and weighs what it takes; the run ends full.
// A photo without an original (a JPEG is made) leaves the bar counting items.
TEST(PhotoCopy, TheJobReportsTheBytesOfTheOriginals)
{
    Device d;
    const QByteArray small = PhotosTest::jpegBytes(QSize(8, 8), Qt::red);
    const QByteArray video(12 << 20, 'v');
    d.file("DCIM/100APPLE/IMG_0001.JPG", small);
    d.file("DCIM/100APPLE/IMG_0002.MOV", video);
    d.file("DCIM/100APPLE/IMG_0003.JPG", small);
    d.library.database(Schema{},
                       {asset(1, "IMG_0001.JPG"), asset(2, "IMG_0002.MOV"),
                        asset(3, "IMG_0003.JPG"), asset(4, "IMG_0004.JPG")});
    ASSERT_TRUE(d.library.read());

    RecordingCopyDelegate events;
    QELCopyPhotos job;
    job.setDelegate(&events);
    job.setDeviceInteface(&d.library.device());
    job.setImageLibraryReader(held(d.library.reader()));
    job.setBaseCopyPath(d.base());
    job.setItemQueue(
        PhotoQueue::itemsOf({d.library.image(1), d.library.image(2), d.library.image(3)}));
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied());
    const quint64 total = quint64(2 * small.size() + video.size());
    EXPECT_GE(events.expectBytesGrowTo(total, 2, quint64(small.size()),
                                       quint64(small.size() + video.size())),
              2);

    // The fourth has no file on the device: its size is unknown.
    job.setItemQueue(PhotoQueue::itemsOf({d.library.image(2), d.library.image(4)}));
    const size_t before = events.byteSteps().size();
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied(2));
    const auto second = events.byteSteps();
    for (size_t i = before; i < second.size(); ++i)
        EXPECT_EQ(second[i].byteCount, 0u);
    EXPECT_EQ(events.begins().back().itemNumber, 2u);
}

// An iPod's photo database has no original files: each photo is written
// once as a JPEG of its largest stored picture, named after its title.
TEST(PhotoCopy, APhotoDatabasesPhotosArriveAsJpegs)
{
    ArtworkTest::Device device;
    device.install(ArtworkTest::photoSample(), QStringLiteral("Photos"),
                   QStringLiteral("Photo Database"));
    auto reader = QELDeviceImagePhotosBinaryReader::create(device.copies());
    ASSERT_NE(reader, nullptr);
    reader->setDeviceInterface(device.interface());
    reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
    ASSERT_TRUE(reader->readImageDatabase());
    QTemporaryDir target;
    QELCopyPhotos::Run run(target.path());
    QSet<qint64> seen;
    int copied = 0;
    for (const ImageDetailPtr& image : reader->_getAllAssets()) {
        if (!image->imageID || seen.contains(*image->imageID))
            continue;
        seen.insert(*image->imageID);
        image->setSingleInstanceAlbumName(QString());
        QString path;
        QString error;
        ASSERT_EQ(QELCopyPhotos::copyPhoto(*image, *reader, device.interface(), run, nullptr, &path,
                                           &error),
                  QELCopyPhotos::CopyResult::Copied)
            << error.toStdString();
        EXPECT_TRUE(path.endsWith(".jpg")) << path.toStdString();
        QImage written;
        EXPECT_TRUE(written.loadFromData(readFile(path), "JPEG")) << path.toStdString();
        ++copied;
    }
    ASSERT_TRUE(run.batch().commit());
    EXPECT_GT(copied, 0);
    EXPECT_EQ(filesBelow(target.path()).size(), copied);
}
