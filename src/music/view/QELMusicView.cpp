// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMusicView.h"

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
#include "QELPreferences.h"
#include "QELTransferMusic.h"

using namespace MusicView;

namespace {

constexpr int kArtworkAnimationMs = 250;
// The copy history's database on the device.
const QString kHistoryName = QStringLiteral("ovipodchm.db");

QStringList keptSelection(const QStringList& wanted, const QStringList& values)
{
    QStringList kept;
    for (const QString& value : wanted) {
        // Row 0 is the summary row: it stands for no filter.
        const qsizetype at = values.indexOf(value);
        if (at > 0)
            kept << value;
    }
    return kept;
}

QStringList selectedValues(const QListView* list, const BrowseListModel* model)
{
    QStringList values;
    if (!list->selectionModel())
        return values;
    QModelIndexList rows = list->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        if (index.row() == 0)
            return {};
        values << model->values().value(index.row());
    }
    return values;
}

std::optional<QStringList> filterOf(const QStringList& values)
{
    return values.isEmpty() ? std::nullopt : std::optional<QStringList>(values);
}

// The store's lock, held by a worker while it reads or sets a playlist's tracks.
std::unique_lock<std::recursive_mutex> storeLock(const std::shared_ptr<QELMediaStore>& store)
{
    return store ? std::unique_lock<std::recursive_mutex>(store->lock())
                 : std::unique_lock<std::recursive_mutex>();
}

} // namespace

// What a rebuild of the source list found on its worker.
struct QELMusicView::SourceResult {
    quint64 generation = 0;
    bool empty = true;
    SourceGroups groups;
    std::shared_ptr<QELCopyHistory> history;
    QString historyFailure;
    PlaylistPtr copied;
    PlaylistPtr notCopied;
    PlaylistPtr notInLibrary;
};

struct QELMusicView::BrowseRequest {
    QList<PlaylistPtr> playlists;
    QString search;
    QStringList genres;
    QStringList artists;
    QStringList albums;
    bool includingICloud = false;
};

struct QELMusicView::BrowseResult {
    quint64 generation = 0;
    QStringList genres;
    QStringList artists;
    QStringList albums;
    QStringList selectedGenres;
    QStringList selectedArtists;
    QStringList selectedAlbums;
    QList<TrackDetailPtr> tracks;
    bool deviceOrder = false;
};

QELMusicView::QELMusicView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
{
    setObjectName(QStringLiteral("QELMusicView"));
    m_chooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, L("SELECTSAVEDESTINATION"), start,
                                                 QFileDialog::ShowDirsOnly);
    };
    m_makeCopyJob = [] { return std::make_unique<QELCopyMusic>(); };
    m_makeTransferJob = [] { return std::make_unique<QELTransferMusic>(); };
    m_report = new MusicNotInLibraryReport(this);
    connect(m_report, &MusicNotInLibraryReport::progressed, this,
            [this](qint64 counter, qint64 total) {
                m_reportProgress->setRange(0, int(std::min<qint64>(total, INT_MAX)));
                m_reportProgress->setValue(int(std::min<qint64>(counter, INT_MAX)));
            });
    connect(m_report, &MusicNotInLibraryReport::finished, this,
            &QELMusicView::notInITunesReportFinished);
    buildWidgets();
}

QELMusicView::~QELMusicView()
{
    // The jobs' events and the workers' answers must not reach a view that
    // goes: the jobs stop and join their workers (whose item ends call this
    // view) before anything else of it goes.
    if (m_copyMusic) {
        m_copyMusic->setDelegate(nullptr);
        m_copyMusic->cancelCopy();
    }
    if (m_transferMusic) {
        m_transferMusic->setDelegate(nullptr);
        m_transferMusic->cancelCopy();
    }
    m_copyMusic.reset();
    m_transferMusic.reset();
    m_workers.stopAndJoinAll();
}

// --- Widgets ---

