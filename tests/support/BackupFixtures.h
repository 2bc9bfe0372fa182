#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// Fixtures for backup tests: simulated devices with backup content, backup
// folders in both manifest generations written byte by byte, and a runner for
// the backup tool.

// A simulated device folder (docs/simulated-devices.md) holding backup content.
class SimulatedBackupDevice {
public:
    SimulatedBackupDevice(const QString& folder, const QString& udid);

    SimulatedBackupDevice& value(const QString& key, const QVariant& value);
    SimulatedBackupDevice& password(const QString& password);
    SimulatedBackupDevice& locked(bool locked = true);
    SimulatedBackupDevice& file(const QString& domain, const QString& relativePath, const QByteArray& content);
    // Writes device.plist and every file; answers the folder.
    QString write() const;

    QString folder() const { return m_folder; }
    QString udid() const { return m_udid; }
    struct File {
        QString domain;
        QString relativePath;
        QByteArray content;
    };
    const QList<File>& files() const { return m_files; }

private:
    QString m_folder;
    QString m_udid;
    QVariantMap m_values;
    QVariantMap m_simulation;
    QList<File> m_files;
};

// Writes Manifest.mbdb (and Manifest.mbdx) records exactly as asked, so tests
// can make damaged and hostile manifests.
class MbdbBuilder {
public:
    MbdbBuilder();

    // A record; std::nullopt writes the absent marker FF FF.
    MbdbBuilder& record(const std::optional<QByteArray>& domain, const std::optional<QByteArray>& path,
                        uint16_t mode = 0x81A4, uint64_t size = 0, int propertyCount = 0);
    MbdbBuilder& raw(const QByteArray& bytes);

    QByteArray manifest() const { return m_bytes; }
    // One index entry per record (in record order), with the record's mode
    // and offset; `version` is written little-endian.
    QByteArray index(uint16_t version = 2) const;

    struct Written {
        QByteArray domain;
        QByteArray path;
        uint32_t offset;
        uint16_t mode;
    };
    const QList<Written>& written() const { return m_records; }

private:
    QByteArray m_bytes;
    QList<Written> m_records;
};

// Builds a device backup folder in the Manifest.db layout: an SQLite "Files"
// table and each file under "<first two digits>/<identifier>".
class ManifestDbBackupBuilder {
public:
    explicit ManifestDbBackupBuilder(const QString& folder);

    ManifestDbBackupBuilder& file(const QString& domain, const QString& relativePath, const QByteArray& content);
    ManifestDbBackupBuilder& directory(const QString& domain, const QString& relativePath);
    // A row whose identifier is given, as a damaged or hostile manifest may hold.
    ManifestDbBackupBuilder& row(const QString& fileID, const QString& domain, const QString& relativePath, int flags, const QByteArray& content = {});
    ManifestDbBackupBuilder& encrypted(bool encrypted = true);
    void write() const;

private:
    struct Row {
        QString fileID;
        QString domain;
        QString relativePath;
        int flags;
        QByteArray content;
    };
    QString m_folder;
    QList<Row> m_rows;
    bool m_encrypted = false;
};

// The SHA-1 of "<domain>-<path>" in lower case, computed here independently.
QString backupFileIdentifier(const QString& domain, const QString& relativePath);

// Writes bytes to a file, making its folder.
bool writeFixtureFile(const QString& path, const QByteArray& bytes);
QByteArray readFixtureFile(const QString& path);

// Runs build/bin/orvane-mobilebackup with extra environment variables.
struct ToolRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray standardOutput;
    QByteArray standardError;
    QByteArray output() const { return standardOutput + standardError; }
};
QString backupToolPath();
ToolRun runBackupTool(const QStringList& arguments, const QProcessEnvironment& extra = {});
