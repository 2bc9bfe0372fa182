// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceContentView.h"

#include <array>
#include <exception>

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QThread>
#include <QUrl>

#include "CategoryListModel.h"
#include "CategoryViews.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELBackupNoticePage.h"
#include "QELBackupPasswordPage.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentViewDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELDeviceInterface.h"
#include "SpinnerIndicator.h"

// The icons live in this static library's resources, which are registered
// only when asked for (outside any namespace, as the macro declares a function).
static void initCategoryResources() { Q_INIT_RESOURCE(categories); }

namespace {

// Flag columns: 0 photos, 1 (unused), 2 contacts, 3 calendars, 4 notes,
// 5 messages, 6 voicemail, 7 files, 8 apps, 9 books, 10 internet, 11 call logs.
enum Flag { FPhotos = 0, FContacts = 2, FCalendars = 3, FNotes = 4, FMessages = 5, FVoicemail = 6, FFiles = 7,
            FApps = 8, FBooks = 9, FInternet = 10, FCallLogs = 11 };
using FlagRow = std::array<unsigned char, 12>;
// Rows by device type 0..19 (see QELDeviceInformation).
constexpr std::array<FlagRow, 20> kCategoryFlags = {{
    {1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 0, 0},  // 0 iOS device of no known class
    {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 1 iPod (disk mode)
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 2 iPhone
    {1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0},  // 3 iPod touch
    {1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1},  // 4 iPad
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 5 iPod shuffle
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 6 iPod nano
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 7 iPhone 3GS
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 8 iPhone 4
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 9 iPhone 5
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1},  // 10 iPod touch 4
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1},  // 11 iPod touch 5
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0},  // 12 iPad 2
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0},  // 13 iPad 3
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0},  // 14 iPad mini
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 15 iPhone 5C
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 16 iPhone 5S
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0},  // 17 iPad Air
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // 18 iPhone 6
    {1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1},  // 19 iPhone 6S
}};

struct Availability {
    bool transfer;
    bool backUp;
    bool playback;
    bool search;
    const char* placeholderKey;
};

const Availability* availabilityFor(int viewType)
{
    static const Availability table[] = {
        {true, true, true, true, "SEARCHMUSIC"},      // 1 music
        {true, false, false, true, "SEARCHAPPS"},     // 2 apps
        {false, false, false, false, nullptr},        // 3 photos
        {false, false, false, true, "SEARCHCONTACTS"}, // 4 contacts
        {false, false, false, false, nullptr},        // 5 calendars
        {false, false, false, true, "SEARCHNOTES"},   // 6 notes
        {false, false, false, true, "SEARCHMESSAGES"}, // 7 messages
        {false, false, true, false, nullptr},         // 8 voicemail
        {true, false, false, true, "SEARCHBOOKS"},    // 9 books
        {false, false, false, false, nullptr},        // 10 files
        {false, false, false, false, nullptr},        // 11 call logs
        {false, false, false, false, nullptr},        // 12 internet
        {false, false, false, false, nullptr},        // 13 camera
    };
    if (viewType < 1 || viewType > 13)
        return nullptr;
    return &table[viewType - 1];
}

QELFunctionDetail functionDetail(int viewType)
{
    static const bool registered = (initCategoryResources(), true);
    (void)registered;
    QELFunctionDetail f;
    f.functionName = LocalizedStrings::text(CategoryViews::titleKey(viewType));
    // The icons are shipped as scalable pictures under the files' base names.
    const QString icon = QStringLiteral(":/categories/") + QFileInfo(CategoryViews::iconFileName(viewType)).completeBaseName()
                         + QStringLiteral(".svg");
    if (QFileInfo::exists(icon))
        f.functionIcon = QIcon(icon);
    f.displayViewType = viewType;
    return f;
}

// The file whose extraction tells whether a backup password is right.
const char* const kPasswordTestFile = "Library/Preferences/com.apple.springboard.plist";
const char* const kPasswordTestDomain = "HomeDomain";

// Runs `work` on the thread of `context` and returns once it has run; called
// on that thread already, it runs at once (waiting on itself would never end).
template <class Work>
void runOnThreadOfAndWait(QObject* context, Work work)
{
    if (QThread::currentThread() == context->thread())
        work();
    else
        QMetaObject::invokeMethod(context, std::move(work), Qt::BlockingQueuedConnection);
}

} // namespace

