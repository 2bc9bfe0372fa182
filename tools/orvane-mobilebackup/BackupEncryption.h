#pragma once

#include "BackupCipher.h"
#include "BackupManifest.h"

#include <QString>

#include <optional>

// A device backup opened for reading: its manifest and, for an encrypted
// backup whose password was given, the key to its files.
struct OpenedBackup {
    BackupManifest manifest;
    bool encrypted = false;
    std::optional<BackupCipher> cipher;

    // Copies (or decrypts) the entry's stored file to `target`, written under
    // a temporary name and renamed, so a failure leaves no partial file.
    bool copyContent(const BackupManifestEntry& entry, const QString& target, QString* error) const;
};

namespace BackupEncryption {

// The key of Manifest.plist that describes the encryption of a simulated backup.
inline const QString kDescriptionKey = QStringLiteral("OrvaneEncryption");

// Opens the backup in `folder`. `needContent` says whether file contents will
// be read (extraction, restore): an encrypted backup then needs the right
// password. A given password is always checked. std::nullopt with a sentence
// for the user when the backup cannot be read so.
std::optional<OpenedBackup> open(const QString& folder, const std::optional<QString>& password, bool needContent, QString* error);

} // namespace BackupEncryption
