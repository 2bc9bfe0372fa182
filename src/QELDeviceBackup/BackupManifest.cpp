#include "BackupManifest.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BackupPathRules.h"
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

std::optional<BackupManifest> BackupManifest::load(const QString& folder, QString* error)
{
    QString reason;
    BackupManifest manifest;
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
        return std::nullopt;
    }
    return manifest;
}

std::optional<BackupManifest> BackupManifest::loadDatabase(const QString& folder,
                                                           const QString& databasePath,
                                                           QString* error)
{
    QString reason;
    BackupManifest manifest;
    manifest.m_folder = QDir::cleanPath(QDir(folder).absolutePath());
    manifest.m_generation = Generation::ManifestDb;
    if (!manifest.readManifestDb(databasePath, &reason)) {
        if (error)
            *error = reason;
        return std::nullopt;
    }
    return manifest;
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
        if (accept(&entry))
            m_entries.push_back(std::move(entry));
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
    QELSQLiteStatement statement(
        db.handle(),
        hasFile ? QStringLiteral("SELECT fileID, domain, relativePath, flags, file FROM Files "
                                 "ORDER BY domain, relativePath")
                : QStringLiteral("SELECT fileID, domain, relativePath, flags, NULL FROM Files "
                                 "ORDER BY domain, relativePath"));
    if (!statement.isPrepared()) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, db.lastError());
        return false;
    }
    const bool read = statement.forEachRow([this](const QELSQLiteStatement& row) {
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
        if (accept(&entry))
            m_entries.push_back(std::move(entry));
        return true;
    });
    if (!read) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, db.lastError());
        return false;
    }
    return true;
}

const BackupManifestEntry* BackupManifest::find(const QString& domain,
                                                const QString& relativePath) const
{
    for (const BackupManifestEntry& entry : m_entries) {
        if (entry.relativePath == relativePath && entry.domain == domain)
            return &entry;
    }
    return nullptr;
}

QString BackupManifest::storedFilePath(const BackupManifestEntry& entry) const
{
    return m_folder + QLatin1Char('/') + entry.backupFile;
}
