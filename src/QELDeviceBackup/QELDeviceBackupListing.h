#pragma once

#include "QELDeviceBackupListingItem.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class BackupKeyCache;

// The backup tool's listing of one device's backup: which backup file holds
// which path. The tool is run once, on the first query; the listing is run
// again only for another device, or when the tool refused it for want of the
// right password and another password is given (an encrypted backup lists
// nothing without it). Queries may come from several threads.
class QELDeviceBackupListing {
public:
    // `keys`: where the password keys of encrypted backups are remembered
    // (null: the program's own).
    explicit QELDeviceBackupListing(const QString& executablePath,
                                    std::shared_ptr<BackupKeyCache> keys = {});

    // The backup file (relative to the device's backup folder) that holds the
    // path in the domain (null: "HomeDomain"): the item whose path equals it,
    // else the first whose path contains it. Null when none does.
    QString filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
        const QString& relativePath, const QString& deviceID, const std::optional<QString>& password, const QString& domain);

    // The items of a domain (null: "HomeDomain"), in listing order; an
    // encrypted backup is listed with its password.
    QList<QELDeviceBackupListingItem> getAllFilesInDomainForDeviceId(
        const QString& domain, const QString& deviceID,
        const std::optional<QString>& password = std::nullopt);

    QList<QELDeviceBackupListingItem> backUpItemsDictionaryForDeviceId(
        const QString& deviceID, const std::optional<QString>& password = std::nullopt);

    // Empties the list; it still counts as loaded, so the tool is not run
    // again for the same device.
    void reset();
    // Forgets the list: the next query runs the tool again.
    void invalidate();

    // The items a listing output gives: lines at "\n", fields at ","; a line of
    // at least 13 fields gives backup file = field 0, domain = field 11 and
    // relative path = fields 12 onwards joined again with ",".
    static QList<QELDeviceBackupListingItem> parseListing(const QByteArray& output);

private:
    void _loadBackupListingWithDeviceIdAndPassword(const QString& deviceID, const std::optional<QString>& password);
    void loadIfNeeded(const QString& deviceID, const std::optional<QString>& password);

    std::mutex m_mutex;
    QString m_executablePath;
    std::shared_ptr<BackupKeyCache> m_keys;
    std::optional<QList<QELDeviceBackupListingItem>> m_backUpItems;
    QString m_loadedDevice;
    // The password the tool refused the listing for, when it did.
    std::optional<std::optional<QString>> m_refusedPassword;
};
