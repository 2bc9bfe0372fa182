// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBooksView.h"

#include <algorithm>

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "LocalizedStrings.h"
#include "Log.h"
#include "QELBookCollectionViewItem.h"
#include "QELBookViewingCopy.h"
#include "QELBooksFilterModel.h"
#include "QELBooksListModel.h"
#include "QELBooksReader.h"
#include "QELCopyBooks.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELTransferBooks.h"
#include "SpinnerIndicator.h"

namespace {

void openWithDesktop(const QUrl& file) { QDesktopServices::openUrl(file); }

QWidget* messagePage(const QString& name, const QString& text, QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(name);
    page->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel(text, page);
    label->setObjectName(name + QStringLiteral("Label"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addStretch(1);
    layout->addWidget(label);
    layout->addStretch(1);
    return page;
}

} // namespace

// What a load hands to the main thread, in one piece.
struct QELBooksView::LoadResult {
    // False: no books app, or no "/Books".
    bool found = false;
    std::vector<QELBookDetails> books;
};

// The receiver of one job's events: the view's own, with the job's count of
// skipped books at the end.
class QELBooksView::JobEvents : public QELCopyDelegate {
public:
    JobEvents(QELBooksView* view, std::function<quint32()> skipped)
        : m_view(view)
        , m_skipped(std::move(skipped))
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override
    {
        m_view->OnItemCopyBeginEvent(args);
    }
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int copyType) override
    {
        OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
    }
    void OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome) override
    {
        m_view->_allItemsCopied(outcome, m_skipped());
    }

private:
    QELBooksView* m_view;
    std::function<quint32()> m_skipped;
};

QELBooksView::QELBooksView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_openFile(openWithDesktop)
{
    setObjectName(QStringLiteral("QELBooksView"));
    m_container = new QWidget;
    m_container->setObjectName(QStringLiteral("viewContainer"));
    auto* containerLayout = new QVBoxLayout(m_container);
    containerLayout->setContentsMargins(0, 0, 0, 0);

    m_loadingBooksView = new QWidget(m_container);
    m_loadingBooksView->setObjectName(QStringLiteral("loadingBooksView"));
    m_loadingBooksView->setAutoFillBackground(true);
    {
        auto* layout = new QVBoxLayout(m_loadingBooksView);
        auto* label = new QLabel(L("LOADINGBOOKS"), m_loadingBooksView);
        label->setAlignment(Qt::AlignCenter);
        m_loadingBooksProgressIndicator = new SpinnerIndicator(m_loadingBooksView);
        m_loadingBooksProgressIndicator->setObjectName(
            QStringLiteral("loadingBooksProgressIndicator"));
        layout->addStretch(1);
        layout->addWidget(m_loadingBooksProgressIndicator, 0, Qt::AlignHCenter);
        layout->addWidget(label);
        layout->addStretch(1);
    }

    m_booksContentView = new QWidget(m_container);
    m_booksContentView->setObjectName(QStringLiteral("booksContentView"));
    {
        auto* layout = new QVBoxLayout(m_booksContentView);
        auto* bar = new QHBoxLayout;
        m_viewPDFButton = new QPushButton(L("VIEWPDF"), m_booksContentView);
        m_viewPDFButton->setObjectName(QStringLiteral("viewPDFButton"));
        auto* copyToMac = new QPushButton(L("COPYTOMAC"), m_booksContentView);
        copyToMac->setObjectName(QStringLiteral("copyToMacButton"));
        auto* copyToITunes = new QPushButton(L("COPYTOITUNES"), m_booksContentView);
        copyToITunes->setObjectName(QStringLiteral("copyToITunesButton"));
        bar->addWidget(m_viewPDFButton);
        bar->addWidget(copyToMac);
        bar->addWidget(copyToITunes);
        bar->addStretch(1);
        layout->addLayout(bar);
        m_grid = new QListView(m_booksContentView);
        m_grid->setObjectName(QStringLiteral("booksCollectionView"));
        m_grid->setViewMode(QListView::IconMode);
        m_grid->setMovement(QListView::Static);
        m_grid->setResizeMode(QListView::Adjust);
        m_grid->setUniformItemSizes(true);
        m_grid->setSpacing(8);
        m_grid->setWrapping(true);
        m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_grid->setItemDelegate(new QELBookCollectionViewItem(m_grid));
        layout->addWidget(m_grid, 1);
        connect(m_viewPDFButton, &QPushButton::clicked, this, [this] { viewPDFButtonClicked(); });
        connect(copyToMac, &QPushButton::clicked, this, &QELBooksView::copyToMacButtonClicked);
        connect(copyToITunes, &QPushButton::clicked, this,
                &QELBooksView::copyToITunesButtonClicked);
    }

    m_noBooksFoundView =
        messagePage(QStringLiteral("noBooksFoundView"), L("NOBOOKSFOUND"), m_container);
    m_iBooksAppNotFoundView =
        messagePage(QStringLiteral("iBooksAppNotFoundView"), L("BOOKSAPPNOTFOUND"), m_container);

    for (QWidget* page :
         {m_loadingBooksView, m_booksContentView, m_noBooksFoundView, m_iBooksAppNotFoundView})
        containerLayout->addWidget(page);
    setView(m_container);

    m_model = new QELBooksListModel(this);
    m_filter = new QELBooksFilterModel(this);
    m_filter->setSourceModel(m_model);
    m_grid->setModel(m_filter);
    showPage(m_loadingBooksView);
}

