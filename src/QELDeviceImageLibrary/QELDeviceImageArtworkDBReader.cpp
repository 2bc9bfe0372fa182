// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImageArtworkDBReader.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QtEndian>

#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELBinaryFileHandle.h"
#include "QELImageStore.h"
#include "ThreadCheck.h"

namespace {

// The fixed parts of the records, as far as the reader takes fields from them.
constexpr int kFileHeader = 132;     // mhfd
constexpr int kDataSetHeader = 96;   // mhsd
constexpr int kListHeader = 12;      // mhli, mhla, mhlf
constexpr int kImageHeader = 48;     // mhii
constexpr int kObjectHeader = 16;    // mhod: tag, lengths, type
constexpr int kContainerHeader = 24; // mhod of type 2 or 5, before its mhni
constexpr int kLocationHeader = 36;  // mhni
constexpr int kNameHeader = 36;      // the name mhod, before the name
constexpr int kAlbumHeader = 32;     // mhba
constexpr int kAlbumItem = 40;       // one item of an album
constexpr int kFileRecord = 24;      // mhif
// No file or album name of a device comes near this.
constexpr quint64 kMaxNameBytes = 1 << 20;

// The fixed part of a record that has been read, with its fields by offset.
struct Record {
    quint64 start = 0;
    QByteArray bytes;

    quint32 u32(int offset) const { return qFromLittleEndian<quint32>(bytes.constData() + offset); }
    quint16 u16(int offset) const { return qFromLittleEndian<quint16>(bytes.constData() + offset); }
    QByteArray tag() const { return bytes.left(4); }
};

} // namespace

struct QELDeviceImageArtworkDBReader::Read {
    QELBinaryFileHandle& handle;
    QELImageStore& store;
    QString reason;
    // Device paths by name as stored: the sizes of many images share a file.
    QHash<QString, QString> paths;

    bool fail(const QString& why)
    {
        if (reason.isEmpty())
            reason = why;
        return false;
    }
    quint64 position() const { return handle.position(); }

    // Reads the first `fixed` bytes of a record at the current position, which
    // must lie before `end`, and checks its tag (none: any tag).
    std::optional<Record> record(const char* tag, int fixed, quint64 end)
    {
        Record r;
        r.start = position();
        if (r.start > end || end - r.start < quint64(fixed)) {
            fail(QStringLiteral("the %1 at byte %2 is cut off")
                     .arg(QLatin1String(tag ? tag : "record"))
                     .arg(r.start));
            return std::nullopt;
        }
        r.bytes = handle.readDataOfLength(fixed);
        if (handle.hitEnd() || r.bytes.size() != fixed) {
            fail(QStringLiteral("the file ends inside the record at byte %1").arg(r.start));
            return std::nullopt;
        }
        if (tag && r.tag() != QByteArray(tag)) {
            fail(QStringLiteral("expected %1 at byte %2, found \"%3\"")
                     .arg(QLatin1String(tag))
                     .arg(r.start)
                     .arg(QString::fromLatin1(r.tag().toHex())));
            return std::nullopt;
        }
        return r;
    }

    // A length a record declares: at least the part of the record read from
    // it, and within `end`.
    bool length(const Record& r, const char* what, quint64 value, quint64 least, quint64 end)
    {
        if (value < least || r.start + value > end)
            return fail(QStringLiteral("%1 %2 of the record at byte %3 does not fit (%4 to %5)")
                            .arg(QLatin1String(what))
                            .arg(value)
                            .arg(r.start)
                            .arg(least)
                            .arg(end - r.start));
        return true;
    }

    // A count the bytes from `from` to `end` must be able to hold, each item
    // taking at least `itemSize` bytes.
    bool count(const Record& r, const char* what, quint64 value, quint64 from, quint64 end,
               quint64 itemSize)
    {
        const quint64 room = end > from ? end - from : 0;
        if (value > room / itemSize)
            return fail(QStringLiteral("%1 %2 of the record at byte %3 cannot fit in %4 bytes")
                            .arg(QLatin1String(what))
                            .arg(value)
                            .arg(r.start)
                            .arg(room));
        return true;
    }

