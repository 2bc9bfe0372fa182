// SPDX-License-Identifier: GPL-3.0-or-later
// The file browser's copy job in both directions, on a simulated iOS device
// and on a disk-mode iPod's volume.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "FilesTestDevice.h"
#include "LocalizedStrings.h"
#include "QELCopyFiles.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"

namespace {

// Keeps the failed count the end event carries.
class CountingDelegate : public RecordingCopyDelegate {
public:
    void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied) override
    {
        failed.push_back(notCopied);
        RecordingCopyDelegate::OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
    }
    std::vector<quint32> failed;
};

class QELCopyFilesTest : public ::testing::TestWithParam<DeviceKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_device.connect());
        m_job.setDelegate(&m_events);
        m_job.setDeviceInteface(&m_device.device());
        m_target = m_device.scratch("target");
    }

    // Copies `selection` from `source` into the target folder and waits for the end.
    void copy(const QString& source, const QStringList& selection)
    {
        const size_t runs = m_events.allItemsCopied().size();
        m_job.cancelCopy();
        m_job.setSelection(selection);
        m_job.setDeviceSourceDirectory(source);
        m_job.setBaseCopyPath(m_target);
        m_job.startCopy();
        ASSERT_TRUE(m_events.waitForAllItemsCopied(runs + 1));
    }
    void put(const QString& localFolder, const QStringList& selection, const QString& deviceFolder)
    {
        const size_t runs = m_events.allItemsCopied().size();
        m_job.cancelCopy();
        m_job.setSelection(selection);
        m_job.setBaseCopyPath(localFolder);
        m_job.startPutToDeviceAtPath(deviceFolder);
        ASSERT_TRUE(m_events.waitForAllItemsCopied(runs + 1));
    }
    QStringList begins() const
    {
        QStringList descriptions;
        for (const auto& call : m_events.begins())
            descriptions << call.itemDescription;
        return descriptions;
    }

    FilesTestDevice m_device{GetParam()};
    CountingDelegate m_events;
    QELCopyFiles m_job;
    QString m_target;
};

TEST_P(QELCopyFilesTest, ACopyRebuildsTheFoldersBelowTheSourceFolder)
{
    struct Case {
        const char* name;
        QString source;
        QStringList selection;
        QStringList tree;
    };
    const std::vector<Case> cases = {
        {"a single file of the third column lands directly in the folder",
         "/DCIM/100APPLE",
         {"/DCIM/100APPLE/IMG_0001.JPG"},
         {"IMG_0001.JPG"}},
        {"a folder of the second column keeps its name",
         "/DCIM",
         {"/DCIM/100APPLE"},
         {"100APPLE/", "100APPLE/IMG_0001.JPG", "100APPLE/IMG_0002.JPG"}},
        {"items of the root, an empty folder among them",
         "/",
         {"/Empty", "/.profile", "/Downloads/Sub"},
         {".profile", "Downloads/", "Downloads/Sub/", "Downloads/Sub/deep.txt", "Empty/"}},
        {"non-ASCII names",
         "",
         {QStringLiteral("/café ünï.txt")},
         {QStringLiteral("café ünï.txt")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_target).removeRecursively();
        QDir().mkpath(m_target);
        // An empty source folder is the root, as the browser's empty path is.
        copy(c.source.isEmpty() ? QStringLiteral("/") : c.source, c.selection);
        EXPECT_EQ(localTree(m_target), c.tree);
        EXPECT_EQ(m_events.failed.back(), 0u);
    }
    EXPECT_EQ(readLocalFile(m_target + QStringLiteral("/café ünï.txt")), "accents");
}

TEST_P(QELCopyFilesTest, TheEventsNameEachItemAfterTheOpeningEventFolderFirst)
{
    copy("/DCIM", {"/DCIM/100APPLE", "/DCIM/Empty"});
    const auto calls = m_events.begins();
    ASSERT_EQ(calls.size(), 5u);
    // The opening event comes at once, on the main thread, without numbers.
    EXPECT_EQ(calls[0].itemDescription, L("COPYINGFILEFOLDER"));
    EXPECT_EQ(calls[0].itemNumber, 0u);
    EXPECT_EQ(begins().mid(1),
              (QStringList{"/DCIM/100APPLE", "/DCIM/100APPLE/IMG_0001.JPG",
                           "/DCIM/100APPLE/IMG_0002.JPG", "/DCIM/Empty"}));
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_TRUE(calls[i].onMainThread);
        EXPECT_EQ(calls[i].itemNumber, i);
        EXPECT_EQ(calls[i].itemCount, 4u);
        EXPECT_EQ(calls[i].senderClass, std::type_index(typeid(QELCopyFiles)));
    }
    EXPECT_EQ(m_events.allItemsCopied().size(), 1u);
    EXPECT_EQ(m_events.allItemsCopied().front().copyType, 0);
}

