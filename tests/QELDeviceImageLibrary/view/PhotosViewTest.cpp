// SPDX-License-Identifier: GPL-3.0-or-later
// The photos view over a simulated iPhone with a photo library: which page
// shows, the outline and the browser's contents, the viewer's counter and
// buttons, thumbnails read off the GUI thread, the video preview's copies,
// and which images a copy and a transfer take.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "DeviceEventRecorder.h"
#include "IPodFramework.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "PhotoLibraryLoad.h"
#include "PhotosDbFixture.h"
#include "PhotosTestSupport.h"
#include "QELAlbumOutlineModel.h"
#include "QELCameraView.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELNSImageView.h"
#include "QELPhotoBrowserModel.h"
#include "QELPhotoThumbnailLoader.h"
#include "QELPhotosView.h"
#include "QELTransferPhotos.h"
#include "QELTransferPhotosPhotos.h"
#include "RecordingPhotoLibraryHost.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"
#include "ThreadCheck.h"
#include "WaitUntil.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

class Statuses : public QELDeviceCategoryContentViewDelegate {
public:
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        lines << top + QLatin1Char('|') + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(const QString&,
                                                                            const QString& d, int,
                                                                            int) override
    {
        progress << d;
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList lines;
    QStringList progress;
};

enum class Library { Full, Empty, None };

// A simulated iPhone whose photo library has five images (one a video, one a
// favourite) in two albums: "Beach" (1, 2, 3) and "City" (3, 4).
class PhotosViewTest : public ::testing::Test {
protected:
    // `brokenFile`: a device file whose reads fail after its first bytes.
    void attach(Library library = Library::Full, const QString& brokenFile = QString())
    {
        SimulatedDeviceBuilder builder(m_dir.filePath("phone"));
        if (!brokenFile.isEmpty())
            builder.readError(brokenFile, 10);
        QList<Asset> assets;
        const QStringList names = {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG", "IMG_0004.MOV",
                                   "IMG_0005.JPG"};
        QByteArray thumbnails;
        for (int i = 0; i < names.size(); ++i) {
            Asset a;
            a.pk = i + 1;
            a.fileName = names[i];
            a.thumbnailIndex = i;
            a.sortToken = i + 1;
            a.width = 1000;
            a.height = 1000;
            a.favorite = i == 1;
            assets << a;
            m_originals << PhotosTest::jpegBytes(QSize(40 + i, 30), Qt::red) + char('a' + i);
            builder.afcFile("DCIM/100APPLE/" + names[i], m_originals.last());
            thumbnails += PhotosDbFixture::ithmbRecord(120, quint16(0x7C00));
        }
        const QString database = m_dir.filePath("Photos.sqlite");
        if (library != Library::None) {
            ASSERT_TRUE(PhotosDbFixture::write(
                database, PhotosDbFixture::Schema{},
                library == Library::Full ? assets : QList<Asset>{},
                library == Library::Full ? QList<AlbumRow>{{10, 1552, "Library", {1, 2, 3, 4, 5}},
                                                           {11, 2, "Beach", {1, 2, 3}},
                                                           {12, 2, "City", {3, 4}}}
                                         : QList<AlbumRow>{}));
            builder.afcFile("PhotoData/Photos.sqlite", readFile(database));
            builder.afcFile("PhotoData/Thumbnails/120x120.ithmb", thumbnails);
        }
        m_simulator->attach(builder.build());
        m_device = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_device->setDelegate(&m_events);
        m_device->BeginDeviceConnectionDetect();
        ASSERT_TRUE(m_events.waitForSuccess());
    }

    std::unique_ptr<QELPhotosView> makeView()
    {
        auto view = std::make_unique<QELPhotosView>(QRect(0, 0, 900, 560));
        view->setDeviceInterface(m_device.get());
        view->setDelegate(&m_statuses);
        view->QWidget::resize(900, 560);
        view->show();
        return view;
    }

    bool loaded(QELPhotosView& view)
    {
        view.loadPhotos();
        return waitUntil([&] { return view.shownPage() != QLatin1String("loading"); });
    }

    void TearDown() override
    {
        if (m_device)
            m_device->shutdown();
    }

