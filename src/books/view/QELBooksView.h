// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QUrl>

#include "QELBookDetails.h"
#include "QELCopyDelegate.h"
#include "QELDeviceCategoryContentView.h"
#include "WorkerThreads.h"

class QELBooksFilterModel;
class QELBooksListModel;
class QELCopyBooks;
class QELTransferBooks;
class QLabel;
class QListView;
class QPushButton;
class SpinnerIndicator;

// The books category: after checking for the device's books app, the books
// of its lists as a grid of covers with their titles, filtered by the search
// text. "View PDF" opens the first selected PDF book in the default viewer;
// copies go to a folder (PDF books only) or into the music library (every
// book). The check, the load and the PDF's copy run on workers. Main thread.
class QELBooksView : public QELDeviceCategoryContentView,
                     public QELCopyDelegate {
    Q_OBJECT
public:
    // Stand-ins for the folder panel and the desktop's opening of a file in tests.
    using FileOpener = std::function<void(const QUrl& file)>;

    explicit QELBooksView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELBooksView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Transfer | Search; }

    // Checks for the books app and reads the books; a second call while one
    // runs is ignored.
    void loadBooks();
    void search(const QString& text) override;
    // The selected (else the shown) PDF books, into a folder the user chooses.
    void RequestCopy() override;
    // The selected (else the shown) books, into the music library.
    void RequestTransfer() override;
    // Cancels both jobs.
    void RequestCancelCopy() override;
    // Starts the copy of the first selected PDF book for the default viewer;
    // false when the selection holds none.
    bool viewPDFButtonClicked();
    void copyToMacButtonClicked() { RequestCopy(); }
    void copyToITunesButtonClicked() { RequestTransfer(); }

    void setFileOpener(FileOpener opener) { m_openFile = std::move(opener); }

    // The books read, in list order, and those the grid shows.
    const std::vector<QELBookDetails>& booksList() const;
    QList<QELBookDetails> shownBooks() const;
    QListView* booksCollectionView() const { return m_grid; }
    // The page shown: "loading", "books", "noBooks" or "booksAppNotFound".
    QString shownPage() const;
    QELCopyBooks* copyBooksJob();
    QELTransferBooks* transferBooksJob();

    // QELCopyDelegate (each job reports through a receiver of its own, which
    // passes its skipped count on)
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

signals:
    // A load has ended and its page is shown.
    void booksLoaded();
    // The PDF copy for viewing has ended; `file` is empty when there is none.
    void pdfReady(const QString& file);

private:
    struct LoadResult;
    class JobEvents;
    void showPage(QWidget* page);
    void _loadBooksWorkerThread(QELDeviceInterface* device);
    void _loadingBooksComplete(const std::shared_ptr<LoadResult>& result);
    void _pdfCopied(const QString& file);
    void _allItemsCopied(const QELCopyOutcome& outcome, quint32 skipped);
    QList<QELBookDetails> selectedBooks() const;
    QList<QELBookDetails> chosenBooks() const;

    QWidget* m_container = nullptr;
    QWidget* m_loadingBooksView = nullptr;
    SpinnerIndicator* m_loadingBooksProgressIndicator = nullptr;
    QWidget* m_booksContentView = nullptr;
    QWidget* m_noBooksFoundView = nullptr;
    QWidget* m_iBooksAppNotFoundView = nullptr;
    QListView* m_grid = nullptr;
    QPushButton* m_viewPDFButton = nullptr;
    QELBooksListModel* m_model = nullptr;
    QELBooksFilterModel* m_filter = nullptr;

    bool m_loading = false;
    std::atomic<bool> m_cancelLoad{false};
    std::unique_ptr<JobEvents> m_copyEvents;
    std::unique_ptr<JobEvents> m_transferEvents;
    std::unique_ptr<QELCopyBooks> _copyBooks;
    std::unique_ptr<QELTransferBooks> _transferBooks;
    FileOpener m_openFile;
    // Last: joined before the members the workers hand their results to go.
    WorkerThreads m_workers{QStringLiteral("A books view worker")};
};
