// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of every harness, one folder each under the folder
// given, with the tests' own fixture writers: sound files of each format, so
// the fuzzers start from inputs that reach deep into the readers.
#include <cstdio>
#include <functional>

#include <zlib.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "AddressBookFixture.h"
#include "ArtworkDBWriter.h"
#include "BackupFixtures.h"
#include "BinaryPlistBuilder.h"
#include "BooksFixture.h"
#include "CalendarFixture.h"
#include "CallHistoryFixture.h"
#include "ITunesDBWriter.h"
#include "LibraryItdbFixture.h"
#include "MediaLibraryFixture.h"
#include "Plist.h"
#include "SafariFixture.h"
#include "SimulatedDeviceBuilder.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file a fixture writer made in a scratch folder, as bytes.
QByteArray written(const std::function<bool(const QString&)>& write)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seed"));
    return write(path) ? readAll(path) : QByteArray();
}

QByteArray gunzip(const QByteArray& gz)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out;
    char buffer[16384];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.constData()));
    stream.avail_in = static_cast<uInt>(gz.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

QByteArray zlibCompress(const QByteArray& bytes)
{
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    QByteArray out(static_cast<qsizetype>(length), '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &length,
                 reinterpret_cast<const Bytef*>(bytes.constData()),
                 static_cast<uLong>(bytes.size()))
        != Z_OK)
        return {};
    out.resize(static_cast<qsizetype>(length));
    return out;
}

ITunesDBWriter sampleITunesDB()
{
    ITunesDBWriter db;
    ITunesDBWriter::Track track;
    track.id = 1;
    track.title = QStringLiteral("Grüße");
    track.path = QStringLiteral(":iPod_Control:Music:F00:ABCD.mp3");
    track.album = QStringLiteral("Album");
    track.artist = QStringLiteral("Artist");
    track.genre = QStringLiteral("Genre");
    track.durationMs = 215000;
    track.extraTypes = {7, 16};
    db.tracks = {track};
    ITunesDBWriter::Track old = track;
    old.id = 2;
    old.headerLength = 244;
    db.tracks.append(old);
    ITunesDBWriter::Playlist master;
    master.title = QStringLiteral("iPod");
    master.master = true;
    master.items = {{1, 1, 0}, {2, 0, 0}};
    ITunesDBWriter::Playlist smart;
    smart.title = QStringLiteral("Smart");
    smart.dataObjects = 5;
    smart.items = {{2, 1, 256}};
    db.playlists = {master, smart};
    return db;
}

QByteArray lockdownMessage(const QVariant& value)
{
    const QByteArray body = Plist::serialize(value, Plist::Format::Xml);
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), framed.data());
    return framed + body;
}

using Seeds = QList<QPair<QString, QByteArray>>;

Seeds plistSeeds()
{
    Seeds seeds;
    for (const ValidBinaryPlist& plist : validBinaryPlists())
        seeds.append({QString::fromStdString(plist.name) + QStringLiteral(".bplist"), plist.bytes});
    const QVariantMap everyType{
        {"text", QStringLiteral("Grüße & <tags>")},
        {"negative", qint64(-42)},
        {"real", 2.5},
        {"flag", true},
        {"data", QByteArray("\x00\x01\xff", 3)},
        {"date", QDateTime(QDate(2020, 5, 17), QTime(10, 30, 15), Qt::UTC)},
        {"list", QVariantList{1, QStringLiteral("two"), QVariantMap{{"k", 3}}}},
    };
    seeds.append(
        {QStringLiteral("everyType.bplist"), Plist::serialize(everyType, Plist::Format::Binary)});
    seeds.append(
        {QStringLiteral("everyType.xml"), Plist::serialize(everyType, Plist::Format::Xml)});
    return seeds;
}

