// SPDX-License-Identifier: GPL-3.0-or-later
// The file browser's view: its lazy model, icons, sheets and requests, on both
// kinds of device.
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QColumnView>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "FileTypeIcons.h"
#include "FilesTestDevice.h"
#include "LocalizedStrings.h"
#include "QELCopyFiles.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELFilesModel.h"
#include "QELFilesSheets.h"
#include "QELFilesView.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

namespace {

class Reports : public QELDeviceCategoryContentViewDelegate {
public:
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        status << top + " | " + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        progress << QStringLiteral("%1 %2 %3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList status;
    QStringList progress;
};

QStringList namesIn(const QAbstractItemModel& model, const QModelIndex& parent)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names << model.index(row, 0, parent).data().toString();
    return names;
}

TEST(FileTypeIcons, TheTypeComesFromTheWholeNameElseOurPlainPicture)
{
    EXPECT_EQ(FileTypeIcons::iconNamesFor("report.final.pdf").value(0), "application-pdf");
    EXPECT_EQ(FileTypeIcons::iconNamesFor("archive.tar.gz").value(0),
              "application-x-compressed-tar");
    EXPECT_EQ(FileTypeIcons::iconNamesFor("IMG_0001.JPG").value(0), "image-jpeg");
    for (const char* name : {"notes.zzqq9", "no-dot", ".profile"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(FileTypeIcons::iconNamesFor(name).isEmpty());
        EXPECT_EQ(FileTypeIcons::fileIcon(name).cacheKey(),
                  FileTypeIcons::plainFileIcon().cacheKey());
    }
    EXPECT_FALSE(FileTypeIcons::plainFileIcon().pixmap(FileTypeIcons::kIconSize).isNull());
    EXPECT_EQ(FileTypeIcons::kIconSize, QSize(17, 18));
}

class QELFilesViewTest : public ::testing::TestWithParam<DeviceKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_device.connect());
        m_view.setDelegate(&m_reports);
        m_view.show();
        m_view.loadDevice(&m_device.device());
        ASSERT_TRUE(waitUntil([this] { return model().rowCount() > 0; }));
    }
    QELFilesModel& model() { return *m_view.model(); }
    // Makes `path` current (and selected), opening each folder on the way.
    QModelIndex open(const QString& path)
    {
        QModelIndex index;
        QString sofar;
        for (const QString& name : path.split('/', Qt::SkipEmptyParts)) {
            sofar += "/" + name;
            const QModelIndex parent = index;
            EXPECT_TRUE(waitUntil([&] {
                return !model().isListing(parent) && model().indexOfPath(sofar).isValid();
            }));
            index = model().indexOfPath(sofar);
            m_view.fileBrowser()->setCurrentIndex(index);
        }
        if (model().isFolder(index)) {
            EXPECT_TRUE(waitUntil(
                [&] { return !model().needsListing(index) && !model().isListing(index); }));
        }
        return index;
    }
    void select(const QModelIndexList& items)
    {
        auto* selection = m_view.fileBrowser()->selectionModel();
        selection->setCurrentIndex(items.constLast(), QItemSelectionModel::NoUpdate);
        selection->clearSelection();
        for (const QModelIndex& item : items)
            selection->select(item, QItemSelectionModel::Select);
    }
    bool exists(const QString& path) const { return QFileInfo::exists(m_device.root() + path); }

    FilesTestDevice m_device{GetParam()};
    Reports m_reports;
    QELFilesView m_view{QRect(0, 0, 900, 500)};
};

