// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListBuilder.h"

#include <algorithm>

#include <dirent.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "Log.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

namespace FileListBuilder {

namespace {

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

void count(int* counter)
{
    if (counter)
        ++*counter;
}

// What a walk of a tree could not list: how many entries, and why the first.
struct Refusals {
    int* count = nullptr;
    CopyFailure* first = nullptr;

    void add(CopyFailure why, int how = 1) const
    {
        if (how <= 0)
            return;
        if (count)
            *count += how;
        if (first && *first == CopyFailure::None)
            *first = why;
    }
};

FileEntryKind kindFromInfo(const QVariantMap& info, bool* known)
{
    *known = true;
    // iOS: the file service's "st_ifmt".
    const QString format = info.value(QStringLiteral("st_ifmt")).toString();
    if (format == QLatin1String("S_IFDIR"))
        return FileEntryKind::Folder;
    if (format == QLatin1String("S_IFLNK"))
        return FileEntryKind::Link;
    if (!format.isEmpty())
        return FileEntryKind::File;
    // Disk mode: the file attributes' type.
    const QString type = info.value(QStringLiteral("NSFileType")).toString();
    if (type == QLatin1String("NSFileTypeDirectory"))
        return FileEntryKind::Folder;
    if (type == QLatin1String("NSFileTypeSymbolicLink"))
        return FileEntryKind::Link;
    if (!type.isEmpty())
        return FileEntryKind::File;
    *known = false;
    return FileEntryKind::File;
}

void addDeviceTree(const QELDeviceInterface& device, const QString& folder, int depth,
                   const std::atomic<bool>* cancel, const Refusals& refused,
                   QList<FileListItem>* list)
{
    list->append({folder, FileEntryKind::Folder, std::nullopt});
    if (depth >= kMaxDepth) {
        qCWarning(lcOrvane) << "A device folder nests too deep, its contents are left out:"
                            << folder;
        refused.add(CopyFailure::UnreadableEntry);
        return;
    }
    // Names the computer cannot hold (not UTF-8 on a disk-mode volume) are
    // counted by the listing itself.
    int badNames = 0;
    const std::optional<QStringList> names = device.directoryContents(folder, &badNames);
    refused.add(CopyFailure::UnsupportedName, badNames);
    if (!names) {
        refused.add(CopyFailure::UnreadableEntry);
        return;
    }
    for (const QString& name : *names) {
        if (cancelled(cancel))
            return;
        if (!SafePath::isPlainName(name)) {
            refused.add(CopyFailure::UnsupportedName);
            continue;
        }
        const QString path = joinPath(folder, name);
        std::optional<qint64> size;
        const FileEntryKind kind = deviceKind(device, path, &size);
        if (kind == FileEntryKind::Folder)
            addDeviceTree(device, path, depth + 1, cancel, refused, list);
        else
            list->append({path, kind, size});
    }
}

void addLocalTree(const QString& folder, int depth, const std::atomic<bool>* cancel,
                  const Refusals& refused, QList<FileListItem>* list)
{
    list->append({folder, FileEntryKind::Folder, std::nullopt});
    if (depth >= kMaxDepth) {
        refused.add(CopyFailure::UnreadableEntry);
        return;
    }
    // readdir rather than QDir, which would hand a name that is not UTF-8 on
    // as another name (one that names nothing) or leave it out unseen.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        qCWarning(lcOrvane) << "A folder to put on the device cannot be read:" << folder;
        refused.add(CopyFailure::UnreadableEntry);
        return;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString name = utf8(raw);
        if (utf8.hasError()) {
            qCWarning(lcOrvane) << "Not put on the device, its name is not UTF-8: an entry in"
                                << folder;
            refused.add(CopyFailure::UnsupportedName);
            continue;
        }
        names.append(name);
    }
    ::closedir(dir);
    names.sort();
    for (const QString& name : std::as_const(names)) {
        if (cancelled(cancel))
            return;
        const QString path = folder + QLatin1Char('/') + name;
        const FileEntryKind kind = localKind(path);
        if (kind == FileEntryKind::Folder)
            addLocalTree(path, depth + 1, cancel, refused, list);
        else
            list->append({path, kind, std::nullopt});
    }
}

} // namespace