Seeds mediaLibrarySeeds()
{
    MediaLibraryFixture library;
    MediaLibraryFixture::Item item;
    item.pid = 11;
    item.title = QStringLiteral("Title");
    item.artist = QStringLiteral("Artist");
    item.album = QStringLiteral("Album");
    item.location = QStringLiteral("ABCD.mp3");
    item.durationMs = 1000;
    library.items = {item};
    MediaLibraryFixture::Container list;
    list.pid = 21;
    list.name = QStringLiteral("List");
    list.items = {11};
    library.containers = {list};
    library.primaryContainer = 21;
    Seeds seeds{
        {QStringLiteral("plain"), written([&](const QString& p) { return library.write(p); })}};
    library.schema.itemArtwork = true;
    library.schema.podcastInItem = true;
    library.schema.podcastInItemExtra = false;
    seeds.append(
        {QStringLiteral("artwork"), written([&](const QString& p) { return library.write(p); })});
    return seeds;
}

Seeds libraryItdbSeeds()
{
    LibraryItdbFixture library;
    LibraryItdbFixture::Item item;
    item.pid = 5;
    item.title = QStringLiteral("Title");
    item.location = QStringLiteral("ABCD.mp3");
    item.totalTimeMs = 1000;
    library.items = {item};
    LibraryItdbFixture::Container list;
    list.pid = 7;
    list.name = QStringLiteral("List");
    list.items = {5};
    library.containers = {list};
    library.primaryContainer = 7;
    QTemporaryDir dir;
    if (!library.write(dir.path()))
        return {};
    return {{QStringLiteral("library"), readAll(dir.filePath(QStringLiteral("Library.itdb")))}};
}

Seeds mbdbSeeds()
{
    MbdbBuilder builder;
    builder.record(QByteArray("HomeDomain"), QByteArray("Library/SMS/sms.db"), 0x81A4, 4096, 2)
        .record(QByteArray("CameraRollDomain"), QByteArray("Media/DCIM"), 0x41ED)
        .record(QByteArray("AppDomain-com.example"), std::nullopt);
    return {{QStringLiteral("manifest"), builder.manifest()}};
}

Seeds mbdxSeeds()
{
    MbdbBuilder builder;
    builder.record(QByteArray("HomeDomain"), QByteArray("Library/SMS/sms.db"), 0x81A4, 4096, 2)
        .record(QByteArray("CameraRollDomain"), QByteArray("Media/DCIM"), 0x41ED);
    return {{QStringLiteral("index-2"), builder.index(2)},
            {QStringLiteral("index-1"), builder.index(1)}};
}

Seeds manifestDbSeeds()
{
    QTemporaryDir dir;
    ManifestDbBackupBuilder(dir.path())
        .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"), "sms")
        .directory(QStringLiteral("CameraRollDomain"), QStringLiteral("Media/DCIM"))
        .row(QStringLiteral("../x"), QStringLiteral("HomeDomain"), QStringLiteral("a"), 1)
        .write();
    return {{QStringLiteral("manifest"), readAll(dir.filePath(QStringLiteral("Manifest.db")))}};
}

Seeds cpioSeeds()
{
    const QByteArray archive = makeCpioGzArchive({
        {QStringLiteral("Library"), QByteArray()},
        {QStringLiteral("Library/file.txt"), QByteArray("content")},
        {QStringLiteral("../escape"), QByteArray("x")},
    });
    return {{QStringLiteral("plain"), gunzip(archive)}, {QStringLiteral("gzip"), archive}};
}

Seeds lockdownSeeds()
{
    const QByteArray one =
        lockdownMessage(QVariantMap{{"Request", QStringLiteral("GetValue")},
                                    {"Value", QVariantList{1, 2.5, QByteArray("ab")}}});
    const QByteArray two =
        lockdownMessage(QVariantList{QStringLiteral("DLMessageProcessMessage"), QVariantMap{}});
    return {{QStringLiteral("whole"), QByteArray(1, '\0') + one},
            {QStringLiteral("pieces"), QByteArray(1, '\3') + one + two}};
}