TEST_P(QELCopyFilesTest, AnEmptySelectionSendsOnlyTheOpeningAndTheEndEvents)
{
    copy("/", {});
    EXPECT_EQ(m_events.order(), (QStringList{"begin " + L("COPYINGFILEFOLDER"), "all done"}));
    put(m_device.scratch("empty"), {}, "/DCIM");
    EXPECT_EQ(m_events.order(),
              (QStringList{"begin " + L("COPYINGFILEFOLDER"), "all done", "all done"}));
}

TEST_P(QELCopyFilesTest, AnExistingFileIsKeptAndCountedAsSkippedNotFailed)
{
    ASSERT_TRUE(writeLocalFile(m_target + "/100APPLE/IMG_0001.JPG", "mine"));
    copy("/DCIM", {"/DCIM/100APPLE"});
    EXPECT_EQ(readLocalFile(m_target + "/100APPLE/IMG_0001.JPG"), "mine");
    EXPECT_EQ(readLocalFile(m_target + "/100APPLE/IMG_0002.JPG"), "jpeg two");
    EXPECT_EQ(m_job.skippedItemCount(), 1u);
    EXPECT_EQ(m_events.failed.back(), 0u);
}

TEST_P(QELCopyFilesTest, APutMakesTheFoldersFirstAndASecondPutChangesNothing)
{
    const QString pictures = m_device.scratch("Pictures");
    ASSERT_TRUE(writeLocalFile(pictures + "/Trip/a.jpg", "trip a"));
    ASSERT_TRUE(writeLocalFile(pictures + "/Trip/.DS_Store", "ds"));
    ASSERT_TRUE(writeLocalFile(pictures + "/single.txt", "single"));
    put(pictures, {pictures + "/Trip", pictures + "/single.txt"}, "/DCIM");
    EXPECT_EQ(begins(),
              (QStringList{pictures + "/Trip", pictures + "/Trip/.DS_Store",
                           pictures + "/Trip/a.jpg", pictures + "/single.txt"}));
    EXPECT_EQ(readLocalFile(m_device.root() + "/DCIM/Trip/a.jpg"), "trip a");
    EXPECT_EQ(readLocalFile(m_device.root() + "/DCIM/Trip/.DS_Store"), "ds");
    EXPECT_EQ(readLocalFile(m_device.root() + "/DCIM/single.txt"), "single");
    EXPECT_EQ(m_events.failed.back(), 0u);

    const QStringList before = localTree(m_device.root());
    ASSERT_TRUE(writeLocalFile(pictures + "/Trip/a.jpg", "changed"));
    put(pictures, {pictures + "/Trip"}, "/DCIM");
    EXPECT_EQ(localTree(m_device.root()), before);
    EXPECT_EQ(readLocalFile(m_device.root() + "/DCIM/Trip/a.jpg"), "trip a");
    EXPECT_EQ(m_job.skippedItemCount(), 2u);
    EXPECT_EQ(m_events.failed.back(), 0u);
}

TEST_P(QELCopyFilesTest, FailedCopiesAndUploadsCountAsFailed)
{
    // A folder whose place is taken by a file, and an item that is gone.
    ASSERT_TRUE(writeLocalFile(m_target + "/100APPLE", "a file"));
    copy("/DCIM", {"/DCIM/100APPLE", "/DCIM/Gone.JPG"});
    EXPECT_EQ(m_events.failed.back(), 4u); // the folder, its two files, the missing item
    EXPECT_EQ(readLocalFile(m_target + "/100APPLE"), "a file");

    // An upload into a device folder that is a file.
    const QString local = m_device.scratch("up");
    ASSERT_TRUE(writeLocalFile(local + "/x.txt", "x"));
    put(local, {local + "/x.txt", local + "/missing.txt"}, "/Notes.txt");
    EXPECT_EQ(m_events.failed.back(), 2u);
    EXPECT_EQ(readLocalFile(m_device.root() + "/Notes.txt"), "notes");
}

