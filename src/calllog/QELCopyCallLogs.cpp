// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyCallLogs.h"

#include <typeinfo>

#include <QDir>
#include <QSet>

#include "AtomicFile.h"
#include "Log.h"
#include "QELCallLogHTMLGenerator.h"
#include "QELCopyItemBeginEventArgs.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace {

const QString kAllCallLogs = QStringLiteral("Call Logs");
const QString kExtension = QStringLiteral(".html");

} // namespace

QELCopyCallLogs::QELCopyCallLogs(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyCallLogs::~QELCopyCallLogs() { stopWorkers(); }

void QELCopyCallLogs::startCopy()
{
    QELCopy::startCopy();
    _startWorker([this] { _copyCallLogs(); });
}

QString QELCopyCallLogs::fileNameForCalls(const QList<QELCallLogEntryDetail>& calls)
{
    QSet<QString> names;
    for (const QELCallLogEntryDetail& call : calls)
        names.insert(call.name());
    SafePath::NameRules rules;
    rules.maxBytes = SafePath::kDefaultMaxBytes - int(kExtension.size());
    const QString stem =
        names.size() == 1 ? SafePath::fileName(*names.cbegin(), kAllCallLogs, rules) : kAllCallLogs;
    return stem + kExtension;
}

bool QELCopyCallLogs::writePage(const QString& folder, const QList<QELCallLogEntryDetail>& calls,
                                QString* path, QString* error)
{
    assertNotOnGuiThread();
    // A page of an earlier export stays; the new one is numbered beside it.
    QString name = fileNameForCalls(calls);
    name.chop(kExtension.size());
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::InFolder);
    const QString target = namer.claimPath(name, kExtension.mid(1), kAllCallLogs);
    if (path)
        *path = target;
    if (target.isEmpty()) {
        if (error)
            *error = QStringLiteral("no free file name in the folder");
        return false;
    }
    const QByteArray page = QELCallLogHTMLGenerator::generateHTMLForCallLogs(calls).toUtf8();
    return writeFileAtomically(target, page, error);
}

void QELCopyCallLogs::_copyCallLogs()
{
    const QString folder = baseCopyPath();
    QList<QELCallLogEntryDetail> taken;
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELCallLogEntryDetail call = item->value<QELCallLogEntryDetail>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(call.name());
        args.setSenderClass(typeid(QELCopyCallLogs));
        _callOnItemCopyBeginEventWith(args);
        taken.append(call);
    }
    // A run replaced by a newer one leaves the older page whole.
    if (_isCancelled()) {
        _callAllItemsCopiedDelegate();
        return;
    }
    if (!taken.isEmpty() && _destinationUsable(folder)) {
        QString path;
        QString error;
        if (folder.isEmpty() || !writePage(folder, taken, &path, &error)) {
            qCWarning(lcOrvane).noquote()
                << "The call log page could not be written to"
                << (path.isEmpty() ? QStringLiteral("(no folder)") : path) << ":" << error;
            for (qsizetype i = 0; i < taken.size(); ++i)
                _itemCouldNotBeCopied();
        }
    }
    _callAllItemsCopiedDelegate();
}
