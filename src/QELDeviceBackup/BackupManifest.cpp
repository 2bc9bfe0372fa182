#include "BackupManifest.h"

#include <algorithm>
#include <cstring>

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BackupPathRules.h"
#include "Log.h"
#include "MbdbFormat.h"
#include "Plist.h"
#include "QELBinaryFileHandle.h"
#include "QELDeviceBackupBrowser.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"

namespace {

const QString kManifestDb = QStringLiteral("Manifest.db");
const QString kManifestMbdb = QStringLiteral("Manifest.mbdb");

BackupManifestEntry::Kind kindOfMode(uint16_t mode)
{
    switch (mode & 0xF000) {
    case 0x8000:
        return BackupManifestEntry::Kind::File;
    case 0x4000:
        return BackupManifestEntry::Kind::Directory;
    case 0xA000:
        return BackupManifestEntry::Kind::SymbolicLink;
    default:
        return BackupManifestEntry::Kind::Other;
    }
}

bool isSafeDomain(const QString& domain)
{
    return BackupPathRules::isPlainFileName(domain) && !domain.contains(QLatin1Char(','))
        && !domain.contains(QLatin1Char('\n')) && !domain.contains(QLatin1Char('\r'));
}

qint64 toInteger(const QVariant& value)
{
    return value.canConvert<qint64>() ? value.toLongLong() : 0;
}

// The archived file description of a Manifest.db row: sizes, mode and times
// live in the keyed archive's object table.
// An archived value: a UID names an object of the table; data is kept as
// NSData's "NS.data".
QByteArray archivedData(const QVariant& value, const QVariantList& objects)
{
    QVariant resolved = value;
    if (value.typeId() == QMetaType::ULongLong) {
        const quint64 index = value.toULongLong();
        if (index >= static_cast<quint64>(objects.size()))
            return {};
        resolved = objects.at(static_cast<qsizetype>(index));
    }
    if (resolved.typeId() == QMetaType::QByteArray)
        return resolved.toByteArray();
    const QVariant data = resolved.toMap().value(QStringLiteral("NS.data"));
    return data.typeId() == QMetaType::QByteArray ? data.toByteArray() : QByteArray();
}

void readFileProperties(const QByteArray& blob, BackupManifestEntry* entry)
{
    if (blob.isEmpty())
        return;
    const QVariantMap archive = Plist::parse(blob).toMap();
    const QVariantList objects = archive.value(QStringLiteral("$objects")).toList();
    for (const QVariant& object : objects) {
        const QVariantMap map = object.toMap();
        if (!map.contains(QStringLiteral("Size")) && !map.contains(QStringLiteral("Mode")))
            continue;
        entry->size = toInteger(map.value(QStringLiteral("Size")));
        entry->mode = static_cast<uint16_t>(toInteger(map.value(QStringLiteral("Mode"))));
        entry->userID = static_cast<uint32_t>(toInteger(map.value(QStringLiteral("UserID"))));
        entry->groupID = static_cast<uint32_t>(toInteger(map.value(QStringLiteral("GroupID"))));
        entry->modified = toInteger(map.value(QStringLiteral("LastModified")));
        entry->created = toInteger(map.value(QStringLiteral("Birth")));
        entry->accessed = toInteger(map.value(QStringLiteral("LastStatusChange")));
        entry->protectionClass =
            static_cast<uint8_t>(toInteger(map.value(QStringLiteral("ProtectionClass"))));
        entry->encryptionKey = archivedData(map.value(QStringLiteral("EncryptionKey")), objects);
        return;
    }
}

} // namespace

std::optional<BackupManifest::Generation> BackupManifest::generationOf(const QString& folder)
{
    if (QFileInfo(folder + QLatin1Char('/') + kManifestDb).isFile())
        return Generation::ManifestDb;
    if (QFileInfo(folder + QLatin1Char('/') + kManifestMbdb).isFile())
        return Generation::Mbdb;
    return std::nullopt;
}

