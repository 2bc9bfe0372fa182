#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QString>

#include "BackupManifest.h"
#include "EncryptedBackup.h"

class BackupKeyCache;

// A device's backup opened for reading: its manifest read once, and for a
// backup its device encrypted the class keys unwrapped once, for as long as
// the backup and the password stay the same. The lookups of a connection
// answer from it, in this process, instead of running the backup tool (which
// reads, and for an encrypted backup decrypts, the whole manifest) per file.
struct OpenedBackup {
    enum class Kind {
        Plain,           // nothing encrypted: the stored files are the files
        DeviceEncrypted, // key bag, wrapped keys, AES-256-CBC: decrypted here
        ToolEncrypted,   // another scheme, which only the backup tool decrypts
    };
    Kind kind = Kind::Plain;
    // Plain and ToolEncrypted: the manifest, when it could be read.
    std::optional<BackupManifest> manifest;
    // DeviceEncrypted: how opening went, and the opened backup.
    EncryptedBackup::Status status = EncryptedBackup::Status::Unreadable;
    std::optional<EncryptedBackup> encrypted;
    QString reason; // why the manifest could not be read or the backup opened
    // Plain and ToolEncrypted: the manifest lists more than is read (see
    // BackupManifest::Limits), which is no damage.
    bool manifestTooLarge = false;

    // The manifest to look files up in, or nullptr.
    const BackupManifest* readableManifest() const;
    bool isEncrypted() const { return kind != Kind::Plain; }
};

// Keeps one OpenedBackup per backup object. Thread-safe: the first caller
// reads (and decrypts) the manifest while the others wait for it; what it
// answers is shared, read-only and safe to use from several threads at once.
class BackupReadSession {
public:
    // The backup in `folder` opened with `password` (std::nullopt: none),
    // read again only when its Manifest.plist or manifest file changed (a new
    // backup) or the password is another.
    std::shared_ptr<const OpenedBackup> open(const QString& folder,
                                             const std::optional<QString>& password,
                                             BackupKeyCache& keys);
    // Forgets what was read (a new backup was made).
    void reset();

private:
    struct FileStamp {
        bool exists = false;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        QByteArray digest; // of a small file's content, which may change within a tick
        bool operator==(const FileStamp&) const = default;
    };
    struct Stamps {
        FileStamp plist, database, mbdb;
        bool operator==(const Stamps&) const = default;
    };
    static Stamps stampsOf(const QString& folder);
    static std::shared_ptr<const OpenedBackup> read(const QString& folder,
                                                    const std::optional<QString>& password,
                                                    BackupKeyCache& keys);

    std::mutex m_mutex;
    QString m_folder;
    Stamps m_stamps;
    std::optional<QString> m_password;
    std::shared_ptr<const OpenedBackup> m_opened;
};
