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
        settings.remove(QLatin1String(FolderMediaLibraryHost::kMusicFolderKey));
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
    // The folder chosen in the preferences wins over the desktop's; a
    // relative path names no folder.
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kMusicFolderKey),
                         QStringLiteral("/srv/songs/"));
    EXPECT_EQ(FolderMediaLibraryHost().musicFolder(), QStringLiteral("/srv/songs"));
    EXPECT_EQ(FolderMediaLibraryHost().mediaFolder(), QStringLiteral("/srv/songs"));
    EXPECT_EQ(FolderMediaLibraryHost().libraryFile(),
              QStringLiteral("/srv/songs/Orvane Library.xml"));
    QSettings().setValue(QLatin1String(FolderMediaLibraryHost::kMusicFolderKey),
                         QStringLiteral("songs"));
    EXPECT_EQ(FolderMediaLibraryHost().musicFolder(),
              TestEnvironment::home() + QStringLiteral("/Music"));
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
        return Plist::readFile(file(QStringLiteral("Orvane Library.xml"))).toMap();
    }
    QByteArray bytes(const QString& relative) const
    {
        QFile in(file(relative));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
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
    // Nothing but the index: the music folder is the user's own.
    EXPECT_EQ(
        QDir(m_music.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList{QStringLiteral("Orvane Library.xml")});
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

TEST_F(FolderLibrary, AnIndexThatIsNoPropertyListIsNeverOverwritten)
{
    for (const QByteArray& text :
         {QByteArray("<html>mine</html>"), QByteArray("<?xml"), QByteArray("bplist00\xff\xff")}) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_TRUE(write(QStringLiteral("Orvane Library.xml"), text));
        FolderMediaLibraryHost host(m_music.path());
        EXPECT_FALSE(host.hasLibrarySource());
        EXPECT_FALSE(host.prepareLibrary());
        EXPECT_FALSE(host.createUserPlaylist(QStringLiteral("X")));
        EXPECT_TRUE(host.flush());
        EXPECT_EQ(bytes(QStringLiteral("Orvane Library.xml")), text);
    }
}

TEST_F(FolderLibrary, AnUnreadableEarlierLibraryIsLeftAloneAndANewIndexBegins)
{
    ASSERT_TRUE(write(QStringLiteral("iTunes/iTunes Library.xml"), "<html>mine</html>"));
    FolderMediaLibraryHost host(m_music.path());
    EXPECT_TRUE(host.hasLibrarySource());
    ASSERT_TRUE(host.prepareLibrary());
    EXPECT_EQ(playlistNames(library()), (QStringList{"Library", "Podcasts"}));
    EXPECT_EQ(bytes(QStringLiteral("iTunes/iTunes Library.xml")), QByteArray("<html>mine</html>"));
}

TEST_F(FolderLibrary, PlaylistsAreM3u8FilesWithPathsRelativeToThem)
{
    const QStringList media{QStringLiteral("Ünï & Co/Best #1/01 Fïrst.mp3"),
                            QStringLiteral("Other/Album/02 Second.flac")};
    for (const QString& relative : media)
        ASSERT_TRUE(write(relative, "audio"));
    FolderMediaLibraryHost host(m_music.path());
    // A hostile name: a slash, a line break and dots stay inside "Playlists".
    const auto playlist = host.createUserPlaylist(QStringLiteral("../Road/Trip\n"));
    ASSERT_TRUE(playlist);
    for (const QString& relative : media) {
        const auto track = host.addFile(file(relative), *playlist);
        ASSERT_TRUE(track);
        MediaLibraryHost::TrackProperties properties;
        properties.name = QFileInfo(relative).completeBaseName().mid(3) + QStringLiteral("\nX");
        properties.artist = relative.section(QLatin1Char('/'), 0, 0);
        ASSERT_TRUE(host.setProperties(*track, properties));
    }
    ASSERT_TRUE(host.flush());

    const QDir playlists(file(QStringLiteral("Playlists")));
    const QStringList files = playlists.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(',')).toStdString();
    ASSERT_TRUE(files.first().endsWith(QLatin1String(".m3u8")));
    EXPECT_TRUE(QDir(m_music.path()).entryList({QStringLiteral("*.m3u8")}).isEmpty());
    const QStringList lines = QString::fromUtf8(bytes(QStringLiteral("Playlists/") + files.first()))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("#EXTM3U"));
    EXPECT_EQ(lines[1], QStringLiteral("#EXTINF:-1,Ünï & Co - Fïrst X"));
    EXPECT_EQ(lines[3], QStringLiteral("#EXTINF:-1,Other - Second X"));
    for (int i = 0; i < media.size(); ++i) {
        const QString line = lines[2 + 2 * i];
        EXPECT_TRUE(QDir::isRelativePath(line)) << line.toStdString();
        EXPECT_EQ(QDir::cleanPath(playlists.filePath(line)), file(media[i]));
    }

    // Only a playlist that changed is written again.
    const QString written = playlists.filePath(files.first());
    ASSERT_TRUE(QFile::remove(written));
    ASSERT_TRUE(write(QStringLiteral("Loose.mp3"), "x"));
    ASSERT_TRUE(host.addFile(file(QStringLiteral("Loose.mp3")), std::nullopt));
    ASSERT_TRUE(host.flush());
    EXPECT_FALSE(QFileInfo::exists(written));
}