Seeds callHistorySeeds()
{
    using namespace CallHistoryFixture;
    Seeds seeds;
    seeds.append({QStringLiteral("old"), written([](const QString& p) {
                      return writeCallHistoryDb(
                          p,
                          {{QStringLiteral("+15551234567"), 1600000000, 60, 5},
                           {QVariant(), 1600000100, 0, 4}});
                  })});
    StoreSchema schema;
    schema.callType = true;
    schema.serviceProvider = true;
    StoreCall call;
    call.address = QStringLiteral("+15551234567");
    call.date = 600000000;
    call.duration = 12.5;
    call.callType = 1;
    call.serviceProvider = QStringLiteral("com.apple.Telephony");
    seeds.append({QStringLiteral("store"), written([&](const QString& p) {
                      return writeCallHistoryStore(p, schema, {call});
                  })});
    AddressBookFixture book;
    const qint64 person = book.person(
        AddressBookFixture::Person::named(QStringLiteral("Ann"), QStringLiteral("Lee")));
    book.phone(person, QStringLiteral("+1 (555) 123-4567"), QStringLiteral("_$!<Mobile>!$_"));
    seeds.append(
        {QStringLiteral("addressbook"), written([&](const QString& p) { return book.write(p); })});
    return seeds;
}

Seeds safariSeeds()
{
    using namespace SafariFixture;
    return {
        {QStringLiteral("history.bplist"),
         historyPlist(edgeCasePlistVisits(), Plist::Format::Binary)},
        {QStringLiteral("history.xml"), historyPlist(edgeCasePlistVisits(), Plist::Format::Xml)},
        {QStringLiteral("history.db"), historyDbBytes(edgeCaseDbVisits())},
        {QStringLiteral("bookmarks.db"), bookmarksDbBytes(edgeCaseBookmarks())},
    };
}

Seeds calendarSeeds()
{
    using namespace CalendarFixture;
    Seeds seeds;
    const QList<QPair<QString, Database>> databases{
        {QStringLiteral("event"), edgeCases(Layout::Event)},
        {QStringLiteral("calendaritem"), edgeCases(Layout::CalendarItem)},
        {QStringLiteral("colours"), colourComponents()},
    };
    for (const auto& named : databases)
        seeds.append(
            {named.first, written([&](const QString& p) { return write(p, named.second); })});
    return seeds;
}

Seeds booksListSeeds()
{
    using BooksFixture::Entry;
    const QList<Entry> entries{
        {QStringLiteral("Report"),
         QStringLiteral("A1"),
         {},
         QStringLiteral("Ann"),
         QStringLiteral("Report.pdf"),
         QStringLiteral("pdf"),
         {}},
        {QStringLiteral("a/b"),
         {},
         QVariant(qint64(4242)),
         {},
         QStringLiteral("B2.epub"),
         QStringLiteral("epub"),
         {}},
        {QStringLiteral(".."), QStringLiteral("C3"), {}, {}, QStringLiteral("../x"), {}, {}},
        {QStringLiteral("No path"), QStringLiteral("D4"), {}, {}, {}, QStringLiteral("epub"), {}},
    };
    return {
        {QStringLiteral("books.xml"), BooksFixture::mainList(entries, Plist::Format::Xml)},
        {QStringLiteral("books.bplist"), BooksFixture::mainList(entries, Plist::Format::Binary)},
        {QStringLiteral("purchases.bplist"),
         BooksFixture::purchasesList(entries, Plist::Format::Binary)},
    };
}

