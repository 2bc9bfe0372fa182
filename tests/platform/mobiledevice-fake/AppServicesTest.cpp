// The app services of our device interface over its real backend
// (libimobiledevice) and the fake device's installation proxy and
// springboard services.
#include <QBuffer>
#include <QImage>
#include <QUrl>

#include "DeviceLayerFixture.h"
#include "QtPrinters.h"

namespace {

QByteArray redPng()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(qRgb(255, 0, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QVariantMap appEntry(const QString& id, const QString& name, const QString& type)
{
    return {{QStringLiteral("CFBundleIdentifier"), id},
            {QStringLiteral("CFBundleDisplayName"), name},
            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2")},
            {QStringLiteral("ApplicationType"), type}};
}

class AppServices : public DeviceLayer {
protected:
    void connectDevice()
    {
        m_device->setApps({{QStringLiteral("com.example.a"),
                            appEntry(QStringLiteral("com.example.a"), QStringLiteral("A"),
                                     QStringLiteral("User"))},
                           {QStringLiteral("com.example.s"),
                            appEntry(QStringLiteral("com.example.s"), QStringLiteral("S"),
                                     QStringLiteral("System"))},
                           {QStringLiteral("com.example.u"),
                            appEntry(QStringLiteral("com.example.u"), QStringLiteral("U"),
                                     QStringLiteral("user"))}});
        m_device->setIcon(QStringLiteral("com.example.a"), redPng());
        pairInAdvance();
        startDetection();
        m_mux.attach(m_device.get());
        ASSERT_TRUE(m_events.waitForSuccess());
    }
};

TEST_F(AppServices, ListsUserAppsWithDetailsAndIcons)
{
    connectDevice();
    const int sessions = m_device->lockdownRequests().count(QStringLiteral("StartSession"));
    ASSERT_TRUE(m_interface->StartAppsService());
    ASSERT_TRUE(m_interface->StartAppsService());
    EXPECT_EQ(m_device->lockdownRequests().count(QStringLiteral("StartSession")), sessions + 1);
    EXPECT_TRUE(m_device->lockdownRequests().contains(
        QStringLiteral("StartService com.apple.mobile.installation_proxy")));
    EXPECT_TRUE(m_device->lockdownRequests().contains(
        QStringLiteral("StartService com.apple.springboardservices")));
    EXPECT_EQ(m_interface->getAppIDList(), QStringList{QStringLiteral("com.example.a")});
    EXPECT_TRUE(m_interface->ApplicationIsPresent(QStringLiteral("com.example.s")));
    const std::optional<AppDetail> detail =
        m_interface->GetAppDetailByBundleId(QStringLiteral("com.example.a"));
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->bundleDisplayName, QStringLiteral("A"));
    EXPECT_EQ(detail->bundleVersion, QStringLiteral("1.2"));
    const QImage icon = m_interface->GetApplicationIconForBundleId(QStringLiteral("com.example.a"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_TRUE(
        m_interface->GetApplicationIconForBundleId(QStringLiteral("com.example.s")).isNull());
    m_interface->StopAppsService();
    m_interface->StopAppsService();
    EXPECT_FALSE(m_interface->appsConnectionIsOpen());
}

// A series of progress replies ends at "Complete" in any case (success), at
// an "Error" or at a cut connection (failure); after a cut the next start
// opens a new connection.
TEST_F(AppServices, ArchiveReplySeriesEndAsTheirLastReplySays)
{
    connectDevice();
    struct Case {
        QString ending;
        bool archived;
    };
    const std::vector<Case> cases{{QStringLiteral("Complete"), true},
                                  {QStringLiteral("cOmPlEtE"), true},
                                  {QStringLiteral("Error"), false},
                                  {QStringLiteral("Cut"), false},
                                  {QStringLiteral("Complete"), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending.toStdString());
        m_device->scriptAppServiceAnswers({c.ending});
        ASSERT_TRUE(m_interface->StartAppsService());
        EXPECT_EQ(m_interface->ArchiveApplication(QStringLiteral("com.example.a")), c.archived);
        m_interface->StopAppsService();
    }
    EXPECT_TRUE(
        m_interface->fileExistsAtPath(QStringLiteral("/ApplicationArchives/com.example.a.zip")));
    ASSERT_TRUE(m_interface->StartAppsService());
    EXPECT_TRUE(m_interface->RemoveArchiveApplication(QStringLiteral("com.example.a")));
    EXPECT_FALSE(
        m_interface->fileExistsAtPath(QStringLiteral("/ApplicationArchives/com.example.a.zip")));
    m_interface->StopAppsService();
}

TEST_F(AppServices, InstallsStagedPackagesAndUninstallsSkippingEmptyIdentifiers)
{
    connectDevice();
    QTemporaryDir local;
    const QString package = local.filePath(QStringLiteral("Game.ipa"));
    {
        QFile file(package);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("PK\x03\x04 a package");
    }
    // A leftover staged file of that name.
    writeLocal(QStringLiteral("PublicStaging/Game.ipa"), "stale");
    m_device->scriptAppServiceAnswers({QStringLiteral("Complete"), QStringLiteral("Error")});
    ASSERT_TRUE(m_interface->StartAppsService());
    EXPECT_EQ(m_interface->InstallApplicationsFromPaths(
                  {package, QUrl::fromLocalFile(package).toString()}),
              1);
    EXPECT_EQ(m_interface->UninstallApplicationsWithBundleIds(
                  {QString(), QStringLiteral("com.example.a")}),
              1);
    m_interface->StopAppsService();
    QStringList requests = m_device->appServiceRequests();
    requests.removeAll(QStringLiteral("Lookup"));
    EXPECT_EQ(requests,
              (QStringList{QStringLiteral("Install PublicStaging/Game.ipa"),
                           QStringLiteral("Install PublicStaging/Game.ipa"),
                           QStringLiteral("Uninstall com.example.a")}));
    EXPECT_FALSE(QFileInfo::exists(afcPath(QStringLiteral("PublicStaging"))));
}

} // namespace
