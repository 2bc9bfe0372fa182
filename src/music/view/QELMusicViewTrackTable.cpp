// SPDX-License-Identifier: GPL-3.0-or-later
// The music view's track table: the browse lists, the search and the context menus.
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

// --- Browsing ---

void QELMusicView::search(const QString& text)
{
    m_searchString = text;
    RefreshBrowseTables();
}

void QELMusicView::browseSelectionChanged()
{
    if (m_applyingSelection)
        return;
    RefreshBrowseTables();
}

void QELMusicView::RefreshBrowseTables()
{
    if (!m_mediaLibrary)
        return;
    const QList<PlaylistPtr> playlists = selectedPlaylists();
    if (m_notInITunes && !m_notInITunesGenerated
        && std::any_of(playlists.begin(), playlists.end(),
                       [this](const PlaylistPtr& p) { return p == m_notInITunes; })) {
        startNotInITunesReport();
        return;
    }
    if (m_right->currentWidget() == m_reportPage) {
        // Another playlist was chosen while the report ran: it stops, not generated.
        m_report->cancel();
        showListing();
    }
    BrowseRequest request;
    request.playlists = playlists;
    request.search = m_searchString;
    request.genres = selectedValues(m_genreList, m_genreModel);
    request.artists = selectedValues(m_artistList, m_artistModel);
    request.albums = selectedValues(m_albumList, m_albumModel);
    request.includingICloud = showingICloudItems();
    const quint64 generation = ++m_browseGeneration;
    m_browseWanted->store(generation);
    m_workers.start([this, generation, request, library = m_mediaLibrary, wanted = m_browseWanted] {
        auto result = std::make_shared<BrowseResult>();
        result->generation = generation;
        const QString& search = request.search;
        const bool iCloud = request.includingICloud;
        // The queries take the store's one lock in turn: a refresh that a newer
        // one overtook (a search typed on) stops between them.
        auto overtaken = [&] { return wanted->load() != generation; };
        result->genres = library->genresInPlaylistsWithCriteriaIncludingICloudItems(
            request.playlists, search, iCloud);
        if (overtaken())
            return;
        result->selectedGenres = keptSelection(request.genres, result->genres);
        result->artists = library->artistsInPlaylistsWithGenresWithCriteriaIncludingICloudItems(
            request.playlists, filterOf(result->selectedGenres), search, iCloud);
        if (overtaken())
            return;
        result->selectedArtists = keptSelection(request.artists, result->artists);
        result->albums =
            library->albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
                request.playlists, filterOf(result->selectedGenres),
                filterOf(result->selectedArtists), search, iCloud);
        if (overtaken())
            return;
        result->selectedAlbums = keptSelection(request.albums, result->albums);
        result->tracks =
            library
                ->trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                    request.playlists, filterOf(result->selectedGenres),
                    filterOf(result->selectedArtists), filterOf(result->selectedAlbums), search,
                    iCloud);
        // A playlist in the device's order keeps it; anything else is sorted.
        result->deviceOrder = !request.playlists.isEmpty()
            && QELDeviceMediaLibrary::isPlaylistsToBeSorted(*request.playlists.constFirst());
        if (overtaken())
            return;
        if (!result->deviceOrder)
            sortByDefaultOrder(result->tracks);
        QMetaObject::invokeMethod(
            this, [this, result] { applyBrowse(result); }, Qt::QueuedConnection);
    });
}

void QELMusicView::applyBrowse(const std::shared_ptr<BrowseResult>& result)
{
    if (result->generation != m_browseGeneration)
        return;
    m_browseApplied = result->generation;
    m_applyingSelection = true;
    auto restore = [](QListView* list, BrowseListModel* model, const QStringList& values,
                      const QStringList& selected) {
        model->setValues(values);
        QItemSelection selection;
        for (const QString& value : selected) {
            const QModelIndex index = model->index(int(values.indexOf(value)));
            selection.select(index, index);
        }
        if (selection.isEmpty() && !values.isEmpty())
            selection.select(model->index(0), model->index(0));
        list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    };
    restore(m_genreList, m_genreModel, result->genres, result->selectedGenres);
    restore(m_artistList, m_artistModel, result->artists, result->selectedArtists);
    restore(m_albumList, m_albumModel, result->albums, result->selectedAlbums);
    if (result->tracks != m_trackModel->tracks())
        m_trackModel->setTracks(result->tracks);
    else
        m_trackModel->statusChanged();
    // The default order shows on the artist column; the device's order shows none.
    m_trackTable->horizontalHeader()->setSortIndicator(
        result->deviceOrder ? -1 : int(TrackTableModel::ArtistColumn), Qt::AscendingOrder);
    m_applyingSelection = false;
    updateTrackCountLabel();
    if (delegate())
        delegate()->OnMediaViewChanged();
}