    // Selects the albums of these titles, in the order given.
    static void selectAlbums(QELPhotosView& view, const QStringList& titles)
    {
        QTreeView* tree = view.albumOutlineView();
        tree->selectionModel()->clearSelection();
        QELAlbumOutlineModel* model = view.outlineModel();
        for (const QString& title : titles)
            for (int g = 0; g < model->rowCount(); ++g) {
                const QModelIndex group = model->index(g, 0);
                for (int r = 0; r < model->rowCount(group); ++r)
                    if (model->index(r, 0, group).data().toString() == title)
                        tree->selectionModel()->select(model->index(r, 0, group),
                                                       QItemSelectionModel::Select);
            }
    }

    static QList<qint64> ids(const QList<ImageDetailPtr>& images)
    {
        QList<qint64> list;
        for (const ImageDetailPtr& image : images)
            list << image->imageID.value_or(-1);
        return list;
    }

    QTemporaryDir m_dir;
    QList<QByteArray> m_originals;
    DeviceEventRecorder m_events;
    Statuses m_statuses;
    std::shared_ptr<SimulatedMobileDevice> m_simulator = std::make_shared<SimulatedMobileDevice>();
    std::shared_ptr<IPodFramework> m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    std::unique_ptr<QELDeviceInterface> m_device;
};

} // namespace

