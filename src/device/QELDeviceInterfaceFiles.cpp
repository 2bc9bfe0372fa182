// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations of QELDeviceInterface: over the file service (AFC) for
// iOS devices, through the file system below the mount point for disk-mode iPods.
#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include "AfcConnection.h"
#include "Log.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace {

constexpr qint64 kBlockSize = 4 * 1024 * 1024; // every block transfer: 4 MiB
constexpr int kMaxFolderDepth = 64;

// "/a/./b/../c" and "a/c" -> "/a/c"; ".." never leads above the root.
QString normalisedDevicePath(const QString& path)
{
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString joinDevicePath(const QString& folder, const QString& name)
{
    const QString base = normalisedDevicePath(folder);
    return base == QLatin1String("/") ? base + name : base + QLatin1Char('/') + name;
}

bool allDigits(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool localExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString uniqueSuffix() { return QString::number(QRandomGenerator::global()->generate64(), 36); }

} // namespace

int QELDeviceInterface::noteAfc(int code, const char* operation, const QString& path,
                                bool notFoundIsAnswer) const
{
    if (code == AfcResult::kSuccess || (notFoundIsAnswer && code == AfcResult::kNotFound))
        return code;
    qCWarning(lcOrvane).nospace() << "The device's file service answered " << code << " to "
                                  << operation << " of " << path;
    std::lock_guard lock(m_afcErrorMutex);
    m_lastAfcError = AfcError{code, QString::fromLatin1(operation), path};
    return code;
}

QELDeviceInterface::AfcError QELDeviceInterface::lastAfcError() const
{
    std::lock_guard lock(m_afcErrorMutex);
    return m_lastAfcError;
}

void QELDeviceInterface::clearLastAfcError()
{
    std::lock_guard lock(m_afcErrorMutex);
    m_lastAfcError = AfcError{};
}

QString QELDeviceInterface::fullStandardDevicePathWithPath(const QString& path) const
{
    QString base = standardDeviceBasePath();
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString relative = normalisedDevicePath(path);
    const QString full = relative == QLatin1String("/") ? base : base + relative;
    // A symlink on the volume may point anywhere on the computer: a path that
    // leaves the volume is no device path, and every call on it fails.
    if (base.isEmpty() || !SafePath::isInside(base, full)) {
        qCWarning(lcOrvane).noquote() << "Refusing a device path that leaves the volume:" << path;
        return QString();
    }
    return full;
}

void QELDeviceInterface::setCancelFileOperation(bool cancel)
{
    m_cancelFileOperation.store(cancel);
    // Cancels the copies running now; a copy started later is not affected.
    if (cancel)
        ++m_cancelGeneration;
}

bool QELDeviceInterface::fileExistsAtPath(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        AfcConnection::KeyValues info;
        const QString devicePath = normalisedDevicePath(path);
        return noteAfc(connection->fileInfo(devicePath, &info), "fileInfo", devicePath, true)
            == AfcResult::kSuccess;
    }
    return diskMode() && localExists(fullStandardDevicePathWithPath(path));
}

std::optional<QVariantMap> QELDeviceInterface::getFileInfo(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return std::nullopt;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        AfcConnection::KeyValues pairs;
        if (!connection
            || noteAfc(connection->fileInfo(normalisedDevicePath(path), &pairs), "fileInfo",
                       normalisedDevicePath(path), true)
                != AfcResult::kSuccess)
            return std::nullopt;
        QVariantMap record;
        for (const auto& [key, value] : pairs) {
            if (key.isEmpty())
                break;
            bool ok = true;
            const qint64 number = value.isEmpty() ? 0 : value.toLongLong(&ok);
            record.insert(key, allDigits(value) && ok ? QVariant(number) : QVariant(value));
        }
        record.insert(QStringLiteral("path"), path);
        return record;
    }
    if (!diskMode())
        return std::nullopt;
    const QFileInfo info(fullStandardDevicePathWithPath(path));
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QVariantMap attributes;
    attributes.insert(QStringLiteral("NSFileSize"),
                      info.isSymLink() ? QVariant(qint64(0)) : QVariant(info.size()));
    attributes.insert(QStringLiteral("NSFileType"),
                      info.isSymLink()   ? QStringLiteral("NSFileTypeSymbolicLink")
                          : info.isDir() ? QStringLiteral("NSFileTypeDirectory")
                                         : QStringLiteral("NSFileTypeRegular"));
    attributes.insert(QStringLiteral("NSFileModificationDate"), info.lastModified().toUTC());
    const QDateTime created = info.birthTime();
    if (created.isValid())
        attributes.insert(QStringLiteral("NSFileCreationDate"), created.toUTC());
    attributes.insert(QStringLiteral("NSFilePosixPermissions"), qint64(info.permissions()));
    return attributes;
}

