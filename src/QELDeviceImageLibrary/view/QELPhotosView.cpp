// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELPhotosView.h"

#include <algorithm>
#include <climits>

#include <QAudioOutput>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMediaPlayer>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "DesktopPicture.h"
#include "FolderPhotoLibraryHost.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "MediaPreviewCache.h"
#include "PhotoOriginals.h"
#include "PhotoQueue.h"
#include "QELAlbumOutlineModel.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELCopyPhotos.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELNSImageView.h"
#include "QELPhotoBrowserDelegate.h"
#include "QELPhotoBrowserModel.h"
#include "QELPhotoThumbnailLoader.h"
#include "QELTransferPhotos.h"
#include "QELTransferPhotosPhotos.h"
#include "ui_QELPhotosView.h"

namespace {

} // namespace

QELPhotosView::QELPhotosView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_ui(std::make_unique<Ui::QELPhotosView>())
{
    setObjectName(QStringLiteral("QELPhotosView"));
    auto* content = new QWidget;
    m_ui->setupUi(content);
    setView(content);

    m_outline = new QELAlbumOutlineModel(this);
    m_ui->albumOutlineView->setModel(m_outline);
    m_thumbnails = new QELPhotoThumbnailLoader(this);
    m_browser = new QELPhotoBrowserModel(m_thumbnails, this);
    m_ui->imageBrowserView->setModel(m_browser);
    m_ui->imageBrowserView->setItemDelegate(new QELPhotoBrowserDelegate(this));
    m_ui->imageBrowserView->setGridSize(
        QSize(QELPhotoBrowserDelegate::kCell, QELPhotoBrowserDelegate::kCell));
    m_ui->imageBrowserView->setSpacing(0);
    m_ui->displaySplitter->setStretchFactor(0, 0);
    m_ui->displaySplitter->setStretchFactor(1, 1);
    m_ui->displaySplitter->setSizes({210, 690});

    m_ui->buttonViewPhotos->setText(L("VIEWPHOTOS"));
    m_ui->copyToMacButton->setText(L("COPYTOMAC"));
    m_ui->setDesktopBackgroundButton->setText(L("SETDESKTOPPICTURE"));
    m_ui->viewerDesktopButton->setText(L("SETDESKTOPPICTURE"));
    m_ui->fullSizeImageViewBackButton->setText(L("BACK"));
    m_ui->noPhotosTextField->setText(L("NOPHOTOSFOUND"));
    m_ui->loadingPhotoLibraryProgressTextField->setText(L("READINGMAINPHOTOLIBRARY"));
    m_ui->setDesktopBackgroundButton->setEnabled(false);

    // The viewer: the picture, the movie view over it, the loading overlay.
    auto* area = static_cast<QGridLayout*>(m_ui->viewerArea->layout());
    m_imageView = new QELNSImageView(m_ui->viewerArea);
    m_imageView->setDelegate(this);
    area->addWidget(m_imageView, 0, 0);
    m_qtViewer = new QVideoWidget(m_ui->viewerArea);
    m_qtViewer->setObjectName(QStringLiteral("qtViewer"));
    m_qtViewer->hide();
    area->addWidget(m_qtViewer, 0, 0);
    // A video's own controls under it: play and pause, and where it is.
    m_videoControls = new QWidget(m_ui->viewerArea);
    m_videoControls->setObjectName(QStringLiteral("videoControls"));
    auto* controls = new QHBoxLayout(m_videoControls);
    controls->setContentsMargins(8, 4, 8, 4);
    m_videoPlayPause = new QToolButton(m_videoControls);
    m_videoPlayPause->setObjectName(QStringLiteral("videoPlayPauseButton"));
    m_videoPlayPause->setToolTip(L("PLAYPAUSE"));
    m_videoPosition = new QSlider(Qt::Horizontal, m_videoControls);
    m_videoPosition->setObjectName(QStringLiteral("videoPositionSlider"));
    controls->addWidget(m_videoPlayPause);
    controls->addWidget(m_videoPosition, 1);
    m_videoControls->hide();
    area->addWidget(m_videoControls, 1, 0);
    m_loadingVideoView = new QWidget(m_ui->viewerArea);
    m_loadingVideoView->setObjectName(QStringLiteral("loadingVideoView"));
    auto* overlay = new QVBoxLayout(m_loadingVideoView);
    auto* spinner = new QProgressBar(m_loadingVideoView);
    spinner->setObjectName(QStringLiteral("loadingVideoProgressIndicator"));
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(200);
    overlay->addStretch(1);
    overlay->addWidget(spinner, 0, Qt::AlignHCenter);
    overlay->addStretch(1);
    m_loadingVideoView->hide();
    area->addWidget(m_loadingVideoView, 0, 0);

    m_menuSetDesktopBackground = new QAction(L("SETDESKTOPPICTURE"), this);
    m_menuSetDesktopBackground->setObjectName(QStringLiteral("menuSetDesktopBackground"));
    m_menuCopyToIPhoto = new QAction(L("COPYTOIPHOTO"), this);
    m_menuCopyToIPhoto->setObjectName(QStringLiteral("menuCopyToIPhoto"));
    m_ui->buttonCopyToIPhoto->setText(L("COPYTOIPHOTO"));
    m_ui->buttonCopyToIPhotoMain->setText(L("COPYTOIPHOTO"));
    // The library's kind decides the transfer job and the buttons' titles.
    setPhotoLibraryHost(std::make_shared<FolderPhotoLibraryHost>());
    setDesktopPictureAvailable(false);

    connect(m_ui->albumOutlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QELPhotosView::outlineViewSelectionDidChange);
    connect(m_ui->imageBrowserView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QELPhotosView::imageBrowserSelectionDidChange);
    connect(
        m_ui->imageBrowserView, &QListView::doubleClicked, this,
        [this](const QModelIndex& index) { imageBrowserCellWasDoubleClickedAtIndex(index.row()); });
    connect(m_ui->albumOutlineView, &QWidget::customContextMenuRequested, this,
            &QELPhotosView::showAlbumMenu);
    connect(m_ui->imageBrowserView, &QWidget::customContextMenuRequested, this,
            &QELPhotosView::showBrowserMenu);
    connect(m_ui->buttonViewPhotos, &QPushButton::clicked, this,
            &QELPhotosView::buttonViewPhotosClicked);
    connect(m_ui->copyToMacButton, &QPushButton::clicked, this,
            &QELPhotosView::copyToMacButtonClicked);
    connect(m_ui->buttonCopyToIPhotoMain, &QPushButton::clicked, this,
            &QELPhotosView::copyToIPhotoButtonClicked);
    connect(m_ui->buttonCopyToIPhoto, &QPushButton::clicked, this,
            &QELPhotosView::copyToIPhotoButtonClicked);
    connect(m_menuCopyToIPhoto, &QAction::triggered, this,
            &QELPhotosView::copyToIPhotoButtonClicked);
    connect(m_ui->setDesktopBackgroundButton, &QPushButton::clicked, this,
            &QELPhotosView::setDesktopBackgroundButtonClicked);
    connect(m_ui->viewerDesktopButton, &QPushButton::clicked, this,
            &QELPhotosView::setDesktopBackgroundButtonClicked);
    connect(m_menuSetDesktopBackground, &QAction::triggered, this,
            &QELPhotosView::setDesktopBackgroundButtonClicked);
    // The arrows page through the viewer, Esc (through the window) leaves it.
    for (const auto& [key, step] : {std::pair{Qt::Key_Left, -1}, std::pair{Qt::Key_Right, 1}}) {
        auto* arrow = new QShortcut(QKeySequence(key), m_ui->photoViewerView);
        arrow->setContext(Qt::WidgetWithChildrenShortcut);
        connect(arrow, &QShortcut::activated, this, [this, step = step] {
            if (step < 0)
                buttonFullSizeViewPreviousClicked();
            else
                buttonFullSizeViewNextClicked();
        });
    }
    connect(m_ui->fullSizeImageViewBackButton, &QPushButton::clicked, this,
            &QELPhotosView::buttonFullSizeViewBackClicked);
    connect(m_ui->buttonFullSizeViewPrevious, &QToolButton::clicked, this,
            &QELPhotosView::buttonFullSizeViewPreviousClicked);
    connect(m_ui->buttonFullSizeViewNext, &QToolButton::clicked, this,
            &QELPhotosView::buttonFullSizeViewNextClicked);

    showPage(m_ui->loadingPhotoLibraryView);
    // Whether the session can take a desktop picture is a D-Bus question:
    // asked on a worker, the buttons stay hidden until it says yes.
    m_workers.start([this] {
        const bool available = DesktopPicture::portalAvailable();
        QMetaObject::invokeMethod(
            this, [this, available] { setDesktopPictureAvailable(available); },
            Qt::QueuedConnection);
    });
}

