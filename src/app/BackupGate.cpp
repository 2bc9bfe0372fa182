// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupGate.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QUrl>

#include "LocalizedStrings.h"
#include "Log.h"
#include "QELBackupNoticePage.h"
#include "QELBackupPasswordPage.h"
#include "QELDeviceBackup.h"
#include "SpinnerIndicator.h"

namespace {

// The file whose extraction tells whether a backup password is right.
const char* const kPasswordTestFile = "Library/Preferences/com.apple.springboard.plist";
const char* const kPasswordTestDomain = "HomeDomain";

// Runs `work` on the thread of `context` and returns once it has run; called
// on that thread already, it runs at once (waiting on itself would never end).
template <class Work> void runOnThreadOfAndWait(QObject* context, Work work)
{
    if (QThread::currentThread() == context->thread())
        work();
    else
        QMetaObject::invokeMethod(context, std::move(work), Qt::BlockingQueuedConnection);
}

} // namespace

BackupGate::BackupGate(QWidget* contentArea, BackupGateDelegate* delegate,
                       QELDeviceBackUpDelegate* backupDelegate)
    : m_contentArea(contentArea)
    , m_delegate(delegate)
    , m_backupDelegate(backupDelegate)
{
    m_passwordTests.setMaxThreadCount(1);
    setServices({});
    makeBackupPages();
}

BackupGate::~BackupGate()
{
    // A password test still running hands its answer to this gate.
    m_passwordTests.waitForDone();
    if (_deviceBackup)
        _deviceBackup->setDelegate(nullptr);
    // The views that read the backup are gone by now, so this is the last
    // reference (unless a test keeps one): the backup object stops and joins
    // its run while the gate that a late completion event is posted to still
    // exists.
    _deviceBackup.reset();
}

void BackupGate::setServices(Services services)
{
    if (!services.makeBackup)
        services.makeBackup = [] { return std::make_shared<QELDeviceBackup>(); };
    if (!services.performBackup)
        services.performBackup = [](QELDeviceBackup& backup, const QString& deviceID) {
            return backup.PerformBackupForDeviceID(deviceID);
        };
    if (!services.testPassword)
        services.testPassword = [](const QString& deviceID, const QString& password) {
            return QELDeviceBackupBrowser::
                TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                    QString::fromLatin1(kPasswordTestFile), deviceID, password,
                    QString::fromLatin1(kPasswordTestDomain));
        };
    if (!services.openUrl)
        services.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    m_services = std::move(services);
}

QUrl BackupGate::supportArticleUrl() { return QUrl(L("BACKUPHELPURL")); }

void BackupGate::makeBackupPages()
{
    m_deviceBackUpProgressView = std::make_unique<QELBackupNoticePage>(
        QStringLiteral("deviceBackUpProgressView"), L("BACKINGUPDEVICE"),
        L("BACKINGUPDEVICEDETAIL"), true);
    // The spinner turns from the start; the page is only seen while a backup runs.
    m_deviceBackUpProgressView->spinner()->setObjectName(
        QStringLiteral("performingBackupProgressBar"));
    m_deviceBackUpProgressView->spinner()->startAnimation();

    m_passwordRequiredView = std::make_unique<QELBackupPasswordPage>();
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::continueClicked, this,
            &BackupGate::passwordRequiredContinueClicked);
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::cancelClicked, this,
            &BackupGate::passwordRequiredCancelButtonClicked);
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::helpLinkClicked, this,
            &BackupGate::passwordHelpLinkClicked);

    m_dataEncryptedView = std::make_unique<QELBackupNoticePage>(
        QStringLiteral("dataEncryptedView"), L("DATAENCRYPTED"), L("DATAENCRYPTEDDETAIL"), false);
    connect(m_dataEncryptedView->addButton(QStringLiteral("howToRemoveButton"),
                                           L("DATAENCRYPTEDHOWTOREMOVE")),
            &QPushButton::clicked, this, &BackupGate::dataEncryptedHowToRemoveButtonClicked);
    connect(m_dataEncryptedView->addButton(QStringLiteral("enterPasswordButton"),
                                           L("DATAENCRYPTEDENTERPASSWORD")),
            &QPushButton::clicked, this,
            &BackupGate::dataEncryptedEnterEncryptionPasswordButtonClicked);

    m_deviceLockedView = std::make_unique<QELBackupNoticePage>(
        QStringLiteral("deviceLockedView"), L("DEVICELOCKED"), L("DEVICELOCKEDDETAIL"), false);
    m_backupFailedView = std::make_unique<QELBackupNoticePage>(
        QStringLiteral("backupFailedView"), L("BACKUPFAILED"), L("BACKUPFAILEDDETAIL"), false);
    for (QELBackupNoticePage* page : {m_deviceLockedView.get(), m_backupFailedView.get()})
        connect(page->addButton(QStringLiteral("tryAgainButton"), L("TRYAGAIN")),
                &QPushButton::clicked, this, &BackupGate::buttonLockedTryAgainClicked);
}

