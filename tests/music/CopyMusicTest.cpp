// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of tracks into a folder: names from the Copy-to-Mac preferences,
// hostile tags kept inside the folder, the overwrite rule, tags and covers
// written into untitled copies, the playlist file, failures and cancel.
#include <algorithm>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include "AudioFixture.h"
#include "MusicTestDevice.h"
#include "Plist.h"
#include "QELCopyMusic.h"
#include "QELDeviceInterface.h"
#include "QELPreferences.h"
#include "QELTagLib.h"
#include "RecordingCopyDelegate.h"
#include "SafePath.h"
#include "SimulatedDeviceBuilder.h"
#include "TagTestSupport.h"

namespace {

using Layout = QELCopyMusic::CopyLayout;

QVariantList queueOf(const QList<TrackDetailPtr>& tracks)
{
    QVariantList items;
    for (const TrackDetailPtr& track : tracks)
        items.append(QVariant::fromValue(track));
    return items;
}

Layout layout(std::array<int, 3> levels, std::array<int, 3> segments)
{
    Layout l;
    l.folderLevels = levels;
    l.fileNameSegments = segments;
    return l;
}

// A file built by TagLib's writers, as the device holds it.
QByteArray taggedMp3(const QString& title)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.mp3"));
    TagTest::makeMp3(path, [&](TagLib::ID3v2::Tag& tag) { tag.setTitle(TagTest::unicode(title)); });
    return TagTest::fileBytes(path);
}

QStringList temporariesBelow(const QString& root)
{
    QStringList found;
    for (const QString& file : filesBelow(root))
        if (QFileInfo(file).fileName().startsWith(QLatin1String(".orvane-")))
            found << file;
    return found;
}

class CopyMusicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_device.connect());
        m_base = m_device.scratch(QStringLiteral("Copied"));
        m_job.setDelegate(&m_delegate);
        m_job.setDeviceInteface(&m_device.device());
        m_job.setBaseCopyPath(m_base);
    }

    bool run(const QList<TrackDetailPtr>& tracks, const QString& playlist = QString())
    {
        m_job.setPlaylistName(playlist);
        m_job.setItemQueue(queueOf(tracks));
        m_job.startCopy();
        return m_delegate.waitForAllItemsCopied();
    }

    MusicTestDevice m_device{[](SimulatedDeviceBuilder& builder) {
        builder.readError(QStringLiteral("/iTunes_Control/Music/F00/BROKEN.mp3"), 600);
    }};
    QString m_base;
    RecordingCopyDelegate m_delegate;
    QELCopyMusic m_job;
};

} // namespace

TEST(CopyMusicNames, PreferenceCodesGiveTheRelativePath)
{
    auto song =
        makeTrack(QStringLiteral("123"), QStringLiteral("Song"), QStringLiteral("A"),
                  QStringLiteral("B"), 3, QStringLiteral("/iTunes_Control/Music/F00/X.m4a"));
    song->genre = QStringLiteral("Rock");
    song->trackCount = 12;
    song->discNumber = 1;
    TrackDetail noNumber = *song;
    noNumber.trackNumber.reset();
    TrackDetail emptyTitle = *song;
    emptyTitle.trackName = QStringLiteral("");
    TrackDetail albumArtist = *song;
    albumArtist.album_artist = QStringLiteral("Various");
    TrackDetail emptyAlbum = *song;
    emptyAlbum.album = QStringLiteral("");
    TrackDetail noExtension = *song;
    noExtension.path = QStringLiteral("/iTunes_Control/Music/F00/X");

    const struct {
        const char* name;
        TrackDetail track;
        Layout layout;
        QString expected;
    } cases[] = {
        {"defaults", *song, Layout{}, QStringLiteral("A/B/3-Song.m4a")},
        {"absent number skipped without separator", noNumber, Layout{},
         QStringLiteral("A/B/Song.m4a")},
        {"empty title", emptyTitle, Layout{}, QStringLiteral("A/B/3-.m4a")},
        {"all segments 0: the persistent ID", *song, layout({1, 2, 0}, {0, 0, 0}),
         QStringLiteral("A/B/123.m4a")},
        {"album artist names the folder", albumArtist, Layout{},
         QStringLiteral("Various/B/3-Song.m4a")},
        {"empty album adds no level", emptyAlbum, Layout{}, QStringLiteral("A/3-Song.m4a")},
        {"genre level and several segments", *song, layout({3, 0, 0}, {3, 1, 2}),
         QStringLiteral("Rock/1-3-12.m4a")},
        {"text segments", *song, layout({0, 0, 0}, {6, 7, 8}), QStringLiteral("A-B-Rock.m4a")},
        {"unknown codes name nothing", *song, layout({9, -1, 4}, {5, 42, 0}),
         QStringLiteral("Song.m4a")},
        {"no extension", noExtension, Layout{}, QStringLiteral("A/B/3-Song")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QELCopyMusic::relativePathForTrack(c.track, c.layout), c.expected);
    }
}