QELDeviceContentView::QELDeviceContentView(const QRect& frame, const QELDeviceInformation& deviceInformation,
                                           QELDeviceInterface* deviceInterface, QWidget* parent)
    : QELPagedView(frame, parent)
    , m_deviceInterface(deviceInterface)
{
    auto* top = new QWidget;
    auto* layout = new QHBoxLayout(top);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_sidebar = new QListView(top);
    m_sidebar->setObjectName(QStringLiteral("functionCollectionView"));
    m_sidebar->setFixedWidth(200);
    m_sidebar->setIconSize(QSize(32, 32));
    m_sidebar->setSpacing(2);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sidebar->setStyleSheet(QStringLiteral(
        "QListView { background: rgb(162,174,191); color: #1d2430; font-size: 14px; outline: 0; padding-top: 6px; }"
        "QListView::item { padding: 6px 8px; border: none; }"
        "QListView::item:selected { background: rgb(137,152,173); color: white; }"));
    m_functionList = new CategoryListModel(this);
    m_sidebar->setModel(m_functionList);
    m_content = new QWidget(top);
    m_content->setObjectName(QStringLiteral("functionContentView"));
    layout->addWidget(m_sidebar);
    layout->addWidget(m_content, 1);
    setView(top);
    setIsOpaque(true);

    // One selection change per click (or keyboard move) runs the switch.
    connect(m_sidebar->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { handleSelectionChanged(current); });

    m_passwordTests.setMaxThreadCount(1);
    setBackupServices({});
    makeBackupPages();

    DisplayCategoriesForDevice(deviceInformation.deviceType());
}

QELDeviceContentView::~QELDeviceContentView()
{
    // A password test still running hands its answer to this page.
    m_passwordTests.waitForDone();
    if (_deviceBackup)
        _deviceBackup->setDelegate(nullptr);
    for (const QPointer<QELDeviceCategoryContentView>& view : std::as_const(m_categoryViewsDictionary))
        delete view.data();
    m_categoryViewsDictionary.clear();
    // With the views gone this page holds the last reference (unless a test
    // keeps one): the backup object stops and joins its run while the page
    // that a late completion event is posted to still exists.
    _deviceBackup.reset();
}

void QELDeviceContentView::setBackupServices(BackupServices services)
{
    if (!services.makeBackup)
        services.makeBackup = [] { return std::make_shared<QELDeviceBackup>(); };
    if (!services.performBackup)
        services.performBackup = [](QELDeviceBackup& backup, const QString& deviceID) {
            return backup.PerformBackupForDeviceID(deviceID);
        };
    if (!services.testPassword)
        services.testPassword = [](const QString& deviceID, const QString& password) {
            return QELDeviceBackupBrowser::TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                QString::fromLatin1(kPasswordTestFile), deviceID, password, QString::fromLatin1(kPasswordTestDomain));
        };
    if (!services.makeView)
        services.makeView = [](int viewType, const QRect& frame, QELDeviceInterface* deviceInterface) {
            return CategoryViews::makeView(viewType, frame, deviceInterface);
        };
    if (!services.openUrl)
        services.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    m_services = std::move(services);
}

QUrl QELDeviceContentView::supportArticleUrl() { return QUrl(L("BACKUPHELPURL")); }

void QELDeviceContentView::makeBackupPages()
{
    m_deviceBackUpProgressView = std::make_unique<QELBackupNoticePage>(
        QStringLiteral("deviceBackUpProgressView"), L("BACKINGUPDEVICE"), L("BACKINGUPDEVICEDETAIL"), true);
    // The spinner turns from the start; the page is only seen while a backup runs.
    m_deviceBackUpProgressView->spinner()->setObjectName(QStringLiteral("performingBackupProgressBar"));
    m_deviceBackUpProgressView->spinner()->startAnimation();

    m_passwordRequiredView = std::make_unique<QELBackupPasswordPage>();
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::continueClicked, this,
            &QELDeviceContentView::passwordRequiredContinueClicked);
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::cancelClicked, this,
            &QELDeviceContentView::passwordRequiredCancelButtonClicked);
    connect(m_passwordRequiredView.get(), &QELBackupPasswordPage::helpLinkClicked, this,
            &QELDeviceContentView::passwordHelpLinkClicked);

    m_dataEncryptedView = std::make_unique<QELBackupNoticePage>(QStringLiteral("dataEncryptedView"),
                                                                L("DATAENCRYPTED"), L("DATAENCRYPTEDDETAIL"), false);
    connect(m_dataEncryptedView->addButton(QStringLiteral("howToRemoveButton"), L("DATAENCRYPTEDHOWTOREMOVE")),
            &QPushButton::clicked, this, &QELDeviceContentView::dataEncryptedHowToRemoveButtonClicked);
    connect(m_dataEncryptedView->addButton(QStringLiteral("enterPasswordButton"), L("DATAENCRYPTEDENTERPASSWORD")),
            &QPushButton::clicked, this, &QELDeviceContentView::dataEncryptedEnterEncryptionPasswordButtonClicked);

    m_deviceLockedView = std::make_unique<QELBackupNoticePage>(QStringLiteral("deviceLockedView"), L("DEVICELOCKED"),
                                                               L("DEVICELOCKEDDETAIL"), false);
    m_backupFailedView = std::make_unique<QELBackupNoticePage>(QStringLiteral("backupFailedView"), L("BACKUPFAILED"),
                                                               L("BACKUPFAILEDDETAIL"), false);
    for (QELBackupNoticePage* page : {m_deviceLockedView.get(), m_backupFailedView.get()})
        connect(page->addButton(QStringLiteral("tryAgainButton"), L("TRYAGAIN")), &QPushButton::clicked, this,
                &QELDeviceContentView::buttonLockedTryAgainClicked);
}

