#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include "BackupCrypto.h"
#include "BackupKeyBag.h"
#include "BackupKeyCache.h"
#include "BackupManifest.h"

// A backup that its device encrypted, opened with its password. Manifest.plist
// holds the key bag ("BackupKeyBag"). In the Manifest.db layout (iOS 10 and
// later) it also holds the manifest's key ("ManifestKey": a 4-byte
// little-endian protection class, then the wrapped key) and Manifest.db is
// encrypted; in the Manifest.mbdb layout (iOS 9 and older) the manifest is in
// the clear. Every stored file is AES-256-CBC with a zero IV under its own
// key, which its manifest record carries wrapped. The password
// is derived when the backup is opened, or once for the program's run through
// a BackupKeyCache; the keys stay in memory only.
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
    // removes the copy (or reads its Manifest.mbdb). Fills `opened` only with Status::Opened;
    // otherwise `error` says why. With `keys`, the password's key is taken from (or derived once
    // into) it.
    static Status open(const QString& folder, const QString& password,
                       std::optional<EncryptedBackup>* opened, QString* error,
                       BackupKeyCache* keys = nullptr);
    // The same with the password's key derived earlier (passwordKeyFor): a
    // key that does not open the class keys is a wrong password.
    static Status openWithPasswordKey(const QString& folder, const QByteArray& passwordKey,
                                      std::optional<EncryptedBackup>* opened, QString* error);

    // The password's key of the backup in `folder`, through `keys` (derived at
    // most once per backup and password): also when the password is wrong, so
    // that whoever is handed it can tell so without deriving again. Null for a
    // backup its device did not encrypt, or whose key bag cannot be read (the
    // reader of the backup then says why).
    static QByteArray passwordKeyFor(const QString& folder, const QString& password,
                                     BackupKeyCache& keys);

    const BackupManifest& manifest() const { return m_manifest; }

    // Decrypts the entry's stored file to `target` (0600; nothing is left
    // there on failure). A file whose key names a class the bag does not
    // open, or whose size does not fit its stored bytes, is Damaged.
    BackupCrypto::FileResult decryptEntry(const BackupManifestEntry& entry, const QString& target,
                                          QString* error) const;

private:
    EncryptedBackup(BackupKeyBag bag, BackupManifest manifest);
    using Unlocker = std::function<BackupKeyBag::UnlockResult(BackupKeyBag&, QString*)>;
    static Status openWith(const QString& folder, const Unlocker& unlock,
                           std::optional<EncryptedBackup>* opened, QString* error);
    // The key bag of Manifest.plist, or std::nullopt with the reason.
    static std::optional<BackupKeyBag> readKeyBag(const QString& folder, QVariantMap* plist,
                                                  QString* error);

    BackupKeyBag m_bag;
    BackupManifest m_manifest;
};
