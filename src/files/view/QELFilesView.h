// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QAbstractItemModel>
#include <QPointer>
#include <QStringList>

#include "QELCopyDelegate.h"
#include "QELDeviceCategoryContentView.h"
#include "WorkerThreads.h"

class QColumnView;
class QFileDialog;
class QELCopyFiles;
class QELFilesDeleteSheet;
class QELFilesModel;
class QELFilesNewFolderSheet;
class QLabel;
class QLineEdit;
class QPushButton;

// The file-browser category: the device's file system in a column browser
// rooted at "/", copies of the selection to a folder of the computer, files
// and folders of the computer put onto the device, new folders, and deletes
// after a confirmation. Every device call runs on a worker; the browser fills
// a column when its folder's listing answers. Main thread only.
class QELFilesView : public QELDeviceCategoryContentView,
                     public QELCopyDelegate {
    Q_OBJECT
public:
    // What Add to Device asks for: files, or one folder with what it holds.
    enum class AddKind { Files, Folder };
    // Chooses the files or the folder to put on the device (empty: cancelled).
    using ItemsChooser = std::function<QStringList(QWidget* parent, AddKind kind)>;
    // The dialog of an Add to Device (shown by exec(); tests drive it).
    static std::unique_ptr<QFileDialog> makeAddDialog(QWidget* parent, AddKind kind);

    QELFilesView(const QRect& frame, QWidget* parent = nullptr);
    ~QELFilesView() override;

    // Gives the view its device and lists the root column.
    void loadDevice(QELDeviceInterface* device);

    Requests answeredRequests() const override { return Copy | CancelCopy | Transfer; }
    void RequestCopy() override;
    void RequestCancelCopy() override;
    void RequestTransfer() override;
    // This view has no search.
    void search(const QString& text) override;

    // The view's own controls.
    void buttonCopySelectionClicked();
    // Opens the button's menu of the two kinds.
    void addItemToDeviceButtonClicked();
    void addItemsToDevice(AddKind kind);
    void buttonCreateFolderClicked();
    void newFolderNameOKButtonClicked();
    void newFolderNameCancelClicked();
    void buttonRefreshClicked();
    void buttonDeleteSelectionClicked();
    void confirmDeleteOKButtonClicked();
    void confirmDeleteCancelButtonClicked();

    // The copy job's events.
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    // The dialogs of a copy and a put; tests replace them.
    void setItemsChooser(ItemsChooser chooser) { m_chooseItems = std::move(chooser); }

    QColumnView* fileBrowser() const { return m_browser; }
    QELFilesModel* model() const { return m_model; }
    QELFilesNewFolderSheet* newFolderNamePanel() const { return m_newFolderSheet; }
    QELFilesDeleteSheet* confirmDeletePanel() const { return m_deleteSheet; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    // The view's one copy job; null until the first copy or put.
    QELCopyFiles* copyJob() const { return m_copyFiles; }
    // Device changes (new folder, delete) not answered yet.
    int pendingChanges() const { return m_pendingChanges; }

    // The folder of the browser's current path: the current item when it is
    // a folder, else the folder that holds it; "/" when nothing is current.
    QString currentFolder() const;

signals:
    // A new folder or a delete was answered and the browser reloaded.
    void deviceChangeFinished();

private:
    // The selected items of the current column, in selection order, and the
    // folder they are in.
    QModelIndexList selectedItems(QString* folder) const;
    QModelIndex currentFolderIndex() const;
    void reloadFolder(const QModelIndex& folder);
    void initiateCopyJob();
    void runOnDevice(std::function<std::function<void()>(QELDeviceInterface&)> work);
    void report(const QString& top, const QString& bottom);

    QColumnView* m_browser;
    QELFilesModel* m_model;
    QPushButton* m_copyButton;
    QPushButton* m_addButton;
    QPushButton* m_newFolderButton;
    QPushButton* m_deleteButton;
    QPushButton* m_refreshButton;
    QELFilesNewFolderSheet* m_newFolderSheet;
    QELFilesDeleteSheet* m_deleteSheet;
    QELCopyFiles* m_copyFiles = nullptr;
    ItemsChooser m_chooseItems;
    int m_pendingChanges = 0;
    // The folder the delete sheet was opened for.
    QString m_deleteFolder;
    // Last: joined before the rest goes.
    WorkerThreads m_workers{QStringLiteral("A file browser change")};
};
