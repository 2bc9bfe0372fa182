#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include "FolderMediaLibraryHost.h"
#include "Plist.h"
#include "TestEnvironment.h"

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

    const QStringList recent{QStringLiteral("file:///a/iTunes%20Library.xml"),
                             QStringLiteral("file:///b/x.xml")};
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kRecentDatabasesKey), recent);
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kLibraryLocationKey),
                         QStringLiteral("/srv/music"));
    EXPECT_EQ(host.recentDatabases(), recent);
    EXPECT_EQ(host.libraryLocation(), QStringLiteral("/srv/music"));
}

TEST_F(FolderHost, MusicFolderIsTheUsersOrTheGivenOne)
{
    EXPECT_EQ(FolderMediaLibraryHost().musicFolder(),
              TestEnvironment::home() + QStringLiteral("/Music"));
    EXPECT_EQ(FolderMediaLibraryHost(QStringLiteral("/tmp/x")).musicFolder(),
              QStringLiteral("/tmp/x"));
}

} // namespace

namespace {

class FolderLibrary : public FolderHost {
protected:
    QString file(const QString& relative) const
    {
        return m_music.path() + QLatin1Char('/') + relative;
    }
    bool write(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(file(relative)).path());
        QFile out(file(relative));
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    QVariantMap library() const
    {
        return Plist::readFile(file(QStringLiteral("iTunes/iTunes Library.xml"))).toMap();
    }

    QTemporaryDir m_music;
};

QStringList playlistNames(const QVariantMap& library)
{
    QStringList names;
    for (const QVariant& playlist : library.value(QStringLiteral("Playlists")).toList())
        names << playlist.toMap().value(QStringLiteral("Name")).toString();
    return names;
}

} // namespace

TEST_F(FolderLibrary, APreparedLibraryHasItsFoldersAndTheLibraryAndPodcastsPlaylists)
{
    FolderMediaLibraryHost host(m_music.path());
    EXPECT_TRUE(host.hasLibrarySource());
    ASSERT_TRUE(host.prepareLibrary());
    EXPECT_TRUE(QFileInfo(file(QStringLiteral("iTunes/iTunes Media"))).isDir());
    const QVariantMap xml = library();
    EXPECT_EQ(playlistNames(xml), (QStringList{"Library", "Podcasts"}));
    const QVariantMap master = xml.value(QStringLiteral("Playlists")).toList().value(0).toMap();
    EXPECT_TRUE(master.value(QStringLiteral("Master")).toBool());
    EXPECT_FALSE(master.value(QStringLiteral("Visible")).toBool());
    EXPECT_TRUE(xml.value(QStringLiteral("Playlists"))
                    .toList()
                    .value(1)
                    .toMap()
                    .value(QStringLiteral("Podcasts"))
                    .toBool());
    ASSERT_TRUE(host.libraryPlaylist());
    ASSERT_TRUE(host.podcastsPlaylist());
    EXPECT_NE(*host.libraryPlaylist(), *host.podcastsPlaylist());
}

TEST_F(FolderLibrary, AddedFilesAreListedWithAnEncodedLocationOnceEach)
{
    FolderMediaLibraryHost host(m_music.path());
    const QString media = QStringLiteral("iTunes/iTunes Media/Music/A & B/50% #1 ünï.mp3");
    ASSERT_TRUE(write(media, "mp3"));
    ASSERT_TRUE(host.prepareLibrary());
    const auto first = host.createUserPlaylist(QStringLiteral("One"));
    const auto second = host.createUserPlaylist(QStringLiteral("Two"));
    ASSERT_TRUE(first && second);
    const auto track = host.addFile(file(media), *first);
    ASSERT_TRUE(track);
    EXPECT_EQ(host.addFile(file(media), std::nullopt), track);
    EXPECT_TRUE(host.duplicate(*track, *second));
    EXPECT_TRUE(host.duplicate(*track, *second));
    ASSERT_TRUE(host.flush());

    const QVariantMap xml = library();
    // The newest user playlist comes first.
    EXPECT_EQ(playlistNames(xml), (QStringList{"Library", "Podcasts", "Two", "One"}));
    const QVariantMap tracks = xml.value(QStringLiteral("Tracks")).toMap();
    ASSERT_EQ(tracks.size(), 1);
    const QVariantMap entry = tracks.first().toMap();
    const QString location = entry.value(QStringLiteral("Location")).toString();
    EXPECT_FALSE(location.contains(QLatin1Char(' ')));
    EXPECT_FALSE(location.contains(QLatin1Char('#')));
    EXPECT_EQ(QUrl(location, QUrl::StrictMode).toLocalFile(), file(media));
    EXPECT_EQ(entry.value(QStringLiteral("Track Type")).toString(), QStringLiteral("File"));
    EXPECT_EQ(entry.value(QStringLiteral("Persistent ID")).toString().size(), 16);
    for (const QVariant& playlist : xml.value(QStringLiteral("Playlists")).toList()) {
        const QVariantMap p = playlist.toMap();
        const int expected = p.value(QStringLiteral("Name")) == QStringLiteral("Podcasts") ? 0 : 1;
        EXPECT_EQ(p.value(QStringLiteral("Playlist Items")).toList().size(), expected)
            << p.value(QStringLiteral("Name")).toString().toStdString();
    }
}

TEST_F(FolderLibrary, ALibraryFileThatIsNoPropertyListIsNeverOverwritten)
{
    ASSERT_TRUE(write(QStringLiteral("iTunes/iTunes Library.xml"), "<html>mine</html>"));
    FolderMediaLibraryHost host(m_music.path());
    EXPECT_FALSE(host.hasLibrarySource());
    EXPECT_FALSE(host.prepareLibrary());
    EXPECT_FALSE(host.createUserPlaylist(QStringLiteral("X")));
    EXPECT_TRUE(host.flush());
    QFile in(file(QStringLiteral("iTunes/iTunes Library.xml")));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), QByteArray("<html>mine</html>"));
}

TEST_F(FolderLibrary, TwoHostsOnOneLibraryLoseNoEntry)
{
    ASSERT_TRUE(write(QStringLiteral("iTunes/iTunes Media/a.mp3"), "a"));
    ASSERT_TRUE(write(QStringLiteral("iTunes/iTunes Media/b.mp3"), "bb"));
    FolderMediaLibraryHost one(m_music.path());
    FolderMediaLibraryHost two(m_music.path());
    ASSERT_TRUE(one.add(file(QStringLiteral("iTunes/iTunes Media/a.mp3"))));
    ASSERT_TRUE(two.add(file(QStringLiteral("iTunes/iTunes Media/b.mp3")), QStringLiteral("P")));
    ASSERT_TRUE(one.add(file(QStringLiteral("iTunes/iTunes Media/a.mp3")), QStringLiteral("P")));
    const QVariantMap xml = library();
    EXPECT_EQ(xml.value(QStringLiteral("Tracks")).toMap().size(), 2);
    for (const QVariant& playlist : xml.value(QStringLiteral("Playlists")).toList()) {
        if (playlist.toMap().value(QStringLiteral("Name")) == QStringLiteral("P")) {
            EXPECT_EQ(playlist.toMap().value(QStringLiteral("Playlist Items")).toList().size(), 2);
        }
    }
    EXPECT_EQ(playlistNames(xml).count(QStringLiteral("P")), 1);
}
