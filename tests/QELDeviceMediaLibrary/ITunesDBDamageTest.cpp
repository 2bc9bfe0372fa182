// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged iTunesDB and iTunesCDB files: every one ends in a clean failure or
// in the tracks read so far, with one read-complete event, never a crash or a
// hang. Run under AddressSanitizer too.
#include <functional>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "ITunesDBWriter.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryITunesCDBConvertor.h"

namespace {

ITunesDBWriter richDatabase()
{
    ITunesDBWriter w;
    for (quint32 id = 1; id <= 4; ++id) {
        ITunesDBWriter::Track t;
        t.id = id;
        t.title = QStringLiteral("Track %1").arg(id);
        t.artist = QStringLiteral("Artist");
        t.path = QStringLiteral(":iPod_Control:Music:F00:%1.mp3").arg(id);
        t.podcastURL = "http://x";
        t.extraTypes = {7};
        t.headerLength = id == 2 ? 244 : 356;
        w.tracks << t;
    }
    w.extraSectionTypes = {2};
    ITunesDBWriter::Playlist p;
    p.title = QStringLiteral("List");
    p.items = {{3, 1}, {1, 1}};
    ITunesDBWriter::Playlist smart = p;
    smart.title = QStringLiteral("Smart");
    smart.dataObjects = 5;
    w.playlists << p << smart;
    return w;
}

struct Damage {
    QString what;
    QByteArray bytes;
    bool compressed = false;
};

void put32(QByteArray& data, qsizetype offset, quint32 value)
{
    if (offset + 4 <= data.size())
        qToLittleEndian<quint32>(value, data.data() + offset);
}

std::vector<Damage> damagedFiles()
{
    std::vector<qsizetype> starts;
    const QByteArray good = richDatabase().build(&starts);
    std::vector<Damage> cases;
    for (qsizetype start : starts) {
        for (qsizetype cut : {start, start + 3, start + 9, start + 30}) {
            if (cut < good.size())
                cases.push_back({QStringLiteral("truncated at %1").arg(cut), good.left(cut)});
        }
        for (quint32 value : {0u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
            for (qsizetype field : {4, 8, 12, 16, 20, 24, 28}) {
                QByteArray bytes = good;
                put32(bytes, start + field, value);
                cases.push_back({QStringLiteral("chunk at %1, field %2 = %3").arg(start).arg(field).arg(value), bytes});
            }
        }
    }
    cases.push_back({QStringLiteral("empty file"), QByteArray()});
    cases.push_back({QStringLiteral("only the tag"), QByteArray("mhbd")});
    cases.push_back({QStringLiteral("header beyond the file"), good.left(104)});

    // iTunesCDB bodies.
    const QByteArray cdb = ITunesDBWriter::toCDB(good);
    cases.push_back({QStringLiteral("CDB body not zlib"), good.left(104) + QByteArray(500, '\x5a'), true});
    cases.push_back({QStringLiteral("CDB body cut"), cdb.left(cdb.size() - 20), true});
    cases.push_back({QStringLiteral("CDB header only"), cdb.left(104), true});
    QByteArray negative = cdb;
    put32(negative, 4, 0xFFFFFF00u);
    cases.push_back({QStringLiteral("CDB negative header length"), negative, true});
    QByteArray beyond = cdb;
    put32(beyond, 4, 0x00FFFFFFu);
    cases.push_back({QStringLiteral("CDB header longer than the file"), beyond, true});
    QByteArray flipped = cdb;
    for (qsizetype i = 120; i < flipped.size(); i += 5)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x40);
    cases.push_back({QStringLiteral("CDB body corrupted"), flipped, true});
    return cases;
}

TEST(ITunesDBDamage, EveryDamagedFileEndsCleanly)
{
    const size_t goodTracks = richDatabase().tracks.size();
    int cleanFailures = 0;
    for (const Damage& d : damagedFiles()) {
        SCOPED_TRACE(d.what.toStdString());
        QTemporaryDir dir;
        QFile file(dir.filePath(d.compressed ? "iTunesCDB" : "iTunesDB"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(d.bytes);
        file.close();
        QELDeviceMediaLibrary library(dir.path());
        RecordingDelegate events;
        library.setDelegate(&events);
        const bool ok = library.readMediaLibrary();
        ASSERT_EQ(events.completions.size(), 1);
        EXPECT_EQ(events.completions.front(), ok);
        if (ok) {
            const std::shared_ptr<QELMediaStore> store = library.managedObjectContext();
            ASSERT_TRUE(store);
            size_t iTunesTracks = 0;
            for (const TrackDetailPtr& t : store->tracks())
                iTunesTracks += t->songID.has_value() ? 1 : 0;
            EXPECT_LE(iTunesTracks, goodTracks);
        } else {
            ++cleanFailures;
        }
        library.close();
    }
    EXPECT_GT(cleanFailures, 0);
}

TEST(ITunesDBDamage, InflateStopsAtItsLimit)
{
    const QByteArray zeros(1 << 20, '\0');
    const QByteArray stream = ITunesDBWriter::toCDB(QByteArray("mhbd\x08\0\0\0", 8) + zeros).mid(8);
    EXPECT_EQ(QELMediaLibraryITunesCDBConvertor::inflate(stream)->size(), zeros.size());
    EXPECT_FALSE(QELMediaLibraryITunesCDBConvertor::inflate(stream, 64 * 1024));
    EXPECT_FALSE(QELMediaLibraryITunesCDBConvertor::inflate(QByteArray("\x78\x9c garbage")));
    EXPECT_FALSE(QELMediaLibraryITunesCDBConvertor::inflate(QByteArray()));
    EXPECT_FALSE(QELMediaLibraryITunesCDBConvertor::inflate(stream.left(stream.size() / 2)));
}

} // namespace