bool QELDeviceInterface::isDirectoryAtPath(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        // The item's type from its information; a listing only when the
        // device does not say.
        AfcConnection::KeyValues info;
        if (noteAfc(connection->fileInfo(normalisedDevicePath(path), &info), "fileInfo",
                    normalisedDevicePath(path), true)
            != AfcResult::kSuccess)
            return false;
        for (const auto& [key, value] : info) {
            if (key == QLatin1String("st_ifmt"))
                return value == QLatin1String("S_IFDIR");
        }
        QStringList entries;
        return noteAfc(connection->directoryRead(normalisedDevicePath(path), &entries),
                       "directoryRead", normalisedDevicePath(path))
            == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    const QFileInfo info(fullStandardDevicePathWithPath(path));
    return info.isDir();
}

bool QELDeviceInterface::makeDir(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->directoryCreate(normalisedDevicePath(path)), "directoryCreate",
                       normalisedDevicePath(path))
            == AfcResult::kSuccess;
    }
    const QString full = diskMode() ? fullStandardDevicePathWithPath(path) : QString();
    return !full.isEmpty() && QDir().mkpath(full);
}

std::optional<QStringList> QELDeviceInterface::directoryContents(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull() || !isDirectoryAtPath(path))
        return std::nullopt;
    QStringList names;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection
            || noteAfc(connection->directoryRead(normalisedDevicePath(path), &names),
                       "directoryRead", normalisedDevicePath(path))
                != AfcResult::kSuccess)
            return std::nullopt;
    } else {
        if (!diskMode())
            return std::nullopt;
        const QString full = fullStandardDevicePathWithPath(path);
        QDir folder(full);
        if (full.isEmpty() || !folder.exists())
            return std::nullopt;
        names = folder.entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList result;
    result.reserve(names.size());
    for (const QString& name : std::as_const(names)) {
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        // No file system holds such a name: it can only lead elsewhere.
        if (!SafePath::isPlainName(name)) {
            qCWarning(lcOrvane) << "Ignoring a directory entry that is not a plain name:" << name
                                << "in" << path;
            continue;
        }
        result.append(name);
    }
    return result;
}

std::optional<QByteArray> QELDeviceInterface::getDataContentsAtPathStartingAtPostisionForLength(
    const QString& path, quint64 offset, quint32 length) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return std::nullopt;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return std::nullopt;
        uint64_t ref = 0;
        const QString devicePath = normalisedDevicePath(path);
        if (noteAfc(connection->fileRefOpen(devicePath, AfcFileMode::ReadOnly, &ref), "fileRefOpen",
                    devicePath)
            != AfcResult::kSuccess)
            return std::nullopt;
        std::optional<QByteArray> answer;
        if (noteAfc(connection->fileRefSeek(ref, offset), "fileRefSeek", devicePath)
            == AfcResult::kSuccess) {
            QByteArray data;
            data.reserve(static_cast<qsizetype>(length));
            QByteArray buffer(static_cast<qsizetype>(std::min<qint64>(length, kBlockSize)), '\0');
            bool failed = false;
            while (static_cast<quint32>(data.size()) < length) {
                const uint32_t wanted =
                    static_cast<uint32_t>(std::min<qint64>(length - data.size(), kBlockSize));
                uint32_t got = 0;
                if (noteAfc(connection->fileRefRead(ref, buffer.data(), wanted, &got),
                            "fileRefRead", devicePath)
                        != AfcResult::kSuccess
                    || got == 0) {
                    failed = true;
                    break;
                }
                data.append(buffer.constData(), static_cast<qsizetype>(got));
            }
            if (!failed)
                answer = data;
        }
        connection->fileRefClose(ref);
        return answer;
    }
    if (!diskMode())
        return std::nullopt;
    QFile file(fullStandardDevicePathWithPath(path));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (offset > static_cast<quint64>(std::numeric_limits<qint64>::max())
        || !file.seek(static_cast<qint64>(offset)))
        return std::nullopt;
    QByteArray data = file.read(length);
    if (data.isNull())
        data = QByteArray("");
    return data;
}