TEST(CopyMusicNames, HostileTagsStayInsideTheFolder)
{
    const QString control = QStringLiteral("a") + QChar(0x1) + QChar(0x1b) + QStringLiteral("\nb");
    const QString longText(300, QChar(0x00e9));
    const struct {
        const char* name;
        QString text;
    } hostile[] = {
        {"slash", QStringLiteral("Up/Down")},
        {"dot dot", QStringLiteral("..")},
        {"climbing", QStringLiteral("../../x")},
        {"absolute", QStringLiteral("/etc/passwd")},
        {"control characters", control},
        {"300 characters", longText},
        {"empty", QStringLiteral("")},
        {"non-ASCII", QString::fromUtf8("Björk – 東京 🎵")},
        {"windows names", QStringLiteral("a:b*c?\"<>|\\d")},
    };
    for (const auto& h : hostile) {
        SCOPED_TRACE(h.name);
        for (const Layout& l :
             {Layout{}, layout({1, 2, 3}, {5, 6, 7}), layout({0, 0, 0}, {5, 0, 0})}) {
            auto track = makeTrack(QStringLiteral("-77"), h.text, h.text, h.text, 1,
                                   QStringLiteral("/iTunes_Control/Music/F00/X.") + h.text);
            track->genre = h.text;
            const QString relative = QELCopyMusic::relativePathForTrack(*track, l);
            ASSERT_FALSE(relative.isEmpty());
            EXPECT_TRUE(SafePath::isSafeRelativePath(relative)) << relative.toStdString();
            for (const QString& component : relative.split(QLatin1Char('/'))) {
                EXPECT_TRUE(SafePath::isPlainName(component)) << component.toStdString();
                EXPECT_LE(component.toUtf8().size(), SafePath::kDefaultMaxBytes);
                for (QChar c : component)
                    EXPECT_FALSE(c.category() == QChar::Other_Control);
            }
        }
    }
    // Non-ASCII text is kept as it is.
    auto track =
        makeTrack(QStringLiteral("5"), QString::fromUtf8("Café"), QString::fromUtf8("Björk"),
                  QString::fromUtf8("東京"), 2, QStringLiteral("/a/b.mp3"));
    EXPECT_EQ(QELCopyMusic::relativePathForTrack(*track, Layout{}),
              QString::fromUtf8("Björk/東京/2-Café.mp3"));
    // The slash of a tag becomes part of one name, never a folder.
    track->artist = QStringLiteral("AC/DC");
    EXPECT_EQ(QELCopyMusic::relativePathForTrack(*track, Layout{}),
              QString::fromUtf8("AC_DC/東京/2-Café.mp3"));
}

TEST(CopyMusicNames, TrackIdsAreExactSixtyFourBitNumbers)
{
    const struct {
        const char* text;
        std::optional<qint64> id;
    } cases[] = {
        {"123", 123},
        {"-5", -5},
        {"1A", 26},
        {"0x1a", 26},
        {" 1A", 26},
        {"0", std::nullopt},
        {"", std::nullopt},
        {"xyz", std::nullopt},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        // Beyond 32 bits, no saturation; beyond the signed range, the bits as they stand.
        {"1FFFFFFFF", 0x1FFFFFFFFLL},
        {"FEDCBA9876543210", static_cast<qint64>(0xFEDCBA9876543210ULL)},
        {"FEDCBA9876543211", static_cast<qint64>(0xFEDCBA9876543211ULL)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QELCopyMusic::trackIdFromPersistentID(QString::fromLatin1(c.text)), c.id);
    }
}

