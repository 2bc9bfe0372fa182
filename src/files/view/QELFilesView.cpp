// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELFilesView.h"

#include <QColumnView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "FileListBuilder.h"
#include "FileOperations.h"
#include "FileTypeIcons.h"
#include "LocalizedStrings.h"
#include "QELCopyEndMessage.h"
#include "QELCopyFiles.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELFilesModel.h"
#include "QELFilesSheets.h"

namespace {

// Each column draws the pictures at 17 x 18 in rows of one height, and asks
// for its folder's listing as soon as it is made.
class FilesColumnView : public QColumnView {
public:
    using QColumnView::QColumnView;

protected:
    QAbstractItemView* createColumn(const QModelIndex& rootIndex) override
    {
        QAbstractItemView* column = QColumnView::createColumn(rootIndex);
        column->setIconSize(FileTypeIcons::kIconSize);
        if (auto* list = qobject_cast<QListView*>(column))
            list->setUniformItemSizes(true);
        if (auto* files = qobject_cast<QELFilesModel*>(model()))
            files->ensureListed(rootIndex);
        return column;
    }
};

QStringList chooseItemsToAdd(QWidget* parent, QELFilesView::AddKind kind)
{
    std::unique_ptr<QFileDialog> dialog = QELFilesView::makeAddDialog(parent, kind);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles();
}

QString namesLine(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names << path;
    return names.join(QStringLiteral(", "));
}

} // namespace

QELFilesView::QELFilesView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_browser(new FilesColumnView(this))
    , m_model(new QELFilesModel(this))
    , m_copyButton(new QPushButton(L("COPYTOMAC"), this))
    , m_addButton(new QPushButton(L("ADDTODEVICE"), this))
    , m_newFolderButton(new QPushButton(L("NEWFOLDER"), this))
    , m_deleteButton(new QPushButton(L("DELETE"), this))
    , m_refreshButton(new QPushButton(L("REFRESH"), this))
    , m_newFolderSheet(new QELFilesNewFolderSheet(this))
    , m_deleteSheet(new QELFilesDeleteSheet(this))
    , m_chooseItems(chooseItemsToAdd)
{
    setObjectName(QStringLiteral("QELFilesView"));
    m_browser->setObjectName(QStringLiteral("fileBrowser"));
    m_browser->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_browser->setIconSize(FileTypeIcons::kIconSize);
    m_browser->setModel(m_model);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));

    auto* top = new QWidget(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_copyButton);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_newFolderButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    buttons->addWidget(m_refreshButton);
    auto* layout = new QVBoxLayout(top);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_browser, 1);
    layout->addLayout(buttons);
    setView(top);

    connect(m_copyButton, &QPushButton::clicked, this, [this] { buttonCopySelectionClicked(); });
    // A folder dialog refuses a file and a file dialog a folder: one entry each.
    auto* addMenu = new QMenu(m_addButton);
    addMenu->setObjectName(QStringLiteral("addToDeviceMenu"));
    QAction* addFiles = addMenu->addAction(L("ADDFILESTODEVICE"));
    addFiles->setObjectName(QStringLiteral("addFilesToDevice"));
    connect(addFiles, &QAction::triggered, this, [this] { addItemsToDevice(AddKind::Files); });
    QAction* addFolder = addMenu->addAction(L("ADDFOLDERTODEVICE"));
    addFolder->setObjectName(QStringLiteral("addFolderToDevice"));
    connect(addFolder, &QAction::triggered, this, [this] { addItemsToDevice(AddKind::Folder); });
    m_addButton->setMenu(addMenu);
    connect(m_newFolderButton, &QPushButton::clicked, this,
            [this] { buttonCreateFolderClicked(); });
    connect(m_deleteButton, &QPushButton::clicked, this,
            [this] { buttonDeleteSelectionClicked(); });
    connect(m_refreshButton, &QPushButton::clicked, this, [this] { buttonRefreshClicked(); });
    // Delete in the browser asks as the Delete button does; nothing goes unasked.
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_browser);
    deleteKey->setObjectName(QStringLiteral("deleteShortcut"));
    deleteKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { buttonDeleteSelectionClicked(); });
    connect(m_newFolderSheet->okButton(), &QPushButton::clicked, this,
            [this] { newFolderNameOKButtonClicked(); });
    connect(m_newFolderSheet->cancelButton(), &QPushButton::clicked, this,
            [this] { newFolderNameCancelClicked(); });
    connect(m_deleteSheet->okButton(), &QPushButton::clicked, this,
            [this] { confirmDeleteOKButtonClicked(); });
    connect(m_deleteSheet->cancelButton(), &QPushButton::clicked, this,
            [this] { confirmDeleteCancelButtonClicked(); });
}

