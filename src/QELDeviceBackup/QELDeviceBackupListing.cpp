#include "QELDeviceBackupListing.h"

#include "BackupKeyCache.h"
#include "BackupToolRunner.h"
#include "Log.h"
#include "QELDeviceBackupBrowser.h"

#include <QStringDecoder>

namespace {

QString orHomeDomain(const QString& domain) { return domain.isNull() ? QStringLiteral("HomeDomain") : domain; }

} // namespace

QELDeviceBackupListing::QELDeviceBackupListing(const QString& executablePath,
                                               std::shared_ptr<BackupKeyCache> keys)
    : m_executablePath(executablePath)
    , m_keys(keys ? std::move(keys) : BackupKeyCache::shared())
{
}

QList<QELDeviceBackupListingItem> QELDeviceBackupListing::parseListing(const QByteArray& output)
{
    QList<QELDeviceBackupListingItem> items;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(output);
    if (decoder.hasError())
        return items;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < 13)
            continue;
        // The path is the last field: a "," inside it must not cut it short.
        items.append(QELDeviceBackupListingItem(fields.mid(12).join(QLatin1Char(',')), fields.at(0), fields.at(11)));
    }
    return items;
}

void QELDeviceBackupListing::_loadBackupListingWithDeviceIdAndPassword(const QString& deviceID, const std::optional<QString>& password)
{
    m_backUpItems = QList<QELDeviceBackupListingItem>();
    m_loadedDevice = deviceID;
    m_refusedPassword.reset();
    if (m_executablePath.isEmpty()) {
        qCWarning(lcOrvane) << "_executblePath in filenameFromBackUpListingForRelativePath not defined.";
        return;
    }
    BackupToolRunner::Options options = QELDeviceBackupBrowser::toolOptions(deviceID, password, *m_keys);
    options.keepStandardError = true;
    const BackupToolRunner::Result result = BackupToolRunner::run(
        m_executablePath, {QStringLiteral("--list"), QStringLiteral("--source"), deviceID, QStringLiteral("--target"), deviceID}, options);
    if (!result.standardError.isEmpty())
        qCDebug(lcOrvane) << "Backup listing:" << result.standardError.trimmed();
    if (result.started && result.exitCode == BackupToolRunner::kExitWrongPassword)
        m_refusedPassword = password;
    if (!result.succeeded())
        return;
    m_backUpItems = parseListing(result.standardOutput);
}

void QELDeviceBackupListing::loadIfNeeded(const QString& deviceID, const std::optional<QString>& password)
{
    // Another device's backup is another listing, and so is an encrypted
    // backup's with another password than the one the tool refused.
    if (!m_backUpItems || m_loadedDevice != deviceID
        || (m_refusedPassword && *m_refusedPassword != password))
        _loadBackupListingWithDeviceIdAndPassword(deviceID, password);
}

QString QELDeviceBackupListing::filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
    const QString& relativePath, const QString& deviceID, const std::optional<QString>& password, const QString& domain)
{
    if (relativePath.isEmpty())
        return {};
    const QString wanted = orHomeDomain(domain);
    std::lock_guard lock(m_mutex);
    loadIfNeeded(deviceID, password);
    // The exact path first: "sms.db" must not be answered with "sms.db-wal".
    for (const QELDeviceBackupListingItem& item : *m_backUpItems) {
        if (item.domain() == wanted && item.relativePath() == relativePath)
            return item.backupFile();
    }
    for (const QELDeviceBackupListingItem& item : *m_backUpItems) {
        if (item.domain() == wanted && item.relativePath().contains(relativePath))
            return item.backupFile();
    }
    return {};
}

QList<QELDeviceBackupListingItem> QELDeviceBackupListing::getAllFilesInDomainForDeviceId(
    const QString& domain, const QString& deviceID, const std::optional<QString>& password)
{
    const QString wanted = orHomeDomain(domain);
    std::lock_guard lock(m_mutex);
    loadIfNeeded(deviceID, password);
    QList<QELDeviceBackupListingItem> items;
    for (const QELDeviceBackupListingItem& item : *m_backUpItems) {
        if (item.domain() == wanted)
            items.append(item);
    }
    return items;
}

QList<QELDeviceBackupListingItem> QELDeviceBackupListing::backUpItemsDictionaryForDeviceId(
    const QString& deviceID, const std::optional<QString>& password)
{
    std::lock_guard lock(m_mutex);
    loadIfNeeded(deviceID, password);
    return *m_backUpItems;
}

void QELDeviceBackupListing::reset()
{
    std::lock_guard lock(m_mutex);
    m_refusedPassword.reset();
    if (m_backUpItems)
        m_backUpItems->clear();
    else
        m_backUpItems = QList<QELDeviceBackupListingItem>();
}

void QELDeviceBackupListing::invalidate()
{
    std::lock_guard lock(m_mutex);
    m_backUpItems.reset();
    m_loadedDevice.clear();
    m_refusedPassword.reset();
}
