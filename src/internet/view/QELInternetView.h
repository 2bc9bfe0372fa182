// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QModelIndex>
#include <QTimeZone>
#include <QUrl>

#include "InternetBookmarksModel.h"
#include "InternetHistoryModel.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "WorkerThreads.h"

class BackupFileSource;
class InternetPreviewPage;
class QButtonGroup;
class QELSafariBookmarksDbReader;
class QELWebHistoryReader;
class QLabel;
class QPushButton;
class QTreeView;
class SpinnerIndicator;

namespace Ui {
class QELInternetView;
}

// The internet category: Safari's history by day and its bookmarks by
// folder, one list at a time, a preview of the selected web page, and the
// selected address opened in the browser or saved as a shortcut file. Both
// lists are read whole on a worker and handed over in one queued call. Main
// thread.
class QELInternetView : public QELDeviceDataCategoryContentView {
    Q_OBJECT
public:
    enum List { HistoryList = 0, BookmarksList = 1 };

    explicit QELInternetView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELInternetView() override;

    Requests answeredRequests() const override { return Copy | Search; }
    void loadData() override;
    // The control bar's copy saves the selected address as a shortcut.
    void RequestCopy() override;
    // There is nothing to search in this view.
    void search(const QString& text) override;

    // 0 shows the history, 1 the bookmarks; any other segment changes nothing.
    void segmentedControlListSelectionClicked(int segment);
    List visibleList() const { return m_visibleList; }

    // The selected row of the visible list; invalid without a selection.
    QModelIndex _getSelectedOutlineViewItem() const;
    // The selected visit's or bookmark's address; null for a day, a folder
    // or no selection.
    QString _getSelectedUrlString() const;
    // Opens the selected web address in the browser.
    void viewInSafariButtonClicked();
    // Asks for a folder and saves the selected address there as a shortcut.
    void saveShortcutButtonClicked();

    // What the view reads and uses instead of the world (tests, tools).
    // The files: by default the device backup, or the folder of
    // viewDataPath() when one is set.
    void setFileSource(std::shared_ptr<BackupFileSource> source) { m_source = std::move(source); }
    void setTimeZone(const QTimeZone& zone) { m_zone = zone; }
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }
    // Every navigation of the preview goes to `hook` and is refused.
    void setPreviewNavigationHook(std::function<void(const QUrl&)> hook);

    QTreeView* outlineViewHistory() const { return m_outlineViewHistory; }
    QTreeView* outlineViewBookmarks() const { return m_outlineViewBookmarks; }
    InternetHistoryModel* historyModel() const { return m_historyModel; }
    InternetBookmarksModel* bookmarksModel() const { return m_bookmarksModel; }
    QWidget* viewSideBarContentContainter() const;
    QELPagedView* pageViewHistory() const { return m_pageViewHistory; }
    QELPagedView* pageViewBookmarks() const { return m_pageViewBookmarks; }
    QPushButton* viewInSafariButton() const;
    QPushButton* saveShortcutButton() const;
    QLabel* statusLine() const;
    SpinnerIndicator* imageViewWaitAnimation() const { return m_imageViewWaitAnimation; }
    // The preview of the selected web page.
    InternetPreviewPage* webView() const { return m_page; }
    // Shortcuts being written.
    std::size_t pendingSaves() const { return m_saves.runningCount(); }

private:
    struct ShortcutEntry {
        QString title;
        QString address;
    };
    // The selected entries of the visible list that have an address, in
    // list order.
    QList<ShortcutEntry> selectedShortcutEntries() const;

    struct Loaded;
    void _workerLoadComplete(quint64 generation, std::shared_ptr<Loaded> loaded);
    void outlineViewSelectionDidChange(QTreeView* outline);
    void updateButtons();
    void setStatus(const QString& text);
    std::shared_ptr<BackupFileSource> fileSource() const;

    std::unique_ptr<Ui::QELInternetView> m_ui;
    QButtonGroup* m_segments = nullptr;
    QELPagedView* m_pageViewHistory = nullptr;
    QELPagedView* m_pageViewBookmarks = nullptr;
    QTreeView* m_outlineViewHistory = nullptr;
    QTreeView* m_outlineViewBookmarks = nullptr;
    InternetHistoryModel* m_historyModel = nullptr;
    InternetBookmarksModel* m_bookmarksModel = nullptr;
    InternetPreviewPage* m_page = nullptr;
    SpinnerIndicator* m_imageViewWaitAnimation = nullptr;
    List m_visibleList = HistoryList;

    std::shared_ptr<QELSafariBookmarksDbReader> _bookmarksReader;
    std::shared_ptr<QELWebHistoryReader> _historyReader;
    std::shared_ptr<BackupFileSource> m_source;
    QTimeZone m_zone = QTimeZone::systemTimeZone();
    std::function<void(const QUrl&)> m_openUrl;
    quint64 m_loadGeneration = 0;
    // Last: joined before the members above go.
    WorkerThreads m_saves{QStringLiteral("A shortcut save")};
};
