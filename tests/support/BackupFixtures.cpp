#include "BackupFixtures.h"

#include "Plist.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <sqlite3.h>

namespace {

void appendBigEndian16(QByteArray* out, uint16_t value)
{
    char bytes[2];
    qToBigEndian(value, bytes);
    out->append(bytes, 2);
}
void appendBigEndian32(QByteArray* out, uint32_t value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out->append(bytes, 4);
}
void appendBigEndian64(QByteArray* out, uint64_t value)
{
    char bytes[8];
    qToBigEndian(value, bytes);
    out->append(bytes, 8);
}
void appendField(QByteArray* out, const std::optional<QByteArray>& value)
{
    if (!value) {
        out->append("\xFF\xFF", 2);
        return;
    }
    appendBigEndian16(out, static_cast<uint16_t>(value->size()));
    out->append(*value);
}

} // namespace

QString backupFileIdentifier(const QString& domain, const QString& relativePath)
{
    return QString::fromLatin1(QCryptographicHash::hash((domain + QLatin1Char('-') + relativePath).toUtf8(), QCryptographicHash::Sha1).toHex());
}

bool writeFixtureFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFixtureFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SimulatedBackupDevice::SimulatedBackupDevice(const QString& folder, const QString& udid)
    : m_folder(folder)
    , m_udid(udid)
{
    m_values = {
        {QStringLiteral("DeviceClass"), QStringLiteral("iPhone")},
        {QStringLiteral("ProductVersion"), QStringLiteral("17.2")},
        {QStringLiteral("DeviceName"), QStringLiteral("Test Phone")},
        {QStringLiteral("UniqueDeviceID"), udid},
        {QStringLiteral("ProductType"), QStringLiteral("iPhone15,2")},
    };
}

SimulatedBackupDevice& SimulatedBackupDevice::value(const QString& key, const QVariant& value)
{
    m_values.insert(key, value);
    return *this;
}

SimulatedBackupDevice& SimulatedBackupDevice::password(const QString& password)
{
    m_simulation.insert(QStringLiteral("BackupPassword"), password);
    return *this;
}

SimulatedBackupDevice& SimulatedBackupDevice::locked(bool locked)
{
    m_simulation.insert(QStringLiteral("BackupLocked"), locked);
    return *this;
}

SimulatedBackupDevice& SimulatedBackupDevice::file(const QString& domain, const QString& relativePath, const QByteArray& content)
{
    m_files.append({domain, relativePath, content});
    return *this;
}

QString SimulatedBackupDevice::write() const
{
    QDir().mkpath(m_folder + QStringLiteral("/backup"));
    QVariantMap values = m_values;
    if (!m_simulation.isEmpty())
        values.insert(QStringLiteral("Simulation"), m_simulation);
    Plist::writeFile(m_folder + QStringLiteral("/device.plist"), values);
    for (const File& file : m_files)
        writeFixtureFile(m_folder + QStringLiteral("/backup/") + file.domain + QLatin1Char('/') + file.relativePath, file.content);
    return m_folder;
}

MbdbBuilder::MbdbBuilder()
    : m_bytes("mbdb\x05\x00", 6)
{
}

MbdbBuilder& MbdbBuilder::record(const std::optional<QByteArray>& domain, const std::optional<QByteArray>& path, uint16_t mode, uint64_t size, int propertyCount)
{
    m_records.append({domain.value_or(QByteArray()), path.value_or(QByteArray()), static_cast<uint32_t>(m_bytes.size() - 6), mode});
    appendField(&m_bytes, domain);
    appendField(&m_bytes, path);
    appendField(&m_bytes, std::nullopt);
    appendField(&m_bytes, QByteArray(20, '\x11'));
    appendField(&m_bytes, std::nullopt);
    appendBigEndian16(&m_bytes, mode);
    appendBigEndian64(&m_bytes, 7);
    appendBigEndian32(&m_bytes, 501);
    appendBigEndian32(&m_bytes, 501);
    appendBigEndian32(&m_bytes, 1700000000);
    appendBigEndian32(&m_bytes, 1700000001);
    appendBigEndian32(&m_bytes, 1700000002);
    appendBigEndian64(&m_bytes, size);
    m_bytes.append(char(3));
    m_bytes.append(char(propertyCount));
    for (int i = 0; i < propertyCount; ++i) {
        appendField(&m_bytes, QByteArrayLiteral("com.apple.property"));
        appendField(&m_bytes, QByteArrayLiteral("value"));
    }
    return *this;
}

