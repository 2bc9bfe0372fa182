// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppsView.h"

#include <algorithm>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "LocalizedStrings.h"
#include "Log.h"
#include "QELAppDetailSummary.h"
#include "QELAppListModel.h"
#include "QELAppLoadProgressInfo.h"
#include "QELAppsFilterModel.h"
#include "QELCollectionAppsView.h"
#include "QELCopyApps.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELTransferApps.h"

namespace {

QString installingTitle() { return L("INSTALLINGAPPS"); }

QStringList choosePackagesWithPanel(QWidget* parent)
{
    QFileDialog panel(parent, L("CHOOSEAPPSTOINSTALL"),
                      QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setOption(QFileDialog::ReadOnly);
    panel.setNameFilters(
        {L("APPPACKAGES") + QStringLiteral(" (*.ipa)"), L("ALLFILES") + QStringLiteral(" (*)")});
    panel.setLabelText(QFileDialog::Accept, L("INSTALLAPPS"));
    if (panel.exec() != QDialog::Accepted)
        return {};
    return panel.selectedFiles();
}

bool confirmUninstallWithAlert(const QStringList& names, QWidget* parent)
{
    QMessageBox box(QMessageBox::Warning, L("CONFIRMUNINSTALL"),
                    LocalizedStrings::text(QStringLiteral("CONFIRMUNINSTALLDETAIL"))
                        .arg(names.join(QLatin1Char('\n'))),
                    QMessageBox::Cancel, parent);
    QPushButton* proceed = box.addButton(L("UNINSTALLAPPS"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == proceed;
}

QWidget* centredLabelPage(QLabel** label, const QString& name, QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(name);
    page->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(page);
    *label = new QLabel(page);
    (*label)->setAlignment(Qt::AlignCenter);
    (*label)->setWordWrap(true);
    layout->addStretch(1);
    layout->addWidget(*label);
    layout->addStretch(1);
    return page;
}

} // namespace

// What a load hands to the main thread, in one piece.
struct QELAppsView::LoadResult {
    QStringList applicationIDs;
    std::vector<std::shared_ptr<QELAppDetailSummary>> apps;
    bool opened = false;
    bool cancelled = false;
};

QELAppsView::QELAppsView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_chooseFiles(choosePackagesWithPanel)
    , m_confirmUninstall(confirmUninstallWithAlert)
{
    setObjectName(QStringLiteral("QELAppsView"));
    m_container = new QWidget;
    m_container->setObjectName(QStringLiteral("viewContainer"));
    auto* containerLayout = new QVBoxLayout(m_container);
    containerLayout->setContentsMargins(0, 0, 0, 0);

    // The loading page.
    m_loadingAppsView = new QWidget(m_container);
    m_loadingAppsView->setObjectName(QStringLiteral("loadingAppsView"));
    m_loadingAppsView->setAutoFillBackground(true);
    {
        auto* layout = new QVBoxLayout(m_loadingAppsView);
        m_labelLoadingAppsStatus = new QLabel(L("LOADINGAPPS"), m_loadingAppsView);
        m_labelLoadingAppsStatus->setObjectName(QStringLiteral("labelLoadingAppsStatus"));
        m_labelLoadingAppsStatus->setAlignment(Qt::AlignCenter);
        m_progressIndicatorLoadingApps = new QProgressBar(m_loadingAppsView);
        m_progressIndicatorLoadingApps->setObjectName(
            QStringLiteral("progressIndicatorLoadingApps"));
        m_progressIndicatorLoadingApps->setTextVisible(false);
        m_progressIndicatorLoadingApps->setMaximumWidth(320);
        m_progressIndicatorLoadingApps->setRange(0, 0);
        layout->addStretch(1);
        layout->addWidget(m_labelLoadingAppsStatus);
        layout->addWidget(m_progressIndicatorLoadingApps, 0, Qt::AlignHCenter);
        layout->addStretch(1);
    }

    // The grid page: the buttons and the count line above the grid.
    m_viewContentView = new QWidget(m_container);
    m_viewContentView->setObjectName(QStringLiteral("viewContentView"));
    {
        auto* layout = new QVBoxLayout(m_viewContentView);
        auto* bar = new QHBoxLayout;
        m_buttonInstall = new QPushButton(L("INSTALLAPPS"), m_viewContentView);
        m_buttonInstall->setObjectName(QStringLiteral("buttonInstallApp"));
        m_buttonUninstall = new QPushButton(L("UNINSTALLAPPS"), m_viewContentView);
        m_buttonUninstall->setObjectName(QStringLiteral("buttonUninstallApp"));
        auto* copyToMac = new QPushButton(L("COPYTOMAC"), m_viewContentView);
        copyToMac->setObjectName(QStringLiteral("buttonCopyToMac"));
        auto* copyToITunes = new QPushButton(L("COPYTOITUNES"), m_viewContentView);
        copyToITunes->setObjectName(QStringLiteral("buttonCopyToITunes"));
        m_labelStatus = new QLabel(m_viewContentView);
        m_labelStatus->setObjectName(QStringLiteral("labelStatus"));
        bar->addWidget(m_buttonInstall);
        bar->addWidget(m_buttonUninstall);
        bar->addWidget(copyToMac);
        bar->addWidget(copyToITunes);
        bar->addStretch(1);
        bar->addWidget(m_labelStatus);
        layout->addLayout(bar);
        m_grid = new QELCollectionAppsView(m_viewContentView);
        layout->addWidget(m_grid, 1);
        connect(m_buttonInstall, &QPushButton::clicked, this,
                &QELAppsView::buttonInstallAppClicked);
        connect(m_buttonUninstall, &QPushButton::clicked, this,
                &QELAppsView::menuUninstallAppClicked);
        connect(copyToMac, &QPushButton::clicked, this, &QELAppsView::menuCopyToMacClicked);
        connect(copyToITunes, &QPushButton::clicked, this, &QELAppsView::menuCopyToITunesClicked);
    }

    m_viewNoAppsInstalled =
        centredLabelPage(&m_labelNoApps, QStringLiteral("viewNoAppsInstalled"), m_container);
    m_labelNoApps->setText(L("NOAPPSINSTALLED"));
    // The no-apps page keeps the install button: an empty device can get apps.
    {
        auto* install = new QPushButton(L("INSTALLAPPS"), m_viewNoAppsInstalled);
        install->setObjectName(QStringLiteral("buttonInstallAppNoApps"));
        static_cast<QVBoxLayout*>(m_viewNoAppsInstalled->layout())
            ->insertWidget(2, install, 0, Qt::AlignHCenter);
        connect(install, &QPushButton::clicked, this, &QELAppsView::buttonInstallAppClicked);
    }

    for (QWidget* page : {m_loadingAppsView, m_viewContentView, m_viewNoAppsInstalled})
        containerLayout->addWidget(page);
    setView(m_container);

    m_model = new QELAppListModel(this);
    m_filter = new QELAppsFilterModel(this);
    m_filter->setSourceModel(m_model);
    m_grid->setModel(m_filter);
    connect(m_grid, &QELCollectionAppsView::iconChanged, m_model, &QELAppListModel::iconChanged);
    showPage(m_loadingAppsView);
}

QELAppsView::~QELAppsView()
{
    if (deviceInterface() && deviceInterface()->applicationInstallDelegate() == this)
        deviceInterface()->setApplicationInstallDelegate(nullptr);
    _userCancelRequested = true;
    // Jobs first: their workers post to this view.
    _copyApps.reset();
    _transferApps.reset();
    m_workers.stopAndJoinAll();
}

void QELAppsView::showPage(QWidget* page)
{
    for (QWidget* each : {m_loadingAppsView, m_viewContentView, m_viewNoAppsInstalled})
        each->setVisible(each == page);
}

QString QELAppsView::shownPage() const
{
    if (m_viewContentView->isVisibleTo(m_container))
        return QStringLiteral("apps");
    if (m_viewNoAppsInstalled->isVisibleTo(m_container))
        return QStringLiteral("noApps");
    return QStringLiteral("loading");
}

QString QELAppsView::countLine(int count) { return Ln("XAPPS", count) + L("LOADED"); }

QStringList QELAppsView::installablePackages(const QStringList& chosen)
{
    QStringList packages;
    for (const QString& file : chosen) {
        if (file.endsWith(QLatin1String(".ipa"), Qt::CaseInsensitive)
            && QFileInfo(file).fileName().size() > 4)
            packages.append(file);
    }
    return packages;
}

// --- Loading -------------------------------------------------------------

void QELAppsView::loadApps()
{
    if (m_loading) {
        // Runs once after the running load, which shares the connection.
        m_loadPending = true;
        return;
    }
    m_loading = true;
    m_loadPending = false;
    m_progressIndicatorLoadingApps->setRange(0, 0);
    m_labelLoadingAppsStatus->setText(L("LOADINGAPPS"));
    showPage(m_loadingAppsView);
    QELDeviceInterface* device = deviceInterface();
    m_grid->setDeviceInterface(device);
    m_workers.reapFinished();
    if (!m_workers.start([this, device] { _loadAppsWorkerThread(device); }))
        m_loading = false;
}

void QELAppsView::_loadAppsWorkerThread(QELDeviceInterface* device)
{
    auto result = std::make_shared<LoadResult>();
    if (!device)
        qCWarning(lcOrvane) << "NIL DI !!";
    if (device) {
        result->opened = device->StartAppsService();
        result->applicationIDs = device->getAppIDList();
        if (!result->applicationIDs.isEmpty()) {
            _userCancelRequested = false;
            const int count = static_cast<int>(result->applicationIDs.size());
            int n = 1;
            for (const QString& id : std::as_const(result->applicationIDs)) {
                if (_userCancelRequested) {
                    result->cancelled = true;
                    break;
                }
                QELAppLoadProgressInfo info{
                    double(n), double(count),
                    LocalizedStrings::text(QStringLiteral("LOADINGAPPXOFY")).arg(n).arg(count)};
                QMetaObject::invokeMethod(
                    this, [this, info] { _updateLoadProgress(info); }, Qt::QueuedConnection);
                const std::optional<AppDetail> detail = device->GetAppDetailByBundleId(id);
                auto app = std::make_shared<QELAppDetailSummary>();
                if (detail) {
                    app->setBundleName(detail->bundleDisplayName);
                    app->setBundleID(detail->bundleId);
                    app->setBundleVersion(detail->bundleVersion);
                }
                result->apps.push_back(std::move(app));
                ++n;
            }
            std::stable_sort(result->apps.begin(), result->apps.end(),
                             [](const auto& a, const auto& b) {
                                 return QELAppDetailSummary::nameOrder(*a, *b);
                             });
        }
        device->StopAppsService();
    }
    if (_userCancelRequested)
        result->cancelled = true;
    QMetaObject::invokeMethod(
        this, [this, result] { _loadingAppsComplete(result); }, Qt::QueuedConnection);
}

void QELAppsView::_updateLoadProgress(const QELAppLoadProgressInfo& info)
{
    m_progressIndicatorLoadingApps->setRange(0, static_cast<int>(info.max));
    m_progressIndicatorLoadingApps->setValue(static_cast<int>(info.value));
    if (!info.progressDetail.isEmpty())
        m_labelLoadingAppsStatus->setTextFormat(Qt::PlainText);
    m_labelLoadingAppsStatus->setText(info.progressDetail);
    if (auto* receiver = delegate())
        receiver->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
            L("LOADINGAPPS"), info.progressDetail, static_cast<int>(info.value),
            static_cast<int>(info.max));
}

void QELAppsView::_loadingAppsComplete(const std::shared_ptr<LoadResult>& result)
{
    m_loading = false;
    m_applicationIDs = result->applicationIDs;
    if (!result->applicationIDs.isEmpty()) {
        m_model->setApps(result->apps);
        m_grid->setItems(result->apps);
        m_labelStatus->setText(countLine(static_cast<int>(result->apps.size())));
        showPage(m_viewContentView);
    } else {
        m_model->setApps({});
        m_grid->setItems({});
        // A device that could not be asked is not one without apps.
        m_labelNoApps->setText(result->opened ? L("NOAPPSINSTALLED") : L("APPSNOTREAD"));
        showPage(m_viewNoAppsInstalled);
    }
    if (auto* receiver = delegate()) {
        if (result->cancelled)
            receiver->OnInformationStatusEventBottomLine(L("USERCANCELLEDONE"),
                                                         L("USERCANCELLEDTWO"));
        else if (!m_pendingNotice.isEmpty())
            receiver->OnInformationStatusEventBottomLine(m_pendingNotice, m_pendingNoticeBottom);
        else
            receiver->OnClear();
    }
    m_pendingNotice.clear();
    m_pendingNoticeBottom.clear();
    if (QELDeviceInterface* device = deviceInterface())
        device->setApplicationInstallDelegate(this);
    emit appsLoaded();
    if (m_loadPending)
        loadApps();
}

// --- Search and selection ------------------------------------------------

void QELAppsView::search(const QString& text) { m_filter->setSearchText(text); }

const std::vector<std::shared_ptr<QELAppDetailSummary>>& QELAppsView::appsList() const
{
    return m_model->apps();
}

QList<QELAppDetailSummary> QELAppsView::shownApps() const
{
    QList<QELAppDetailSummary> apps;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        if (const auto app = m_model->appAt(m_filter->mapToSource(m_filter->index(row, 0)).row()))
            apps.append(*app);
    }
    return apps;
}

QList<QELAppDetailSummary> QELAppsView::selectedApps() const
{
    QList<QELAppDetailSummary> apps;
    QModelIndexList rows = m_grid->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        if (const auto app = m_model->appAt(m_filter->mapToSource(index).row()))
            apps.append(*app);
    }
    return apps;
}

