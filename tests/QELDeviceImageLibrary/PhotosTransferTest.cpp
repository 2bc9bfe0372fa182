// SPDX-License-Identifier: GPL-3.0-or-later
// The photo transfer into the computer's photo library: temporary copies
// under names of their own, one import per album with its favourites, the
// copies gone afterwards, failures counted, a cancel that imports nothing;
// and the folder library that imports into the pictures folder.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "FolderPhotoLibraryHost.h"
#include "Locations.h"
#include "PhotoQueue.h"
#include "PhotosTestSupport.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELTransferPhotos.h"
#include "QELTransferPhotosDelegate.h"
#include "QELTransferPhotosPhotos.h"
#include "RecordingCopyDelegate.h"
#include "RecordingPhotoLibraryHost.h"
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

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
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

// Cancels its job as soon as the import begins.
class CancelAtImport : public QELTransferPhotosDelegate {
public:
    void OnImportingToIPhotosStarted() override
    {
        ++started;
        if (job)
            job->cancelCopy();
    }
    QELCopy* job = nullptr;
    std::atomic<int> started{0};
};

// A library of four images over a device folder: two of one name in two
// camera folders (one a favourite) listed through "Trip", a PNG and a video
// listed through no album.
struct TransferFixture {
    TransferFixture()
    {
        library.deviceFile("DCIM/100APPLE/IMG_0001.JPG", jpegA);
        library.deviceFile("DCIM/101APPLE/IMG_0001.JPG", jpegB);
        library.deviceFile("DCIM/100APPLE/IMG_0002.PNG", png);
        library.deviceFile("DCIM/100APPLE/IMG_0003.MOV", movie);
        Asset favourite = asset(2, "IMG_0001.JPG", "DCIM/101APPLE");
        favourite.favorite = 1;
        library.database(Schema{},
                         {asset(1, "IMG_0001.JPG"), favourite, asset(3, "IMG_0002.PNG"),
                          asset(4, "IMG_0003.MOV")});
        EXPECT_TRUE(library.read());
        library.image(1)->setSingleInstanceAlbumName("Trip");
        library.image(2)->setSingleInstanceAlbumName("Trip");
        reader = std::shared_ptr<QELDeviceImageLibraryReader>(&library.reader(), [](auto*) {});
    }
    void run(QELTransferPhotos& job, QELTransferPhotosDelegate* transferDelegate = nullptr)
    {
        job.setDelegate(&events);
        job.setDeviceInteface(&library.device());
        job.setImageLibraryReader(reader);
        job.setPhotoLibraryHost(host);
        job.setPhotoTransferDelegate(transferDelegate);
        job.setItemQueue(PhotoQueue::itemsOf(
            {library.image(1), library.image(2), library.image(3), library.image(4)}));
        job.startCopy();
        ASSERT_TRUE(events.waitForAllItemsCopied());
    }
    // What the runs left in the temporary folder (the store is the reader's).
    QStringList leftOver() const
    {
        return QDir(Locations::temporaryFolder()).entryList({"transfer*"}, QDir::AllEntries);
    }

    Library library;
    std::shared_ptr<QELDeviceImageLibraryReader> reader;
    std::shared_ptr<RecordingPhotoLibraryHost> host = std::make_shared<RecordingPhotoLibraryHost>();
    RecordingCopyDelegate events;
    const QByteArray jpegA = PhotosTest::jpegBytes(QSize(10, 10), Qt::red) + "A";
    const QByteArray jpegB = PhotosTest::jpegBytes(QSize(12, 10), Qt::blue) + "B";
    const QByteArray png = [] {
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(Qt::green);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }();
    const QByteArray movie = QByteArray(5000, 'm');
};

} // namespace

// The library that keeps originals gets every file as the device has it,
// one import per album, the favourite by its position; two images of one
// name never share a copy; the copies are gone afterwards.
TEST(PhotoTransfer, OriginalsGoIntoTheirAlbumOnceEachWithTheirFavourites)
{
    TransferFixture f;
    QELTransferPhotosPhotos job;
    f.run(job);
    const auto imports = f.host->imports();
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[0].album, std::optional<QString>("Trip"));
    EXPECT_EQ(imports[0].names, (QStringList{"IMG_0001.JPG", "IMG_0001.JPG"}));
    EXPECT_NE(imports[0].paths[0], imports[0].paths[1]);
    EXPECT_EQ(imports[0].bytes, (QList<QByteArray>{f.jpegA, f.jpegB}));
    EXPECT_EQ(imports[0].favourites, QList<int>{2});
    EXPECT_EQ(imports[1].album, std::nullopt);
    EXPECT_EQ(imports[1].names, (QStringList{"IMG_0002.PNG", "IMG_0003.MOV"}));
    EXPECT_EQ(imports[1].bytes, (QList<QByteArray>{f.png, f.movie}));
    EXPECT_TRUE(imports[1].favourites.isEmpty());
    EXPECT_EQ(job.failedItemCount(), 0u);
    EXPECT_EQ(f.events.begins().size(), 4u);
    EXPECT_TRUE(f.leftOver().isEmpty()) << f.leftOver().join(", ").toStdString();
}

