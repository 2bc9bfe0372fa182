#include "BackupKeyBag.h"

#include <QtEndian>

#include "BackupCrypto.h"

namespace {

constexpr uint32_t kWrapByPassword = 2;
constexpr int kKeySize = 32;

uint32_t integerValue(const QByteArray& value)
{
    return value.size() == 4 ? qFromBigEndian<uint32_t>(value.constData()) : 0;
}

} // namespace

std::optional<BackupKeyBag> BackupKeyBag::parse(const QByteArray& bytes, QString* error)
{
    BackupKeyBag bag;
    ClassKey* current = nullptr;
    qsizetype position = 0;
    while (position < bytes.size()) {
        if (bytes.size() - position < 8) {
            *error =
                QStringLiteral("The backup's key bag is damaged: its record at byte %1 is cut off.")
                    .arg(position);
            return std::nullopt;
        }
        const QByteArray tag = bytes.mid(position, 4);
        const uint32_t length = qFromBigEndian<uint32_t>(bytes.constData() + position + 4);
        position += 8;
        if (length > static_cast<uint64_t>(bytes.size() - position)) {
            *error = QStringLiteral("The backup's key bag is damaged: the record \"%1\" is longer "
                                    "(%2 bytes) than what is left of the bag.")
                         .arg(QString::fromLatin1(tag.toHex()))
                         .arg(length);
            return std::nullopt;
        }
        const QByteArray value = bytes.mid(position, length);
        position += length;
        if (tag == "UUID") {
            if (bag.m_uuid.isEmpty() && bag.m_classKeys.empty()) {
                bag.m_uuid = value;
            } else {
                bag.m_classKeys.push_back(ClassKey{});
                current = &bag.m_classKeys.back();
                current->uuid = value;
            }
        } else if (current) {
            if (tag == "CLAS")
                current->protectionClass = integerValue(value);
            else if (tag == "WRAP")
                current->wrap = integerValue(value);
            else if (tag == "KTYP")
                current->keyType = integerValue(value);
            else if (tag == "WPKY")
                current->wrappedKey = value;
        } else if (tag == "VERS") {
            bag.m_version = integerValue(value);
        } else if (tag == "TYPE") {
            bag.m_type = integerValue(value);
        } else if (tag == "HMCK") {
            bag.m_hmck = value;
        } else if (tag == "WRAP") {
            bag.m_wrap = integerValue(value);
        } else if (tag == "SALT") {
            bag.m_salt = value;
        } else if (tag == "ITER") {
            bag.m_iterations = integerValue(value);
        } else if (tag == "DPWT") {
            bag.m_passwordWrap = integerValue(value);
        } else if (tag == "DPIC") {
            bag.m_passwordIterations = integerValue(value);
        } else if (tag == "DPSL") {
            bag.m_passwordSalt = value;
        }
    }
    if (bag.m_salt.isEmpty() || bag.m_iterations < 1 || bag.m_iterations > kMaxRounds) {
        *error = QStringLiteral(
            "The backup's key bag is damaged: it has no usable salt and round count (SALT, ITER).");
        return std::nullopt;
    }
    if (!bag.m_passwordSalt.isEmpty()
        && (bag.m_passwordIterations < 1 || bag.m_passwordIterations > kMaxRounds)) {
        *error = QStringLiteral(
                     "The backup's key bag is damaged: its password round count (DPIC) is %1.")
                     .arg(bag.m_passwordIterations);
        return std::nullopt;
    }
    bool anyByPassword = false;
    for (const ClassKey& key : bag.m_classKeys)
        anyByPassword = anyByPassword || (key.wrap & kWrapByPassword);
    if (!anyByPassword) {
        *error = QStringLiteral(
            "The backup's key bag is damaged: it holds no class key protected by the password.");
        return std::nullopt;
    }
    return bag;
}