TEST_F(FolderLibrary, TheIndexSurvivesARestartAndAnsersForBooks)
{
    ASSERT_TRUE(write(QStringLiteral("Books/Tale.epub"), "PK"));
    ASSERT_TRUE(write(QStringLiteral("A/B/01 Song.mp3"), "mp3"));
    {
        FolderMediaLibraryHost host(m_music.path());
        ASSERT_TRUE(host.add(file(QStringLiteral("Books/Tale.epub"))));
        ASSERT_TRUE(host.add(file(QStringLiteral("A/B/01 Song.mp3")), QStringLiteral("Mine")));
    }
    FolderMediaLibraryHost again(m_music.path());
    EXPECT_EQ(again.indexFile(), file(QStringLiteral("Orvane Library.xml")));
    EXPECT_TRUE(again.holdsBookNamed(QStringLiteral("Tale")));
    EXPECT_FALSE(again.holdsBookNamed(QStringLiteral("01 Song")));
    const auto all = again.libraryPlaylist();
    ASSERT_TRUE(all);
    EXPECT_EQ(again.tracks(*all).size(), 2);
    const auto mine = again.userPlaylistNamed(QStringLiteral("Mine"));
    ASSERT_TRUE(mine);
    ASSERT_EQ(again.tracks(*mine).size(), 1);
    EXPECT_EQ(again.tracks(*mine).first().name, QStringLiteral("01 Song"));
}

TEST_F(FolderLibrary, AnEarlierLibraryIsReadAndKeptAsItWas)
{
    const QString song = QStringLiteral("iTunes/iTunes Media/Music/Old/Album/Old Song.m4a");
    ASSERT_TRUE(write(song, "m4a"));
    const QVariantMap track{
        {QStringLiteral("Track ID"), 7},
        {QStringLiteral("Name"), QStringLiteral("Old Song")},
        {QStringLiteral("Artist"), QStringLiteral("Old")},
        {QStringLiteral("Kind"), QStringLiteral("AAC audio file")},
        {QStringLiteral("Track Type"), QStringLiteral("File")},
        {QStringLiteral("Location"), QUrl::fromLocalFile(file(song)).toString(QUrl::FullyEncoded)}};
    const QVariantList items{QVariantMap{{QStringLiteral("Track ID"), 7}}};
    const QVariantMap old{
        {QStringLiteral("Major Version"), 1},
        {QStringLiteral("Tracks"), QVariantMap{{QStringLiteral("7"), track}}},
        {QStringLiteral("Playlists"),
         QVariantList{QVariantMap{{QStringLiteral("Name"), QStringLiteral("Library")},
                                  {QStringLiteral("Master"), true},
                                  {QStringLiteral("Playlist ID"), 1},
                                  {QStringLiteral("Playlist Items"), items}},
                      QVariantMap{{QStringLiteral("Name"), QStringLiteral("Kept")},
                                  {QStringLiteral("Playlist ID"), 2},
                                  {QStringLiteral("Playlist Items"), items}}}}};
    ASSERT_TRUE(Plist::writeFile(file(QStringLiteral("iTunes/iTunes Library.xml")), old));
    const QByteArray before = bytes(QStringLiteral("iTunes/iTunes Library.xml"));

    FolderMediaLibraryHost host(m_music.path());
    EXPECT_EQ(host.indexFile(), file(QStringLiteral("iTunes/iTunes Library.xml")));
    const auto all = host.libraryPlaylist();
    ASSERT_TRUE(all);
    ASSERT_EQ(host.tracks(*all).size(), 1);
    EXPECT_EQ(host.tracks(*all).first().artist, QStringLiteral("Old"));
    ASSERT_TRUE(write(QStringLiteral("New/Album/01 New.mp3"), "mp3"));
    ASSERT_TRUE(host.add(file(QStringLiteral("New/Album/01 New.mp3")), QStringLiteral("Kept")));

    EXPECT_EQ(bytes(QStringLiteral("iTunes/iTunes Library.xml")), before);
    EXPECT_EQ(host.indexFile(), file(QStringLiteral("Orvane Library.xml")));
    EXPECT_EQ(library().value(QStringLiteral("Tracks")).toMap().size(), 2);
    const QStringList lines = QString::fromUtf8(bytes(QStringLiteral("Playlists/Kept.m3u8")))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(QDir::cleanPath(file(QStringLiteral("Playlists/")) + lines[2]), file(song));
    EXPECT_EQ(QDir::cleanPath(file(QStringLiteral("Playlists/")) + lines[4]),
              file(QStringLiteral("New/Album/01 New.mp3")));
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