QELPhotosView::~QELPhotosView()
{
    if (m_copyPhotos)
        m_copyPhotos->cancelCopy();
    if (m_transferPhotos)
        m_transferPhotos->cancelCopy();
    m_workers.stopAndJoinAll();
    // The player goes before the video widget it draws into.
    if (m_player) {
        m_player->stop();
        m_player->setVideoOutput(nullptr);
        removeVideoPreview();
        delete m_player;
        m_player = nullptr;
    }
    removeVideoPreview();
    std::lock_guard lock(m_previewMutex);
    for (const QString& path : std::as_const(m_pendingPreviews))
        QFile::remove(path);
}

// --- Pages ---

void QELPhotosView::showPage(QWidget* page) { m_ui->photosViewContainer->setCurrentWidget(page); }

QString QELPhotosView::shownPage() const
{
    QWidget* page = m_ui->photosViewContainer->currentWidget();
    if (page == m_ui->photosDisplayView)
        return QStringLiteral("display");
    if (page == m_ui->noPhotosAvailableView)
        return QStringLiteral("noPhotos");
    if (page == m_ui->photoViewerView)
        return QStringLiteral("viewer");
    return QStringLiteral("loading");
}

QTreeView* QELPhotosView::albumOutlineView() const { return m_ui->albumOutlineView; }
QListView* QELPhotosView::imageBrowserView() const { return m_ui->imageBrowserView; }
QLabel* QELPhotosView::photoCountTextField() const { return m_ui->photoCountTextField; }
QLabel* QELPhotosView::fullSizeImageViewCounterTextField() const
{
    return m_ui->fullSizeImageViewCounterTextField;
}
QToolButton* QELPhotosView::buttonFullSizeViewPrevious() const
{
    return m_ui->buttonFullSizeViewPrevious;
}
QToolButton* QELPhotosView::buttonFullSizeViewNext() const { return m_ui->buttonFullSizeViewNext; }
QPushButton* QELPhotosView::fullSizeImageViewBackButton() const
{
    return m_ui->fullSizeImageViewBackButton;
}
QPushButton* QELPhotosView::setDesktopBackgroundButton() const
{
    return m_ui->setDesktopBackgroundButton;
}
QPushButton* QELPhotosView::buttonCopyToIPhoto() const { return m_ui->buttonCopyToIPhoto; }
QPushButton* QELPhotosView::buttonCopyToIPhotoMain() const { return m_ui->buttonCopyToIPhotoMain; }
QLabel* QELPhotosView::noPhotosTextField() const { return m_ui->noPhotosTextField; }