std::optional<BackupManifest> BackupManifest::load(const QString& folder, QString* error,
                                                   const Limits& limits, bool* tooLarge)
{
    QString reason;
    BackupManifest manifest;
    manifest.m_limits = limits;
    manifest.m_folder = QDir::cleanPath(QDir(folder).absolutePath());
    const std::optional<Generation> generation = generationOf(manifest.m_folder);
    bool ok = false;
    if (!generation) {
        reason =
            QStringLiteral("The folder %1 holds no backup manifest (Manifest.db or Manifest.mbdb).")
                .arg(manifest.m_folder);
    } else {
        manifest.m_generation = *generation;
        ok = *generation == Generation::ManifestDb
            ? manifest.readManifestDb(manifest.m_folder + QLatin1Char('/') + kManifestDb, &reason)
            : manifest.readMbdb(&reason);
    }
    if (!ok) {
        if (error)
            *error = reason;
        if (tooLarge)
            *tooLarge = manifest.m_tooLarge;
        return std::nullopt;
    }
    manifest.buildIndex();
    return manifest;
}

std::optional<BackupManifest> BackupManifest::loadDatabase(const QString& folder,
                                                           const QString& databasePath,
                                                           QString* error, const Limits& limits,
                                                           bool* tooLarge)
{
    QString reason;
    BackupManifest manifest;
    manifest.m_limits = limits;
    manifest.m_folder = QDir::cleanPath(QDir(folder).absolutePath());
    manifest.m_generation = Generation::ManifestDb;
    if (!manifest.readManifestDb(databasePath, &reason)) {
        if (error)
            *error = reason;
        if (tooLarge)
            *tooLarge = manifest.m_tooLarge;
        return std::nullopt;
    }
    manifest.buildIndex();
    return manifest;
}

