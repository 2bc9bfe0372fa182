// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QString>
#include <QStringList>

#include "FileListBuilder.h"
#include "QELCopy.h"

// The copy job of the file browser: copies device files and folders into a
// folder of the computer (startCopy) and puts files and folders of the
// computer into a device folder (startPutToDeviceAtPath), rebuilding below the
// target the folders the items have below their source folder. One worker per
// run lists the selected folders' trees (each folder before its contents) and
// then works through the list.
//
// Every item is confined: a copy takes an item only when its path below the
// source folder is made of plain names and its local path stays inside the
// destination folder, and a put likewise below the device folder; other items
// count as not copied. Nothing is overwritten in either direction: an item
// whose target exists is skipped (counted in skippedItemCount), a folder that
// exists stays. Links are never followed. Main thread for every call.
class QELCopyFiles : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyFiles(QObject* parent = nullptr);
    // Stops the file in progress, then the base class waits for the worker.
    ~QELCopyFiles() override;

    // The device folder a copy to the computer starts from: the folder whose
    // column the items were selected in.
    QString deviceSourceDirectory() const;
    void setDeviceSourceDirectory(const QString& folder);

    // The items the next run starts from, in the order given: device paths
    // for a copy, local paths for a put. Folders bring their whole trees.
    QStringList selection() const;
    void setSelection(const QStringList& items);

    // Copies the selection to baseCopyPath(); the delegate gets the opening
    // "COPYINGFILEFOLDER" event at once.
    void startCopy() override;
    // Puts the selection (below baseCopyPath(), the local folder that holds
    // it) into `deviceFolder`.
    void startPutToDeviceAtPath(const QString& deviceFolder);
    // Asks the run to stop: before its next item, and the file being copied
    // from the device stops at its next block (no partial file is left).
    // Hides QELCopy::cancelCopy, which cannot stop a file.
    void cancelCopy();

    // The items of the last run whose target existed already.
    quint32 skippedItemCount() const;

private:
    struct Run;

    void startRun(bool put, const QString& deviceFolder);
    // Worker side: builds the list, hands it to the queue, copies each item.
    void work(const std::shared_ptr<Run>& run);
    bool takeList(const std::shared_ptr<Run>& run, const QList<FileListItem>& list);
    void copyItemToComputer(Run& run, const FileListItem& item);
    void putItemOnDevice(Run& run, const FileListItem& item);

    // Shared with the workers, which may outlive this class's part of the
    // job (the base class joins them after this part is gone).
    struct Runs {
        std::mutex mutex;
        quint64 current = 0;
    };
    std::shared_ptr<Runs> m_runs = std::make_shared<Runs>();

    mutable std::mutex m_mutex; // guards the members below
    QString m_deviceSourceDirectory;
    QStringList m_selection;
    std::shared_ptr<Run> m_run;
};