bool QELDeviceInterface::copyFileFromDeviceAtToLocalPath(const QString& devicePath,
                                                         const QString& localPath,
                                                         const std::atomic<bool>* cancel)
{
    assertNotOnGuiThread();
    if (devicePath.isNull() || localPath.isEmpty() || localExists(localPath))
        return false;
    const QString parent = QFileInfo(localPath).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    m_cancelFileOperation.store(false);
    const quint64 cancelGeneration = m_cancelGeneration.load();

    if (connectedDeviceOperatingSystem() == 1) {
        sendCommunicating(true, devicePath);
        const auto connection = afc();
        const bool copied = connection
            && copyFileFromAfc(*connection, devicePath, localPath, cancel, cancelGeneration);
        sendCommunicating(false, devicePath);
        return copied;
    }
    if (!diskMode())
        return false;

    QFile source(fullStandardDevicePathWithPath(devicePath));
    if (!QFileInfo(source.fileName()).isFile() || !source.open(QIODevice::ReadOnly))
        return false;
    QTemporaryFile target(localPath + QStringLiteral(".part-XXXXXX"));
    if (!target.open())
        return false;
    QByteArray buffer(kBlockSize, '\0');
    for (;;) {
        if ((cancel && cancel->load()) || m_cancelGeneration.load() != cancelGeneration
            || m_quitting.load())
            return false;
        const qint64 got = source.read(buffer.data(), kBlockSize);
        if (got < 0)
            return false;
        if (got > 0 && target.write(buffer.constData(), got) != got)
            return false;
        if (got < kBlockSize)
            break;
    }
    if (!target.flush() || localExists(localPath))
        return false;
    // rename() closes the file itself; closing first would lose an unnamed
    // temporary file.
    if (!target.rename(localPath))
        return false;
    target.setAutoRemove(false);
    return true;
}

bool QELDeviceInterface::copyFileFromAfc(AfcConnection& connection, const QString& devicePath,
                                         const QString& localPath, const std::atomic<bool>* cancel,
                                         quint64 cancelGeneration)
{
    uint64_t ref = 0;
    const QString source = normalisedDevicePath(devicePath);
    if (noteAfc(connection.fileRefOpen(source, AfcFileMode::ReadOnly, &ref), "fileRefOpen", source)
        != AfcResult::kSuccess)
        return false;
    // The bytes go to a temporary name beside the target, which becomes the
    // target only once the whole file has arrived.
    QTemporaryFile target(localPath + QStringLiteral(".part-XXXXXX"));
    if (!target.open()) {
        connection.fileRefClose(ref);
        return false;
    }
    QByteArray buffer(kBlockSize, '\0');
    bool complete = false;
    for (;;) {
        if ((cancel && cancel->load()) || m_cancelGeneration.load() != cancelGeneration
            || m_quitting.load())
            break;
        uint32_t got = 0;
        if (noteAfc(
                connection.fileRefRead(ref, buffer.data(), static_cast<uint32_t>(kBlockSize), &got),
                "fileRefRead", source)
            != AfcResult::kSuccess)
            break;
        if (got > 0 && target.write(buffer.constData(), got) != static_cast<qint64>(got))
            break;
        if (got < kBlockSize) {
            complete = true;
            break;
        }
    }
    connection.fileRefClose(ref);
    if (!complete || !target.flush() || localExists(localPath))
        return false;
    // rename() closes the file itself; closing first would lose an unnamed
    // temporary file.
    if (!target.rename(localPath))
        return false;
    target.setAutoRemove(false);
    return true;
}

bool QELDeviceInterface::copyDirectoryFromDeviceAtToLocalPath(const QString& devicePath,
                                                              const QString& localPath,
                                                              const std::atomic<bool>* cancel)
{
    assertNotOnGuiThread();
    if (devicePath.isNull() || localPath.isEmpty() || !isDirectoryAtPath(devicePath))
        return false;
    if (!QDir().mkpath(localPath))
        return false;
    return copyDirectoryWorker(devicePath, QFileInfo(localPath).absoluteFilePath(), cancel, 0);
}

bool QELDeviceInterface::copyDirectoryWorker(const QString& devicePath, const QString& localPath,
                                             const std::atomic<bool>* cancel, int depth)
{
    if (depth > kMaxFolderDepth) {
        qCWarning(lcOrvane) << "Folder nesting too deep, not copied:" << devicePath;
        return false;
    }
    const std::optional<QStringList> entries = directoryContents(devicePath);
    if (!entries)
        return false;
    bool allCopied = true;
    for (const QString& name : *entries) {
        if (cancel && cancel->load())
            return false;
        // directoryContents only answers plain names; checked again here
        // because this name becomes a local path.
        if (!SafePath::isPlainName(name))
            continue;
        const QString deviceChild = joinDevicePath(devicePath, name);
        const QString localChild = localPath + QLatin1Char('/') + name;
        if (isDirectoryAtPath(deviceChild)) {
            const QFileInfo existing(localChild);
            if (existing.isSymLink() || (existing.exists() && !existing.isDir())
                || !QDir().mkpath(localChild)) {
                allCopied = false;
                continue;
            }
            if (!copyDirectoryWorker(deviceChild, localChild, cancel, depth + 1))
                allCopied = false;
        } else if (fileExistsAtPath(deviceChild)) {
            // A file already present locally is kept, as the single copy does.
            if (localExists(localChild))
                continue;
            if (!copyFileFromDeviceAtToLocalPath(deviceChild, localChild, cancel))
                allCopied = false;
        }
    }
    return allCopied;
}