MbdbBuilder& MbdbBuilder::raw(const QByteArray& bytes)
{
    m_bytes.append(bytes);
    return *this;
}

QByteArray MbdbBuilder::index(uint16_t version) const
{
    QByteArray bytes("mbdx", 4);
    char versionBytes[2];
    qToLittleEndian(version, versionBytes);
    bytes.append(versionBytes, 2);
    appendBigEndian32(&bytes, static_cast<uint32_t>(m_records.size()));
    for (const Written& record : m_records) {
        bytes.append(QCryptographicHash::hash(record.domain + '-' + record.path, QCryptographicHash::Sha1));
        appendBigEndian32(&bytes, record.offset);
        appendBigEndian16(&bytes, record.mode);
    }
    return bytes;
}

ManifestDbBackupBuilder::ManifestDbBackupBuilder(const QString& folder)
    : m_folder(folder)
{
}

ManifestDbBackupBuilder& ManifestDbBackupBuilder::file(const QString& domain, const QString& relativePath, const QByteArray& content)
{
    return row(backupFileIdentifier(domain, relativePath), domain, relativePath, 1, content);
}

ManifestDbBackupBuilder& ManifestDbBackupBuilder::directory(const QString& domain, const QString& relativePath)
{
    return row(backupFileIdentifier(domain, relativePath), domain, relativePath, 2);
}

ManifestDbBackupBuilder& ManifestDbBackupBuilder::row(const QString& fileID, const QString& domain, const QString& relativePath, int flags, const QByteArray& content)
{
    m_rows.append({fileID, domain, relativePath, flags, content});
    return *this;
}

ManifestDbBackupBuilder& ManifestDbBackupBuilder::encrypted(bool encrypted)
{
    m_encrypted = encrypted;
    return *this;
}

void ManifestDbBackupBuilder::write() const
{
    QDir().mkpath(m_folder);
    const QString databasePath = m_folder + QStringLiteral("/Manifest.db");
    QFile::remove(databasePath);
    if (m_encrypted) {
        // An encrypted Manifest.db is not an SQLite file to anyone without the key.
        writeFixtureFile(databasePath, QByteArray(4096, '\x5A'));
    } else {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(databasePath).constData(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
                     "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?1, ?2, ?3, ?4, ?5)", -1, &statement, nullptr);
        for (const Row& row : m_rows) {
            const QByteArray id = row.fileID.toUtf8();
            const QByteArray domain = row.domain.toUtf8();
            const QByteArray path = row.relativePath.toUtf8();
            const QVariantMap object{{QStringLiteral("Size"), qint64(row.content.size())},
                                     {QStringLiteral("Mode"), qint64(row.flags == 2 ? 040755 : 0100644)},
                                     {QStringLiteral("LastModified"), qint64(1700000000)}};
            const QVariantMap archive{{QStringLiteral("$archiver"), QStringLiteral("NSKeyedArchiver")},
                                      {QStringLiteral("$objects"), QVariantList{QStringLiteral("$null"), object}}};
            const QByteArray blob = Plist::serialize(archive, Plist::Format::Binary);
            sqlite3_bind_text(statement, 1, id.constData(), int(id.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(statement, 2, domain.constData(), int(domain.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(statement, 3, path.constData(), int(path.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(statement, 4, row.flags);
            sqlite3_bind_blob(statement, 5, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
            sqlite3_step(statement);
            sqlite3_reset(statement);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    for (const Row& row : m_rows) {
        if (row.flags == 1 && row.fileID.size() >= 2 && !row.fileID.contains(QLatin1Char('/')))
            writeFixtureFile(m_folder + QLatin1Char('/') + row.fileID.left(2) + QLatin1Char('/') + row.fileID, row.content);
    }
    Plist::writeFile(m_folder + QStringLiteral("/Manifest.plist"),
                     QVariantMap{{QStringLiteral("IsEncrypted"), m_encrypted},
                                 {QStringLiteral("Lockdown"), QVariantMap{{QStringLiteral("DeviceName"), QStringLiteral("Modern Phone")},
                                                                          {QStringLiteral("ProductType"), QStringLiteral("iPhone15,2")},
                                                                          {QStringLiteral("ProductVersion"), QStringLiteral("17.2")}}}});
    Plist::writeFile(m_folder + QStringLiteral("/Status.plist"), QVariantMap{{QStringLiteral("SnapshotState"), QStringLiteral("finished")}});
}

QString backupToolPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/orvane-mobilebackup"); }

ToolRun runBackupTool(const QStringList& arguments, const QProcessEnvironment& extra)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.start(backupToolPath(), arguments);
    ToolRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    return run;
}
