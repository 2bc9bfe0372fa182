// SPDX-License-Identifier: GPL-3.0-or-later
// The apps copy jobs over the simulated device: Copy to the computer and the
// transfer into the music library.
#include <gtest/gtest.h>

#include <QSettings>
#include <QUrl>

#include "AppsTestSupport.h"
#include "FolderMediaLibraryHost.h"
#include "Plist.h"
#include "QELAppDetailSummary.h"
#include "QELCopyApps.h"
#include "QELTransferApps.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"

using namespace AppsTest;

namespace {

QVariantList queue(const QList<QELAppDetailSummary>& apps)
{
    QVariantList items;
    for (const QELAppDetailSummary& app : apps)
        items.append(QVariant::fromValue(app));
    return items;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class AppJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The folder the user chose: it exists (a missing one is told, not made).
        m_out = m_dir.filePath(QStringLiteral("out"));
        QDir().mkpath(m_out);
        m_music = m_dir.filePath(QStringLiteral("Music"));
        device()
            .builder()
            .app(QStringLiteral("com.example.notes"), app(QStringLiteral("Notes")))
            .app(QStringLiteral("com.other.notes"), app(QStringLiteral("Notes")))
            .app(QStringLiteral("com.example.evil"), app(QStringLiteral("../../evil")))
            .app(QStringLiteral("com.example.broken"), app(QStringLiteral("Broken")))
            .simulation(QStringLiteral("ArchiveFailures"),
                        QStringList{QStringLiteral("com.example.broken")});
    }
    Device& device() { return m_device; }

    // Runs the job over the apps and waits for the end of its run.
    template <class Job> void run(Job& job, const QList<QELAppDetailSummary>& apps)
    {
        job.setDelegate(&m_events);
        job.setDeviceInteface(&device().interface());
        job.setItemQueue(queue(apps));
        job.startCopy();
        ASSERT_TRUE(waitUntil([this] { return !m_events.allItemsCopied().empty(); }));
    }
    QString archivesFolder() const
    {
        return m_device.folder() + QStringLiteral("/afc/ApplicationArchives");
    }

    QTemporaryDir m_dir;
    QString m_out;
    QString m_music;
    Device m_device{m_dir.filePath(QStringLiteral("phone"))};
    RecordingCopyDelegate m_events;
};

const QELAppDetailSummary kNotes{QStringLiteral("Notes"), QStringLiteral("com.example.notes")};
const QELAppDetailSummary kOtherNotes{QStringLiteral("Notes"), QStringLiteral("com.other.notes")};
const QELAppDetailSummary kEvil{QStringLiteral("../../evil"), QStringLiteral("com.example.evil")};
const QELAppDetailSummary kBroken{QStringLiteral("Broken"), QStringLiteral("com.example.broken")};
const QELAppDetailSummary kUnknown{};

TEST_F(AppJobs, CopyNamesFilesSafelyAndNumbersThemWithinARun)
{
    ASSERT_TRUE(device().connect());
    QELCopyApps job;
    job.setBaseCopyPath(m_out);
    run(job, {kNotes, kOtherNotes, kEvil, kUnknown});
    QStringList files = QDir(m_out).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("Notes 1.ipa"), QStringLiteral("Notes.ipa"),
                           QStringLiteral("___.._evil.ipa")}));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("evil.ipa"))));
    EXPECT_TRUE(
        SimulatedInstallationProxy::isWholeZip(readAll(m_out + QStringLiteral("/Notes.ipa"))));
    EXPECT_TRUE(QDir(archivesFolder()).entryList(QDir::Files).isEmpty())
        << "every archive is removed";
    EXPECT_EQ(m_events.begins().size(), 4u);
    EXPECT_EQ(job.failedItemCount(), 1u) << "the app without an identifier";
    EXPECT_FALSE(device().interface().appsConnectionIsOpen());
}

