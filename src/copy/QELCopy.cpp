#include "QELCopy.h"

#include <exception>
#include <limits>

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "FolderMediaLibraryHost.h"
#include "Log.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELITunesInformation.h"

namespace {

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

QELCopy::~QELCopy()
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
    m_failedItemCount = 0;
    m_workers.reapFinished();
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
        try {
            work();
        } catch (...) {
            _callAllItemsCopiedDelegate(); // so the view does not wait for the run forever
            t_workerJob = nullptr;
            throw; // logged by the worker list
        }
        t_workerJob = nullptr;
    });
}

void QELCopy::_itemCouldNotBeCopied()
{
    if (callersRun() == m_run)
        ++m_failedItemCount;
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

void QELCopy::_callOnItemCopyBeginEventWith(QELCopyItemBeginEventArgs args)
{
    args.setItemNumber(m_itemNumber);
    args.setItemCount(m_itemCount);
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
    QMetaObject::invokeMethod(
        this,
        [this, copyType, run, notCopied] { _workerOnAllItemsCopied(copyType, run, notCopied); },
        Qt::QueuedConnection);
}

void QELCopy::_workerOnAllItemsCopied(int copyType, quint64 run, quint32 notCopied)
{
    if (run != m_run || !m_delegate)
        return;
    m_delegate->OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
}