namespace {

// Most of a manifest's bytes sit in blocks of this size.
constexpr qsizetype kBlockSize = 8 << 20;
constexpr uint8_t kKindMask = 0x07;
// The path is kept as UTF-16: it holds a lone surrogate, which UTF-8 does
// not carry. Neither reader hands one over today (SQLite reads such bytes as
// U+FFFD, the mbdb reader refuses them), but a name is kept exactly, and a
// lookup of such a name must not find the one UTF-8 would turn it into.
constexpr uint8_t kPathIsUtf16 = 0x80;

void putNumber(QByteArray& out, quint64 value)
{
    do {
        const auto low = static_cast<char>(value & 0x7F);
        value >>= 7;
        out.append(value ? static_cast<char>(low | 0x80) : low);
    } while (value);
}

void putBytes(QByteArray& out, QByteArrayView bytes)
{
    putNumber(out, static_cast<quint64>(bytes.size()));
    out.append(bytes.data(), bytes.size());
}

// Reads back what putNumber and putBytes wrote, which only this file writes.
class Unpacker {
public:
    explicit Unpacker(const char* at)
        : m_at(at)
    {
    }
    quint64 number()
    {
        quint64 value = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<uint8_t>(*m_at++);
            value |= quint64(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return value;
        }
    }
    QByteArrayView bytes()
    {
        const auto size = static_cast<qsizetype>(number());
        const QByteArrayView view(m_at, size);
        m_at += size;
        return view;
    }

private:
    const char* m_at;
};

QByteArrayView utf16Bytes(const QString& text)
{
    return QByteArrayView(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// The bytes a path is kept and looked up as; true when they are UTF-16.
bool nameBytes(const QString& path, QByteArray* bytes)
{
    if (path.isValidUtf16()) {
        *bytes = path.toUtf8();
        return false;
    }
    *bytes = utf16Bytes(path).toByteArray();
    return true;
}

size_t slotHash(uint32_t domain, bool utf16, QByteArrayView path)
{
    return qHashBits(path.data(), static_cast<size_t>(path.size()),
                     (size_t(domain) << 1) | (utf16 ? 1 : 0));
}

bool lessBytes(QByteArrayView a, QByteArrayView b)
{
    const int order =
        std::memcmp(a.data(), b.data(), static_cast<size_t>(std::min(a.size(), b.size())));
    return order != 0 ? order < 0 : a.size() < b.size();
}

} // namespace

BackupManifest::Entries BackupManifest::entries() const { return Entries(*this); }

QByteArrayView BackupManifest::pathBytes(const Packed& packed) const
{
    const QByteArray& block = m_blocks[static_cast<size_t>(packed.bytes >> 32)];
    return QByteArrayView(block.constData() + (packed.bytes & 0xFFFFFFFFu), packed.pathLength);
}

bool BackupManifest::countRow(const QString& source, QString* error)
{
    if (++m_rowsSeen <= static_cast<size_t>(m_limits.maximumEntries))
        return true;
    m_tooLarge = true;
    *error = QStringLiteral("%1 lists more than %2 files, more than this program reads: the "
                            "backup is too large to open.")
                 .arg(source)
                 .arg(m_limits.maximumEntries);
    return false;
}

bool BackupManifest::add(BackupManifestEntry& entry, const QString& source, QString* error)
{
    if (!accept(&entry))
        return true;
    Packed packed;
    const QByteArray id = QByteArray::fromHex(entry.fileID.toLatin1());
    std::copy_n(id.constData(), std::min<qsizetype>(id.size(), 20), packed.id.begin());
    const auto found = m_domainIDs.constFind(entry.domain);
    if (found != m_domainIDs.constEnd()) {
        packed.domain = *found;
    } else {
        packed.domain = static_cast<uint32_t>(m_domains.size());
        m_domains.append(entry.domain);
        m_domainIDs.insert(entry.domain, packed.domain);
    }
    QByteArray record;
    if (nameBytes(entry.relativePath, &record))
        packed.flags |= kPathIsUtf16;
    packed.flags |= static_cast<uint8_t>(entry.kind) & kKindMask;
    packed.pathLength = static_cast<uint32_t>(record.size());
    packed.size = entry.size;
    packed.mode = entry.mode;
    packed.protectionClass = entry.protectionClass;
    putNumber(record, entry.userID);
    putNumber(record, entry.groupID);
    putNumber(record, static_cast<quint64>(entry.modified));
    putNumber(record, static_cast<quint64>(entry.accessed));
    putNumber(record, static_cast<quint64>(entry.created));
    putBytes(record, entry.dataHash);
    putBytes(record, entry.linkTarget.isNull() ? QByteArrayView() : utf16Bytes(entry.linkTarget));
    // A null link target and an empty one read back alike: both mean none.
    putBytes(record, entry.encryptionKey);

    m_nameBytes += record.size();
    if (m_nameBytes > m_limits.maximumNameBytes) {
        m_tooLarge = true;
        *error = QStringLiteral("The names and keys of %1 take more than %2 MiB, more than this "
                                "program reads: the backup is too large to open.")
                     .arg(source)
                     .arg(m_limits.maximumNameBytes >> 20);
        return false;
    }
    if (m_blocks.empty() || m_blocks.back().size() + record.size() > m_blocks.back().capacity()) {
        if (m_blocks.size() >= 0xFFFFFFFFu) {
            m_tooLarge = true;
            *error = QStringLiteral("%1 is too large to open.").arg(source);
            return false;
        }
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kBlockSize, record.size()));
    }
    QByteArray& block = m_blocks.back();
    packed.bytes = (quint64(m_blocks.size() - 1) << 32) | quint64(block.size());
    block.append(record);
    m_packed.push_back(packed);
    return true;
}

