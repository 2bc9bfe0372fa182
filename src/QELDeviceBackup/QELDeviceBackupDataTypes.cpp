// The lookups of QELDeviceBackup: backed-up files by data type, by path and by domain.

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "BackupManifest.h"
#include "BackupPathRules.h"
#include "BackupReadSession.h"
#include "DescriptorWrite.h"
#include "EncryptedBackup.h"
#include "Locations.h"
#include "Log.h"
#include "ParallelFor.h"
#include "Plist.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupListing.h"
#include "ThreadCheck.h"

namespace {

struct DataType {
    int type;
    const char* relativePath;
    const char* domain;
    bool hasFileName;
    const char* identifier;
};

// The backup data types. An identifier is the SHA-1 of "<domain>-<path>".
constexpr DataType kDataTypes[] = {
    {0, "Library/AddressBook/AddressBook.sqlitedb", "HomeDomain", true,
     "31bb7ba8914766d4ba40d6dfb6113c8b614be442"},
    {1, "Library/Calendar/Calendar.sqlitedb", "HomeDomain", true,
     "2041457d5fe04d39d0ab481178355df6781e6858"},
    {2, "Library/Notes/notes.sqlite", "HomeDomain", true,
     "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c"},
    {3, "Library/Notes/notes.db", "HomeDomain", true, "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b"},
    {4, "NoteStore.sqlite", "AppDomainGroup-group.com.apple.notes", false,
     "4f98687d8ab0d6d1a371110e6b7300f6e465bef2"},
    {5, "Library/SMS/sms.db", "HomeDomain", true, "3d0d7e5fb2ce288813306e4d4636395e047a3d28"},
    {6, "Library/Voicemail/voicemail.db", "HomeDomain", true,
     "992df473bbb9e132f4b3b6e4d33f72171e97bc7a"},
    {8, "Library/AddressBook/AddressBookImages.sqlitedb", "HomeDomain", true,
     "cd6702cea29fe89cf280a76794405adb17f9a0ee"},
    {9, "Library/CallHistory/call_history.db", "WirelessDomain", true,
     "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca"},
    {10, "Library/Safari/Bookmarks.db", "HomeDomain", true,
     "d1f062e2da26192a6625d968274bfda8d07821e4"},
    {11, "Library/Safari/History.plist", "HomeDomain", true,
     "1d6740792a2b845f4c1e6220c43906d7f0afe8ab"},
    {12, "Library/Preferences/com.apple.MobileSMS.plist", "HomeDomain", true,
     "7ff7fe545440ab72b1570232d0ed81b84a5334dd"},
    {13, "Documents/ChatStorage.sqlite", "AppDomain-net.whatsapp.WhatsApp", true,
     "1b6b187a1b60b9ae8b720c79e2c67f472bab09c0"},
    {14, "Documents/Contacts.sqlite", "AppDomain-net.whatsapp.WhatsApp", true,
     "171b11a9861861624f4681d61751ca7d6c7a2bf7"},
    {15, "Library/CallHistoryDB/CallHistory.storedata", "HomeDomain", false,
     "5a4935c78a5255723f707230a451d79c540d2741"},
};

const DataType* dataType(int type)
{
    for (const DataType& entry : kDataTypes) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

bool isRegularFile(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The name a local copy gets: the file's own name when it is a plain one.
QString localName(const QString& relativePath, const QString& fallback)
{
    const QString name = BackupPathRules::lastComponent(relativePath);
    return BackupPathRules::isPlainFileName(name) ? name : BackupPathRules::lastComponent(fallback);
}

// Copies a file of the backup into a new private folder of the temporary
// folder, so every answer is the caller's own and two answers never share a
// name. A null string when the copy failed.
QString copyToNewLocalFolder(const QString& source, const QString& name)
{
    if (!isRegularFile(source) || !BackupPathRules::isPlainFileName(name))
        return {};
    const QString folder = Locations::makeScratchFolder(QStringLiteral("backup-file"));
    if (folder.isEmpty())
        return {};
    const QString target = folder + QLatin1Char('/') + name;
    if (!QFile::copy(source, target)) {
        qCWarning(lcOrvane) << "Could not copy a backup file to" << target;
        QDir(folder).removeRecursively();
        return {};
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

// Copies a stored file to a new private file (0600), letting the kernel move
// the bytes; a partial copy is removed.
bool copyStoredFile(const QString& source, const QString& target)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const QByteArray targetName = QFile::encodeName(target);
    const int out = ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    bool kernelCopies = true;
    char buffer[64 * 1024];
    for (;;) {
        ssize_t moved = -1;
        if (kernelCopies) {
            moved = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (moved < 0
                && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopies = false;
                continue;
            }
        } else {
            moved = ::read(in, buffer, sizeof buffer);
            if (moved > 0 && !writeAllToDescriptor(out, buffer, moved))
                moved = -1;
        }
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0) {
            ok = moved == 0;
            break;
        }
    }
    const int saved = errno;
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    if (!ok) {
        ::unlink(targetName.constData());
        errno = saved;
    }
    return ok;
}

// Writes one file of an opened backup to `target`: decrypted, or copied
// as it is stored; an empty file the device stored nothing for is empty.
bool writeEntry(const OpenedBackup& opened, const BackupManifestEntry& entry, const QString& target,
                QString* error)
{
    const BackupManifest& manifest = *opened.readableManifest();
    const QString stored = manifest.storedFilePath(entry);
    struct stat info {};
    if (entry.size == 0 && lstat(QFile::encodeName(stored).constData(), &info) != 0) {
        QFile empty(target);
        if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            *error = QStringLiteral("Cannot write %1: %2").arg(target, empty.errorString());
            return false;
        }
        empty.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }
    if (opened.kind == OpenedBackup::Kind::DeviceEncrypted)
        return opened.encrypted->decryptEntry(entry, target, error) == BackupCrypto::FileResult::Ok;
    if (!isRegularFile(stored)) {
        *error = QStringLiteral("The backup lacks the stored file %1 of %2 in %3.")
                     .arg(entry.backupFile, entry.relativePath, entry.domain);
        return false;
    }
    if (!copyStoredFile(stored, target)) {
        *error = QStringLiteral("Cannot copy %1 to %2: %3")
                     .arg(stored, target, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    return true;
}

} // namespace

std::optional<QELDeviceBackup::InProcessAnswer> QELDeviceBackup::answerInProcess(
    const OpenedBackup& opened, const QString& relativePath, const QString& domain,
    bool withCompanions) const
{
    using Kind = OpenedBackup::Kind;
    const BackupManifest* manifest = opened.readableManifest();
    if (opened.kind == Kind::DeviceEncrypted && !manifest) {
        // Nothing but the password opens it: nothing else can answer.
        return InProcessAnswer{QString(),
                               opened.status == EncryptedBackup::Status::WrongPassword
                                   ? LookupErrorKind::WrongPassword
                                   : LookupErrorKind::ExtractionFailed,
                               opened.reason};
    }
    if (!manifest)
        return std::nullopt;
    const std::optional<BackupManifestEntry> entry = manifest->find(domain, relativePath);
    if (!entry || entry->kind != BackupManifestEntry::Kind::File) {
        // The tool reads the same manifest: it would not find the file either.
        if (opened.kind == Kind::Plain)
            return std::nullopt; // the backup folder's own file names may still have it
        return InProcessAnswer{QString(), LookupErrorKind::NotInBackup, QString()};
    }
    if (opened.kind == Kind::ToolEncrypted)
        return std::nullopt; // only the tool decrypts it
    const QString name = BackupPathRules::lastComponent(relativePath);
    if (!BackupPathRules::isPlainFileName(name))
        return std::nullopt;
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("backup-file"));
    if (scratch.isEmpty())
        return InProcessAnswer{QString(), LookupErrorKind::NoTemporaryFolder, QString()};
    const QString local = scratch + QLatin1Char('/') + name;
    QString reason;
    if (!writeEntry(opened, *entry, local, &reason)) {
        QDir(scratch).removeRecursively();
        qCInfo(lcOrvane).noquote() << "Cannot copy a file out of the backup:" << reason;
        if (opened.kind == Kind::Plain)
            return std::nullopt;
        return InProcessAnswer{QString(), LookupErrorKind::ExtractionFailed, reason};
    }
    if (withCompanions) {
        for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            const std::optional<BackupManifestEntry> companion =
                manifest->find(domain, relativePath + suffix);
            if (companion && companion->kind == BackupManifestEntry::Kind::File
                && !writeEntry(opened, *companion, local + suffix, &reason))
                qCInfo(lcOrvane).noquote()
                    << "Cannot copy a companion out of the backup:" << reason;
        }
    }
    return InProcessAnswer{local, LookupErrorKind::None, QString()};
}

namespace {

QString answerDetail(const QELDeviceBackup::InProcessAnswer& answer, const QString& detail)
{
    if (answer.error == QELDeviceBackup::LookupErrorKind::None)
        return {};
    return answer.detail.isEmpty() ? detail : detail + QStringLiteral(": ") + answer.detail;
}

} // namespace

std::shared_ptr<const OpenedBackup> QELDeviceBackup::openedBackup()
{
    return m_readSession.open(deviceFolder(), password(), m_tool.keyCache());
}

std::optional<QELDataTypeSearchReferenceElement> QELDeviceBackup::relativePathElementForDataType(
    int type)
{
    const DataType* entry = dataType(type);
    if (!entry)
        return std::nullopt;
    return QELDataTypeSearchReferenceElement::initWithRelativeDevicePathInDomain(
        QString::fromLatin1(entry->relativePath), QString::fromLatin1(entry->domain));
}

QString QELDeviceBackup::fileNameForDataType(int type)
{
    const DataType* entry = dataType(type);
    if (!entry || !entry->hasFileName)
        return {};
    return BackupPathRules::lastComponent(QString::fromLatin1(entry->relativePath));
}

QString QELDeviceBackup::fileIdentifierForDataType(int type)
{
    const DataType* entry = dataType(type);
    return entry ? QString::fromLatin1(entry->identifier) : QString();
}

QString QELDeviceBackup::deviceFolder() const
{
    const QString path = deviceBackUpPath();
    return path.isEmpty() ? Locations::backupRoot() + QLatin1Char('/') + deviceUID() : path;
}

QELDeviceBackupListing& QELDeviceBackup::listing()
{
    if (!m_backupListing)
        m_backupListing = std::make_unique<QELDeviceBackupListing>(
            appleMobileDeviceBackupExecutablePath(), m_tool.keys);
    return *m_backupListing;
}

QString QELDeviceBackup::GetPathToDataOfType(int type)
{
    assertNotOnGuiThread();
    const std::optional<QELDataTypeSearchReferenceElement> element =
        relativePathElementForDataType(type);
    if (!element) {
        setLastLookupError(LookupErrorKind::NotInBackup,
                           QStringLiteral("There is no data type %1.").arg(type));
        return {};
    }
    const QString detail = QStringLiteral("Data type %1: %2 in %3")
                               .arg(type)
                               .arg(element->relativeDevicePath(), element->domain());
    if (Locations::temporaryFolder().isEmpty()) {
        setLastLookupError(
            LookupErrorKind::NoTemporaryFolder,
            QStringLiteral("No private temporary folder for data type %1.").arg(type));
        return {};
    }
    // From the backup read once for the connection, without the tool.
    const std::shared_ptr<const OpenedBackup> opened = openedBackup();
    if (const std::optional<InProcessAnswer> answer =
            answerInProcess(*opened, element->relativeDevicePath(), element->domain(), true)) {
        setLastLookupError(answer->error, answerDetail(*answer, detail));
        return answer->path;
    }
    std::lock_guard lock(m_lookupMutex);
    const QString found = _getSearchStringForDataType(type, *opened);
    if (!found.isEmpty())
        setLastLookupError(LookupErrorKind::None);
    else
        setLastLookupError(
            classifyMissingFile(*opened, element->relativeDevicePath(), element->domain()), detail);
    return found;
}

QELDeviceBackup::LookupError QELDeviceBackup::lastLookupError() const
{
    std::lock_guard lock(m_lookupErrorMutex);
    return m_lastLookupError;
}

void QELDeviceBackup::setLastLookupError(LookupErrorKind kind, const QString& detail)
{
    if (kind != LookupErrorKind::None)
        qCInfo(lcOrvane).noquote()
            << "Backup lookup found nothing (" << static_cast<int>(kind) << "):" << detail;
    std::lock_guard lock(m_lookupErrorMutex);
    m_lastLookupError = LookupError{kind, detail};
}

QELDeviceBackup::LookupErrorKind QELDeviceBackup::classifyMissingFile(const OpenedBackup& opened,
                                                                      const QString& relativePath,
                                                                      const QString& domain) const
{
    // The manifest was read once for the connection: telling why costs a lookup.
    const BackupManifest* manifest = opened.readableManifest();
    if (opened.kind == OpenedBackup::Kind::DeviceEncrypted) {
        // Only the key bag tells a wrong password from a backup that cannot
        // be read: the password is wrong only when its keys do not unwrap.
        if (!manifest) {
            if (opened.status == EncryptedBackup::Status::WrongPassword)
                return LookupErrorKind::WrongPassword;
            qCInfo(lcOrvane).noquote() << "The encrypted backup cannot be read:" << opened.reason;
            return LookupErrorKind::ExtractionFailed;
        }
        return manifest->find(domain, relativePath) ? LookupErrorKind::ExtractionFailed
                                                    : LookupErrorKind::NotInBackup;
    }
    if (!manifest) {
        // An encrypted manifest cannot be read without the password; with
        // one, the backup is in a form that cannot be read.
        if (!opened.isEncrypted())
            return LookupErrorKind::NotInBackup;
        return password() ? LookupErrorKind::ExtractionFailed : LookupErrorKind::WrongPassword;
    }
    if (!manifest->find(domain, relativePath))
        return LookupErrorKind::NotInBackup;
    // Listed, so only the tool's extraction could have answered an encrypted
    // backup: with the tool there, the password is what failed.
    if (opened.isEncrypted() && !appleMobileDeviceBackupExecutablePath().isEmpty())
        return LookupErrorKind::WrongPassword;
    return LookupErrorKind::ExtractionFailed;
}

QString QELDeviceBackup::_getSearchStringForDataType(int type, const OpenedBackup& opened)
{
    const std::optional<QELDataTypeSearchReferenceElement> element =
        relativePathElementForDataType(type);
    if (!element || Locations::temporaryFolder().isEmpty())
        return {};

    // 1. The tool's extraction, which decrypts and brings the companions:
    // where this process could not read the manifest itself (the tool may
    // know a form it does not), or only the tool decrypts the backup.
    if (!opened.readableManifest() || opened.kind == OpenedBackup::Kind::ToolEncrypted) {
        const QString extracted = _getPathByExtractionForReferenceElement(*element, true);
        if (!extracted.isEmpty())
            return extracted;
    }

    // The other ways copy the backup's stored files as they are: of an
    // encrypted backup that would hand out ciphertext.
    const QString folder = deviceFolder();
    if (opened.isEncrypted())
        return {};

    // 2. The manifests: the record of the type's own domain and path first,
    // then the index's record of the file name.
    const QString fileName = fileNameForDataType(type);
    if (!fileName.isEmpty() && QFileInfo::exists(folder + QStringLiteral("/Manifest.mbdb"))
        && QFileInfo::exists(folder + QStringLiteral("/Manifest.mbdx"))) {
        const QELDeviceBackupBrowser::DomainTable table =
            m_manifests.ReadMBDBForBackUpSetAtPath(folder);
        const QString exact =
            table.value(element->domain()).value(element->relativeDevicePath()).toLower();
        if (!exact.isEmpty()) {
            const QString copy = copyToNewLocalFolder(folder + QLatin1Char('/') + exact, fileName);
            if (!copy.isEmpty())
                return copy;
        }
        const std::optional<QELDeviceBackupBrowser::RecordTable> records =
            m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder);
        if (records && records->contains(fileName)) {
            const QString copy = copyToNewLocalFolder(
                folder + QLatin1Char('/') + records->value(fileName).backupPath().toLower(),
                fileName);
            if (!copy.isEmpty())
                return copy;
        }
    }