int QELDeviceContentView::iOSMajorVersionOf(const QString& iOSVersion)
{
    if (iOSVersion.isNull())
        return 6;
    return QELDeviceInterface::majorVersionOf(iOSVersion);
}

bool QELDeviceContentView::booksOfferedForSystemVersion(const QString& versionText)
{
    QString text = versionText;
    text.remove(QStringLiteral("Version "));
    const int paren = text.indexOf(QLatin1Char('('));
    if (paren >= 0)
        text.truncate(paren);
    text = text.trimmed();
    const int dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return true;
    // The integer value of the leading digits after the first ".".
    const QString rest = text.mid(dot + 1);
    int digits = 0;
    while (digits < rest.size() && rest.at(digits).isDigit())
        ++digits;
    return rest.left(digits).toInt() < 9;
}

QList<int> QELDeviceContentView::categoriesForDevice(qint64 deviceType, int iOSMajorVersion, bool booksOffered)
{
    // A type the table does not know takes the row of an iOS device of no
    // known class rather than reading past the table.
    const FlagRow& flags = kCategoryFlags.at((deviceType >= 0 && deviceType < qint64(kCategoryFlags.size()))
                                                 ? size_t(deviceType) : 0);
    using namespace CategoryViews;
    QList<int> list{Music};
    if (flags[FPhotos])
        list << Photos;
    if (flags[FApps] && iOSMajorVersion < 9)
        list << Apps;
    if (booksOffered && flags[FBooks])
        list << Books;
    if (flags[FCalendars])
        list << Calendars;
    if (flags[FCallLogs])
        list << CallLogs;
    if (flags[FContacts])
        list << Contacts;
    if (flags[FFiles])
        list << Files;
    if (flags[FInternet])
        list << Internet;
    if (flags[FMessages])
        list << Messages;
    if (flags[FNotes])
        list << Notes;
    if (flags[FVoicemail])
        list << Voicemail;
    return list;
}

void QELDeviceContentView::DisplayCategoriesForDevice(qint64 deviceType)
{
    const int iOSMajor = iOSMajorVersionOf(m_deviceInterface ? m_deviceInterface->deviceInformation().iOSVersion()
                                                             : QString());
    // This system has no version of the kind the books rule reads.
    const bool books = booksOfferedForSystemVersion(QString());
    QList<QELFunctionDetail> list;
    for (int viewType : categoriesForDevice(deviceType, iOSMajor, books))
        list << functionDetail(viewType);
    setFunctionList(list);
}

QList<QELFunctionDetail> QELDeviceContentView::functionList() const { return m_functionList->functions(); }

void QELDeviceContentView::setFunctionList(const QList<QELFunctionDetail>& list)
{
    m_functionList->setFunctions(list);
    // A new list selects its first entry, which runs the switch for it.
    if (!list.isEmpty())
        m_sidebar->setCurrentIndex(m_functionList->index(0));
}

void QELDeviceContentView::setDelegate(QELDeviceContentViewDelegate* contentDelegate,
                                       QELDeviceCategoryContentViewDelegate* viewDelegate)
{
    m_contentDelegate = contentDelegate;
    m_viewDelegate = viewDelegate;
}

bool QELDeviceContentView::selectCategory(int viewType)
{
    const QList<QELFunctionDetail>& functions = m_functionList->functions();
    for (int row = 0; row < functions.size(); ++row) {
        if (functions.at(row).displayViewType == viewType) {
            m_sidebar->setCurrentIndex(m_functionList->index(row));
            return true;
        }
    }
    return false;
}

