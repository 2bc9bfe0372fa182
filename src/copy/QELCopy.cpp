#include "QELCopy.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "Clock.h"
#include "CopyFailure.h"
#include "FolderMediaLibraryHost.h"
#include "Log.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELITunesInformation.h"

namespace {

// How often a run's progress may wake the main thread: a bar drawn more often
// than this looks no smoother.
constexpr std::chrono::milliseconds kProgressInterval(50);

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The job and run of the worker running on this thread, if any.
thread_local const QELCopy* t_workerJob = nullptr;
thread_local quint64 t_workerRun = 0;

// The folder of a library file named by an "iTunesRecentDatabases" entry (a
// URL, or an absolute path); empty when the entry names no absolute path.
QString folderOfLibraryFile(const QString& entry)
{
    QString path;
    if (QDir::isAbsolutePath(entry)) {
        path = entry;
    } else {
        const QUrl url(entry, QUrl::TolerantMode);
        if (!url.isValid())
            return {};
        path = url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
    }
    if (!QDir::isAbsolutePath(path))
        return {};
    return QFileInfo(QDir::cleanPath(path)).path();
}

} // namespace

QELCopy::QELCopy(QObject* parent)
    : QObject(parent)
{
}

QELCopy::~QELCopy() { stopWorkers(); }

void QELCopy::stopWorkers()
{
    m_cancel = true;
    ++m_run;
    m_workers.stopAndJoinAll();
}

QVariantList QELCopy::itemQueue() const
{
    std::lock_guard lock(m_mutex);
    return m_itemQueue;
}

void QELCopy::setItemQueue(const QVariantList& items)
{
    std::lock_guard lock(m_mutex);
    m_itemQueue = items;
    m_itemCount = static_cast<quint32>(
        std::min<qsizetype>(items.size(), std::numeric_limits<quint32>::max()));
    m_itemNumber = 0;
}

void QELCopy::setMediaLibraryHost(std::shared_ptr<MediaLibraryHost> host)
{
    std::lock_guard lock(m_mutex);
    m_host = std::move(host);
    m_iTunesLibraryBasePath.clear();
}

std::shared_ptr<MediaLibraryHost> QELCopy::mediaLibraryHost()
{
    std::lock_guard lock(m_mutex);
    if (!m_host)
        m_host = std::make_shared<FolderMediaLibraryHost>();
    return m_host;
}

void QELCopy::startCopy()
{
    ++m_run;
    m_cancel = false;
    m_userCancelled = false;
    m_stopped = false;
    m_failedItemCount = 0;
    m_failedItems = 0;
    m_failedOutsideItems = 0;
    m_currentItemFailed = false;
    m_passedOver = 0;
    m_firstFailure = int(CopyFailure::None);
    m_runBytes = 0;
    m_bytesBeforeItem = 0;
    m_itemBytes = 0;
    m_itemBytesMoved = 0;
    {
        std::lock_guard lock(m_mutex);
        m_passedOverReason.clear();
        m_madeFolders.clear();
        m_itemArgs = QELCopyItemBeginEventArgs();
    }
    m_workers.reapFinished();
}

QELCopyOutcome QELCopy::outcome() const
{
    QELCopyOutcome outcome;
    outcome.itemCount = m_itemCount + m_failedOutsideItems;
    outcome.failed = m_failedItems + m_failedOutsideItems;
    outcome.passedOver = m_passedOver;
    outcome.firstFailure = static_cast<CopyFailure>(m_firstFailure.load());
    outcome.stopped = m_stopped;
    outcome.cancelled = m_userCancelled && !outcome.stopped;
    {
        std::lock_guard lock(m_mutex);
        outcome.passedOverReason = m_passedOverReason;
    }
    // The item in hand when the user cancelled counts as copied unless the
    // cancel cut it short (its partial file is gone) or it had failed.
    quint32 finished = m_itemNumber;
    if (finished > 0 && m_cancel && !m_currentItemFailed && !outcome.stopped
        && CopyFailures::last() == CopyFailure::Cancelled)
        --finished;
    const quint32 notCopied = m_failedItems + outcome.passedOver;
    outcome.copied = finished > notCopied ? finished - notCopied : 0;
    return outcome;
}

QString QELCopy::baseCopyPath() const
{
    std::lock_guard lock(m_mutex);
    return m_baseCopyPath;
}

void QELCopy::setBaseCopyPath(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_baseCopyPath = path;
}