void BackupManifest::buildIndex()
{
    // Manifest.db rows come in the table's order; they are listed by domain
    // and path, as SQLite would sort their text, without asking SQLite to
    // sort every row with its description.
    if (m_generation == Generation::ManifestDb && m_packed.size() > 1) {
        std::vector<QByteArray> domainBytes;
        domainBytes.reserve(static_cast<size_t>(m_domains.size()));
        for (const QString& domain : std::as_const(m_domains))
            domainBytes.push_back(domain.toUtf8());
        std::vector<uint32_t> byName(domainBytes.size());
        for (size_t i = 0; i < byName.size(); ++i)
            byName[i] = static_cast<uint32_t>(i);
        std::sort(byName.begin(), byName.end(), [&](uint32_t a, uint32_t b) {
            return lessBytes(domainBytes[a], domainBytes[b]);
        });
        std::vector<uint32_t> rank(byName.size());
        for (size_t i = 0; i < byName.size(); ++i)
            rank[byName[i]] = static_cast<uint32_t>(i);
        m_order.resize(m_packed.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = static_cast<uint32_t>(i);
        std::stable_sort(m_order.begin(), m_order.end(), [&](uint32_t a, uint32_t b) {
            const Packed& x = m_packed[a];
            const Packed& y = m_packed[b];
            if (x.domain != y.domain)
                return rank[x.domain] < rank[y.domain];
            return lessBytes(pathBytes(x), pathBytes(y));
        });
    }
    if (!m_blocks.empty())
        m_blocks.back().squeeze();

    size_t slotCount = 16;
    while (slotCount < 2 * m_packed.size())
        slotCount *= 2;
    m_slots.assign(slotCount, 0);
    const size_t mask = slotCount - 1;
    qCDebug(lcOrvane).nospace() << "Read a manifest of " << m_packed.size() << " entries ("
                                << m_refused << " refused) into " << (heldBytes() >> 20) << " MiB";
    // The first entry of a domain and path is the one found, as before.
    for (size_t position = 0; position < m_packed.size(); ++position) {
        const auto index = static_cast<uint32_t>(m_order.empty() ? position : m_order[position]);
        const Packed& packed = m_packed[index];
        const QByteArrayView path = pathBytes(packed);
        const bool utf16 = packed.flags & kPathIsUtf16;
        for (size_t slot = slotHash(packed.domain, utf16, path) & mask;; slot = (slot + 1) & mask) {
            const uint32_t taken = m_slots[slot];
            if (taken == 0) {
                m_slots[slot] = index + 1;
                break;
            }
            const Packed& other = m_packed[taken - 1];
            if (other.domain == packed.domain
                && (other.flags & kPathIsUtf16) == (packed.flags & kPathIsUtf16)
                && pathBytes(other) == path)
                break;
        }
    }
}

BackupManifestEntry BackupManifest::unpack(const Packed& packed) const
{
    BackupManifestEntry entry;
    entry.domain = m_domains.at(packed.domain);
    const QByteArrayView path = pathBytes(packed);
    entry.relativePath = packed.flags & kPathIsUtf16
        ? QString(reinterpret_cast<const QChar*>(path.data()), path.size() / 2)
        : QString::fromUtf8(path);
    entry.fileID = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(packed.id.data()), 20).toHex());
    entry.backupFile = m_generation == Generation::ManifestDb
        ? entry.fileID.left(2) + QLatin1Char('/') + entry.fileID
        : entry.fileID;
    entry.kind = static_cast<BackupManifestEntry::Kind>(packed.flags & kKindMask);
    entry.mode = packed.mode;
    entry.size = packed.size;
    entry.protectionClass = packed.protectionClass;
    Unpacker fields(path.data() + path.size());
    entry.userID = static_cast<uint32_t>(fields.number());
    entry.groupID = static_cast<uint32_t>(fields.number());
    entry.modified = static_cast<int64_t>(fields.number());
    entry.accessed = static_cast<int64_t>(fields.number());
    entry.created = static_cast<int64_t>(fields.number());
    entry.dataHash = fields.bytes().toByteArray();
    const QByteArrayView link = fields.bytes();
    if (!link.isEmpty())
        entry.linkTarget = QString(reinterpret_cast<const QChar*>(link.data()), link.size() / 2);
    entry.encryptionKey = fields.bytes().toByteArray();
    return entry;
}

