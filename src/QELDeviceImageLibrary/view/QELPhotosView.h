// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QHash>
#include <QImage>
#include <QList>
#include <QStringList>

#include "ImageDetail.h"
#include "PhotoLibraryLoad.h"
#include "QELCopyDelegate.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceImageLibraryEventProtocol.h"
#include "QELNSImageViewDelegate.h"
#include "QELTransferPhotosDelegate.h"
#include "WorkerThreads.h"

namespace Ui {
class QELPhotosView;
}
class PhotoLibraryHost;
class QELAlbumOutlineModel;
class QELCopyPhotos;
class QELDeviceImageLibraryReader;
class QELNSImageView;
class QELPhotoBrowserModel;
class QELPhotoThumbnailLoader;
class QELTransferPhotos;
class QListView;
class QMediaPlayer;
class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeView;
class QSlider;
class QVideoWidget;
class QWidget;

// The photos category: the device's albums in an outline, the images of
// the selected albums as thumbnails, a full-size viewer that also plays
// videos, and the actions on the selection: copy to a folder, add to the
// computer's photo library, set as desktop picture. The library is read,
// thumbnails and pictures are loaded and videos copied on workers; the
// window never waits for the device. Main thread.
class QELPhotosView : public QELDeviceCategoryContentView,
                      public QELCopyDelegate,
                      public QELTransferPhotosDelegate,
                      public QELNSImageViewDelegate,
                      public QELDeviceImageLibraryEventProtocol {
    Q_OBJECT
public:
    explicit QELPhotosView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELPhotosView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Transfer | Search; }
    // Esc leaves the photo viewer.
    bool escapePressed() override;

    // Reads the device's photo library on a worker; the loading page shows
    // until it is read.
    void loadPhotos();
    void RequestCopy() override;
    // Cancels the copy and the transfer.
    void RequestCancelCopy() override;
    // Transfers start from the view's own buttons.
    void RequestTransfer() override {}
    void search(const QString& text) override { (void)text; }

    void buttonViewPhotosClicked();
    void buttonFullSizeViewPreviousClicked();
    void buttonFullSizeViewNextClicked();
    void buttonFullSizeViewBackClicked();
    void setDesktopBackgroundButtonClicked();
    void copyToMacButtonClicked() { RequestCopy(); }
    void copyToIPhotoButtonClicked();
    void menuViewCollectionClicked();
    void menuCopyCollectionClicked();
    void menuTransferCollectionClicked();
    void imageBrowserCellWasDoubleClickedAtIndex(int index);

    // Replaced by tests: the folder panel, the photo library, the reader of
    // the binary photo database, whether the desktop portal is there.
    // Before the first transfer; its kind decides the transfer job.
    void setPhotoLibraryHost(std::shared_ptr<PhotoLibraryHost> host);
    void setBinaryReaderFactory(PhotoLibraryLoad::BinaryReaderFactory factory)
    {
        m_binaryReader = std::move(factory);
    }
    void setDesktopPictureAvailable(bool available);

    // --- What tests look at. ---
    // "loading", "display", "noPhotos" or "viewer".
    QString shownPage() const;
    std::shared_ptr<QELDeviceImageLibraryReader> photoLibraryReader() const { return m_reader; }
    const QList<ImageDetailPtr>& assetsToDisplayInBrowser() const { return m_assets; }
    const QList<ImageDetailPtr>& imageSelectionDetails() const { return m_selection; }
    qint64 currentSelectionIndex() const { return m_currentSelectionIndex; }
    bool isUsingPhotosApp() const { return m_isUsingPhotosApp; }
    QTreeView* albumOutlineView() const;
    QListView* imageBrowserView() const;
    QELAlbumOutlineModel* outlineModel() const { return m_outline; }
    QELPhotoBrowserModel* browserModel() const { return m_browser; }
    QELPhotoThumbnailLoader* thumbnailLoader() const { return m_thumbnails; }
    QELNSImageView* fullSizeImageView() const { return m_imageView; }
    QLabel* photoCountTextField() const;
    QLabel* fullSizeImageViewCounterTextField() const;
    QToolButton* buttonFullSizeViewPrevious() const;
    QToolButton* buttonFullSizeViewNext() const;
    QPushButton* fullSizeImageViewBackButton() const;
    QPushButton* setDesktopBackgroundButton() const;
    QPushButton* buttonCopyToIPhoto() const;
    QPushButton* buttonCopyToIPhotoMain() const;
    QLabel* noPhotosTextField() const;
    QELCopyPhotos* copyJob() const { return m_copyPhotos.get(); }
    QELTransferPhotos* transferJob() const { return m_transferPhotos.get(); }
    // The preview copy of the video shown; empty when none.
    QString currentVideoPath() const { return m_videoPath; }
    bool isLoadingVideo() const;
    // The count line of photos alone: "1 photo", "3 photos".
    static QString countText(qint64 count);
    // The count line of the albums shown: photos and videos each by its word.
    static QString countText(qint64 photos, qint64 videos);

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;
    // QELTransferPhotosDelegate, from the job's thread.
    void OnImportingToIPhotosStarted() override;
    // QELNSImageViewDelegate
    void OnImageViewDoubleClicked() override;
    // QELDeviceImageLibraryEventProtocol, from the load's worker.
    void OnDeviceImageLibraryDatabaseReadComplete(
        const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments) override;
    void OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(const QString& text,
                                                                       qint64 counter,
                                                                       qint64 total) override;