    // Moves forward to `target`; a move backwards or past the file fails.
    bool moveTo(quint64 target)
    {
        const quint64 at = position();
        if (target < at || target > handle.size())
            return fail(
                QStringLiteral("a skip from byte %1 to %2 does not move forward inside the file")
                    .arg(at)
                    .arg(target));
        quint64 left = target - at;
        while (left > 0) {
            const int step = int(std::min<quint64>(left, 1u << 30));
            handle.skipBytes(step);
            left -= quint64(step);
        }
        return !handle.hitEnd() || fail(QStringLiteral("the file ends before byte %1").arg(target));
    }

    // A name is padded to the next multiple of four bytes at most, so a name
    // length that disagrees with its record's length shows.
    bool padding(const Record& r, quint64 bytes)
    {
        if (bytes > 3)
            return fail(QStringLiteral("the name of the record at byte %1 is followed by %2 "
                                       "bytes that are not its padding")
                            .arg(r.start)
                            .arg(bytes));
        return true;
    }

    struct Name {
        Record record;
        quint64 total = 0;  // the record's whole length, padding included
        quint64 length = 0; // the name's bytes
    };
    // The name record (mhod) at the current position, within `end`: every
    // length checked, at most three bytes of padding, the name no longer than
    // the cap. The reader stands at the name's first byte. `what` names the
    // name in the reason of a failure ("name", "album name").
    std::optional<Name> name(quint64 end, const char* what)
    {
        const std::optional<Record> r = record("mhod", kNameHeader, end);
        if (!r)
            return std::nullopt;
        Name n{*r, r->u32(8), r->u32(24)};
        const quint64 header = r->u32(4);
        if (!length(*r, "the total length", n.total, kNameHeader, end)
            || !length(*r, "the header length", header, kContainerHeader, r->start + n.total)
            || !length(*r, "the name length", kNameHeader + n.length, kNameHeader,
                       r->start + n.total)
            || !padding(*r, n.total - kNameHeader - n.length))
            return std::nullopt;
        if (n.length > kMaxNameBytes) {
            fail(QStringLiteral("the %1 at byte %2 is %3 bytes long")
                     .arg(QLatin1String(what))
                     .arg(r->start + kNameHeader)
                     .arg(n.length));
            return std::nullopt;
        }
        return n;
    }

    // The children of a record must end where the record does.
    bool filled(const char* what, const Record& r, quint64 end)
    {
        if (position() != end)
            return fail(QStringLiteral("the %1 at byte %2 ends at byte %3, its children at byte %4")
                            .arg(QLatin1String(what))
                            .arg(r.start)
                            .arg(end)
                            .arg(position()));
        return true;
    }
};

QELDeviceImageArtworkDBReader::QELDeviceImageArtworkDBReader(const QString& directoryContent,
                                                             const QString& databaseFileName,
                                                             const QString& storeName)
    : QELDeviceImageLibraryReader(directoryContent, databaseFileName, storeName)
{
}

std::unique_ptr<QELDeviceImageArtworkDBReader> QELDeviceImageArtworkDBReader::create(
    const QString& directoryContent, const QString& databaseFileName, const QString& storeName)
{
    std::unique_ptr<QELDeviceImageArtworkDBReader> reader(
        new QELDeviceImageArtworkDBReader(directoryContent, databaseFileName, storeName));
    if (!reader->store())
        return nullptr;
    return reader;
}

std::optional<qint64> QELDeviceImageArtworkDBReader::imageFormatForCorrelationID(qint64 id)
{
    switch (id) {
    case 4005:
    case 4035:
    case 4036:
        return 0;
    case 3001:
    case 3002:
    case 3003:
    case 3005:
    case 3008:
    case 3009:
    case 3011:
    case 3034:
    case 3039:
    case 3105:
    case 3107:
        return 1;
    case 1005:
    case 1007:
    case 1010:
    case 1015:
    case 1016:
    case 1024:
    case 1028:
    case 1029:
    case 1055:
    case 1060:
    case 1061:
    case 1073:
    case 1079:
    case 1087:
    case 1092:
    case 1093:
        return 2;
    default:
        return std::nullopt;
    }
}

