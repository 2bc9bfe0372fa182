// SPDX-License-Identifier: GPL-3.0-or-later
// The app services of the device interface over the simulated device: the
// list, details, icons, archives, installs and uninstalls.
#include <mutex>

#include <gtest/gtest.h>

#include <QUrl>

#include "AppsTestSupport.h"
#include "Plist.h"
#include "QELDeviceApplicationInstallDelegate.h"
#include "QtPrinters.h"

using namespace AppsTest;

namespace {

// The install events, as "name n/N", "name installed|failed" and "done k/N".
struct InstallEvents : QELDeviceApplicationInstallDelegate {
    void OnApplicationInstallEventForApplicationAppNumberOf(const QString& name, int n,
                                                            int of) override
    {
        add(QStringLiteral("%1 %2/%3").arg(name).arg(n).arg(of));
    }
    void OnApplicationInstallResultForApplicationInstalled(const QString& name,
                                                           bool installed) override
    {
        add(name + (installed ? QStringLiteral(" installed") : QStringLiteral(" failed")));
    }
    void OnApplicationInstallComplete() override { add(QStringLiteral("complete")); }
    void OnApplicationInstallCompleteInstalledOf(int installed, int of) override
    {
        add(QStringLiteral("done %1/%2").arg(installed).arg(of));
    }
    void add(const QString& event)
    {
        std::lock_guard lock(mutex);
        events.append(event);
    }
    std::mutex mutex;
    QStringList events;
};

QString writePackage(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

QByteArray wholeIpa()
{
    return SimulatedInstallationProxy::storedZip(QStringLiteral("Payload/x.app/Info.plist"), "x");
}

class AppServices : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    Device& device() { return m_device; }
    QTemporaryDir m_dir;
    Device m_device{m_dir.filePath(QStringLiteral("phone"))};
};

TEST_F(AppServices, ListsUserAppsOnlyAndNothingWithoutTheConnection)
{
    device()
        .builder()
        .app(QStringLiteral("com.example.notes"), app(QStringLiteral("Notes")))
        .app(QStringLiteral("com.apple.mobilesafari"),
             app(QStringLiteral("Safari"), {}, QStringLiteral("System")))
        .app(QStringLiteral("com.example.case"),
             app(QStringLiteral("Case"), {}, QStringLiteral("user")));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    EXPECT_TRUE(di.getAppIDList().isEmpty());
    EXPECT_FALSE(di.ApplicationIsPresent(QStringLiteral("com.example.notes")));
    EXPECT_TRUE(device().appCalls().isEmpty()) << "no request without the connection";
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_EQ(di.getAppIDList(), QStringList{QStringLiteral("com.example.notes")});
    EXPECT_TRUE(di.ApplicationIsPresent(QStringLiteral("com.apple.mobilesafari")));
    EXPECT_FALSE(di.ApplicationIsPresent(QStringLiteral("com.example.absent")));
    di.StopAppsService();
    EXPECT_FALSE(di.appsConnectionIsOpen());
}

TEST_F(AppServices, HoldsAreCountedAndTwoStartsRestartTheSessionOnce)
{
    device().builder().app(QStringLiteral("com.example.notes"), app(QStringLiteral("Notes")));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    const int sessions =
        device().backend().callCount(device().udid(), QStringLiteral("startSession"));
    ASSERT_TRUE(di.StartAppsService());
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_EQ(device().backend().callCount(device().udid(), QStringLiteral("startSession")),
              sessions + 1);
    di.StopAppsService();
    EXPECT_TRUE(di.appsConnectionIsOpen()) << "the other holder still uses it";
    EXPECT_FALSE(di.getAppIDList().isEmpty());
    di.StopAppsService();
    EXPECT_FALSE(di.appsConnectionIsOpen());
    di.StopAppsService(); // one stop too many changes nothing
    EXPECT_FALSE(di.appsConnectionIsOpen());
}

TEST_F(AppServices, DetailsOfAppsInstalledAfterTheFirstLoadAreKnown)
{
    device().builder().app(QStringLiteral("com.example.notes"),
                           app(QStringLiteral("Notes"), QStringLiteral("2.1")));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    ASSERT_TRUE(di.StartAppsService());
    ASSERT_EQ(di.getAppIDList().size(), 1);
    std::optional<AppDetail> detail =
        di.GetAppDetailByBundleId(QStringLiteral("com.example.notes"));
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->bundleDisplayName, QStringLiteral("Notes"));
    EXPECT_EQ(detail->bundleVersion, QStringLiteral("2.1"));

