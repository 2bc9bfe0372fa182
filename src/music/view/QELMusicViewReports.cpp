// SPDX-License-Identifier: GPL-3.0-or-later
// The music view's reports: what the computer's library lacks, and the copied and not-copied lists.
#include <algorithm>
#include <climits>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEasingCurve>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "Clock.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "MusicNotInLibraryReport.h"
#include "MusicViewModels.h"
#include "QELArtworkITunesPurchases.h"
#include "QELCopyHistory.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELCopyMusic.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELDeviceMediaLibrary.h"
#include "QELITunesLibrary.h"
#include "QELMusicView.h"
#include "QELMusicViewParts.h"
#include "QELPreferences.h"
#include "QELTransferMusic.h"

using namespace MusicView;
using namespace MusicViewParts;

// --- The NOTINITUNES report ---

void QELMusicView::startNotInITunesReport()
{
    m_reportProgress->setRange(0, 0);
    m_right->setCurrentWidget(m_reportPage);
    m_report->start(m_mediaLibrary, m_iTunesLibrary, m_notInITunes);
}

void QELMusicView::showListing() { m_right->setCurrentWidget(m_listing); }

void QELMusicView::notInITunesReportFinished(const QList<TrackDetailPtr>&)
{
    // The report gave the NOTINITUNES list its tracks on its worker.
    showListing();
    m_notInITunesGenerated = true;
    // An empty list must not read as "every track is in the library"; and
    // a library that could not be read is tried again when the list is
    // chosen again (a Copy to Music may make it meanwhile).
    if (!m_iTunesLibrary || !m_iTunesLibrary->isLibraryReadSuccessful()) {
        m_notInITunesStale = true;
        sendStatus(L("MUSICLIBRARYNOTREAD"), L("MUSICLIBRARYNOTREADDETAIL"));
    }
    RefreshBrowseTables();
}

// --- Copied and not-copied lists ---

void QELMusicView::_updateDynamicPlaylists()
{
    if (!m_history || !m_itemsCopied || !m_itemsNotCopied || !m_mediaLibrary) {
        RefreshBrowseTables();
        return;
    }
    // A burst of item ends folds into one more run after the one in flight.
    if (m_dynamicRunning) {
        m_dynamicAgain = true;
        return;
    }
    m_dynamicRunning = true;
    m_workers.start([this, history = m_history, library = m_mediaLibrary, copied = m_itemsCopied,
                     notCopied = m_itemsNotCopied] {
        const QStringList ids = history->GetItemIDSetForCopiedItems();
        const QList<TrackDetailPtr> missing = library->trackDetailsForMissingPersistentIDs(ids);
        const QList<TrackDetailPtr> present = library->trackDetailsForPersistentIDs(ids);
        {
            auto guard = storeLock(library->managedObjectContext());
            notCopied->setTracks(missing);
            copied->setTracks(present);
        }
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_dynamicRunning = false;
                if (m_dynamicAgain) {
                    m_dynamicAgain = false;
                    _updateDynamicPlaylists();
                    return;
                }
                ++m_dynamicGeneration;
                RefreshBrowseTables();
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::noteHistoryUnavailable(const QString& why)
{
    if (m_historyFailureShown)
        return;
    m_historyFailureShown = true;
    qCWarning(lcOrvane).noquote() << "The copy history cannot be read:" << why;
    sendStatus(L("COPYHISTORYUNAVAILABLE"), L("COPYHISTORYUNAVAILABLEDETAIL").arg(why));
}

void QELMusicView::sendStatus(const QString& top, const QString& bottom)
{
    m_statusLine = bottom.isEmpty() ? top : top + QLatin1Char('\n') + bottom;
    if (delegate())
        delegate()->OnInformationStatusEventBottomLine(top, bottom);
}

void QELMusicView::OnClearHistoryButtonClicked() { m_confirmClearHistory->open(); }

void QELMusicView::cancelClearHistoryButtonClicked() { m_confirmClearHistory->hide(); }

void QELMusicView::confirmClearHistoryButtonClicked()
{
    m_confirmClearHistory->hide();
    if (!m_history)
        return;
    ++m_pendingJobs;
    m_workers.start([this, history = m_history, copied = m_itemsCopied, library = m_mediaLibrary] {
        history->EraseCopyHistory();
        if (copied && library) {
            auto guard = storeLock(library->managedObjectContext());
            copied->setTracks({});
        }
        QMetaObject::invokeMethod(
            this, [this] { _historyJobDone(); }, Qt::QueuedConnection);
    });
}

void QELMusicView::runHistoryJob(std::function<void()> job)
{
    // The marks and the upload run one after another in the order they were
    // asked for, so the upload always carries the last track's mark.
    const std::shared_ptr<HistoryQueue> queue = m_historyQueue;
    {
        std::lock_guard lock(queue->mutex);
        queue->jobs.push_back(std::move(job));
        if (queue->draining)
            return;
        queue->draining = true;
    }
    m_workers.start([queue] {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard lock(queue->mutex);
                if (queue->jobs.empty()) {
                    queue->draining = false;
                    return;
                }
                next = std::move(queue->jobs.front());
                queue->jobs.pop_front();
            }
            next();
        }
    });
}

void QELMusicView::commitHistory()
{
    if (!m_history)
        return;
    ++m_pendingJobs;
    runHistoryJob([this, history = m_history] {
        if (!history->CommitHistoryToDevice())
            qCWarning(lcOrvane) << "The copy history could not be written to the device";
        QMetaObject::invokeMethod(
            this, [this] { --m_pendingJobs; }, Qt::QueuedConnection);
    });
}

void QELMusicView::_historyJobDone()
{
    --m_pendingJobs;
    m_trackModel->statusChanged();
    _updateDynamicPlaylists();
}