bool QELPhotosView::isLoadingVideo() const { return m_loadingVideoView->isVisible(); }

QString QELPhotosView::countText(qint64 count) { return Ln("XPHOTOS", count); }

QString QELPhotosView::countText(qint64 photos, qint64 videos)
{
    if (videos == 0)
        return Ln("XPHOTOS", photos);
    if (photos == 0)
        return Ln("XVIDEOS", videos);
    return Ln("XPHOTOS", photos) + QStringLiteral(", ") + Ln("XVIDEOS", videos);
}

// --- Load ---

void QELPhotosView::loadPhotos()
{
    showPage(m_ui->loadingPhotoLibraryView);
    m_ui->loadingPhotoLibraryProgressTextField->setText(L("READINGMAINPHOTOLIBRARY"));
    m_ui->loadingPhotoLibraryProgressIndicator->setRange(0, 0);
    const quint64 generation = ++m_loadGeneration;
    QELDeviceInterface* device = deviceInterface();
    PhotoLibraryLoad::BinaryReaderFactory binary = m_binaryReader;
    m_workers.start([this, generation, device, binary] {
        auto result = std::make_shared<PhotoLibraryLoad::Result>(
            PhotoLibraryLoad::load(device, this, binary));
        QMetaObject::invokeMethod(
            this, [this, generation, result] { _workerLibraryLoaded(generation, result); },
            Qt::QueuedConnection);
    });
}

