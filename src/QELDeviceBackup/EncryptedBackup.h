#pragma once

#include <optional>

#include <QString>
#include <QVariantMap>

#include "BackupCrypto.h"
#include "BackupKeyBag.h"
#include "BackupManifest.h"

// A backup that its device encrypted (the Manifest.db layout of iOS 10.2 and
// later), opened with its password. Manifest.plist holds the key bag
// ("BackupKeyBag") and the manifest's key ("ManifestKey": a 4-byte
// little-endian protection class, then the wrapped key); Manifest.db and every
// stored file are AES-256-CBC with a zero IV under their own keys. The password
// is derived once, when the backup is opened; the keys stay in this object's
// memory only.
class EncryptedBackup {
public:
    enum class Status {
        Opened,
        WrongPassword, // the key bag's class keys do not unwrap under the password
        Unreadable,    // anything else: no or a damaged key bag, a damaged manifest
    };

    // Whether a Manifest.plist describes a backup its device encrypted.
    static bool isDeviceEncrypted(const QVariantMap& manifestPlist);

    // Opens the backup in `folder`: unlocks its key bag, decrypts Manifest.db
    // into a private file of the program's temporary folder, reads it and
    // removes the copy. Fills `opened` only with Status::Opened; otherwise
    // `error` says why.
    static Status open(const QString& folder, const QString& password,
                       std::optional<EncryptedBackup>* opened, QString* error);

    const BackupManifest& manifest() const { return m_manifest; }

    // Decrypts the entry's stored file to `target` (0600; nothing is left
    // there on failure). A file whose key names a class the bag does not
    // open, or whose size does not fit its stored bytes, is Damaged.
    BackupCrypto::FileResult decryptEntry(const BackupManifestEntry& entry, const QString& target,
                                          QString* error) const;

private:
    EncryptedBackup(BackupKeyBag bag, BackupManifest manifest);

    BackupKeyBag m_bag;
    BackupManifest m_manifest;
};
