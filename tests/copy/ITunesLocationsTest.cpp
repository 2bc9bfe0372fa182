#include "MediaLibraryHost.h"
#include "QELCopy.h"
#include "QELITunesInformation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class FakeHost : public MediaLibraryHost {
public:
    bool isRunning() const override { return running; }
    bool quit() override { return true; }
    QStringList recentDatabases() const override { return recent; }
    QString libraryLocation() const override { return location; }
    QString musicFolder() const override { return music; }
    bool add(const QString&, const QString&) override { return false; }

    bool running = false;
    QStringList recent;
    QString location;
    QString music;
};

class LocationJob : public QELCopy {
public:
    using QELCopy::_getITunesLibraryPath;
    using QELCopy::_initiateITunesApplication;
};

void touch(const QString& path, const QDateTime& modified = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist/>");
    file.flush();
    if (modified.isValid()) {
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

class ITunesLocations : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return m_root.path() + QLatin1Char('/') + relative; }
    QTemporaryDir m_root;
    std::shared_ptr<FakeHost> m_host = std::make_shared<FakeHost>();
};

// The library folder for what exists below the music folder and what the user chose.
struct BaseCase {
    const char* name;
    QStringList folders;      // made below the root
    const char* location;     // the chosen library location, below the root ("" none)
    const char* expected;     // below the root; "" means not found
};

class LibraryBasePath : public ITunesLocations, public ::testing::WithParamInterface<BaseCase> {};

