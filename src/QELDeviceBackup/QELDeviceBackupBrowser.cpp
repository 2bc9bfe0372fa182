#include "QELDeviceBackupBrowser.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include "BackupPathRules.h"
#include "BackupToolRunner.h"
#include "Clock.h"
#include "EncryptedBackup.h"
#include "Locations.h"
#include "Log.h"
#include "MbdbFormat.h"
#include "QELBinaryFileHandle.h"

namespace {

QELDeviceBackupBrowser::DomainTable readManifest(const QString& path)
{
    QELDeviceBackupBrowser::DomainTable table;
    QELBinaryFileHandle file(path);
    if (!file.isOpen() || !MbdbFormat::readHeader(file))
        return table;
    MbdbRecord record;
    while (MbdbFormat::readRecord(file, &record) == MbdbFormat::ReadResult::Record) {
        if (!record.domain || !record.path)
            continue;
        table[*record.domain].insert(
            *record.path,
            QELDeviceBackupBrowser::_hashString(*record.domain + QLatin1Char('-') + *record.path));
    }
    file.closeFile();
    return table;
}

// The index-side string: "n/a" for an absent one, std::nullopt when the field
// runs past the end of the manifest.
std::optional<QString> readIndexString(QELBinaryFileHandle& file)
{
    bool truncated = false;
    const std::optional<QByteArray> bytes = MbdbFormat::readField(file, &truncated);
    if (truncated)
        return std::nullopt;
    if (!bytes)
        return QStringLiteral("n/a");
    return MbdbFormat::decodeString(bytes).value_or(QStringLiteral("n/a"));
}

std::optional<QELDeviceBackupBrowser::RecordTable> readIndex(const QString& indexPath,
                                                             const QString& manifestPath)
{
    QELBinaryFileHandle index(indexPath);
    QELBinaryFileHandle manifest(manifestPath);
    if (index.bytesLeft() < 10 || index.readStringOfLength(4) != QLatin1String("mbdx")
        || index.readUInt16() != 2)
        return std::nullopt;
    if (manifest.bytesLeft() < static_cast<uint64_t>(MbdbFormat::kHeaderSize)
        || manifest.readStringOfLength(4) != QLatin1String("mbdb"))
        return std::nullopt;
    manifest.skipBytes(2);
    const QByteArray countBytes = index.readDataOfLength(4);
    const uint32_t count = qFromBigEndian<uint32_t>(countBytes.constData());

    QELDeviceBackupBrowser::RecordTable table;
    constexpr int kEntrySize = 26;
    // A count larger than the file holds reads the whole entries there are.
    for (uint32_t i = 0; i < count && index.bytesLeft() >= static_cast<uint64_t>(kEntrySize); ++i) {
        const QByteArray entry = index.readDataOfLength(kEntrySize);
        const auto* bytes = reinterpret_cast<const uchar*>(entry.constData());
        QELBackupFileRecord record;
        record.setBackupPath(QString::fromLatin1(entry.left(20).toHex()));
        record.setOffset(qFromBigEndian<int32_t>(bytes + 20));
        record.setMode(qFromBigEndian<uint16_t>(bytes + 24));

        // An offset outside the manifest names no record.
        const qint64 position = qint64(record.offset()) + MbdbFormat::kHeaderSize;
        if (record.offset() < 0 || static_cast<uint64_t>(position) >= manifest.size())
            continue;
        manifest.setPosition(static_cast<uint64_t>(position));
        const std::optional<QString> domain = readIndexString(manifest);
        const std::optional<QString> path = domain ? readIndexString(manifest) : std::nullopt;
        if (!path)
            continue;
        record.setDomain(*domain);
        record.setSourcePath(*path);

        if (!(record.mode() & 0x8000) || record.sourcePath().startsWith(QLatin1Char('/')))
            continue;
        const QString name = record.sourcePath().section(QLatin1Char('/'), -1);
        if (!table.contains(name))
            table.insert(name, record);
    }
    index.closeFile();
    manifest.closeFile();
    return table;
}

QString readFieldAsText(QELBinaryFileHandle& file, bool data)
{
    bool truncated = false;
    const std::optional<QByteArray> bytes = MbdbFormat::readField(file, &truncated);
    if (!bytes)
        return {};
    if (data)
        return QStringLiteral("");
    return MbdbFormat::decodeString(bytes).value_or(QString());
}

} // namespace

QString QELDeviceBackupBrowser::_hashString(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper());
}

QString QELDeviceBackupBrowser::fileIdentifier(const QString& domain, const QString& relativePath)
{
    return _hashString(domain + QLatin1Char('-') + relativePath).toLower();
}

QString QELDeviceBackupBrowser::_readStringFromFileHandle(QELBinaryFileHandle& file)
{
    return readFieldAsText(file, false);
}

QString QELDeviceBackupBrowser::_readDataHashFromFileHandle(QELBinaryFileHandle& file)
{
    return readFieldAsText(file, true);
}

QString QELDeviceBackupBrowser::_getStringFromFileHandle(QELBinaryFileHandle& file)
{
    return readIndexString(file).value_or(QStringLiteral("n/a"));
}

QELDeviceBackupBrowser::DomainTable QELDeviceBackupBrowser::readManifestFile(const QString& path)
{
    return readManifest(path);
}