QVariantList QELAppsView::queueForJob() const
{
    QList<QELAppDetailSummary> apps = selectedApps();
    if (apps.isEmpty())
        apps = shownApps();
    QVariantList queue;
    for (QELAppDetailSummary app : apps) {
        // The job needs names and identifiers only; the icons stay with the view.
        app.setBundleIcon({});
        queue.append(QVariant::fromValue(app));
    }
    return queue;
}

// --- Copies --------------------------------------------------------------

QELCopyApps* QELAppsView::copyAppsJob()
{
    if (!_copyApps) {
        _copyApps = std::make_unique<QELCopyApps>();
        _copyApps->setDelegate(this);
    }
    _copyApps->setDeviceInteface(deviceInterface());
    return _copyApps.get();
}

QELTransferApps* QELAppsView::transferAppsJob()
{
    if (!_transferApps) {
        _transferApps = std::make_unique<QELTransferApps>();
        _transferApps->setDelegate(this);
    }
    _transferApps->setDeviceInteface(deviceInterface());
    return _transferApps.get();
}

void QELAppsView::RequestCopy()
{
    QELCopyApps* job = copyAppsJob();
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    job->setBaseCopyPath(folder);
    job->cancelCopy();
    job->setItemQueue(queueForJob());
    job->startCopy();
}