    // Installed behind the program's back: the next detail call finds it.
    const QString folder = device().folder() + QStringLiteral("/apps/later");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(Plist::writeFile(
        folder + QStringLiteral("/Info.plist"),
        QVariantMap{{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.later")},
                    {QStringLiteral("CFBundleName"), QStringLiteral("Later")}}));
    detail = di.GetAppDetailByBundleId(QStringLiteral("com.example.later"));
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->bundleId, QStringLiteral("com.example.later"));
    EXPECT_EQ(detail->bundleDisplayName, QStringLiteral("Later")) << "the bundle name stands in";
    di.StopAppsService();
}

// Damaged and hostile Info.plist files: the app is left out or its bad
// values read as absent; nothing crashes and the other apps stay listed.
TEST_F(AppServices, HostileInfoPlistsNeverBreakTheList)
{
    const QByteArray good = Plist::serialize(
        QVariantMap{{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.good")},
                    {QStringLiteral("CFBundleDisplayName"), QStringLiteral("Good")}});
    device()
        .builder()
        .appFiles(QStringLiteral("com.example.good"), good)
        .appFiles(QStringLiteral("garbage"), QByteArray("\x00\x01 not a plist", 15))
        .appFiles(QStringLiteral("truncated"), good.left(good.size() / 2))
        .appFiles(QStringLiteral("array"), Plist::serialize(QVariantList{1, 2}))
        .appFiles(QStringLiteral("typed"),
                  Plist::serialize(QVariantMap{
                      {QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.typed")},
                      {QStringLiteral("CFBundleDisplayName"), 42},
                      {QStringLiteral("CFBundleShortVersionString"), QVariantList{1}}}))
        .appFiles(QStringLiteral("id-not-text"),
                  Plist::serialize(QVariantMap{
                      {QStringLiteral("CFBundleIdentifier"), QVariantList{QStringLiteral("x")}}}));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    ASSERT_TRUE(di.StartAppsService());
    QStringList ids = di.getAppIDList();
    ids.sort();
    EXPECT_EQ(
        ids,
        (QStringList{QStringLiteral("com.example.good"), QStringLiteral("com.example.typed")}));
    const std::optional<AppDetail> typed =
        di.GetAppDetailByBundleId(QStringLiteral("com.example.typed"));
    ASSERT_TRUE(typed);
    EXPECT_TRUE(typed->bundleDisplayName.isEmpty());
    EXPECT_TRUE(typed->bundleVersion.isEmpty());
    di.StopAppsService();
}

TEST_F(AppServices, IconsAndArchivesWithoutAnIdentifierSendNoRequest)
{
    device()
        .builder()
        .app(QStringLiteral("com.example.notes"), app(QStringLiteral("Notes")))
        .appIcon(QStringLiteral("com.example.notes"), iconPng(qRgb(200, 0, 0)))
        .app(QStringLiteral("com.example.fails"), app(QStringLiteral("Fails")))
        .simulation(QStringLiteral("ArchiveFailures"),
                    QStringList{QStringLiteral("com.example.fails")});
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_TRUE(di.GetApplicationIconForBundleId({}).isNull());
    EXPECT_FALSE(di.ArchiveApplication({}));
    EXPECT_FALSE(di.RemoveArchiveApplication({}));
    EXPECT_TRUE(device().appCalls().isEmpty());

    const QImage icon = di.GetApplicationIconForBundleId(QStringLiteral("com.example.notes"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixel(10, 10), qRgb(200, 0, 0));
    EXPECT_TRUE(di.GetApplicationIconForBundleId(QStringLiteral("com.example.fails")).isNull());

    const QString archive = QStringLiteral("/ApplicationArchives/com.example.notes.zip");
    EXPECT_TRUE(di.ArchiveApplication(QStringLiteral("com.example.notes")));
    EXPECT_TRUE(di.fileExistsAtPath(archive));
    EXPECT_TRUE(di.RemoveArchiveApplication(QStringLiteral("com.example.notes")));
    EXPECT_FALSE(di.fileExistsAtPath(archive));
    EXPECT_FALSE(di.ArchiveApplication(QStringLiteral("com.example.fails")));
    di.StopAppsService();
}

TEST_F(AppServices, InstallReportsEachPackageAndItsOutcome)
{
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    const QString local = m_dir.filePath(QStringLiteral("packages"));
    const QString a = writePackage(local, QStringLiteral("Alpha.ipa"), wholeIpa());
    const QString b = writePackage(local, QStringLiteral("Broken.ipa"), wholeIpa().left(30));
    const QString c = writePackage(local, QStringLiteral("Gamma.IPA"), wholeIpa());
    // A file an interrupted install left in the staging folder.
    ASSERT_TRUE(QDir().mkpath(device().folder() + QStringLiteral("/afc/PublicStaging")));
    ASSERT_FALSE(writePackage(device().folder() + QStringLiteral("/afc/PublicStaging"),
                              QStringLiteral("Gamma.IPA"), "stale")
                     .isEmpty());
    InstallEvents events;
    di.setApplicationInstallDelegate(&events);
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_EQ(di.InstallApplicationsFromPaths({a, b, QUrl::fromLocalFile(c).toString()}), 2);
    EXPECT_EQ(events.events,
              (QStringList{QStringLiteral("Alpha.ipa 1/3"), QStringLiteral("Alpha.ipa installed"),
                           QStringLiteral("Broken.ipa 2/3"), QStringLiteral("Broken.ipa failed"),
                           QStringLiteral("Gamma.IPA 3/3"), QStringLiteral("Gamma.IPA installed"),
                           QStringLiteral("done 2/3")}));
    QStringList ids = di.getAppIDList();
    ids.sort();
    EXPECT_EQ(ids,
              (QStringList{QStringLiteral("com.example.installed.Alpha"),
                           QStringLiteral("com.example.installed.Gamma")}));
    EXPECT_FALSE(QFileInfo::exists(device().folder() + QStringLiteral("/afc/PublicStaging")))
        << "the staged files and their folder are removed";

    events.events.clear();
    EXPECT_EQ(di.InstallApplicationsFromPaths({}), 0);
    EXPECT_TRUE(events.events.isEmpty()) << "an empty list sends no event";
    di.setApplicationInstallDelegate(nullptr);
    di.StopAppsService();
}

TEST_F(AppServices, UninstallSkipsEmptyIdentifiers)
{
    device()
        .builder()
        .app(QStringLiteral("com.example.a"), app(QStringLiteral("A")))
        .app(QStringLiteral("com.example.b"), app(QStringLiteral("B")))
        .app(QStringLiteral("com.example.c"), app(QStringLiteral("C")));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_EQ(di.UninstallApplicationsWithBundleIds(
                  {QStringLiteral("com.example.a"), QString(), QStringLiteral("com.example.c")}),
              2);
    EXPECT_EQ(device().appCalls(),
              (QStringList{QStringLiteral("Uninstall com.example.a"),
                           QStringLiteral("Uninstall com.example.c")}));
    EXPECT_EQ(di.getAppIDList(), QStringList{QStringLiteral("com.example.b")});
    di.StopAppsService();
}

TEST_F(AppServices, TheConnectionClosesWhenTheDeviceLeaves)
{
    device().builder().app(QStringLiteral("com.example.a"), app(QStringLiteral("A")));
    ASSERT_TRUE(device().connect());
    QELDeviceInterface& di = device().interface();
    ASSERT_TRUE(di.StartAppsService());
    const QString udid = device().udid();
    device().backend().detach(udid);
    EXPECT_TRUE(di.getAppIDList().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return !di.appsConnectionIsOpen(); }));
    di.StopAppsService();
}

} // namespace
