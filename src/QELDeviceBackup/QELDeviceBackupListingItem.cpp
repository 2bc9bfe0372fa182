#include "QELDeviceBackupListingItem.h"

QELDeviceBackupListingItem::QELDeviceBackupListingItem(const QString& relativePath, const QString& backupFile, const QString& domain)
    : m_relativePath(_trimWhiteSpaceFrom(relativePath))
    , m_backupFile(_trimWhiteSpaceFrom(backupFile))
    , m_domain(_trimWhiteSpaceFrom(domain))
{
}

QELDeviceBackupListingItem::QELDeviceBackupListingItem(const QString& relativePath, const QString& backupFile)
    : QELDeviceBackupListingItem(relativePath, backupFile, QString())
{
}

QString QELDeviceBackupListingItem::_trimWhiteSpaceFrom(const QString& text) { return text.trimmed(); }

QELDeviceBackupListingItem QELDeviceBackupListingItem::initWithCoder(const QVariantMap& archive)
{
    QELDeviceBackupListingItem item;
    item.m_relativePath = archive.value(QStringLiteral("relativePath")).toString();
    item.m_backupFile = archive.value(QStringLiteral("backupFile")).toString();
    item.m_domain = archive.value(QStringLiteral("domain")).toString();
    return item;
}

QVariantMap QELDeviceBackupListingItem::encodeWithCoder() const
{
    return {
        {QStringLiteral("relativePath"), m_relativePath},
        {QStringLiteral("backupFile"), m_backupFile},
        {QStringLiteral("domain"), m_domain},
    };
}
