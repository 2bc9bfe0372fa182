// SPDX-License-Identifier: GPL-3.0-or-later
// Ringtones, voice memos and purchased artwork.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "MediaExtrasFixture.h"
#include "MediaTestSupport.h"
#include "QELArtworkITunesPurchases.h"
#include "QELMediaLibraryReader.h"
#include "QELMediaLibraryRingtonesReader.h"
#include "QELMediaLibraryVoiceRecordingsReader.h"

namespace {

using namespace MediaExtrasFixture;

class EmptyReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override { return true; }

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;
};

PlaylistPtr playlistNamed(const QELMediaLibraryReader& reader, const char* name)
{
    for (const PlaylistPtr& p : reader.managedObjectContext()->playlists())
        if (p->name == QLatin1String(name))
            return p;
    return nullptr;
}

TEST(Ringtones, EntriesWithAGuidBecomeRingtoneTracks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRingtones(dir.filePath("Ringtones.plist"),
                               {{"Bell.m4r", "GUID-1", "Bell", "Me", "Tones", 12000},
                                {"NoGuid.m4r", QString(), "Lost", "", "", 1},
                                {"Chime.m4r", "GUID-2", "Chime", "", "", 3000}}));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<EmptyReader>(dir.path());
    EXPECT_TRUE(QELMediaLibraryRingtonesReader().readRingtonesLibraryFromLocalPathIntoMediaLibrary(
        dir.filePath("Ringtones.plist"), reader.get()));
    const PlaylistPtr ringtones = playlistNamed(*reader, "Ringtones");
    ASSERT_TRUE(ringtones);
    EXPECT_EQ(ringtones->isLibraryType, true);
    EXPECT_EQ(ringtones->sortName, "Ringtones");
    EXPECT_EQ(idsOf(ringtones->tracks()), (QStringList{"GUID-1", "GUID-2"}));
    const TrackDetail& bell = *ringtones->tracks().front();
    EXPECT_EQ(bell.path, "Bell.m4r");
    EXPECT_EQ(bell.trackName, "Bell");
    EXPECT_EQ(bell.artist, "Me");
    EXPECT_EQ(bell.album, "Tones");
    EXPECT_EQ(bell.duration, 12000);
    EXPECT_EQ(bell.isRingtone, true);
    EXPECT_FALSE(QELMediaLibraryRingtonesReader().readRingtonesLibraryFromLocalPathIntoMediaLibrary(
        dir.filePath("none.plist"), reader.get()));
}

TEST(Ringtones, EachRingtoneFindsItsOwnFolder)
{
    QList<TrackDetailPtr> tones;
    for (const char* name : {"InRingtones.m4r", "Bought.m4r", "../../escape.m4r"}) {
        auto t = std::make_shared<TrackDetail>();
        t->path = QString::fromLatin1(name);
        t->isRingtone = true;
        tones << t;
    }
    // The reader keeps its decision where it is told, not in the program's.
    const QString programs = QELMediaLibraryRingtonesReader::ringtoneBasePath();
    QELMediaLibraryRingtonesReader::BasePath basePath;
    QELMediaLibraryRingtonesReader ringtones(&basePath);
    ringtones.resolveRingtonePaths(tones, [](const QString& path) {
        return path == QLatin1String("/iTunes_Control/Ringtones/InRingtones.m4r");
    });
    EXPECT_EQ(tones[0]->path, "/iTunes_Control/Ringtones/InRingtones.m4r");
    EXPECT_EQ(tones[1]->path, "/Purchases/Bought.m4r");
    EXPECT_EQ(tones[2]->path, "/Purchases/escape.m4r");
    EXPECT_EQ(basePath.value(), "/iTunes_Control/Ringtones/");
    EXPECT_EQ(ringtones.basePath(), "/iTunes_Control/Ringtones/");
    EXPECT_EQ(QELMediaLibraryRingtonesReader::ringtoneBasePath(), programs);
}

TEST(VoiceMemos, RowsBecomeVoiceMemosOfOnePlaylist)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("Recordings.db");
    ASSERT_TRUE(writeRecordings(
        db,
        {{"/var/mobile/Media/Recordings/a.m4a", 12.7, "Lecture", 86400, 9007199254740993LL},
         {"/var/mobile/Media/Recordings/b.m4a", 3, "", 3600, 0},
         {"", 1, QString(), 0, 5}}));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<EmptyReader>(dir.path());
    ASSERT_TRUE(QELMediaLibraryVoiceRecordingsReader().readRecordingsFromLocalPathIntoMediaLibrary(
        db, reader.get()));
    const PlaylistPtr memos = playlistNamed(*reader, "Voice Memos");
    ASSERT_TRUE(memos);
    EXPECT_EQ(memos->sortName, "VoiceRecording");
    ASSERT_EQ(memos->tracks().size(), 3);
    const TrackDetail& a = *memos->tracks()[0];
    EXPECT_EQ(a.path, "Recordings/a.m4a");
    EXPECT_EQ(a.persistentID, "9007199254740993"); // all 64 bits
    EXPECT_EQ(a.duration, 12000);
    EXPECT_EQ(a.trackName, "Lecture");
    EXPECT_EQ(a.trackNumber, 1);
    EXPECT_EQ(a.trackCount, 3);
    EXPECT_EQ(a.genre, "Voice Memo");
    EXPECT_EQ(a.album, "Voice Memos");
    EXPECT_EQ(a.dateCreated, QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(a.isVoiceMemo, true);
    const TrackDetail& b = *memos->tracks()[1];
    EXPECT_TRUE(b.persistentID.isNull());
    EXPECT_FALSE(b.trackName.isEmpty());
    EXPECT_FALSE(b.trackName.contains('/'));
    const TrackDetail& c = *memos->tracks()[2];
    EXPECT_TRUE(c.trackName.isEmpty());
    EXPECT_EQ(c.path, "");
}

