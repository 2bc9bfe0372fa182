#include "BackupManifest.h"

#include "BackupPathRules.h"
#include "MbdbFormat.h"
#include "Plist.h"
#include "QELBinaryFileHandle.h"
#include "QELDeviceBackupBrowser.h"
#include "QELSQLiteHelper.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace {

const QString kManifestDb = QStringLiteral("Manifest.db");
const QString kManifestMbdb = QStringLiteral("Manifest.mbdb");

BackupManifestEntry::Kind kindOfMode(uint16_t mode)
{
    switch (mode & 0xF000) {
    case 0x8000: return BackupManifestEntry::Kind::File;
    case 0x4000: return BackupManifestEntry::Kind::Directory;
    case 0xA000: return BackupManifestEntry::Kind::SymbolicLink;
    default: return BackupManifestEntry::Kind::Other;
    }
}

bool isSafeDomain(const QString& domain)
{
    return BackupPathRules::isPlainFileName(domain) && !domain.contains(QLatin1Char(','))
        && !domain.contains(QLatin1Char('\n')) && !domain.contains(QLatin1Char('\r'));
}

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}

qint64 toInteger(const QVariant& value) { return value.canConvert<qint64>() ? value.toLongLong() : 0; }

// The archived file description of a Manifest.db row: sizes, mode and times
// live in the keyed archive's object table.
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
        entry->protectionClass = static_cast<uint8_t>(toInteger(map.value(QStringLiteral("ProtectionClass"))));
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
        reason = QStringLiteral("The folder %1 holds no backup manifest (Manifest.db or Manifest.mbdb).").arg(manifest.m_folder);
    } else {
        manifest.m_generation = *generation;
        ok = *generation == Generation::ManifestDb ? manifest.readManifestDb(&reason) : manifest.readMbdb(&reason);
    }
    if (!ok) {
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
    entry->backupFile = m_generation == Generation::ManifestDb ? entry->fileID.left(2) + QLatin1Char('/') + entry->fileID : entry->fileID;
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
            *error = QStringLiteral("%1 is damaged: the record at byte %2 runs past the end of the file.").arg(path).arg(recordStart);
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

bool BackupManifest::readManifestDb(QString* error)
{
    const QString path = m_folder + QLatin1Char('/') + kManifestDb;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
    if (opened != SQLITE_OK) {
        *error = QStringLiteral("Cannot open %1: %2.").arg(path, QString::fromUtf8(sqlite3_errstr(opened)));
        return false;
    }
    for (const char* column : {"fileID", "domain", "relativePath", "flags"}) {
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db.get(), QStringLiteral("Files"), QString::fromLatin1(column))) {
            *error = QStringLiteral("%1 is not a backup manifest database (no \"Files\" table with a \"%2\" column), or it is encrypted.")
                         .arg(path, QString::fromLatin1(column));
            return false;
        }
    }
    const bool hasFile = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db.get(), QStringLiteral("Files"), QStringLiteral("file"));
    const QByteArray sql = hasFile ? "SELECT fileID, domain, relativePath, flags, file FROM Files ORDER BY domain, relativePath"
                                   : "SELECT fileID, domain, relativePath, flags, NULL FROM Files ORDER BY domain, relativePath";
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.constData(), -1, &rawStatement, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, QString::fromUtf8(sqlite3_errmsg(db.get())));
        sqlite3_finalize(rawStatement);
        return false;
    }
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(rawStatement);
    int step;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        BackupManifestEntry entry;
        entry.fileID = columnText(statement.get(), 0);
        entry.domain = columnText(statement.get(), 1);
        entry.relativePath = columnText(statement.get(), 2);
        const int flags = sqlite3_column_int(statement.get(), 3);
        entry.kind = flags == 1 ? BackupManifestEntry::Kind::File
            : flags == 2        ? BackupManifestEntry::Kind::Directory
            : flags == 4        ? BackupManifestEntry::Kind::SymbolicLink
                                : BackupManifestEntry::Kind::Other;
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(statement.get(), 4));
        readFileProperties(QByteArray(blob, sqlite3_column_bytes(statement.get(), 4)), &entry);
        if (entry.relativePath.contains(QChar(0)) || entry.domain.contains(QChar(0))) {
            ++m_refused;
            continue;
        }
        if (accept(&entry))
            m_entries.push_back(std::move(entry));
    }
    if (step != SQLITE_DONE) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, QString::fromUtf8(sqlite3_errmsg(db.get())));
        return false;
    }
    return true;
}

const BackupManifestEntry* BackupManifest::find(const QString& domain, const QString& relativePath) const
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
