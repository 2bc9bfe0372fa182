// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QPointer>

#include <QThreadPool>

#include <functional>
#include <memory>

#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupCompleteArguments.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInformation.h"
#include "QELFunctionDetail.h"
#include "QELPagedView.h"

class CategoryListModel;
class QELBackupNoticePage;
class QELBackupPasswordPage;
class QELDeviceBackup;
class QELDeviceCategoryContentView;
class QELDeviceContentViewDelegate;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;
class QELDeviceMediaLibrary;
class QELITunesLibrary;
class QListView;
class QModelIndex;
class QUrl;

// The main window's page once a device has been read: the category sidebar
// on the left, the selected category's view on the right. It decides which
// categories the device offers, makes each category's view on first
// selection and keeps it until the device goes, tells the application
// delegate what the shown category offers, and passes the views' events on.
// Made once per run and reused for every device. Main thread only, except
// the backup's completion event, which it takes on any thread.
//
// The backup-derived categories (contacts, calendars, notes, messages,
// voicemail, call logs, internet) are read from a backup of the device,
// made once per connection while a progress page shows; a failed backup is
// retried once; an encrypted one asks for its password, a locked device
// shows a page to try again.
class QELDeviceContentView : public QELPagedView,
                             public QELDeviceCategoryContentViewDelegate,
                             public QELDeviceBackUpDelegate {
    Q_OBJECT
public:
    using PasswordTestResult = QELDeviceBackupBrowser::PasswordTestResult;
    // What the page uses of the world for the backup-derived categories; an
    // empty member keeps the real one (tests put scripted ones in).
    struct BackupServices {
        // Makes the backup object on the first backup-derived selection.
        std::function<std::shared_ptr<QELDeviceBackup>()> makeBackup;
        // Starts a backup run of the device (PerformBackupForDeviceID).
        std::function<bool(QELDeviceBackup& backup, const QString& deviceID)> performBackup;
        // Tests a backup password; runs on a worker thread.
        std::function<PasswordTestResult(const QString& deviceID, const QString& password)> testPassword;
        // Makes a category's view (CategoryViews::makeView).
        std::function<QELDeviceCategoryContentView*(int viewType, const QRect& frame,
                                                    QELDeviceInterface* deviceInterface)> makeView;
        // Opens a web page (the help article).
        std::function<void(const QUrl& url)> openUrl;
    };

    // Builds the category list for the device and selects its first entry.
    QELDeviceContentView(const QRect& frame, const QELDeviceInformation& deviceInformation,
                         QELDeviceInterface* deviceInterface, QWidget* parent = nullptr);
    ~QELDeviceContentView() override;

    // Rebuilds the category list for a device type (with the device
    // interface's iOS version) and selects its first entry.
    void DisplayCategoriesForDevice(qint64 deviceType);
    QList<QELFunctionDetail> functionList() const;
    void setFunctionList(const QList<QELFunctionDetail>& list);

    // The view types offered, in sidebar order: music first, then each
    // category whose flag the device type has (apps only below iOS 9, books
    // only when `booksOffered`). A type outside the table counts as type 0.
    static QList<int> categoriesForDevice(qint64 deviceType, int iOSMajorVersion, bool booksOffered);
    // The host-system rule for books: offered when the number after the first
    // "." of the system version text is below 9. A system without such a
    // version (this one) offers them.
    static bool booksOfferedForSystemVersion(const QString& versionText);
    // The device's major iOS version for the category list: 6 without a version.
    static int iOSMajorVersionOf(const QString& iOSVersion);

    // Keeps the media library and shows the music view: the cached one (with
    // its libraries), or a new one given these libraries. Any may be null.
    void setDeviceMediaLibraryWithITunesLibraryWithArtwork(std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
                                                           std::shared_ptr<QELITunesLibrary> iTunesLibrary,
                                                           std::shared_ptr<QELDeviceImageLibraryReader> artwork);
    std::shared_ptr<QELDeviceMediaLibrary> deviceMediaLibrary() const { return m_deviceMediaLibrary; }

    // The page shown in the content area, whatever it is; null when empty.
    QWidget* currentPage() const;
    // The shown page when it is a category view; null otherwise. The control
    // bar sends its requests only to this, and only those it answers.
    QELDeviceCategoryContentView* GetCurrentCategoryContentView() const;
    // The device went: every page leaves the content area and the cache is
    // emptied. The backup object stays, with its password and the queued
    // category, but this connection's backup no longer counts, and whatever
    // of it still comes in is dropped.
    void ResetAllContentViews();
    // The preferences changed: the music view refreshes its lists.
    void RefreshIPodContentView();

    // Sends the availability notices of the selected category again (the
    // delegate was set after the selection).
    void resendAvailability();
    // Selects a category as a click in the sidebar does; false when the
    // sidebar does not list it.
    bool selectCategory(int viewType);
    // The view type of the selected entry; 0 when none.
    int selectedViewType() const;
    // The cached view of a type; null when none was made.
    QELDeviceCategoryContentView* cachedView(int viewType) const;
    int cachedViewCount() const { return int(m_categoryViewsDictionary.size()); }

    // Not owned: the application delegate, for both kinds of notice.
    void setDelegate(QELDeviceContentViewDelegate* contentDelegate, QELDeviceCategoryContentViewDelegate* viewDelegate);
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(QELDeviceInterface* deviceInterface) { m_deviceInterface = deviceInterface; }

    QListView* functionCollectionView() const { return m_sidebar; }
    QWidget* functionContentView() const { return m_content; }

    void setBackupServices(BackupServices services);
    // The backup object; null before the first backup-derived selection.
    std::shared_ptr<QELDeviceBackup> deviceBackup() const { return _deviceBackup; }
    int queuedCategorySelection() const { return _queuedCategorySelection; }
    bool isRetryBackupOperation() const { return _isRetryBackupOperation; }
    // The backup pages.
    QELBackupNoticePage* deviceBackUpProgressView() const { return m_deviceBackUpProgressView.get(); }
    QELBackupPasswordPage* passwordRequiredView() const { return m_passwordRequiredView.get(); }
    QELBackupNoticePage* dataEncryptedView() const { return m_dataEncryptedView.get(); }
    QELBackupNoticePage* deviceLockedView() const { return m_deviceLockedView.get(); }
    // Shown when the backup failed after its retry (not locked, not encrypted).
    QELBackupNoticePage* backupFailedView() const { return m_backupFailedView.get(); }
    // The help article of the password and encrypted-data pages.
    static QUrl supportArticleUrl();

    // The end of a backup run; any thread. Handled on the main thread.
    void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override;

    // The backup pages' buttons.
    void passwordRequiredContinueClicked();
    void passwordRequiredCancelButtonClicked();
    void passwordHelpLinkClicked();
    void dataEncryptedEnterEncryptionPasswordButtonClicked();
    void dataEncryptedHowToRemoveButtonClicked();
    void buttonLockedTryAgainClicked();

    // Category view events, passed on to the application delegate when set.
    void OnProgressEventCurrentValueMaximumValue(const QString& text, double current, double maximum) override;
    void OnInformationStatusEventBottomLine(const QString& topLine, const QString& bottomLine) override;
    void OnMediaViewChanged() override;
    void OnMediaSelectionPlayRequested() override;
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(const QString& title,
                                                                           const QString& description, int current,
                                                                           int maximum) override;
    void OnClear() override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied) override;

