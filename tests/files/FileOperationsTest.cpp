// SPDX-License-Identifier: GPL-3.0-or-later
// The file browser's new folders and deletes on both kinds of device.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "FileOperations.h"
#include "FilesTestDevice.h"
#include "QELDeviceInterface.h"
#include "QtPrinters.h"

namespace {

class FileOperationsTest : public ::testing::TestWithParam<DeviceKind> {
protected:
    void SetUp() override { ASSERT_TRUE(m_device.connect()); }
    bool exists(const QString& path) const
    {
        const QFileInfo info(m_device.root() + path);
        return info.exists() || info.isSymLink();
    }
    FilesTestDevice m_device{GetParam()};
};

TEST_P(FileOperationsTest, ANewFolderNeedsAPlainNameThatIsNotTakenYet)
{
    struct Case {
        QString folder;
        QString name;
        bool made;
        QString where; // what exists afterwards ("" when nothing is made)
    };
    const std::vector<Case> cases = {
        {"/", "New Folder", true, "/New Folder"},
        {"/DCIM", QStringLiteral("Été"), true, QStringLiteral("/DCIM/Été")},
        {"", ".hidden", true, "/.hidden"},
        {"/DCIM", "", false, ""},
        {"/DCIM", ".", false, ""},
        {"/DCIM", "..", false, ""},
        {"/DCIM", "a/b", false, ""},
        {"/DCIM", "../escape", false, ""},
        {"/DCIM", QString("nul") + QChar(0), false, ""},
        // Taken: a folder and a file of that name.
        {"/DCIM", "100APPLE", false, ""},
        {"/", "Notes.txt", false, ""},
        // Inside a file.
        {"/Notes.txt", "x", false, ""},
    };
    const QStringList before = localTree(m_device.root());
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE((c.folder + " | " + c.name).toStdString());
        EXPECT_EQ(FileOperations::isAcceptableFolderName(c.name),
                  !c.name.isEmpty() && c.name != "." && c.name != ".." && !c.name.contains('/')
                      && !c.name.contains(QChar(0)));
        EXPECT_EQ(FileOperations::makeFolder(m_device.device(), c.folder, c.name), c.made);
        if (c.made) {
            ++made;
            EXPECT_TRUE(QFileInfo(m_device.root() + c.where).isDir());
        }
    }
    // Nothing else changed: no "a", "b" or "escape" anywhere.
    EXPECT_EQ(localTree(m_device.root()).size(), before.size() + made);
}

TEST_P(FileOperationsTest, ADeleteChecksEveryItemFirstAndRefusesTheWholeDeleteForAFullFolder)
{
    struct Case {
        const char* name;
        QStringList selection;
        QStringList refused;
        QStringList deleted;
        QStringList failed;
    };
    const std::vector<Case> cases = {
        {"a non-empty second item refuses all three",
         {"/Notes.txt", "/DCIM", "/Empty"},
         {"/DCIM"},
         {},
         {}},
        {"every full folder is named", {"/DCIM", "/Downloads"}, {"/DCIM", "/Downloads"}, {}, {}},
        {"files and empty folders go",
         {"/Notes.txt", "/Empty", "/DCIM/Empty", "/DCIM/100APPLE/IMG_0001.JPG"},
         {},
         {"/Notes.txt", "/Empty", "/DCIM/Empty", "/DCIM/100APPLE/IMG_0001.JPG"},
         {}},
        {"an item that is gone is reported",
         {"/Gone.txt", ".profile"},
         {},
         {"/.profile"},
         {"/Gone.txt"}},
        {"the root is never deleted", {"/"}, {"/"}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = localTree(m_device.root());
        const FileOperations::DeleteOutcome outcome =
            FileOperations::deleteItems(m_device.device(), c.selection);
        EXPECT_EQ(outcome.refused, c.refused);
        EXPECT_EQ(outcome.deleted, c.deleted);
        EXPECT_EQ(outcome.failed, c.failed);
        if (!c.refused.isEmpty()) {
            EXPECT_EQ(localTree(m_device.root()), before);
        }
        for (const QString& path : c.deleted)
            EXPECT_FALSE(exists(path)) << path.toStdString();
    }
    EXPECT_TRUE(exists("/DCIM/100APPLE/IMG_0002.JPG"));
}

INSTANTIATE_TEST_SUITE_P(Devices, FileOperationsTest,
                         ::testing::Values(DeviceKind::IOS, DeviceKind::DiskMode),
                         [](const auto& info) {
                             return info.param == DeviceKind::IOS ? "iOS" : "DiskMode";
                         });

} // namespace
