// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "MusicArtwork.h"
#include "Playlist.h"
#include "QELCopyDelegate.h"
#include "QELDeviceCategoryContentView.h"
#include "QELMediaLibraryCategoryView.h"
#include "QELMediaPlayerItem.h"
#include "TrackDetail.h"
#include "WorkerThreads.h"

class MusicNotInLibraryReport;
class QCheckBox;
class QDialog;
class QELCopyHistory;
class QELCopyMusic;
class QELTransferMusic;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
using QModelIndexList = QList<QModelIndex>;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTreeView;
class QVariantAnimation;

namespace MusicView {
class BrowseListModel;
class SourceListModel;
class TrackTableModel;
} // namespace MusicView

// The music category: the device's playlists under their headings on the
// left with the artwork panel below them; genres, artists and albums over the
// track table on the right, or the progress page of the NOTINITUNES report;
// the no-music page when there is nothing to show. Copies the tracks to act
// on into a folder, adds them (or the whole library) into the computer's
// music library, keeps the device's copy history and its two report lists,
// and hands the preview player its tracks.
//
// GUI thread. Every media-store query, device read, history write and the
// report run on the view's workers; their answers come back with a
// generation number, and an answer that a newer request overtook is dropped.
class QELMusicView : public QELDeviceCategoryContentView,
                     public QELMediaLibraryCategoryView,
                     public QELCopyDelegate {
    Q_OBJECT
public:
    // Asks for a folder from the save-location sheet; empty: cancelled.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;
    // Makes the jobs; tests give recording ones.
    using CopyJobFactory = std::function<std::unique_ptr<QELCopyMusic>()>;
    using TransferJobFactory = std::function<std::unique_ptr<QELTransferMusic>()>;

    explicit QELMusicView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELMusicView() override;

    Requests answeredRequests() const override
    {
        return Copy | CancelCopy | Transfer | BackUp | Search;
    }
    void RequestCopy() override;
    void RequestCancelCopy() override;
    void RequestTransfer() override;
    void RequestBackUp() override;
    void search(const QString& text) override;
    void categoryWillBeLeft() override;

    bool hasMediaListForPlayback() const override { return true; }
    QList<TrackDetailPtr> mediaListForPlayback() override;
    void SetCurrentlyPlayingTrackDetail(const std::optional<QELMediaPlayerItem>& track) override;

    // QELMediaLibraryCategoryView
    void setLibraries(std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
                      std::shared_ptr<QELITunesLibrary> iTunesLibrary,
                      std::shared_ptr<QELDeviceImageLibraryReader> artworkLibrary) override;
    void refreshAfterPreferencesChange() override;

    // The three libraries one by one, in the order the content page gives them.
    void setDeviceMediaLibrary(std::shared_ptr<QELDeviceMediaLibrary> library);
    void setArtworkLibrary(std::shared_ptr<QELDeviceImageLibraryReader> artwork);
    void setITunesLibrary(std::shared_ptr<QELITunesLibrary> index);
    std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary() const { return m_mediaLibrary; }

    void RefreshSourceList();
    void RefreshBrowseTables();
    void showArtworkPanel(bool show);

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    // Context actions of the track table and the source list.
    void copySelectedTracks();
    void copyAllTracks();
    void transferSelectedTracks();
    void transferAllTracks();
    void copyPlaylist() { copyAllTracks(); }
    void transferPlaylist() { transferAllTracks(); }

    // The clear-history button and its confirmation sheet.
    void OnClearHistoryButtonClicked();
    void confirmClearHistoryButtonClicked();
    void cancelClearHistoryButtonClicked();
    // The save-location sheet.
    void saveLocationBrowseButtonClicked();
    void saveLocationContinueButtonClicked();
    void saveLocationButtonCancelClicked();
    // The artwork panel's two buttons.
    void OnHideShowArtworkButtonClicked();
    void artworkViewModeButtonClicked();
    // The no-music page's checkbox.
    void checkboxViewMusicInCloudClicked();

    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setCopyJobFactory(CopyJobFactory factory) { m_makeCopyJob = std::move(factory); }
    void setTransferJobFactory(TransferJobFactory factory)
    {
        m_makeTransferJob = std::move(factory);
    }

    // What the view shows, for tests and the screenshots.
    QList<PlaylistPtr> selectedPlaylists() const;
    QList<TrackDetailPtr> trackDetails() const;
    QStringList genres() const;
    QStringList artists() const;
    QStringList albums() const;
    QString trackCountText() const;
    QString statusLine() const { return m_statusLine; }
    bool isShowingNoMusicPage() const;
    bool isShowingReportProgress() const;
    bool isArtworkPanelShown() const;
    bool artworkFollowsSelection() const { return m_artworkFollowsSelection; }
    MusicArtwork::Source shownArtworkSource() const { return m_shownArtwork; }
    // Requests answered so far; tests wait for a count.
    quint64 browseRefreshCount() const { return m_browseApplied; }
    quint64 sourceListBuildCount() const { return m_sourceApplied; }
    bool isBusy() const;
    PlaylistPtr itemsCopiedPlaylist() const { return m_itemsCopied; }
    PlaylistPtr itemsNotCopiedPlaylist() const { return m_itemsNotCopied; }
    PlaylistPtr notInITunesPlaylist() const { return m_notInITunes; }
    bool notInITunesReportHasBeenGenerated() const { return m_notInITunesGenerated; }
    QELCopyHistory* history() const { return m_history.get(); }
    QELCopyMusic* copyJob() const { return m_copyMusic.get(); }
    QELTransferMusic* transferJob() const { return m_transferMusic.get(); }

    QTreeView* sourceList() const { return m_sourceList; }
    QListView* genreList() const { return m_genreList; }
    QListView* artistList() const { return m_artistList; }
    QListView* albumList() const { return m_albumList; }
    QTableView* trackTable() const { return m_trackTable; }
    MusicView::SourceListModel* sourceListModel() const { return m_sourceModel; }
    MusicView::TrackTableModel* trackModel() const { return m_trackModel; }
    QDialog* saveLocationPanel() const { return m_saveLocationPanel; }
    QDialog* confirmClearHistoryView() const { return m_confirmClearHistory; }
    QLineEdit* saveLocationViewTextField() const { return m_saveLocationField; }
    QCheckBox* saveLocationShowMessageCheckBox() const { return m_saveLocationShowAgain; }
    QCheckBox* checkboxShowMusicInICloud() const { return m_iCloudCheckBox; }
    QProgressBar* generatingReportProgress() const { return m_reportProgress; }
    QPushButton* artworkHideShowButton() const { return m_artworkHideShowButton; }
    QPushButton* artworkViewModeButton() const { return m_artworkModeButton; }
    QSplitter* leftSideHorizontalSplitter() const { return m_leftSplitter; }

    // Selects the playlists (by name, in the order given) as a click does.
    bool selectPlaylistsNamed(const QStringList& names);
    // Selects a heading as a click does.
    bool selectHeading(const QString& key);
    // Selects the browse row of this text (genre, artist or album list).
    bool selectBrowseValue(QListView* list, const QString& value);
    // Sorts the listed tracks by a column as a click on its header does.
    void sortByColumnHeader(int column, Qt::SortOrder order) { sortTracksByColumn(column, order); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SourceResult;
    struct BrowseRequest;
    struct BrowseResult;

    void buildWidgets();
    QWidget* buildArtworkPanel();
    QDialog* buildSaveLocationPanel();
    QDialog* buildConfirmClearHistory();
    void showNoMusicPage();
    void showContent();
    bool showingICloudItems() const;
    void applySourceList(const std::shared_ptr<SourceResult>& result);
    void sourceSelectionChanged();
    void browseSelectionChanged();
    void trackSelectionChanged();
    void trackListReplaced();
    void sortTracksByColumn(int column, Qt::SortOrder order);
    void applyBrowse(const std::shared_ptr<BrowseResult>& result);
    void startNotInITunesReport();
    void showListing();
    void notInITunesReportFinished(const QList<TrackDetailPtr>& tracks);
    void _updateDynamicPlaylists();
    // A job that changed the copy history has ended: the marks and the
    // report lists follow it.
    void _historyJobDone();
    void updateTrackCountLabel();
    QList<TrackDetailPtr> _getSelectedTracks() const;
    QList<int> selectedTrackRows() const;
    QList<PlaylistPtr> playlistsOf(const QModelIndexList& rows) const;
    QELCopyMusic* copyMusic();
    QELTransferMusic* transferMusic();
    void startCopyOf(const QList<TrackDetailPtr>& tracks);
    void _transferTracksWithinPlaylists(const QList<TrackDetailPtr>& tracks,
                                        const QList<PlaylistPtr>& playlists);
    void startTransferJob(const QVariantList& items);
    void commitHistory();
    void runHistoryJob(std::function<void()> job);
    void noteHistoryUnavailable(const QString& why);
    void sendStatus(const QString& top, const QString& bottom);

    // The artwork panel.
    void _hideArtworkPanel();
    void _showArtworkPanel();
    void animateArtworkTo(int artworkHeight);
    void animationDidEnd();
    void updateArtworkModeButton();
    void _showArtworkForSelectedItems();
    void _showArtworkForCurrentlyPlayingItem();
    void _showArtworkForTrackDetail(const TrackDetailPtr& track);
    void _showArtworkForPlaylist(const PlaylistPtr& playlist);
    void _showNoArtwork();
    void showArtworkResult(const MusicArtwork::Result& result);
    void clearArtwork();

    void trackContextMenu(const QPoint& position);
    void sourceContextMenu(const QPoint& position);

    std::shared_ptr<QELDeviceMediaLibrary> m_mediaLibrary;
    std::shared_ptr<QELITunesLibrary> m_iTunesLibrary;
    std::shared_ptr<QELDeviceImageLibraryReader> m_artworkLibrary;
    std::shared_ptr<QELCopyHistory> m_history;
    bool m_historyTried = false;
    bool m_historyFailureShown = false;
    PlaylistPtr m_itemsCopied;
    PlaylistPtr m_itemsNotCopied;
    PlaylistPtr m_notInITunes;
    bool m_notInITunesGenerated = false;
    bool m_notInITunesStale = false;
    QString m_searchString;
    QString m_playingID;
    std::optional<QELMediaPlayerItem> m_playing;
    bool m_artworkFollowsSelection = true;
    bool m_artworkShown = false;
    // The panel was cleared as the category was left: the view's next
    // showing shows the artwork of its mode again.
    bool m_artworkAwaitsReturn = false;
    int m_splitterPosition = 0;
    MusicArtwork::Source m_shownArtwork = MusicArtwork::Source::None;
    QString m_statusLine;

    quint64 m_sourceGeneration = 0;
    quint64 m_sourceApplied = 0;
    quint64 m_browseGeneration = 0;
    quint64 m_browseApplied = 0;
    // The newest refresh, for its workers to see that they were overtaken.
    std::shared_ptr<std::atomic<quint64>> m_browseWanted =
        std::make_shared<std::atomic<quint64>>(0);
    quint64 m_artworkGeneration = 0;
    quint64 m_sortGeneration = 0;
    quint64 m_dynamicGeneration = 0;
    bool m_dynamicRunning = false;
    bool m_dynamicAgain = false;
    int m_pendingJobs = 0;
    // Set while the view itself changes a selection: no refresh follows.
    bool m_applyingSelection = false;

    QStackedWidget* m_container = nullptr;
    QWidget* m_noMusicPage = nullptr;
    QCheckBox* m_iCloudCheckBox = nullptr;
    QWidget* m_content = nullptr;
    QSplitter* m_browser = nullptr;
    QSplitter* m_leftSplitter = nullptr;
    QTreeView* m_sourceList = nullptr;
    QWidget* m_artworkView = nullptr;
    QFrame* m_artworkBackground = nullptr;
    QLabel* m_artworkImage = nullptr;
    QLabel* m_noICloudArtworkBox = nullptr;
    QPushButton* m_artworkModeButton = nullptr;
    QPushButton* m_artworkHideShowButton = nullptr;
    QVariantAnimation* m_artworkAnimation = nullptr;
    QStackedWidget* m_right = nullptr;
    QWidget* m_listing = nullptr;
    QWidget* m_reportPage = nullptr;
    QProgressBar* m_reportProgress = nullptr;
    QListView* m_genreList = nullptr;
    QListView* m_artistList = nullptr;
    QListView* m_albumList = nullptr;
    QTableView* m_trackTable = nullptr;
    QLabel* m_trackCountLabel = nullptr;
    QPushButton* m_clearHistoryButton = nullptr;
    QDialog* m_saveLocationPanel = nullptr;
    QLineEdit* m_saveLocationField = nullptr;
    QCheckBox* m_saveLocationShowAgain = nullptr;
    QDialog* m_confirmClearHistory = nullptr;

    MusicView::SourceListModel* m_sourceModel = nullptr;
    MusicView::BrowseListModel* m_genreModel = nullptr;
    MusicView::BrowseListModel* m_artistModel = nullptr;
    MusicView::BrowseListModel* m_albumModel = nullptr;
    MusicView::TrackTableModel* m_trackModel = nullptr;
    MusicNotInLibraryReport* m_report = nullptr;

    FolderChooser m_chooseFolder;
    CopyJobFactory m_makeCopyJob;
    TransferJobFactory m_makeTransferJob;
    std::unique_ptr<QELCopyMusic> m_copyMusic;
    std::unique_ptr<QELTransferMusic> m_transferMusic;
    // Last: joined before the members the workers use go.
    // The copy history's writes, in the order they were asked for.
    struct HistoryQueue {
        std::mutex mutex;
        std::deque<std::function<void()>> jobs;
        bool draining = false;
    };
    std::shared_ptr<HistoryQueue> m_historyQueue = std::make_shared<HistoryQueue>();
    WorkerThreads m_workers{QStringLiteral("The music view")};
};