QString normalisedPath(const QString& devicePath)
{
    QStringList parts;
    for (const QString& part : devicePath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String("."))
            parts.append(part);
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString joinPath(const QString& folder, const QString& name)
{
    const QString base = normalisedPath(folder);
    return base == QLatin1String("/") ? base + name : base + QLatin1Char('/') + name;
}

QString parentPath(const QString& devicePath)
{
    const QString path = normalisedPath(devicePath);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

std::optional<QString> confinedRelativePath(const QString& folder, const QString& path)
{
    QString base = folder;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QString rest;
    if (base.isEmpty() || base == QLatin1String("/")) {
        if (!path.startsWith(QLatin1Char('/')))
            return std::nullopt;
        rest = path.mid(1);
    } else {
        if (!path.startsWith(base + QLatin1Char('/')))
            return std::nullopt;
        rest = path.mid(base.size() + 1);
    }
    // Split without dropping empty parts: "a//b" holds an empty name.
    const QStringList parts = rest.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (!SafePath::isPlainName(part))
            return std::nullopt;
    }
    return rest;
}

FileEntryKind deviceKind(const QELDeviceInterface& device, const QString& devicePath,
                         std::optional<qint64>* size)
{
    const std::optional<QVariantMap> info = device.getFileInfo(devicePath);
    if (!info)
        return FileEntryKind::Missing;
    bool known = false;
    FileEntryKind kind = kindFromInfo(*info, &known);
    if (!known)
        kind = device.isDirectoryAtPath(devicePath) ? FileEntryKind::Folder : FileEntryKind::File;
    if (size) {
        const QVariant value = info->value(QStringLiteral("st_size"));
        bool ok = false;
        const qint64 bytes = value.toLongLong(&ok);
        *size = kind == FileEntryKind::File && value.isValid() && ok ? std::optional<qint64>(bytes)
                                                                     : std::nullopt;
    }
    return kind;
}

FileEntryKind localKind(const QString& localPath)
{
    const QFileInfo info(localPath);
    if (info.isSymLink())
        return FileEntryKind::Link;
    if (!info.exists())
        return FileEntryKind::Missing;
    return info.isDir() ? FileEntryKind::Folder : FileEntryKind::File;
}

std::optional<QList<DeviceFileEntry>> listDeviceFolder(const QELDeviceInterface& device,
                                                       const QString& folder, int* refused)
{
    const QString base = normalisedPath(folder);
    const std::optional<QStringList> names = device.directoryContents(base);
    if (!names)
        return std::nullopt;
    QList<DeviceFileEntry> entries;
    entries.reserve(names->size());
    for (const QString& name : *names) {
        if (!SafePath::isPlainName(name)) {
            count(refused);
            continue;
        }
        DeviceFileEntry entry;
        entry.name = name;
        entry.path = joinPath(base, name);
        entry.kind = deviceKind(device, entry.path, &entry.size);
        entries.append(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DeviceFileEntry& a, const DeviceFileEntry& b) {
                         const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
                         return folded != 0 ? folded < 0 : a.name < b.name;
                     });
    return entries;
}

QList<FileListItem> deviceFileList(const QELDeviceInterface& device, const QString& basePath,
                                   const std::atomic<bool>* cancel, int* refused,
                                   CopyFailure* firstReason)
{
    QList<FileListItem> list;
    addDeviceTree(device, normalisedPath(basePath), 0, cancel, Refusals{refused, firstReason},
                  &list);
    return list;
}

QList<FileListItem> localFileList(const QString& basePath, const std::atomic<bool>* cancel,
                                  int* refused, CopyFailure* firstReason)
{
    QList<FileListItem> list;
    QString base = QDir::cleanPath(basePath);
    addLocalTree(base, 0, cancel, Refusals{refused, firstReason}, &list);
    return list;
}

} // namespace FileListBuilder