TEST_F(CopyMusicTest, CopiesTracksWithTagsCoverAndAPlaylistFile)
{
    // A titled MP3, whose tags stay as they are, and untitled M4A and WAV files.
    const QByteArray titled = taggedMp3(QStringLiteral("Own Title"));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/AAAA.mp3"), titled));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/BBBB.m4a"),
                                 AudioFixture::minimalM4a()));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/CCCC.wav"),
                                 AudioFixture::silentWav()));
    const QByteArray cover = TagTest::imageBytes("PNG", Qt::blue);
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/cover.png"), cover));

    auto one = makeTrack(QStringLiteral("101"), QStringLiteral("Device Title"),
                         QStringLiteral("Artist & Co"), QStringLiteral("Album <1>"), 1,
                         QStringLiteral("/iTunes_Control/Music/F00/AAAA.mp3"));
    auto two = makeTrack(QStringLiteral("1A"), QString::fromUtf8("Zwei # ünï"),
                         QStringLiteral("Artist & Co"), QStringLiteral("Album <1>"), 2,
                         QStringLiteral("/iTunes_Control/Music/F00/BBBB.m4a"));
    two->album_artist = QStringLiteral("");
    two->genre = QStringLiteral("Jazz");
    two->year = 1999;
    two->composer = QStringLiteral("Comp");
    two->trackCount = 9;
    two->discNumber = 1;
    two->discCount = 2;
    two->playCount = 4;
    two->artworkPath = QStringLiteral("/iTunes_Control/Artwork/cover.png");
    auto three = makeTrack(QStringLiteral("-3"), QStringLiteral("Three"), QString(), QString(),
                           std::nullopt, QStringLiteral("/iTunes_Control/Music/F00/CCCC.wav"));
    three->album_artist = QStringLiteral("Only Album Artist");

    const QString playlist = QString::fromUtf8("Mix & <Best> #1 ünï");
    ASSERT_TRUE(run({one, two, three}, playlist));

    // Begins on the main thread, ends on the workers, one end of the run.
    const auto begins = m_delegate.begins();
    ASSERT_EQ(begins.size(), 3u);
    for (quint32 i = 0; i < 3; ++i) {
        EXPECT_TRUE(begins[i].onMainThread);
        EXPECT_EQ(begins[i].itemNumber, i + 1);
        EXPECT_EQ(begins[i].itemCount, 3u);
        EXPECT_EQ(begins[i].senderClass, std::type_index(typeid(QELCopyMusic)));
    }
    const auto ends = m_delegate.ends();
    ASSERT_EQ(ends.size(), 3u);
    for (const auto& end : ends) {
        EXPECT_TRUE(end.statusOK) << end.itemDescription.toStdString();
        EXPECT_FALSE(end.onMainThread);
    }
    EXPECT_EQ(ends[1].itemId, QStringLiteral("1A"));
    EXPECT_EQ(m_delegate.copyTypes(), std::vector<int>{0});
    EXPECT_EQ(m_job.failedItemCount(), 0u);

    const QString first = m_base + QStringLiteral("/Artist & Co/Album _1_/1-Device Title.mp3");
    const QString second = m_base + QString::fromUtf8("/Artist & Co/Album _1_/2-Zwei # ünï.m4a");
    const QString third = m_base + QStringLiteral("/Only Album Artist/Three.wav");
    EXPECT_EQ(m_job.copiedFiles(), (QStringList{first, second, third}));

    // A file with a title is the device's file, byte for byte.
    EXPECT_EQ(readLocal(first), titled);

    // An untitled copy carries the track's tags and the cover, read back from the file.
    const QELTagMap tags = QELTagLib().loadTagsFromFileAtPath(second);
    EXPECT_EQ(tags.TrackName(), QString::fromUtf8("Zwei # ünï"));
    EXPECT_EQ(tags.ArtistName(), QStringLiteral("Artist & Co"));
    EXPECT_EQ(tags.AlbumArtist(), QStringLiteral("Artist & Co"));
    EXPECT_EQ(tags.AlbumName(), QStringLiteral("Album <1>"));
    EXPECT_EQ(tags.Genre(), QStringLiteral("Jazz"));
    EXPECT_EQ(tags.Composer(), QStringLiteral("Comp"));
    EXPECT_EQ(tags.ReleaseYear(), std::optional<double>(1999));
    EXPECT_EQ(tags.TrackNumber(), std::optional<double>(2));
    EXPECT_EQ(tags.TrackTotal(), std::optional<double>(9));
    EXPECT_EQ(tags.DiscNumber(), std::optional<double>(1));
    EXPECT_EQ(tags.DiscTotal(), std::optional<double>(2));
    EXPECT_EQ(tags.ArtworkState(), QELTagMap::kArtworkEmbedded);
    EXPECT_FALSE(tags.Artwork().isNull());
    EXPECT_EQ(tags.Artwork().pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(third).TrackName(), QStringLiteral("Three"));

    // The playlist file is a property list that lists every copied track, in copy order.
    const QString playlistPath = m_base + QString::fromUtf8("/Mix & _Best_ #1 ünï.xml");
    EXPECT_EQ(m_job.playlistFilePath(), playlistPath);
    QString error;
    const QVariantMap root = Plist::readFile(playlistPath, &error).toMap();
    ASSERT_FALSE(root.isEmpty()) << error.toStdString();
    const QVariantMap tracks = root.value(QStringLiteral("Tracks")).toMap();
    ASSERT_EQ(tracks.size(), 3);
    const QVariantMap entry = tracks.value(QStringLiteral("26")).toMap();
    EXPECT_EQ(entry.value(QStringLiteral("Track ID")).toLongLong(), 26);
    EXPECT_EQ(entry.value(QStringLiteral("Name")).toString(), QString::fromUtf8("Zwei # ünï"));
    EXPECT_EQ(entry.value(QStringLiteral("Album")).toString(), QStringLiteral("Album <1>"));
    EXPECT_FALSE(entry.contains(QStringLiteral("Album Artist")));
    EXPECT_EQ(entry.value(QStringLiteral("Play Count")).toLongLong(), 4);
    EXPECT_EQ(entry.value(QStringLiteral("Year")).toLongLong(), 1999);
    const QUrl location(entry.value(QStringLiteral("Location")).toString(), QUrl::StrictMode);
    EXPECT_TRUE(location.isValid());
    EXPECT_EQ(location.toLocalFile(), second);
    EXPECT_EQ(tracks.value(QStringLiteral("-3")).toMap().value(QStringLiteral("Album Artist")),
              QStringLiteral("Only Album Artist"));
    const QVariantList playlists = root.value(QStringLiteral("Playlists")).toList();
    ASSERT_EQ(playlists.size(), 1);
    const QVariantMap list = playlists.first().toMap();
    EXPECT_EQ(list.value(QStringLiteral("Name")).toString(), playlist);
    EXPECT_EQ(list.value(QStringLiteral("All Items")).toLongLong(), 1);
    QList<qint64> ids;
    for (const QVariant& item : list.value(QStringLiteral("Playlist Items")).toList())
        ids << item.toMap().value(QStringLiteral("Track ID")).toLongLong();
    EXPECT_EQ(ids, (QList<qint64>{101, 26, -3}));
    EXPECT_TRUE(temporariesBelow(m_base).isEmpty());
}

