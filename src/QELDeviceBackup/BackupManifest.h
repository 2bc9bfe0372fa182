#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

// One file, folder or link that a backup holds.
struct BackupManifestEntry {
    enum class Kind { File, Directory, SymbolicLink, Other };

    QString domain;
    QString relativePath;
    QString fileID;     // 40 lower-case hexadecimal digits
    QString backupFile; // the stored file, relative to the device folder ("<id>" or "<2 hex>/<id>")
    Kind kind = Kind::Other;
    uint16_t mode = 0;
    int64_t size = 0;
    uint32_t userID = 0;
    uint32_t groupID = 0;
    int64_t modified = 0; // seconds since 1970
    int64_t accessed = 0;
    int64_t created = 0;
    uint8_t protectionClass = 0;
    QByteArray dataHash;
    QString linkTarget;
    // Of a device-encrypted Manifest.db backup: the file's key, a 4-byte
    // little-endian protection class and the wrapped key ("EncryptionKey").
    QByteArray encryptionKey;
};

// The whole manifest of one device backup folder, in either generation:
// Manifest.mbdb (files stored flat under their identifiers) or Manifest.db
// (an SQLite "Files" table; files stored under a folder named by the
// identifier's first two digits), which devices on iOS 10 or later write.
//
// Entries whose domain or path could lead outside the backup (an empty,
// absolute or ".." path, a NUL or a line break; a domain with a "/", a ","
// or a line break; an identifier that is not 40 hexadecimal digits) are left
// out and counted.
class BackupManifest {
public:
    enum class Generation { Mbdb, ManifestDb };

    // Reads the folder's manifest: Manifest.db when there is one, otherwise
    // Manifest.mbdb. A missing, damaged or unreadable manifest gives
    // std::nullopt and, when `error` is given, a sentence saying why.
    static std::optional<BackupManifest> load(const QString& folder, QString* error = nullptr);
    // Reads a Manifest.db kept elsewhere (the decrypted copy of an encrypted
    // backup's) as the manifest of `folder`.
    static std::optional<BackupManifest> loadDatabase(const QString& folder,
                                                      const QString& databasePath,
                                                      QString* error = nullptr);

    // Which generation a folder holds, if any, without reading it.
    static std::optional<Generation> generationOf(const QString& folder);

    Generation generation() const { return m_generation; }
    QString folder() const { return m_folder; }
    const std::vector<BackupManifestEntry>& entries() const { return m_entries; }
    int refusedEntryCount() const { return m_refused; }

    // The entry with exactly this domain and path, or nullptr.
    const BackupManifestEntry* find(const QString& domain, const QString& relativePath) const;

    // The stored file's full path.
    QString storedFilePath(const BackupManifestEntry& entry) const;

private:
    bool readMbdb(QString* error);
    bool readManifestDb(const QString& path, QString* error);
    // Fills the identifier and stored name and checks the names; false when refused.
    bool accept(BackupManifestEntry* entry);

    Generation m_generation = Generation::Mbdb;
    QString m_folder;
    std::vector<BackupManifestEntry> m_entries;
    int m_refused = 0;
};