    // 3. The file named by the type's identifier, flat or in its subfolder.
    const QString identifier = fileIdentifierForDataType(type);
    const QString name = localName(element->relativeDevicePath(), identifier);
    for (const QString& candidate :
         {identifier, identifier.left(2) + QLatin1Char('/') + identifier}) {
        const QString copy = copyToNewLocalFolder(folder + QLatin1Char('/') + candidate, name);
        if (!copy.isEmpty())
            return copy;
    }
    return {};
}

QString QELDeviceBackup::_getPathByExtractionForReferenceElement(
    const QELDataTypeSearchReferenceElement& element, bool withCompanions)
{
    // The last component names the extracted file: it must be a plain name.
    const QString name = BackupPathRules::lastComponent(element.relativeDevicePath());
    if (!BackupPathRules::isPlainFileName(name)
        || !BackupPathRules::isSafeRelativePath(element.relativeDevicePath()))
        return {};
    // Each extraction goes to a new private folder: nothing in the backup root
    // is written or removed, and two lookups never meet.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("backup-file"));
    if (scratch.isEmpty())
        return {};
    const QString local = scratch + QLatin1Char('/') + name;
    const QString uid = deviceUID();
    const std::optional<QString> secret = password();
    if (!QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
            element.relativeDevicePath(), uid, secret, element.domain(), scratch, m_tool)
        || !isRegularFile(local)) {
        QDir(scratch).removeRecursively();
        return {};
    }
    if (withCompanions) {
        for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            QELDeviceBackupBrowser::
                ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
                    element.relativeDevicePath() + suffix, uid, secret, element.domain(), scratch,
                    m_tool);
    }
    return local;
}

