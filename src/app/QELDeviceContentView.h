// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QPointer>

#include "BackupGate.h"
#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackupCompleteArguments.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInformation.h"
#include "QELFunctionDetail.h"
#include "QELPagedView.h"

class CategoryListModel;
struct CategoryDescriptor;
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
// What it knows of each category comes from its row of the category table
// (CategoryViews::registry()). Made once per run and reused for every
// device. Main thread only, except the backup's completion event, which it
// takes on any thread.
//
// The backup-derived categories are read from a backup of the device; the
// BackupGate makes it (once per connection, while a progress page shows),
// asks for the password of an encrypted one and shows the locked and failed
// pages. This page is the backup object's delegate and hands its events on.
class QELDeviceContentView : public QELPagedView,
                             public QELDeviceCategoryContentViewDelegate,
                             public QELDeviceBackUpDelegate,
                             private BackupGateDelegate {
    Q_OBJECT
public:
    using PasswordTestResult = BackupGate::PasswordTestResult;
    // What the page uses of the world for the backup-derived categories; an
    // empty member keeps the real one (tests put scripted ones in).
    struct BackupServices {
        // Makes the backup object on the first backup-derived selection.
        std::function<std::shared_ptr<QELDeviceBackup>()> makeBackup;
        // Starts a backup run of the device (PerformBackupForDeviceID).
        std::function<bool(QELDeviceBackup& backup, const QString& deviceID)> performBackup;
        // Tests a backup password; runs on a worker thread.
        std::function<PasswordTestResult(const QString& deviceID, const QString& password)>
            testPassword;
        // Makes a category's view (CategoryViews::makeView).
        std::function<QELDeviceCategoryContentView*(int viewType, const QRect& frame,
                                                    QELDeviceInterface* deviceInterface)>
            makeView;
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

    // The view types offered, in the rows' sidebar order: each category that
    // is always listed, or whose flag the device type has and whose own
    // condition holds (apps only below iOS 9, books only when
    // `booksOffered`). A type outside the flag table counts as type 0.
    static QList<int> categoriesForDevice(qint64 deviceType, int iOSMajorVersion,
                                          bool booksOffered);
    // The host-system rule for books: offered when the number after the first
    // "." of the system version text is below 9. A system without such a
    // version (this one) offers them.
    static bool booksOfferedForSystemVersion(const QString& versionText);
    // The device's major iOS version for the category list: 6 without a version.
    static int iOSMajorVersionOf(const QString& iOSVersion);

    // Keeps the media library and shows the music view: the cached one (with
    // its libraries), or a new one given these libraries. Any may be null.
    void setDeviceMediaLibraryWithITunesLibraryWithArtwork(
        std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
        std::shared_ptr<QELITunesLibrary> iTunesLibrary,
        std::shared_ptr<QELDeviceImageLibraryReader> artwork);
    std::shared_ptr<QELDeviceMediaLibrary> deviceMediaLibrary() const
    {
        return m_deviceMediaLibrary;
    }

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
    void setDelegate(QELDeviceContentViewDelegate* contentDelegate,
                     QELDeviceCategoryContentViewDelegate* viewDelegate);
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(QELDeviceInterface* deviceInterface)
    {
        m_deviceInterface = deviceInterface;
    }

    QListView* functionCollectionView() const { return m_sidebar; }
    QWidget* functionContentView() const { return m_content; }

    void setBackupServices(BackupServices services);
    // The backup object; null before the first backup-derived selection.
    std::shared_ptr<QELDeviceBackup> deviceBackup() const { return m_gate->deviceBackup(); }
    int queuedCategorySelection() const { return m_gate->queuedCategorySelection(); }
    bool isRetryBackupOperation() const { return m_gate->isRetryBackupOperation(); }
    // The backup pages.
    QELBackupNoticePage* deviceBackUpProgressView() const
    {
        return m_gate->deviceBackUpProgressView();
    }
    QELBackupPasswordPage* passwordRequiredView() const { return m_gate->passwordRequiredView(); }
    QELBackupNoticePage* dataEncryptedView() const { return m_gate->dataEncryptedView(); }
    QELBackupNoticePage* deviceLockedView() const { return m_gate->deviceLockedView(); }
    // Shown when the backup failed after its retry (not locked, not encrypted).
    QELBackupNoticePage* backupFailedView() const { return m_gate->backupFailedView(); }
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
    void OnProgressEventCurrentValueMaximumValue(const QString& text, double current,
                                                 double maximum) override;
    void OnCopyEndedInFolder(const QString& topLine, const QString& bottomLine,
                             const QString& folder) override;
    void OnInformationStatusEventBottomLine(const QString& topLine,
                                            const QString& bottomLine) override;
    void OnMediaViewChanged() override;
    void OnMediaSelectionPlayRequested() override;
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override;
    void OnCopyProgressEventWithBytes(const QString& title, const QString& description, int current,
                                      int maximum, quint64 bytesCopied, quint64 byteCount) override;
    void OnCopyBytesProgressEvent(const QString& title, const QString& description, int current,
                                  int maximum, quint64 bytesCopied, quint64 byteCount) override;
    void OnClear() override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

private:
    void handleSelectionChanged(const QModelIndex& current);
    void selectionSwitch(int viewType);
    void sendAvailability(int viewType, const QWidget* page);
    void showPage(QELPagedView* page);
    void cacheView(int viewType, QELDeviceCategoryContentView* view);
    bool isBackupDerived(int viewType) const;

    QString backupGateDeviceID() const override;
    void OnBackupGateDataReady(int viewType) override;
    void OnBackupGateRunEnded() override;

    QWidget* m_content = nullptr;
    QListView* m_sidebar = nullptr;
    CategoryListModel* m_functionList = nullptr;
    std::shared_ptr<QELDeviceMediaLibrary> m_deviceMediaLibrary;
    QHash<int, QPointer<QELDeviceCategoryContentView>> m_categoryViewsDictionary;
    QELDeviceContentViewDelegate* m_contentDelegate = nullptr;
    QELDeviceCategoryContentViewDelegate* m_viewDelegate = nullptr;
    QELDeviceInterface* m_deviceInterface = nullptr;

    // Makes a category's view (CategoryViews::makeView unless a test sets one).
    std::function<QELDeviceCategoryContentView*(int viewType, const QRect& frame,
                                                QELDeviceInterface* deviceInterface)>
        m_makeView;
    std::unique_ptr<BackupGate> m_gate;
};
