// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QELDeviceInterface;

// The file browser's changes to the device's folders. Blocking: worker
// threads only.
namespace FileOperations {

// Whether a typed name can become a new folder inside the shown folder: not
// empty, not "." or "..", without "/" or NUL (it would name another place).
bool isAcceptableFolderName(const QString& name);

// Makes `name` inside `folder`; false when the name is refused or the device
// does not make it.
bool makeFolder(QELDeviceInterface& device, const QString& folder, const QString& name);

struct DeleteOutcome {
    // Folders that are not empty (or cannot be listed): nothing was deleted.
    QStringList refused;
    // Items the device did not delete.
    QStringList failed;
    QStringList deleted;
};

// Deletes the items (device paths). Every item is checked first: when any
// folder among them is not empty, nothing at all is deleted and the outcome
// names those folders. Otherwise each file and empty folder is deleted, and
// the ones the device keeps are named as failed.
DeleteOutcome deleteItems(QELDeviceInterface& device, const QStringList& paths);

} // namespace FileOperations