void QELMusicView::buildWidgets()
{
    auto* top = new QWidget;
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    m_container = new QStackedWidget(top);
    m_container->setObjectName(QStringLiteral("musicContainerView"));
    topLayout->addWidget(m_container);

    // The content: left column and listing.
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("musicContentView"));
    auto* contentLayout = new QVBoxLayout(m_content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    m_browser = new QSplitter(Qt::Horizontal, m_content);
    m_browser->setObjectName(QStringLiteral("musicBrowserView"));
    m_browser->setChildrenCollapsible(false);
    contentLayout->addWidget(m_browser, 1);

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(2);
    m_leftSplitter = new QSplitter(Qt::Vertical, left);
    m_leftSplitter->setObjectName(QStringLiteral("leftSideHorizontalSplitter"));
    m_sourceList = new QTreeView(m_leftSplitter);
    m_sourceList->setObjectName(QStringLiteral("sidebarOutlineView"));
    m_sourceList->setHeaderHidden(true);
    m_sourceList->setRootIsDecorated(false);
    m_sourceList->setItemsExpandable(false);
    m_sourceList->setIndentation(12);
    m_sourceList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_sourceList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_sourceList->setStyleSheet(QStringLiteral("QTreeView { background: #e8edf3; border: none; }"));
    m_sourceModel = new SourceListModel(this);
    m_sourceList->setModel(m_sourceModel);
    m_leftSplitter->addWidget(m_sourceList);
    m_artworkView = buildArtworkPanel();
    m_leftSplitter->addWidget(m_artworkView);
    m_leftSplitter->setCollapsible(0, false);
    m_leftSplitter->setCollapsible(1, true);
    leftLayout->addWidget(m_leftSplitter, 1);
    auto* artworkButtons = new QHBoxLayout;
    artworkButtons->setContentsMargins(4, 0, 4, 2);
    m_artworkModeButton = new QPushButton(L("SELECTED"), left);
    m_artworkModeButton->setObjectName(QStringLiteral("artworkViewModeButton"));
    m_artworkHideShowButton = new QPushButton(L("HIDEARTWORK"), left);
    m_artworkHideShowButton->setObjectName(QStringLiteral("artworkhideShowButton"));
    artworkButtons->addWidget(m_artworkModeButton);
    artworkButtons->addStretch(1);
    artworkButtons->addWidget(m_artworkHideShowButton);
    leftLayout->addLayout(artworkButtons);
    m_browser->addWidget(left);

    m_right = new QStackedWidget;
    m_listing = new QSplitter(Qt::Vertical);
    m_listing->setObjectName(QStringLiteral("musicListingView"));
    auto* browseRow = new QWidget;
    auto* browseLayout = new QHBoxLayout(browseRow);
    browseLayout->setContentsMargins(0, 0, 0, 0);
    browseLayout->setSpacing(1);
    auto makeBrowse = [&](const char* name, BrowseListModel*& model) {
        auto* list = new QListView(browseRow);
        list->setObjectName(QLatin1String(name));
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setUniformItemSizes(true);
        model = new BrowseListModel(this);
        list->setModel(model);
        browseLayout->addWidget(list);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { browseSelectionChanged(); });
        return list;
    };
    m_genreList = makeBrowse("genresTableView", m_genreModel);
    m_artistList = makeBrowse("artistsTableView", m_artistModel);
    m_albumList = makeBrowse("albumsTableView", m_albumModel);
    static_cast<QSplitter*>(m_listing)->addWidget(browseRow);
    m_trackTable = new QTableView;
    m_trackTable->setObjectName(QStringLiteral("tracksDetailTableView"));
    m_trackModel = new TrackTableModel(this);
    m_trackTable->setModel(m_trackModel);
    m_trackTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_trackTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_trackTable->setShowGrid(false);
    m_trackTable->setAlternatingRowColors(true);
    m_trackTable->setWordWrap(false);
    m_trackTable->setContextMenuPolicy(Qt::CustomContextMenu);
    m_trackTable->verticalHeader()->hide();
    // Fixed row heights keep a table of 50,000 rows from measuring each.
    m_trackTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_trackTable->verticalHeader()->setDefaultSectionSize(20);
    m_trackTable->setIconSize(QSize(64, 12));
    QHeaderView* header = m_trackTable->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    const int widths[TrackTableModel::ColumnCount] = {26, 220, 50,  150, 170, 90,
                                                      72, 44,  116, 116, 70};
    for (int column = 0; column < TrackTableModel::ColumnCount; ++column)
        header->resizeSection(column, widths[column]);
    header->setStretchLastSection(true);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int column) {
        sortTracksByColumn(column, header->sortIndicatorOrder());
    });
    static_cast<QSplitter*>(m_listing)->addWidget(m_trackTable);
    static_cast<QSplitter*>(m_listing)->setSizes({150, 500});
    m_right->addWidget(m_listing);

    m_reportPage = new QWidget;
    m_reportPage->setObjectName(QStringLiteral("generatingReportView"));
    auto* reportLayout = new QVBoxLayout(m_reportPage);
    reportLayout->addStretch(1);
    auto* reportText = new QLabel(L("GENERATINGNOTINITUNES"), m_reportPage);
    reportText->setAlignment(Qt::AlignCenter);
    reportLayout->addWidget(reportText);
    m_reportProgress = new QProgressBar(m_reportPage);
    m_reportProgress->setObjectName(QStringLiteral("generatingReportProgress"));
    m_reportProgress->setRange(0, 0);
    m_reportProgress->setMinimumWidth(360);
    m_reportProgress->setMaximumWidth(480);
    reportLayout->addWidget(m_reportProgress, 0, Qt::AlignHCenter);
    reportLayout->addStretch(2);
    m_right->addWidget(m_reportPage);
    m_browser->addWidget(m_right);
    m_browser->setStretchFactor(0, 0);
    m_browser->setStretchFactor(1, 1);
    m_browser->setSizes({220, 800});

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(6, 3, 6, 3);
    m_clearHistoryButton = new QPushButton(L("CLEARCOPYHISTORY"), m_content);
    m_clearHistoryButton->setObjectName(QStringLiteral("clearHistoryButton"));
    bottom->addWidget(m_clearHistoryButton);
    bottom->addStretch(1);
    m_trackCountLabel = new QLabel(m_content);
    m_trackCountLabel->setObjectName(QStringLiteral("trackCountLabel"));
    bottom->addWidget(m_trackCountLabel);
    bottom->addStretch(1);
    contentLayout->addLayout(bottom);
    m_container->addWidget(m_content);

    // The no-music page.
    m_noMusicPage = new QWidget;
    m_noMusicPage->setObjectName(QStringLiteral("noMusicFoundView"));
    m_noMusicPage->setAutoFillBackground(true);
    auto* noMusicLayout = new QVBoxLayout(m_noMusicPage);
    noMusicLayout->addStretch(1);
    auto* noMusicImage = new QLabel(m_noMusicPage);
    noMusicImage->setObjectName(QStringLiteral("noMusicFoundImageView"));
    noMusicImage->setPixmap(QIcon(QStringLiteral(":/music/noart.svg")).pixmap(96, 96));
    noMusicImage->setAlignment(Qt::AlignCenter);
    noMusicLayout->addWidget(noMusicImage);
    auto* noMusicText = new QLabel(L("NOMUSICFOUND"), m_noMusicPage);
    noMusicText->setAlignment(Qt::AlignCenter);
    noMusicLayout->addWidget(noMusicText);
    m_iCloudCheckBox = new QCheckBox(L("SHOWMUSICINICLOUD"), m_noMusicPage);
    m_iCloudCheckBox->setObjectName(QStringLiteral("checkboxShowMusicInICloud"));
    noMusicLayout->addWidget(m_iCloudCheckBox, 0, Qt::AlignHCenter);
    noMusicLayout->addStretch(2);
    m_container->addWidget(m_noMusicPage);

    m_saveLocationPanel = buildSaveLocationPanel();
    m_confirmClearHistory = buildConfirmClearHistory();

    connect(m_sourceList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { sourceSelectionChanged(); });
    connect(m_trackTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { trackSelectionChanged(); });
    connect(m_trackTable, &QTableView::doubleClicked, this, [this] {
        if (delegate())
            delegate()->OnMediaSelectionPlayRequested();
    });
    connect(m_trackTable, &QWidget::customContextMenuRequested, this,
            &QELMusicView::trackContextMenu);
    connect(m_sourceList, &QWidget::customContextMenuRequested, this,
            &QELMusicView::sourceContextMenu);
    connect(m_iCloudCheckBox, &QCheckBox::clicked, this,
            [this] { checkboxViewMusicInCloudClicked(); });
    connect(m_clearHistoryButton, &QPushButton::clicked, this,
            [this] { OnClearHistoryButtonClicked(); });
    connect(m_artworkModeButton, &QPushButton::clicked, this,
            [this] { artworkViewModeButtonClicked(); });
    connect(m_artworkHideShowButton, &QPushButton::clicked, this,
            [this] { OnHideShowArtworkButtonClicked(); });

    m_artworkAnimation = new QVariantAnimation(this);
    connect(m_artworkAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) {
                // The handle takes its share of the column while the panel shows.
                const int total = m_leftSplitter->height() - m_leftSplitter->handleWidth();
                const int artwork = std::clamp(value.toInt(), 0, total);
                m_leftSplitter->setSizes({total - artwork, artwork});
            });
    connect(m_artworkAnimation, &QVariantAnimation::finished, this, [this] {
        if (m_artworkAnimation->endValue().toInt() > 0)
            animationDidEnd();
        else
            m_artworkView->hide();
    });

    m_trackCountLabel->setText(MusicView::trackCountText(0, 0));
    setView(top);
    showNoMusicPage();
}