QELBooksView::~QELBooksView()
{
    m_cancelLoad = true;
    // Jobs first: their workers post to this view.
    _copyBooks.reset();
    _transferBooks.reset();
    m_workers.stopAndJoinAll();
}

void QELBooksView::showPage(QWidget* page)
{
    for (QWidget* each :
         {m_loadingBooksView, m_booksContentView, m_noBooksFoundView, m_iBooksAppNotFoundView})
        each->setVisible(each == page);
    if (page == m_loadingBooksView)
        m_loadingBooksProgressIndicator->startAnimation();
    else
        m_loadingBooksProgressIndicator->stopAnimation();
}

QString QELBooksView::shownPage() const
{
    if (m_booksContentView->isVisibleTo(m_container))
        return QStringLiteral("books");
    if (m_noBooksFoundView->isVisibleTo(m_container))
        return QStringLiteral("noBooks");
    if (m_iBooksAppNotFoundView->isVisibleTo(m_container))
        return QStringLiteral("booksAppNotFound");
    return QStringLiteral("loading");
}

// --- Loading -------------------------------------------------------------

void QELBooksView::loadBooks()
{
    if (m_loading)
        return;
    m_loading = true;
    showPage(m_loadingBooksView);
    QELDeviceInterface* device = deviceInterface();
    m_workers.reapFinished();
    if (!m_workers.start([this, device] { _loadBooksWorkerThread(device); }))
        m_loading = false;
}

void QELBooksView::_loadBooksWorkerThread(QELDeviceInterface* device)
{
    auto result = std::make_shared<LoadResult>();
    // The app check comes first, as the books app keeps the lists; the read
    // itself says "/Books not present" when the folder is missing.
    if (device && QELBooksReader::isBooksAppPresent(*device).value_or(false)) {
        const QELBooksReader::Result read = QELBooksReader::readBooks(*device, &m_cancelLoad);
        result->found = read.booksFolderPresent;
        result->books.assign(read.books.cbegin(), read.books.cend());
    }
    QMetaObject::invokeMethod(
        this, [this, result] { _loadingBooksComplete(result); }, Qt::QueuedConnection);
}

void QELBooksView::_loadingBooksComplete(const std::shared_ptr<LoadResult>& result)
{
    m_loading = false;
    m_model->setBooks(std::move(result->books));
    if (!result->found)
        showPage(m_iBooksAppNotFoundView);
    else if (m_model->rowCount() > 0)
        showPage(m_booksContentView);
    else
        showPage(m_noBooksFoundView);
    emit booksLoaded();
}

// --- Search and selection ------------------------------------------------

void QELBooksView::search(const QString& text) { m_filter->setSearchText(text); }

const std::vector<QELBookDetails>& QELBooksView::booksList() const { return m_model->books(); }

QList<QELBookDetails> QELBooksView::shownBooks() const
{
    QList<QELBookDetails> books;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        if (const QELBookDetails* book =
                m_model->bookAt(m_filter->mapToSource(m_filter->index(row, 0)).row()))
            books.append(*book);
    }
    return books;
}