qsizetype BackupManifest::heldBytes() const
{
    qsizetype bytes = static_cast<qsizetype>(m_packed.size() * sizeof(Packed)
                                             + m_order.capacity() * sizeof(uint32_t)
                                             + m_slots.capacity() * sizeof(uint32_t));
    for (const QByteArray& block : m_blocks)
        bytes += block.capacity();
    for (const QString& domain : m_domains)
        bytes += 2 * (domain.capacity() + 32); // the table's copy, the hash's key shared
    return bytes;
}

bool BackupManifest::accept(BackupManifestEntry* entry)
{
    // A domain's own folder has an empty path and names nothing to read.
    if (entry->kind == BackupManifestEntry::Kind::Directory && entry->relativePath.isEmpty())
        return false;
    if (!isSafeDomain(entry->domain) || !BackupPathRules::isSafeRelativePath(entry->relativePath)
        || !BackupPathRules::isFileIdentifier(entry->fileID)) {
        ++m_refused;
        return false;
    }
    entry->fileID = entry->fileID.toLower();
    entry->backupFile = m_generation == Generation::ManifestDb
        ? entry->fileID.left(2) + QLatin1Char('/') + entry->fileID
        : entry->fileID;
    return true;
}

bool BackupManifest::readMbdb(QString* error)
{
    const QString path = m_folder + QLatin1Char('/') + kManifestMbdb;
    QELBinaryFileHandle file(path);
    if (!file.isOpen()) {
        *error = QStringLiteral("Cannot open %1.").arg(path);
        return false;
    }
    if (!MbdbFormat::readHeader(file)) {
        *error = QStringLiteral("%1 is not a backup manifest (no \"mbdb\" header).").arg(path);
        return false;
    }
    MbdbRecord record;
    for (;;) {
        const uint64_t recordStart = file.position();
        const MbdbFormat::ReadResult result = MbdbFormat::readRecord(file, &record);
        if (result == MbdbFormat::ReadResult::End)
            break;
        if (result == MbdbFormat::ReadResult::Truncated) {
            *error = QStringLiteral(
                         "%1 is damaged: the record at byte %2 runs past the end of the file.")
                         .arg(path)
                         .arg(recordStart);
            return false;
        }
        if (!countRow(path, error))
            return false;
        if (!record.domain || !record.path) {
            ++m_refused;
            continue;
        }
        BackupManifestEntry entry;
        entry.domain = *record.domain;
        entry.relativePath = *record.path;
        entry.fileID = QELDeviceBackupBrowser::fileIdentifier(entry.domain, entry.relativePath);
        entry.mode = record.mode;
        entry.kind = kindOfMode(record.mode);
        entry.size = static_cast<int64_t>(std::min<uint64_t>(record.size, uint64_t(INT64_MAX)));
        entry.userID = record.userID;
        entry.groupID = record.groupID;
        entry.modified = record.modified;
        entry.accessed = record.accessed;
        entry.created = record.created;
        entry.protectionClass = record.protectionClass;
        entry.dataHash = record.dataHash.value_or(QByteArray());
        entry.linkTarget = record.linkTarget.value_or(QString());
        // Of an encrypted backup (iOS 9 and older): the file's protection
        // class (4 bytes, little-endian) and its wrapped key.
        entry.encryptionKey = record.encryptionKey.value_or(QByteArray());
        if (!add(entry, path, error))
            return false;
    }
    return true;
}