void BackupGate::requestCategory(int viewType)
{
    _queuedCategorySelection = viewType;
    _performDeviceBackupIfRequired();
}

void BackupGate::connectionGone()
{
    // The next connection makes its own backup; a run of this one that is
    // still under way is dropped when it ends, and so is a password test.
    if (_deviceBackup)
        _deviceBackup->setHasBackUpBeenPerformed(false);
    if (!m_awaitedBackupDevice.isEmpty() && !m_backupStartDeferred)
        ++m_staleBackupRuns;
    m_awaitedBackupDevice.clear();
    m_backupStartDeferred = false;
    m_passwordRequired = false;
    m_passwordTestRunning = false;
    ++m_connectionGeneration;
    m_passwordRequiredView->setTesting(false);
    m_passwordRequiredView->reset();
}

bool BackupGate::isInContentArea(const QWidget* page) const
{
    return page && page->parentWidget() == m_contentArea;
}

bool BackupGate::passwordOrEncryptedPageIsUp() const
{
    return isInContentArea(m_passwordRequiredView.get())
        || isInContentArea(m_dataEncryptedView.get());
}

void BackupGate::showBackupPage(QELPagedView* page)
{
    page->addToSuperview(m_contentArea);
    page->removeAllOtherSubViews();
    page->resize();
}

void BackupGate::showPasswordPage()
{
    m_passwordRequiredView->reset();
    showBackupPage(m_passwordRequiredView.get());
    m_passwordRequiredView->passwordtextField()->setFocus();
}

void BackupGate::_performDeviceBackupIfRequired()
{
    if (!_deviceBackup) {
        _deviceBackup = m_services.makeBackup();
        _deviceBackup->setDelegate(m_backupDelegate);
    }
    _beginDeviceBackup();
}

void BackupGate::_beginDeviceBackup()
{
    // A run is under way: its end shows the category queued last.
    if (!m_awaitedBackupDevice.isEmpty()) {
        showBackupPage(m_deviceBackUpProgressView.get());
        return;
    }
    // A run of a connection that went may still mark the object as backed up.
    if (m_staleBackupRuns == 0 && _deviceBackup->hasBackUpBeenPerformed()) {
        if (passwordOrEncryptedPageIsUp())
            return;
        // An encrypted backup is read only after its password was given.
        if (m_passwordRequired)
            showPasswordPage();
        else
            _viewBackupDerivedData();
        return;
    }
    const QString deviceID = m_delegate->backupGateDeviceID();
    if (deviceID.isEmpty()) {
        qCWarning(lcOrvane) << "No device to back up";
        showBackupPage(m_backupFailedView.get());
        return;
    }
    showBackupPage(m_deviceBackUpProgressView.get());
    _isRetryBackupOperation = false;
    m_awaitedBackupDevice = deviceID;
    if (m_staleBackupRuns > 0 || !startBackupRun(deviceID))
        m_backupStartDeferred = true;
}

bool BackupGate::startBackupRun(const QString& deviceID)
{
    return m_services.performBackup(*_deviceBackup, deviceID);
}

void BackupGate::startDeferredBackup()
{
    if (!m_backupStartDeferred || m_staleBackupRuns > 0)
        return;
    m_backupStartDeferred = !startBackupRun(m_awaitedBackupDevice);
}

void BackupGate::OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments)
{
    // Always queued, also from the main thread, so the event never runs in
    // the middle of the step that started the backup.
    QMetaObject::invokeMethod(
        this, [this, arguments] { handleDeviceBackupComplete(arguments); }, Qt::QueuedConnection);
}

