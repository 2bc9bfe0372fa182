#include "BackupKeyCache.h"

#include <openssl/crypto.h>

#include <QCryptographicHash>

namespace {

// What a key derives from, as one digest: the cache never holds the password.
QByteArray cacheKey(const BackupKeyBag& bag, const QString& password)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray secret = password.toUtf8();
    hash.addData(QByteArray::number(secret.size()) + ':');
    hash.addData(secret);
    hash.addData(bag.derivationParameters());
    return hash.result();
}

void wipe(QHash<QByteArray, QByteArray>& keys)
{
    for (QByteArray& key : keys) {
        // data() detaches, so this wipes the cache's own copy.
        OPENSSL_cleanse(key.data(), static_cast<size_t>(key.size()));
    }
    keys.clear();
}

} // namespace

BackupKeyCache::~BackupKeyCache() { wipe(m_keys); }

std::shared_ptr<BackupKeyCache> BackupKeyCache::shared()
{
    static const std::shared_ptr<BackupKeyCache> cache = std::make_shared<BackupKeyCache>();
    return cache;
}

BackupKeyBag::UnlockResult BackupKeyCache::unlock(BackupKeyBag& bag, const QString& password,
                                                  QString* error, QByteArray* passwordKey)
{
    const QByteArray id = cacheKey(bag, password);
    // Held while deriving: a second thread waiting for the same key then finds
    // it instead of deriving it again.
    std::lock_guard lock(m_mutex);
    QByteArray key = m_keys.value(id);
    const bool remembered = !key.isEmpty();
    if (!remembered) {
        const std::optional<QByteArray> derived = bag.derivePasswordKey(password);
        ++m_derivations;
        if (!derived) {
            if (passwordKey)
                passwordKey->clear();
            *error = QStringLiteral("The backup password's key could not be derived.");
            return BackupKeyBag::UnlockResult::Damaged;
        }
        key = *derived;
    }
    if (passwordKey)
        *passwordKey = key;
    const BackupKeyBag::UnlockResult result = bag.unlockWithPasswordKey(key, error);
    if (!remembered && result == BackupKeyBag::UnlockResult::Unlocked)
        m_keys.insert(id, key);
    return result;
}

int BackupKeyCache::derivationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_derivations;
}

void BackupKeyCache::clear()
{
    std::lock_guard lock(m_mutex);
    wipe(m_keys);
}
