// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QThreadPool>

#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupCompleteArguments.h"

class QELBackupNoticePage;
class QELBackupPasswordPage;
class QELDeviceBackUpDelegate;
class QELDeviceBackup;
class QELPagedView;
class QUrl;
class QWidget;

// What the gate asks of the page it stands in front of. Main thread.
class BackupGateDelegate {
public:
    virtual ~BackupGateDelegate() = default;
    // The connected device, whose backup the categories read; empty: none.
    virtual QString backupGateDeviceID() const = 0;
    // The backup is there (and its password, if any, given): show the view
    // of this backup-derived category.
    virtual void OnBackupGateDataReady(int viewType) = 0;
    // A run this page waited for ended and its outcome is on screen.
    virtual void OnBackupGateRunEnded() = 0;
};

// What stands between a backup-derived category and its view: one backup of
// the device per connection while a progress page shows, a failed backup
// retried once after its status file is removed, a page to try again when
// the device is locked or the backup failed, and the password of an
// encrypted backup, tested by extracting one known file before any view
// reads it. Its pages are shown in the content area it is given. Main
// thread only, except OnDeviceBackupCompleteEvent, which takes any thread.
class BackupGate : public QObject {
    Q_OBJECT
public:
    using PasswordTestResult = QELDeviceBackupBrowser::PasswordTestResult;
    // What the gate uses of the world; an empty member keeps the real one.
    struct Services {
        // Makes the backup object on the first backup-derived selection.
        std::function<std::shared_ptr<QELDeviceBackup>()> makeBackup;
        // Starts a backup run of the device (PerformBackupForDeviceID).
        std::function<bool(QELDeviceBackup& backup, const QString& deviceID)> performBackup;
        // Tests a backup password; runs on a worker thread.
        std::function<PasswordTestResult(const QString& deviceID, const QString& password)>
            testPassword;
        // Opens a web page (the help article).
        std::function<void(const QUrl& url)> openUrl;
    };

    // `backupDelegate` becomes the backup object's delegate and hands its
    // completion events to OnDeviceBackupCompleteEvent. Not owned: all three
    // outlive the gate.
    BackupGate(QWidget* contentArea, BackupGateDelegate* delegate,
               QELDeviceBackUpDelegate* backupDelegate);
    ~BackupGate() override;

    void setServices(Services services);

    // A backup-derived category was selected: its view is shown once the
    // backup is ready; the last selection wins.
    void requestCategory(int viewType);
    // The device went: this connection's backup no longer counts, and
    // whatever of it still comes in is dropped. The backup object stays,
    // with its password and the queued category.
    void connectionGone();
    // The password or the encrypted-data page is in the content area; while
    // it is, no other view is made.
    bool passwordOrEncryptedPageIsUp() const;

    // The end of a backup run; any thread. Handled on the main thread.
    void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments);

    // The pages' buttons.
    void passwordRequiredContinueClicked();
    void passwordRequiredCancelButtonClicked();
    void passwordHelpLinkClicked();
    void dataEncryptedEnterEncryptionPasswordButtonClicked();
    void dataEncryptedHowToRemoveButtonClicked();
    void buttonLockedTryAgainClicked();

    // Null before the first backup-derived selection.
    std::shared_ptr<QELDeviceBackup> deviceBackup() const { return _deviceBackup; }
    int queuedCategorySelection() const { return _queuedCategorySelection; }
    bool isRetryBackupOperation() const { return _isRetryBackupOperation; }
    QELBackupNoticePage* deviceBackUpProgressView() const
    {
        return m_deviceBackUpProgressView.get();
    }
    QELBackupPasswordPage* passwordRequiredView() const { return m_passwordRequiredView.get(); }
    QELBackupNoticePage* dataEncryptedView() const { return m_dataEncryptedView.get(); }
    QELBackupNoticePage* deviceLockedView() const { return m_deviceLockedView.get(); }
    // Shown when the backup failed after its retry (not locked, not encrypted).
    QELBackupNoticePage* backupFailedView() const { return m_backupFailedView.get(); }
    // The help article of the password and encrypted-data pages.
    static QUrl supportArticleUrl();

private:
    void makeBackupPages();
    bool isInContentArea(const QWidget* page) const;
    void showBackupPage(QELPagedView* page);
    void showPasswordPage();
    bool startBackupRun(const QString& deviceID);
    void startDeferredBackup();
    void handleDeviceBackupComplete(const QELDeviceBackupCompleteArguments& arguments);
    void _performDeviceBackupIfRequired();
    void _beginDeviceBackup();
    void _viewBackupDerivedData();
    void _testPassword(const QString& password);
    void _testPasswordComplete(PasswordTestResult result);

    QWidget* m_contentArea;
    BackupGateDelegate* m_delegate;
    QELDeviceBackUpDelegate* m_backupDelegate;
    Services m_services;

    // Shared with the backup-derived views, which read from it.
    std::shared_ptr<QELDeviceBackup> _deviceBackup;
    int _queuedCategorySelection = 0;
    bool _isRetryBackupOperation = false;
    // The device whose backup run this page waits for (empty: none).
    QString m_awaitedBackupDevice;
    // The backup object was busy when this page's run was due: it starts
    // when the object's current run has ended.
    bool m_backupStartDeferred = false;
    // Runs started for connections that went, whose ends are still to come.
    int m_staleBackupRuns = 0;
    // This connection's backup is encrypted and its password not yet given.
    bool m_passwordRequired = false;
    bool m_passwordTestRunning = false;
    // Counts connections, so a password test of a gone one is dropped.
    quint64 m_connectionGeneration = 0;
    QThreadPool m_passwordTests;

    std::unique_ptr<QELBackupNoticePage> m_deviceBackUpProgressView;
    std::unique_ptr<QELBackupPasswordPage> m_passwordRequiredView;
    std::unique_ptr<QELBackupNoticePage> m_dataEncryptedView;
    std::unique_ptr<QELBackupNoticePage> m_deviceLockedView;
    std::unique_ptr<QELBackupNoticePage> m_backupFailedView;
};