void QELAppsView::RequestTransfer()
{
    QELTransferApps* job = transferAppsJob();
    job->cancelCopy();
    forgetCopyFolder();
    job->setItemQueue(queueForJob());
    job->startCopy();
}

void QELAppsView::RequestCancelCopy()
{
    if (_copyApps)
        _copyApps->cancelCopy();
    if (_transferApps)
        _transferApps->cancelCopy();
    _userCancelRequested = true;
}

void QELAppsView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    QString title;
    if (args.senderClass() == typeid(QELTransferApps))
        title = L("COPYINGAPPS");
    else if (args.senderClass() == typeid(QELCopyApps))
        title = L("COPYINGAPPSTOMAC");
    else
        return;
    reportCopyItemBegin(title, args);
}

void QELAppsView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) {}

void QELAppsView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELAppsView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLAPPCOPYINGCOMPLETED"), lastCopyFolder());
}

// --- Install and uninstall -----------------------------------------------

void QELAppsView::buttonInstallAppClicked()
{
    const QStringList packages = installablePackages(m_chooseFiles(this));
    if (packages.isEmpty())
        return;
    QELDeviceInterface* device = deviceInterface();
    if (!device)
        return;
    device->setApplicationInstallDelegate(this);
    m_notInstalled.clear();
    m_workers.reapFinished();
    m_workers.start([device, packages] {
        device->StartAppsService();
        device->InstallApplicationsFromPaths(packages);
        device->StopAppsService();
    });
}

