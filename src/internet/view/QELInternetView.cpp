// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELInternetView.h"

#include <algorithm>

#include <QButtonGroup>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "FolderBackupFileSource.h"
#include "InternetPreviewPage.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELDeviceBackup.h"
#include "QELSafariBookmarksDbReader.h"
#include "QELWebHistoryReader.h"
#include "SafariBackupData.h"
#include "SafariShortcut.h"
#include "SafariUrlRules.h"
#include "SpinnerIndicator.h"
#include "ui_QELInternetView.h"

// What a load hands to the main thread: the readers and the lists made from
// them, read whole on the worker.
struct QELInternetView::Loaded {
    SafariBackupData::Loaded data;
    QList<InternetHistoryModel::Day> days;
    InternetBookmarksModel::Tree bookmarks;
};

namespace {

QTreeView* makeOutline(QAbstractItemModel* model, const char* name, QWidget* page)
{
    auto* outline = new QTreeView(page);
    outline->setObjectName(QString::fromLatin1(name));
    outline->setModel(model);
    outline->setHeaderHidden(true);
    outline->setUniformRowHeights(true);
    // Several entries can be saved as shortcuts at once.
    outline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outline->setIconSize(QSize(16, 16));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(outline);
    return outline;
}

} // namespace

QELInternetView::QELInternetView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_ui(std::make_unique<Ui::QELInternetView>())
{
    setObjectName(QStringLiteral("QELInternetView"));
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    m_historyModel = new InternetHistoryModel(this);
    m_bookmarksModel = new InternetBookmarksModel(this);
    QWidget* container = m_ui->viewSideBarContentContainter;
    m_pageViewHistory = new QELPagedView(container);
    m_pageViewHistory->setObjectName(QStringLiteral("pageViewHistory"));
    m_pageViewHistory->setIsOpaque(true);
    m_outlineViewHistory = makeOutline(m_historyModel, "outlineViewHistory", m_pageViewHistory);
    m_pageViewBookmarks = new QELPagedView(container);
    m_pageViewBookmarks->setObjectName(QStringLiteral("pageViewBookmarks"));
    m_outlineViewBookmarks =
        makeOutline(m_bookmarksModel, "outlineViewBookmarks", m_pageViewBookmarks);
    // The history is the list first shown.
    m_pageViewHistory->addToSuperview(container);
    m_pageViewHistory->hideAllOtherSubViews();

    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    m_segments->addButton(m_ui->historySegmentButton, HistoryList);
    m_segments->addButton(m_ui->bookmarksSegmentButton, BookmarksList);
    connect(m_segments, &QButtonGroup::idClicked, this,
            &QELInternetView::segmentedControlListSelectionClicked);

    m_page = new InternetPreviewPage(m_ui->webViewFrame);
    m_page->setObjectName(QStringLiteral("webView"));
    auto* frameLayout = new QVBoxLayout(m_ui->webViewFrame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(m_page);

    m_imageViewWaitAnimation = new SpinnerIndicator(m_ui->busyIndicatorHolder);
    m_imageViewWaitAnimation->setObjectName(QStringLiteral("imageViewWaitAnimation"));
    auto* busyLayout = new QHBoxLayout(m_ui->busyIndicatorHolder);
    busyLayout->setContentsMargins(0, 0, 0, 0);
    busyLayout->addWidget(m_imageViewWaitAnimation);
    m_imageViewWaitAnimation->hide();
    // Shown from the start of a load until it ends, also when it fails.
    connect(m_page, &InternetPreviewPage::loadStarted, this, [this] {
        m_imageViewWaitAnimation->show();
        m_imageViewWaitAnimation->startAnimation();
    });
    connect(m_page, &InternetPreviewPage::loadFinished, this, [this](bool) {
        m_imageViewWaitAnimation->stopAnimation();
        m_imageViewWaitAnimation->hide();
    });

    for (QTreeView* outline : {m_outlineViewHistory, m_outlineViewBookmarks}) {
        connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, outline] { outlineViewSelectionDidChange(outline); });
    }
    connect(m_ui->viewInSafariButton, &QPushButton::clicked, this,
            &QELInternetView::viewInSafariButtonClicked);
    connect(m_ui->saveShortcutButton, &QPushButton::clicked, this,
            &QELInternetView::saveShortcutButtonClicked);
    updateButtons();
}