void BackupGate::handleDeviceBackupComplete(const QELDeviceBackupCompleteArguments& arguments)
{
    if (m_staleBackupRuns > 0) {
        // The end of a gone connection's run: its backup counts for nothing now.
        --m_staleBackupRuns;
        if (arguments.successfull())
            _deviceBackup->setHasBackUpBeenPerformed(false);
        qCInfo(lcOrvane) << "Backup of a device that has gone ended; dropped";
        startDeferredBackup();
        return;
    }
    if (m_awaitedBackupDevice.isEmpty() || m_backupStartDeferred
        || arguments.deviceID() != m_awaitedBackupDevice) {
        // Not the run this page waits for (another user of the object).
        qCInfo(lcOrvane) << "Backup end of another run; dropped";
        startDeferredBackup();
        return;
    }

    if (!arguments.successfull() && !_isRetryBackupOperation) {
        qCInfo(lcOrvane) << "Failed backup - trying once more...";
        _isRetryBackupOperation = true;
        if (_deviceBackup->removeBackupStatusForDeviceID(arguments.deviceID())) {
            qCInfo(lcOrvane) << "Status.plist cleaned up.. starting backup again...";
            if (startBackupRun(arguments.deviceID()))
                return;
        }
    }
    m_awaitedBackupDevice.clear();

    // The user may have gone to a category that was shown before; then the
    // pages stay, and the next backup-derived selection goes on from here.
    const bool waiting = isInContentArea(m_deviceBackUpProgressView.get());
    m_deviceBackUpProgressView->close();
    if (arguments.encrypted())
        m_passwordRequired = true;
    if (!waiting)
        return;
    if (arguments.encrypted())
        showPasswordPage();
    else if (arguments.locked())
        showBackupPage(m_deviceLockedView.get());
    else if (!arguments.successfull()) {
        // An empty category would look like a device without data. Without
        // its tool the program cannot back up any device: checking the
        // device would not help.
        m_backupFailedView->detailLabel()->setText(
            arguments.toolMissing() ? L("BACKUPTOOLMISSINGDETAIL") : L("BACKUPFAILEDDETAIL"));
        showBackupPage(m_backupFailedView.get());
    } else
        _viewBackupDerivedData();
    m_delegate->OnBackupGateRunEnded();
}

void BackupGate::_viewBackupDerivedData()
{
    runOnThreadOfAndWait(this,
                         [this] { m_delegate->OnBackupGateDataReady(_queuedCategorySelection); });
}

void BackupGate::passwordRequiredContinueClicked()
{
    if (m_passwordTestRunning || !_deviceBackup)
        return;
    m_passwordRequiredView->setNotice(QString());
    const QString typed = m_passwordRequiredView->typedPassword();
    _deviceBackup->setPassword(typed);
    m_passwordRequiredView->setTesting(true);
    _testPassword(typed);
}

void BackupGate::_testPassword(const QString& password)
{
    m_passwordTestRunning = true;
    // The answer is handed over without waiting for it: the destructor waits
    // for this worker, so a worker waiting for the main thread would never end.
    m_passwordTests.start([this, test = m_services.testPassword,
                           deviceID = _deviceBackup->deviceUID(), password,
                           generation = m_connectionGeneration] {
        const PasswordTestResult result = test(deviceID, password);
        QMetaObject::invokeMethod(
            this,
            [this, result, generation] {
                if (generation == m_connectionGeneration)
                    _testPasswordComplete(result);
            },
            Qt::QueuedConnection);
    });
}

void BackupGate::_testPasswordComplete(PasswordTestResult result)
{
    m_passwordTestRunning = false;
    m_passwordRequiredView->setTesting(false);
    switch (result) {
    case PasswordTestResult::Passed:
        m_passwordRequiredView->setNotice(QString());
        m_passwordRequired = false;
        m_passwordRequiredView->close();
        _viewBackupDerivedData();
        break;
    case PasswordTestResult::WrongPassword:
        // The backup itself is fine: the next password is tried on it, and
        // the next category does not back the device up again.
        m_passwordRequiredView->setNotice(L("PASSWORDINCORRECT"));
        _deviceBackup->setPassword(std::nullopt);
        break;
    case PasswordTestResult::Failed:
        // The password may be right: the backup could not be read at all,
        // and saying the password is wrong would send the user astray.
        qCWarning(lcOrvane) << "The backup could not be read to test its password";
        m_passwordRequiredView->setNotice(L("PASSWORDTESTFAILED"));
        break;
    case PasswordTestResult::TimedOut:
        // Nothing is known of the password: the backup and the typed text
        // stay, and Continue tries again.
        qCWarning(lcOrvane) << "The backup password test timed out";
        m_passwordRequiredView->setNotice(L("PASSWORDTESTTIMEDOUT"));
        break;
    }
}

void BackupGate::passwordRequiredCancelButtonClicked()
{
    if (m_passwordTestRunning)
        return;
    m_passwordRequiredView->close();
    showBackupPage(m_dataEncryptedView.get());
    m_passwordRequired = false;
    if (_deviceBackup) {
        _deviceBackup->setHasBackUpBeenPerformed(false);
        _deviceBackup->setPassword(std::nullopt);
    }
}

void BackupGate::dataEncryptedEnterEncryptionPasswordButtonClicked()
{
    m_dataEncryptedView->close();
    showBackupPage(m_passwordRequiredView.get());
    m_passwordRequiredView->passwordtextField()->setFocus();
}

void BackupGate::buttonLockedTryAgainClicked()
{
    showBackupPage(m_deviceBackUpProgressView.get());
    _performDeviceBackupIfRequired();
}

void BackupGate::passwordHelpLinkClicked() { m_services.openUrl(supportArticleUrl()); }

void BackupGate::dataEncryptedHowToRemoveButtonClicked()
{
    m_services.openUrl(supportArticleUrl());
}