// The bytes of the files below `paths` (files or folders), as a run counts them.
quint64 bytesBelow(const QStringList& paths)
{
    quint64 bytes = 0;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isFile())
            bytes += quint64(info.size());
        QDirIterator files(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            bytes += quint64(QFileInfo(files.next()).size());
    }
    return bytes;
}

// The bar follows bytes both ways: the 12 MiB file moves it block by block
// while it is copied, and the run ends with it full.
TEST_P(QELCopyFilesTest, ProgressFollowsTheBytesOfTheFilesBothWays)
{
    const QString up = m_device.scratch("up");
    ASSERT_TRUE(writeLocalFile(up + "/Big/movie.mov", FilesTestDevice::bigFile()));
    ASSERT_TRUE(writeLocalFile(up + "/small.txt", "small"));
    const QString root = m_device.root();
    struct Case {
        const char* name;
        bool put;
        QString bigItem;
        quint64 total;
    };
    const std::vector<Case> cases{
        {"copy", false, "/Big/movie.mov",
         bytesBelow({root + "/Notes.txt", root + "/Big", root + "/Downloads"})},
        {"put", true, up + "/Big/movie.mov", bytesBelow({up + "/Big", up + "/small.txt"})},
    };
    const quint64 big = quint64(FilesTestDevice::bigFile().size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = m_events.byteSteps().size();
        if (c.put)
            put(up, {up + "/Big", up + "/small.txt"}, "/Downloads");
        else
            copy("/", {"/Notes.txt", "/Big", "/Downloads"});
        EXPECT_EQ(m_events.failed.back(), 0u);

        const auto all = m_events.byteSteps();
        std::vector<RecordingCopyDelegate::ByteStep> steps;
        for (size_t i = before; i < all.size(); ++i) {
            if (all[i].itemNumber > 0) // not the opening event
                steps.push_back(all[i]);
        }
        ASSERT_FALSE(steps.empty());
        quint64 last = 0;
        for (const auto& step : steps) {
            EXPECT_EQ(step.byteCount, c.total);
            EXPECT_GE(step.bytesCopied, last);
            last = step.bytesCopied;
        }
        EXPECT_TRUE(steps.back().progress);
        EXPECT_EQ(steps.back().bytesCopied, c.total);

        // The big file's item: its start, then its blocks.
        const QStringList names = begins();
        const qsizetype bigAt = names.lastIndexOf(c.bigItem);
        ASSERT_GT(bigAt, 0);
        const quint32 bigNumber = m_events.begins()[size_t(bigAt)].itemNumber;
        quint64 startOfBig = 0;
        std::vector<quint64> inside;
        for (const auto& step : steps) {
            if (step.itemNumber != bigNumber)
                continue;
            if (!step.progress)
                startOfBig = step.bytesCopied;
            else if (step.bytesCopied < startOfBig + big)
                inside.push_back(step.bytesCopied - startOfBig);
        }
        EXPECT_GE(inside.size(), 2u) << "the bar did not move inside the 12 MiB file";
        for (quint64 bytes : inside)
            EXPECT_EQ(bytes % (4 * 1024 * 1024), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, QELCopyFilesTest,
                         ::testing::Values(DeviceKind::IOS, DeviceKind::DiskMode),
                         [](const auto& info) {
                             return info.param == DeviceKind::IOS ? "iOS" : "DiskMode";
                         });

// Names and links of a hostile device never put a file outside the chosen
// folder; each item that is refused counts as not copied.
TEST(QELCopyFilesHostile, NothingIsWrittenOutsideTheChosenFolder)
{
    for (DeviceKind kind : {DeviceKind::IOS, DeviceKind::DiskMode}) {
        SCOPED_TRACE(kind == DeviceKind::IOS ? "iOS" : "disk mode");
        FilesTestDevice device(kind, {true, {}});
        ASSERT_TRUE(device.connect());
        const QString outside = device.scratch("outside");
        const QString target = device.scratch("outside/target");
        CountingDelegate events;
        QELCopyFiles job;
        job.setDelegate(&events);
        job.setDeviceInteface(&device.device());
        job.setSelection({"/DCIM/../evil", "/etc/passwd", "/DCIM/a//b", "/DCIM/a/b", "/DCIM/..",
                          "/DCIM/100APPLE", "/Hostile"});
        job.setDeviceSourceDirectory("/DCIM");
        job.setBaseCopyPath(target);
        job.startCopy();
        ASSERT_TRUE(events.waitForAllItemsCopied());
        // Only 100APPLE is below /DCIM; /Hostile is not, nor any of its links.
        EXPECT_EQ(localTree(outside),
                  (QStringList{"target/", "target/100APPLE/", "target/100APPLE/IMG_0001.JPG",
                               "target/100APPLE/IMG_0002.JPG"}));
        // Five hostile paths (a/b is missing on the device), and /Hostile,
        // which is not below /DCIM (and is not listed).
        EXPECT_EQ(events.failed.back(), 6u);

        // From the root, the three links are refused (the device layer does not
        // offer the name that is not UTF-8).
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        job.cancelCopy();
        job.setSelection({"/Hostile"});
        job.setDeviceSourceDirectory("/");
        job.startCopy();
        ASSERT_TRUE(events.waitForAllItemsCopied(2));
        EXPECT_EQ(localTree(target), (QStringList{"Hostile/", "Hostile/plain.txt"}));
        // The names the device lists that no computer can hold ("../x", "a/b")
        // and, on a volume, the name that is not UTF-8, are told too.
        EXPECT_EQ(events.failed.back(), kind == DeviceKind::IOS ? 6u : 4u)
            << events.order().join("\n").toStdString();
        EXPECT_EQ(localTree(outside).size(), 3);
    }
}

// A long file stops in the middle when the copy is cancelled; no part of it
// stays, and the next item is not started.
TEST(QELCopyFilesCancel, ACancelDuringALongFileLeavesNoPartialFile)
{
    FilesTestDevice device(DeviceKind::IOS);
    ASSERT_TRUE(device.connect());
    const QString target = device.scratch("target");
    CountingDelegate events;
    QELCopyFiles job;
    job.setDelegate(&events);
    job.setDeviceInteface(&device.device());
    // The file copy has begun on the job's worker when the device reports it.
    device.setOnCommunicating([&job](const QString& path) {
        if (path.endsWith("movie.mov"))
            job.cancelCopy();
    });
    job.setSelection({"/Big/movie.mov", "/Notes.txt"});
    job.setDeviceSourceDirectory("/");
    job.setBaseCopyPath(target);
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied());
    // Only the folder the copy made for it: no part of the file, no next item.
    EXPECT_EQ(localTree(target), QStringList{"Big/"});
    EXPECT_EQ(events.failed.back(), 0u);
    device.setOnCommunicating({});

    // Not cancelled, the whole file arrives.
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied(2));
    EXPECT_EQ(readLocalFile(target + "/Big/movie.mov"), FilesTestDevice::bigFile());
    EXPECT_EQ(readLocalFile(target + "/Notes.txt"), "notes");
}