QELFilesView::~QELFilesView()
{
    if (m_copyFiles) {
        m_copyFiles->setDelegate(nullptr);
        delete m_copyFiles;
        m_copyFiles = nullptr;
    }
    m_workers.stopAndJoinAll();
}

void QELFilesView::loadDevice(QELDeviceInterface* device)
{
    setDeviceInterface(device);
    if (!device) {
        m_model->setLister({});
        return;
    }
    m_model->setLister([device](const QString& folder) {
        return FileListBuilder::listDeviceFolder(*device, folder);
    });
    m_model->ensureListed(QModelIndex());
}

void QELFilesView::RequestCopy() { buttonCopySelectionClicked(); }

void QELFilesView::RequestCancelCopy()
{
    if (m_copyFiles)
        m_copyFiles->cancelCopy();
}

void QELFilesView::RequestTransfer() { report(L("FILEERROR"), L("TRANSFERNOTVALID")); }

void QELFilesView::search(const QString&) {}

QModelIndexList QELFilesView::selectedItems(QString* folder) const
{
    const QModelIndex current = m_browser->currentIndex();
    if (!current.isValid())
        return {};
    const QModelIndex parent = current.parent();
    QModelIndexList items;
    for (const QModelIndex& index : m_browser->selectionModel()->selectedIndexes()) {
        if (index.parent() == parent && index.column() == 0)
            items << index;
    }
    if (folder)
        *folder = m_model->pathOf(parent);
    return items;
}

QModelIndex QELFilesView::currentFolderIndex() const
{
    const QModelIndex current = m_browser->currentIndex();
    if (!current.isValid())
        return {};
    return m_model->isFolder(current) ? current : current.parent();
}

QString QELFilesView::currentFolder() const { return m_model->pathOf(currentFolderIndex()); }

void QELFilesView::reloadFolder(const QModelIndex& folder)
{
    const QPersistentModelIndex keep(folder);
    m_model->reload(folder);
    // The path down to the folder stays shown.
    if (keep.isValid())
        m_browser->setCurrentIndex(keep);
}

void QELFilesView::initiateCopyJob()
{
    if (m_copyFiles)
        return;
    m_copyFiles = new QELCopyFiles(this);
    m_copyFiles->setDelegate(this);
    m_copyFiles->setDeviceInteface(deviceInterface());
}

void QELFilesView::buttonCopySelectionClicked()
{
    QString folder;
    const QModelIndexList items = selectedItems(&folder);
    if (items.isEmpty() || !deviceInterface())
        return;
    const QString destination = chooseCopyFolder();
    if (destination.isEmpty())
        return;
    initiateCopyJob();
    QStringList paths;
    for (const QModelIndex& index : items)
        paths << m_model->pathOf(index);
    m_copyFiles->cancelCopy();
    m_copyFiles->setSelection(paths);
    m_copyFiles->setDeviceSourceDirectory(folder);
    m_copyFiles->setBaseCopyPath(destination);
    m_copyFiles->startCopy();
}