TEST_P(QELFilesViewTest, ColumnsListEachFolderOnceSortedWithoutCase)
{
    QAbstractItemModelTester tester(&model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    QStringList root = {".profile",     "Big",       QStringLiteral("café ünï.txt"),
                        "DCIM",         "Downloads", "Empty",
                        "iPod_Control", "Notes.txt"};
    if (GetParam() == DeviceKind::IOS)
        root.removeAll("iPod_Control");
    EXPECT_EQ(namesIn(model(), {}), root);
    const QModelIndex dcim = open("/DCIM");
    EXPECT_EQ(namesIn(model(), dcim), (QStringList{"100APPLE", "Empty"}));
    EXPECT_TRUE(model().hasChildren(model().indexOfPath("/DCIM/Empty")));
    EXPECT_EQ(model().index(0, 0, dcim).data(Qt::SizeHintRole).toSize().height(), 20);
    // Back and forth: nothing is listed again until a refresh.
    open("/Downloads");
    open("/DCIM");
    open("/Downloads");
    EXPECT_EQ(model().listingsStarted(), 3);
    m_view.buttonRefreshClicked();
    // The selected column (the root) and the last one are listed afresh, the path kept.
    ASSERT_TRUE(waitUntil([&] { return model().indexOfPath("/Downloads/Sub").isValid(); }));
    EXPECT_EQ(model().listingsStarted(), 5);
    EXPECT_EQ(m_view.currentFolder(), "/Downloads");
}

TEST_P(QELFilesViewTest, TheDeleteKeyAsksFirstLikeTheButton)
{
    select({model().indexOfPath("/Notes.txt")});
    m_view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_view));
    m_view.fileBrowser()->setFocus();
    QTest::keyClick(m_view.fileBrowser(), Qt::Key_Delete);
    QELFilesDeleteSheet* sheet = m_view.confirmDeletePanel();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->items(), QStringList{"/Notes.txt"});
    EXPECT_EQ(sheet->nameLabel()->text(), Ln("DELETECONFIRM", 1));
    m_view.confirmDeleteCancelButtonClicked();
    EXPECT_TRUE(QFile::exists(m_device.root() + "/Notes.txt"));
}

TEST_P(QELFilesViewTest, ADeleteListsTheItemsAndRefusesAllWhenAFolderIsNotEmpty)
{
    select({model().indexOfPath("/Notes.txt"), model().indexOfPath("/DCIM"),
            model().indexOfPath("/Empty")});
    m_view.buttonDeleteSelectionClicked();
    QELFilesDeleteSheet* sheet = m_view.confirmDeletePanel();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->items(), (QStringList{"/Notes.txt", "/DCIM", "/Empty"}));
    EXPECT_EQ(sheet->nameList()->count(), 3);
    EXPECT_EQ(sheet->nameLabel()->text(), Ln("DELETECONFIRM", 3));
    const int listings = model().listingsStarted();
    m_view.confirmDeleteOKButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return m_view.pendingChanges() == 0 && !model().isListing({}); }));
    EXPECT_TRUE(exists("/Notes.txt"));
    EXPECT_TRUE(exists("/Empty"));
    ASSERT_EQ(m_reports.status.size(), 1);
    EXPECT_EQ(m_reports.status.first(), L("DELETEREFUSED") + " | /DCIM");
    // Column 0 is listed afresh.
    EXPECT_EQ(model().listingsStarted(), listings + 1);

    // In the third column: the file goes, the path down to its folder stays.
    const QModelIndex image = open("/DCIM/100APPLE/IMG_0001.JPG");
    select({image});
    m_view.buttonDeleteSelectionClicked();
    m_view.confirmDeleteOKButtonClicked();
    ASSERT_TRUE(waitUntil([&] {
        const QModelIndex folder = model().indexOfPath("/DCIM/100APPLE");
        return m_view.pendingChanges() == 0 && folder.isValid() && !model().isListing(folder);
    }));
    EXPECT_FALSE(exists("/DCIM/100APPLE/IMG_0001.JPG"));
    EXPECT_EQ(m_view.currentFolder(), "/DCIM/100APPLE");
    EXPECT_EQ(namesIn(model(), model().indexOfPath("/DCIM/100APPLE")), QStringList{"IMG_0002.JPG"});
}