QString QELDeviceBackup::_getPathByFileListingForReferenceElement(
    const QELDataTypeSearchReferenceElement& element)
{
    const QString folder = deviceFolder();
    const QString uid = deviceUID();
    const std::optional<QString> secret = password();
    QELDeviceBackupListing& list = listing();
    // The listing's answer is joined to the backup folder: only a backup file name will do.
    const QString stored =
        list.filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
            element.relativeDevicePath(), uid, secret, element.domain());
    if (!BackupPathRules::isBackupFileName(stored))
        return {};
    const QString local = copyToNewLocalFolder(folder + QLatin1Char('/') + stored,
                                               localName(element.relativeDevicePath(), stored));
    if (local.isEmpty())
        return {};
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString companion =
            list.filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                element.relativeDevicePath() + suffix, uid, secret, element.domain());
        if (BackupPathRules::isBackupFileName(companion)
            && isRegularFile(folder + QLatin1Char('/') + companion)
            && !QFileInfo::exists(local + suffix))
            QFile::copy(folder + QLatin1Char('/') + companion, local + suffix);
    }
    return local;
}

QString QELDeviceBackup::GetPathForDeviceFileNameInDomain(const QString& path,
                                                          const QString& domain)
{
    assertNotOnGuiThread();
    const QString inDomain = domain.isNull() ? QStringLiteral("HomeDomain") : domain;
    const QString detail = QStringLiteral("%1 in %2").arg(path, inDomain);
    if (path.isEmpty() || !BackupPathRules::isSafeRelativePath(path)) {
        // Paths come from device databases (attachments, voicemail, note media).
        setLastLookupError(LookupErrorKind::NotInBackup,
                           QStringLiteral("Not a path within a domain: ") + detail);
        return {};
    }
    if (Locations::temporaryFolder().isEmpty()) {
        setLastLookupError(LookupErrorKind::NoTemporaryFolder,
                           QStringLiteral("No private temporary folder for ") + detail);
        return {};
    }
    // From the backup read once for the connection, without the tool and
    // without the lookup lock: several files decrypt side by side.
    const std::shared_ptr<const OpenedBackup> opened = openedBackup();
    if (opened->isEncrypted() && !m_deviceIsAvailable) {
        setLastLookupError(classifyMissingFile(*opened, path, inDomain), detail);
        return {};
    }
    if (const std::optional<InProcessAnswer> answer =
            answerInProcess(*opened, path, inDomain, false)) {
        setLastLookupError(answer->error, answerDetail(*answer, detail));
        return answer->path;
    }
    std::lock_guard lock(m_lookupMutex);
    const QString found = _getPathForDeviceFileNameInDomain(path, inDomain, *opened);
    if (!found.isEmpty())
        setLastLookupError(LookupErrorKind::None);
    else
        setLastLookupError(classifyMissingFile(*opened, path, inDomain), detail);
    return found;
}

