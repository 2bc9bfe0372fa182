#include "BackupEncryption.h"

#include <cerrno>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "BackupToolRunner.h"
#include "Plist.h"

namespace {

bool isStoredRegularFile(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// Nothing at all, not even a link, is at the path.
bool isAbsent(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT;
}

} // namespace

bool OpenedBackup::copyContent(const BackupManifestEntry& entry, const QString& target,
                               QString* error) const
{
    const QString stored = manifest.storedFilePath(entry);
    if (entry.size == 0 && isAbsent(stored)) {
        // Devices store no file for an empty one: it is present, and empty.
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || !out.commit()) {
            *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
            return false;
        }
        return true;
    }
    if (!isStoredRegularFile(stored)) {
        *error = QStringLiteral("The backup lacks the stored file %1 of %2 in %3.")
                     .arg(entry.backupFile, entry.relativePath, entry.domain);
        return false;
    }
    if (deviceEncryption)
        return deviceEncryption->decryptEntry(entry, target, error) == BackupCrypto::FileResult::Ok;
    if (cipher)
        return cipher->decryptFile(stored, target, entry.fileID, error);
    QFile in(stored);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(stored, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            *error = QStringLiteral("Cannot copy %1 to %2.").arg(stored, target);
            return false;
        }
    }
    if (!out.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    return true;
}

namespace BackupEncryption {

int failureStatus(bool wrongPassword)
{
    return wrongPassword ? BackupToolRunner::kExitWrongPassword : 1;
}

std::optional<OpenedBackup> open(const QString& folder, const std::optional<QString>& password,
                                 const QByteArray& passwordKey, bool needContent, QString* error,
                                 bool* wrongPassword)
{
    bool ignored = false;
    bool& refused = wrongPassword ? *wrongPassword : ignored;
    refused = false;
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("There is no backup in %1.").arg(folder);
        return std::nullopt;
    }
    const QVariantMap manifestPlist =
        Plist::readFile(folder + QStringLiteral("/Manifest.plist")).toMap();
    const QVariant isEncrypted = manifestPlist.value(QStringLiteral("IsEncrypted"));
    const bool encrypted = isEncrypted.typeId() == QMetaType::Bool ? isEncrypted.toBool()
                                                                   : isEncrypted.toLongLong() == 1;
    const QVariantMap description = manifestPlist.value(kDescriptionKey).toMap();

    if (encrypted && description.isEmpty()
        && BackupManifest::generationOf(folder) == BackupManifest::Generation::ManifestDb) {
        // The device encrypted it: without the password not even the
        // manifest can be read.
        if (!password && passwordKey.isEmpty()) {
            refused = true;
            *error = QStringLiteral("This backup is encrypted: its password is needed (give it in "
                                    "ORVANE_BACKUP_PASSWORD).");
            return std::nullopt;
        }
        std::optional<EncryptedBackup> opened;
        const EncryptedBackup::Status status = passwordKey.isEmpty()
            ? EncryptedBackup::open(folder, *password, &opened, error)
            : EncryptedBackup::openWithPasswordKey(folder, passwordKey, &opened, error);
        switch (status) {
        case EncryptedBackup::Status::Opened:
            break;
        case EncryptedBackup::Status::WrongPassword:
            refused = true;
            return std::nullopt;
        case EncryptedBackup::Status::Unreadable:
            return std::nullopt;
        }
        OpenedBackup backup{opened->manifest(), true, std::nullopt, std::move(opened)};
        return backup;
    }
    std::optional<BackupManifest> manifest = BackupManifest::load(folder, error);
    if (!manifest)
        return std::nullopt;
    OpenedBackup backup{std::move(*manifest), encrypted, std::nullopt, std::nullopt};
    if (!encrypted)
        return backup;
    if (description.isEmpty()) {
        if (needContent) {
            *error = QStringLiteral("This backup was encrypted by the device itself; its files "
                                    "cannot be decrypted yet.");
            return std::nullopt;
        }
        return backup;
    }
    if (password) {
        backup.cipher = BackupCipher::unlock(description, *password, error, &refused);
        if (!backup.cipher)
            return std::nullopt;
    } else if (needContent) {
        refused = true;
        *error = QStringLiteral("This backup is encrypted: its password is needed (give it in "
                                "ORVANE_BACKUP_PASSWORD).");
        return std::nullopt;
    }
    return backup;
}

} // namespace BackupEncryption