void QELDeviceContentView::resendAvailability()
{
    const int viewType = selectedViewType();
    if (viewType == 0)
        return;
    const QWidget* page = cachedView(viewType);
    if (!page && viewType != CategoryViews::Music)
        page = currentPage();
    sendAvailability(viewType, page);
}

int QELDeviceContentView::selectedViewType() const
{
    const QModelIndex current = m_sidebar->currentIndex();
    return current.isValid() ? current.data(CategoryListModel::ViewTypeRole).toInt() : 0;
}

QELDeviceCategoryContentView* QELDeviceContentView::cachedView(int viewType) const
{
    return m_categoryViewsDictionary.value(viewType).data();
}

void QELDeviceContentView::handleSelectionChanged(const QModelIndex& current)
{
    if (!current.isValid())
        return;
    selectionSwitch(current.data(CategoryListModel::ViewTypeRole).toInt());
}

void QELDeviceContentView::selectionSwitch(int viewType)
{
    // The view being left drops its filter.
    if (QELDeviceCategoryContentView* leaving = GetCurrentCategoryContentView()) {
        if (leaving->answers(QELDeviceCategoryContentView::Search))
            leaving->search(QString());
    }

    if (QELDeviceCategoryContentView* view = cachedView(viewType)) {
        showPage(view);
        sendAvailability(viewType, view);
        return;
    }
    if (viewType == CategoryViews::Music) {
        // Made by the library hand-over; until then the category's own functions stand.
        sendAvailability(viewType, nullptr);
        return;
    }
    if (CategoryViews::isBackupDerived(viewType)) {
        // Made once the backup is ready; the last selection wins.
        _queuedCategorySelection = viewType;
        _performDeviceBackupIfRequired();
        if (!cachedView(viewType))
            sendAvailability(viewType, currentPage());
        return;
    }
    // While the password or encrypted-data page is up no other view is made:
    // that page stays until it is answered (or a view made before is chosen).
    if (passwordOrEncryptedPageIsUp()) {
        sendAvailability(viewType, currentPage());
        return;
    }
    // Apps, photos and books start their load as they are made; files and
    // camera start nothing.
    QELDeviceCategoryContentView* view = m_services.makeView(viewType, m_content->rect(), m_deviceInterface);
    if (view) {
        view->setDelegate(this);
        view->setDeviceInterface(m_deviceInterface);
        cacheView(viewType, view);
        showPage(view);
    }
    sendAvailability(viewType, view);
}

void QELDeviceContentView::sendAvailability(int viewType, const QWidget* page)
{
    const Availability* a = availabilityFor(viewType);
    if (!a || !m_contentDelegate)
        return;
    // A function is offered when the category has it and the page shown for
    // it answers the request, so a control never sends what the page cannot
    // answer (the plain not-available page and the backup pages answer none).
    // Before the music view exists (no page) the category's own answers stand.
    using R = QELDeviceCategoryContentView;
    const auto* shown = qobject_cast<const R*>(page);
    auto offered = [page, shown](bool listed, R::Request request) {
        return listed && (!page || (shown && shown->answers(request)));
    };
    m_contentDelegate->OnCopyToITunesFunctionalityAvailableNotification(offered(a->transfer, R::Transfer));
    m_contentDelegate->OnBackUpFunctionalityAvailableNotification(offered(a->backUp, R::BackUp));
    m_contentDelegate->OnMediaPlaybackFunctionalityAvailableNotification(
        a->playback && (!page || (shown && shown->hasMediaListForPlayback())));
    m_contentDelegate->OnSearchFunctionalityAvailableNotification(offered(a->search, R::Search));
    if (a->placeholderKey)
        m_contentDelegate->OnSearchPlaceholderTextNotification(L(a->placeholderKey));
}

void QELDeviceContentView::showPage(QELPagedView* page)
{
    page->addToSuperview(m_content);
    page->removeAllOtherSubViews();
}

void QELDeviceContentView::cacheView(int viewType, QELDeviceCategoryContentView* view)
{
    if (QELDeviceCategoryContentView* old = cachedView(viewType); old && old != view)
        old->deleteLater();
    m_categoryViewsDictionary.insert(viewType, view);
}

