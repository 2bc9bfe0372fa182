// SPDX-License-Identifier: GPL-3.0-or-later
// Device databases damaged in the middle of a table: the schema opens and the
// first rows read, then stepping fails. Each reader must report that as a
// failed read, not as a smaller library.
#include <functional>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "LibraryItdbFixture.h"
#include "MediaExtrasFixture.h"
#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"
#include "QELMediaLibrarySQLiteReader.h"
#include "QELMediaLibraryVoiceRecordingsReader.h"
#include "SQLiteDamage.h"

namespace {

constexpr int kItems = 1000;

// Long texts, so that every table of the fixture spans many pages.
QString longText(const char* prefix, int n)
{
    return QStringLiteral("%1 %2 ").arg(QLatin1String(prefix)).arg(n)
        + QString(180, QLatin1Char('x'));
}

LibraryItdbFixture bigItdb()
{
    LibraryItdbFixture f;
    LibraryItdbFixture::Container all;
    all.pid = 9000;
    all.name = QStringLiteral("Everything");
    for (int i = 1; i <= kItems; ++i) {
        LibraryItdbFixture::Item it;
        it.pid = i;
        it.title = longText("Title", i);
        it.artist = QStringLiteral("Artist");
        it.album = QStringLiteral("Album");
        it.location = longText("File", i) + QStringLiteral(".mp3");
        it.playCount = i;
        f.items.append(it);
        all.items.append(i);
    }
    f.containers.append(all);
    for (int c = 1; c <= 150; ++c) {
        LibraryItdbFixture::Container playlist;
        playlist.pid = 10000 + c;
        playlist.name = longText("Playlist", c);
        for (int i = 0; i < 10; ++i)
            playlist.items.append((c * 10 + i) % kItems + 1);
        f.containers.append(playlist);
    }
    return f;
}

MediaLibraryFixture bigMediaLibrary()
{
    MediaLibraryFixture f;
    for (int i = 1; i <= kItems; ++i) {
        MediaLibraryFixture::Item it;
        it.pid = i;
        it.title = longText("Title", i);
        it.artist = QStringLiteral("Artist");
        it.album = QStringLiteral("Album");
        it.location = QStringLiteral("F%1.mp3").arg(i);
        f.items.append(it);
    }
    for (int c = 1; c <= 150; ++c) {
        MediaLibraryFixture::Container playlist;
        playlist.pid = 10000 + c;
        playlist.name = longText("Playlist", c);
        playlist.items = {c};
        f.containers.append(playlist);
    }
    return f;
}

struct Outcome {
    bool ok = false;
    QList<bool> completions;
    size_t tracks = 0;
};

Outcome readItdb(const std::function<bool(const QString& folder)>& damage)
{
    Outcome outcome;
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(bigItdb().write(dir.path(), &error)) << error.toStdString();
    EXPECT_TRUE(damage(dir.path()));
    auto reader =
        QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibrarySQLiteReader>(dir.path());
    RecordingDelegate events;
    reader->setDelegate(&events);
    outcome.ok = reader->readMediaLibrary();
    outcome.completions = events.completions;
    outcome.tracks = reader->managedObjectContext()->tracks().size();
    return outcome;
}

Outcome readMediaLibrary(const std::function<bool(const QString& folder)>& damage)
{
    Outcome outcome;
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(
        bigMediaLibrary().write(dir.filePath(QStringLiteral("MediaLibrary.sqlitedb")), &error))
        << error.toStdString();
    EXPECT_TRUE(damage(dir.path()));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<
        QELMediaLibraryMediaLibrarySQLiteDBReader>(dir.path());
    RecordingDelegate events;
    reader->setDelegate(&events);
    reader->setFilePath(QStringLiteral("MediaLibrary.sqlitedb"));
    outcome.ok = reader->readMediaLibrary();
    outcome.completions = events.completions;
    outcome.tracks = reader->managedObjectContext()->tracks().size();
    return outcome;
}

class EmptyReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override { return true; }

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;
};

Outcome readVoiceMemos(const std::function<bool(const QString& folder)>& damage)
{
    Outcome outcome;
    QTemporaryDir dir;
    QList<MediaExtrasFixture::Recording> recordings;
    for (int i = 1; i <= kItems; ++i)
        recordings.append({longText("/var/mobile/Media/Recordings/memo", i), 5, longText("Memo", i),
                           3600.0 * i, i});
    EXPECT_TRUE(MediaExtrasFixture::writeRecordings(dir.filePath(QStringLiteral("Recordings.db")),
                                                    recordings));
    EXPECT_TRUE(damage(dir.path()));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<EmptyReader>(dir.path());
    outcome.ok = QELMediaLibraryVoiceRecordingsReader().readRecordingsFromLocalPathIntoMediaLibrary(
        dir.filePath(QStringLiteral("Recordings.db")), reader.get());
    outcome.completions = {outcome.ok};
    outcome.tracks = reader->managedObjectContext()->tracks().size();
    return outcome;
}

