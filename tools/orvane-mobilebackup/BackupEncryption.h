#pragma once

#include "BackupCipher.h"
#include "BackupManifest.h"
#include "EncryptedBackup.h"

#include <QString>

#include <optional>

// A device backup opened for reading: its manifest and, for an encrypted
// backup whose password was given, the keys to its files: the simulated
// devices' own scheme (docs/backup-encryption.md) or the key bag of a backup
// the device encrypted itself.
struct OpenedBackup {
    BackupManifest manifest;
    bool encrypted = false;
    std::optional<BackupCipher> cipher;
    std::optional<EncryptedBackup> deviceEncryption;

    // Copies (or decrypts) the entry's stored file to `target`, written under
    // a temporary name and renamed, so a failure leaves no partial file.
    bool copyContent(const BackupManifestEntry& entry, const QString& target, QString* error) const;
};

namespace BackupEncryption {

// The key of Manifest.plist that describes the encryption of a simulated backup.
inline const QString kDescriptionKey = QStringLiteral("OrvaneEncryption");

// Opens the backup in `folder`. `needContent` says whether file contents will
// be read (extraction, restore): an encrypted backup then needs the right
// password. A given password is always checked; a backup its device
// encrypted needs it for its manifest too. std::nullopt with a sentence for
// the user when the backup cannot be read so; `wrongPassword` is set when
// the password was missing or did not open the backup's keys, and only then.
// `passwordKey`, when not empty, is the password's key derived by the caller:
// a backup its device encrypted is opened with it, without a derivation, and
// a key that does not open it is a wrong password.
std::optional<OpenedBackup> open(const QString& folder, const std::optional<QString>& password, const QByteArray& passwordKey,
                                 bool needContent, QString* error, bool* wrongPassword = nullptr);

// The exit status of a run that failed for want of the right password.
int failureStatus(bool wrongPassword);

} // namespace BackupEncryption