QWidget* QELMusicView::buildArtworkPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("artworkView"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_artworkBackground = new QFrame(panel);
    m_artworkBackground->setObjectName(QStringLiteral("artworkbackgroundBox"));
    m_artworkBackground->setAutoFillBackground(true);
    auto* inner = new QVBoxLayout(m_artworkBackground);
    inner->setContentsMargins(4, 4, 4, 4);
    m_artworkImage = new QLabel(m_artworkBackground);
    m_artworkImage->setObjectName(QStringLiteral("artworkImageView"));
    m_artworkImage->setAlignment(Qt::AlignCenter);
    m_artworkImage->setMinimumSize(1, 1);
    m_artworkImage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    inner->addWidget(m_artworkImage, 1);
    m_noICloudArtworkBox = new QLabel(L("ICLOUDARTWORKNOTICE"), m_artworkBackground);
    m_noICloudArtworkBox->setObjectName(QStringLiteral("noICloudArtworkBox"));
    m_noICloudArtworkBox->setWordWrap(true);
    m_noICloudArtworkBox->setAlignment(Qt::AlignCenter);
    m_noICloudArtworkBox->hide();
    inner->addWidget(m_noICloudArtworkBox, 1);
    layout->addWidget(m_artworkBackground);
    return panel;
}

QDialog* QELMusicView::buildSaveLocationPanel()
{
    auto* sheet = new QDialog(this);
    sheet->setObjectName(QStringLiteral("saveLocationPanel"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setWindowTitle(L("SELECTSAVEDESTINATION"));
    auto* layout = new QVBoxLayout(sheet);
    layout->addWidget(new QLabel(L("SAVELOCATIONTITLE"), sheet));
    auto* row = new QHBoxLayout;
    m_saveLocationField = new QLineEdit(sheet);
    m_saveLocationField->setObjectName(QStringLiteral("saveLocationViewTextField"));
    m_saveLocationField->setMinimumWidth(360);
    row->addWidget(m_saveLocationField, 1);
    auto* browse = new QPushButton(L("SAVELOCATIONBROWSE"), sheet);
    browse->setObjectName(QStringLiteral("saveLocationBrowseButton"));
    row->addWidget(browse);
    layout->addLayout(row);
    m_saveLocationShowAgain = new QCheckBox(L("SAVELOCATIONSHOWAGAIN"), sheet);
    m_saveLocationShowAgain->setObjectName(QStringLiteral("saveLocationShowMessageCheckBox"));
    layout->addWidget(m_saveLocationShowAgain);
    auto* buttons = new QDialogButtonBox(sheet);
    QPushButton* cont = buttons->addButton(L("SAVELOCATIONCONTINUE"), QDialogButtonBox::AcceptRole);
    cont->setObjectName(QStringLiteral("saveLocationContinueButton"));
    cont->setDefault(true);
    QPushButton* cancel = buttons->addButton(L("CANCEL"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("saveLocationCancelButton"));
    layout->addWidget(buttons);
    connect(browse, &QPushButton::clicked, this, [this] { saveLocationBrowseButtonClicked(); });
    connect(cont, &QPushButton::clicked, this, [this] { saveLocationContinueButtonClicked(); });
    connect(cancel, &QPushButton::clicked, this, [this] { saveLocationButtonCancelClicked(); });
    // Escape and the window's close button cancel too.
    connect(sheet, &QDialog::rejected, this, [this] { m_saveLocationPanel->hide(); });
    return sheet;
}

QDialog* QELMusicView::buildConfirmClearHistory()
{
    auto* sheet = new QDialog(this);
    sheet->setObjectName(QStringLiteral("confirmClearHistoryView"));
    sheet->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(sheet);
    auto* text = new QLabel(L("CONFIRMCLEARCOPYHISTORY"), sheet);
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(sheet);
    QPushButton* confirm = buttons->addButton(L("CLEARHISTORY"), QDialogButtonBox::AcceptRole);
    confirm->setObjectName(QStringLiteral("confirmClearHistoryButton"));
    QPushButton* cancel = buttons->addButton(L("CANCEL"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelClearHistoryButton"));
    cancel->setDefault(true);
    layout->addWidget(buttons);
    connect(confirm, &QPushButton::clicked, this, [this] { confirmClearHistoryButtonClicked(); });
    connect(cancel, &QPushButton::clicked, this, [this] { cancelClearHistoryButtonClicked(); });
    return sheet;
}

void QELMusicView::showNoMusicPage()
{
    m_iCloudCheckBox->setChecked(QELPreferences::showItemsInICloud());
    m_container->setCurrentWidget(m_noMusicPage);
}

void QELMusicView::showContent() { m_container->setCurrentWidget(m_content); }

bool QELMusicView::isShowingNoMusicPage() const
{
    return m_container->currentWidget() == m_noMusicPage;
}

bool QELMusicView::isShowingReportProgress() const
{
    return m_container->currentWidget() == m_content && m_right->currentWidget() == m_reportPage;
}

bool QELMusicView::showingICloudItems() const
{
    // A disk-mode iPod has no iCloud items to show.
    QELDeviceInterface* device = deviceInterface();
    const bool iOS = !device || device->connectedDeviceOperatingSystem() != 0;
    return iOS && QELPreferences::showItemsInICloud();
}

bool QELMusicView::isBusy() const
{
    return m_workers.runningCount() > 0 || m_dynamicRunning || m_pendingJobs > 0
        || m_report->isRunning() || m_sourceApplied < m_sourceGeneration
        || m_browseApplied < m_browseGeneration;
}

// --- Libraries ---

void QELMusicView::setLibraries(std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
                                std::shared_ptr<QELITunesLibrary> iTunesLibrary,
                                std::shared_ptr<QELDeviceImageLibraryReader> artworkLibrary)
{
    setDeviceMediaLibrary(std::move(mediaLibrary));
    setArtworkLibrary(std::move(artworkLibrary));
    setITunesLibrary(std::move(iTunesLibrary));
}

void QELMusicView::refreshAfterPreferencesChange()
{
    RefreshSourceList();
    RefreshBrowseTables();
    showArtworkPanel(QELPreferences::ShowArtwork());
}

void QELMusicView::setDeviceMediaLibrary(std::shared_ptr<QELDeviceMediaLibrary> library)
{
    m_mediaLibrary = std::move(library);
    if (!m_mediaLibrary) {
        showNoMusicPage();
        return;
    }
    RefreshSourceList();
}

void QELMusicView::setITunesLibrary(std::shared_ptr<QELITunesLibrary> index)
{
    m_iTunesLibrary = std::move(index);
    std::weak_ptr<QELITunesLibrary> weak = m_iTunesLibrary;
    // The index answers from memory and never waits for a read in progress.
    m_trackModel->setIndexAnswer([weak](const TrackDetail& track) {
        const std::shared_ptr<QELITunesLibrary> index = weak.lock();
        return index ? index->IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
                   track.trackName, track.artist, track.album, track.genre)
                     : 0;
    });
}

void QELMusicView::setArtworkLibrary(std::shared_ptr<QELDeviceImageLibraryReader> artwork)
{
    m_artworkLibrary = std::move(artwork);
    // The jobs embed the cover the panel shows.
    if (m_copyMusic)
        m_copyMusic->setDeviceImageLibrary(m_artworkLibrary.get());
    if (m_transferMusic)
        m_transferMusic->setDeviceImageLibrary(m_artworkLibrary.get());
    if (m_artworkLibrary) {
        m_artworkHideShowButton->show();
        showArtworkPanel(QELPreferences::ShowArtwork());
    } else {
        m_artworkHideShowButton->hide();
        m_artworkModeButton->hide();
        m_leftSplitter->setSizes({m_leftSplitter->height(), 0});
        m_artworkView->hide();
    }
    // The purchases' artwork table comes from the device: read on a worker.
    if (QELDeviceInterface* device = deviceInterface()) {
        ++m_pendingJobs;
        m_workers.start([this, device] {
            QELArtworkITunesPurchases::populateMusicLibraryWithPurchasedArtwork(device);
            QMetaObject::invokeMethod(
                this, [this] { --m_pendingJobs; }, Qt::QueuedConnection);
        });
    }
}

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
    if (m_artworkFollowsSelection && isArtworkPanelShown())
        _showArtworkForSelectedItems();
    updateTrackCountLabel();
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
            this,
            [this] {
                --m_pendingJobs;
                m_trackModel->statusChanged();
                _updateDynamicPlaylists();
            },
            Qt::QueuedConnection);
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
    if (delegate())
        delegate()->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
            title, args.itemDescription(), int(args.itemNumber()), int(args.itemCount()));
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
                    this,
                    [this] {
                        --m_pendingJobs;
                        m_trackModel->statusChanged();
                        _updateDynamicPlaylists();
                    },
                    Qt::QueuedConnection);
            });
        },
        Qt::QueuedConnection);
}