std::unique_ptr<QFileDialog> QELFilesView::makeAddDialog(QWidget* parent, AddKind kind)
{
    const bool folder = kind == AddKind::Folder;
    auto dialog = std::make_unique<QFileDialog>(
        parent, folder ? L("CHOOSEFOLDERTOADD") : L("CHOOSEFILESTOADD"),
        startFolderForCopy(QStringLiteral("AddToDevice"), QStandardPaths::HomeLocation));
    dialog->setObjectName(QStringLiteral("addToDeviceDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(folder ? QFileDialog::Directory : QFileDialog::ExistingFiles);
    dialog->setOption(QFileDialog::ShowDirsOnly, folder);
    dialog->setOption(QFileDialog::ReadOnly, true);
    dialog->setLabelText(QFileDialog::Accept, L("SELECT"));
    return dialog;
}

void QELFilesView::addItemToDeviceButtonClicked() { m_addButton->showMenu(); }

void QELFilesView::addItemsToDevice(AddKind kind)
{
    if (!deviceInterface())
        return;
    const QStringList chosen = m_chooseItems ? m_chooseItems(this, kind) : QStringList();
    // The end message has no folder of the computer to show.
    forgetCopyFolder();
    if (!chosen.isEmpty())
        rememberFolderForCopy(QStringLiteral("AddToDevice"),
                              QFileInfo(chosen.constFirst()).absolutePath());
    if (chosen.isEmpty())
        return;
    initiateCopyJob();
    QStringList paths;
    for (const QString& path : chosen)
        paths << QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_copyFiles->cancelCopy();
    m_copyFiles->setSelection(paths);
    m_copyFiles->setBaseCopyPath(QFileInfo(paths.constFirst()).absolutePath());
    // Into the folder of the browser's path: when it ends in a file, the
    // folder that holds the file.
    m_copyFiles->startPutToDeviceAtPath(currentFolder());
}

void QELFilesView::buttonCreateFolderClicked()
{
    const QModelIndex current = m_browser->currentIndex();
    if (!deviceInterface() || (current.isValid() && !m_model->isFolder(current)))
        return;
    m_newFolderSheet->setProblem(QString());
    m_newFolderSheet->nameField()->selectAll();
    m_newFolderSheet->open();
}

void QELFilesView::newFolderNameOKButtonClicked()
{
    const QString name = m_newFolderSheet->nameField()->text();
    if (!FileOperations::isAcceptableFolderName(name)) {
        m_newFolderSheet->setProblem(L("NEWFOLDERINVALID"));
        return;
    }
    m_newFolderSheet->hide();
    const QModelIndex current = m_browser->currentIndex();
    if (current.isValid() && !m_model->isFolder(current))
        return;
    const QPersistentModelIndex folder(current);
    const QString path = m_model->pathOf(current);
    runOnDevice([this, folder, path, name](QELDeviceInterface& device) -> std::function<void()> {
        const bool made = FileOperations::makeFolder(device, path, name);
        return [this, folder, made, name] {
            if (!made)
                report(L("NEWFOLDERFAILED"), name);
            reloadFolder(folder);
        };
    });
}

void QELFilesView::newFolderNameCancelClicked() { m_newFolderSheet->hide(); }

void QELFilesView::buttonRefreshClicked()
{
    const QModelIndex current = m_browser->currentIndex();
    if (!current.isValid()) {
        m_model->reload(QModelIndex());
        return;
    }
    // The selected column and then the last one: the path down to the
    // current item is found again once its column is listed afresh.
    const QString path = m_model->pathOf(current);
    const QString parentPath = m_model->pathOf(current.parent());
    auto restore = std::make_shared<QMetaObject::Connection>();
    *restore = connect(m_model, &QELFilesModel::folderListed, this,
                       [this, restore, path, parentPath](const QString& listed, bool) {
                           if (listed != parentPath)
                               return;
                           disconnect(*restore);
                           const QModelIndex again = m_model->indexOfPath(path);
                           if (again.isValid())
                               m_browser->setCurrentIndex(again);
                       });
    reloadFolder(current.parent());
}

void QELFilesView::buttonDeleteSelectionClicked()
{
    QString folder;
    const QModelIndexList items = selectedItems(&folder);
    if (items.isEmpty() || !deviceInterface())
        return;
    QStringList paths;
    for (const QModelIndex& index : items)
        paths << m_model->pathOf(index);
    m_deleteFolder = folder;
    m_deleteSheet->setItems(paths);
    m_deleteSheet->open();
}

void QELFilesView::confirmDeleteOKButtonClicked()
{
    m_deleteSheet->hide();
    const QStringList paths = m_deleteSheet->items();
    if (paths.isEmpty())
        return;
    const QString folder = m_deleteFolder;
    runOnDevice([this, paths, folder](QELDeviceInterface& device) -> std::function<void()> {
        const FileOperations::DeleteOutcome outcome = FileOperations::deleteItems(device, paths);
        return [this, outcome, folder] {
            if (!outcome.refused.isEmpty())
                report(L("DELETEREFUSED"), namesLine(outcome.refused));
            else if (!outcome.failed.isEmpty())
                report(Ln("DELETEFAILED", outcome.failed.size()), namesLine(outcome.failed));
            // Always: the folder's column is listed afresh, the path to it kept.
            reloadFolder(m_model->indexOfPath(folder));
        };
    });
}

void QELFilesView::confirmDeleteCancelButtonClicked() { m_deleteSheet->hide(); }

void QELFilesView::runOnDevice(std::function<std::function<void()>(QELDeviceInterface&)> work)
{
    QELDeviceInterface* device = deviceInterface();
    if (!device)
        return;
    ++m_pendingChanges;
    m_workers.start([this, device, work = std::move(work)] {
        std::function<void()> finish = work(*device);
        QMetaObject::invokeMethod(
            this,
            [this, finish = std::move(finish)] {
                --m_pendingChanges;
                finish();
                emit deviceChangeFinished();
            },
            Qt::QueuedConnection);
    });
}

void QELFilesView::report(const QString& top, const QString& bottom)
{
    if (QELDeviceCategoryContentViewDelegate* d = delegate())
        d->OnInformationStatusEventBottomLine(top, bottom);
}

void QELFilesView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGFILES"), args);
}

void QELFilesView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) {}

void QELFilesView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELFilesView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    const quint32 skipped = m_copyFiles ? m_copyFiles->skippedItemCount() : 0;
    reportCopyEnd(outcome, L("ALLFILECOPYINGCOMPLETE"), lastCopyFolder(),
                  skipped > 0 ? Ln("FILESSKIPPED", skipped) : QString());
    // Items put onto the device appear.
    reloadFolder(currentFolderIndex());
}