// The library that takes still pictures as JPEG gets a JPEG of each photo
// and the video as it is.
TEST(PhotoTransfer, AJpegStillsLibraryGetsJpegsAndTheVideoAsItIs)
{
    TransferFixture f;
    f.host = std::make_shared<RecordingPhotoLibraryHost>(PhotoLibraryHost::Kind::TakesJpegStills);
    QELTransferPhotos job;
    f.run(job);
    const auto imports = f.host->imports();
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[1].names, (QStringList{"IMG_0002.jpg", "IMG_0003.MOV"}));
    QImage still;
    ASSERT_TRUE(still.loadFromData(imports[1].bytes[0], "JPEG"));
    EXPECT_EQ(still.size(), QSize(6, 4));
    EXPECT_EQ(imports[1].bytes[1], f.movie);
}

// A cancel once the copies are made still reports the import's start and
// the end, imports nothing and leaves no copy.
TEST(PhotoTransfer, ACancelBeforeTheImportImportsNothing)
{
    TransferFixture f;
    QELTransferPhotosPhotos job;
    CancelAtImport cancel;
    cancel.job = &job;
    f.run(job, &cancel);
    EXPECT_EQ(cancel.started.load(), 1);
    EXPECT_TRUE(f.host->imports().empty());
    EXPECT_EQ(f.events.allItemsCopied().size(), 1u);
    EXPECT_TRUE(f.leftOver().isEmpty());
}

// Files the library refuses and images without a file are counted.
TEST(PhotoTransfer, RefusedAndMissingFilesAreCounted)
{
    TransferFixture f;
    QFile::remove(f.library.deviceRoot() + "/DCIM/100APPLE/IMG_0003.MOV");
    f.host->setRefuseAll(true);
    QELTransferPhotosPhotos job;
    f.run(job);
    // The video is lost before the import, the other three are refused.
    EXPECT_EQ(job.failedItemCount(), 4u);
    EXPECT_TRUE(f.leftOver().isEmpty());
}

// The folder library: album subfolders (names made safe), the library
// itself for no album, never an overwrite, no second copy of a file it
// holds, favourites with a rating sidecar.
TEST(FolderPhotoLibrary, ImportsIntoAlbumFoldersWithoutOverwritingOrRepeating)
{
    QTemporaryDir sources;
    const QString a = sources.path() + "/1/IMG_0001.JPG";
    const QString b = sources.path() + "/2/IMG_0001.JPG";
    const QString c = sources.path() + "/3/IMG_0002.HEIC";
    writeFile(a, "first photo");
    writeFile(b, "second photo, other bytes");
    writeFile(c, "heic bytes");
    FolderPhotoLibraryHost host;
    ASSERT_TRUE(host.available());
    EXPECT_EQ(host.folder(),
              QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)
                  + "/Orvane Photos");
    EXPECT_EQ(host.kind(), PhotoLibraryHost::Kind::KeepsOriginals);
    writeFile(host.folder() + "/Trip/IMG_0001.JPG", "the user's own file");

    struct Case {
        std::optional<QString> album;
        QStringList files;
        QList<int> favourites;
        int imported;
        int duplicates;
    };
    const QList<Case> cases = {
        {QString("Trip"), {a, b}, {2}, 2, 0}, {QString("Trip"), {a, b}, {}, 0, 2},
        {std::nullopt, {a, c}, {1}, 2, 0},    {std::nullopt, {c}, {}, 0, 1},
        {QString("../x"), {c}, {}, 1, 0},     {QString("a/b"), {c}, {}, 1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.album.value_or("<main>").toStdString());
        const PhotoLibraryHost::ImportResult result =
            host.importFiles(k.files, k.album, k.favourites);
        EXPECT_EQ(result.imported.size(), k.imported);
        EXPECT_EQ(result.duplicates, k.duplicates);
        EXPECT_EQ(result.failed, 0);
        for (const QString& path : result.imported)
            EXPECT_TRUE(SafePath::isInside(host.folder(), path));
    }
    EXPECT_EQ(
        filesBelow(host.folder()),
        (QStringList{"IMG_0001.JPG", "IMG_0001.JPG.xmp", "IMG_0002.HEIC", "Trip/IMG_0001 (1).JPG",
                     "Trip/IMG_0001 (2).JPG", "Trip/IMG_0001 (2).JPG.xmp", "Trip/IMG_0001.JPG",
                     "___x/IMG_0002.HEIC", "a_b/IMG_0002.HEIC"}));
    EXPECT_EQ(readFile(host.folder() + "/Trip/IMG_0001.JPG"), QByteArray("the user's own file"));
    EXPECT_EQ(readFile(host.folder() + "/Trip/IMG_0001 (1).JPG"), QByteArray("first photo"));
    EXPECT_TRUE(readFile(host.folder() + "/IMG_0001.JPG.xmp").contains("xmp:Rating=\"5\""));
    // The sources stay where they are.
    EXPECT_TRUE(QFileInfo(a).isFile());
}
