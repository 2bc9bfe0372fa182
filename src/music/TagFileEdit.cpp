// SPDX-License-Identifier: GPL-3.0-or-later
#include "TagFileEdit.h"

#include <QFile>
#include <QFileInfo>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "Log.h"

namespace TagFileEdit {

bool editInCopy(const QString& path, const std::function<bool(const QString& copy)>& edit,
                AtomicFileBatch* batch)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    const QString suffix = info.suffix();
    const QString copy = AtomicFile::temporaryPathFor(path)
        + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    if (!QFile::copy(path, copy)) {
        qCWarning(lcOrvane) << "Cannot copy" << path << "to change its tags";
        QFile::remove(copy);
        return false;
    }
    // The copy is always writable by its owner, whatever the original's mode.
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::WriteOwner);
    if (!edit(copy)) {
        QFile::remove(copy);
        return false;
    }
    QFile::setPermissions(copy, info.permissions());
    QString error;
    if (batch) {
        if (batch->place(copy, path, &error))
            return true;
    } else {
        AtomicFileBatch own;
        if (own.place(copy, path, &error) && own.commit(&error))
            return true;
    }
    qCWarning(lcOrvane) << "Cannot put the retagged copy in place:" << error;
    return false;
}

} // namespace TagFileEdit
