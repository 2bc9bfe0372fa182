// SPDX-License-Identifier: GPL-3.0-or-later
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "Clock.h"
#include "Plist.h"
#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupCompleteArguments.h"
#include "QELDeviceMediaLibrary.h"
#include "QtPrinters.h"

namespace {

int runTool(const QStringList& arguments, QString* output = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral(ORVANE_DEMO_DEVICE_TOOL), arguments);
    if (!tool.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

class NullEvents : public QELDeviceMediaLibraryEventsProtocol {
public:
    void OnDeviceMediaLibaryReadCompleteEvent(
        const DeviceMediaLibraryReadCompleteArguments& a) override
    {
        success = a.readSuccesfull();
    }
    void OnDeviceMediaLibraryReadProgressEvent(const QString&) override {}
    void OnDeviceMediaLibraryReadPlaylistName(const QString&) override {}
    bool success = false;
};

} // namespace

TEST(DemoDevice, WritesAnIPhoneWhoseMediaLibraryReadsWithItsAudioFiles)
{
    QTemporaryDir dir;
    const QString device = dir.path() + QStringLiteral("/demo");
    ASSERT_EQ(runTool({device}), 0);

    const QVariantMap values = Plist::readFile(device + QStringLiteral("/device.plist")).toMap();
    EXPECT_EQ(values.value(QStringLiteral("DeviceClass")).toString(), QStringLiteral("iPhone"));
    EXPECT_FALSE(values.value(QStringLiteral("UniqueDeviceID")).toString().isEmpty());

    QTemporaryDir copies;
    ASSERT_TRUE(
        QFile::copy(device + QStringLiteral("/afc/iTunes_Control/iTunes/MediaLibrary.sqlitedb"),
                    copies.path() + QStringLiteral("/MediaLibrary.sqlitedb")));
    QELDeviceMediaLibrary library(copies.path());
    NullEvents events;
    library.setDelegate(&events);
    ASSERT_TRUE(library.readMediaLibrary());
    EXPECT_TRUE(events.success);
    const QList<TrackDetailPtr> tracks = library.getAllTracks();
    ASSERT_GE(tracks.size(), 24);
    QStringList names;
    for (const PlaylistPtr& p : library.playlists())
        names << p->name;
    EXPECT_TRUE(names.contains(QStringLiteral("Road Trip")))
        << names.join(QLatin1Char(',')).toStdString();

    // Every track's file is on the device, plays as real audio and carries the database's tags.
    for (const TrackDetailPtr& track : tracks) {
        SCOPED_TRACE(track->path.toStdString());
        const QString file = device + QStringLiteral("/afc/") + track->path;
        ASSERT_TRUE(QFileInfo::exists(file));
        TagLib::FileRef ref(QFile::encodeName(file).constData());
        ASSERT_FALSE(ref.isNull());
        ASSERT_NE(ref.audioProperties(), nullptr);
        EXPECT_GT(ref.audioProperties()->lengthInMilliseconds(), 1000);
        EXPECT_EQ(QString::fromStdString(ref.tag()->title().to8Bit(true)), track->trackName);
        EXPECT_EQ(QString::fromStdString(ref.tag()->artist().to8Bit(true)), track->artist);
    }
}

TEST(DemoDevice, ReplacesAnEarlierDemoButNeverAnotherFolder)
{
    QTemporaryDir dir;
    const QString device = dir.path() + QStringLiteral("/demo");
    ASSERT_EQ(runTool({device}), 0);
    QFile stray(device + QStringLiteral("/afc/stray.txt"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    ASSERT_EQ(runTool({device}), 0);
    EXPECT_FALSE(QFileInfo::exists(device + QStringLiteral("/afc/stray.txt")));

    const QString other = dir.path() + QStringLiteral("/documents");
    ASSERT_TRUE(QDir().mkpath(other));
    QFile keep(other + QStringLiteral("/letter.txt"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("mine");
    keep.close();
    QString output;
    EXPECT_EQ(runTool({other}, &output), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("not empty"))) << output.toStdString();
    EXPECT_TRUE(QFileInfo::exists(other + QStringLiteral("/letter.txt")));
    EXPECT_FALSE(QFileInfo::exists(other + QStringLiteral("/device.plist")));

    EXPECT_EQ(runTool({}), 2);
}

namespace {

class BackupWaiter : public QELDeviceBackUpDelegate {
public:
    void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_result = arguments.successfull() ? 1 : 0;
        m_changed.notify_all();
    }
    void OnDeviceRestoreCompleteEvent(const QELDeviceBackupCompleteArguments&) override {}
    // 1 succeeded, 0 failed, -1 no answer in time.
    int wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(120), [this] { return m_result >= 0; });
        return m_result;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_result = -1;
};

} // namespace

TEST(DemoDevice, ABackupOfItAnswersEveryBackupCategorysDatabaseAndThePasswordTest)
{
    QTemporaryDir dir;
    const QString device = dir.path() + QStringLiteral("/demo");
    ASSERT_EQ(runTool({device}), 0);
    const QString udid = Plist::readFile(device + QStringLiteral("/device.plist"))
                             .toMap()
                             .value(QStringLiteral("UniqueDeviceID"))
                             .toString();
    qputenv("ORVANE_SIMULATED_DEVICES", QFile::encodeName(device));

    BackupWaiter waiter;
    {
        QELDeviceBackup backup;
        backup.setDelegate(&waiter);
        ASSERT_TRUE(backup.PerformBackupForDeviceID(udid));
        ASSERT_EQ(waiter.wait(), 1);
        // Contacts, their pictures, calendars, notes (both generations),
        // messages, voicemail, call logs and bookmarks: each a database copy
        // of the caller's.
        for (int type : {0, 8, 1, 2, 4, 5, 6, 9, 10}) {
            SCOPED_TRACE(type);
            const QString path = backup.GetPathToDataOfType(type);
            ASSERT_FALSE(path.isEmpty());
            QFile copy(path);
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
            EXPECT_TRUE(copy.read(16).startsWith("SQLite format 3"));
        }
        // The password test runs the real tool within its nominal time limit,
        // which the fast clock would shrink below what a loaded machine needs.
        Clock::setScale(1.0);
        EXPECT_EQ(QELDeviceBackupBrowser::
                      TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                          QStringLiteral("Library/Preferences/com.apple.springboard.plist"), udid,
                          std::nullopt, QStringLiteral("HomeDomain")),
                  QELDeviceBackupBrowser::PasswordTestResult::Passed);
        backup.setDelegate(nullptr);
    }
    qunsetenv("ORVANE_SIMULATED_DEVICES");
}