void QELMusicView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithTypeNotCopied(copyType, 0);
}

void QELMusicView::OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
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
        delegate()->OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
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

// --- Artwork panel ---

bool QELMusicView::isArtworkPanelShown() const { return m_artworkShown; }

void QELMusicView::showArtworkPanel(bool show)
{
    if (show && m_artworkLibrary)
        _showArtworkPanel();
    else
        _hideArtworkPanel();
}

void QELMusicView::OnHideShowArtworkButtonClicked()
{
    if (isArtworkPanelShown())
        _hideArtworkPanel();
    else
        _showArtworkPanel();
}

void QELMusicView::_hideArtworkPanel()
{
    clearArtwork();
    // The user's division of the column, restored at the next show.
    if (m_artworkShown && m_artworkAnimation->state() != QAbstractAnimation::Running
        && m_leftSplitter->sizes().value(0) > 0 && m_leftSplitter->sizes().value(1) > 0)
        m_splitterPosition = m_leftSplitter->sizes().value(0);
    m_artworkShown = false;
    m_artworkHideShowButton->setText(L("SHOWARTWORK"));
    m_artworkModeButton->hide();
    QELPreferences::setShowArtwork(false);
    animateArtworkTo(0);
}

void QELMusicView::_showArtworkPanel()
{
    clearArtwork();
    m_artworkShown = true;
    m_artworkView->show();
    const int total = m_leftSplitter->height() - m_leftSplitter->handleWidth();
    if (m_splitterPosition == 0) {
        // A square picture under the list at first: the column's width less a margin.
        const int square = std::max(120, m_leftSplitter->width() - 18);
        m_splitterPosition = total > square + 60 ? total - square : std::max(0, total - 200);
    }
    m_artworkHideShowButton->setText(L("HIDEARTWORK"));
    m_artworkModeButton->show();
    QELPreferences::setShowArtwork(true);
    animateArtworkTo(std::max(1, total - m_splitterPosition));
}