bool BackupManifest::readManifestDb(const QString& path, QString* error)
{
    QString reason;
    int opened = SQLITE_OK;
    QELSQLiteDatabase db = QELSQLiteDatabase::openReadOnly(path, &reason, &opened);
    // An encrypted Manifest.db reads as a file that is not a database.
    if (!db.isOpen() && opened != SQLITE_NOTADB) {
        *error = reason;
        return false;
    }
    // Say what is wrong, so a damaged backup is told apart from an encrypted one.
    QFile file(path);
    const bool sqliteHeader =
        file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
    if (!db.isOpen() || !sqliteHeader) {
        const QVariant encrypted = Plist::readFile(m_folder + QStringLiteral("/Manifest.plist"))
                                       .toMap()
                                       .value(QStringLiteral("IsEncrypted"));
        *error = encrypted.toBool()
            ? QStringLiteral("%1 is encrypted: the backup was made with a password.").arg(path)
            : QStringLiteral("%1 is not an SQLite database: the file is damaged.").arg(path);
        return false;
    }
    if (!QELSQLiteHelper::doesDatabaseContainTable(db.handle(), QStringLiteral("Files"))) {
        *error = QStringLiteral("%1 is not a backup manifest database: it has no \"Files\" table.")
                     .arg(path);
        return false;
    }
    for (const char* column : {"fileID", "domain", "relativePath", "flags"}) {
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                db.handle(), QStringLiteral("Files"), QString::fromLatin1(column))) {
            *error =
                QStringLiteral("%1 is not a backup manifest database: its \"Files\" table has no "
                               "\"%2\" column.")
                    .arg(path, QString::fromLatin1(column));
            return false;
        }
    }
    const bool hasFile = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        db.handle(), QStringLiteral("Files"), QStringLiteral("file"));
    // In the table's order: buildIndex() sorts what it keeps.
    QELSQLiteStatement statement(
        db.handle(),
        hasFile ? QStringLiteral("SELECT fileID, domain, relativePath, flags, file FROM Files")
                : QStringLiteral("SELECT fileID, domain, relativePath, flags, NULL FROM Files"));
    if (!statement.isPrepared()) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, db.lastError());
        return false;
    }
    QString refusal;
    const bool read = statement.forEachRow([&](const QELSQLiteStatement& row) {
        if (!countRow(path, &refusal))
            return false;
        BackupManifestEntry entry;
        entry.fileID = row.storedText(0);
        entry.domain = row.storedText(1);
        entry.relativePath = row.storedText(2);
        const qint64 flags = row.int64(3);
        entry.kind = flags == 1 ? BackupManifestEntry::Kind::File
            : flags == 2        ? BackupManifestEntry::Kind::Directory
            : flags == 4        ? BackupManifestEntry::Kind::SymbolicLink
                                : BackupManifestEntry::Kind::Other;
        readFileProperties(row.blob(4), &entry);
        if (entry.relativePath.contains(QChar(0)) || entry.domain.contains(QChar(0))) {
            ++m_refused;
            return true;
        }
        return add(entry, path, &refusal);
    });
    if (!refusal.isEmpty()) {
        *error = refusal;
        return false;
    }
    if (!read) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, db.lastError());
        return false;
    }
    return true;
}

std::optional<BackupManifestEntry> BackupManifest::find(const QString& domain,
                                                        const QString& relativePath) const
{
    const auto domainID = m_domainIDs.constFind(domain);
    if (domainID == m_domainIDs.constEnd() || m_slots.empty())
        return std::nullopt;
    QByteArray path;
    const bool utf16 = nameBytes(relativePath, &path);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = slotHash(*domainID, utf16, path) & mask;; slot = (slot + 1) & mask) {
        const uint32_t taken = m_slots[slot];
        if (taken == 0)
            return std::nullopt;
        const Packed& packed = m_packed[taken - 1];
        if (packed.domain == *domainID && bool(packed.flags & kPathIsUtf16) == utf16
            && pathBytes(packed) == QByteArrayView(path))
            return unpack(packed);
    }
}

std::vector<BackupManifestEntry> BackupManifest::filesInDomain(const QString& domain) const
{
    std::vector<BackupManifestEntry> files;
    const auto domainID = m_domainIDs.constFind(domain);
    if (domainID == m_domainIDs.constEnd())
        return files;
    const auto file = static_cast<uint8_t>(BackupManifestEntry::Kind::File);
    for (size_t position = 0; position < m_packed.size(); ++position) {
        const Packed& packed = at(position);
        if (packed.domain == *domainID && (packed.flags & kKindMask) == file)
            files.push_back(unpack(packed));
    }
    return files;
}

QString BackupManifest::storedFilePath(const BackupManifestEntry& entry) const
{
    return m_folder + QLatin1Char('/') + entry.backupFile;
}