QList<QELBookDetails> QELBooksView::selectedBooks() const
{
    QModelIndexList rows = m_grid->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<QELBookDetails> books;
    for (const QModelIndex& index : rows) {
        if (const QELBookDetails* book = m_model->bookAt(m_filter->mapToSource(index).row()))
            books.append(*book);
    }
    return books;
}

QList<QELBookDetails> QELBooksView::chosenBooks() const
{
    QList<QELBookDetails> books = selectedBooks();
    if (books.isEmpty())
        books = shownBooks();
    // The jobs need names, paths and kinds only; the covers stay with the view.
    for (QELBookDetails& book : books)
        book.setCoverArt({});
    return books;
}

// --- View PDF ------------------------------------------------------------

bool QELBooksView::viewPDFButtonClicked()
{
    const QList<QELBookDetails> selection = selectedBooks();
    const auto pdf = std::find_if(selection.cbegin(), selection.cend(),
                                  [](const QELBookDetails& book) { return book.isPDFKind(); });
    QELDeviceInterface* device = deviceInterface();
    if (pdf == selection.cend() || !device)
        return false;
    QELBookDetails book = *pdf;
    book.setCoverArt({});
    m_workers.reapFinished();
    return m_workers.start([this, device, book] {
        const QString file = QELBookViewingCopy::copyForViewing(*device, book);
        QMetaObject::invokeMethod(
            this, [this, file] { _pdfCopied(file); }, Qt::QueuedConnection);
    });
}

void QELBooksView::_pdfCopied(const QString& file)
{
    if (!file.isEmpty() && m_openFile)
        m_openFile(QUrl::fromLocalFile(file));
    emit pdfReady(file);
}

// --- Copies --------------------------------------------------------------

QELCopyBooks* QELBooksView::copyBooksJob()
{
    if (!_copyBooks) {
        _copyBooks = std::make_unique<QELCopyBooks>();
        m_copyEvents = std::make_unique<JobEvents>(
            this, [job = _copyBooks.get()] { return job->skippedItemCount(); });
        _copyBooks->setDelegate(m_copyEvents.get());
    }
    _copyBooks->setDeviceInteface(deviceInterface());
    return _copyBooks.get();
}

QELTransferBooks* QELBooksView::transferBooksJob()
{
    if (!_transferBooks) {
        _transferBooks = std::make_unique<QELTransferBooks>();
        m_transferEvents = std::make_unique<JobEvents>(
            this, [job = _transferBooks.get()] { return job->skippedItemCount(); });
        _transferBooks->setDelegate(m_transferEvents.get());
    }
    _transferBooks->setDeviceInteface(deviceInterface());
    return _transferBooks.get();
}

void QELBooksView::RequestCopy()
{
    QVariantList queue;
    for (const QELBookDetails& book : chosenBooks()) {
        if (book.isPDFKind())
            queue.append(QVariant::fromValue(book));
    }
    if (queue.isEmpty())
        return;
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    QELCopyBooks* job = copyBooksJob();
    job->cancelCopy();
    job->setItemQueue(queue);
    job->setBaseCopyPath(folder);
    job->startCopy();
}

void QELBooksView::RequestTransfer()
{
    QVariantList queue;
    for (const QELBookDetails& book : chosenBooks())
        queue.append(QVariant::fromValue(book));
    QELTransferBooks* job = transferBooksJob();
    job->cancelCopy();
    forgetCopyFolder();
    job->setItemQueue(queue);
    job->startCopy();
}

void QELBooksView::RequestCancelCopy()
{
    if (_copyBooks)
        _copyBooks->cancelCopy();
    if (_transferBooks)
        _transferBooks->cancelCopy();
}

void QELBooksView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGBOOK"), args);
}

void QELBooksView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) {}

void QELBooksView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELBooksView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    _allItemsCopied(outcome, 0);
}

void QELBooksView::_allItemsCopied(const QELCopyOutcome& outcome, quint32 skipped)
{
    reportCopyEnd(outcome, L("ALLBOOKCOPYINGCOMPLETE"), lastCopyFolder(),
                  skipped > 0 ? Ln("BOOKSSKIPPED", skipped) : QString());
}