std::function<bool(const QString&)> damageTable(const char* file, const char* table)
{
    return [file, table](const QString& folder) {
        return SQLiteDamage::damageMiddleOf(folder + QLatin1Char('/') + QLatin1String(file),
                                            QString::fromLatin1(table));
    };
}

struct DamageCase {
    const char* what;
    std::function<Outcome(const std::function<bool(const QString&)>&)> read;
    const char* file;
    const char* table;
    size_t intactTracks;
    bool addsNothingWhenDamaged = false;
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class DamagedTable : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedTable, FailsTheReadThatIntactSucceeds)
{
    const DamageCase& c = GetParam();
    const Outcome intact = c.read([](const QString&) { return true; });
    EXPECT_TRUE(intact.ok);
    EXPECT_EQ(intact.completions, QList<bool>{true});
    EXPECT_EQ(intact.tracks, c.intactTracks);

    const Outcome damaged = c.read(damageTable(c.file, c.table));
    EXPECT_FALSE(damaged.ok);
    EXPECT_EQ(damaged.completions, QList<bool>{false});
    if (c.addsNothingWhenDamaged) {
        EXPECT_EQ(damaged.tracks, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readers, DamagedTable,
    ::testing::Values(
        DamageCase{"Library.itdb items", readItdb, "Library.itdb", "item", kItems},
        DamageCase{"Library.itdb locations", readItdb, "Locations.itdb", "location", kItems},
        DamageCase{"Library.itdb play statistics", readItdb, "Dynamic.itdb", "item_stats", kItems},
        DamageCase{"Library.itdb playlists", readItdb, "Library.itdb", "container", kItems},
        DamageCase{"Library.itdb playlist members", readItdb, "Library.itdb", "item_to_container",
                   kItems},
        DamageCase{"MediaLibrary.sqlitedb items", readMediaLibrary, "MediaLibrary.sqlitedb",
                   "item_extra", kItems},
        DamageCase{"MediaLibrary.sqlitedb playlists", readMediaLibrary, "MediaLibrary.sqlitedb",
                   "container", kItems},
        // A damaged Recordings.db adds none of its memos.
        DamageCase{"voice memos", readVoiceMemos, "Recordings.db", "ZRECORDING", kItems, true}));

// Whole files that hold no readable database: empty, cut short, foreign.
struct FileDamage {
    const char* what;
    std::function<bool(const QString& path)> damage;
};
void PrintTo(const FileDamage& c, std::ostream* os) { *os << c.what; }

class DamagedFile : public ::testing::TestWithParam<FileDamage> {};

std::function<bool(const QString&)> inFolder(const char* file,
                                             const std::function<bool(const QString&)>& damage)
{
    return [file, damage](const QString& folder) {
        return damage(folder + QLatin1Char('/') + QLatin1String(file));
    };
}

TEST_P(DamagedFile, NoReaderTakesItForALibrary)
{
    const auto& damage = GetParam().damage;
    const Outcome current = readMediaLibrary(inFolder("MediaLibrary.sqlitedb", damage));
    EXPECT_FALSE(current.ok);
    EXPECT_EQ(current.completions, QList<bool>{false});
    EXPECT_FALSE(readItdb(inFolder("Library.itdb", damage)).ok);
    EXPECT_FALSE(readItdb(inFolder("Locations.itdb", damage)).ok);
    const Outcome memos = readVoiceMemos(inFolder("Recordings.db", damage));
    EXPECT_FALSE(memos.ok);
    EXPECT_EQ(memos.tracks, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFile,
    ::testing::Values(FileDamage{"empty",
                                 [](const QString& p) { return SQLiteDamage::truncateTo(p, 0); }},
                      FileDamage{"cut in half",
                                 [](const QString& p) {
                                     return SQLiteDamage::truncateTo(p, QFileInfo(p).size() / 2);
                                 }},
                      FileDamage{"first page garbage", [](const QString& p) {
                                     return SQLiteDamage::overwritePage(p, 1);
                                 }}));

} // namespace