const QList<qint64>& QELDeviceImageArtworkDBReader::preferredCorrelationIDs()
{
    // The image-file sizes come last: artwork that a device keeps only as a
    // file of its own is found as well.
    static const QList<qint64> ids{3005, 3009, 3105, 3107, 3002, 3001, 3103, 1093, 1010,
                                   1060, 1073, 1029, 1016, 1055, 1027, 1028, 1061, 1073,
                                   1015, 1024, 1079, 1087, 1092, 1093, 4005, 4035, 4036};
    return ids;
}

bool QELDeviceImageArtworkDBReader::readImageDatabase()
{
    assertNotOnGuiThread();
    m_failureReason.clear();
    const QString path = QDir(directoryContent()).filePath(databaseFileName());
    bool result = false;
    if (!store())
        m_failureReason = QStringLiteral("the image store could not be set up");
    else if (directoryContent().isEmpty() || !QFileInfo(path).isFile())
        m_failureReason = QStringLiteral("%1 does not exist").arg(path);
    else
        result = _readLibraryAtPath(path);
    if (!result)
        qCWarning(lcOrvane).noquote()
            << "The image database" << path << "could not be read:" << m_failureReason;
    if (QELDeviceImageLibraryEventProtocol* d = delegate())
        d->OnDeviceImageLibraryDatabaseReadComplete(
            QELDeviceImageLibraryDatabaseReadCompleteArguments(result, QString()));
    return result;
}

void QELDeviceImageArtworkDBReader::saveStore() const
{
    QString error;
    if (!store()->save(&error)) {
        qCWarning(lcOrvane) << "Error comitting";
        qCWarning(lcOrvane).noquote() << error;
    }
}

bool QELDeviceImageArtworkDBReader::_readLibraryAtPath(const QString& path)
{
    // The handle closes the file on every way out.
    QELBinaryFileHandle handle(path);
    if (!handle.isOpen()) {
        m_failureReason = QStringLiteral("%1 does not open").arg(path);
        return false;
    }
    Read read{handle, *store(), QString(), {}};
    // The store's file is written once per read, since each write is of the
    // whole store: at the end, or, for a read that fails after reaching the
    // album list, with what it had made (the images at least, as before).
    bool albumsReached = false;
    const auto failed = [&] {
        m_failureReason = read.reason;
        if (albumsReached)
            saveStore();
        return false;
    };
    if (handle.size() == 0) {
        m_failureReason = QStringLiteral("the file is empty");
        return false;
    }
    const std::optional<Record> file = read.record("mhfd", kFileHeader, handle.size());
    if (!file)
        return failed();
    const quint64 header = file->u32(4);
    const quint64 total = file->u32(8);
    const quint64 dataSets = file->u32(20);
    // Bytes after the file record's own length are not part of the database.
    if (!read.length(*file, "the total length", total, kFileHeader, handle.size())
        || !read.length(*file, "the header length", header, kFileHeader, file->start + total)
        || !read.count(*file, "the data set count", dataSets, file->start + header,
                       file->start + total, kDataSetHeader)
        || !read.moveTo(file->start + header))
        return failed();
    const quint64 fileEnd = file->start + total;
    for (quint64 i = 0; i < dataSets; ++i) {
        const std::optional<Record> set = read.record("mhsd", kObjectHeader, fileEnd);
        if (!set)
            return failed();
        const quint64 setHeader = set->u32(4);
        const quint64 setTotal = set->u32(8);
        const quint32 type = set->u32(12);
        if (!read.length(*set, "the total length", setTotal, kDataSetHeader, fileEnd)
            || !read.length(*set, "the header length", setHeader, kDataSetHeader,
                            set->start + setTotal))
            return failed();
        const quint64 setEnd = set->start + setTotal;
        bool ok = true;
        switch (type) {
        case 1:
            ok = read.moveTo(set->start + setHeader) && _readImageListWithHandle(read, setEnd);
            break;
        case 2:
            albumsReached = true;
            ok = read.moveTo(set->start + setHeader) && _readImageAlbumsWithHandle(read, setEnd);
            break;
        case 3:
            sendProgress(QStringLiteral("Reading file list..."), std::nullopt, std::nullopt);
            ok = read.moveTo(set->start + setHeader) && _readImageFilesWithHandle(read, setEnd);
            break;
        default:
            // A data set of a kind this reader does not know (newer devices
            // add some) is stepped over whole; the ones after it still count.
            ok = read.moveTo(setEnd);
            break;
        }
        if (!ok || !read.filled("data set", *set, setEnd))
            return failed();
    }
    if (!read.filled("file header", *file, fileEnd))
        return failed();
    handle.closeFile();
    saveStore();
    return true;
}

