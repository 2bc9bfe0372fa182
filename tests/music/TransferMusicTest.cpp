// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer of tracks into the computer's music library (the folder host)
// and the back-up of the device library into it: the Part's cases as a table,
// a back-up checked end to end through the index and libplist, cancel and a
// track that has gone.
#include <functional>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include "AudioFixture.h"
#include "FolderMediaLibraryHost.h"
#include "MediaLibraryFixture.h"
#include "MusicLibraryHostServices.h"
#include "MusicTestDevice.h"
#include "Plist.h"
#include "QELDeviceMediaLibrary.h"
#include "QELITunesLibrary.h"
#include "QELTagLib.h"
#include "QELTransferMusic.h"
#include "QELTransferMusicItemDetail.h"
#include "RecordingCopyDelegate.h"
#include "SafePath.h"
#include "TagTestSupport.h"
#include "WaitUntil.h"

namespace {

const QString kMp3 = QStringLiteral("/iTunes_Control/Music/F00/SONG.mp3");
const QString kM4a = QStringLiteral("/iTunes_Control/Music/F00/SONG.m4a");

// The items hold their tracks weakly, as the view's store does: the tests
// keep every track they queue alive here.
QList<TrackDetailPtr>& keptTracks()
{
    static QList<TrackDetailPtr> kept;
    return kept;
}

QVariant item(const TrackDetailPtr& track, const QString& playlist = QString())
{
    keptTracks().append(track);
    QELTransferMusicItemDetail detail(track);
    detail.playlistName = playlist;
    return QVariant::fromValue(detail);
}

QVariantMap libraryOf(const FolderMediaLibraryHost& host)
{
    return Plist::readFile(host.libraryFile()).toMap();
}

QVariantMap trackNamed(const QVariantMap& library, const QString& name)
{
    const QVariantMap tracks = library.value(QStringLiteral("Tracks")).toMap();
    for (const QVariant& track : tracks)
        if (track.toMap().value(QStringLiteral("Name")).toString() == name)
            return track.toMap();
    return {};
}

QVariantMap playlistNamed(const QVariantMap& library, const QString& name)
{
    for (const QVariant& playlist : library.value(QStringLiteral("Playlists")).toList())
        if (playlist.toMap().value(QStringLiteral("Name")).toString() == name)
            return playlist.toMap();
    return {};
}

QList<qint64> itemsOf(const QVariantMap& playlist)
{
    QList<qint64> ids;
    for (const QVariant& item : playlist.value(QStringLiteral("Playlist Items")).toList())
        ids << item.toMap().value(QStringLiteral("Track ID")).toLongLong();
    return ids;
}

QString localPathOf(const QVariantMap& track)
{
    return QUrl(track.value(QStringLiteral("Location")).toString()).toLocalFile();
}

class TransferMusicTest : public ::testing::Test {
public:
    void TearDown() override { keptTracks().clear(); }
    void SetUp() override
    {
        ASSERT_TRUE(m_device.connect());
        ASSERT_TRUE(m_device.putFile(kMp3.mid(1), AudioFixture::silentMp3()));
        ASSERT_TRUE(m_device.putFile(kM4a.mid(1), AudioFixture::minimalM4a()));
        ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/c.png"),
                                     TagTest::imageBytes("PNG", Qt::green)));
        m_music = m_device.scratch(QStringLiteral("Music"));
        makeHost();
    }

    void makeHost()
    {
        FolderMediaLibraryHost::Services services = musicLibraryHostServices();
        services.openFolder = [this](const QString& folder) {
            m_revealed << folder;
            return true;
        };
        m_host = std::make_shared<FolderMediaLibraryHost>(m_music, services);
    }

    QString media() const { return m_music; }
    // The files of the music folder but the program's index and playlists
    // and the earlier library a case prepared.
    QStringList tracksBelow() const
    {
        QStringList files = filesBelow(media());
        files.removeIf([](const QString& f) {
            return f == QLatin1String("Orvane Library.xml")
                || f.startsWith(QLatin1String("Playlists/"))
                || f == QLatin1String("iTunes/iTunes Library.xml");
        });
        return files;
    }

    // A library as another program left it, before the host reads it.
    void prepareLibrary(const QVariantMap& library)
    {
        QDir().mkpath(m_music + QStringLiteral("/iTunes"));
        ASSERT_TRUE(
            Plist::writeFile(m_music + QStringLiteral("/iTunes/iTunes Library.xml"), library));
    }

    bool run(const QVariantList& items)
    {
        m_job = std::make_unique<QELTransferMusic>();
        m_delegate = std::make_unique<RecordingCopyDelegate>();
        m_job->setDelegate(m_delegate.get());
        m_job->setDeviceInteface(&m_device.device());
        m_job->setMediaLibraryHost(m_host);
        m_job->setItemQueue(items);
        m_job->startCopy();
        return m_delegate->waitForAllItemsCopied();
    }

    MusicTestDevice m_device;
    QString m_music;
    QStringList m_revealed;
    std::shared_ptr<FolderMediaLibraryHost> m_host;
    std::unique_ptr<QELTransferMusic> m_job;
    std::unique_ptr<RecordingCopyDelegate> m_delegate;
};

