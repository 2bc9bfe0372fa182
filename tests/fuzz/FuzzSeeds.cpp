// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of every harness, one folder each under the folder
// given, with the tests' own fixture writers: sound files of each format, so
// the fuzzers start from inputs that reach deep into the readers.
#include <cstdio>
#include <functional>

#include <sqlite3.h>
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
#include "NoteStoreFixture.h"
#include "PhotosDbFixture.h"
#include "Plist.h"
#include "SQLiteDamage.h"
#include "SafariFixture.h"
#include "SimulatedDeviceBuilder.h"
#include "SmsDbBuilder.h"
#include "VoicemailFixture.h"
#include "WhatsAppDbBuilder.h"

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

// Note bodies compressed both ways, with every attachment kind, and the
// inflated messages the walker reads; a table attachment's data too.
Seeds noteBodySeeds()
{
    using namespace NoteStoreFixture;
    const QString f(QChar(0xFFFC));
    const QString text = QStringLiteral("Trip\n") + f + QStringLiteral("\nand\n") + f
        + QStringLiteral("\n") + f + QStringLiteral("\n") + f;
    const QList<Attachment> attachments{
        {QStringLiteral("00000000-0000-4000-8000-000000000001"), QStringLiteral("public.jpeg")},
        {QStringLiteral("00000000-0000-4000-8000-000000000002"),
         QStringLiteral("com.apple.notes.table")},
        {QStringLiteral("00000000-0000-4000-8000-000000000003"),
         QStringLiteral("com.apple.drawing.2")},
        {QStringLiteral("00000000-0000-4000-8000-000000000004"),
         QStringLiteral("com.apple.quicktime-movie")},
    };
    const QByteArray message = noteBodyMessage(text, attachments);
    return {
        {QStringLiteral("gzip"), compress(message, Wrapper::Gzip)},
        {QStringLiteral("zlib"), compress(message, Wrapper::Zlib)},
        {QStringLiteral("inflated"), message},
        {QStringLiteral("text-only"), noteBody(QStringLiteral("Shopping\nmilk\n\teggs"))},
        {QStringLiteral("table"),
         tableMergeableData({{QStringLiteral("Item"), QStringLiteral("Cost")},
                             {QStringLiteral("Ferry"), QStringLiteral("84")}})},
        {QStringLiteral("table-cycle"),
         tableMergeableData({{QStringLiteral("a"), QStringLiteral("b")}},
                            TableFault::CellsNameThemselves)},
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

// One database holding the tables of several, for the harnesses that read
// the same bytes as two files (a reader and the database that names its
// people): the first database with every table of the others copied in.
QByteArray mergedDatabases(const QList<QByteArray>& databases)
{
    QTemporaryDir dir;
    const auto save = [&dir](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QString path = dir.filePath(QStringLiteral("merged"));
    if (databases.isEmpty() || !save(QStringLiteral("merged"), databases.first()))
        return {};
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK;
    const auto run = [&db](const QString& sql) {
        return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    for (qsizetype i = 1; ok && i < databases.size(); ++i) {
        // The folder is ours, so its path needs no quoting beyond the quotes.
        ok = save(QStringLiteral("other"), databases.at(i))
            && run(QStringLiteral("ATTACH DATABASE '%1' AS other")
                       .arg(dir.filePath(QStringLiteral("other"))));
        QList<QPair<QString, QString>> tables;
        sqlite3_stmt* list = nullptr;
        if (ok
            && sqlite3_prepare_v2(db,
                                  "SELECT name, sql FROM other.sqlite_master WHERE type = 'table' "
                                  "AND name NOT LIKE 'sqlite_%'",
                                  -1, &list, nullptr)
                == SQLITE_OK) {
            const auto column = [&list](int i) {
                return QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(list, i)));
            };
            while (sqlite3_step(list) == SQLITE_ROW)
                tables.append({column(0), column(1)});
        }
        sqlite3_finalize(list);
        for (const auto& [name, sql] : tables)
            ok =
                ok && run(sql)
                && run(
                    QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM other.\"%1\"").arg(name));
        ok = ok && run(QStringLiteral("DETACH DATABASE other"));
    }
    sqlite3_close(db);
    return ok ? readAll(path) : QByteArray();
}

Seeds typedStreamSeeds()
{
    return {
        {QStringLiteral("text"), SmsDbBuilder::attributedBody(QStringLiteral("Grüße 👋 & <b>"))},
        {QStringLiteral("long"), SmsDbBuilder::attributedBody(QString(300, QLatin1Char('x')))},
        {QStringLiteral("strings"),
         SmsDbBuilder::archivedStrings({QStringLiteral("at_0_1234-ABCD"), QStringLiteral("b")})},
    };
}

Seeds messagesSeeds()
{
    Seeds seeds;
    SmsDbBuilder chats;
    const qint64 ann = chats.handle(QStringLiteral("+15550100123"));
    const qint64 bob = chats.handle(QStringLiteral("bob@example.com"), QStringLiteral("iMessage"));
    const qint64 group = chats.chat({ann, bob});
    SmsDbBuilder::ChatMessage plain;
    plain.chat = group;
    plain.handle = ann;
    plain.text = QStringLiteral("hi <there>");
    plain.date = 700000000;
    chats.chatMessage(plain);
    SmsDbBuilder::ChatMessage archived;
    archived.chat = chats.chat({bob});
    archived.handle = bob;
    archived.attributedBody = SmsDbBuilder::attributedBody(QStringLiteral("only archived"));
    archived.date = 700000000LL * 1000000000LL;
    archived.fromMe = true;
    archived.service = QStringLiteral("iMessage");
    archived.attachments = {
        {QStringLiteral("~/Library/SMS/Attachments/a.jpg"), QStringLiteral("image/jpeg")}};
    chats.chatMessage(archived);
    SmsDbBuilder::ChatMessage lost;
    lost.handle = ann;
    lost.text = QStringLiteral("in no chat");
    lost.date = 700000100;
    chats.chatMessage(lost);
    seeds.append(
        {QStringLiteral("chat"), written([&](const QString& p) { return chats.write(p); })});

    SmsDbBuilder groups;
    groups.setMessageGroupLegacy(true);
    SmsDbBuilder::GroupMessage message;
    message.group =
        groups.messageGroup({QStringLiteral("+15550100123"), QStringLiteral("5550199")});
    message.text = QStringLiteral("old");
    message.date = 1300000000;
    message.parts = {{QStringLiteral("text/plain"), QStringLiteral("text_0001.txt"),
                      QStringLiteral("a part"), 0},
                     {QStringLiteral("image/jpeg"), QStringLiteral("IMG_0001.jpg"), QVariant(), 1}};
    groups.groupMessage(message);
    seeds.append(
        {QStringLiteral("groups"), written([&](const QString& p) { return groups.write(p); })});

    SmsDbBuilder madrid;
    madrid.madridChat(QStringLiteral("chat1"),
                      {QStringLiteral("+15550100123"), QStringLiteral("e@example.com")});
    SmsDbBuilder::MadridMessage im;
    im.handle = QStringLiteral("+15550100123");
    im.roomname = QStringLiteral("chat1");
    im.text = QStringLiteral("madrid");
    im.date = 300000000;
    im.attachmentGuids = {QStringLiteral("guid-1")};
    madrid.madridMessage(im);
    madrid.madridAttachment(QStringLiteral("guid-1"), QStringLiteral("/var/mobile/a.png"),
                            QStringLiteral("image/png"));
    seeds.append(
        {QStringLiteral("madrid"), written([&](const QString& p) { return madrid.write(p); })});

    SmsDbBuilder handles;
    handles.setChatTables(false);
    SmsDbBuilder::ChatMessage alone;
    alone.handle = handles.handle(QStringLiteral("+15550100123"));
    alone.text = QStringLiteral("no chats");
    alone.date = 700000000;
    handles.chatMessage(alone);
    seeds.append(
        {QStringLiteral("handles"), written([&](const QString& p) { return handles.write(p); })});
    return seeds;
}

Seeds whatsAppSeeds()
{
    WhatsAppDbBuilder db;
    db.chat(QStringLiteral("Ann"), 7);
    const qint64 carl = db.chat(QStringLiteral("Carl"));
    const qint64 group = db.chat(QStringLiteral("Club"), 0, 1);
    db.groupMember(group, QStringLiteral("Dee"), QStringLiteral("4915550100@s.whatsapp.net"));
    db.message({.chat = carl, .date = 600000000.5, .text = QStringLiteral("hello")});
    db.message({.chat = group,
                .fromMe = true,
                .date = 600000100,
                .type = WhatsAppDbBuilder::Image,
                .mediaPath = QStringLiteral("Media/a.jpg")});
    db.message({.chat = group,
                .date = QVariant(),
                .type = WhatsAppDbBuilder::Video,
                .fromJid = QStringLiteral("4915550100@s.whatsapp.net"),
                .mediaPath = QString()});
    db.contact(7, QStringLiteral("Ann"), QStringLiteral("Ann Lee"), 2);
    const QByteArray chats = written([&](const QString& p) { return db.writeChatStorage(p); });
    const QByteArray contacts = written([&](const QString& p) { return db.writeContacts(p); });
    // Chat pages that point back at one another, which once answered chats
    // without end until the reader ran out of memory.
    WhatsAppDbBuilder many;
    for (int i = 1; i <= 400; ++i)
        many.chat(QStringLiteral("Chat %1 with a name long enough to fill pages").arg(i));
    const QByteArray repeating = written([&](const QString& p) {
        return many.writeChatStorage(p)
            && SQLiteDamage::repeatRows(p, QStringLiteral("ZWACHATSESSION"), 6, 40);
    });
    db.setSessionTypeColumn(false);
    return {
        {QStringLiteral("chats"), chats},
        {QStringLiteral("repeating-pages"), repeating},
        {QStringLiteral("chats-and-contacts"), mergedDatabases({chats, contacts})},
        {QStringLiteral("no-session-type"),
         written([&](const QString& p) { return db.writeChatStorage(p); })},
    };
}

AddressBookFixture seedAddressBook()
{
    AddressBookFixture book;
    AddressBookFixture::Person ann = AddressBookFixture::Person::named(
        QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("Acme"));
    ann.note = QStringLiteral("line one\nline two; with, commas");
    ann.birthday = QStringLiteral("339163200");
    const qint64 first = book.person(ann);
    book.phone(first, QStringLiteral("+1 (555) 010-0123"), QStringLiteral("_$!<Mobile>!$_"));
    book.email(first, QStringLiteral("ann@example.com"), QStringLiteral("custom label"));
    book.address(first,
                 {{QStringLiteral("Street"), QStringLiteral("1 Main St")},
                  {QStringLiteral("City"), QStringLiteral("Springfield")},
                  {QStringLiteral("CountryCode"), QStringLiteral("us")}},
                 QStringLiteral("_$!<Home>!$_"));
    book.url(first, QStringLiteral("https://example.com"));
    const qint64 again = book.person(
        AddressBookFixture::Person::named(QStringLiteral("ann"), QStringLiteral("Lee ")));
    book.phone(again, QStringLiteral("5550199"));
    book.person(AddressBookFixture::Person());
    book.setHasDeletedLabelRow(true);
    return book;
}

Seeds contactsSeeds()
{
    const AddressBookFixture book = seedAddressBook();
    const QByteArray people = written([&](const QString& p) { return book.write(p); });
    AddressBookImagesFixture images({AddressBookImagesFixture::Table::ABImage,
                                     AddressBookImagesFixture::Table::ABThumbnailImage});
    images.image(1, QByteArray("\x89PNG\r\n\x1a\n", 8));
    images.image(2, QByteArray("thumbnail"), AddressBookImagesFixture::Table::ABThumbnailImage);
    const QByteArray pictures = written([&](const QString& p) { return images.write(p); });
    // People pages that point back at one another, which once made every
    // repeat a duplicate to merge.
    AddressBookFixture many;
    for (int i = 1; i <= 400; ++i)
        many.person(AddressBookFixture::Person::named(
            QStringLiteral("Given%1 with a long enough name").arg(i), QStringLiteral("Family")));
    const QByteArray repeating = written([&](const QString& p) {
        return many.write(p) && SQLiteDamage::repeatRows(p, QStringLiteral("ABPerson"), 4, 6);
    });
    return {
        {QStringLiteral("repeating-pages"), repeating},
        {QStringLiteral("book"), people},
        {QStringLiteral("demo"),
         written([](const QString& p) { return AddressBookFixture::demo().write(p); })},
        {QStringLiteral("book-and-pictures"), mergedDatabases({people, pictures})},
    };
}

Seeds voicemailSeeds()
{
    using namespace VoicemailFixture;
    const QList<Voicemail> voicemails{
        {QStringLiteral("+15550100123"), 1600000000, 12, 1, 0},
        {QVariant(), 1600000100, 3, 0, 600000000},
        {QStringLiteral("ann@example.com"), 1600000200, 40, 1, 0},
        {QStringLiteral(""), 1600000300, 1, 1, 0},
    };
    const QByteArray index =
        written([&](const QString& p) { return writeVoicemailDb(p, voicemails); });
    const AddressBookFixture book = seedAddressBook();
    const QByteArray named =
        written([&](const QString& p) { return book.write(p) && addFullTextSearch(p, book); });
    Schema older;
    older.trashedDate = false;
    return {
        {QStringLiteral("index"), index},
        {QStringLiteral("older"),
         written([&](const QString& p) { return writeVoicemailDb(p, voicemails, older); })},
        {QStringLiteral("index-and-book"), mergedDatabases({index, named})},
    };
}

Seeds photosDbSeeds()
{
    using namespace PhotosDbFixture;
    QList<Asset> assets;
    for (qint64 pk = 1; pk <= 3; ++pk) {
        Asset asset;
        asset.pk = pk;
        asset.fileName = QStringLiteral("IMG_000%1.JPG").arg(pk);
        asset.created = 700000000 + double(pk);
        asset.sortToken = double(pk);
        asset.thumbnailIndex = int(pk);
        assets.append(asset);
    }
    assets[1].fileName = QStringLiteral("IMG_0002.MOV");
    assets[1].kind = 1;
    assets[1].favorite = 1;
    assets[2].trashed = 700000500.0;
    assets[2].adjusted = true;
    assets[2].cloudGuid = QStringLiteral("cloud-guid");
    const QList<AlbumRow> albums{{1, 2, QStringLiteral("Holidays"), {1, 2}},
                                 {2, 1505, QStringLiteral("Stream"), {3}},
                                 {3, QVariant(), QVariant(), {}},
                                 {4, 1602, QString(), {1}}};
    Schema older;
    Schema newer;
    newer.assetTable = QStringLiteral("ZASSET");
    newer.assetKind = true;
    newer.hdr = Schema::Hdr::Asset;
    newer.membershipTables = {};
    newer.entityMembership = true;
    newer.cloudMasterTable = true;
    newer.cloudAssetGuid = true;
    newer.attributesCloudMaster = true;
    newer.attributeKeysDiffer = true;
    newer.unmanagedAdjustment = true;
    return {
        {QStringLiteral("generic-asset"),
         written([&](const QString& p) { return write(p, older, assets, albums); })},
        {QStringLiteral("asset"),
         written([&](const QString& p) { return write(p, newer, assets, albums); })},
    };
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
        {QStringLiteral("fuzz_note_body"), noteBodySeeds()},
        {QStringLiteral("fuzz_artworkdb"), imageDatabaseSeeds()},
        {QStringLiteral("fuzz_photo_database"), imageDatabaseSeeds()},
        {QStringLiteral("fuzz_typedstream"), typedStreamSeeds()},
        {QStringLiteral("fuzz_messages"), messagesSeeds()},
        {QStringLiteral("fuzz_whatsapp"), whatsAppSeeds()},
        {QStringLiteral("fuzz_contacts"), contactsSeeds()},
        {QStringLiteral("fuzz_voicemail"), voicemailSeeds()},
        {QStringLiteral("fuzz_photos_db"), photosDbSeeds()},
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