void QELPhotosView::OnDeviceImageLibraryDatabaseReadComplete(
    const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments)
{
    (void)arguments;
}

void QELPhotosView::OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(
    const QString& text, qint64 counter, qint64 total)
{
    const quint64 generation = m_loadGeneration.load();
    QMetaObject::invokeMethod(
        this,
        [this, generation, text, counter, total] {
            if (generation != m_loadGeneration.load())
                return;
            m_ui->loadingPhotoLibraryProgressTextField->setText(text);
            QProgressBar* bar = m_ui->loadingPhotoLibraryProgressIndicator;
            if (counter >= 0 && total > 0) {
                bar->setRange(0, int(std::min<qint64>(total, INT_MAX)));
                bar->setValue(int(std::min(counter, total)));
            } else {
                bar->setRange(0, 0);
            }
        },
        Qt::QueuedConnection);
}

void QELPhotosView::_workerLibraryLoaded(quint64 generation,
                                         const std::shared_ptr<PhotoLibraryLoad::Result>& result)
{
    if (generation != m_loadGeneration.load())
        return;
    if (result->reader) {
        m_reader = result->reader;
        m_albumImages = result->albumImages;
        m_thumbnails->setReader(m_reader);
        m_outline->setOutline(result->headings, result->children);
    }
    QTreeView* outline = m_ui->albumOutlineView;
    outline->expandAll();
    // The first album of the library.
    const QModelIndex first = m_outline->index(0, 0, m_outline->index(0, 0));
    if (first.isValid())
        outline->selectionModel()->select(first, QItemSelectionModel::Select);
    else
        outlineViewSelectionDidChange();
    if (result->reader && result->hasImages) {
        showPage(m_ui->photosDisplayView);
        return;
    }
    m_ui->noPhotosTextField->setText(result->error.isEmpty() ? L("NOPHOTOSFOUND")
                                                             : L("CATEGORYCOULDNOTBEREAD"));
    showPage(m_ui->noPhotosAvailableView);
}

// --- Browser ---

void QELPhotosView::outlineViewSelectionDidChange()
{
    const QModelIndexList selected = m_ui->albumOutlineView->selectionModel()->selectedIndexes();
    // The rows in outline order, whatever order they were picked in.
    QList<QPair<QPair<int, int>, const AlbumRecord*>> rows;
    for (const QModelIndex& index : selected)
        if (const AlbumRecord* album = m_outline->albumAt(index))
            rows.append({{index.parent().row(), index.row()}, album});
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    // No album selected shows nothing, and leaves nothing to view or copy
    // from the albums shown before.
    m_assets.clear();
    m_albumOf.clear();
    for (const auto& row : rows) {
        if (!row.second->id || !m_reader)
            continue;
        // The albums as big as the library were listed by the load's worker.
        const auto cached = m_albumImages.constFind(*row.second->id);
        const QList<ImageDetailPtr> images = cached != m_albumImages.constEnd()
            ? *cached
            : m_reader->getAssetsForAlbumWithId(row.second->id);
        const QString folder = PhotoLibraryLoad::isWholeLibraryAlbum(*m_reader, *row.second)
            ? QString()
            : row.second->title;
        for (const ImageDetailPtr& image : images)
            if (!m_albumOf.contains(image.get()))
                m_albumOf.insert(image.get(), folder);
        m_assets += images;
    }
    m_browser->setImages(m_assets, m_reader);
    const qint64 videos =
        std::count_if(m_assets.cbegin(), m_assets.cend(), [](const ImageDetailPtr& asset) {
            return asset && PhotoOriginals::isVideo(*asset);
        });
    m_ui->photoCountTextField->setText(countText(m_assets.size() - videos, videos));
    if (m_browser->rowCount() > 1)
        m_ui->imageBrowserView->scrollTo(m_browser->index(1));
    m_ui->setDesktopBackgroundButton->setEnabled(false);
}

