#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// The encryption of simulated devices' backups (docs/backup-encryption.md).
//
// A key of 32 bytes is derived from the password with PBKDF2-HMAC-SHA256 and
// a random salt; Manifest.plist keeps the salt, the iteration count and a
// verifier (an HMAC of a fixed text under that key), so a wrong password is
// told apart from a damaged file. Each stored file is "OVBE", a version byte,
// a random 16-byte nonce, the content XORed with a SHA-512 counter-mode key
// stream, and an HMAC-SHA256 over everything before it and the file's
// identifier, checked before any byte of the content is kept.
class BackupCipher {
public:
    // A new key for a password, with a fresh salt.
    static BackupCipher create(const QString& password);

    // The key of an existing backup, from its Manifest.plist description.
    // std::nullopt with a reason when the password is wrong (`wrongPassword`
    // set) or the description is damaged.
    static std::optional<BackupCipher> unlock(const QVariantMap& description, const QString& password, QString* error,
                                              bool* wrongPassword = nullptr);

    // What Manifest.plist keeps under "OrvaneEncryption".
    QVariantMap description() const;

    // Encrypts `source` into the new file `target` of a staging folder,
    // unflushed (the folder is flushed once, whole). `plainSha1` receives the
    // SHA-1 of the content.
    bool encryptFile(const QString& source, const QString& target, const QString& fileID, QByteArray* plainSha1, QString* error) const;

    // Decrypts `source` into `target`; nothing is left at `target` unless the
    // whole file checks out.
    bool decryptFile(const QString& source, const QString& target, const QString& fileID, QString* error) const;

private:
    BackupCipher(const QByteArray& salt, int iterations, const QByteArray& masterKey);

    QByteArray m_salt;
    int m_iterations = 0;
    QByteArray m_verifier;
    QByteArray m_encryptionKey;
    QByteArray m_authenticationKey;
};
