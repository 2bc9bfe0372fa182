// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferApps.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "Log.h"
#include "MediaLibraryHost.h"
#include "QELAppDetailSummary.h"
#include "QELCopyApps.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

QELTransferApps::QELTransferApps(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferApps::~QELTransferApps() { stopWorkers(); }

QString QELTransferApps::mobileApplicationsFolder()
{
    QString media = _getITunesLibraryPath();
    if (media.isEmpty()) {
        // No library yet: the host's own place for one.
        const QString music = mediaLibraryHost()->musicFolder();
        if (music.isEmpty())
            return {};
        media = music + QStringLiteral("/iTunes/iTunes Media");
    }
    // The library folder itself when no recent database names one.
    if (QFileInfo(media).fileName() != QLatin1String("iTunes Media"))
        media += QStringLiteral("/iTunes Media");
    return media + QStringLiteral("/Mobile Applications");
}

void QELTransferApps::startCopy()
{
    QELCopy::startCopy();
    _startWorker([this] { _copyApps(mobileApplicationsFolder()); });
}

void QELTransferApps::_copyApps(const QString& folder)
{
    QELDeviceInterface* device = _deviceInterface;
    if (itemQueue().isEmpty() || folder.isEmpty() || !device) {
        _callAllItemsCopiedDelegate();
        return;
    }
    _initiateITunesApplication();
    const std::shared_ptr<MediaLibraryHost> host = mediaLibraryHost();
    device->StartAppsService();
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::UsedThisRun);
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        if (item->metaType() != QMetaType::fromType<QELAppDetailSummary>())
            continue;
        const auto app = item->value<QELAppDetailSummary>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(app.bundleName());
        args.setSenderClass(typeid(QELTransferApps));
        _callOnItemCopyBeginEventWith(args);

        const QString archive = QELCopyApps::archivePathOf(app.bundleID());
        const QString target = namer.claimPath(QELAppDetailSummary::archiveFileText(app),
                                               QStringLiteral("ipa"), app.bundleID());
        if (archive.isEmpty() || target.isEmpty()) {
            _itemCouldNotBeCopied();
            continue;
        }
        if (device->fileExistsAtPath(archive))
            device->RemoveArchiveApplication(app.bundleID());
        bool replaced = false;
        if (device->ArchiveApplication(app.bundleID()) && device->fileExistsAtPath(archive)
            && QDir().mkpath(folder)) {
            // The older file stays until the new archive is whole.
            const QString partial = folder + QStringLiteral("/.") + QFileInfo(target).fileName()
                + QStringLiteral(".") + QUuid::createUuid().toString(QUuid::Id128)
                + QStringLiteral(".part");
            if (device->copyFileFromDeviceAtToLocalPath(archive, partial, _cancelFlag())) {
                replaced = std::rename(QFile::encodeName(partial).constData(),
                                       QFile::encodeName(target).constData())
                    == 0;
                if (!replaced) {
                    qCWarning(lcOrvane) << "Could not put the app file in place:" << target;
                    QFile::remove(partial);
                }
            }
        }
        if (device->fileExistsAtPath(archive))
            device->RemoveArchiveApplication(app.bundleID());
        if (!replaced || !host->add(target))
            _itemCouldNotBeCopied();
    }
    device->StopAppsService();
    _callAllItemsCopiedDelegate();
}
