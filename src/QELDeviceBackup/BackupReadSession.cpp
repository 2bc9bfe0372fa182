#include "BackupReadSession.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QFile>
#include <QVariantMap>

#include "BackupKeyCache.h"
#include "Plist.h"

namespace {

// The key of Manifest.plist under which the backup tool describes the scheme
// of the backups it encrypts itself (simulated devices).
const QString kToolEncryption = QStringLiteral("OrvaneEncryption");

bool isTrue(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toLongLong() == 1;
}

// A Manifest.db that is no SQLite file is an encrypted one, whatever
// Manifest.plist says (it may be gone or damaged).
bool manifestDbIsCiphertext(const QString& folder)
{
    QFile database(folder + QStringLiteral("/Manifest.db"));
    return database.open(QIODevice::ReadOnly)
        && database.read(16) != QByteArrayLiteral("SQLite format 3\0");
}

} // namespace

const BackupManifest* OpenedBackup::readableManifest() const
{
    if (kind == Kind::DeviceEncrypted)
        return encrypted ? &encrypted->manifest() : nullptr;
    return manifest ? &*manifest : nullptr;
}

BackupReadSession::Stamps BackupReadSession::stampsOf(const QString& folder)
{
    auto stamp = [&](const char* name) {
        FileStamp result;
        struct stat info {};
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(name));
        if (::stat(path.constData(), &info) == 0) {
            result.exists = true;
            result.inode = info.st_ino;
            result.size = info.st_size;
            result.modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
        }
        return result;
    };
    Stamps stamps{stamp("Manifest.plist"), stamp("Manifest.db"), stamp("Manifest.mbdb")};
    // Manifest.plist says whether the backup is encrypted and holds its keys;
    // it is small (a few kilobytes), so its content is compared too.
    QFile plist(folder + QStringLiteral("/Manifest.plist"));
    if (stamps.plist.exists && stamps.plist.size < (1 << 20) && plist.open(QIODevice::ReadOnly))
        stamps.plist.digest = QCryptographicHash::hash(plist.readAll(), QCryptographicHash::Sha1);
    return stamps;
}

std::shared_ptr<const OpenedBackup> BackupReadSession::open(const QString& folder,
                                                            const std::optional<QString>& password,
                                                            BackupKeyCache& keys)
{
    std::lock_guard lock(m_mutex);
    const Stamps stamps = stampsOf(folder);
    const bool passwordMatters = m_opened && m_opened->kind == OpenedBackup::Kind::DeviceEncrypted;
    if (m_opened && m_folder == folder && m_stamps == stamps
        && (!passwordMatters || m_password == password))
        return m_opened;
    m_opened = read(folder, password, keys);
    m_folder = folder;
    m_stamps = stamps;
    m_password = password;
    return m_opened;
}

void BackupReadSession::reset()
{
    std::lock_guard lock(m_mutex);
    m_opened.reset();
}

std::shared_ptr<const OpenedBackup> BackupReadSession::read(const QString& folder,
                                                            const std::optional<QString>& password,
                                                            BackupKeyCache& keys)
{
    auto opened = std::make_shared<OpenedBackup>();
    const QVariantMap plist = Plist::readFile(folder + QStringLiteral("/Manifest.plist")).toMap();
    const bool encrypted = isTrue(plist.value(QStringLiteral("IsEncrypted")));
    // Either generation: the key bag opens the files of both.
    const bool deviceEncrypted =
        !plist.contains(kToolEncryption) && (encrypted || manifestDbIsCiphertext(folder));
    if (deviceEncrypted) {
        opened->kind = OpenedBackup::Kind::DeviceEncrypted;
        if (!password) {
            opened->status = EncryptedBackup::Status::WrongPassword;
            opened->reason = QStringLiteral("The backup is encrypted and no password was given.");
        } else {
            opened->status = EncryptedBackup::open(folder, *password, &opened->encrypted,
                                                   &opened->reason, &keys);
        }
        return opened;
    }
    opened->kind = encrypted ? OpenedBackup::Kind::ToolEncrypted : OpenedBackup::Kind::Plain;
    opened->manifest = BackupManifest::load(folder, &opened->reason, BackupManifest::Limits(),
                                            &opened->manifestTooLarge);
    return opened;
}
