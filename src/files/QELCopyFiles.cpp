// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyFiles.h"

#include <vector>

#include <QDir>
#include <QFileInfo>

#include "LocalizedStrings.h"
#include "Log.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

// What one run works with, taken when it starts, so that a later request
// never changes a running run.
struct QELCopyFiles::Run {
    quint64 id = 0;
    bool put = false;
    QStringList selection;
    QString sourceFolder; // copy: the device folder the items are below
    QString destination;  // copy: the local folder; put: the local folder the items are below
    QString deviceFolder; // put: the device folder
    std::atomic<bool> cancel{false};
    std::atomic<quint32> skipped{0};
};

QELCopyFiles::QELCopyFiles(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyFiles::~QELCopyFiles()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    stopWorkers();
}

QString QELCopyFiles::deviceSourceDirectory() const
{
    std::lock_guard lock(m_mutex);
    return m_deviceSourceDirectory;
}

void QELCopyFiles::setDeviceSourceDirectory(const QString& folder)
{
    std::lock_guard lock(m_mutex);
    m_deviceSourceDirectory = folder;
}

QStringList QELCopyFiles::selection() const
{
    std::lock_guard lock(m_mutex);
    return m_selection;
}

void QELCopyFiles::setSelection(const QStringList& items)
{
    std::lock_guard lock(m_mutex);
    m_selection = items;
}

quint32 QELCopyFiles::skippedItemCount() const
{
    std::lock_guard lock(m_mutex);
    return m_run ? m_run->skipped.load() : 0;
}

void QELCopyFiles::cancelCopy()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    QELCopy::cancelCopy();
}

void QELCopyFiles::startCopy() { startRun(false, QString()); }

void QELCopyFiles::startPutToDeviceAtPath(const QString& deviceFolder)
{
    startRun(true, deviceFolder);
}

void QELCopyFiles::startRun(bool put, const QString& deviceFolder)
{
    auto run = std::make_shared<Run>();
    run->put = put;
    run->destination = baseCopyPath();
    run->deviceFolder = FileListBuilder::normalisedPath(deviceFolder);
    {
        std::lock_guard lock(m_mutex);
        // The run this one replaces stops in the middle of its file.
        if (m_run)
            m_run->cancel = true;
        run->selection = m_selection;
        run->sourceFolder = m_deviceSourceDirectory;
        m_run = run;
    }
    {
        std::lock_guard lock(m_runs->mutex);
        run->id = ++m_runs->current;
    }
    QELCopy::startCopy();
    if (!put && delegate()) {
        QELCopyItemBeginEventArgs opening;
        opening.setItemDescription(L("COPYINGFILEFOLDER"));
        opening.setSenderClass(typeid(QELCopyFiles));
        delegate()->OnItemCopyBeginEvent(opening);
    }
    _startWorker([this, run] { work(run); });
}

bool QELCopyFiles::takeList(const std::shared_ptr<Run>& run, const QList<FileListItem>& list)
{
    QVariantList paths;
    paths.reserve(list.size());
    for (const FileListItem& item : list)
        paths.append(item.path);
    // Only the newest run may fill the queue: a replaced run that finishes its
    // listing late must not put its items into the next run's queue.
    std::lock_guard lock(m_runs->mutex);
    if (run->id != m_runs->current || _isCancelled())
        return false;
    setItemQueue(paths);
    return true;
}