private:
    void handleSelectionChanged(const QModelIndex& current);
    void selectionSwitch(int viewType);
    void sendAvailability(int viewType, const QWidget* page);
    void showPage(QELPagedView* page);
    void cacheView(int viewType, QELDeviceCategoryContentView* view);

    void makeBackupPages();
    bool isInContentArea(const QWidget* page) const;
    bool passwordOrEncryptedPageIsUp() const;
    QString connectedDeviceID() const;
    void showBackupPage(QELPagedView* page);
    void showPasswordPage();
    bool startBackupRun(const QString& deviceID);
    void startDeferredBackup();
    void handleDeviceBackupComplete(const QELDeviceBackupCompleteArguments& arguments);
    void _performDeviceBackupIfRequired();
    void _beginDeviceBackup();
    void _viewBackupDerivedData();
    void _viewBackupDerivedDataOnMainThread();
    void _testPassword(const QString& password);
    void _testPasswordComplete(PasswordTestResult result);

    QWidget* m_content = nullptr;
    QListView* m_sidebar = nullptr;
    CategoryListModel* m_functionList = nullptr;
    std::shared_ptr<QELDeviceMediaLibrary> m_deviceMediaLibrary;
    QHash<int, QPointer<QELDeviceCategoryContentView>> m_categoryViewsDictionary;
    QELDeviceContentViewDelegate* m_contentDelegate = nullptr;
    QELDeviceCategoryContentViewDelegate* m_viewDelegate = nullptr;
    QELDeviceInterface* m_deviceInterface = nullptr;

    BackupServices m_services;
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