TEST_F(CopyMusicTest, AFailedReadLeavesNoFileAndIsCountedNotListed)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/GOOD.mp3"),
                                 AudioFixture::silentMp3()));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/BROKEN.mp3"),
                                 AudioFixture::silentMp3(20)));
    auto good =
        makeTrack(QStringLiteral("1"), QStringLiteral("Good"), QStringLiteral("A"),
                  QStringLiteral("B"), 1, QStringLiteral("/iTunes_Control/Music/F00/GOOD.mp3"));
    auto broken =
        makeTrack(QStringLiteral("2"), QStringLiteral("Broken"), QStringLiteral("A"),
                  QStringLiteral("B"), 2, QStringLiteral("/iTunes_Control/Music/F00/BROKEN.mp3"));
    auto missing =
        makeTrack(QStringLiteral("3"), QStringLiteral("Missing"), QStringLiteral("A"),
                  QStringLiteral("B"), 3, QStringLiteral("/iTunes_Control/Music/F00/NONE.mp3"));
    ASSERT_TRUE(run({good, broken, missing}, QStringLiteral("P")));

    const auto ends = m_delegate.ends();
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_TRUE(ends[0].statusOK);
    EXPECT_FALSE(ends[1].statusOK);
    EXPECT_FALSE(ends[2].statusOK);
    EXPECT_EQ(m_job.failedItemCount(), 2u);
    EXPECT_EQ(filesBelow(m_base), (QStringList{"A/B/1-Good.mp3", "P.xml"}));

    const QVariantMap root = Plist::readFile(m_base + QStringLiteral("/P.xml")).toMap();
    EXPECT_EQ(root.value(QStringLiteral("Tracks")).toMap().keys(), QStringList{"1"});
}