TEST(VoiceMemos, WithoutAnIdColumnTheIdsAreSubstituted)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("Recordings.db");
    ASSERT_TRUE(writeRecordings(
        db, {{"a", 1, "A", 0, std::nullopt}, {"b", 1, "B", 0, std::nullopt}}, false));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<EmptyReader>(dir.path());
    ASSERT_TRUE(QELMediaLibraryVoiceRecordingsReader().readRecordingsFromLocalPathIntoMediaLibrary(
        db, reader.get()));
    EXPECT_EQ(idsOf(playlistNamed(*reader, "Voice Memos")->tracks()),
              (QStringList{"20090500000", "20090500001"}));
}

TEST(VoiceMemos, MissingEmptyOrForeignDatabasesAddNothing)
{
    QTemporaryDir dir;
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<EmptyReader>(dir.path());
    QELMediaLibraryVoiceRecordingsReader memos;
    EXPECT_FALSE(
        memos.readRecordingsFromLocalPathIntoMediaLibrary(dir.filePath("none.db"), reader.get()));
    ASSERT_TRUE(writeRecordings(dir.filePath("empty.db"), {}));
    EXPECT_FALSE(
        memos.readRecordingsFromLocalPathIntoMediaLibrary(dir.filePath("empty.db"), reader.get()));
    QFile junk(dir.filePath("junk.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'j'));
    junk.close();
    EXPECT_FALSE(
        memos.readRecordingsFromLocalPathIntoMediaLibrary(dir.filePath("junk.db"), reader.get()));
    EXPECT_TRUE(reader->managedObjectContext()->playlists().empty());
}

TEST(PurchasedArtwork, LooksUpByFileName)
{
    QTemporaryDir dir;
    const QString plist = dir.filePath("StorePurchasesInfo.plist");
    ASSERT_TRUE(writeStorePurchases(plist,
                                    {{"song.m4a", "art/song.jpg"},
                                     {"noart.m4a", QString()},
                                     {"sub/dir.m4a", "art/dir.jpg"},
                                     {"song.m4a", "art/newer.jpg"}}));
    QELArtworkITunesPurchases::populateFromLocalCopy(plist);
    EXPECT_EQ(QELArtworkITunesPurchases::getArtworkForPurchasedFileName("/Purchases/song.m4a"),
              "/Purchases/art/newer.jpg");
    EXPECT_TRUE(QELArtworkITunesPurchases::getArtworkForPurchasedFileName("noart.m4a").isNull());
    EXPECT_TRUE(QELArtworkITunesPurchases::getArtworkForPurchasedFileName("dir.m4a").isNull());
    QELArtworkITunesPurchases::populateMusicLibraryWithPurchasedArtwork(nullptr);
    EXPECT_TRUE(QELArtworkITunesPurchases::getArtworkForPurchasedFileName("song.m4a").isNull());
}

} // namespace

namespace {

// Every icon a reader gives a playlist ships with the program.
TEST(PlaylistIcons, EveryIconTheReadersNameLoads)
{
    for (const char* name : {"cat_music", "cat_playlist", "cat_smart_playlist", "cat_genius_selection",
                             "cat_podcast", "cat_itunesu", "cat_video_film", "cat_tv", "cat_books",
                             "cat_ringtones", "cat_recording", "cat_shopping_bag", "cat_shappong_bag"}) {
        SCOPED_TRACE(name);
        const QByteArray data = QELMediaLibraryReader::playlistIconData(QString::fromLatin1(name));
        // A PNG whose header chunk says 32 x 32 pixels.
        ASSERT_GE(data.size(), 24);
        EXPECT_TRUE(data.startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(data.mid(12, 4), QByteArray("IHDR"));
        EXPECT_EQ(data.mid(16, 8), QByteArray::fromHex("0000002000000020"));
    }
    EXPECT_TRUE(QELMediaLibraryReader::playlistIconData(QStringLiteral("no_such_icon")).isEmpty());
}

} // namespace
