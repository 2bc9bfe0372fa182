#include "EncryptedBackup.h"

#include <QDir>
#include <QFileInfo>

#include "Locations.h"
#include "Plist.h"

namespace {

const QString kKeyBag = QStringLiteral("BackupKeyBag");
const QString kManifestKey = QStringLiteral("ManifestKey");

} // namespace

EncryptedBackup::EncryptedBackup(BackupKeyBag bag, BackupManifest manifest)
    : m_bag(std::move(bag))
    , m_manifest(std::move(manifest))
{
}

bool EncryptedBackup::isDeviceEncrypted(const QVariantMap& manifestPlist)
{
    return manifestPlist.contains(kKeyBag);
}

std::optional<BackupKeyBag> EncryptedBackup::readKeyBag(const QString& folder, QVariantMap* plist,
                                                        QString* error)
{
    const QString plistPath = folder + QStringLiteral("/Manifest.plist");
    if (!QFileInfo(plistPath).isFile()) {
        *error = QStringLiteral("The backup in %1 has no Manifest.plist, which holds its keys.")
                     .arg(folder);
        return std::nullopt;
    }
    QString reason;
    *plist = Plist::readFile(plistPath, &reason).toMap();
    const QVariant bagValue = plist->value(kKeyBag);
    if (bagValue.typeId() != QMetaType::QByteArray) {
        *error = plist->isEmpty()
            ? QStringLiteral("The backup's Manifest.plist cannot be read: %1").arg(reason)
            : QStringLiteral("The backup is encrypted, but its Manifest.plist holds no key bag "
                             "(BackupKeyBag): it is not in a format this program reads.");
        return std::nullopt;
    }
    return BackupKeyBag::parse(bagValue.toByteArray(), error);
}

QByteArray EncryptedBackup::passwordKeyFor(const QString& folder, const QString& password,
                                           BackupKeyCache& keys)
{
    QVariantMap plist;
    QString reason;
    std::optional<BackupKeyBag> bag = readKeyBag(folder, &plist, &reason);
    if (!bag)
        return {};
    QByteArray key;
    keys.unlock(*bag, password, &reason, &key);
    return key;
}

EncryptedBackup::Status EncryptedBackup::open(const QString& folder, const QString& password,
                                              std::optional<EncryptedBackup>* opened,
                                              QString* error, BackupKeyCache* keys)
{
    return openWith(
        folder,
        [&](BackupKeyBag& bag, QString* reason) {
            return keys ? keys->unlock(bag, password, reason) : bag.unlock(password, reason);
        },
        opened, error);
}

EncryptedBackup::Status EncryptedBackup::openWithPasswordKey(const QString& folder,
                                                             const QByteArray& passwordKey,
                                                             std::optional<EncryptedBackup>* opened,
                                                             QString* error)
{
    return openWith(
        folder,
        [&](BackupKeyBag& bag, QString* reason) {
            return bag.unlockWithPasswordKey(passwordKey, reason);
        },
        opened, error);
}

EncryptedBackup::Status EncryptedBackup::openWith(const QString& folder, const Unlocker& unlock,
                                                  std::optional<EncryptedBackup>* opened,
                                                  QString* error)
{
    QVariantMap plist;
    QString reason;
    std::optional<BackupKeyBag> bag = readKeyBag(folder, &plist, error);
    if (!bag)
        return Status::Unreadable;
    switch (unlock(*bag, error)) {
    case BackupKeyBag::UnlockResult::Unlocked:
        break;
    case BackupKeyBag::UnlockResult::WrongPassword:
        return Status::WrongPassword;
    case BackupKeyBag::UnlockResult::Damaged:
        return Status::Unreadable;
    }
    const QByteArray manifestKeyStored = plist.value(kManifestKey).toByteArray();
    const std::optional<QByteArray> manifestKey = bag->unwrapStoredKey(manifestKeyStored, &reason);
    if (!manifestKey) {
        *error = QStringLiteral("The backup's manifest key (ManifestKey) cannot be opened: %1")
                     .arg(reason);
        return Status::Unreadable;
    }

    // The decrypted manifest names every file of the device: it lives in a
    // private folder only for as long as it is read.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("manifest"));
    if (scratch.isEmpty()) {
        *error = QStringLiteral("The program's private temporary folder cannot be used, so the "
                                "backup's manifest cannot be decrypted.");
        return Status::Unreadable;
    }
    const QString plainManifest = scratch + QStringLiteral("/Manifest.db");
    const BackupCrypto::FileResult decrypted =
        BackupCrypto::decryptFile(*manifestKey, folder + QStringLiteral("/Manifest.db"),
                                  plainManifest, std::nullopt, &reason);
    std::optional<BackupManifest> manifest;
    if (decrypted == BackupCrypto::FileResult::Ok)
        manifest = BackupManifest::loadDatabase(folder, plainManifest, &reason);
    QDir(scratch).removeRecursively();
    if (!manifest) {
        *error = QStringLiteral("The backup's Manifest.db cannot be read: %1").arg(reason);
        return Status::Unreadable;
    }
    opened->emplace(EncryptedBackup(std::move(*bag), std::move(*manifest)));
    return Status::Opened;
}

BackupCrypto::FileResult EncryptedBackup::decryptEntry(const BackupManifestEntry& entry,
                                                       const QString& target, QString* error) const
{
    if (entry.encryptionKey.isEmpty()) {
        *error = QStringLiteral("The manifest gives no key for %1 in %2.")
                     .arg(entry.relativePath, entry.domain);
        return BackupCrypto::FileResult::Damaged;
    }
    QString reason;
    const std::optional<QByteArray> key = m_bag.unwrapStoredKey(entry.encryptionKey, &reason);
    if (!key) {
        *error = QStringLiteral("The key of %1 in %2 cannot be opened: %3")
                     .arg(entry.relativePath, entry.domain, reason);
        return BackupCrypto::FileResult::Damaged;
    }
    return BackupCrypto::decryptFile(*key, m_manifest.storedFilePath(entry), target, entry.size,
                                     error);
}
