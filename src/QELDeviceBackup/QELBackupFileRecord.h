#pragma once

#include <QString>

#include <cstdint>

// One entry of a Manifest.mbdx index, with the domain and path of the
// Manifest.mbdb record it points at.
class QELBackupFileRecord {
public:
    // The identifier as 40 lower-case hexadecimal digits: the backup file's name.
    QString backupPath() const { return m_backupPath; }
    void setBackupPath(const QString& backupPath) { m_backupPath = backupPath; }
    // The record's position in Manifest.mbdb, counted from the end of its header.
    int32_t offset() const { return m_offset; }
    void setOffset(int32_t offset) { m_offset = offset; }
    uint16_t mode() const { return m_mode; }
    void setMode(uint16_t mode) { m_mode = mode; }
    QString domain() const { return m_domain; }
    void setDomain(const QString& domain) { m_domain = domain; }
    // The path within the domain.
    QString sourcePath() const { return m_sourcePath; }
    void setSourcePath(const QString& sourcePath) { m_sourcePath = sourcePath; }

private:
    QString m_backupPath;
    int32_t m_offset = 0;
    uint16_t m_mode = 0;
    QString m_domain;
    QString m_sourcePath;
};