protected:
    QStandardPaths::StandardLocation copyFolderLocation() const override
    {
        return QStandardPaths::PicturesLocation;
    }

private:
    void _workerLibraryLoaded(quint64 generation,
                              const std::shared_ptr<PhotoLibraryLoad::Result>& result);
    void outlineViewSelectionDidChange();
    void imageBrowserSelectionDidChange();
    void _determineImageSelection();
    void _showFullSizeImageForImageAt(qint64 index);
    void _loadMovie(const ImageDetailPtr& detail);
    void _loadMovieWorkerComplete(quint64 generation, const QString& path);
    void removeVideoPreview();
    QList<ImageDetailPtr> queueForJob() const;
    void showPage(QWidget* page);
    void updateTransferTitles();
    void showAlbumMenu(const QPoint& at);
    void showBrowserMenu(const QPoint& at);
    std::shared_ptr<PhotoLibraryHost> photoLibraryHost();
    ImageDetailPtr desktopPictureImage() const;

    std::unique_ptr<Ui::QELPhotosView> m_ui;
    QELAlbumOutlineModel* m_outline = nullptr;
    QELPhotoThumbnailLoader* m_thumbnails = nullptr;
    QELPhotoBrowserModel* m_browser = nullptr;
    QELNSImageView* m_imageView = nullptr;
    QVideoWidget* m_qtViewer = nullptr;
    QWidget* m_videoControls = nullptr;
    QToolButton* m_videoPlayPause = nullptr;
    QSlider* m_videoPosition = nullptr;
    QMediaPlayer* m_player = nullptr;
    QWidget* m_loadingVideoView = nullptr;
    QAction* m_menuSetDesktopBackground = nullptr;
    QAction* m_menuCopyToIPhoto = nullptr;

    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
    QList<ImageDetailPtr> m_assets;
    // The album folder each shown image is copied into: the album it is
    // shown from (none for the whole library, the camera and the stream).
    QHash<const ImageDetail*, QString> m_albumOf;
    // The images of the albums the load listed (PhotoLibraryLoad::Result).
    QHash<qint64, QList<ImageDetailPtr>> m_albumImages;
    QList<ImageDetailPtr> m_selection;
    qint64 m_currentSelectionIndex = 0;
    bool m_isUsingPhotosApp = false;
    bool m_desktopAvailable = false;
    QString m_videoPath;
    // Preview copies a worker has begun and not handed over yet.
    std::mutex m_previewMutex;
    QStringList m_pendingPreviews;

    std::unique_ptr<QELCopyPhotos> m_copyPhotos;
    std::unique_ptr<QELTransferPhotos> m_transferPhotos;
    std::shared_ptr<PhotoLibraryHost> m_host;
    PhotoLibraryLoad::BinaryReaderFactory m_binaryReader;

    std::atomic<quint64> m_loadGeneration{0};
    quint64 m_viewerGeneration = 0;

    // Last: joined before the members their results go to.
    WorkerThreads m_workers{QStringLiteral("A photos view worker")};
};