QStringList QELDeviceBackup::GetPathsForDeviceFiles(const QList<BackupFileRequest>& files)
{
    assertNotOnGuiThread();
    QStringList paths(files.size());
    LookupError firstMissing;
    std::mutex missingMutex;
    parallelFor(static_cast<size_t>(files.size()), kLookupThreads, [&](size_t i) {
        const BackupFileRequest& file = files.at(static_cast<qsizetype>(i));
        paths[static_cast<qsizetype>(i)] = GetPathForDeviceFileNameInDomain(file.path, file.domain);
        if (paths.at(static_cast<qsizetype>(i)).isEmpty()) {
            const LookupError error = lastLookupError();
            std::lock_guard lock(missingMutex);
            if (firstMissing.kind == LookupErrorKind::None)
                firstMissing = error;
        }
        return true;
    });
    std::lock_guard lock(m_lookupErrorMutex);
    m_lastLookupError = firstMissing;
    return paths;
}

QString QELDeviceBackup::_getPathForDeviceFileNameInDomain(const QString& path,
                                                           const QString& inDomain,
                                                           const OpenedBackup& opened)
{
    const QELDataTypeSearchReferenceElement element =
        QELDataTypeSearchReferenceElement::initWithRelativeDevicePathInDomain(path, inDomain);
    const std::optional<QString> secret = password();
    const QString folder = deviceFolder();
    // The other ways copy stored files as they are: only the tool's
    // extraction decrypts (an empty password too).
    if (opened.isEncrypted())
        return _getPathByExtractionForReferenceElement(element, false);
    // The tool reads the same manifest as this process: where this process
    // read it and did not find the file, the tool's runs would not either.
    const bool toolMayFind = !opened.readableManifest();
    const bool noPassword = !secret || secret->isEmpty();
    bool listingTried = false;

    // 1. The listing, or with a password the tool's extraction (which decrypts).
    if (m_deviceIsAvailable && toolMayFind) {
        const QString found = noPassword ? _getPathByFileListingForReferenceElement(element)
                                         : _getPathByExtractionForReferenceElement(element, false);
        listingTried = noPassword;
        if (!found.isEmpty())
            return found;
    }

    // 2. The tool's file-name run.
    const QString stored = toolMayFind
        ? QELDeviceBackupBrowser::GetBackupPathFromReleativePathForDeviceIDWithPasswordFromDomain(
            path, deviceUID(), secret, inDomain, m_tool)
        : QString();
    if (!stored.isEmpty()) {
        const QString copy =
            copyToNewLocalFolder(folder + QLatin1Char('/') + stored, localName(path, stored));
        if (!copy.isEmpty())
            return copy;
    }

    // 3. The manifest (its identifiers are upper case; the files are named in lower case).
    const QELDeviceBackupBrowser::DomainTable table =
        m_manifests.ReadMBDBForBackUpSetAtPath(folder);
    const QString identifier = table.value(inDomain).value(path).toLower();
    if (!identifier.isEmpty()) {
        const QString copy = copyToNewLocalFolder(folder + QLatin1Char('/') + identifier,
                                                  localName(path, identifier));
        if (!copy.isEmpty())
            return copy;
    }

    // 4. The listing, when it was not the first way.
    if (!listingTried && toolMayFind)
        return _getPathByFileListingForReferenceElement(element);
    return {};
}