void QELPhotosView::imageBrowserSelectionDidChange()
{
    m_ui->setDesktopBackgroundButton->setEnabled(
        !m_ui->imageBrowserView->selectionModel()->selectedIndexes().isEmpty());
}

void QELPhotosView::_determineImageSelection()
{
    m_selection.clear();
    QModelIndexList selected = m_ui->imageBrowserView->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        m_selection = m_assets;
        return;
    }
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        if (index.row() < m_assets.size())
            m_selection.append(m_assets[index.row()]);
}

// --- Viewer ---

void QELPhotosView::buttonViewPhotosClicked()
{
    _determineImageSelection();
    if (m_selection.isEmpty())
        return;
    m_currentSelectionIndex = 0;
    _showFullSizeImageForImageAt(0);
}

void QELPhotosView::buttonFullSizeViewPreviousClicked()
{
    if (m_currentSelectionIndex > 0)
        _showFullSizeImageForImageAt(--m_currentSelectionIndex);
}

void QELPhotosView::buttonFullSizeViewNextClicked()
{
    if (m_currentSelectionIndex + 1 < m_selection.size())
        _showFullSizeImageForImageAt(++m_currentSelectionIndex);
}

void QELPhotosView::imageBrowserCellWasDoubleClickedAtIndex(int index)
{
    if (index < 0 || index >= m_browser->rowCount())
        return;
    _determineImageSelection();
    // One photo picked (a double click selects it): the viewer pages through
    // the whole album shown, from that photo.
    if (m_ui->imageBrowserView->selectionModel()->selectedIndexes().size() <= 1) {
        m_selection = m_assets;
        m_currentSelectionIndex = std::clamp<qint64>(index, 0, m_selection.size() - 1);
        _showFullSizeImageForImageAt(m_currentSelectionIndex);
        return;
    }
    const ImageDetailPtr clicked = m_assets.value(index);
    // The double-clicked cell's place in the selection: the same image may
    // be listed twice, so its row decides, not the image.
    qint64 position = 0;
    const QModelIndexList selected = m_ui->imageBrowserView->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        position = index;
    } else {
        for (const QModelIndex& row : selected)
            if (row.row() < index)
                ++position;
        if (!m_ui->imageBrowserView->selectionModel()->isSelected(m_browser->index(index)))
            position = std::max<qint64>(0, m_selection.indexOf(clicked));
    }
    m_currentSelectionIndex = std::clamp<qint64>(position, 0, m_selection.size() - 1);
    _showFullSizeImageForImageAt(m_currentSelectionIndex);
}