TrackDetailPtr song(const QString& id, const QString& title, const QString& path = kMp3)
{
    auto track = makeTrack(id, title, QStringLiteral("Band"), QStringLiteral("Record"), 1, path);
    track->genre = QStringLiteral("Rock");
    return track;
}

} // namespace

TEST_F(TransferMusicTest, ThePartsCasesAsATable)
{
    struct Case {
        const char* name;
        std::function<void(TransferMusicTest&)> prepare;
        std::function<QVariantList()> items;
        std::function<void(TransferMusicTest&, const QVariantMap& library)> check;
    };
    const std::vector<Case> cases = {
        {"a podcast goes into the podcasts playlist, filed under Podcasts",
         {},
         [] {
             auto t = song(QStringLiteral("1"), QStringLiteral("Episode 1"));
             t->isPodcast = true;
             t->album = QStringLiteral("The Show");
             t->descriptionLong = QStringLiteral("Long words");
             return QVariantList{item(t, QStringLiteral("Ignored"))};
         },
         [](TransferMusicTest& test, const QVariantMap& library) {
             const QVariantMap track = trackNamed(library, QStringLiteral("Episode 1"));
             EXPECT_EQ(track.value(QStringLiteral("Genre")).toString(), QStringLiteral("Podcast"));
             EXPECT_EQ(track.value(QStringLiteral("Series")).toString(),
                       QStringLiteral("The Show"));
             EXPECT_EQ(track.value(QStringLiteral("Long Description")).toString(),
                       QStringLiteral("Long words"));
             EXPECT_EQ(localPathOf(track),
                       test.media() + QStringLiteral("/Podcasts/Band/The Show/01 Episode 1.mp3"));
             EXPECT_EQ(itemsOf(playlistNamed(library, QStringLiteral("Podcasts"))),
                       QList<qint64>{track.value(QStringLiteral("Track ID")).toLongLong()});
             EXPECT_TRUE(playlistNamed(library, QStringLiteral("Ignored")).isEmpty());
         }},
        {"a new playlist is made once, first of the user playlists, and reused",
         [](TransferMusicTest& test) {
             test.prepareLibrary(QVariantMap{
                 {QStringLiteral("Tracks"), QVariantMap()},
                 {QStringLiteral("Playlists"),
                  QVariantList{QVariantMap{{QStringLiteral("Name"), QStringLiteral("Library")},
                                           {QStringLiteral("Master"), true},
                                           {QStringLiteral("Playlist ID"), 1}},
                               QVariantMap{{QStringLiteral("Name"), QStringLiteral("Older")},
                                           {QStringLiteral("Playlist ID"), 2}}}}});
         },
         [] {
             return QVariantList{
                 item(song(QStringLiteral("1"), QStringLiteral("A")), QStringLiteral("Trip")),
                 item(song(QStringLiteral("2"), QStringLiteral("B"), kM4a),
                      QStringLiteral("Trip"))};
         },
         [](TransferMusicTest&, const QVariantMap& library) {
             QStringList names;
             for (const QVariant& p : library.value(QStringLiteral("Playlists")).toList())
                 names << p.toMap().value(QStringLiteral("Name")).toString();
             EXPECT_EQ(names, (QStringList{"Library", "Podcasts", "Trip", "Older"}));
             EXPECT_EQ(itemsOf(playlistNamed(library, QStringLiteral("Trip"))).size(), 2);
             EXPECT_EQ(itemsOf(playlistNamed(library, QStringLiteral("Library"))).size(), 2);
         }},
        {"a smart playlist's name puts the track into the library only",
         [](TransferMusicTest& test) {
             test.prepareLibrary(QVariantMap{
                 {QStringLiteral("Tracks"), QVariantMap()},
                 {QStringLiteral("Playlists"),
                  QVariantList{QVariantMap{{QStringLiteral("Name"), QStringLiteral("Library")},
                                           {QStringLiteral("Master"), true},
                                           {QStringLiteral("Playlist ID"), 1}},
                               QVariantMap{{QStringLiteral("Name"), QStringLiteral("Clever")},
                                           {QStringLiteral("Playlist ID"), 2},
                                           {QStringLiteral("Smart Info"), QByteArray("x")}}}}});
         },
         [] {
             return QVariantList{
                 item(song(QStringLiteral("1"), QStringLiteral("A")), QStringLiteral("Clever"))};
         },
         [](TransferMusicTest&, const QVariantMap& library) {
             EXPECT_TRUE(itemsOf(playlistNamed(library, QStringLiteral("Clever"))).isEmpty());
             EXPECT_EQ(itemsOf(playlistNamed(library, QStringLiteral("Library"))).size(), 1);
         }},
        {"a library track is put into the playlist, no file copied",
         [](TransferMusicTest& test) {
             const QString existing = test.media() + QStringLiteral("/Band/Record/01 A.mp3");
             QDir().mkpath(QFileInfo(existing).path());
             AudioFixture::writeFile(existing, "already");
             test.prepareLibrary(QVariantMap{
                 {QStringLiteral("Tracks"),
                  QVariantMap{{QStringLiteral("7"),
                               QVariantMap{{QStringLiteral("Track ID"), 7},
                                           {QStringLiteral("Name"), QStringLiteral("A")},
                                           {QStringLiteral("Artist"), QStringLiteral("Band")},
                                           {QStringLiteral("Album"), QStringLiteral("Record")},
                                           {QStringLiteral("Track Number"), 1},
                                           {QStringLiteral("Track Type"), QStringLiteral("File")},
                                           {QStringLiteral("Location"),
                                            QUrl::fromLocalFile(existing).toString()}}}}},
                 {QStringLiteral("Playlists"),
                  QVariantList{
                      QVariantMap{{QStringLiteral("Name"), QStringLiteral("Library")},
                                  {QStringLiteral("Master"), true},
                                  {QStringLiteral("Playlist ID"), 1},
                                  {QStringLiteral("Playlist Items"),
                                   QVariantList{QVariantMap{{QStringLiteral("Track ID"), 7}}}}}}}});
         },
         [] {
             return QVariantList{
                 item(song(QStringLiteral("1"), QStringLiteral("A")), QStringLiteral("Mix"))};
         },
         [](TransferMusicTest& test, const QVariantMap& library) {
             EXPECT_EQ(library.value(QStringLiteral("Tracks")).toMap().size(), 1);
             EXPECT_EQ(itemsOf(playlistNamed(library, QStringLiteral("Mix"))), QList<qint64>{7});
             EXPECT_EQ(test.tracksBelow(), QStringList{"Band/Record/01 A.mp3"});
         }},
        {"a remote track of the same name is no match: the file is copied",
         [](TransferMusicTest& test) {
             test.prepareLibrary(QVariantMap{
                 {QStringLiteral("Tracks"),
                  QVariantMap{
                      {QStringLiteral("3"),
                       QVariantMap{{QStringLiteral("Track ID"), 3},
                                   {QStringLiteral("Name"), QStringLiteral("A")},
                                   {QStringLiteral("Artist"), QStringLiteral("Band")},
                                   {QStringLiteral("Album"), QStringLiteral("Record")},
                                   {QStringLiteral("Track Number"), 1},
                                   {QStringLiteral("Track Type"), QStringLiteral("Remote")}}}}},
                 {QStringLiteral("Playlists"),
                  QVariantList{
                      QVariantMap{{QStringLiteral("Name"), QStringLiteral("Library")},
                                  {QStringLiteral("Master"), true},
                                  {QStringLiteral("Playlist ID"), 1},
                                  {QStringLiteral("Playlist Items"),
                                   QVariantList{QVariantMap{{QStringLiteral("Track ID"), 3}}}}}}}});
         },
         [] { return QVariantList{item(song(QStringLiteral("1"), QStringLiteral("A")))}; },
         [](TransferMusicTest& test, const QVariantMap& library) {
             EXPECT_EQ(library.value(QStringLiteral("Tracks")).toMap().size(), 2);
             EXPECT_EQ(test.tracksBelow(), QStringList{"Band/Record/01 A.mp3"});
         }},
        {"the cover on the device goes into the added file",
         {},
         [] {
             auto t = song(QStringLiteral("1"), QStringLiteral("Covered"), kM4a);
             t->artworkPath = QStringLiteral("/iTunes_Control/Artwork/c.png");
             return QVariantList{item(t)};
         },
         [](TransferMusicTest&, const QVariantMap& library) {
             const QVariantMap track = trackNamed(library, QStringLiteral("Covered"));
             EXPECT_EQ(track.value(QStringLiteral("Artwork Count")).toLongLong(), 1);
             const QELTagMap tags = QELTagLib().loadTagsFromFileAtPath(localPathOf(track));
             EXPECT_EQ(tags.ArtworkState(), QELTagMap::kArtworkEmbedded);
             EXPECT_EQ(tags.Artwork().pixelColor(0, 0), QColor(Qt::green));
         }},
        {"a ringtone is stored as .m4r",
         {},
         [] {
             auto t = song(QStringLiteral("1"), QStringLiteral("Ring"), kM4a);
             t->isRingtone = true;
             return QVariantList{item(t)};
         },
         [](TransferMusicTest& test, const QVariantMap& library) {
             EXPECT_EQ(localPathOf(trackNamed(library, QStringLiteral("Ring"))),
                       test.media() + QStringLiteral("/Ringtones/Band/Record/01 Ring.m4r"));
         }},
        {"video kinds: a music video and a TV episode",
         {},
         [] {
             auto clip = song(QStringLiteral("1"), QStringLiteral("Clip"), kM4a);
             clip->hasVideo = true;
             clip->mediaKind = 32;
             auto episode = song(QStringLiteral("2"), QStringLiteral("Pilot"), kM4a);
             episode->hasVideo = true;
             episode->isTVShow = true;
             episode->mediaKind = 64;
             episode->trackNumber = 4;
             episode->seasonNumber = 2;
             episode->bitRate = 256;
             return QVariantList{item(clip), item(episode)};
         },
         [](TransferMusicTest& test, const QVariantMap& library) {
             const QVariantMap clip = trackNamed(library, QStringLiteral("Clip"));
             EXPECT_TRUE(clip.value(QStringLiteral("Music Video")).toBool());
             EXPECT_TRUE(localPathOf(clip).startsWith(test.media() + QStringLiteral("/Videos/")));
             const QVariantMap episode = trackNamed(library, QStringLiteral("Pilot"));
             EXPECT_TRUE(episode.value(QStringLiteral("TV Show")).toBool());
             EXPECT_EQ(episode.value(QStringLiteral("Series")).toString(), QStringLiteral("Band"));
             EXPECT_EQ(episode.value(QStringLiteral("Episode Order")).toLongLong(), 4);
             EXPECT_EQ(episode.value(QStringLiteral("Season")).toLongLong(), 2);
             // A bit rate is no tempo.
             EXPECT_FALSE(episode.contains(QStringLiteral("BPM")));
             EXPECT_TRUE(
                 localPathOf(episode).startsWith(test.media() + QStringLiteral("/TV Shows/")));
         }},
        {"a stranger's file of the same name and another size is left alone",
         [](TransferMusicTest& test) {
             const QString stranger = test.media() + QStringLiteral("/Band/Record/01 A.mp3");
             QDir().mkpath(QFileInfo(stranger).path());
             AudioFixture::writeFile(stranger, "not this track");
         },
         [] { return QVariantList{item(song(QStringLiteral("1"), QStringLiteral("A")))}; },
         [](TransferMusicTest& test, const QVariantMap& library) {
             EXPECT_EQ(readLocal(test.media() + QStringLiteral("/Band/Record/01 A.mp3")),
                       QByteArray("not this track"));
             EXPECT_EQ(localPathOf(trackNamed(library, QStringLiteral("A"))),
                       test.media() + QStringLiteral("/Band/Record/01 A (1).mp3"));
         }},
        {"hostile names stay inside the media folder",
         {},
         [] {
             auto t = makeTrack(QStringLiteral("5"), QStringLiteral("../../x"),
                                QStringLiteral("Up/Down"), QStringLiteral(".."), 1, kMp3);
             auto u = makeTrack(QStringLiteral("6"), QString(), QStringLiteral("/etc"),
                                QStringLiteral("a") + QChar(0x7), 2, kMp3);
             return QVariantList{item(t), item(u)};
         },
         [](TransferMusicTest& test, const QVariantMap& library) {
             const QVariantMap tracks = library.value(QStringLiteral("Tracks")).toMap();
             EXPECT_EQ(tracks.size(), 2);
             for (const QVariant& track : tracks)
                 EXPECT_TRUE(SafePath::isInside(test.media(), localPathOf(track.toMap())))
                     << localPathOf(track.toMap()).toStdString();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_music).removeRecursively();
        QDir().mkpath(m_music);
        makeHost();
        if (c.prepare)
            c.prepare(*this);
        ASSERT_TRUE(run(c.items()));
        for (const auto& end : m_delegate->ends())
            EXPECT_TRUE(end.statusOK) << end.itemDescription.toStdString();
        EXPECT_EQ(m_delegate->copyTypes(), std::vector<int>{1});
        QString error;
        const QVariant library = Plist::readFile(m_host->libraryFile(), &error);
        ASSERT_EQ(library.typeId(), QMetaType::QVariantMap) << error.toStdString();
        c.check(*this, library.toMap());
    }
}

TEST_F(TransferMusicTest, RevealsTheLibraryOnlyWhenTheLastItemSucceeds)
{
    ASSERT_TRUE(run({item(song(QStringLiteral("1"), QStringLiteral("A")))}));
    EXPECT_EQ(m_revealed, QStringList{media()});
    m_revealed.clear();
    ASSERT_TRUE(run({item(song(QStringLiteral("2"), QStringLiteral("B"))),
                     item(song(QStringLiteral("3"), QStringLiteral("Gone"),
                               QStringLiteral("/iTunes_Control/Music/F00/NONE.mp3")))}));
    EXPECT_TRUE(m_revealed.isEmpty());
    EXPECT_EQ(m_job->failedItemCount(), 1u);
}

TEST_F(TransferMusicTest, ATrackThatHasGoneFailsItsItemAndTheRunGoesOn)
{
    auto gone = song(QStringLiteral("1"), QStringLiteral("Gone"));
    QELTransferMusicItemDetail goneItem(gone);
    QVariantList items{QVariant::fromValue(goneItem),
                       item(song(QStringLiteral("2"), QStringLiteral("Kept")))};
    gone.reset();
    ASSERT_TRUE(run(items));
    EXPECT_EQ(m_delegate->order(),
              (QStringList{"begin ", "end ", "begin Kept", "end Kept", "all done"}));
    const auto ends = m_delegate->ends();
    EXPECT_FALSE(ends[0].statusOK);
    EXPECT_TRUE(ends[1].statusOK);
}

TEST_F(TransferMusicTest, CancelStopsTheRunAndTheLibraryListsEveryFileAdded)
{
    const QByteArray big(9 * 1024 * 1024, 'x');
    QVariantList items;
    for (int i = 1; i <= 3; ++i) {
        const QString path = QStringLiteral("/iTunes_Control/Music/F00/B%1.mp3").arg(i);
        ASSERT_TRUE(m_device.putFile(path.mid(1), big));
        items << item(song(QString::number(i), QStringLiteral("B%1").arg(i), path));
    }
    m_device.setOnCommunicating([this](const QString& devicePath) {
        if (devicePath.endsWith(QLatin1String("B2.mp3")))
            m_job->cancelCopy();
    });
    ASSERT_TRUE(run(items));
    EXPECT_EQ(m_delegate->order(),
              (QStringList{"begin B1", "end B1", "begin B2", "end B2", "all done"}));
    const QVariantMap library = libraryOf(*m_host);
    EXPECT_EQ(library.value(QStringLiteral("Tracks")).toMap().size(), 1);
    EXPECT_EQ(tracksBelow(), QStringList{"Band/Record/01 B1.mp3"});
}

TEST_F(TransferMusicTest, ABackUpGivesTheLayoutWithEveryTrackOncePerPlaylistInDeviceOrder)
{
    // The device's media database: a playlist in device order, a second one
    // sharing a track, a genius list and an iCloud-only track.
    MediaLibraryFixture fixture;
    for (int i = 0; i < 4; ++i) {
        MediaLibraryFixture::Item entry;
        entry.pid = 100 + i;
        entry.title = QStringLiteral("T%1").arg(i);
        entry.artist = QStringLiteral("Band");
        entry.album = QStringLiteral("Record");
        entry.trackNumber = i + 1;
        entry.location = i == 3 ? QString()
            : i % 2             ? QStringLiteral("SONG.m4a")
                                : QStringLiteral("SONG.mp3");
        fixture.items << entry;
    }
    MediaLibraryFixture::Container road;
    road.pid = 900;
    road.name = QStringLiteral("Road & <Trip>");
    road.items = {102, 100, 101};
    MediaLibraryFixture::Container second;
    second.pid = 901;
    second.name = QStringLiteral("Second");
    second.items = {101};
    MediaLibraryFixture::Container genius;
    genius.pid = 902;
    genius.name = QStringLiteral("Genius");
    genius.items = {100};
    genius.genius = true;
    fixture.containers = {road, second, genius};
    const QString folder = m_device.scratch(QStringLiteral("store"));
    QString error;
    ASSERT_TRUE(fixture.write(folder + QStringLiteral("/MediaLibrary.sqlitedb"), &error))
        << error.toStdString();
    QELDeviceMediaLibrary library(folder);
    ASSERT_TRUE(library.readMediaLibrary());

    const QVariantList items = QELTransferMusic::itemsForBackUp(library, false);
    QStringList queued;
    for (const QVariant& v : items) {
        const auto detail = v.value<QELTransferMusicItemDetail>();
        queued << detail.trackDetail.lock()->trackName + QLatin1Char('@') + detail.playlistName;
    }
    // Playlist by playlist, in the order the store lists them (the reader's
    // library-kind list first, with no playlist name); the device's order
    // within a playlist that keeps it; no genius list, no iCloud-only track.
    EXPECT_EQ(queued,
              (QStringList{"T0@", "T1@", "T2@", "T2@Road & <Trip>", "T0@Road & <Trip>",
                           "T1@Road & <Trip>", "T1@Second"}));

    ASSERT_TRUE(run(items));
    for (const auto& end : m_delegate->ends())
        EXPECT_TRUE(end.statusOK) << end.itemDescription.toStdString();

    // The real layout; each track once in the library and once per playlist it is in.
    EXPECT_EQ(
        tracksBelow(),
        (QStringList{"Band/Record/01 T0.mp3", "Band/Record/02 T1.m4a", "Band/Record/03 T2.mp3"}));
    const QVariantMap xml = Plist::readFile(m_host->libraryFile(), &error).toMap();
    ASSERT_FALSE(xml.isEmpty()) << error.toStdString();
    const QVariantMap entries = xml.value(QStringLiteral("Tracks")).toMap();
    ASSERT_EQ(entries.size(), 3);
    auto idOf = [&](const QString& name) {
        return trackNamed(xml, name).value(QStringLiteral("Track ID")).toLongLong();
    };
    EXPECT_EQ(itemsOf(playlistNamed(xml, QStringLiteral("Road & <Trip>"))),
              (QList<qint64>{idOf("T2"), idOf("T0"), idOf("T1")}));
    EXPECT_EQ(itemsOf(playlistNamed(xml, QStringLiteral("Second"))), QList<qint64>{idOf("T1")});
    EXPECT_EQ(itemsOf(playlistNamed(xml, QStringLiteral("Library"))).size(), 3);
    const QVariantMap t0 = trackNamed(xml, QStringLiteral("T0"));
    EXPECT_EQ(t0.value(QStringLiteral("Persistent ID")).toString().size(), 16);
    EXPECT_EQ(t0.value(QStringLiteral("Track Type")).toString(), QStringLiteral("File"));
    EXPECT_TRUE(t0.value(QStringLiteral("Date Added")).toDateTime().isValid());

    // Each playlist is an .m3u8 file a player opens: its paths, relative to
    // it, name the transferred files in the device's order.
    QFile m3u(media() + QStringLiteral("/Playlists/Road & <Trip>.m3u8"));
    ASSERT_TRUE(m3u.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(m3u.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("#EXTM3U"));
    EXPECT_EQ(lines[1], QStringLiteral("#EXTINF:-1,Band - T2"));
    const QStringList expected{"Band/Record/03 T2.mp3", "Band/Record/01 T0.mp3",
                               "Band/Record/02 T1.m4a"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[2 + 2 * i].startsWith(QLatin1String("../"))) << i;
        EXPECT_EQ(QDir::cleanPath(media() + QStringLiteral("/Playlists/") + lines[2 + 2 * i]),
                  media() + QLatin1Char('/') + expected[i]);
    }

    // The index, read by a host made afresh as after a restart, answers the
    // not-in-library report: every added track answers 1.
    QELITunesLibrary index(std::make_shared<FolderMediaLibraryHost>(m_music));
    struct Done : QELITunesLibraryDelegate {
        void OnITunesLibraryLoadCompleteWithArguments(
            const QELITunesLibraryReadCompleteArguments& a) override
        {
            success = a.success();
            done = true;
        }
        std::atomic<bool> done{false};
        std::atomic<bool> success{false};
    } done;
    index.setDelegate(&done);
    index.startReadingITunesLibrary();
    ASSERT_TRUE(waitUntil([&] { return done.done.load(); }));
    EXPECT_TRUE(done.success);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(
            index.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
                QStringLiteral("T%1").arg(i), QStringLiteral("Band"), QStringLiteral("Record")),
            1);
    index.stop();

    // Again: nothing is copied twice and nothing is added twice.
    ASSERT_TRUE(run(items));
    EXPECT_EQ(libraryOf(*m_host).value(QStringLiteral("Tracks")).toMap().size(), 3);
    EXPECT_EQ(tracksBelow().size(), 3);
}