// A new request while a run lists its tree never mixes the two runs' items.
TEST(QELCopyFilesRestart, ARestartTakesOnlyTheNewRunsItems)
{
    FilesTestDevice device(DeviceKind::IOS);
    ASSERT_TRUE(device.connect());
    const QString target = device.scratch("target");
    CountingDelegate events;
    QELCopyFiles job;
    job.setDelegate(&events);
    job.setDeviceInteface(&device.device());
    job.setBaseCopyPath(target);
    job.setDeviceSourceDirectory("/");
    for (int i = 0; i < 5; ++i) {
        job.cancelCopy();
        job.setSelection({"/Downloads"});
        job.startCopy();
    }
    job.cancelCopy();
    job.setSelection({"/DCIM"});
    job.startCopy();
    ASSERT_TRUE(events.waitForAllItemsCopied());
    // The replaced runs' events are dropped; the last run reports its own five items only.
    QStringList items;
    for (const auto& call : events.begins()) {
        if (call.itemDescription != L("COPYINGFILEFOLDER")) {
            items << call.itemDescription;
            EXPECT_EQ(call.itemCount, 5u);
        }
    }
    EXPECT_EQ(items,
              (QStringList{"/DCIM", "/DCIM/100APPLE", "/DCIM/100APPLE/IMG_0001.JPG",
                           "/DCIM/100APPLE/IMG_0002.JPG", "/DCIM/Empty"}));
    EXPECT_EQ(events.allItemsCopied().size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(target + "/DCIM/100APPLE/IMG_0002.JPG"));
}

} // namespace
