// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyApps.h"

#include <QDir>
#include <QFileInfo>

#include "Log.h"
#include "QELAppDetailSummary.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

QELCopyApps::QELCopyApps(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyApps::~QELCopyApps() { stopWorkers(); }

QString QELCopyApps::archivePathOf(const QString& bundleId)
{
    const QString name = bundleId + QStringLiteral(".zip");
    if (bundleId.isEmpty() || !SafePath::isPlainName(name))
        return {};
    return QStringLiteral("/ApplicationArchives/") + name;
}

void QELCopyApps::startCopy()
{
    QELCopy::startCopy();
    const QString folder = baseCopyPath();
    _startWorker([this, folder] { _copyApps(folder); });
}

void QELCopyApps::_copyApps(const QString& folder)
{
    QELDeviceInterface* device = _deviceInterface;
    if (itemQueue().isEmpty() || !device || !_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    device->StartAppsService();
    // Numbered among this run's names only: a file of an earlier run is kept.
    // An archive of an earlier copy stays; the new one is numbered beside it.
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both);
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        if (item->metaType() != QMetaType::fromType<QELAppDetailSummary>())
            continue;
        const auto app = item->value<QELAppDetailSummary>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(app.bundleName());
        args.setSenderClass(typeid(QELCopyApps));
        _callOnItemCopyBeginEventWith(args);

        const QString archive = archivePathOf(app.bundleID());
        const QString target = namer.claimPath(QELAppDetailSummary::archiveFileText(app),
                                               QStringLiteral("ipa"), app.bundleID());
        if (archive.isEmpty() || target.isEmpty()) {
            _itemCouldNotBeCopied();
            continue;
        }
        if (QFileInfo::exists(target)) {
            qCInfo(lcOrvane) << "Kept the app file of an earlier copy:" << target;
            _itemCouldNotBeCopied();
            continue;
        }
        // An archive an interrupted run left behind would be taken for this one.
        device->RemoveArchiveApplication(app.bundleID());
        bool copied = false;
        if (device->ArchiveApplication(app.bundleID()) && device->fileExistsAtPath(archive)
            && QDir().mkpath(folder))
            copied = device->copyFileFromDeviceAtToLocalPath(archive, target, _cancelFlag());
        device->RemoveArchiveApplication(app.bundleID());
        if (!copied)
            _itemCouldNotBeCopied();
    }
    device->StopAppsService();
    _callAllItemsCopiedDelegate();
}