std::optional<QVariant> QELCopy::_getNextItemFromQueue()
{
    std::lock_guard lock(m_mutex);
    // Checked under the lock: a view that cancels and then sets a new queue
    // must never see a worker of the old run take an item of the new one.
    if (m_cancel || callersRun() != m_run || m_itemQueue.isEmpty())
        return std::nullopt;
    QVariant item = m_itemQueue.takeFirst();
    ++m_itemNumber;
    // The item before is done with, whatever became of it.
    m_bytesBeforeItem += m_itemBytes.exchange(0);
    m_itemBytesMoved = 0;
    // The reason noted for an item is that item's own.
    m_currentItemFailed = false;
    CopyFailures::clear();
    return item;
}

bool QELCopy::_isCancelled() const { return m_cancel || callersRun() != m_run; }

quint64 QELCopy::callersRun() const { return t_workerJob == this ? t_workerRun : m_run.load(); }

void QELCopy::_startWorker(std::function<void()> work)
{
    const quint64 run = m_run;
    m_workers.start([this, run, work = std::move(work)] {
        t_workerJob = this;
        t_workerRun = run;
        CopyFailures::setThreadCancelFlag(&m_cancel);
        CopyByteMeter::setThreadMeter(this);
        try {
            work();
        } catch (...) {
            _callAllItemsCopiedDelegate(); // so the view does not wait for the run forever
            t_workerJob = nullptr;
            CopyFailures::setThreadCancelFlag(nullptr);
            CopyByteMeter::setThreadMeter(nullptr);
            throw; // logged by the worker list
        }
        t_workerJob = nullptr;
        CopyFailures::setThreadCancelFlag(nullptr);
        CopyByteMeter::setThreadMeter(nullptr);
    });
}

void QELCopy::_itemCouldNotBeCopied()
{
    const CopyFailure noted = CopyFailures::last();
    _itemCouldNotBeCopied(noted == CopyFailure::None ? CopyFailure::Failed : noted);
}

void QELCopy::_itemCouldNotBeCopied(CopyFailure reason)
{
    if (callersRun() != m_run)
        return;
    ++m_failedItemCount;
    // A failure before the first item (an entry a folder listing could not
    // read) is one more thing not copied, beside the items of the queue.
    if (m_itemNumber == 0)
        ++m_failedOutsideItems;
    else if (!m_currentItemFailed.exchange(true))
        ++m_failedItems;
    int none = int(CopyFailure::None);
    m_firstFailure.compare_exchange_strong(none, int(reason));
    if (reason == CopyFailure::DiskFull) {
        qCWarning(lcOrvane) << "The disk is full: the copy stops after" << m_itemNumber.load()
                            << "of" << m_itemCount.load() << "items";
        // A disk that is full stays full: every further item would fail too.
        m_firstFailure = int(CopyFailure::DiskFull);
        m_stopped = true;
        m_cancel = true;
    }
}

void QELCopy::_itemsPassedOver(quint32 count, const QString& reason)
{
    if (callersRun() != m_run || count == 0)
        return;
    m_passedOver += count;
    std::lock_guard lock(m_mutex);
    if (m_passedOverReason.isEmpty())
        m_passedOverReason = reason;
}

bool QELCopy::_destinationUsable(const QString& folder)
{
    // A folder that went missing (a disk unplugged) is told, not made anew
    // somewhere the user did not choose.
    const CopyFailure problem = CopyFailures::checkFolder(folder);
    if (problem == CopyFailure::None)
        return true;
    if (callersRun() == m_run) {
        qCWarning(lcOrvane) << "Nothing copied, the folder cannot be used:" << folder;
        m_firstFailure = int(problem);
        m_stopped = true;
        m_cancel = true;
        // None of the run's items could be copied.
        m_failedItemCount = std::max(m_failedItemCount.load(), m_itemCount.load());
    }
    return false;
}