TEST_F(PhotosViewTest, ALibraryShowsItsOutlineAndTheFirstAlbumOfTheLibrary)
{
    attach();
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    EXPECT_EQ(view->shownPage(), "display");
    QELAlbumOutlineModel* outline = view->outlineModel();
    QAbstractItemModelTester tester(outline,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(outline->headings(), (QStringList{"library", "albums"}));
    EXPECT_EQ(outline->index(0, 0).data().toString(), "LIBRARY");
    EXPECT_EQ(outline->index(1, 0).data().toString(), "ALBUMS");
    EXPECT_FALSE(outline->flags(outline->index(0, 0)) & Qt::ItemIsSelectable);
    // The library album is selected: every image, oldest first.
    EXPECT_EQ(ids(view->assetsToDisplayInBrowser()), (QList<qint64>{1, 2, 3, 4, 5}));
    // The fourth is a video, counted as one.
    EXPECT_EQ(view->photoCountTextField()->text(), "4 photos, 1 video");
    EXPECT_EQ(view->imageBrowserView()->model()->rowCount(), 5);
}

TEST_F(PhotosViewTest, TwoAlbumsShowOneAfterTheOtherWithRepeatsAndTheCountAgrees)
{
    attach();
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    QAbstractItemModelTester tester(view->browserModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    struct Case {
        QStringList albums;
        QList<qint64> images;
        QString count;
    };
    // Newest first within an album; picking order does not matter.
    const QList<Case> cases = {
        {{"City", "Beach"}, {3, 2, 1, 4, 3}, "4 photos, 1 video"},
        {{"City"}, {4, 3}, "1 photo, 1 video"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.albums.join(',').toStdString());
        selectAlbums(*view, c.albums);
        EXPECT_EQ(ids(view->assetsToDisplayInBrowser()), c.images);
        EXPECT_EQ(view->photoCountTextField()->text(), c.count);
    }
    EXPECT_EQ(QELPhotosView::countText(1), "1 photo");
    EXPECT_EQ(QELPhotosView::countText(0), "0 photos");
    // The Videos album counts videos, a mixed one both.
    EXPECT_EQ(QELPhotosView::countText(0, 1), "1 video");
    EXPECT_EQ(QELPhotosView::countText(2, 1), "2 photos, 1 video");
    EXPECT_EQ(QELPhotosView::countText(1, 0), "1 photo");
}

TEST_F(PhotosViewTest, TheViewerCountsAndEnablesItsButtonsAndGoesBack)
{
    attach();
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    selectAlbums(*view, {"Beach"});
    view->buttonViewPhotosClicked();
    EXPECT_EQ(view->shownPage(), "viewer");
    struct Step {
        std::function<void()> act;
        QString counter;
        bool previous;
        bool next;
    };
    const QList<Step> steps = {
        {[] {}, "1 of 3", false, true},
        {[&] { view->buttonFullSizeViewNextClicked(); }, "2 of 3", true, true},
        {[&] { view->buttonFullSizeViewNextClicked(); }, "3 of 3", true, false},
        {[&] { view->buttonFullSizeViewNextClicked(); }, "3 of 3", true, false},
        {[&] { view->buttonFullSizeViewPreviousClicked(); }, "2 of 3", true, true},
    };
    for (const Step& step : steps) {
        step.act();
        SCOPED_TRACE(step.counter.toStdString());
        EXPECT_EQ(view->fullSizeImageViewCounterTextField()->text(), step.counter);
        EXPECT_EQ(view->buttonFullSizeViewPrevious()->isEnabled(), step.previous);
        EXPECT_EQ(view->buttonFullSizeViewNext()->isEnabled(), step.next);
    }
    EXPECT_EQ(view->fullSizeImageViewBackButton()->text(), "Beach");
    // The full picture arrives from a worker.
    EXPECT_TRUE(waitUntil([&] { return view->fullSizeImageView()->image().width() == 41; }));
    // A double click in the viewer goes back, and the selection is gone.
    view->OnImageViewDoubleClicked();
    EXPECT_EQ(view->shownPage(), "display");
    EXPECT_TRUE(view->imageSelectionDetails().isEmpty());

    // A double click on one image (which selects it) opens the viewer on that
    // cell, paging through the whole album shown; the arrows page, Esc leaves.
    view->imageBrowserView()->selectionModel()->select(view->browserModel()->index(2),
                                                       QItemSelectionModel::ClearAndSelect);
    view->imageBrowserCellWasDoubleClickedAtIndex(2);
    EXPECT_EQ(view->fullSizeImageViewCounterTextField()->text(), "3 of 3");
    EXPECT_TRUE(view->buttonFullSizeViewPrevious()->isEnabled());
    EXPECT_FALSE(view->buttonFullSizeViewNext()->isEnabled());
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->fullSizeImageViewBackButton()->setFocus();
    QTest::keyClick(view->fullSizeImageViewBackButton(), Qt::Key_Left);
    EXPECT_EQ(view->fullSizeImageViewCounterTextField()->text(), "2 of 3");
    QTest::keyClick(view->fullSizeImageViewBackButton(), Qt::Key_Right);
    EXPECT_EQ(view->fullSizeImageViewCounterTextField()->text(), "3 of 3");
    EXPECT_TRUE(view->escapePressed());
    EXPECT_EQ(view->shownPage(), "display");
    EXPECT_FALSE(view->escapePressed());
    // Nothing to view: nothing happens.
    selectAlbums(*view, {});
    view->buttonViewPhotosClicked();
    EXPECT_EQ(view->shownPage(), "display");
}

TEST_F(PhotosViewTest, NoLibraryOrAnEmptyOneShowsTheNoPhotosPage)
{
    for (Library library : {Library::None, Library::Empty}) {
        SCOPED_TRACE(int(library));
        attach(library);
        auto view = makeView();
        ASSERT_TRUE(loaded(*view));
        EXPECT_EQ(view->shownPage(), "noPhotos");
        EXPECT_EQ(view->noPhotosTextField()->text(), "There are no photos on this device.");
        if (library == Library::None) {
            EXPECT_EQ(view->outlineModel()->rowCount(), 0);
        }
        view.reset();
        m_device->shutdown();
        m_device.reset();
    }
}

// The window never reads the device: with the check on, loading, showing
// thumbnails, scrolling and viewing raise no violation, and every cell's
// thumbnail arrives.
TEST_F(PhotosViewTest, ThumbnailsAndPicturesAreReadOffTheGuiThread)
{
    attach();
    std::atomic<int> violations{0};
    ThreadCheck::setViolationHandler([&](const char*) { ++violations; });
    ThreadCheck::setEnabled(true);
    {
        auto view = makeView();
        ASSERT_TRUE(loaded(*view));
        QELPhotoThumbnailLoader* loader = view->thumbnailLoader();
        EXPECT_TRUE(waitUntil([&] {
            for (qint64 id : {1, 2, 3, 4, 5})
                if (!loader->hasThumbnail(id))
                    return false;
            return true;
        }));
        const QImage cell = view->browserModel()->index(0).data(Qt::DecorationRole).value<QImage>();
        ASSERT_FALSE(cell.isNull());
        EXPECT_EQ(QColor(cell.pixel(60, 60)), QColor(255, 0, 0));
        EXPECT_EQ(view->browserModel()->item(1).imageUID(), "2");
        EXPECT_TRUE(
            view->browserModel()->index(1).data(QELPhotoBrowserModel::FavoriteRole).toBool());
        view->buttonViewPhotosClicked();
        EXPECT_TRUE(waitUntil([&] { return view->fullSizeImageView()->image().width() == 40; }));
    }
    ThreadCheck::setEnabled(false);
    ThreadCheck::setViolationHandler({});
    EXPECT_EQ(violations.load(), 0);
}

// A video is copied into the preview cache as "cameracache_<seconds>..."
// on a worker; the copy goes when the next is made and when the view goes.
TEST_F(PhotosViewTest, AVideoPreviewIsCopiedAndItsCopyRemoved)
{
    attach();
    const QString cache = Locations::temporaryFolder();
    auto previews = [&] { return QDir(cache).entryList({"cameracache_*"}, QDir::Files); };
    {
        auto view = makeView();
        ASSERT_TRUE(loaded(*view));
        // The video is the fourth image of the library.
        view->imageBrowserView()->selectionModel()->select(view->browserModel()->index(3),
                                                           QItemSelectionModel::ClearAndSelect);
        view->imageBrowserCellWasDoubleClickedAtIndex(3);
        ASSERT_TRUE(waitUntil([&] { return !view->currentVideoPath().isEmpty(); }));
        const QString first = view->currentVideoPath();
        EXPECT_TRUE(QFileInfo(first).fileName().startsWith("cameracache_"));
        EXPECT_TRUE(first.endsWith(".MOV"));
        EXPECT_EQ(readFile(first), m_originals[3]);
        EXPECT_FALSE(view->isLoadingVideo());
        // A video has its controls, gone with it.
        auto* controls = view->findChild<QWidget*>(QStringLiteral("videoControls"));
        ASSERT_NE(controls, nullptr);
        EXPECT_TRUE(controls->isVisibleTo(view.get()));
        EXPECT_NE(controls->findChild<QToolButton*>(QStringLiteral("videoPlayPauseButton")),
                  nullptr);
        EXPECT_NE(controls->findChild<QSlider*>(QStringLiteral("videoPositionSlider")), nullptr);
        view->buttonFullSizeViewBackClicked();
        EXPECT_FALSE(controls->isVisibleTo(view.get()));
        EXPECT_TRUE(previews().isEmpty());
        view->imageBrowserCellWasDoubleClickedAtIndex(3);
        ASSERT_TRUE(waitUntil([&] { return !view->currentVideoPath().isEmpty(); }));
        EXPECT_EQ(previews().size(), 1);
    }
    EXPECT_TRUE(previews().isEmpty());
    // A view that goes while the copy runs leaves none either.
    {
        auto view = makeView();
        ASSERT_TRUE(loaded(*view));
        view->imageBrowserCellWasDoubleClickedAtIndex(3);
        EXPECT_TRUE(view->isLoadingVideo());
    }
    EXPECT_TRUE(previews().isEmpty());
}

// In the viewer a copy takes the image shown; in the browser the selection,
// or every image when none is selected.
TEST_F(PhotosViewTest, ACopyTakesTheViewersImageOrTheSelection)
{
    attach();
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    QTemporaryDir target;
    view->setFolderChooser([&](QWidget*) { return target.path(); });
    selectAlbums(*view, {"Beach"});
    view->buttonViewPhotosClicked();
    view->buttonFullSizeViewNextClicked();
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_statuses.lines.size() == 1; }));
    EXPECT_EQ(m_statuses.lines.last(), "All photos have been copied.|");
    EXPECT_EQ(filesBelow(target.path()), QStringList{"Beach/IMG_0002.JPG"});
    EXPECT_EQ(readFile(target.path() + "/Beach/IMG_0002.JPG"), m_originals[1]);
    view->buttonFullSizeViewBackClicked();
    view->imageBrowserView()->clearSelection();
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_statuses.lines.size() == 2; }));
    // The one copied before is there with its size: not copied again.
    EXPECT_EQ(filesBelow(target.path()),
              (QStringList{"Beach/IMG_0001.JPG", "Beach/IMG_0002.JPG", "Beach/IMG_0003.JPG"}));
    // A cancelled folder panel copies nothing.
    view->setFolderChooser([](QWidget*) { return QString(); });
    view->RequestCopy();
    EXPECT_EQ(m_statuses.lines.size(), 2);
}