void QELPhotosView::_showFullSizeImageForImageAt(qint64 index)
{
    const qint64 count = m_selection.size();
    m_ui->fullSizeImageViewCounterTextField->setText(
        L("XOFY").arg(quint64(index + 1)).arg(quint64(count)));
    m_ui->buttonFullSizeViewPrevious->setEnabled(index != 0);
    m_ui->buttonFullSizeViewNext->setEnabled(index < count - 1);
    const ImageDetailPtr detail = m_selection.value(index);
    if (!detail)
        return;
    for (const QModelIndex& row : m_ui->albumOutlineView->selectionModel()->selectedIndexes()) {
        if (const AlbumRecord* album = m_outline->albumAt(row)) {
            m_ui->fullSizeImageViewBackButton->setText(album->title);
            break;
        }
    }
    showPage(m_ui->photoViewerView);
    if (m_player)
        m_player->stop();
    m_qtViewer->hide();
    m_videoControls->hide();
    m_imageView->show();
    const quint64 generation = ++m_viewerGeneration;
    if (PhotoOriginals::isVideo(*detail)) {
        m_loadingVideoView->show();
        m_loadingVideoView->raise();
        _loadMovie(detail);
        return;
    }
    m_loadingVideoView->hide();
    // The thumbnail stands in until the picture has been read.
    const QImage thumbnail = m_thumbnails->thumbnail(detail);
    if (!thumbnail.isNull())
        m_imageView->setImage(thumbnail);
    std::shared_ptr<QELDeviceImageLibraryReader> reader = m_reader;
    m_workers.start([this, generation, detail, reader] {
        QImage picture = reader ? reader->getFullImageFromDetail(detail.get()) : QImage();
        QMetaObject::invokeMethod(
            this,
            [this, generation, picture = std::move(picture)] {
                if (generation == m_viewerGeneration && !picture.isNull())
                    m_imageView->setImage(picture);
            },
            Qt::QueuedConnection);
    });
}

void QELPhotosView::_loadMovie(const ImageDetailPtr& detail)
{
    const quint64 generation = m_viewerGeneration;
    QELDeviceInterface* device = deviceInterface();
    const QString devicePath = detail->fullImagePath;
    m_workers.start([this, generation, device, devicePath] {
        QString path = mediaPreviewCachePath(devicePath, QStringLiteral("cameracache"));
        if (!path.isEmpty()) {
            QFile::remove(path);
            // Known before it exists: a view that goes before the copy is
            // handed over still removes it.
            std::lock_guard lock(m_previewMutex);
            m_pendingPreviews.append(path);
        }
        if (!path.isEmpty()
            && (!device || !device->copyFileFromDeviceAtToLocalPath(devicePath, path)))
            path.clear();
        QMetaObject::invokeMethod(
            this, [this, generation, path] { _loadMovieWorkerComplete(generation, path); },
            Qt::QueuedConnection);
    });
}

void QELPhotosView::_loadMovieWorkerComplete(quint64 generation, const QString& path)
{
    {
        std::lock_guard lock(m_previewMutex);
        m_pendingPreviews.removeAll(path);
    }
    if (generation != m_viewerGeneration) {
        // The viewer moved on while the copy ran.
        if (!path.isEmpty())
            QFile::remove(path);
        return;
    }
    m_loadingVideoView->hide();
    removeVideoPreview();
    if (path.isEmpty())
        return;
    m_videoPath = path;
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_player->setAudioOutput(new QAudioOutput(m_player));
        m_player->setVideoOutput(m_qtViewer);
        connect(m_videoPlayPause, &QToolButton::clicked, this, [this] {
            if (m_player->playbackState() == QMediaPlayer::PlayingState)
                m_player->pause();
            else
                m_player->play();
        });
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    m_videoPlayPause->setIcon(style()->standardIcon(
                        state == QMediaPlayer::PlayingState ? QStyle::SP_MediaPause
                                                            : QStyle::SP_MediaPlay));
                });
        connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
            m_videoPosition->setRange(0, int(std::min<qint64>(ms, INT_MAX)));
        });
        connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
            if (!m_videoPosition->isSliderDown())
                m_videoPosition->setValue(int(std::min<qint64>(ms, INT_MAX)));
        });
        connect(m_videoPosition, &QSlider::sliderMoved, this,
                [this](int ms) { m_player->setPosition(ms); });
    }
    m_player->setSource(QUrl::fromLocalFile(path));
    m_imageView->hide();
    m_qtViewer->show();
    m_videoPosition->setValue(0);
    m_videoPlayPause->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    m_videoControls->show();
    m_player->play();
}