// Binary image databases with every kind of record: raw sizes of both pixel
// formats, image files, ids of no known format, other data objects, names off
// 4-byte alignment, albums of each type with an extra object among their
// items, and a data set of a later kind.
ArtworkDBWriter imageDatabase()
{
    ArtworkDBWriter db;
    const std::pair<quint32, quint32> sizes[] = {{1093, 2}, {3005, 2}, {4005, 2}, {1027, 5}};
    for (quint32 id = 1; id <= 4; ++id) {
        ArtworkDBWriter::Image image;
        image.id = 100 + id;
        image.songID = 0x100000000ULL * id + id;
        image.date = 3600000000u + id;
        if (id == 2)
            image.otherObjectTypes = {3, 0x10002};
        for (const auto& [correlation, container] : sizes) {
            ArtworkDBWriter::Picture p;
            p.correlationID = correlation;
            p.containerType = container;
            p.name = QStringLiteral(":F%1_1.ithmb").arg(correlation);
            p.width = p.height = quint16(40 + id);
            p.horizontalPadding = quint16(id % 2);
            p.size = 2u * 42 * 41;
            p.offset = p.size * (id - 1);
            p.locationHeaderLength = 76 + (id - 1);
            image.pictures << p;
        }
        db.images << image;
    }
    ArtworkDBWriter::Album library{QStringLiteral("Library"), 1, {101, 102, 103, 104}};
    ArtworkDBWriter::Album trip{QStringLiteral("Trip"), 2, {101, 999}};
    trip.objectBeforeItem = 1;
    db.albums = {
        library, trip, {QStringLiteral("Event"), 12, {102}}, {QStringLiteral("Face"), 15, {103}}};
    db.files = {{1093, 2 * 42 * 41}, {3005, 2 * 42 * 41}};
    return db;
}

Seeds imageDatabaseSeeds()
{
    ArtworkDBWriter db = imageDatabase();
    Seeds seeds{{QStringLiteral("sample"), db.build()}};
    db.dataSets = {1, 9, 2, 3};
    seeds.append({QStringLiteral("later-data-set"), db.build()});
    db.albums.clear();
    db.dataSets = {1, 3};
    seeds.append({QStringLiteral("images-only"), db.build()});
    return seeds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QByteArray iTunesDB = sampleITunesDB().build();
    const QList<QPair<QString, Seeds>> targets{
        {QStringLiteral("fuzz_plist"), plistSeeds()},
        {QStringLiteral("fuzz_itunesdb"), {{QStringLiteral("sample"), iTunesDB}}},
        {QStringLiteral("fuzz_itunescdb"),
         {{QStringLiteral("sample"), ITunesDBWriter::toCDB(iTunesDB)}}},
        {QStringLiteral("fuzz_inflate"), {{QStringLiteral("sample"), zlibCompress(iTunesDB)}}},
        {QStringLiteral("fuzz_library_itdb"), libraryItdbSeeds()},
        {QStringLiteral("fuzz_medialibrary_sqlitedb"), mediaLibrarySeeds()},
        {QStringLiteral("fuzz_mbdb"), mbdbSeeds()},
        {QStringLiteral("fuzz_mbdx"), mbdxSeeds()},
        {QStringLiteral("fuzz_manifest_db"), manifestDbSeeds()},
        {QStringLiteral("fuzz_cpio"), cpioSeeds()},
        {QStringLiteral("fuzz_lockdown_message"), lockdownSeeds()},
        {QStringLiteral("fuzz_call_history"), callHistorySeeds()},
        {QStringLiteral("fuzz_safari"), safariSeeds()},
        {QStringLiteral("fuzz_calendar"), calendarSeeds()},
        {QStringLiteral("fuzz_books_list"), booksListSeeds()},
        {QStringLiteral("fuzz_artworkdb"), imageDatabaseSeeds()},
        {QStringLiteral("fuzz_photo_database"), imageDatabaseSeeds()},
    };
    const QDir root(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (const auto& entry : targets) {
        const QString& target = entry.first;
        const Seeds& seeds = entry.second;
        QDir dir(root.filePath(target));
        if (!dir.mkpath(QStringLiteral("."))) {
            std::fprintf(stderr, "%s: the folder could not be made\n", qPrintable(dir.path()));
            return 1;
        }
        int written = 0;
        for (const auto& [name, bytes] : seeds) {
            QFile file(dir.filePath(name));
            if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly)
                || file.write(bytes) != bytes.size()) {
                std::fprintf(stderr, "%s: seed %s could not be made\n", qPrintable(target),
                             qPrintable(name));
                ++failures;
                continue;
            }
            ++written;
        }
        std::printf("%-28s %d seeds\n", qPrintable(target), written);
    }
    return failures == 0 ? 0 : 1;
}
