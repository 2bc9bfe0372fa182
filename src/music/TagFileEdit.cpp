// SPDX-License-Identifier: GPL-3.0-or-later
#include "TagFileEdit.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "Log.h"

namespace TagFileEdit {

namespace {

constexpr qint64 kCopyBlock = 1024 * 1024;

} // namespace

bool editInCopy(const QString& path, const std::function<bool(const QString& copy)>& edit,
                AtomicFileBatch* batch)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    const QString suffix = info.suffix();
    const QString copy = AtomicFile::temporaryPathFor(path)
        + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        qCWarning(lcOrvane) << "Cannot open" << path
                            << "to change its tags:" << source.errorString();
        return false;
    }
    // Not synced: the copy is synced when it is placed (at once, or at the batch's commit).
    QString error;
    const bool copied = AtomicFile::writeNewFile(
        copy,
        [&source](QIODevice& out, QString* why) {
            QByteArray block(static_cast<qsizetype>(std::min(kCopyBlock, source.size())), '\0');
            for (;;) {
                const qint64 got = source.read(block.data(), block.size());
                if (got == 0)
                    return true;
                if (got < 0 || out.write(block.constData(), got) != got) {
                    *why = got < 0 ? source.errorString() : out.errorString();
                    return false;
                }
            }
        },
        false, &error);
    if (!copied) {
        qCWarning(lcOrvane) << "Cannot copy" << path << "to change its tags:" << error;
        return false;
    }
    if (!edit(copy)) {
        QFile::remove(copy);
        return false;
    }
    // A replaced file keeps who may read it.
    QFile::setPermissions(copy, info.permissions());
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
