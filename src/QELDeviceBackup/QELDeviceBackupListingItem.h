#pragma once

#include <QString>
#include <QVariantMap>

// One line of the backup tool's listing: which backup file holds which path
// of which domain.
class QELDeviceBackupListingItem {
public:
    QELDeviceBackupListingItem() = default;
    // Each field is trimmed of white space and line ends.
    QELDeviceBackupListingItem(const QString& relativePath, const QString& backupFile, const QString& domain);
    QELDeviceBackupListingItem(const QString& relativePath, const QString& backupFile);

    // The archived form, under the keys "relativePath", "backupFile" and "domain".
    static QELDeviceBackupListingItem initWithCoder(const QVariantMap& archive);
    QVariantMap encodeWithCoder() const;

    QString relativePath() const { return m_relativePath; }
    void setRelativePath(const QString& relativePath) { m_relativePath = relativePath; }
    QString backupFile() const { return m_backupFile; }
    void setBackupFile(const QString& backupFile) { m_backupFile = backupFile; }
    QString domain() const { return m_domain; }
    void setDomain(const QString& domain) { m_domain = domain; }

    bool operator==(const QELDeviceBackupListingItem&) const = default;

    static QString _trimWhiteSpaceFrom(const QString& text);

private:
    QString m_relativePath;
    QString m_backupFile;
    QString m_domain;
};
