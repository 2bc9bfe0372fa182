#include "FolderMediaLibraryHost.h"
#include "TestEnvironment.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace {

class FolderHost : public ::testing::Test {
protected:
    void TearDown() override
    {
        QSettings settings;
        settings.remove(QLatin1String(FolderMediaLibraryHost::kRecentDatabasesKey));
        settings.remove(QLatin1String(FolderMediaLibraryHost::kLibraryLocationKey));
    }
};

TEST_F(FolderHost, NeverRunsAndAcceptsQuit)
{
    FolderMediaLibraryHost host;
    EXPECT_FALSE(host.isRunning());
    EXPECT_TRUE(host.quit());
    EXPECT_FALSE(host.isRunning());
}

TEST_F(FolderHost, ReadsItsTwoSettings)
{
    FolderMediaLibraryHost host;
    EXPECT_TRUE(host.recentDatabases().isEmpty());
    EXPECT_TRUE(host.libraryLocation().isEmpty());

    const QStringList recent{QStringLiteral("file:///a/iTunes%20Library.xml"), QStringLiteral("file:///b/x.xml")};
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kRecentDatabasesKey), recent);
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kLibraryLocationKey), QStringLiteral("/srv/music"));
    EXPECT_EQ(host.recentDatabases(), recent);
    EXPECT_EQ(host.libraryLocation(), QStringLiteral("/srv/music"));
}

TEST_F(FolderHost, MusicFolderIsTheUsersOrTheGivenOne)
{
    EXPECT_EQ(FolderMediaLibraryHost().musicFolder(), TestEnvironment::home() + QStringLiteral("/Music"));
    EXPECT_EQ(FolderMediaLibraryHost(QStringLiteral("/tmp/x")).musicFolder(), QStringLiteral("/tmp/x"));
}

} // namespace