void QELAppsView::OnApplicationInstallEventForApplicationAppNumberOf(const QString& fileName,
                                                                     int appNumber, int of)
{
    QMetaObject::invokeMethod(
        this,
        [this, fileName, appNumber, of] {
            if (auto* receiver = delegate())
                receiver->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
                    installingTitle(), fileName, appNumber, of);
        },
        Qt::QueuedConnection);
}

void QELAppsView::OnApplicationInstallResultForApplicationInstalled(const QString& fileName,
                                                                    bool installed)
{
    if (installed)
        return;
    qCInfo(lcOrvane) << "Not installed:" << fileName;
    QMetaObject::invokeMethod(
        this, [this, fileName] { m_notInstalled.append(fileName); }, Qt::QueuedConnection);
}

QStringList QELAppsView::installEndLines(int installed, int of, const QStringList& notInstalled)
{
    QString top;
    if (of > 0 && installed >= of)
        top = Ln("APPSINSTALLEDALL", of);
    else if (installed <= 0)
        top = Ln("APPSINSTALLEDNONE", of);
    else
        top = L("APPSINSTALLEDSOME");
    QString bottom = L("APPSINSTALLED").arg(QLocale().toString(installed), QLocale().toString(of));
    if (!notInstalled.isEmpty())
        bottom += QStringLiteral(" — ")
            + L("APPSNOTINSTALLEDNAMES").arg(notInstalled.join(QStringLiteral(", ")));
    return {top, bottom};
}

