// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileOperations.h"

#include "FileListBuilder.h"
#include "Log.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

namespace FileOperations {

bool isAcceptableFolderName(const QString& name) { return SafePath::isPlainName(name); }

bool makeFolder(QELDeviceInterface& device, const QString& folder, const QString& name)
{
    if (!isAcceptableFolderName(name))
        return false;
    const QString path = FileListBuilder::joinPath(folder, name);
    // makeDir of a disk-mode volume answers true for a folder that is there
    // already; a new folder is one that was not there.
    if (device.fileExistsAtPath(path))
        return false;
    return device.makeDir(path);
}

DeleteOutcome deleteItems(QELDeviceInterface& device, const QStringList& paths)
{
    DeleteOutcome outcome;
    QList<QPair<QString, FileEntryKind>> items;
    for (const QString& path : paths) {
        const QString devicePath = FileListBuilder::normalisedPath(path);
        const FileEntryKind kind = FileListBuilder::deviceKind(device, devicePath);
        if (kind == FileEntryKind::Folder) {
            const std::optional<QStringList> contents = device.directoryContents(devicePath);
            if (!contents || !contents->isEmpty()) {
                outcome.refused.append(devicePath);
                continue;
            }
        }
        items.append({devicePath, kind});
    }
    if (!outcome.refused.isEmpty())
        return outcome;
    for (const auto& [path, kind] : std::as_const(items)) {
        if (path == QLatin1String("/") || kind == FileEntryKind::Missing
            || !device.deletePath(path)) {
            qCWarning(lcOrvane) << "The device did not delete" << path;
            outcome.failed.append(path);
        } else {
            outcome.deleted.append(path);
        }
    }
    return outcome;
}

} // namespace FileOperations
