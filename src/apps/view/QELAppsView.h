// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QStringList>

#include "QELCopyDelegate.h"
#include "QELDeviceApplicationInstallDelegate.h"
#include "QELDeviceCategoryContentView.h"
#include "WorkerThreads.h"

class QELAppDetailSummary;
class QELAppListModel;
class QELAppsFilterModel;
class QELCollectionAppsView;
class QELCopyApps;
class QELTransferApps;
class QLabel;
class QProgressBar;
class QPushButton;
struct QELAppLoadProgressInfo;

// The apps category: the user apps of the connected device as a grid of
// icons, filtered by the search text; installs .ipa files, uninstalls the
// selection after asking, and copies apps as archives to a folder or into the
// music library. Loads, installs and uninstalls run on workers; a load asked
// for while one runs runs once after it. Main thread.
class QELAppsView : public QELDeviceCategoryContentView,
                    public QELCopyDelegate,
                    public QELDeviceApplicationInstallDelegate {
    Q_OBJECT
public:
    // Choosers stand in for the panels in tests.
    using FilesChooser = std::function<QStringList(QWidget* parent)>;
    // Asks whether to uninstall the apps of these names.
    using UninstallConfirmer = std::function<bool(const QStringList& names, QWidget* parent)>;

    explicit QELAppsView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELAppsView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Transfer | Search; }

    // (Re)loads the list.
    void loadApps();
    void search(const QString& text) override;
    void RequestCopy() override;
    void RequestTransfer() override;
    // Cancels both jobs and a running load.
    void RequestCancelCopy() override;

    void buttonInstallAppClicked();
    void menuUninstallAppClicked();
    void menuCopyToMacClicked() { RequestCopy(); }
    void menuCopyToITunesClicked() { RequestTransfer(); }

    // The packages an install panel's choice keeps: names ending in ".ipa",
    // any case.
    static QStringList installablePackages(const QStringList& chosen);
    // The count line: "XAPPS" in its plural form, then "LOADED".
    static QString countLine(int count);
    // The two lines an install ends with: its result, then "N of M installed"
    // and the packages the device refused.
    static QStringList installEndLines(int installed, int of, const QStringList& notInstalled);

    void setFilesChooser(FilesChooser chooser) { m_chooseFiles = std::move(chooser); }
    void setUninstallConfirmer(UninstallConfirmer confirm)
    {
        m_confirmUninstall = std::move(confirm);
    }

    // The apps listed, in list order, and those the grid shows.
    const std::vector<std::shared_ptr<QELAppDetailSummary>>& appsList() const;
    QList<QELAppDetailSummary> shownApps() const;
    QELCollectionAppsView* appCollectionView() const { return m_grid; }
    QLabel* labelStatus() const { return m_labelStatus; }
    // The page shown: "loading", "apps" or "noApps".
    QString shownPage() const;
    bool isLoading() const { return m_loading; }
    QELCopyApps* copyAppsJob();
    QELTransferApps* transferAppsJob();

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    // QELDeviceApplicationInstallDelegate (installing thread)
    void OnApplicationInstallEventForApplicationAppNumberOf(const QString& fileName, int appNumber,
                                                            int of) override;
    void OnApplicationInstallResultForApplicationInstalled(const QString& fileName,
                                                           bool installed) override;
    void OnApplicationInstallComplete() override;
    void OnApplicationInstallCompleteInstalledOf(int installed, int of) override;

signals:
    // A load has ended and its list is shown.
    void appsLoaded();

private:
    struct LoadResult;
    void showPage(QWidget* page);
    void _loadAppsWorkerThread(QELDeviceInterface* device);
    void _updateLoadProgress(const QELAppLoadProgressInfo& info);
    void _loadingAppsComplete(const std::shared_ptr<LoadResult>& result);
    void _installApp(const QStringList& packages);
    QList<QELAppDetailSummary> selectedApps() const;
    QVariantList queueForJob() const;

    QWidget* m_container = nullptr;
    QWidget* m_loadingAppsView = nullptr;
    QLabel* m_labelLoadingAppsStatus = nullptr;
    QProgressBar* m_progressIndicatorLoadingApps = nullptr;
    QWidget* m_viewContentView = nullptr;
    QLabel* m_labelStatus = nullptr;
    QWidget* m_viewNoAppsInstalled = nullptr;
    QLabel* m_labelNoApps = nullptr;
    QELCollectionAppsView* m_grid = nullptr;
    QELAppListModel* m_model = nullptr;
    QELAppsFilterModel* m_filter = nullptr;
    QPushButton* m_buttonInstall = nullptr;
    QPushButton* m_buttonUninstall = nullptr;

    QStringList m_applicationIDs;
    std::atomic<bool> _userCancelRequested{false};
    bool m_loading = false;
    bool m_loadPending = false;
    QString m_pendingNotice;
    QString m_pendingNoticeBottom;
    // The packages of the running install that the device refused.
    QStringList m_notInstalled;
    std::unique_ptr<QELCopyApps> _copyApps;
    std::unique_ptr<QELTransferApps> _transferApps;
    FilesChooser m_chooseFiles;
    UninstallConfirmer m_confirmUninstall;
    // Last: joined before the members the workers hand their results to go.
    WorkerThreads m_workers{QStringLiteral("An apps view worker")};
};