TEST_P(QELFilesViewTest, ANewFolderNameIsCheckedOnTheSheet)
{
    open("/DCIM");
    m_view.buttonCreateFolderClicked();
    QELFilesNewFolderSheet* sheet = m_view.newFolderNamePanel();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->nameField()->text(), L("NEWFOLDERNAME"));
    for (const char* refused : {"", ".", "..", "a/b", "../up"}) {
        SCOPED_TRACE(refused);
        sheet->nameField()->setText(refused);
        m_view.newFolderNameOKButtonClicked();
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->problem(), L("NEWFOLDERINVALID"));
    }
    sheet->nameField()->setText("Trip");
    m_view.newFolderNameOKButtonClicked();
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(waitUntil([&] { return model().indexOfPath("/DCIM/Trip").isValid(); }));
    EXPECT_TRUE(QFileInfo(m_device.root() + "/DCIM/Trip").isDir());
    // Again: the folder is there, which is reported.
    m_view.fileBrowser()->setCurrentIndex(model().indexOfPath("/DCIM"));
    m_view.buttonCreateFolderClicked();
    m_view.newFolderNameOKButtonClicked();
    ASSERT_TRUE(
        waitUntil([&] { return m_view.pendingChanges() == 0 && !m_reports.status.isEmpty(); }));
    EXPECT_EQ(m_reports.status.constLast(), L("NEWFOLDERFAILED") + " | Trip");
    // With a file current nothing opens.
    open("/Notes.txt");
    m_view.buttonCreateFolderClicked();
    EXPECT_FALSE(sheet->isVisible());
}

TEST_P(QELFilesViewTest, CopyAndPutGoThroughTheOneJobAndReportTheirEnd)
{
    const QModelIndex apple = open("/DCIM/100APPLE");
    select({apple});
    const QString target = m_device.scratch("target");
    m_view.setFolderChooser([target](QWidget*) { return target; });
    m_view.RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_reports.status.size() == 1; }));
    EXPECT_EQ(m_reports.status.first(), L("ALLFILECOPYINGCOMPLETE") + " | ");
    EXPECT_EQ(readLocalFile(target + "/100APPLE/IMG_0002.JPG"), "jpeg two");
    EXPECT_EQ(m_reports.progress.first(),
              L("COPYINGFILES") + " " + L("COPYINGFILEFOLDER") + " 0/0");
    EXPECT_EQ(m_reports.progress.last(), L("COPYINGFILES") + " /DCIM/100APPLE/IMG_0002.JPG 3/3");
    QELCopyFiles* job = m_view.copyJob();

    // Into a selection that ends in a file: the folder that holds it.
    open("/DCIM/100APPLE/IMG_0001.JPG");
    const QString pictures = m_device.scratch("Pictures");
    ASSERT_TRUE(writeLocalFile(pictures + "/new.jpg", "new"));
    m_view.setItemsChooser([pictures](QWidget*, QELFilesView::AddKind kind) {
        return kind == QELFilesView::AddKind::Files ? QStringList{pictures + "/new.jpg"}
                                                    : QStringList();
    });
    m_view.addItemsToDevice(QELFilesView::AddKind::Files);
    ASSERT_TRUE(waitUntil([&] { return m_reports.status.size() == 2; }));
    EXPECT_EQ(m_view.copyJob(), job);
    EXPECT_EQ(readLocalFile(m_device.root() + "/DCIM/100APPLE/new.jpg"), "new");
    ASSERT_TRUE(waitUntil([&] { return model().indexOfPath("/DCIM/100APPLE/new.jpg").isValid(); }));

    // Again: the file is there and is skipped.
    m_view.addItemsToDevice(QELFilesView::AddKind::Files);
    ASSERT_TRUE(waitUntil([&] { return m_reports.status.size() == 3; }));
    EXPECT_EQ(m_reports.status.last(), L("ALLFILECOPYINGCOMPLETE") + " | " + Ln("FILESSKIPPED", 1));

    m_view.RequestTransfer();
    EXPECT_EQ(m_reports.status.last(), L("FILEERROR") + " | " + L("TRANSFERNOTVALID"));
    EXPECT_TRUE(m_view.answers(QELDeviceCategoryContentView::Transfer));
    EXPECT_FALSE(m_view.answers(QELDeviceCategoryContentView::Search));
}