// The folders of a copy follow the album it was made from: a copy of the
// whole library goes into the chosen folder itself, whichever album was
// opened before, and a copy of an album into that album's folder.
TEST_F(PhotosViewTest, ACopysFoldersFollowTheAlbumItWasMadeFrom)
{
    attach();
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    QTemporaryDir target;
    view->setFolderChooser([&](QWidget*) { return target.path(); });
    selectAlbums(*view, {"City"});
    selectAlbums(*view, {"Beach"});
    selectAlbums(*view, {L("ALLPHOTOS")});
    view->imageBrowserView()->clearSelection();
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_statuses.lines.size() == 1; }));
    EXPECT_EQ(filesBelow(target.path()),
              (QStringList{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG", "IMG_0004.MOV",
                           "IMG_0005.JPG"}));
    QTemporaryDir second;
    view->setFolderChooser([&](QWidget*) { return second.path(); });
    selectAlbums(*view, {"City"});
    view->imageBrowserView()->clearSelection();
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_statuses.lines.size() == 2; }));
    EXPECT_EQ(filesBelow(second.path()), (QStringList{"City/IMG_0003.JPG", "City/IMG_0004.MOV"}));
}

// A picture whose read fails midway is counted, leaves nothing behind, and
// the others of the album arrive.
TEST_F(PhotosViewTest, APictureThatCannotBeReadIsCountedAndLeavesNothing)
{
    attach(Library::Full, "/DCIM/100APPLE/IMG_0002.JPG");
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    QTemporaryDir target;
    view->setFolderChooser([&](QWidget*) { return target.path(); });
    selectAlbums(*view, {"Beach"});
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_statuses.lines.size() == 1; }));
    // Never "All photos have been copied." when one was not.
    EXPECT_EQ(m_statuses.lines.last(),
              "2 of 3 items copied|1 item could not be copied: a read or a write failed");
    EXPECT_EQ(m_statuses.progress.size(), 3);
    EXPECT_EQ(filesBelow(target.path()), (QStringList{"Beach/IMG_0001.JPG", "Beach/IMG_0003.JPG"}));
}

