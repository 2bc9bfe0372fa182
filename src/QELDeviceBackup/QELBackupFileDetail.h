#pragma once

#include <QString>

// A file of a backup manifest with its domain.
class QELBackupFileDetail {
public:
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& filePath) { m_filePath = filePath; }
    QString domain() const { return m_domain; }
    void setDomain(const QString& domain) { m_domain = domain; }
    QString pathComponent() const { return m_pathComponent; }
    void setPathComponent(const QString& pathComponent) { m_pathComponent = pathComponent; }

    // Equal when the file paths and the domains are equal.
    bool isEqualTo(const QELBackupFileDetail& other) const { return m_filePath == other.m_filePath && m_domain == other.m_domain; }
    bool operator==(const QELBackupFileDetail& other) const { return isEqualTo(other); }
    // "<file path> in domain <domain>"
    QString description() const { return QStringLiteral("%1 in domain %2").arg(m_filePath, m_domain); }

private:
    QString m_filePath;
    QString m_domain;
    QString m_pathComponent;
};
