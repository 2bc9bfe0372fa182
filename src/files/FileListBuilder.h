// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "CopyFailure.h"

class QELDeviceInterface;

// What an item of a device folder (or of a local folder) is. A link is never
// followed: on a device it could lead out of the device's tree or into a
// loop, so it is neither listed into nor copied.
enum class FileEntryKind { Folder, File, Link, Missing };

// One entry of a device folder as the file browser shows it.
struct DeviceFileEntry {
    QString name;
    QString path; // the device path, beginning with "/"
    FileEntryKind kind = FileEntryKind::Missing;
    std::optional<qint64> size; // files on iOS devices ("st_size"); none for folders
};

// One item of a copy's list: a path, what it is, and for a device file its
// size when the device gave one.
struct FileListItem {
    QString path;
    FileEntryKind kind = FileEntryKind::Missing;
    std::optional<qint64> size;
};

// The lists the file browser and its copy job work from. Every call that
// touches the device or the disk blocks: worker threads only.
namespace FileListBuilder {

// How deep a tree is walked; a deeper folder is left out and counted.
inline constexpr int kMaxDepth = 64;

// "/a/./b//c", "a/b/c" and "/a/b/c/" -> "/a/b/c"; "" and "/" -> "/". A ".."
// is kept (the caller refuses it where it matters).
QString normalisedPath(const QString& devicePath);
// The folder joined with a name: "/" + "a" -> "/a", "/a" + "b" -> "/a/b".
QString joinPath(const QString& folder, const QString& name);
// The folder that holds a device path ("/a/b" -> "/a", "/a" -> "/").
QString parentPath(const QString& devicePath);

// The part of `path` below `folder` ("/DCIM" and "/DCIM/100APPLE/a.jpg" ->
// "100APPLE/a.jpg"), when every component of that part is a plain name (not
// "", "." or "..", without "/" or NUL); nothing otherwise, also for the folder
// itself. Works for device paths and local paths alike.
std::optional<QString> confinedRelativePath(const QString& folder, const QString& path);

// What a device item is, from one information request (and a listing when
// the device does not say), with its size when the device gives one.
FileEntryKind deviceKind(const QELDeviceInterface& device, const QString& devicePath,
                         std::optional<qint64>* size = nullptr);
// What a local item is; a link is reported as a link, not as what it points to.
FileEntryKind localKind(const QString& localPath);

// The entries of a device folder, sorted by name without case (names
// beginning with "." included); names that are not plain names are left out
// and counted in `refused`. Nothing when the folder cannot be listed.
std::optional<QList<DeviceFileEntry>> listDeviceFolder(const QELDeviceInterface& device,
                                                       const QString& folder,
                                                       int* refused = nullptr);

// The device tree below `basePath`, the folder itself first: each folder
// before its contents, the contents in the order the device lists them,
// depth first. Non-plain names, too-deep folders and unreadable folders are
// counted in `refused` (an unreadable folder is still listed itself). Stops
// early when `cancel` becomes true.
// `firstReason`, when given, gets why the first refused entry was refused.
QList<FileListItem> deviceFileList(const QELDeviceInterface& device, const QString& basePath,
                                   const std::atomic<bool>* cancel = nullptr,
                                   int* refused = nullptr, CopyFailure* firstReason = nullptr);

// The same on the computer's file system: hidden entries included; a folder
// whose contents cannot be read contributes only itself and is counted in
// `refused`, as is an entry whose name is not UTF-8 (the device's file
// service takes only UTF-8 names); a link is listed as a link and not
// followed.
QList<FileListItem> localFileList(const QString& basePath,
                                  const std::atomic<bool>* cancel = nullptr, int* refused = nullptr,
                                  CopyFailure* firstReason = nullptr);

} // namespace FileListBuilder