void QELDeviceContentView::setDeviceMediaLibraryWithITunesLibraryWithArtwork(
    std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary, std::shared_ptr<QELITunesLibrary> iTunesLibrary,
    std::shared_ptr<QELDeviceImageLibraryReader> artwork)
{
    m_deviceMediaLibrary = std::move(mediaLibrary);
    if (QELDeviceCategoryContentView* music = cachedView(CategoryViews::Music)) {
        showPage(music);
        return;
    }
    QELDeviceCategoryContentView* music =
        m_services.makeView(CategoryViews::Music, m_content->rect(), m_deviceInterface);
    if (!music)
        return;
    // The music view takes the three libraries once it exists; the plain page
    // shown until then has no use for them.
    (void)iTunesLibrary;
    (void)artwork;
    music->setDelegate(this);
    cacheView(CategoryViews::Music, music);
    showPage(music);
    if (selectedViewType() == CategoryViews::Music)
        sendAvailability(CategoryViews::Music, music);
}

QWidget* QELDeviceContentView::currentPage() const
{
    const QList<QWidget*> pages = subviewsOf(m_content);
    return pages.isEmpty() ? nullptr : pages.constFirst();
}

QELDeviceCategoryContentView* QELDeviceContentView::GetCurrentCategoryContentView() const
{
    return qobject_cast<QELDeviceCategoryContentView*>(currentPage());
}

void QELDeviceContentView::ResetAllContentViews()
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

    for (QWidget* page : subviewsOf(m_content))
        page->setParent(nullptr);
    for (const QPointer<QELDeviceCategoryContentView>& view : std::as_const(m_categoryViewsDictionary)) {
        if (view)
            view->deleteLater();
    }
    m_categoryViewsDictionary.clear();
}

// --- Backup-derived categories ------------------------------------------------

bool QELDeviceContentView::isInContentArea(const QWidget* page) const
{
    return page && page->parentWidget() == m_content;
}

bool QELDeviceContentView::passwordOrEncryptedPageIsUp() const
{
    return isInContentArea(m_passwordRequiredView.get()) || isInContentArea(m_dataEncryptedView.get());
}

QString QELDeviceContentView::connectedDeviceID() const
{
    return m_deviceInterface ? m_deviceInterface->deviceInformation().deviceId() : QString();
}

void QELDeviceContentView::showBackupPage(QELPagedView* page)
{
    showPage(page);
    page->resize();
}

void QELDeviceContentView::showPasswordPage()
{
    m_passwordRequiredView->reset();
    showBackupPage(m_passwordRequiredView.get());
    m_passwordRequiredView->passwordtextField()->setFocus();
}

void QELDeviceContentView::_performDeviceBackupIfRequired()
{
    if (!_deviceBackup) {
        _deviceBackup = m_services.makeBackup();
        _deviceBackup->setDelegate(this);
    }
    _beginDeviceBackup();
}

void QELDeviceContentView::_beginDeviceBackup()
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
    const QString deviceID = connectedDeviceID();
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

bool QELDeviceContentView::startBackupRun(const QString& deviceID)
{
    return m_services.performBackup(*_deviceBackup, deviceID);
}

void QELDeviceContentView::startDeferredBackup()
{
    if (!m_backupStartDeferred || m_staleBackupRuns > 0)
        return;
    m_backupStartDeferred = !startBackupRun(m_awaitedBackupDevice);
}

void QELDeviceContentView::OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments)
{
    // Always queued, also from the main thread, so the event never runs in
    // the middle of the step that started the backup.
    QMetaObject::invokeMethod(
        this, [this, arguments] { handleDeviceBackupComplete(arguments); }, Qt::QueuedConnection);
}

void QELDeviceContentView::handleDeviceBackupComplete(const QELDeviceBackupCompleteArguments& arguments)
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
    if (m_awaitedBackupDevice.isEmpty() || m_backupStartDeferred || arguments.deviceID() != m_awaitedBackupDevice) {
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
    else if (!arguments.successfull())
        // An empty category would look like a device without data.
        showBackupPage(m_backupFailedView.get());
    else
        _viewBackupDerivedData();
    if (CategoryViews::isBackupDerived(selectedViewType()) && !cachedView(selectedViewType()))
        sendAvailability(selectedViewType(), currentPage());
}

void QELDeviceContentView::_viewBackupDerivedData()
{
    runOnThreadOfAndWait(this, [this] { _viewBackupDerivedDataOnMainThread(); });
}