TEST_P(LibraryBasePath, FollowsTheSearchOrder)
{
    const BaseCase& c = GetParam();
    for (const QString& folder : c.folders)
        ASSERT_TRUE(QDir().mkpath(path(folder)));
    m_host->music = path(QStringLiteral("Music"));
    if (*c.location)
        m_host->location = path(QString::fromLatin1(c.location));
    const QString expected = *c.expected ? path(QString::fromLatin1(c.expected)) : QString();
    EXPECT_EQ(QELITunesInformation::iTunesLibraryBasePath(*m_host), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LibraryBasePath,
    ::testing::Values(
        BaseCase{"nothing", {}, "", ""},
        BaseCase{"musicWithoutLibrary", {"Music"}, "", ""},
        BaseCase{"musicLibrary", {"Music/iTunes"}, "", "Music/iTunes"},
        BaseCase{"innerLibrary", {"Music/iTunes/iTunes"}, "", "Music/iTunes/iTunes"},
        BaseCase{"chosenLocation", {"Music/iTunes", "Elsewhere/Lib"}, "Elsewhere/Lib", "Elsewhere/Lib"},
        BaseCase{"chosenLocationMissing", {"Music/iTunes"}, "Elsewhere/Lib", ""},
        BaseCase{"chosenWithInner", {"Elsewhere/Lib/iTunes"}, "Elsewhere/Lib", "Elsewhere/Lib/iTunes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ITunesLocations, ChosenLocationMayBeAFileUrl)
{
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("My Library"))));
    m_host->location = QUrl::fromLocalFile(path(QStringLiteral("My Library"))).toString();
    EXPECT_EQ(QELITunesInformation::iTunesLibraryBasePath(*m_host), path(QStringLiteral("My Library")));
}

TEST_F(ITunesLocations, WithoutAMusicFolderTheHomeMusicFolderIsTried)
{
    const QString homeLibrary = QDir::homePath() + QStringLiteral("/Music/iTunes");
    ASSERT_TRUE(QDir().mkpath(homeLibrary));
    EXPECT_EQ(QELITunesInformation::iTunesLibraryBasePath(*m_host), homeLibrary);
    QDir(homeLibrary).removeRecursively();
    EXPECT_TRUE(QELITunesInformation::iTunesLibraryBasePath(*m_host).isEmpty());
}

TEST_F(ITunesLocations, LibraryFileIsTheNewerOrTheMusicLibraryWhenEqual)
{
    m_host->music = path(QStringLiteral("Music"));
    const QString folder = path(QStringLiteral("Music/iTunes"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString library = folder + QStringLiteral("/iTunes Library.xml");
    const QString musicLibrary = folder + QStringLiteral("/iTunes Music Library.xml");
    EXPECT_TRUE(QELITunesInformation::iTunesLibraryFilePath(*m_host).isEmpty());

    const QDateTime earlier = QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC);
    const QDateTime later = earlier.addSecs(3600);
    touch(library, earlier);
    EXPECT_EQ(QELITunesInformation::iTunesLibraryFilePath(*m_host), library);

    touch(musicLibrary, earlier);
    EXPECT_EQ(QELITunesInformation::iTunesLibraryFilePath(*m_host), musicLibrary);
    touch(library, later);
    EXPECT_EQ(QELITunesInformation::iTunesLibraryFilePath(*m_host), library);
    touch(musicLibrary, later.addSecs(1));
    EXPECT_EQ(QELITunesInformation::iTunesLibraryFilePath(*m_host), musicLibrary);

    QFile::remove(library);
    EXPECT_EQ(QELITunesInformation::iTunesLibraryFilePath(*m_host), musicLibrary);
}

TEST_F(ITunesLocations, MediaFolderComesFromTheLastRecentDatabase)
{
    m_host->recent = {
        QUrl::fromLocalFile(path(QStringLiteral("First/iTunes Library.xml"))).toString(QUrl::FullyEncoded),
        QUrl::fromLocalFile(path(QStringLiteral("Second Lib/iTunes Library.xml"))).toString(),
        QStringLiteral("not a url %%"), QStringLiteral("relative/iTunes Library.xml")};
    LocationJob job;
    job.setMediaLibraryHost(m_host);
    EXPECT_EQ(job._getITunesLibraryPath(), path(QStringLiteral("Second Lib/iTunes Media")));
    EXPECT_TRUE(job._initiateITunesApplication());

    // Found once per job: later changes of the setting do not reach it.
    m_host->recent = {QUrl::fromLocalFile(path(QStringLiteral("Third/x.xml"))).toString()};
    EXPECT_EQ(job._getITunesLibraryPath(), path(QStringLiteral("Second Lib/iTunes Media")));
}

TEST_F(ITunesLocations, RecentDatabasesThatNameNoFileLeaveNoMediaFolder)
{
    m_host->recent = {QStringLiteral("not a url %%"), QString()};
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("Music/iTunes"))));
    m_host->music = path(QStringLiteral("Music"));
    LocationJob job;
    job.setMediaLibraryHost(m_host);
    EXPECT_TRUE(job._getITunesLibraryPath().isEmpty());
    EXPECT_FALSE(job._initiateITunesApplication());
}

TEST_F(ITunesLocations, WithoutRecentDatabasesTheMediaFolderIsInTheLibraryFolder)
{
    m_host->music = path(QStringLiteral("Music"));
    LocationJob job;
    job.setMediaLibraryHost(m_host);
    EXPECT_TRUE(job._getITunesLibraryPath().isEmpty());
    EXPECT_FALSE(job._initiateITunesApplication());

    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("Music/iTunes"))));
    EXPECT_EQ(job._getITunesLibraryPath(), path(QStringLiteral("Music/iTunes/iTunes Media")));
    EXPECT_TRUE(job._initiateITunesApplication());
}

TEST_F(ITunesLocations, AJobWithoutAHostUsesTheFolderHostInTheUsersMusicFolder)
{
    const QString library = QDir::homePath() + QStringLiteral("/Music/iTunes");
    ASSERT_TRUE(QDir().mkpath(library));
    LocationJob job;
    EXPECT_TRUE(job._initiateITunesApplication());
    ASSERT_TRUE(job.mediaLibraryHost());
    EXPECT_FALSE(job.mediaLibraryHost()->isRunning());
    EXPECT_EQ(job._getITunesLibraryPath(), library + QStringLiteral("/iTunes Media"));
    QDir(library).removeRecursively();
}

} // namespace