void QELPhotosView::removeVideoPreview()
{
    if (m_videoPath.isEmpty())
        return;
    if (m_player)
        m_player->setSource(QUrl());
    QFile::remove(m_videoPath);
    m_videoPath.clear();
}

void QELPhotosView::buttonFullSizeViewBackClicked()
{
    ++m_viewerGeneration;
    showPage(m_ui->photosDisplayView);
    m_loadingVideoView->hide();
    if (m_player)
        m_player->stop();
    removeVideoPreview();
    m_qtViewer->hide();
    m_videoControls->hide();
    m_imageView->show();
    m_selection.clear();
}

void QELPhotosView::OnImageViewDoubleClicked() { buttonFullSizeViewBackClicked(); }

bool QELPhotosView::escapePressed()
{
    if (shownPage() != QLatin1String("viewer"))
        return false;
    buttonFullSizeViewBackClicked();
    return true;
}

// --- Desktop picture ---

void QELPhotosView::setDesktopPictureAvailable(bool available)
{
    m_desktopAvailable = available;
    m_ui->setDesktopBackgroundButton->setVisible(available);
    m_ui->viewerDesktopButton->setVisible(available);
    m_menuSetDesktopBackground->setVisible(available);
}

ImageDetailPtr QELPhotosView::desktopPictureImage() const
{
    if (shownPage() == QLatin1String("viewer"))
        return m_selection.value(m_currentSelectionIndex);
    QModelIndexList selected = m_ui->imageBrowserView->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return nullptr;
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    return m_assets.value(selected.first().row());
}

void QELPhotosView::setDesktopBackgroundButtonClicked()
{
    const ImageDetailPtr detail = desktopPictureImage();
    if (!detail || !m_reader || !m_desktopAvailable)
        return;
    std::shared_ptr<QELDeviceImageLibraryReader> reader = m_reader;
    m_workers.start([detail, reader] {
        QString error;
        const QString path = DesktopPicture::writePicture(
            reader->getFullImageFromDetail(detail.get()), detail->imageID.value_or(0), &error);
        if (path.isEmpty() || !DesktopPicture::setWallpaper(path, &error))
            qCWarning(lcOrvane) << "the desktop picture was not set:" << error;
    });
}

// --- Copy and transfer ---

QList<ImageDetailPtr> QELPhotosView::queueForJob() const
{
    if (shownPage() == QLatin1String("viewer")) {
        const ImageDetailPtr shown = m_selection.value(m_currentSelectionIndex);
        return shown ? QList<ImageDetailPtr>{shown} : QList<ImageDetailPtr>{};
    }
    return m_selection;
}

void QELPhotosView::RequestCopy()
{
    if (!m_copyPhotos) {
        m_copyPhotos = std::make_unique<QELCopyPhotos>();
        m_copyPhotos->setDelegate(this);
        m_copyPhotos->setDeviceInteface(deviceInterface());
    }
    m_copyPhotos->setImageLibraryReader(m_reader);
    const QString folder = chooseCopyFolder();
    // In the viewer the selection is the viewer's own.
    if (shownPage() != QLatin1String("viewer"))
        _determineImageSelection();
    if (folder.isEmpty())
        return;
    m_copyPhotos->setBaseCopyPath(folder);
    m_copyPhotos->cancelCopy();
    m_copyPhotos->setItemQueue(PhotoQueue::itemsOf(queueForJob(), m_albumOf));
    m_copyPhotos->startCopy();
}

void QELPhotosView::RequestCancelCopy()
{
    if (m_copyPhotos)
        m_copyPhotos->cancelCopy();
    if (m_transferPhotos)
        m_transferPhotos->cancelCopy();
}

std::shared_ptr<PhotoLibraryHost> QELPhotosView::photoLibraryHost()
{
    if (!m_host)
        setPhotoLibraryHost(std::make_shared<FolderPhotoLibraryHost>());
    return m_host;
}

void QELPhotosView::setPhotoLibraryHost(std::shared_ptr<PhotoLibraryHost> host)
{
    m_host = std::move(host);
    m_isUsingPhotosApp = m_host && m_host->kind() == PhotoLibraryHost::Kind::KeepsOriginals;
    updateTransferTitles();
}