void QELCopyFiles::work(const std::shared_ptr<Run>& run)
{
    QELDeviceInterface* device = _deviceInterface;
    QList<FileListItem> list;
    int refused = 0;
    CopyFailure refusedWhy = CopyFailure::None;
    for (const QString& path : std::as_const(run->selection)) {
        if (run->cancel)
            break;
        // An item that is not below its folder is never listed into (a ".."
        // could walk the whole device); it counts as not copied at its turn.
        const QString folder = run->put ? QDir::cleanPath(run->destination)
                                        : FileListBuilder::normalisedPath(run->sourceFolder);
        FileEntryKind kind = FileEntryKind::Missing;
        std::optional<qint64> size;
        if (!FileListBuilder::confinedRelativePath(folder, path))
            kind = FileEntryKind::Missing;
        else if (run->put)
            kind = FileListBuilder::localKind(path);
        else if (device)
            kind = FileListBuilder::deviceKind(*device, path, &size);
        if (kind == FileEntryKind::Folder) {
            list += run->put
                ? FileListBuilder::localFileList(path, &run->cancel, &refused, &refusedWhy)
                : FileListBuilder::deviceFileList(*device, path, &run->cancel, &refused,
                                                  &refusedWhy);
        } else {
            list.append({path, kind, size});
        }
    }
    // The bar follows the bytes of the files. A put takes its sizes from the
    // computer's files, a copy from a disk-mode volume from the volume's (the
    // listing has them from an iOS device's file service); neither costs a
    // question to the device.
    quint64 runBytes = 0;
    std::vector<quint64> itemBytes(static_cast<size_t>(list.size()), 0);
    for (qsizetype i = 0; i < list.size(); ++i) {
        FileListItem& item = list[i];
        if (item.kind != FileEntryKind::Folder && !item.size) {
            if (run->put) {
                const QFileInfo local(item.path);
                if (local.isFile())
                    item.size = local.size();
            } else if (device && item.kind == FileEntryKind::File
                       && device->connectedDeviceOperatingSystem() != 1) {
                item.size = device->fileSizeAtPath(item.path);
            }
        }
        if (item.size && *item.size > 0)
            itemBytes[static_cast<size_t>(i)] = static_cast<quint64>(*item.size);
        runBytes += itemBytes[static_cast<size_t>(i)];
    }
    if (!takeList(run, list)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    // Every entry a folder held that could not be listed is told at the end.
    for (int i = 0; i < refused; ++i)
        _itemCouldNotBeCopied(refusedWhy == CopyFailure::None ? CopyFailure::UnreadableEntry
                                                              : refusedWhy);
    _setRunByteCount(runBytes);

    while (const std::optional<QVariant> taken = _getNextItemFromQueue()) {
        const qsizetype index = static_cast<qsizetype>(itemNumber()) - 1;
        if (index < 0 || index >= list.size())
            break;
        const FileListItem& item = list.at(index);
        _setItemByteCount(itemBytes[static_cast<size_t>(index)]);
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(item.path);
        args.setSenderClass(typeid(QELCopyFiles));
        _callOnItemCopyBeginEventWith(args);
        if (run->put)
            putItemOnDevice(*run, item);
        else
            copyItemToComputer(*run, item);
    }
    _callAllItemsCopiedDelegate();
}

void QELCopyFiles::copyItemToComputer(Run& run, const FileListItem& item)
{
    QELDeviceInterface* device = _deviceInterface;
    const QString destination = QDir::cleanPath(run.destination);
    const std::optional<QString> relative = run.sourceFolder.isEmpty() || run.destination.isEmpty()
        ? std::nullopt
        : FileListBuilder::confinedRelativePath(FileListBuilder::normalisedPath(run.sourceFolder),
                                                item.path);
    if (!device || !relative) {
        qCWarning(lcOrvane) << "Not copied, its path leaves the folder it was chosen in:"
                            << item.path;
        _itemCouldNotBeCopied();
        return;
    }
    const QString local = destination + QLatin1Char('/') + *relative;
    if (!SafePath::isInside(destination, local)) {
        qCWarning(lcOrvane) << "Not copied, its copy would leave the chosen folder:" << item.path;
        _itemCouldNotBeCopied();
        return;
    }
    const FileEntryKind existing = FileListBuilder::localKind(local);
    switch (item.kind) {
    case FileEntryKind::Folder:
        // A folder that is there already stays; anything else in its place
        // (a file, a link) is not replaced, and the folder is not copied.
        if (existing == FileEntryKind::Folder)
            return;
        if (existing != FileEntryKind::Missing || !QDir().mkpath(local))
            _itemCouldNotBeCopied();
        return;
    case FileEntryKind::File:
        if (existing != FileEntryKind::Missing) {
            ++run.skipped;
            return;
        }
        if (!device->copyFileFromDeviceAtToLocalPath(item.path, local, &run.cancel) && !run.cancel)
            _itemCouldNotBeCopied();
        return;
    case FileEntryKind::Link:
    case FileEntryKind::Missing:
        qCWarning(lcOrvane) << "Not copied, a link or an item that is gone:" << item.path;
        _itemCouldNotBeCopied();
        return;
    }
}

void QELCopyFiles::putItemOnDevice(Run& run, const FileListItem& item)
{
    QELDeviceInterface* device = _deviceInterface;
    const std::optional<QString> relative = run.destination.isEmpty()
        ? std::nullopt
        : FileListBuilder::confinedRelativePath(QDir::cleanPath(run.destination), item.path);
    if (!device || !relative) {
        qCWarning(lcOrvane) << "Not put on the device, it is not below the chosen folder:"
                            << item.path;
        _itemCouldNotBeCopied();
        return;
    }
    const QString target = FileListBuilder::joinPath(run.deviceFolder, *relative);
    FileEntryKind kind = item.kind;
    // A link to a file is the user's own file; a link to a folder is not
    // followed (it could loop).
    if (kind == FileEntryKind::Link && QFileInfo(item.path).isFile())
        kind = FileEntryKind::File;
    switch (kind) {
    case FileEntryKind::Folder:
        if (!device->makeDir(target)
            && FileListBuilder::deviceKind(*device, target) != FileEntryKind::Folder)
            _itemCouldNotBeCopied();
        return;
    case FileEntryKind::File:
        if (device->fileExistsAtPath(target)) {
            ++run.skipped;
            return;
        }
        // A cancel stops the upload at its next block, as it stops a copy.
        if (!device->copyLocalFileAtToDevicePath(item.path, target, &run.cancel) && !run.cancel)
            _itemCouldNotBeCopied();
        return;
    case FileEntryKind::Link:
    case FileEntryKind::Missing:
        qCWarning(lcOrvane) << "Not put on the device, a link to a folder or a missing item:"
                            << item.path;
        _itemCouldNotBeCopied();
        return;
    }
}