QList<QELDeviceBackupListingItem> QELDeviceBackup::GetAllFilesInDomain(const QString& domain)
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_lookupMutex);
    if (!m_deviceIsAvailable)
        return {};
    // A backup its device encrypted lists nothing without its password.
    const std::shared_ptr<const OpenedBackup> opened = openedBackup();
    // The manifest read for the connection lists it; the tool would read it again.
    if (opened->kind == OpenedBackup::Kind::DeviceEncrypted
        || (opened->kind == OpenedBackup::Kind::Plain && opened->readableManifest())) {
        QList<QELDeviceBackupListingItem> items;
        const BackupManifest* manifest = opened->readableManifest();
        if (!manifest)
            return items;
        const QString inDomain = domain.isNull() ? QStringLiteral("HomeDomain") : domain;
        for (const BackupManifestEntry& entry : manifest->filesInDomain(inDomain))
            items.append(
                QELDeviceBackupListingItem(entry.relativePath, entry.backupFile, entry.domain));
        return items;
    }
    return listing().getAllFilesInDomainForDeviceId(domain, deviceUID(), password());
}

QList<QELBackupFileDetail> QELDeviceBackup::GetAllFiles()
{
    assertNotOnGuiThread();
    QList<QELBackupFileDetail> details;
    std::lock_guard lock(m_lookupMutex);
    // A backup its device encrypted: its manifest opens with the password.
    const std::shared_ptr<const OpenedBackup> opened = openedBackup();
    const BackupManifest* manifest = opened->readableManifest();
    if (!manifest)
        return details;
    QSet<QPair<QString, QString>> seen;
    for (const BackupManifestEntry& entry : manifest->entries()) {
        if (entry.relativePath.isEmpty() || seen.contains({entry.relativePath, entry.domain}))
            continue;
        seen.insert({entry.relativePath, entry.domain});
        QELBackupFileDetail detail;
        detail.setFilePath(entry.relativePath);
        detail.setDomain(entry.domain);
        detail.setPathComponent(BackupPathRules::lastComponent(entry.relativePath));
        details.append(detail);
    }
    return details;
}