INSTANTIATE_TEST_SUITE_P(Devices, QELFilesViewTest,
                         ::testing::Values(DeviceKind::IOS, DeviceKind::DiskMode),
                         [](const auto& info) {
                             return info.param == DeviceKind::IOS ? "iOS" : "DiskMode";
                         });

// The window keeps painting while the device holds a listing back; the
// column fills when the answer comes.
TEST(QELFilesViewHeldListing, TheViewPaintsWhileAListingIsHeldBack)
{
    FilesTestDevice device(DeviceKind::IOS, {false, {{"ListingHoldFile", "hold"}}});
    ASSERT_TRUE(device.connect());
    const QString hold = QFileInfo(device.root()).dir().filePath("hold");
    ASSERT_TRUE(writeLocalFile(hold, "x"));
    QELFilesView view(QRect(0, 0, 600, 400));
    view.show();
    QElapsedTimer timer;
    timer.start();
    view.loadDevice(&device.device());
    EXPECT_TRUE(view.model()->isListing({}));
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(view.grab().isNull());
        QCoreApplication::processEvents();
    }
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(view.model()->isListing({}));
    EXPECT_EQ(view.model()->rowCount(), 0);
    QFile::remove(hold);
    ASSERT_TRUE(waitUntil([&] { return view.model()->rowCount() > 0; }));
    EXPECT_FALSE(view.model()->isListing({}));
}

// Add to Device with the real dialogs: a file dialog that takes files, and a
// folder dialog that takes a folder; each puts what it took onto the device.
TEST_P(QELFilesViewTest, AddToDeviceOffersFilesAndFoldersThroughTheRealDialogs)
{
    auto* menu = m_view.findChild<QMenu*>(QStringLiteral("addToDeviceMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(m_view.findChild<QAction*>(QStringLiteral("addFilesToDevice")), nullptr);
    ASSERT_NE(m_view.findChild<QAction*>(QStringLiteral("addFolderToDevice")), nullptr);

    const QString local = m_device.scratch("local");
    ASSERT_TRUE(writeLocalFile(local + "/one.txt", "one"));
    ASSERT_TRUE(writeLocalFile(local + "/two.txt", "two"));
    ASSERT_TRUE(writeLocalFile(local + "/Album/three.txt", "three"));
    open("/DCIM");

    struct Case {
        const char* name;
        QELFilesView::AddKind kind;
        QStringList chosen;
        QFileDialog::FileMode mode;
        QStringList onDevice;
    };
    const std::vector<Case> cases = {
        {"two files",
         QELFilesView::AddKind::Files,
         {"one.txt", "two.txt"},
         QFileDialog::ExistingFiles,
         {"/DCIM/one.txt", "/DCIM/two.txt"}},
        {"a folder",
         QELFilesView::AddKind::Folder,
         {"Album"},
         QFileDialog::Directory,
         {"/DCIM/Album/three.txt"}},
    };
    int ends = int(m_reports.status.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        bool driven = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            mode = dialog->fileMode();
            dialog->setDirectory(local);
            QStringList quoted;
            for (const QString& name : c.chosen)
                quoted << QLatin1Char('"') + name + QLatin1Char('"');
            auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(nameField, nullptr);
            nameField->setText(c.chosen.size() == 1 ? c.chosen.constFirst() : quoted.join(' '));
            QMetaObject::invokeMethod(dialog, "accept");
            driven = true;
        });
        m_view.addItemsToDevice(c.kind);
        ASSERT_TRUE(driven);
        EXPECT_EQ(mode, c.mode);
        ASSERT_TRUE(waitUntil([&] { return m_reports.status.size() == ends + 1; }));
        ends = int(m_reports.status.size());
        for (const QString& path : c.onDevice)
            EXPECT_TRUE(QFile::exists(m_device.root() + path)) << path.toStdString();
    }
}

} // namespace