QELInternetView::~QELInternetView()
{
    joinWorkerLoads();
    m_saves.stopAndJoinAll();
}

QWidget* QELInternetView::viewSideBarContentContainter() const
{
    return m_ui->viewSideBarContentContainter;
}
QPushButton* QELInternetView::viewInSafariButton() const { return m_ui->viewInSafariButton; }
QPushButton* QELInternetView::saveShortcutButton() const { return m_ui->saveShortcutButton; }
QLabel* QELInternetView::statusLine() const { return m_ui->statusLine; }

void QELInternetView::setPreviewNavigationHook(std::function<void(const QUrl&)> hook)
{
    m_page->setNavigationHook(std::move(hook));
}

std::shared_ptr<BackupFileSource> QELInternetView::fileSource() const
{
    if (m_source)
        return m_source;
    if (!viewDataPath().isEmpty())
        return std::make_shared<FolderBackupFileSource>(viewDataPath());
    return deviceBackup();
}

void QELInternetView::loadData()
{
    m_ui->viewSideBarContentContainter->hide();
    QELDeviceDataCategoryContentView::loadData();
    const quint64 generation = ++m_loadGeneration;
    std::shared_ptr<BackupFileSource> source = fileSource();
    startWorkerLoad([this, generation, source, zone = m_zone] {
        auto loaded = std::make_shared<Loaded>();
        if (source) {
            loaded->data = SafariBackupData::load(*source, zone);
            loaded->days = InternetHistoryModel::rowsFrom(*loaded->data.history);
            if (loaded->data.bookmarks)
                loaded->bookmarks = InternetBookmarksModel::nodesFrom(*loaded->data.bookmarks);
        }
        QMetaObject::invokeMethod(
            this, [this, generation, loaded] { _workerLoadComplete(generation, loaded); },
            Qt::QueuedConnection);
    });
}

void QELInternetView::_workerLoadComplete(quint64 generation, std::shared_ptr<Loaded> loaded)
{
    // A newer load has started: its answer counts, not this one.
    if (generation != m_loadGeneration)
        return;
    for (const QString& error : std::as_const(loaded->data.errors))
        qCWarning(lcOrvane).noquote() << "Safari:" << error;
    loadDataComplete();
    view()->show();
    _bookmarksReader = loaded->data.bookmarks;
    _historyReader = loaded->data.history;
    m_bookmarksModel->setTree(std::move(loaded->bookmarks));
    m_outlineViewBookmarks->expandAll();
    m_historyModel->setRows(std::move(loaded->days));
    m_outlineViewHistory->expandAll();
    m_ui->viewSideBarContentContainter->show();
    updateButtons();
}

void QELInternetView::RequestCopy() { saveShortcutButtonClicked(); }

void QELInternetView::search(const QString&) {}

void QELInternetView::segmentedControlListSelectionClicked(int segment)
{
    QELPagedView* page = nullptr;
    if (segment == HistoryList)
        page = m_pageViewHistory;
    else if (segment == BookmarksList)
        page = m_pageViewBookmarks;
    else
        return;
    m_visibleList = List(segment);
    if (QAbstractButton* button = m_segments->button(segment))
        button->setChecked(true);
    page->addToSuperview(m_ui->viewSideBarContentContainter);
    page->hideAllOtherSubViews();
    updateButtons();
}

QModelIndex QELInternetView::_getSelectedOutlineViewItem() const
{
    const QTreeView* outline =
        m_visibleList == BookmarksList ? m_outlineViewBookmarks : m_outlineViewHistory;
    const QModelIndexList selected = outline->selectionModel()->selectedRows();
    return selected.isEmpty() ? QModelIndex() : selected.constFirst();
}

QString QELInternetView::_getSelectedUrlString() const
{
    const QModelIndex index = _getSelectedOutlineViewItem();
    if (m_visibleList == BookmarksList) {
        const QELSafariBookmarkItem* item = m_bookmarksModel->itemAt(index);
        return item && !item->isFolder() ? item->url() : QString();
    }
    const QELSafariHistoryItem* visit = m_historyModel->visitAt(index);
    return visit ? visit->address() : QString();
}