TEST_F(CopyMusicTest, CancelDuringTheSecondTrackStopsItsFileAndTheRun)
{
    // Three blocks of the device's 4 MiB reads: the cancel lands between them.
    const QByteArray big(9 * 1024 * 1024, 'x');
    QList<TrackDetailPtr> tracks;
    for (int i = 1; i <= 3; ++i) {
        const QString path = QStringLiteral("/iTunes_Control/Music/F00/T%1.mp3").arg(i);
        ASSERT_TRUE(m_device.putFile(path.mid(1), big));
        tracks << makeTrack(QString::number(i), QStringLiteral("T%1").arg(i), QStringLiteral("A"),
                            QStringLiteral("B"), i, path);
    }
    m_device.setOnCommunicating([this](const QString& devicePath) {
        if (devicePath.endsWith(QLatin1String("T2.mp3")))
            m_job.cancelCopy();
    });
    ASSERT_TRUE(run(tracks, QStringLiteral("P")));
    EXPECT_EQ(m_delegate.order(),
              (QStringList{"begin T1", "end T1", "begin T2", "end T2", "all done"}));
    const auto ends = m_delegate.ends();
    EXPECT_TRUE(ends[0].statusOK);
    EXPECT_FALSE(ends[1].statusOK);
    // No third file, no partial second one, no playlist file.
    EXPECT_EQ(filesBelow(m_base), QStringList{"A/B/1-T1.mp3"});
}

// With every track's size known, the bar follows bytes: inside the 9 MiB
// track too, and it ends full; one track without a size leaves it counting
// items.
TEST_F(CopyMusicTest, TheBarFollowsTheTracksBytesWhenEverySizeIsKnown)
{
    const QByteArray big(9 * 1024 * 1024, 'x');
    const QByteArray small(1000, 's');
    QList<TrackDetailPtr> tracks;
    for (int i = 1; i <= 3; ++i) {
        const QString path = QStringLiteral("/iTunes_Control/Music/F00/S%1.mp3").arg(i);
        const QByteArray& bytes = i == 2 ? big : small;
        ASSERT_TRUE(m_device.putFile(path.mid(1), bytes));
        tracks << makeTrack(QString::number(i), QStringLiteral("S%1").arg(i), QStringLiteral("A"),
                            QStringLiteral("B"), i, path);
        tracks.back()->fileSize = bytes.size();
    }
    ASSERT_TRUE(run(tracks));
    const quint64 total = quint64(2 * small.size() + big.size());
    EXPECT_GE(m_delegate.expectBytesGrowTo(total, 2, quint64(small.size()),
                                           quint64(small.size() + big.size())),
              1);
    EXPECT_EQ(m_delegate.begins().size(), 3u);

    tracks.front()->fileSize.reset();
    QDir(m_base).removeRecursively();
    const size_t before = m_delegate.byteSteps().size();
    m_job.setItemQueue(queueOf(tracks));
    m_job.startCopy();
    ASSERT_TRUE(m_delegate.waitForAllItemsCopied(2));
    const auto second = m_delegate.byteSteps();
    ASSERT_GT(second.size(), before);
    for (size_t i = before; i < second.size(); ++i)
        EXPECT_EQ(second[i].byteCount, 0u);
}

TEST_F(CopyMusicTest, ExistingFilesFollowTheOverwriteRule)
{
    const QByteArray device = AudioFixture::silentMp3(4);
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/S.mp3"), device));
    const QByteArray sameSize(device.size(), 'o');
    const QByteArray otherSize(device.size() + 10, 'o');
    const struct {
        const char* name;
        bool overwrite;
        QByteArray existing;
        QStringList files;       // below A/B
        QByteArray keptAtTarget; // what "1.mp3" holds afterwards
    } cases[] = {
        {"off, same size: kept and counted", false, sameSize, {"1.mp3"}, sameSize},
        {"off, other size: copied beside it", false, otherSize, {"1 (1).mp3", "1.mp3"}, otherSize},
        {"on, same size: replaced", true, sameSize, {"1.mp3"}, QByteArray()},
        {"on, other size: replaced", true, otherSize, {"1.mp3"}, QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_base).removeRecursively();
        QDir().mkpath(m_base + QStringLiteral("/A/B"));
        const QString target = m_base + QStringLiteral("/A/B/1.mp3");
        ASSERT_TRUE(AudioFixture::writeFile(target, c.existing));
        QSettings().setValue(QELPreferences::kCopyToMacOverwriteFiles, c.overwrite);
        RecordingCopyDelegate delegate;
        m_job.setDelegate(&delegate);
        m_job.setPlaylistName(QString());
        m_job.setItemQueue(queueOf(
            {makeTrack(QStringLiteral("9"), QString(), QStringLiteral("A"), QStringLiteral("B"), 1,
                       QStringLiteral("/iTunes_Control/Music/F00/S.mp3"))}));
        // An untitled track: a copy made now gets tags, a kept file never does.
        m_job.startCopy();
        ASSERT_TRUE(delegate.waitForAllItemsCopied());
        ASSERT_EQ(delegate.ends().size(), 1u);
        EXPECT_TRUE(delegate.ends()[0].statusOK);
        EXPECT_EQ(filesBelow(m_base + QStringLiteral("/A/B")), c.files);
        // The user's file is never retagged; the copy made now is.
        if (!c.keptAtTarget.isEmpty()) {
            EXPECT_EQ(readLocal(target), c.keptAtTarget);
        } else {
            EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(target).ArtistName(), QStringLiteral("A"));
        }
        if (c.files.size() == 2) {
            EXPECT_EQ(QELTagLib()
                          .loadTagsFromFileAtPath(m_base + QStringLiteral("/A/B/1 (1).mp3"))
                          .ArtistName(),
                      QStringLiteral("A"));
        }
    }
}

