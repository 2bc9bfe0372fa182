#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "CopyByteMeter.h"
#include "CopyFailure.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "WorkerThreads.h"

class MediaLibraryHost;
class QELCopyDelegate;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;

// The base of every copy, export and transfer job. A view makes the job (on
// the main thread), sets its delegate, device, destination folder and item
// queue, and calls startCopy(); the job takes its items one by one, mostly on a
// worker thread started with _startWorker(), and reports each item's start and
// the end of the run to the delegate on the main thread.
//
// A run lasts from startCopy() to the next startCopy() or the job's end. A
// worker belongs to the run that started it: once a new run starts, the old
// worker gets no more items, reads as cancelled, and its events are dropped, so
// restarting a job never mixes two runs. Deleting a job cancels it and waits
// for its workers; they must therefore never wait for the main thread.
//
// A job that knows its items' sizes gives them (_setRunByteCount,
// _setItemByteCount); the bytes the device interface copies for the item in
// hand on the job's worker then become progress events between the item
// starts, so a large file moves the bar while it is copied.
class QELCopy : public QObject,
                private CopyByteMeter {
    Q_OBJECT
public:
    explicit QELCopy(QObject* parent = nullptr);
    ~QELCopy() override;

    // The items still to do (a copy). Setting a queue stores a copy of the
    // items, sets itemCount to their number and itemNumber to 0.
    QVariantList itemQueue() const;
    void setItemQueue(const QVariantList& items);
    quint32 itemCount() const { return m_itemCount; }
    // 1-based number of the item last taken; 0 before the first.
    quint32 itemNumber() const { return m_itemNumber; }
    // The items of the current run that could not be copied, as the job
    // reported them with _itemCouldNotBeCopied(); 0 again at each startCopy().
    // The end-of-run event carries it. Any thread.
    quint32 failedItemCount() const { return m_failedItemCount; }

    // Not owned: the application keeps the device interface and the artwork
    // reader for as long as a view can run jobs on them.
    void setDeviceInteface(QELDeviceInterface* deviceInterface)
    {
        _deviceInterface = deviceInterface;
    }
    void setDeviceImageLibrary(QELDeviceImageLibraryReader* imageLibrary)
    {
        _imageLibrary = imageLibrary;
    }
    // The music library host the transfer jobs talk to; when none is given,
    // the folder host in the user's music folder is made on first need.
    void setMediaLibraryHost(std::shared_ptr<MediaLibraryHost> host);
    std::shared_ptr<MediaLibraryHost> mediaLibraryHost();

    // Asks the running job to stop; it ends at its next test between items,
    // or inside an item at its next block, attachment or record.
    void cancelCopy()
    {
        m_userCancelled = true;
        m_cancel = true;
    }
    // What the current (or last) run did so far. Any thread.
    QELCopyOutcome outcome() const;
    // Begins a new run and clears the cancel request. Every job overrides it,
    // calls this first, then starts its work.
    virtual void startCopy();

    // Not owned; the view that made the job outlives it.
    QELCopyDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELCopyDelegate* delegate) { m_delegate = delegate; }

    // The destination folder of a copy to the computer. Any thread.
    QString baseCopyPath() const;
    void setBaseCopyPath(const QString& path);