bool QELDeviceInterface::copyLocalFileAtToDevicePath(const QString& localPath,
                                                     const QString& devicePath)
{
    assertNotOnGuiThread();
    if (localPath.isEmpty() || devicePath.isNull() || fileExistsAtPath(devicePath))
        return false;
    QFile source(localPath);
    if (!QFileInfo(localPath).isFile() || !source.open(QIODevice::ReadOnly))
        return false;
    const QString target = normalisedDevicePath(devicePath);
    const QString temporary = target + QStringLiteral(".orvane-upload-") + uniqueSuffix();

    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        uint64_t ref = 0;
        if (noteAfc(connection->fileRefOpen(temporary, AfcFileMode::WriteOnly, &ref), "fileRefOpen",
                    temporary)
            != AfcResult::kSuccess)
            return false;
        QByteArray buffer(kBlockSize, '\0');
        bool written = true;
        for (;;) {
            const qint64 got = source.read(buffer.data(), kBlockSize);
            if (got < 0) {
                written = false;
                break;
            }
            if (got == 0)
                break;
            qint64 sent = 0;
            while (sent < got) {
                uint32_t put = 0;
                if (noteAfc(connection->fileRefWrite(ref, buffer.constData() + sent,
                                                     static_cast<uint32_t>(got - sent), &put),
                            "fileRefWrite", temporary)
                        != AfcResult::kSuccess
                    || put == 0) {
                    written = false;
                    break;
                }
                sent += put;
            }
            if (!written)
                break;
        }
        const bool closed = noteAfc(connection->fileRefClose(ref), "fileRefClose", temporary)
            == AfcResult::kSuccess;
        // The upload becomes the target only when complete, and never replaces
        // a file that appeared meanwhile.
        if (written && closed && !fileExistsAtPath(target)
            && noteAfc(connection->renamePath(temporary, target), "renamePath", target)
                == AfcResult::kSuccess)
            return true;
        connection->removePath(temporary);
        return false;
    }
    if (!diskMode())
        return false;
    const QString fullTarget = fullStandardDevicePathWithPath(target);
    const QString fullTemporary = fullStandardDevicePathWithPath(temporary);
    QFile out(fullTemporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QByteArray buffer(kBlockSize, '\0');
    bool written = true;
    for (;;) {
        const qint64 got = source.read(buffer.data(), kBlockSize);
        if (got < 0 || (got > 0 && out.write(buffer.constData(), got) != got)) {
            written = false;
            break;
        }
        if (got == 0)
            break;
    }
    written = written && out.flush();
    out.close();
    if (written && !localExists(fullTarget) && QFile::rename(fullTemporary, fullTarget))
        return true;
    QFile::remove(fullTemporary);
    return false;
}

bool QELDeviceInterface::deletePath(const QString& path)
{
    assertNotOnGuiThread();
    if (path.isNull() || !fileExistsAtPath(path))
        return false;
    const QString target = normalisedDevicePath(path);
    if (target == QLatin1String("/"))
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->removePath(target), "removePath", target) == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    const QString full = fullStandardDevicePathWithPath(target);
    if (full.isEmpty())
        return false;
    const QFileInfo info(full);
    // A folder goes only when it is empty, as on the device's own file service.
    if (info.isDir() && !info.isSymLink())
        return QDir().rmdir(full);
    return QFile::remove(full);
}

bool QELDeviceInterface::renamePath(const QString& from, const QString& to)
{
    assertNotOnGuiThread();
    if (from.isNull() || to.isNull() || !fileExistsAtPath(from))
        return false;
    const QString source = normalisedDevicePath(from);
    const QString target = normalisedDevicePath(to);
    if (source == QLatin1String("/") || target == QLatin1String("/"))
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->renamePath(source, target), "renamePath", source)
            == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    return std::rename(QFile::encodeName(fullStandardDevicePathWithPath(source)).constData(),
                       QFile::encodeName(fullStandardDevicePathWithPath(target)).constData())
        == 0;
}
