// SPDX-License-Identifier: GPL-3.0-or-later
// The music view's library tree: the source list of playlists and its selection.
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

// --- Source list ---

void QELMusicView::RefreshSourceList()
{
    if (!m_mediaLibrary) {
        showNoMusicPage();
        return;
    }
    const quint64 generation = ++m_sourceGeneration;
    const bool showICloud = QELPreferences::showItemsInICloud();
    const bool makeHistory = !m_historyTried;
    m_historyTried = true;
    auto reports = std::make_shared<SourceResult>();
    reports->copied = m_itemsCopied;
    reports->notCopied = m_itemsNotCopied;
    reports->notInLibrary = m_notInITunes;
    reports->history = m_history;
    // A rebuild makes the NOTINITUNES list anew: it is computed again when chosen.
    m_report->cancel();
    m_notInITunesGenerated = false;
    m_workers.start([this, generation, showICloud, makeHistory, library = m_mediaLibrary,
                     device = deviceInterface(), result = reports] {
        result->generation = generation;
        if (makeHistory && device) {
            QString why;
            std::unique_ptr<QELCopyHistory> history =
                QELCopyHistory::create(device, kHistoryName, &why);
            if (history)
                result->history = std::move(history);
            else
                result->historyFailure = why.isEmpty() ? QStringLiteral("no store") : why;
        }
        result->empty = library->isMediaLibraryEmpty(showICloud);
        if (!result->empty) {
            const std::shared_ptr<QELMediaStore> store = library->managedObjectContext();
            auto guard = storeLock(store);
            // The three report lists are made once and reused at every rebuild.
            if (!result->copied) {
                result->copied = library->CreateNewUserDefinedPlaylistWithName(L("ITEMSCOPIED"));
                result->notCopied =
                    library->CreateNewUserDefinedPlaylistWithName(L("ITEMSNOTCOPIEDLIST"));
                result->notInLibrary =
                    library->CreateNewUserDefinedPlaylistWithName(L("NOTINITUNES"));
                for (const PlaylistPtr& report :
                     {result->copied, result->notCopied, result->notInLibrary}) {
                    if (report) {
                        report->isReportType = true;
                        report->playlistIconName = QStringLiteral("cat_smart_playlist");
                    }
                }
            }
            QList<PlaylistPtr> reportList;
            if (result->copied && result->notCopied && result->notInLibrary) {
                const QStringList copiedIDs =
                    result->history ? result->history->GetItemIDSetForCopiedItems() : QStringList();
                result->copied->setTracks(library->trackDetailsForPersistentIDs(copiedIDs));
                result->notCopied->setTracks(
                    library->trackDetailsForMissingPersistentIDs(copiedIDs));
                result->notInLibrary->setTracks({});
                reportList = {result->copied, result->notCopied, result->notInLibrary};
            }
            result->groups = groupPlaylists(library->playlists(), showICloud, reportList);
        }
        QMetaObject::invokeMethod(
            this, [this, result] { applySourceList(result); }, Qt::QueuedConnection);
    });
}

void QELMusicView::applySourceList(const std::shared_ptr<SourceResult>& result)
{
    if (result->history && !m_history) {
        m_history = result->history;
        std::weak_ptr<QELCopyHistory> weak = m_history;
        m_trackModel->setHistoryAnswer([weak](const QString& id) -> qint64 {
            const std::shared_ptr<QELCopyHistory> history = weak.lock();
            return history ? history->GetCopyHistoryResultForItemWithID(id) : 0;
        });
    }
    if (!result->historyFailure.isEmpty())
        noteHistoryUnavailable(result->historyFailure);
    if (result->copied && !m_itemsCopied) {
        m_itemsCopied = result->copied;
        m_itemsNotCopied = result->notCopied;
        m_notInITunes = result->notInLibrary;
    }
    if (result->generation != m_sourceGeneration)
        return;
    m_sourceApplied = result->generation;
    if (result->empty) {
        showNoMusicPage();
        return;
    }
    showContent();
    // The selection by playlist, kept across the rebuild.
    const QList<PlaylistPtr> before = selectedPlaylists();
    m_applyingSelection = true;
    m_sourceModel->setGroups(result->groups);
    m_sourceList->expandAll();
    // Each row once: a row named twice in a selection is listed twice by
    // selectedIndexes(), and its tracks would be shown (and copied) twice.
    QItemSelection selection;
    QSet<QPersistentModelIndex> chosen;
    auto choose = [&](const QModelIndex& index) {
        if (index.isValid() && !chosen.contains(index)) {
            chosen.insert(index);
            selection.select(index, index);
        }
    };
    for (const PlaylistPtr& playlist : before)
        choose(m_sourceModel->indexOf(playlist.get()));
    // Row 1: the first playlist under the first heading.
    const QModelIndex first = m_sourceModel->index(0, 0, m_sourceModel->index(0, 0));
    choose(first);
    m_sourceList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (first.isValid())
        m_sourceList->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    m_applyingSelection = false;
    // The artwork area: a square in the left column when the panel shows.
    sourceSelectionChanged();
}

