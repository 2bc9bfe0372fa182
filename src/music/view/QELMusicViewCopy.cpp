// SPDX-License-Identifier: GPL-3.0-or-later
// The music view's copy and transfer: the requests, the jobs and their events.
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
#include "QELCopyOutcome.h"
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

// --- Requests ---

QELCopyMusic* QELMusicView::copyMusic()
{
    if (!m_copyMusic) {
        m_copyMusic = m_makeCopyJob();
        m_copyMusic->setDelegate(this);
        m_copyMusic->setDeviceInteface(deviceInterface());
        m_copyMusic->setDeviceImageLibrary(m_artworkLibrary.get());
    }
    return m_copyMusic.get();
}

QELTransferMusic* QELMusicView::transferMusic()
{
    if (!m_transferMusic) {
        m_transferMusic = m_makeTransferJob();
        m_transferMusic->setDelegate(this);
        m_transferMusic->setDeviceInteface(deviceInterface());
        m_transferMusic->setDeviceImageLibrary(m_artworkLibrary.get());
        // The library the index reads is the one tracks go into.
        if (m_iTunesLibrary && m_iTunesLibrary->host())
            m_transferMusic->setMediaLibraryHost(m_iTunesLibrary->host());
    }
    return m_transferMusic.get();
}

void QELMusicView::RequestCopy()
{
    QELCopyMusic* job = copyMusic();
    // The folder as the preferences hold it now, not as they were at the first copy.
    job->setBaseCopyPath(QELPreferences::CopyToMacSaveFolder());
    const QList<PlaylistPtr> playlists = selectedPlaylists();
    QString name;
    if (!playlists.isEmpty() && !isYes(playlists.constFirst()->isLibraryType))
        name = playlists.constFirst()->name;
    job->setPlaylistName(name);
    if (QELPreferences::ShowSetCopyLocationBeforeCopy()) {
        m_saveLocationField->setText(QELPreferences::CopyToMacSaveFolder());
        m_saveLocationShowAgain->setChecked(true);
        m_saveLocationPanel->open();
        return;
    }
    startCopyOf(localTracks(_getSelectedTracks()));
}

void QELMusicView::startCopyOf(const QList<TrackDetailPtr>& tracks)
{
    QVariantList items;
    items.reserve(tracks.size());
    for (const TrackDetailPtr& track : tracks)
        items << QVariant::fromValue(track);
    QELCopyMusic* job = copyMusic();
    job->setItemQueue(items);
    job->startCopy();
}

void QELMusicView::saveLocationBrowseButtonClicked()
{
    const QString folder = m_chooseFolder(m_saveLocationPanel, m_saveLocationField->text());
    if (!folder.isEmpty())
        m_saveLocationField->setText(folder);
}

void QELMusicView::saveLocationContinueButtonClicked()
{
    const QString folder = m_saveLocationField->text().trimmed();
    {
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
        // An emptied field would send the copies nowhere in particular.
        if (!folder.isEmpty())
            settings.setValue(QELPreferences::kCopyToMacSaveFolder, folder);
    }
    QELPreferences::setShowSetCopyLocationBeforeCopy(m_saveLocationShowAgain->isChecked());
    m_saveLocationPanel->hide();
    QELCopyMusic* job = copyMusic();
    job->setBaseCopyPath(QELPreferences::CopyToMacSaveFolder());
    startCopyOf(localTracks(_getSelectedTracks()));
}

void QELMusicView::saveLocationButtonCancelClicked() { m_saveLocationPanel->hide(); }

void QELMusicView::RequestTransfer()
{
    _transferTracksWithinPlaylists(_getSelectedTracks(), selectedPlaylists());
}

void QELMusicView::_transferTracksWithinPlaylists(const QList<TrackDetailPtr>& tracks,
                                                  const QList<PlaylistPtr>& playlists)
{
    const QList<TrackDetailPtr> local = localTracks(tracks);
    if (local.isEmpty() || !m_mediaLibrary)
        return;
    transferMusic();
    // The device's order comes from the store: read on a worker.
    ++m_pendingJobs;
    m_workers.start([this, local, playlists, library = m_mediaLibrary] {
        const QVariantList items =
            QELTransferMusic::itemsForTransferOfTracksWithinPlaylists(*library, local, playlists);
        QMetaObject::invokeMethod(
            this,
            [this, items] {
                --m_pendingJobs;
                startTransferJob(items);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::startTransferJob(const QVariantList& items)
{
    QELTransferMusic* job = transferMusic();
    job->setItemQueue(items);
    job->startCopy();
}

void QELMusicView::RequestBackUp()
{
    if (!m_mediaLibrary)
        return;
    if (delegate())
        delegate()->OnProgressEventCurrentValueMaximumValue(L("PREPARINGFORBACKUP"), 0, 0);
    transferMusic();
    // The queue is built on a worker; the job is filled and started here.
    ++m_pendingJobs;
    m_workers.start([this, library = m_mediaLibrary, iCloud = showingICloudItems()] {
        const QVariantList items = QELTransferMusic::itemsForBackUp(*library, iCloud);
        QMetaObject::invokeMethod(
            this,
            [this, items] {
                --m_pendingJobs;
                startTransferJob(items);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::RequestCancelCopy()
{
    if (m_copyMusic)
        m_copyMusic->cancelCopy();
    if (m_transferMusic)
        m_transferMusic->cancelCopy();
}

void QELMusicView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    QString title;
    if (args.senderClass() == typeid(QELCopyMusic))
        title = L("COPYINGTOMAC");
    else if (args.senderClass() == typeid(QELTransferMusic))
        title = L("COPYINGTOITUNES");
    else
        return;
    reportCopyItemBegin(title, args);
}

void QELMusicView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args)
{
    // On the job's worker: the history writes its file here, off the GUI
    // thread; the lists follow on the GUI thread.
    const QString id = args.itemId();
    const bool ok = args.statusOK();
    QMetaObject::invokeMethod(
        this,
        [this, id, ok] {
            if (!m_history)
                return;
            ++m_pendingJobs;
            runHistoryJob([this, history = m_history, id, ok] {
                history->RecordCopyHistoryForItemWithSucess(id, ok);
                QMetaObject::invokeMethod(
                    this, [this] { _historyJobDone(); }, Qt::QueuedConnection);
            });
        },
        Qt::QueuedConnection);
}

void QELMusicView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELMusicView::OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                                    const QELCopyOutcome& outcome)
{
    // After the item ends queued before this event have been recorded.
    ++m_pendingJobs;
    QMetaObject::invokeMethod(
        this,
        [this] {
            --m_pendingJobs;
            _updateDynamicPlaylists();
            commitHistory();
            // A Copy to Music changed the computer's library: the report
            // of what it lacks is made anew when it is chosen next.
            m_notInITunesStale = true;
        },
        Qt::QueuedConnection);
    if (delegate())
        delegate()->OnAllItemsCopiedEventWithOutcome(copyType, notCopied, outcome);
}