void QELPhotosView::updateTransferTitles()
{
    const QString title = m_isUsingPhotosApp ? L("COPYTOPHOTOS") : L("COPYTOIPHOTO");
    m_ui->buttonCopyToIPhoto->setText(title);
    m_ui->buttonCopyToIPhotoMain->setText(title);
    m_menuCopyToIPhoto->setText(title);
    const bool available = m_host && m_host->available();
    m_ui->buttonCopyToIPhoto->setVisible(available);
    m_ui->buttonCopyToIPhotoMain->setVisible(available);
    m_menuCopyToIPhoto->setVisible(available);
}

void QELPhotosView::copyToIPhotoButtonClicked()
{
    if (!m_transferPhotos) {
        std::shared_ptr<PhotoLibraryHost> host = photoLibraryHost();
        // The kind of job is fixed for the life of the view.
        if (m_isUsingPhotosApp)
            m_transferPhotos = std::make_unique<QELTransferPhotosPhotos>();
        else
            m_transferPhotos = std::make_unique<QELTransferPhotos>();
        m_transferPhotos->setPhotoLibraryHost(host);
        m_transferPhotos->setDeviceInteface(deviceInterface());
        m_transferPhotos->setPhotoTransferDelegate(this);
        m_transferPhotos->setDelegate(this);
    }
    m_transferPhotos->setImageLibraryReader(m_reader);
    if (shownPage() != QLatin1String("viewer"))
        _determineImageSelection();
    m_transferPhotos->cancelCopy();
    forgetCopyFolder();
    m_transferPhotos->setItemQueue(PhotoQueue::itemsOf(queueForJob(), m_albumOf));
    m_transferPhotos->startCopy();
}

void QELPhotosView::menuViewCollectionClicked()
{
    m_ui->imageBrowserView->clearSelection();
    buttonViewPhotosClicked();
}

void QELPhotosView::menuCopyCollectionClicked()
{
    m_ui->imageBrowserView->clearSelection();
    RequestCopy();
}

void QELPhotosView::menuTransferCollectionClicked()
{
    m_ui->imageBrowserView->clearSelection();
    copyToIPhotoButtonClicked();
}

void QELPhotosView::showAlbumMenu(const QPoint& at)
{
    if (!m_outline->albumAt(m_ui->albumOutlineView->indexAt(at)))
        return;
    QMenu menu(this);
    menu.addAction(L("VIEWCOLLECTION"), this, &QELPhotosView::menuViewCollectionClicked);
    menu.addAction(L("COPYCOLLECTION"), this, &QELPhotosView::menuCopyCollectionClicked);
    if (m_host && m_host->available())
        menu.addAction(L("TRANSFERCOLLECTION"), this,
                       &QELPhotosView::menuTransferCollectionClicked);
    menu.exec(m_ui->albumOutlineView->viewport()->mapToGlobal(at));
}

void QELPhotosView::showBrowserMenu(const QPoint& at)
{
    QMenu menu(this);
    m_menuSetDesktopBackground->setEnabled(
        !m_ui->imageBrowserView->selectionModel()->selectedIndexes().isEmpty());
    menu.addAction(m_menuSetDesktopBackground);
    menu.addAction(m_menuCopyToIPhoto);
    menu.addAction(L("COPYTOMAC"), this, &QELPhotosView::copyToMacButtonClicked);
    menu.exec(m_ui->imageBrowserView->viewport()->mapToGlobal(at));
}

// --- Job events ---

void QELPhotosView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGPHOTOS"), args);
}

void QELPhotosView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELPhotosView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELPhotosView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLPHOTOSCOPIED"), lastCopyFolder());
}

void QELPhotosView::OnImportingToIPhotosStarted()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (delegate())
                delegate()->OnInformationStatusEventBottomLine(L("PLEASEWAIT"),
                                                               L("IMPORTINGPHOTOS"));
        },
        Qt::QueuedConnection);
}