// The library's kind decides the transfer job and the buttons' title; the
// album menu acts on the whole album whatever the browser had selected.
TEST_F(PhotosViewTest, TheTransferFollowsTheLibrarysKind)
{
    attach();
    struct Case {
        PhotoLibraryHost::Kind kind;
        QString title;
        bool photosJob;
    };
    for (const Case& c :
         {Case{PhotoLibraryHost::Kind::KeepsOriginals, "Add to Photos", true},
          Case{PhotoLibraryHost::Kind::TakesJpegStills, "Add to Photo Library", false}}) {
        SCOPED_TRACE(c.title.toStdString());
        m_statuses.lines.clear();
        auto view = makeView();
        auto host = std::make_shared<RecordingPhotoLibraryHost>(c.kind);
        view->setPhotoLibraryHost(host);
        EXPECT_EQ(view->buttonCopyToIPhoto()->text(), c.title);
        EXPECT_EQ(view->buttonCopyToIPhotoMain()->text(), c.title);
        ASSERT_TRUE(loaded(*view));
        selectAlbums(*view, {"City"});
        view->imageBrowserView()->selectionModel()->select(view->browserModel()->index(0),
                                                           QItemSelectionModel::ClearAndSelect);
        view->menuTransferCollectionClicked();
        ASSERT_TRUE(
            waitUntil([&] { return m_statuses.lines.contains("All photos have been copied.|"); }));
        EXPECT_EQ(dynamic_cast<QELTransferPhotosPhotos*>(view->transferJob()) != nullptr,
                  c.photosJob);
        ASSERT_EQ(host->imports().size(), 1u);
        EXPECT_EQ(host->imports()[0].album, std::optional<QString>("City"));
        EXPECT_EQ(host->imports()[0].names.size(), 2);
        EXPECT_TRUE(
            m_statuses.lines.contains("Please wait…|Adding the photos to your photo library"));
    }
}

