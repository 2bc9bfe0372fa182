#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

// The key bag of a device-encrypted backup (Manifest.plist "BackupKeyBag"):
// records of a 4-character tag, a 4-byte big-endian length and the value (a
// 4-byte value is a big-endian integer). The header (VERS, TYPE, UUID, HMCK,
// WRAP, SALT, ITER, DPWT, DPIC, DPSL) comes first; then each class key starts
// with its UUID and has CLAS, WRAP, KTYP and WPKY.
//
// The password's key is PBKDF2-HMAC-SHA256 (password, DPSL, DPIC rounds)
// followed by PBKDF2-HMAC-SHA1 (that key, SALT, ITER rounds); a bag without
// DPSL (before iOS 10.2) takes the second step alone on the password. Class
// keys whose WRAP has bit 2 set are unwrapped under it (RFC 3394).
class BackupKeyBag {
public:
    struct ClassKey {
        QByteArray uuid;
        uint32_t protectionClass = 0;
        uint32_t wrap = 0;
        uint32_t keyType = 0;
        QByteArray wrappedKey;
        QByteArray key; // empty until unlocked
    };

    enum class UnlockResult {
        Unlocked,
        WrongPassword, // no class key passed the unwrap's integrity check
        Damaged,       // the bag cannot be unlocked by any password
    };

    // Round counts above this are refused as damaged: a hostile bag could
    // otherwise keep the derivation busy for hours.
    static constexpr int64_t kMaxRounds = 100'000'000;

    // Reads the records. std::nullopt with a reason for a truncated record, a
    // length past the end, a header without its salt or rounds, or no class key.
    static std::optional<BackupKeyBag> parse(const QByteArray& bytes, QString* error);

    // Derives the password's key (its UTF-8 bytes) and unwraps the class keys.
    UnlockResult unlock(const QString& password, QString* error);
    // Unwraps the class keys under a password key derived earlier (derivePasswordKey).
    // WrongPassword when none passes the unwrap's integrity check.
    UnlockResult unlockWithPasswordKey(const QByteArray& passwordKey, QString* error);
    bool isUnlocked() const { return m_unlocked; }

    // Unwraps a key stored as a 4-byte little-endian protection class and the
    // wrapped key (Manifest.plist "ManifestKey", a file's "EncryptionKey")
    // under that class's key. std::nullopt with a reason when the class is not
    // in the bag, was not unlocked, or the key does not unwrap.
    std::optional<QByteArray> unwrapStoredKey(const QByteArray& stored, QString* error) const;
    std::optional<QByteArray> unwrapKeyOfClass(uint32_t protectionClass, const QByteArray& wrapped,
                                               QString* error) const;

    // The password's key, from the header's salts and rounds.
    std::optional<QByteArray> derivePasswordKey(const QString& password) const;
    // What the password's key depends on besides the password: the salts and
    // round counts. Two bags with the same answer derive the same key from a
    // password.
    QByteArray derivationParameters() const;

    uint32_t version() const { return m_version; }
    uint32_t type() const { return m_type; }
    QByteArray uuid() const { return m_uuid; }
    QByteArray salt() const { return m_salt; }
    int64_t iterations() const { return m_iterations; }
    QByteArray passwordSalt() const { return m_passwordSalt; }
    int64_t passwordIterations() const { return m_passwordIterations; }
    const std::vector<ClassKey>& classKeys() const { return m_classKeys; }

private:
    uint32_t m_version = 0;
    uint32_t m_type = 0;
    QByteArray m_uuid;
    QByteArray m_hmck;
    uint32_t m_wrap = 0;
    QByteArray m_salt;
    int64_t m_iterations = 0;
    uint32_t m_passwordWrap = 0;
    int64_t m_passwordIterations = 0;
    QByteArray m_passwordSalt;
    std::vector<ClassKey> m_classKeys;
    bool m_unlocked = false;
};