void QELMusicView::animateArtworkTo(int artworkHeight)
{
    m_artworkAnimation->stop();
    const int current = m_leftSplitter->sizes().value(1);
    if (!isVisible() || current == artworkHeight) {
        // Nothing on screen to animate: the end state at once.
        const int total = m_leftSplitter->height() - m_leftSplitter->handleWidth();
        m_leftSplitter->setSizes({std::max(0, total - artworkHeight), artworkHeight});
        m_artworkAnimation->setStartValue(artworkHeight);
        m_artworkAnimation->setEndValue(artworkHeight);
        if (artworkHeight > 0)
            animationDidEnd();
        else
            m_artworkView->hide();
        return;
    }
    m_artworkAnimation->setDuration(std::max(1, Clock::scaledMs(kArtworkAnimationMs)));
    m_artworkAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_artworkAnimation->setStartValue(current);
    m_artworkAnimation->setEndValue(artworkHeight);
    m_artworkAnimation->start();
}

void QELMusicView::animationDidEnd()
{
    updateArtworkModeButton();
    if (m_artworkFollowsSelection)
        _showArtworkForSelectedItems();
    else
        _showArtworkForCurrentlyPlayingItem();
}

void QELMusicView::updateArtworkModeButton()
{
    m_artworkModeButton->setText(m_artworkFollowsSelection ? L("SELECTED") : L("CURRENTLYPLAYING"));
}