TEST(CameraView, ReportsItsRequestsAndLoadsWithoutContent)
{
    Statuses statuses;
    QELCameraView view;
    view.setDelegate(&statuses);
    view.RequestCopy();
    view.RequestTransfer();
    EXPECT_EQ(statuses.lines,
              (QStringList{"Message from Camera...|Copy requested.",
                           "Message from Camera...|Transfer requested."}));
    view.loadPhotos();
    EXPECT_TRUE(waitUntil([&] { return view.loadsCompleted() == 1; }));
}

namespace {

// A binary photo database reader that reads nothing and keeps what it was
// made with.
class RecordingBinaryReader : public QELDeviceImageLibraryReader {
public:
    RecordingBinaryReader(const QString& folder, const QString& name, const QString& store)
        : QELDeviceImageLibraryReader(folder, name, store)
    {
    }
    bool readImageDatabase() override { return true; }
};

} // namespace

// An iOS device that still has the binary photo database is read with the
// binary reader even when it also has Photos.sqlite; a disk-mode iPod only
// ever with the binary one; a device without either has no library.
TEST_F(PhotosViewTest, TheLoadTakesTheReaderOfTheLibraryTheDeviceHas)
{
    struct Case {
        const char* name;
        bool binary;
        bool sqlite;
        PhotoLibraryLoad::Library library;
    };
    const QList<Case> cases = {
        {"both", true, true, PhotoLibraryLoad::Library::BinaryDatabase},
        {"sqlite", false, true, PhotoLibraryLoad::Library::PhotosSqlite},
        {"binary", true, false, PhotoLibraryLoad::Library::BinaryDatabase},
        {"none", false, false, PhotoLibraryLoad::Library::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedDeviceBuilder builder(m_dir.filePath(QString("phone-") + c.name));
        builder.afcFolder("DCIM");
        if (c.binary)
            builder.afcFile("Photos/Photo Database", "binary database bytes");
        if (c.sqlite) {
            const QString database = m_dir.filePath(QString("db-") + c.name);
            ASSERT_TRUE(PhotosDbFixture::write(database, PhotosDbFixture::Schema{}, {}, {}));
            builder.afcFile("PhotoData/Photos.sqlite", readFile(database));
        }
        auto simulator = std::make_shared<SimulatedMobileDevice>();
        simulator->attach(builder.build());
        DeviceEventRecorder events;
        QELDeviceInterface device(simulator, m_iPods);
        device.setDelegate(&events);
        device.BeginDeviceConnectionDetect();
        ASSERT_TRUE(events.waitForSuccess());
        EXPECT_EQ(PhotoLibraryLoad::libraryOf(&device), c.library);

        QString madeIn;
        QStringList madeWith;
        const PhotoLibraryLoad::Result result = PhotoLibraryLoad::load(
            &device, nullptr,
            [&](const QString& folder, const QString& name, const QString& store) {
                madeIn = folder;
                madeWith = {name, store};
                return std::make_unique<RecordingBinaryReader>(folder, name, store);
            });
        EXPECT_EQ(result.reader != nullptr, c.library != PhotoLibraryLoad::Library::None);
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_FALSE(result.hasImages);
        if (c.library == PhotoLibraryLoad::Library::BinaryDatabase) {
            EXPECT_EQ(madeWith, (QStringList{"Photo Database", "Photos.DB"}));
            EXPECT_EQ(readFile(madeIn + "/Photo Database"), QByteArray("binary database bytes"));
            EXPECT_EQ(result.reader->libraryDirectoryOnDevice(), "/Photos");
        } else {
            EXPECT_TRUE(madeIn.isEmpty());
        }
        device.shutdown();
    }
    // A binary database that does not read: the view says so rather than
    // that there are no photos.
    SimulatedDeviceBuilder builder(m_dir.filePath("phone-unreadable"));
    builder.afcFile("Photos/Photo Database", "binary database bytes");
    m_simulator->attach(builder.build());
    m_device = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    m_device->setDelegate(&m_events);
    m_device->BeginDeviceConnectionDetect();
    ASSERT_TRUE(m_events.waitForSuccess());
    auto view = makeView();
    ASSERT_TRUE(loaded(*view));
    EXPECT_EQ(view->shownPage(), "noPhotos");
    EXPECT_EQ(view->noPhotosTextField()->text(),
              "This category could not be read from the device.");
}