void QELDeviceContentView::_viewBackupDerivedDataOnMainThread()
{
    const int viewType = _queuedCategorySelection;
    if (!CategoryViews::isBackupDerived(viewType))
        return;
    QELDeviceCategoryContentView* view = cachedView(viewType);
    if (view) {
        showPage(view);
    } else {
        view = m_services.makeView(viewType, m_content->rect(), m_deviceInterface);
        if (!view)
            return;
        view->setDelegate(this);
        auto* dataView = qobject_cast<QELDeviceDataCategoryContentView*>(view);
        if (dataView)
            dataView->setDeviceBackup(_deviceBackup);
        view->setDeviceInterface(m_deviceInterface);
        cacheView(viewType, view);
        showPage(view);
        if (dataView)
            dataView->loadData();
    }
    if (selectedViewType() == viewType)
        sendAvailability(viewType, view);
}

void QELDeviceContentView::passwordRequiredContinueClicked()
{
    if (m_passwordTestRunning || !_deviceBackup)
        return;
    m_passwordRequiredView->setNotice(QString());
    const QString typed = m_passwordRequiredView->typedPassword();
    _deviceBackup->setPassword(typed);
    m_passwordRequiredView->setTesting(true);
    _testPassword(typed);
}

void QELDeviceContentView::_testPassword(const QString& password)
{
    m_passwordTestRunning = true;
    // The answer is handed over without waiting for it: the destructor waits
    // for this worker, so a worker waiting for the main thread would never end.
    m_passwordTests.start([this, test = m_services.testPassword, deviceID = _deviceBackup->deviceUID(), password,
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

void QELDeviceContentView::_testPasswordComplete(PasswordTestResult result)
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
    case PasswordTestResult::Failed:
        m_passwordRequiredView->setNotice(L("PASSWORDINCORRECT"));
        _deviceBackup->setHasBackUpBeenPerformed(false);
        _deviceBackup->setPassword(std::nullopt);
        break;
    case PasswordTestResult::TimedOut:
        // Nothing is known of the password: the backup and the typed text
        // stay, and Continue tries again.
        qCWarning(lcOrvane) << "The backup password test timed out";
        m_passwordRequiredView->setNotice(L("PASSWORDTESTTIMEDOUT"));
        break;
    }
}

void QELDeviceContentView::passwordRequiredCancelButtonClicked()
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

void QELDeviceContentView::dataEncryptedEnterEncryptionPasswordButtonClicked()
{
    m_dataEncryptedView->close();
    showBackupPage(m_passwordRequiredView.get());
    m_passwordRequiredView->passwordtextField()->setFocus();
}

void QELDeviceContentView::buttonLockedTryAgainClicked()
{
    showBackupPage(m_deviceBackUpProgressView.get());
    _performDeviceBackupIfRequired();
}

void QELDeviceContentView::passwordHelpLinkClicked() { m_services.openUrl(supportArticleUrl()); }

void QELDeviceContentView::dataEncryptedHowToRemoveButtonClicked() { m_services.openUrl(supportArticleUrl()); }

void QELDeviceContentView::RefreshIPodContentView()
{
    // The music view refreshes its source list, browse tables and artwork
    // panel here once it exists; the plain page has nothing to refresh.
}

void QELDeviceContentView::OnProgressEventCurrentValueMaximumValue(const QString& text, double current, double maximum)
{
    if (m_viewDelegate)
        m_viewDelegate->OnProgressEventCurrentValueMaximumValue(text, current, maximum);
}

void QELDeviceContentView::OnInformationStatusEventBottomLine(const QString& topLine, const QString& bottomLine)
{
    if (m_viewDelegate)
        m_viewDelegate->OnInformationStatusEventBottomLine(topLine, bottomLine);
}

void QELDeviceContentView::OnMediaViewChanged()
{
    if (m_viewDelegate)
        m_viewDelegate->OnMediaViewChanged();
}

void QELDeviceContentView::OnMediaSelectionPlayRequested()
{
    if (m_viewDelegate)
        m_viewDelegate->OnMediaSelectionPlayRequested();
}

void QELDeviceContentView::OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
    const QString& title, const QString& description, int current, int maximum)
{
    if (m_viewDelegate)
        m_viewDelegate->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(title, description, current,
                                                                                          maximum);
}

void QELDeviceContentView::OnClear()
{
    if (m_viewDelegate)
        m_viewDelegate->OnClear();
}

void QELDeviceContentView::OnAllItemsCopiedEventWithType(int copyType)
{
    if (m_viewDelegate)
        m_viewDelegate->OnAllItemsCopiedEventWithType(copyType);
}

void QELDeviceContentView::OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
{
    if (m_viewDelegate)
        m_viewDelegate->OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
}