void QELMusicView::artworkViewModeButtonClicked()
{
    m_artworkFollowsSelection = !m_artworkFollowsSelection;
    animationDidEnd();
}

void QELMusicView::_showArtworkForSelectedItems()
{
    const QList<int> rows = selectedTrackRows();
    if (!rows.isEmpty() && deviceInterface()) {
        _showArtworkForTrackDetail(m_trackModel->trackAt(rows.constFirst()));
        return;
    }
    const QModelIndexList sources = m_sourceList->selectionModel()->selectedIndexes();
    if (!sources.isEmpty()) {
        const PlaylistPtr playlist = playlistsOf(sources).value(0);
        if (playlist && !playlist->playlistImageRelativePath.isEmpty()) {
            _showArtworkForPlaylist(playlist);
            return;
        }
    }
    _showNoArtwork();
}

void QELMusicView::_showArtworkForCurrentlyPlayingItem()
{
    if (!m_playing || !m_mediaLibrary) {
        _showNoArtwork();
        return;
    }
    for (const TrackDetailPtr& track : m_trackModel->tracks()) {
        if (track->persistentID == m_playingID) {
            _showArtworkForTrackDetail(track);
            return;
        }
    }
    // The playing track is not listed: the store knows it.
    const quint64 generation = ++m_artworkGeneration;
    m_workers.start([this, generation, id = m_playingID, library = m_mediaLibrary,
                     device = deviceInterface(), artwork = m_artworkLibrary] {
        const TrackDetailPtr track = library->trackDetailForPersistentID(id);
        MusicArtwork::Result result;
        if (track)
            result = MusicArtwork::forTrack(*track, device, artwork.get());
        QMetaObject::invokeMethod(
            this,
            [this, generation, result] {
                if (generation == m_artworkGeneration)
                    showArtworkResult(result);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::_showArtworkForTrackDetail(const TrackDetailPtr& track)
{
    if (!track) {
        _showNoArtwork();
        return;
    }
    const quint64 generation = ++m_artworkGeneration;
    m_workers.start([this, generation, track, device = deviceInterface(),
                     artwork = m_artworkLibrary] {
        const MusicArtwork::Result result = MusicArtwork::forTrack(*track, device, artwork.get());
        QMetaObject::invokeMethod(
            this,
            [this, generation, result] {
                if (generation == m_artworkGeneration)
                    showArtworkResult(result);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::_showArtworkForPlaylist(const PlaylistPtr& playlist)
{
    if (!playlist || playlist->playlistImageRelativePath.isEmpty())
        return;
    const quint64 generation = ++m_artworkGeneration;
    m_workers.start([this, generation, playlist, device = deviceInterface()] {
        const MusicArtwork::Result result = MusicArtwork::forPlaylist(*playlist, device);
        QMetaObject::invokeMethod(
            this,
            [this, generation, result] {
                // A missing or broken picture leaves what the panel showed.
                if (generation == m_artworkGeneration
                    && result.source != MusicArtwork::Source::None)
                    showArtworkResult(result);
            },
            Qt::QueuedConnection);
    });
}

void QELMusicView::_showNoArtwork()
{
    ++m_artworkGeneration;
    MusicArtwork::Result none;
    none.background = Qt::white;
    showArtworkResult(none);
}

void QELMusicView::clearArtwork()
{
    m_artworkImage->clear();
    m_shownArtwork = MusicArtwork::Source::None;
}

void QELMusicView::showArtworkResult(const MusicArtwork::Result& result)
{
    m_shownArtwork = result.source;
    m_noICloudArtworkBox->setVisible(result.source == MusicArtwork::Source::ICloudNotice);
    m_artworkImage->setVisible(result.source != MusicArtwork::Source::ICloudNotice);
    const QSize area = m_artworkImage->size().isEmpty() ? QSize(200, 200) : m_artworkImage->size();
    if (result.source == MusicArtwork::Source::ICloudNotice) {
        m_artworkImage->clear();
    } else if (result.image.isNull()) {
        m_artworkImage->setPixmap(QIcon(QStringLiteral(":/music/noart.svg")).pixmap(area * 0.8));
    } else {
        m_artworkImage->setPixmap(QPixmap::fromImage(
            result.image.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    if (result.background.isValid()) {
        QPalette palette = m_artworkBackground->palette();
        palette.setColor(QPalette::Window, result.background);
        m_artworkBackground->setPalette(palette);
    }
}
