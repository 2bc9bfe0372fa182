#pragma once

#include <memory>
#include <mutex>

#include <QByteArray>
#include <QHash>
#include <QString>

#include "BackupKeyBag.h"

// The password keys of the encrypted backups this program has opened, kept in
// memory only (never written anywhere). A backup's password key takes tens of
// millions of PBKDF2 rounds, seconds of work; a category lookup runs the
// backup tool up to three times, and every category looks up its own files.
// With the key remembered, a backup and password are derived once for the
// program's run, whichever backup object, tool run or category asks.
//
// A key is remembered only once it has opened its bag's class keys, and under
// what it was derived from (the password and the bag's salts and round
// counts), so it is never tried on a bag it does not belong to. Any thread.
class BackupKeyCache {
public:
    BackupKeyCache() = default;
    ~BackupKeyCache();
    BackupKeyCache(const BackupKeyCache&) = delete;
    BackupKeyCache& operator=(const BackupKeyCache&) = delete;

    // The cache the program's backup objects and tool runs share unless they
    // are given one of their own.
    static std::shared_ptr<BackupKeyCache> shared();

    // Unlocks `bag` with `password`: under the remembered key, else under one
    // derived now. Two threads asking for a key not yet known derive it once.
    // `passwordKey` receives the key the bag was tried with (also when it is
    // WrongPassword, so the answer can be handed on without deriving again);
    // it is left empty when none could be derived.
    BackupKeyBag::UnlockResult unlock(BackupKeyBag& bag, const QString& password, QString* error,
                                      QByteArray* passwordKey = nullptr);

    // How many keys were derived (not found remembered) since the cache was made.
    int derivationCount() const;
    // Forgets every key.
    void clear();

private:
    mutable std::mutex m_mutex;
    QHash<QByteArray, QByteArray> m_keys; // SHA-256 of what a key derives from -> key
    int m_derivations = 0;
};