void QELMusicView::sortTracksByColumn(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= TrackTableModel::ColumnCount || m_trackModel->rowCount() == 0)
        return;
    // 50,000 keys and their sort take longer than a frame: on a worker.
    const quint64 generation = ++m_sortGeneration;
    const quint64 browse = m_browseGeneration;
    ++m_pendingJobs;
    m_workers.start([this, generation, browse, order, tracks = m_trackModel->tracks(),
                     key = m_trackModel->sortKey(column)] {
        const QList<TrackDetailPtr> sorted = TrackTableModel::sortedTracks(tracks, key, order);
        QMetaObject::invokeMethod(
            this,
            [this, generation, browse, sorted] {
                --m_pendingJobs;
                // A newer sort or listing wins.
                if (generation == m_sortGeneration && browse == m_browseGeneration)
                    m_trackModel->applyOrder(sorted);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::trackSelectionChanged()
{
    if (m_artworkFollowsSelection && isArtworkPanelShown()) {
        // A selection gone takes its cover along, even where the playlist's
        // own picture cannot stand in.
        if (selectedTrackRows().isEmpty())
            clearArtwork();
        _showArtworkForSelectedItems();
    }
    updateTrackCountLabel();
}

void QELMusicView::trackListReplaced()
{
    // A new list drops the selection without a word from the selection
    // model: the cover of a track that was selected must not stay.
    trackSelectionChanged();
}

QList<int> QELMusicView::selectedTrackRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_trackTable->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void QELMusicView::updateTrackCountLabel()
{
    m_trackCountLabel->setText(
        MusicView::trackCountText(m_trackModel->rowCount(), selectedTrackRows().size()));
}

QString QELMusicView::trackCountText() const { return m_trackCountLabel->text(); }
QList<TrackDetailPtr> QELMusicView::trackDetails() const { return m_trackModel->tracks(); }
QStringList QELMusicView::genres() const { return m_genreModel->values(); }
QStringList QELMusicView::artists() const { return m_artistModel->values(); }
QStringList QELMusicView::albums() const { return m_albumModel->values(); }

QList<TrackDetailPtr> QELMusicView::_getSelectedTracks() const
{
    const QList<int> rows = selectedTrackRows();
    if (rows.isEmpty())
        return m_trackModel->tracks();
    QList<TrackDetailPtr> tracks;
    for (int row : rows)
        tracks << m_trackModel->trackAt(row);
    return tracks;
}

QList<TrackDetailPtr> QELMusicView::mediaListForPlayback()
{
    return playbackList(m_trackModel->tracks(), selectedTrackRows());
}

void QELMusicView::SetCurrentlyPlayingTrackDetail(const std::optional<QELMediaPlayerItem>& track)
{
    m_playing = track;
    m_playingID = track ? track->persistentID : QString();
    m_trackModel->setPlayingID(m_playingID);
    if (!m_artworkFollowsSelection && isArtworkPanelShown())
        _showArtworkForCurrentlyPlayingItem();
}

// --- Context menus ---

void QELMusicView::copySelectedTracks()
{
    if (!selectedTrackRows().isEmpty())
        RequestCopy();
}

void QELMusicView::copyAllTracks()
{
    m_trackTable->clearSelection();
    RequestCopy();
}

void QELMusicView::transferSelectedTracks()
{
    if (!selectedTrackRows().isEmpty())
        RequestTransfer();
}

void QELMusicView::transferAllTracks()
{
    m_trackTable->clearSelection();
    RequestTransfer();
}

void QELMusicView::trackContextMenu(const QPoint& position)
{
    QMenu menu(this);
    const bool selected = !selectedTrackRows().isEmpty();
    menu.addAction(L("COPYSELECTEDTRACKS"), this, [this] { copySelectedTracks(); })
        ->setEnabled(selected);
    menu.addAction(L("COPYALLTRACKS"), this, [this] { copyAllTracks(); });
    menu.addSeparator();
    menu.addAction(L("TRANSFERSELECTEDTRACKS"), this, [this] { transferSelectedTracks(); })
        ->setEnabled(selected);
    menu.addAction(L("TRANSFERALLTRACKS"), this, [this] { transferAllTracks(); });
    menu.exec(m_trackTable->viewport()->mapToGlobal(position));
}

void QELMusicView::sourceContextMenu(const QPoint& position)
{
    if (selectedPlaylists().isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(L("COPYPLAYLIST"), this, [this] { copyPlaylist(); });
    menu.addAction(L("TRANSFERPLAYLIST"), this, [this] { transferPlaylist(); });
    menu.exec(m_sourceList->viewport()->mapToGlobal(position));
}
