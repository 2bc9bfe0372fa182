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
#include <QShowEvent>
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
#include "QELMusicViewParts.h"
#include "QELPreferences.h"
#include "QELTransferMusic.h"

using namespace MusicView;
using namespace MusicViewParts;

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
    connect(m_trackModel, &QAbstractItemModel::modelReset, this, [this] { trackListReplaced(); });
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

void QELMusicView::categoryWillBeLeft()
{
    // A cover on its way belongs to the moment left too.
    ++m_artworkGeneration;
    clearArtwork();
    m_artworkAwaitsReturn = true;
}

void QELMusicView::showEvent(QShowEvent* event)
{
    QELDeviceCategoryContentView::showEvent(event);
    if (!m_artworkAwaitsReturn || event->spontaneous())
        return;
    m_artworkAwaitsReturn = false;
    if (isArtworkPanelShown())
        animationDidEnd();
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