TEST_F(CopyMusicTest, EveryHostileTagLandsInsideTheChosenFolder)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/H.m4a"),
                                 AudioFixture::minimalM4a()));
    const QStringList texts = {QStringLiteral("Up/Down"),      QStringLiteral(".."),
                               QStringLiteral("../../x"),      QStringLiteral("a") + QChar(0x7),
                               QString(300, QLatin1Char('z')), QStringLiteral(""),
                               QString::fromUtf8("Ünïcødé")};
    QList<TrackDetailPtr> tracks;
    int id = 1;
    for (const QString& text : texts) {
        auto track = makeTrack(QString::number(id++), text, text, text, 1,
                               QStringLiteral("/iTunes_Control/Music/F00/H.m4a"));
        track->genre = text;
        tracks << track;
    }
    QSettings().setValue(QELPreferences::kCopyToMacFolderLevelThree, 3);
    ASSERT_TRUE(run(tracks, QStringLiteral("../../escape")));
    for (const auto& end : m_delegate.ends())
        EXPECT_TRUE(end.statusOK);
    const QStringList copied = m_job.copiedFiles();
    EXPECT_EQ(copied.size(), texts.size());
    EXPECT_EQ(QSet<QString>(copied.begin(), copied.end()).size(), texts.size());
    for (const QString& file : copied)
        EXPECT_TRUE(SafePath::isInside(m_base, file)) << file.toStdString();
    EXPECT_TRUE(SafePath::isInside(m_base, m_job.playlistFilePath()));
    EXPECT_EQ(QFileInfo(m_job.playlistFilePath()).path(), m_base);
    EXPECT_EQ(filesBelow(m_base).size(), texts.size() + 1);
    // The hostile texts are in the file's tags as they were.
    EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(copied.at(2)).TrackName(),
              QStringLiteral("../../x"));
}

TEST_F(CopyMusicTest, PlaylistFileKeepsAnExistingOneUnlessOverwriteIsOn)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/S.mp3"),
                                 AudioFixture::silentMp3()));
    const QString existing = m_base + QStringLiteral("/List.xml");
    ASSERT_TRUE(AudioFixture::writeFile(existing, "mine"));
    auto track =
        makeTrack(QStringLiteral("5"), QStringLiteral("S"), QStringLiteral("A"),
                  QStringLiteral("B"), 1, QStringLiteral("/iTunes_Control/Music/F00/S.mp3"));
    ASSERT_TRUE(run({track}, QStringLiteral("List")));
    EXPECT_EQ(readLocal(existing), QByteArray("mine"));
    EXPECT_EQ(m_job.playlistFilePath(), m_base + QStringLiteral("/List (1).xml"));

    QSettings().setValue(QELPreferences::kCopyToMacOverwriteFiles, true);
    RecordingCopyDelegate again;
    m_job.setDelegate(&again);
    m_job.setItemQueue(queueOf({track}));
    m_job.startCopy();
    ASSERT_TRUE(again.waitForAllItemsCopied());
    EXPECT_EQ(m_job.playlistFilePath(), existing);
    EXPECT_TRUE(Plist::readFile(existing).toMap().contains(QStringLiteral("Tracks")));
}

