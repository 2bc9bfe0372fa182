// SPDX-License-Identifier: GPL-3.0-or-later
// The lists the file browser and its copy job work from, over the same tree
// on a simulated iOS device and on a disk-mode iPod's volume.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>

#include "FileListBuilder.h"
#include "FilesTestDevice.h"
#include "QELDeviceInterface.h"
#include "QtPrinters.h"

namespace {

QStringList pathsOf(const QList<FileListItem>& list)
{
    QStringList paths;
    for (const FileListItem& item : list)
        paths << item.path;
    return paths;
}

class FileListBuilderTest : public ::testing::TestWithParam<DeviceKind> {
protected:
    void SetUp() override { ASSERT_TRUE(m_device.connect()); }
    FilesTestDevice m_device{GetParam(), {true, {}}};
};

TEST_P(FileListBuilderTest, AFolderComesBeforeItsContentsEachFolderOnce)
{
    int refused = 0;
    const QList<FileListItem> list =
        FileListBuilder::deviceFileList(m_device.device(), "/DCIM", nullptr, &refused);
    EXPECT_EQ(pathsOf(list),
              (QStringList{"/DCIM", "/DCIM/100APPLE", "/DCIM/100APPLE/IMG_0001.JPG",
                           "/DCIM/100APPLE/IMG_0002.JPG", "/DCIM/Empty"}));
    EXPECT_EQ(list.at(1).kind, FileEntryKind::Folder);
    EXPECT_EQ(list.at(2).kind, FileEntryKind::File);
    // The names that are no plain names ("../evil", "a/b") are left out and counted.
    EXPECT_EQ(refused, GetParam() == DeviceKind::IOS ? 3 : 0);

    const QStringList downloads =
        pathsOf(FileListBuilder::deviceFileList(m_device.device(), "Downloads/"));
    EXPECT_EQ(downloads.indexOf("/Downloads/Sub") + 1,
              downloads.indexOf("/Downloads/Sub/deep.txt"));
    EXPECT_EQ(downloads.size(), 5);
}

TEST_P(FileListBuilderTest, AFolderListsWithoutCaseDotNamesIncludedLinksNotFollowed)
{
    const std::optional<QList<DeviceFileEntry>> root =
        FileListBuilder::listDeviceFolder(m_device.device(), "");
    ASSERT_TRUE(root);
    QStringList names;
    for (const DeviceFileEntry& entry : *root)
        names << entry.name;
    QStringList expected = {".profile", "Big",          QStringLiteral("café ünï.txt"),
                            "DCIM",     "Downloads",    "Empty",
                            "Hostile",  "iPod_Control", "Notes.txt"};
    if (GetParam() == DeviceKind::IOS)
        expected.removeAll("iPod_Control");
    EXPECT_EQ(names, expected);
    for (const DeviceFileEntry& entry : *root) {
        SCOPED_TRACE(entry.name.toStdString());
        EXPECT_EQ(entry.path, "/" + entry.name);
    }
    const DeviceFileEntry notes = root->at(names.indexOf("Notes.txt"));
    EXPECT_EQ(notes.kind, FileEntryKind::File);
    // The size is the file service's "st_size"; a disk-mode volume gives none.
    EXPECT_EQ(notes.size, GetParam() == DeviceKind::IOS ? std::optional<qint64>(5) : std::nullopt);
    EXPECT_EQ(root->at(names.indexOf("DCIM")).size, std::nullopt);

    const std::optional<QList<DeviceFileEntry>> hostile =
        FileListBuilder::listDeviceFolder(m_device.device(), "/Hostile");
    ASSERT_TRUE(hostile);
    QMap<QString, FileEntryKind> kinds;
    for (const DeviceFileEntry& entry : *hostile)
        kinds.insert(entry.name, entry.kind);
    EXPECT_EQ(kinds.value("loop"), FileEntryKind::Link);
    EXPECT_EQ(kinds.value("plain.txt"), FileEntryKind::File);
    // A link out of the device's tree is not there: the file service refuses
    // it, and so does the interface for a disk-mode volume.
    EXPECT_EQ(kinds.value("outside"), FileEntryKind::Missing);
    // The full tree never walks into a link.
    const QStringList tree = pathsOf(FileListBuilder::deviceFileList(m_device.device(), "/"));
    EXPECT_FALSE(tree.contains("/Hostile/loop/Notes.txt"));
    EXPECT_TRUE(tree.contains("/Hostile/loop"));

    EXPECT_FALSE(FileListBuilder::listDeviceFolder(m_device.device(), "/Notes.txt"));
    EXPECT_FALSE(FileListBuilder::listDeviceFolder(m_device.device(), "/Missing"));
}

INSTANTIATE_TEST_SUITE_P(Devices, FileListBuilderTest,
                         ::testing::Values(DeviceKind::IOS, DeviceKind::DiskMode),
                         [](const auto& info) {
                             return info.param == DeviceKind::IOS ? "iOS" : "DiskMode";
                         });

TEST(FileListBuilder, TheComputersTreeIncludesHiddenFilesAndDoesNotFollowLinks)
{
    QTemporaryDir dir;
    const QString trip = dir.path() + "/Pictures/Trip";
    ASSERT_TRUE(writeLocalFile(trip + "/a.jpg", "a"));
    ASSERT_TRUE(writeLocalFile(trip + "/.DS_Store", "ds"));
    ASSERT_TRUE(writeLocalFile(trip + "/Day 2/b.jpg", "b"));
    ASSERT_TRUE(QFile::link(dir.path() + "/Pictures", trip + "/back"));
    const QList<FileListItem> list = FileListBuilder::localFileList(trip);
    // In the order the folder lists its names; each folder before its contents.
    EXPECT_EQ(pathsOf(list),
              (QStringList{trip, trip + "/.DS_Store", trip + "/Day 2", trip + "/Day 2/b.jpg",
                           trip + "/a.jpg", trip + "/back"}));
    EXPECT_EQ(list.at(2).kind, FileEntryKind::Folder);
    EXPECT_EQ(list.at(5).kind, FileEntryKind::Link);
}

TEST(FileListBuilder, EveryEntryThatCannotBePutOnTheDeviceIsCountedWithItsReason)
{
    QTemporaryDir dir;
    const QString trip = dir.path() + "/Trip";
    ASSERT_TRUE(writeLocalFile(trip + "/a.jpg", "a"));
    // A name in Latin-1, as an old archive or a Windows share leaves them:
    // no UTF-8 form, so the device's file service cannot hold it.
    const QByteArray latin1 = QFile::encodeName(trip) + "/caf\xe9.jpg";
    const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    int refused = 0;
    CopyFailure why = CopyFailure::None;
    const QList<FileListItem> list = FileListBuilder::localFileList(trip, nullptr, &refused, &why);
    EXPECT_EQ(pathsOf(list), (QStringList{trip, trip + "/a.jpg"}));
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(why, CopyFailure::UnsupportedName);

    // A folder that cannot be read is told, not passed over in silence.
    refused = 0;
    why = CopyFailure::None;
    FileListBuilder::localFileList(dir.path() + "/gone", nullptr, &refused, &why);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(why, CopyFailure::UnreadableEntry);
    if (::geteuid() != 0) {
        ASSERT_TRUE(writeLocalFile(trip + "/Locked/b.jpg", "b"));
        ASSERT_TRUE(QFile::setPermissions(trip + "/Locked", QFile::WriteOwner));
        refused = 0;
        FileListBuilder::localFileList(trip, nullptr, &refused);
        EXPECT_EQ(refused, 2);
        QFile::setPermissions(trip + "/Locked",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(FileListBuilder, ARelativePathIsTakenOnlyWhenEveryComponentIsAPlainName)
{
    struct Case {
        QString folder;
        QString path;
        std::optional<QString> want;
    };
    const Case cases[] = {
        {"/DCIM", "/DCIM/100APPLE/a.jpg", QStringLiteral("100APPLE/a.jpg")},
        {"/", "/DCIM/100APPLE/a.jpg", QStringLiteral("DCIM/100APPLE/a.jpg")},
        {"", "/DCIM", QStringLiteral("DCIM")},
        {"/DCIM/", "/DCIM/a.jpg", QStringLiteral("a.jpg")},
        {"/DCIM", "/DCIM", std::nullopt},
        {"/DCIM", "/DCIMX/a.jpg", std::nullopt},
        {"/DCIM", "/etc/passwd", std::nullopt},
        {"/DCIM", "/DCIM/../evil", std::nullopt},
        {"/DCIM", "/DCIM/./a", std::nullopt},
        {"/DCIM", "/DCIM/a//b", std::nullopt},
        {"/DCIM", "/DCIM/a/", std::nullopt},
        {"/", "//etc", std::nullopt},
        {"/DCIM", QString("/DCIM/a") + QChar(0) + "b", std::nullopt},
        {"/home/u/Pictures", "/home/u/Pictures/Trip/a.jpg", QStringLiteral("Trip/a.jpg")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.folder + " " + c.path).toStdString());
        EXPECT_EQ(FileListBuilder::confinedRelativePath(c.folder, c.path), c.want);
    }
}

} // namespace