protected:
    // Takes the first item off the queue, adding 1 to itemNumber; nothing when
    // the queue is empty, the job is cancelled or the caller's run was replaced.
    std::optional<QVariant> _getNextItemFromQueue();

    // Whether the caller should stop: the job was cancelled, or the caller is
    // a worker of a run that a newer startCopy() replaced.
    bool _isCancelled() const;
    // The cancel request itself, for a long single step (a file copy) that
    // can stop midway.
    const std::atomic<bool>* _cancelFlag() const { return &m_cancel; }

    // A job calls this for each item it could not copy (a read or write
    // failed, the item was refused); ignored from a worker of a replaced run.
    // The reason is the one the file helpers noted on this thread for the
    // item (CopyFailures), or the one given. A full disk stops the whole run
    // at once: the copy running now ends at its next block, and no further
    // item is taken.
    void _itemCouldNotBeCopied();
    void _itemCouldNotBeCopied(CopyFailure reason);
    // Items the job leaves out by design, with the reason the user is told.
    void _itemsPassedOver(quint32 count, const QString& reason);

    // Makes sure files can be written into `folder` before the first item.
    // False, with the run stopped, every item counted as not copied and the
    // reason (missing, read-only) kept for its end, when it cannot be used;
    // the job then ends the run.
    bool _destinationUsable(const QString& folder);
    // A folder this run made (an album's, an artist's): removed at the end
    // of the run if nothing was put into it.
    void _madeFolder(const QString& folder);

    // Runs `work` on a new worker thread tied to the current run. A work that
    // throws is logged and ends its run with the end-of-run event.
    void _startWorker(std::function<void()> work);

    // Cancels the job and joins its workers. Every job that derives from this
    // calls it first in its own destructor: a worker still running when only
    // the base remained would call into a destroyed object.
    void stopWorkers();

    // Makes the music library host if the job has none yet; true when the
    // library's media folder is known (it is looked for now if need be).
    bool _initiateITunesApplication();
    // Called before talking to the music library host; nothing to wait for.
    void _waitIfITUnesInterfaceBlocking() {}
    // The library's media folder, found once per job; empty when not found.
    QString _getITunesLibraryPath();

    // Posts the item's start to the main thread without waiting. The item's
    // number and the count are filled in now, from the item last taken, and
    // so are the run's bytes copied before it.
    void _callOnItemCopyBeginEventWith(QELCopyItemBeginEventArgs args);
    // The same numbers and bytes filled into `args`, for a job that sends an
    // item's start itself (on the main thread); the progress events of the
    // item repeat these args.
    QELCopyItemBeginEventArgs _itemBeginArgs(QELCopyItemBeginEventArgs args);

    // The sizes of the run's items in bytes, summed, when the job knows them
    // before the first item: its progress then follows bytes. 0 (what each
    // run starts with): it counts items.
    void _setRunByteCount(quint64 bytes);
    // The size of the item just taken. Once the next item is taken (or the
    // run ends), the item counts as copied in full whatever became of it, so
    // the progress only grows and ends at the run's byte count.
    void _setItemByteCount(quint64 bytes);
    quint64 runByteCount() const { return m_runBytes; }
    // The run's bytes copied so far: every item before the one in hand in
    // full, and of that one what was copied, up to its size.
    quint64 bytesCopied() const;
    // Posts the end of the run (with the copy type) to the main thread.
    void _callAllItemsCopiedDelegate();

    QELDeviceInterface* _deviceInterface = nullptr;
    QELDeviceImageLibraryReader* _imageLibrary = nullptr;
    // What the end-of-run event reports: 1 for the transfer of tracks into the
    // music library, 0 for every other job.
    std::atomic<int> _copyType{0};

private:
    // A block of the item in hand was copied on a worker of this job.
    void bytesMoved(quint64 bytes) override;
    // Posts the progress of the item in hand: `bytes` copied of the run.
    void postProgress(quint64 bytes);
    void _workerOnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args, quint64 run);
    void _workerOnAllItemsCopied(int copyType, quint64 run, quint32 notCopied,
                                 const QELCopyOutcome& result);
    quint64 callersRun() const;

    QELCopyDelegate* m_delegate = nullptr;
    std::atomic<bool> m_cancel{false};
    std::atomic<quint64> m_run{0};
    std::atomic<quint32> m_itemCount{0};
    std::atomic<quint32> m_itemNumber{0};

    mutable std::mutex m_mutex; // guards the members below
    QVariantList m_itemQueue;
    QString m_baseCopyPath;
    std::shared_ptr<MediaLibraryHost> m_host;
    QString m_iTunesLibraryBasePath;

    std::atomic<quint32> m_failedItemCount{0};
    // The items of the run with a failure, each counted once.
    std::atomic<quint32> m_failedItems{0};
    std::atomic<quint32> m_failedOutsideItems{0};
    std::atomic<bool> m_currentItemFailed{false};
    std::atomic<quint32> m_passedOver{0};
    std::atomic<int> m_firstFailure{int(CopyFailure::None)};
    std::atomic<bool> m_userCancelled{false};
    std::atomic<bool> m_stopped{false};

    std::atomic<quint64> m_runBytes{0};
    std::atomic<quint64> m_bytesBeforeItem{0}; // the items taken before the one in hand
    std::atomic<quint64> m_itemBytes{0};       // the size of the one in hand
    std::atomic<quint64> m_itemBytesMoved{0};  // what was copied of it
    // When the last start or progress of this run was posted (steady clock,
    // ms): progress is posted at most once per interval.
    std::atomic<qint64> m_lastProgressPost{0};
    QELCopyItemBeginEventArgs m_itemArgs; // the start of the item in hand, under m_mutex
    QString m_passedOverReason;           // under m_mutex
    QStringList m_madeFolders;            // under m_mutex

    // Last: the destructor joins them before the members they use go.
    WorkerThreads m_workers{QStringLiteral("A copy job")};
};