TEST_F(CopyMusicTest, TrackIdsInThePlaylistNeverLoseAnEntry)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/S.mp3"),
                                 AudioFixture::silentMp3()));
    QList<TrackDetailPtr> tracks;
    const QStringList ids = {"7", "7", "0", "8", "", "FEDCBA9876543210"};
    for (int i = 0; i < ids.size(); ++i)
        tracks << makeTrack(ids[i], QStringLiteral("T%1").arg(i), QStringLiteral("A"),
                            QStringLiteral("B"), i + 1,
                            QStringLiteral("/iTunes_Control/Music/F00/S.mp3"));
    ASSERT_TRUE(run(tracks, QStringLiteral("P")));
    const QVariantMap root = Plist::readFile(m_job.playlistFilePath()).toMap();
    const QVariantMap table = root.value(QStringLiteral("Tracks")).toMap();
    QList<qint64> items;
    for (const QVariant& item : root.value(QStringLiteral("Playlists"))
                                    .toList()
                                    .value(0)
                                    .toMap()
                                    .value(QStringLiteral("Playlist Items"))
                                    .toList())
        items << item.toMap().value(QStringLiteral("Track ID")).toLongLong();
    EXPECT_EQ(items, (QList<qint64>{7, 8, 9, 10, 11, static_cast<qint64>(0xFEDCBA9876543210ULL)}));
    EXPECT_EQ(table.size(), ids.size());
    for (qint64 id : items)
        EXPECT_EQ(
            table.value(QString::number(id)).toMap().value(QStringLiteral("Track ID")).toLongLong(),
            id);
}

TEST_F(CopyMusicTest, NothingToDoStillEndsTheRun)
{
    ASSERT_TRUE(run({}));
    EXPECT_EQ(m_delegate.order(), QStringList{"all done"});

    RecordingCopyDelegate noFolder;
    m_job.setDelegate(&noFolder);
    m_job.setBaseCopyPath(QString());
    m_job.setItemQueue(queueOf({makeTrack(QStringLiteral("1"), QStringLiteral("T"), QString(),
                                          QString(), 1, QStringLiteral("/x.mp3"))}));
    m_job.startCopy();
    ASSERT_TRUE(noFolder.waitForAllItemsCopied());
    EXPECT_EQ(noFolder.order(), QStringList{"all done"});
}

TEST_F(CopyMusicTest, AFailedPlaylistStillListsOnlyWhatWasCopiedAsAValidFile)
{
    // Every track fails: the playlist file is still a property list, with an empty list.
    auto missing = makeTrack(QStringLiteral("3"), QStringLiteral("Missing"), QStringLiteral("A"),
                             QStringLiteral("B"), 3, QStringLiteral("/nothing.mp3"));
    ASSERT_TRUE(run({missing}, QStringLiteral("Empty")));
    EXPECT_EQ(m_job.failedItemCount(), 1u);
    QString error;
    const QVariantMap root = Plist::readFile(m_base + QStringLiteral("/Empty.xml"), &error).toMap();
    ASSERT_FALSE(root.isEmpty()) << error.toStdString();
    EXPECT_TRUE(root.value(QStringLiteral("Playlists"))
                    .toList()
                    .value(0)
                    .toMap()
                    .value(QStringLiteral("Playlist Items"))
                    .toList()
                    .isEmpty());
}

TEST_F(CopyMusicTest, AJobThatGoesBetweenTracksKeepsWhatItCopied)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/S.mp3"),
                                 AudioFixture::silentMp3()));
    auto job = std::make_unique<QELCopyMusic>();
    RecordingCopyDelegate delegate;
    job->setDelegate(&delegate);
    job->setDeviceInteface(&m_device.device());
    job->setBaseCopyPath(m_base);
    QList<TrackDetailPtr> tracks;
    for (int i = 1; i <= 2; ++i)
        tracks << makeTrack(QString::number(i), QStringLiteral("T%1").arg(i), QStringLiteral("A"),
                            QStringLiteral("B"), i,
                            QStringLiteral("/iTunes_Control/Music/F00/S.mp3"));
    job->setItemQueue(queueOf(tracks));
    job->startCopy();
    // Without handling events: the second track stays posted to this thread.
    ASSERT_TRUE(delegate.recorder().waitFor([](const auto& calls) {
        return std::any_of(calls.begin(), calls.end(), [](const auto& call) {
            return call.kind == RecordingCopyDelegate::Call::Kind::ItemEnd;
        });
    }));
    job.reset();
    EXPECT_EQ(filesBelow(m_base), QStringList{"A/B/1-T1.mp3"});
}