// Every kind the writers know goes into the library with its album artist
// and the cover in its own tag, its framing whole (checked without TagLib);
// a file whose bytes are not what its name says goes in untouched.
TEST_F(TransferMusicTest, EveryAudioKindKeepsItsFramingAndCarriesItsCover)
{
    const struct {
        const char* file;
        QByteArray bytes;
    } kinds[] = {
        {"K1.mp3", AudioFixture::silentMp3()},    {"K2.m4a", AudioFixture::minimalM4a()},
        {"K3.wav", AudioFixture::silentWav()},    {"K4.aiff", AudioFixture::silentAiff()},
        {"K5.flac", AudioFixture::silentFlac()},  {"K6.ogg", AudioFixture::minimalOggVorbis()},
        {"K7.mp3", AudioFixture::silentWav(400)}, // a WAV named as an MP3
    };
    QVariantList items;
    int number = 0;
    for (const auto& kind : kinds) {
        const QString path =
            QStringLiteral("/iTunes_Control/Music/F02/%1").arg(QLatin1String(kind.file));
        ASSERT_TRUE(m_device.putFile(path.mid(1), kind.bytes));
        ++number;
        auto track =
            song(QString::number(700 + number), QStringLiteral("Kind %1").arg(number), path);
        track->artworkPath = QStringLiteral("/iTunes_Control/Artwork/c.png");
        items << item(track);
    }
    ASSERT_TRUE(run(items));
    for (const auto& end : m_delegate->ends())
        EXPECT_TRUE(end.statusOK) << end.itemDescription.toStdString();
    const QVariantMap library = libraryOf(*m_host);
    for (int i = 1; i <= number; ++i) {
        SCOPED_TRACE(i);
        const QString file = localPathOf(trackNamed(library, QStringLiteral("Kind %1").arg(i)));
        ASSERT_FALSE(file.isEmpty());
        const QByteArray bytes = TagTest::fileBytes(file);
        if (i == number) {
            EXPECT_EQ(bytes, kinds[i - 1].bytes);
            continue;
        }
        EXPECT_EQ(AudioFixture::containerProblem(bytes), QString());
        const QELTagMap tags = QELTagLib().loadTagsFromFileAtPath(file);
        // An MP3 without a tag gets no album artist (its tags stay as they
        // were), but it does get its cover.
        if (i != 1) {
            EXPECT_EQ(tags.AlbumArtist(), QStringLiteral("Band"));
        }
        EXPECT_EQ(tags.ArtworkState(), QELTagMap::kArtworkEmbedded);
        EXPECT_EQ(tags.Artwork().pixelColor(0, 0), QColor(Qt::green));
    }
}