void QELAppsView::OnApplicationInstallComplete()
{
    OnApplicationInstallCompleteInstalledOf(-1, -1);
}

void QELAppsView::OnApplicationInstallCompleteInstalledOf(int installed, int of)
{
    QMetaObject::invokeMethod(
        this,
        [this, installed, of] {
            if (auto* receiver = delegate())
                receiver->OnClear();
            if (of >= 0) {
                // The result, shown once the reload that follows has ended.
                const QStringList lines = installEndLines(installed, of, m_notInstalled);
                m_pendingNotice = lines.value(0);
                m_pendingNoticeBottom = lines.value(1);
            }
            m_notInstalled.clear();
            loadApps();
        },
        Qt::QueuedConnection);
}

void QELAppsView::menuUninstallAppClicked()
{
    const QList<QELAppDetailSummary> selection = selectedApps();
    if (selection.isEmpty())
        return;
    QStringList ids;
    QStringList names;
    for (const QELAppDetailSummary& app : selection) {
        if (app.bundleID().isEmpty())
            continue;
        ids.append(app.bundleID());
        names.append(app.bundleName().isEmpty() ? app.bundleID() : app.bundleName());
    }
    if (ids.isEmpty() || !m_confirmUninstall(names, this))
        return;
    QELDeviceInterface* device = deviceInterface();
    if (!device)
        return;
    m_workers.reapFinished();
    m_workers.start([this, device, ids] {
        device->StartAppsService();
        device->UninstallApplicationsWithBundleIds(ids);
        device->StopAppsService();
        QMetaObject::invokeMethod(
            this, [this] { loadApps(); }, Qt::QueuedConnection);
    });
}