TEST_F(AppJobs, CopyKeepsTheFileOfAnEarlierRunNumbersTheNewOneAndRemovesALeftoverArchiveFirst)
{
    ASSERT_TRUE(writeBytes(m_out + QStringLiteral("/Notes.ipa"), "earlier"));
    ASSERT_TRUE(
        writeBytes(archivesFolder() + QStringLiteral("/com.example.evil.zip"), "left over"));
    ASSERT_TRUE(device().connect());
    QELCopyApps job;
    job.setBaseCopyPath(m_out);
    run(job, {kNotes, kEvil, kBroken});
    EXPECT_EQ(readAll(m_out + QStringLiteral("/Notes.ipa")), QByteArray("earlier"));
    EXPECT_TRUE(
        SimulatedInstallationProxy::isWholeZip(readAll(m_out + QStringLiteral("/Notes 1.ipa"))));
    EXPECT_TRUE(
        SimulatedInstallationProxy::isWholeZip(readAll(m_out + QStringLiteral("/___.._evil.ipa"))));
    EXPECT_EQ(job.failedItemCount(), 1u) << "the one the device could not archive";
    const QStringList calls = device().appCalls();
    EXPECT_LT(calls.indexOf(QStringLiteral("RemoveArchive com.example.evil")),
              calls.indexOf(QStringLiteral("Archive com.example.evil")));
}

TEST_F(AppJobs, TransferReplacesOnlyWithAWholeArchiveAndAddsToTheLibrary)
{
    auto host = std::make_shared<FolderMediaLibraryHost>(m_music);
    const QString folder = m_music + QStringLiteral("/iTunes/iTunes Media/Mobile Applications");
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/Notes.ipa"), "older"));
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/Broken.ipa"), "older broken"));
    ASSERT_TRUE(device().connect());
    QELTransferApps job;
    job.setMediaLibraryHost(host);
    EXPECT_EQ(job.mobileApplicationsFolder(), folder);
    run(job, {kNotes, kBroken});
    EXPECT_TRUE(
        SimulatedInstallationProxy::isWholeZip(readAll(folder + QStringLiteral("/Notes.ipa"))));
    EXPECT_EQ(readAll(folder + QStringLiteral("/Broken.ipa")), QByteArray("older broken"))
        << "a failed archive keeps the older file";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no partial file is left";
    const QVariantMap library =
        Plist::readFile(m_music + QStringLiteral("/Orvane Library.xml")).toMap();
    const QVariantMap tracks = library.value(QStringLiteral("Tracks")).toMap();
    ASSERT_EQ(tracks.size(), 1);
    EXPECT_EQ(
        tracks.first().toMap().value(QStringLiteral("Location")).toString(),
        QUrl::fromLocalFile(folder + QStringLiteral("/Notes.ipa")).toString(QUrl::FullyEncoded));
    EXPECT_EQ(job.failedItemCount(), 1u);

    // Again: the file is replaced and the library keeps one entry for it.
    QELTransferApps again;
    again.setMediaLibraryHost(host);
    RecordingCopyDelegate events;
    again.setDelegate(&events);
    again.setDeviceInteface(&device().interface());
    again.setItemQueue(queue({kNotes}));
    again.startCopy();
    ASSERT_TRUE(waitUntil([&] { return !events.allItemsCopied().empty(); }));
    EXPECT_EQ(Plist::readFile(m_music + QStringLiteral("/Orvane Library.xml"))
                  .toMap()
                  .value(QStringLiteral("Tracks"))
                  .toMap()
                  .size(),
              1);
}

TEST_F(AppJobs, TransferUsesTheLibraryOfTheLastRecentDatabase)
{
    const QString first = m_dir.filePath(QStringLiteral("First"));
    const QString second = m_dir.filePath(QStringLiteral("Second"));
    QSettings().setValue(
        QLatin1String(FolderMediaLibraryHost::kRecentDatabasesKey),
        QStringList{
            QUrl::fromLocalFile(first + QStringLiteral("/iTunes Library.itl")).toString(),
            QUrl::fromLocalFile(second + QStringLiteral("/iTunes Library.itl")).toString()});
    QELTransferApps job;
    job.setMediaLibraryHost(std::make_shared<FolderMediaLibraryHost>(m_music));
    EXPECT_EQ(job.mobileApplicationsFolder(),
              second + QStringLiteral("/iTunes Media/Mobile Applications"));
}

TEST_F(AppJobs, CancelEndsTheRunWithTheEndEventAndLeavesNoArchive)
{
    ASSERT_TRUE(device().connect());
    QELCopyApps job;
    job.setBaseCopyPath(m_out);
    job.setDelegate(&m_events);
    job.setDeviceInteface(&device().interface());
    job.setItemQueue(queue({kNotes, kOtherNotes, kEvil}));
    job.startCopy();
    job.cancelCopy();
    ASSERT_TRUE(waitUntil([this] { return !m_events.allItemsCopied().empty(); }));
    EXPECT_LE(QDir(m_out).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(QDir(archivesFolder()).entryList(QDir::Files).isEmpty());
}

} // namespace