bool QELDeviceImageArtworkDBReader::_readImageListWithHandle(Read& read, quint64 end)
{
    const std::optional<Record> list = read.record("mhli", kListHeader, end);
    if (!list)
        return false;
    const quint64 header = list->u32(4);
    const quint64 images = list->u32(8);
    if (!read.length(*list, "the header length", header, kListHeader, end)
        || !read.count(*list, "the image count", images, list->start + header, end, kImageHeader)
        || !read.moveTo(list->start + header))
        return false;
    for (quint64 i = 0; i < images; ++i)
        if (!readImage(read, end, qint64(i), qint64(images)))
            return false;
    return true;
}

bool QELDeviceImageArtworkDBReader::readImage(Read& read, quint64 end, qint64 index, qint64 total)
{
    const std::optional<Record> image = read.record("mhii", kImageHeader, end);
    if (!image)
        return false;
    sendProgress(L("READINGMAINPHOTOLIBRARY"), index, total);
    const quint64 header = image->u32(4);
    const quint64 length = image->u32(8);
    const quint64 children = image->u32(12);
    if (!read.length(*image, "the total length", length, kImageHeader, end)
        || !read.length(*image, "the header length", header, kImageHeader, image->start + length)
        || !read.count(*image, "the data object count", children, image->start + header,
                       image->start + length, kObjectHeader))
        return false;
    const quint64 imageEnd = image->start + length;
    auto list = std::make_shared<ImageList>();
    list->photoID = image->u32(16);
    list->songID = image->u32(20);
    list->rating = image->u32(28);
    if (const quint32 seconds = image->u32(40))
        list->date = DeviceTime::fromMacHfsSeconds(seconds);
    list->sourceByteSize = image->u32(44);
    if (!read.moveTo(image->start + header))
        return false;
    for (quint64 i = 0; i < children; ++i) {
        const std::optional<Record> object = read.record("mhod", kObjectHeader, imageEnd);
        if (!object)
            return false;
        const quint64 objectHeader = object->u32(4);
        const quint64 objectLength = object->u32(8);
        const quint32 type = object->u32(12);
        const bool container = type == 2 || type == 5;
        const quint64 least = container ? kContainerHeader : kObjectHeader;
        if (!read.length(*object, "the total length", objectLength, least, imageEnd)
            || !read.length(*object, "the header length", objectHeader, least,
                            object->start + objectLength))
            return false;
        const quint64 objectEnd = object->start + objectLength;
        if (!container) {
            if (!read.moveTo(objectEnd))
                return false;
            continue;
        }
        if (!read.moveTo(object->start + objectHeader) || !readPicture(read, objectEnd, type, *list)
            || !read.filled("data object", *object, objectEnd))
            return false;
    }
    if (!read.filled("image", *image, imageEnd))
        return false;
    read.store.addImageList(list);
    return true;
}