void QELInternetView::outlineViewSelectionDidChange(QTreeView* outline)
{
    updateButtons();
    const QModelIndexList selected = outline->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QString address;
    if (outline == m_outlineViewBookmarks) {
        const QELSafariBookmarkItem* item = m_bookmarksModel->itemAt(selected.constFirst());
        if (!item || item->isFolder())
            return;
        address = item->url();
    } else {
        const QELSafariHistoryItem* visit = m_historyModel->visitAt(selected.constFirst());
        if (!visit)
            return;
        address = visit->address();
    }
    if (address.isEmpty())
        return;
    const QUrl url = SafariUrlRules::webUrl(address);
    if (!url.isValid()) {
        setStatus(tr("Only web pages (http and https) are shown here; this address is not "
                     "one."));
        return;
    }
    setStatus(QString());
    m_page->loadWebAddress(url);
}

void QELInternetView::viewInSafariButtonClicked()
{
    const QString address = _getSelectedUrlString();
    if (address.isEmpty())
        return;
    const QUrl url = SafariUrlRules::webUrl(address);
    if (!url.isValid()) {
        setStatus(tr("Only web pages (http and https) are opened in the browser; this address "
                     "is not one."));
        return;
    }
    if (m_openUrl)
        m_openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

QList<QELInternetView::ShortcutEntry> QELInternetView::selectedShortcutEntries() const
{
    const QTreeView* outline =
        m_visibleList == BookmarksList ? m_outlineViewBookmarks : m_outlineViewHistory;
    QModelIndexList rows = outline->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.parent() == b.parent() ? a.row() < b.row() : a.parent().row() < b.parent().row();
    });
    QList<ShortcutEntry> entries;
    for (const QModelIndex& index : std::as_const(rows)) {
        QString address;
        if (m_visibleList == BookmarksList) {
            const QELSafariBookmarkItem* item = m_bookmarksModel->itemAt(index);
            if (item && !item->isFolder())
                address = item->url();
        } else if (const QELSafariHistoryItem* visit = m_historyModel->visitAt(index)) {
            address = visit->address();
        }
        if (!address.isEmpty())
            entries.append({index.data(Qt::DisplayRole).toString(), address});
    }
    return entries;
}

void QELInternetView::saveShortcutButtonClicked()
{
    if (selectedShortcutEntries().isEmpty())
        return;
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    // The panel may have changed the selection or the list: what is selected now counts.
    const QList<ShortcutEntry> entries = selectedShortcutEntries();
    if (entries.isEmpty())
        return;
    m_saves.start([this, folder, entries] {
        SafariShortcut::Run run(folder);
        QStringList saved;
        int refused = 0;
        int failed = 0;
        for (const ShortcutEntry& entry : entries) {
            if (!SafariShortcut::canSave(entry.address)) {
                ++refused;
                continue;
            }
            QString error;
            const QString path = run.save(entry.title, entry.address, &error);
            if (path.isEmpty()) {
                qCWarning(lcOrvane).noquote() << "A shortcut could not be saved:" << error;
                ++failed;
            } else {
                saved << QFileInfo(path).fileName();
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, saved, refused, failed] {
                QStringList status;
                if (saved.size() == 1)
                    status << tr("Saved %1").arg(saved.constFirst());
                else if (saved.size() > 1)
                    status << tr("Saved %1 shortcuts.").arg(saved.size());
                if (refused)
                    status << tr("%1 of the addresses are not web pages (http or https) and were "
                                 "not saved as shortcuts.")
                                  .arg(refused);
                if (failed)
                    status << tr("%1 shortcuts could not be saved.").arg(failed);
                setStatus(status.join(QLatin1Char(' ')));
            },
            Qt::QueuedConnection);
    });
}

void QELInternetView::updateButtons()
{
    // A day, a folder or no selection has no address to open or save.
    const bool hasAddress = !_getSelectedUrlString().isEmpty();
    m_ui->viewInSafariButton->setEnabled(hasAddress);
    m_ui->saveShortcutButton->setEnabled(hasAddress);
}

void QELInternetView::setStatus(const QString& text)
{
    // It names files after device titles.
    m_ui->statusLine->setTextFormat(Qt::PlainText);
    m_ui->statusLine->setText(text);
}