void QELCopy::_madeFolder(const QString& folder)
{
    std::lock_guard lock(m_mutex);
    m_madeFolders.append(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

bool QELCopy::_initiateITunesApplication()
{
    mediaLibraryHost();
    return !_getITunesLibraryPath().isEmpty();
}

QString QELCopy::_getITunesLibraryPath()
{
    const std::shared_ptr<MediaLibraryHost> host = mediaLibraryHost();
    {
        std::lock_guard lock(m_mutex);
        if (!m_iTunesLibraryBasePath.isEmpty())
            return m_iTunesLibraryBasePath;
    }

    QString folder;
    const QStringList recent = host->recentDatabases();
    if (!recent.isEmpty()) {
        // Each entry that names a library file replaces the one before it.
        for (const QString& entry : recent) {
            const QString libraryFolder = folderOfLibraryFile(entry);
            if (!libraryFolder.isEmpty())
                folder = libraryFolder + QStringLiteral("/iTunes Media");
        }
    } else {
        // The media folder inside the library folder, as in the branch above.
        folder = QELITunesInformation::iTunesLibraryBasePath(*host);
        if (!folder.isEmpty())
            folder += QStringLiteral("/iTunes Media");
    }

    std::lock_guard lock(m_mutex);
    m_iTunesLibraryBasePath = folder;
    return folder;
}

void QELCopy::_setRunByteCount(quint64 bytes)
{
    if (callersRun() == m_run)
        m_runBytes = bytes;
}

void QELCopy::_setItemByteCount(quint64 bytes)
{
    if (callersRun() == m_run)
        m_itemBytes = bytes;
}

quint64 QELCopy::bytesCopied() const
{
    const quint64 total = m_runBytes;
    const quint64 done = m_bytesBeforeItem + std::min(m_itemBytesMoved.load(), m_itemBytes.load());
    return std::min(done, total);
}

void QELCopy::bytesMoved(quint64 bytes)
{
    if (m_runBytes == 0 || _isCancelled())
        return;
    m_itemBytesMoved += bytes;
    const qint64 now = steadyMs();
    qint64 last = m_lastProgressPost;
    if (now - last < Clock::scaled(kProgressInterval).count())
        return;
    // One worker posts per interval even if several copy at once.
    if (m_lastProgressPost.compare_exchange_strong(last, now))
        postProgress(bytesCopied());
}

void QELCopy::postProgress(quint64 bytes)
{
    QELCopyItemBeginEventArgs args;
    {
        std::lock_guard lock(m_mutex);
        args = m_itemArgs;
    }
    // Bytes before any item's start (a run whose items were all passed over)
    // belong to no item the receiver was told of.
    if (args.itemCount() == 0)
        return;
    args.setBytesCopied(bytes);
    args.setByteCount(m_runBytes);
    args.setProgressStep(true);
    const quint64 run = callersRun();
    QMetaObject::invokeMethod(
        this,
        [this, args, run] {
            // A cancelled run tells nothing more until its end: the panel
            // says it is stopping.
            if (run != m_run || m_cancel || !m_delegate)
                return;
            m_delegate->OnItemCopyProgressEvent(args);
        },
        Qt::QueuedConnection);
}

QELCopyItemBeginEventArgs QELCopy::_itemBeginArgs(QELCopyItemBeginEventArgs args)
{
    args.setItemNumber(m_itemNumber);
    args.setItemCount(m_itemCount);
    if (m_runBytes > 0) {
        args.setBytesCopied(bytesCopied());
        args.setByteCount(m_runBytes);
    }
    if (callersRun() == m_run) {
        std::lock_guard lock(m_mutex);
        m_itemArgs = args;
        m_lastProgressPost = steadyMs();
    }
    return args;
}

void QELCopy::_callOnItemCopyBeginEventWith(QELCopyItemBeginEventArgs args)
{
    args = _itemBeginArgs(args);
    const quint64 run = callersRun();
    QMetaObject::invokeMethod(
        this, [this, args, run] { _workerOnItemCopyBeginEvent(args, run); }, Qt::QueuedConnection);
}

void QELCopy::_workerOnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args, quint64 run)
{
    if (run != m_run || !m_delegate)
        return;
    m_delegate->OnItemCopyBeginEvent(args);
}

void QELCopy::_callAllItemsCopiedDelegate()
{
    const int copyType = _copyType;
    const quint64 run = callersRun();
    const quint32 notCopied = m_failedItemCount;
    QStringList made;
    if (run == m_run) {
        std::lock_guard lock(m_mutex);
        made.swap(m_madeFolders);
    }
    // The deepest first, so that a folder emptied of empty folders goes too;
    // rmdir removes only what is empty.
    std::sort(made.begin(), made.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : std::as_const(made))
        QDir().rmdir(folder);
    const QELCopyOutcome result = outcome();
    // A run that went through all its items ends its bar full, whatever the
    // items' own fates were.
    if (run == m_run && m_runBytes > 0 && !m_cancel && m_itemNumber > 0)
        postProgress(m_runBytes);
    QMetaObject::invokeMethod(
        this,
        [this, copyType, run, notCopied, result] {
            _workerOnAllItemsCopied(copyType, run, notCopied, result);
        },
        Qt::QueuedConnection);
}

void QELCopy::_workerOnAllItemsCopied(int copyType, quint64 run, quint32 notCopied,
                                      const QELCopyOutcome& result)
{
    if (run != m_run || !m_delegate)
        return;
    QELCopyOutcome outcome = result;
    // A job that counts failures without taking items from the queue.
    outcome.failed = std::max(outcome.failed, std::min(notCopied, outcome.itemCount));
    outcome.copied = std::min(outcome.copied, outcome.itemCount - outcome.failed);
    m_delegate->OnAllItemsCopiedEventWithOutcome(copyType, notCopied, outcome);
}