std::optional<QByteArray> BackupKeyBag::derivePasswordKey(const QString& password) const
{
    QByteArray secret = password.toUtf8();
    if (!m_passwordSalt.isEmpty()) {
        secret = BackupCrypto::pbkdf2(BackupCrypto::Digest::Sha256, secret, m_passwordSalt,
                                      static_cast<int>(m_passwordIterations), kKeySize);
        if (secret.isEmpty())
            return std::nullopt;
    }
    QByteArray key = BackupCrypto::pbkdf2(BackupCrypto::Digest::Sha1, secret, m_salt,
                                          static_cast<int>(m_iterations), kKeySize);
    if (key.isEmpty())
        return std::nullopt;
    return key;
}

QByteArray BackupKeyBag::derivationParameters() const
{
    QByteArray parameters;
    for (const QByteArray& part :
         {m_salt, QByteArray::number(m_iterations), m_passwordSalt,
          QByteArray::number(m_passwordIterations)}) {
        // Each part with its length, so no two bags' parameters run together alike.
        parameters += QByteArray::number(part.size()) + ':' + part;
    }
    return parameters;
}

BackupKeyBag::UnlockResult BackupKeyBag::unlock(const QString& password, QString* error)
{
    const std::optional<QByteArray> passwordKey = derivePasswordKey(password);
    if (!passwordKey) {
        *error = QStringLiteral("The backup password's key could not be derived.");
        return UnlockResult::Damaged;
    }
    return unlockWithPasswordKey(*passwordKey, error);
}

BackupKeyBag::UnlockResult BackupKeyBag::unlockWithPasswordKey(const QByteArray& passwordKey,
                                                               QString* error)
{
    if (passwordKey.size() != kKeySize) {
        *error = QStringLiteral("A backup password key has %1 bytes, not %2.")
                     .arg(passwordKey.size())
                     .arg(kKeySize);
        return UnlockResult::WrongPassword;
    }
    int unwrapped = 0;
    for (ClassKey& key : m_classKeys) {
        if (!(key.wrap & kWrapByPassword))
            continue;
        const std::optional<QByteArray> plain =
            BackupCrypto::unwrapKey(passwordKey, key.wrappedKey);
        if (plain && plain->size() == kKeySize) {
            key.key = *plain;
            ++unwrapped;
        }
    }
    if (unwrapped == 0) {
        *error = QStringLiteral("The backup password is not correct.");
        return UnlockResult::WrongPassword;
    }
    // With some keys open the password is right; the others are damaged and
    // their files are reported as such when they are read.
    m_unlocked = true;
    return UnlockResult::Unlocked;
}

std::optional<QByteArray> BackupKeyBag::unwrapKeyOfClass(uint32_t protectionClass,
                                                         const QByteArray& wrapped,
                                                         QString* error) const
{
    for (const ClassKey& key : m_classKeys) {
        if (key.protectionClass != protectionClass)
            continue;
        if (key.key.isEmpty()) {
            *error = QStringLiteral("The key of protection class %1 is not open (it is not "
                                    "protected by the password, or it is damaged).")
                         .arg(protectionClass);
            return std::nullopt;
        }
        std::optional<QByteArray> plain = BackupCrypto::unwrapKey(key.key, wrapped);
        if (!plain || plain->size() != kKeySize) {
            *error = QStringLiteral("A key of protection class %1 does not unwrap: it is damaged.")
                         .arg(protectionClass);
            return std::nullopt;
        }
        return plain;
    }
    *error = QStringLiteral("The backup's key bag has no key of protection class %1.")
                 .arg(protectionClass);
    return std::nullopt;
}

std::optional<QByteArray> BackupKeyBag::unwrapStoredKey(const QByteArray& stored,
                                                        QString* error) const
{
    if (stored.size() < 4 + 24) {
        *error = QStringLiteral(
                     "A stored key is too short (%1 bytes) to hold a class and a wrapped key.")
                     .arg(stored.size());
        return std::nullopt;
    }
    return unwrapKeyOfClass(qFromLittleEndian<uint32_t>(stored.constData()), stored.mid(4), error);
}