std::optional<QELDeviceBackupBrowser::RecordTable> QELDeviceBackupBrowser::readIndexFiles(
    const QString& indexPath, const QString& manifestPath)
{
    return readIndex(indexPath, manifestPath);
}

namespace {

bool takesDomainArgument(const QString& domain)
{
    return !domain.isNull() && domain != QLatin1String("HomeDomain");
}

} // namespace

QStringList QELDeviceBackupBrowser::passwordTestArguments(const QString& path,
                                                          const QString& deviceID,
                                                          const QString& domain)
{
    QStringList arguments{QStringLiteral("--extract"), path, QStringLiteral("-s"), deviceID};
    if (takesDomainArgument(domain))
        arguments << QStringLiteral("-D") << domain;
    return arguments;
}

QStringList QELDeviceBackupBrowser::singleExtractionArguments(const QString& path,
                                                              const QString& deviceID,
                                                              const QString& domain)
{
    QStringList arguments{QStringLiteral("--extract"), path};
    if (takesDomainArgument(domain))
        arguments << QStringLiteral("-D") << domain;
    arguments << QStringLiteral("-s") << deviceID;
    return arguments;
}

QStringList QELDeviceBackupBrowser::fileNameArguments(const QString& path, const QString& deviceID,
                                                      const QString& domain)
{
    QStringList arguments{QStringLiteral("--filename"), path, QStringLiteral("-s"), deviceID};
    if (takesDomainArgument(domain))
        arguments << QStringLiteral("-D") << domain;
    return arguments;
}

BackupToolRunner::Options QELDeviceBackupBrowser::toolOptions(
    const QString& deviceID, const std::optional<QString>& password, BackupKeyCache& keys)
{
    BackupToolRunner::Options options;
    options.password = password;
    // The tool reads the backup in the backup root under the device's name.
    if (password && BackupPathRules::isPlainFileName(deviceID))
        options.passwordKey = EncryptedBackup::passwordKeyFor(
            Locations::backupRoot() + QLatin1Char('/') + deviceID, *password, keys);
    return options;
}

QELDeviceBackupBrowser::PasswordTestResult QELDeviceBackupBrowser::
    TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const BackupToolSettings& tool)
{
    // The test file is decrypted device data: it goes to a private folder
    // that is removed at once, never into the backup root.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("password-test"));
    if (scratch.isEmpty())
        return PasswordTestResult::Failed;
    BackupToolRunner::Options options = toolOptions(deviceID, password, tool.keyCache());
    options.extractTo = scratch;
    options.keepStandardError = false;
    options.timeLimit = kPasswordTestTimeLimit;
    const BackupToolRunner::Result result = BackupToolRunner::run(
        tool.resolvedExecutablePath(), passwordTestArguments(path, deviceID, domain), options);
    QDir(scratch).removeRecursively();
    if (result.timedOut) {
        qCWarning(lcOrvane) << "The backup password test did not end in time";
        return PasswordTestResult::TimedOut;
    }
    if (result.succeeded())
        return PasswordTestResult::Passed;
    return result.started && result.exitCode == BackupToolRunner::kExitWrongPassword
        ? PasswordTestResult::WrongPassword
        : PasswordTestResult::Failed;
}

bool QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
    const QString& path, const QString& deviceID, const std::optional<QString>& password,
    const QString& domain, const QString& folder, const BackupToolSettings& tool)
{
    BackupToolRunner::Options options = toolOptions(deviceID, password, tool.keyCache());
    options.extractTo = folder;
    options.keepStandardError = false;
    const BackupToolRunner::Result result = BackupToolRunner::run(
        tool.resolvedExecutablePath(), singleExtractionArguments(path, deviceID, domain), options);
    return result.succeeded();
}

std::optional<QStringList> QELDeviceBackupBrowser::
    ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const BackupToolSettings& tool)
{
    if (path.isEmpty())
        return std::nullopt;
    QStringList names;
    const QString name = path.section(QLatin1Char('/'), -1);
    if (!ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(path, deviceID, password,
                                                                          domain, QString(), tool))
        return names;
    names << name;
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        Clock::sleepFor(std::chrono::milliseconds(500));
        if (ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
                path + suffix, deviceID, password, domain, QString(), tool))
            names << name + suffix;
    }
    return names;
}

QString QELDeviceBackupBrowser::GetBackupPathFromReleativePathForDeviceIDWithPasswordFromDomain(
    const QString& path, const QString& deviceID, const std::optional<QString>& password,
    const QString& domain, const BackupToolSettings& tool)
{
    BackupToolRunner::Options options = toolOptions(deviceID, password, tool.keyCache());
    options.keepStandardError = false;
    const BackupToolRunner::Result result = BackupToolRunner::run(
        tool.resolvedExecutablePath(), fileNameArguments(path, deviceID, domain), options);
    if (!result.started) {
        qCWarning(lcOrvane) << "exe";
        return {};
    }
    if (!result.succeeded())
        return {};
    const QString name = QString::fromLatin1(result.standardOutput).trimmed();
    // The answer is joined to the backup folder: only a backup file name will do.
    if (!BackupPathRules::isBackupFileName(name))
        return {};
    return name;
}