QString QELDeviceImageArtworkDBReader::devicePathForName(const QString& name) const
{
    QString relative = name;
    relative.replace(QLatin1Char(':'), QLatin1Char('/'));
    // Doubled separators collapse, and ".." never climbs above the device's
    // root, so a name cannot reach outside the device's own files.
    QStringList parts;
    for (const QString& part : (libraryDirectoryOnDevice() + QLatin1Char('/') + relative)
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool QELDeviceImageArtworkDBReader::readPicture(Read& read, quint64 end, qint64 containerType,
                                                ImageList& list)
{
    const std::optional<Record> location = read.record("mhni", kLocationHeader, end);
    if (!location)
        return false;
    const quint64 header = location->u32(4);
    const quint64 length = location->u32(8);
    const quint64 children = location->u32(12);
    if (!read.length(*location, "the total length", length, kLocationHeader, end)
        || !read.length(*location, "the header length", header, kLocationHeader,
                        location->start + length))
        return false;
    const quint64 locationEnd = location->start + length;
    // The picture's name is its one child.
    if (children == 0)
        return read.fail(QStringLiteral("the mhni at byte %1 has no name").arg(location->start));
    if (!read.count(*location, "the child count", children, location->start + header, locationEnd,
                    kNameHeader))
        return false;

    auto detail = std::make_shared<ImageDetail>();
    detail->imageID = list.photoID;
    detail->dateCreated = list.date;
    detail->title = QStringLiteral("image_%1.jpg").arg(list.songID.value_or(0));
    const qint64 correlationID = location->u32(16);
    detail->mhifReference = correlationID;
    detail->imageFormat = imageFormatForCorrelationID(correlationID);
    detail->dataSize = location->u32(24);
    detail->verticalPadding = location->u16(28);
    detail->horizontalPadding = location->u16(30);
    detail->height = location->u16(32);
    detail->width = location->u16(34);
    const qint64 offset = location->u32(20);

    if (!read.moveTo(location->start + header))
        return false;
    const std::optional<Read::Name> name = read.name(locationEnd, "name");
    if (!name)
        return false;
    const QString text = read.handle.readUTF16StringOfLength(int(name->length));
    if (read.handle.hitEnd())
        return read.fail(QStringLiteral("the file ends inside the name at byte %1")
                             .arg(name->record.start + kNameHeader));
    // The record's own length takes the reader past the name's padding, which
    // only equals the old "skip position mod 4" rule for well-formed files.
    if (!read.moveTo(name->record.start + name->total) || !read.moveTo(locationEnd))
        return false;

    auto known = read.paths.constFind(text);
    if (known == read.paths.constEnd())
        known = read.paths.insert(text, devicePathForName(text));
    const QString& path = *known;
    if (containerType == 5 || detail->imageFormat == 0) {
        detail->fullImagePath = path;
    } else {
        detail->thumbnailPath = path;
        detail->thumbnailOffset = offset;
    }
    read.store.addImage(detail);
    list.imageDetails.push_back(detail);
    return true;
}

bool QELDeviceImageArtworkDBReader::_readImageAlbumsWithHandle(Read& read, quint64 end)
{
    const std::optional<Record> list = read.record("mhla", kListHeader, end);
    if (!list)
        return false;
    const quint64 header = list->u32(4);
    const quint64 albums = list->u32(8);
    if (!read.length(*list, "the header length", header, kListHeader, end)
        || !read.count(*list, "the album count", albums, list->start + header, end, kAlbumHeader)
        || !read.moveTo(list->start + header))
        return false;
    for (quint64 i = 0; i < albums; ++i)
        if (!readAlbum(read, end, qint64(i), qint64(albums), 1000 + qint64(i)))
            return false;
    return true;
}

bool QELDeviceImageArtworkDBReader::readAlbum(Read& read, quint64 end, qint64 index, qint64 total,
                                              qint64 albumID)
{
    const std::optional<Record> album = read.record("mhba", kAlbumHeader, end);
    if (!album)
        return false;
    const quint64 header = album->u32(4);
    const quint64 length = album->u32(8);
    const qint32 objects = qint32(album->u32(12));
    const quint64 items = album->u32(16);
    const quint16 type = album->u16(30);
    if (!read.length(*album, "the total length", length, kAlbumHeader, end)
        || !read.length(*album, "the header length", header, kAlbumHeader, album->start + length))
        return false;
    const quint64 albumEnd = album->start + length;
    // The title is the first data object, so an album has at least one.
    if (objects < 1)
        return read.fail(QStringLiteral("the mhba at byte %1 counts %2 data objects")
                             .arg(album->start)
                             .arg(objects));
    if (!read.count(*album, "the data object count", quint64(objects), album->start + header,
                    albumEnd, kNameHeader)
        || !read.count(*album, "the item count", items, album->start + header, albumEnd, kAlbumItem)
        || !read.moveTo(album->start + header))
        return false;

    const std::optional<Read::Name> name = read.name(albumEnd, "album name");
    if (!name)
        return false;
    const QByteArray title = read.handle.readDataOfLength(int(name->length));
    if (read.handle.hitEnd())
        return read.fail(QStringLiteral("the file ends inside the album name at byte %1")
                             .arg(name->record.start + kNameHeader));

    auto record = std::make_shared<Album>();
    record->title = QString::fromUtf8(title);
    sendProgress(L("ANALYZINGALBUM").arg(record->title), index, total);
    switch (type) {
    case 1:
        record->kind = 1;
        record->title = L("ALLPHOTOS");
        break;
    case 12:
    case 15:
        record->kind = type;
        break;
    default:
        record->kind = 6;
        break;
    }
    record->id = albumID;
    if (!read.moveTo(name->record.start + name->total))
        return false;

    QList<qint64> members;
    quint64 taken = 0;
    // Further data objects of the album may stand among its items and after
    // them; each is stepped over whole.
    while (taken < items || read.position() < albumEnd) {
        const std::optional<Record> item = read.record(nullptr, kObjectHeader, albumEnd);
        if (!item)
            return false;
        if (item->tag() == "mhod") {
            const quint64 objectLength = item->u32(8);
            if (!read.length(*item, "the total length", objectLength, kObjectHeader, albumEnd)
                || !read.moveTo(item->start + objectLength))
                return false;
            continue;
        }
        if (taken == items)
            return read.filled("album", *album, albumEnd);
        const QByteArray rest = read.handle.readDataOfLength(kAlbumItem - kObjectHeader);
        if (read.handle.hitEnd() || item->start + kAlbumItem > albumEnd)
            return read.fail(
                QStringLiteral("the album item at byte %1 is cut off").arg(item->start));
        members.append(qFromLittleEndian<quint32>(rest.constData()));
        ++taken;
    }
    // An image the album lists twice is one member.
    QSet<qint64> seen;
    for (qint64 member : members) {
        if (seen.contains(member))
            continue;
        seen.insert(member);
        for (const ImageDetailPtr& image : read.store.imagesWithID(member))
            record->relationshipAssets.push_back(image);
    }
    read.store.addAlbum(record);
    return true;
}

bool QELDeviceImageArtworkDBReader::_readImageFilesWithHandle(Read& read, quint64 end)
{
    const std::optional<Record> list = read.record("mhlf", kListHeader, end);
    if (!list)
        return false;
    const quint64 header = list->u32(4);
    const quint64 files = list->u32(8);
    if (!read.length(*list, "the header length", header, kListHeader, end)
        || !read.count(*list, "the file count", files, list->start + header, end, kFileRecord)
        || !read.moveTo(list->start + header))
        return false;
    for (quint64 i = 0; i < files; ++i) {
        const std::optional<Record> file = read.record("mhif", kFileRecord, end);
        if (!file)
            return false;
        const quint64 fileHeader = file->u32(4);
        const quint64 length = file->u32(8);
        if (!read.length(*file, "the total length", length, kFileRecord, end)
            || !read.length(*file, "the header length", fileHeader, kFileRecord,
                            file->start + length))
            return false;
        auto detail = std::make_shared<FileDetail>();
        detail->correlationID = file->u32(16);
        detail->bytesSize = file->u32(20);
        read.store.addFileDetail(detail);
        if (!read.moveTo(file->start + length))
            return false;
    }
    return true;
}

ImageDetailPtr QELDeviceImageArtworkDBReader::getImageDetailForId(std::optional<qint64> id) const
{
    if (!id || !store())
        return nullptr;
    const QList<qint64>& preferred = preferredCorrelationIDs();
    for (const ImageListPtr& list : store()->listsWithPhotoID(*id)) {
        ImageDetailPtr best;
        for (const ImageDetailPtr& detail : list->imageDetails) {
            if (!detail->mhifReference || !preferred.contains(*detail->mhifReference))
                continue;
            if (!best || detail->height.value_or(-1) > best->height.value_or(-1))
                best = detail;
        }
        if (best)
            return best;
    }
    return nullptr;
}