QList<PlaylistPtr> QELMusicView::playlistsOf(const QModelIndexList& rows) const
{
    QList<QModelIndex> sorted = rows;
    // Row order: headings' rows first by heading, then by row within it.
    std::sort(sorted.begin(), sorted.end(), [](const QModelIndex& a, const QModelIndex& b) {
        const int ha = a.parent().isValid() ? a.parent().row() : a.row();
        const int hb = b.parent().isValid() ? b.parent().row() : b.row();
        if (ha != hb)
            return ha < hb;
        const int ra = a.parent().isValid() ? a.row() + 1 : 0;
        const int rb = b.parent().isValid() ? b.row() + 1 : 0;
        return ra < rb;
    });
    QList<PlaylistPtr> playlists;
    QSet<const Playlist*> seen;
    for (const QModelIndex& index : sorted) {
        PlaylistPtr playlist = m_sourceModel->playlistAt(index);
        if (playlist && !seen.contains(playlist.get())) {
            seen.insert(playlist.get());
            playlists << playlist;
        }
    }
    return playlists;
}

QList<PlaylistPtr> QELMusicView::selectedPlaylists() const
{
    return playlistsOf(m_sourceList->selectionModel()->selectedIndexes());
}

void QELMusicView::sourceSelectionChanged()
{
    if (m_applyingSelection)
        return;
    QItemSelectionModel* selection = m_sourceList->selectionModel();
    const QModelIndexList rows = selection->selectedIndexes();
    if (rows.isEmpty())
        return;
    // A heading other than REPORTS stands for every playlist under it.
    QItemSelection replaced;
    bool headingChosen = false;
    for (const QModelIndex& index : rows) {
        if (!m_sourceModel->isHeading(index))
            continue;
        headingChosen = true;
        if (m_sourceModel->headingKey(index) == kReports)
            continue;
        const int children = m_sourceModel->rowCount(index);
        if (children > 0)
            replaced.select(m_sourceModel->index(0, 0, index),
                            m_sourceModel->index(children - 1, 0, index));
    }
    if (headingChosen) {
        for (const QModelIndex& index : rows) {
            if (!m_sourceModel->isHeading(index))
                replaced.select(index, index);
        }
        m_applyingSelection = true;
        selection->select(replaced, QItemSelectionModel::ClearAndSelect);
        m_applyingSelection = false;
    }
    // A report made over a library that has changed since (or could not be
    // read) is made again at its next choice.
    if (m_notInITunesStale) {
        m_notInITunesStale = false;
        m_notInITunesGenerated = false;
    }
    const QList<PlaylistPtr> playlists = selectedPlaylists();
    bool reportChosen = false;
    for (const PlaylistPtr& playlist : playlists) {
        if (isYes(playlist->isReportType))
            reportChosen = true;
    }
    if (m_artworkFollowsSelection && isArtworkPanelShown()
        && m_trackTable->selectionModel()->selectedRows().isEmpty()) {
        if (!playlists.isEmpty() && !playlists.constFirst()->playlistImageRelativePath.isEmpty())
            _showArtworkForPlaylist(playlists.constFirst());
        else
            _showNoArtwork();
    }
    // The copied and not-copied lists are brought up to date when chosen;
    // NOTINITUNES alone starts its report at once.
    const bool historyList =
        std::any_of(playlists.begin(), playlists.end(), [this](const PlaylistPtr& p) {
            return p == m_itemsCopied || p == m_itemsNotCopied;
        });
    if (reportChosen && historyList && m_itemsCopied)
        _updateDynamicPlaylists();
    else
        RefreshBrowseTables();
}

bool QELMusicView::selectPlaylistsNamed(const QStringList& names)
{
    QItemSelection selection;
    for (const QString& name : names) {
        bool found = false;
        for (int h = 0; h < m_sourceModel->rowCount(); ++h) {
            const QModelIndex heading = m_sourceModel->index(h, 0);
            for (int row = 0; row < m_sourceModel->rowCount(heading); ++row) {
                const QModelIndex index = m_sourceModel->index(row, 0, heading);
                const PlaylistPtr playlist = m_sourceModel->playlistAt(index);
                if (!found && playlist && playlist->name == name) {
                    selection.select(index, index);
                    found = true;
                }
            }
        }
        if (!found)
            return false;
    }
    m_sourceList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    return true;
}

bool QELMusicView::selectHeading(const QString& key)
{
    const QModelIndex heading = m_sourceModel->headingIndex(key);
    if (!heading.isValid())
        return false;
    m_sourceList->selectionModel()->select(heading, QItemSelectionModel::ClearAndSelect);
    return true;
}

bool QELMusicView::selectBrowseValue(QListView* list, const QString& value)
{
    const auto* model = static_cast<const BrowseListModel*>(list->model());
    const qsizetype row = model->values().indexOf(value);
    if (row < 0)
        return false;
    list->selectionModel()->select(model->index(int(row)), QItemSelectionModel::ClearAndSelect);
    return true;
}

void QELMusicView::checkboxViewMusicInCloudClicked()
{
    QELPreferences::setShowItemsInICloud(m_iCloudCheckBox->isChecked());
    RefreshSourceList();
}