// Every kind the writers know goes through the copy with its tags and the
// cover in its own tag, and its framing still holds (checked without
// TagLib); a file whose bytes are not what its name says is copied as it is.
TEST_F(CopyMusicTest, EveryAudioKindKeepsItsFramingAndCarriesTagsAndCover)
{
    const QByteArray cover = TagTest::imageBytes("PNG", Qt::red);
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/red.png"), cover));
    const struct {
        const char* file;
        QByteArray bytes;
    } kinds[] = {
        {"K1.mp3", AudioFixture::silentMp3()},    {"K2.m4a", AudioFixture::minimalM4a()},
        {"K3.wav", AudioFixture::silentWav(801)}, {"K4.aiff", AudioFixture::silentAiff(801)},
        {"K5.flac", AudioFixture::silentFlac()},  {"K6.ogg", AudioFixture::minimalOggVorbis()},
        {"K7.mp3", AudioFixture::silentWav()}, // a WAV named as an MP3
    };
    QList<TrackDetailPtr> tracks;
    int number = 0;
    for (const auto& kind : kinds) {
        ASSERT_EQ(AudioFixture::containerProblem(kind.bytes), QString()) << kind.file;
        const QString devicePath =
            QStringLiteral("/iTunes_Control/Music/F01/%1").arg(QLatin1String(kind.file));
        ASSERT_TRUE(m_device.putFile(devicePath.mid(1), kind.bytes));
        ++number;
        auto track =
            makeTrack(QString::number(500 + number), QStringLiteral("Song %1").arg(number),
                      QStringLiteral("Band"), QStringLiteral("Record"), number, devicePath);
        track->album_artist = QStringLiteral("Band & Friends");
        track->artworkPath = QStringLiteral("/iTunes_Control/Artwork/red.png");
        tracks << track;
    }
    ASSERT_TRUE(run(tracks));
    const QStringList copied = m_job.copiedFiles();
    ASSERT_EQ(copied.size(), qsizetype(std::size(kinds)));
    for (qsizetype i = 0; i < copied.size(); ++i) {
        SCOPED_TRACE(copied[i].toStdString());
        const QByteArray bytes = readLocal(copied[i]);
        if (i == copied.size() - 1) {
            EXPECT_EQ(bytes, kinds[i].bytes); // unknown to the writers: untouched
            continue;
        }
        EXPECT_EQ(AudioFixture::containerProblem(bytes), QString());
        const QELTagMap tags = QELTagLib().loadTagsFromFileAtPath(copied[i]);
        EXPECT_EQ(tags.TrackName(), QStringLiteral("Song %1").arg(i + 1));
        EXPECT_EQ(tags.ArtistName(), QStringLiteral("Band"));
        EXPECT_EQ(tags.AlbumName(), QStringLiteral("Record"));
        EXPECT_EQ(tags.AlbumArtist(), QStringLiteral("Band & Friends"));
        EXPECT_EQ(tags.ArtworkState(), QELTagMap::kArtworkEmbedded);
        EXPECT_EQ(tags.Artwork().pixelColor(0, 0), QColor(Qt::red));
    }
}

TEST_F(CopyMusicTest, ATitledFileWithoutACoverGetsTheCoverAndKeepsItsTags)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/TTTT.mp3"),
                                 taggedMp3(QStringLiteral("Own Title"))));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/g.png"),
                                 TagTest::imageBytes("PNG", Qt::green)));
    auto track =
        makeTrack(QStringLiteral("77"), QStringLiteral("Device Title"), QStringLiteral("A"),
                  QStringLiteral("B"), 1, QStringLiteral("/iTunes_Control/Music/F00/TTTT.mp3"));
    track->artworkPath = QStringLiteral("/iTunes_Control/Artwork/g.png");
    ASSERT_TRUE(run({track}));
    ASSERT_EQ(m_job.copiedFiles().size(), 1);
    const QELTagMap tags = QELTagLib().loadTagsFromFileAtPath(m_job.copiedFiles().front());
    EXPECT_EQ(tags.TrackName(), QStringLiteral("Own Title"));
    EXPECT_TRUE(tags.ArtistName().isNull());
    EXPECT_EQ(tags.Artwork().pixelColor(0, 0), QColor(Qt::green));
}
