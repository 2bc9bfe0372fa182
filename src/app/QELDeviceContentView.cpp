// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceContentView.h"

#include <array>

#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QListView>
#include <QUrl>

#include "CategoryListModel.h"
#include "CategoryRegistry.h"
#include "CategoryViews.h"
#include "LocalizedStrings.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentViewDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELDeviceInterface.h"
#include "QELMediaLibraryCategoryView.h"

// The icons live in this static library's resources, which are registered
// only when asked for (outside any namespace, as the macro declares a function).
static void initCategoryResources() { Q_INIT_RESOURCE(categories); }

namespace {

// The device-flag table: which flag column (CategoryDescriptor::flagColumn)
// each device type has. Columns: 0 photos, 1 (unused), 2 contacts,
// 3 calendars, 4 notes, 5 messages, 6 voicemail, 7 files, 8 apps, 9 books,
// 10 internet, 11 call logs.
using FlagRow = std::array<unsigned char, 12>;
// Rows by device type 0..19 (see QELDeviceInformation).
constexpr std::array<FlagRow, 20> kCategoryFlags = {{
    {1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 0, 0}, // 0 iOS device of no known class
    {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // 1 iPod (disk mode)
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 2 iPhone
    {1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0}, // 3 iPod touch
    {1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1}, // 4 iPad
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // 5 iPod shuffle
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // 6 iPod nano
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 7 iPhone 3GS
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 8 iPhone 4
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 9 iPhone 5
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1}, // 10 iPod touch 4
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1}, // 11 iPod touch 5
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0}, // 12 iPad 2
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0}, // 13 iPad 3
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0}, // 14 iPad mini
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 15 iPhone 5C
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 16 iPhone 5S
    {1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0}, // 17 iPad Air
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // 18 iPhone 6
    {1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1}, // 19 iPhone 6S
}};

QELFunctionDetail functionDetail(int viewType)
{
    static const bool registered = (initCategoryResources(), true);
    (void)registered;
    QELFunctionDetail f;
    f.functionName = LocalizedStrings::text(CategoryViews::titleKey(viewType));
    // The icons are shipped as scalable pictures under the files' base names.
    const QString icon = QStringLiteral(":/categories/")
        + QFileInfo(CategoryViews::iconFileName(viewType)).completeBaseName()
        + QStringLiteral(".svg");
    if (QFileInfo::exists(icon))
        f.functionIcon = QIcon(icon);
    f.displayViewType = viewType;
    return f;
}

} // namespace

QELDeviceContentView::QELDeviceContentView(const QRect& frame,
                                           const QELDeviceInformation& deviceInformation,
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
    m_sidebar->setStyleSheet(
        QStringLiteral("QListView { background: rgb(162,174,191); color: #1d2430; font-size: 14px; "
                       "outline: 0; padding-top: 6px; }"
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

    BackupGateDelegate* gateDelegate = this;
    m_gate = std::make_unique<BackupGate>(m_content, gateDelegate, this);
    setBackupServices({});

    DisplayCategoriesForDevice(deviceInformation.deviceType());
}

QELDeviceContentView::~QELDeviceContentView()
{
    for (const QPointer<QELDeviceCategoryContentView>& view :
         std::as_const(m_categoryViewsDictionary))
        delete view.data();
    m_categoryViewsDictionary.clear();
    // With the views gone the gate holds the last reference to the backup.
    m_gate.reset();
}

void QELDeviceContentView::setBackupServices(BackupServices services)
{
    m_makeView = services.makeView
        ? std::move(services.makeView)
        : [](int viewType, const QRect& frame, QELDeviceInterface* deviceInterface) {
              return CategoryViews::makeView(viewType, frame, deviceInterface);
          };
    m_gate->setServices({std::move(services.makeBackup), std::move(services.performBackup),
                         std::move(services.testPassword), std::move(services.openUrl)});
}

QUrl QELDeviceContentView::supportArticleUrl() { return BackupGate::supportArticleUrl(); }

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

QList<int> QELDeviceContentView::categoriesForDevice(qint64 deviceType, int iOSMajorVersion,
                                                     bool booksOffered)
{
    // A type the table does not know takes the row of an iOS device of no
    // known class rather than reading past the table.
    const FlagRow& flags = kCategoryFlags.at(
        (deviceType >= 0 && deviceType < qint64(kCategoryFlags.size())) ? size_t(deviceType) : 0);
    const CategoryOfferContext context{iOSMajorVersion, booksOffered};
    QList<int> list;
    for (const CategoryDescriptor* row : CategoryViews::registry().rows()) {
        if (row->flagColumn == CategoryDescriptor::NeverListed)
            continue;
        if (row->flagColumn != CategoryDescriptor::AlwaysListed) {
            // A column the table does not have lists the category nowhere.
            if (row->flagColumn < 0 || size_t(row->flagColumn) >= flags.size()
                || !flags[size_t(row->flagColumn)])
                continue;
        }
        if (row->offeredWhen && !row->offeredWhen(context))
            continue;
        list << row->viewType;
    }
    return list;
}

void QELDeviceContentView::DisplayCategoriesForDevice(qint64 deviceType)
{
    const int iOSMajor = iOSMajorVersionOf(
        m_deviceInterface ? m_deviceInterface->deviceInformation().iOSVersion() : QString());
    // This system has no version of the kind the books rule reads.
    const bool books = booksOfferedForSystemVersion(QString());
    QList<QELFunctionDetail> list;
    for (int viewType : categoriesForDevice(deviceType, iOSMajor, books))
        list << functionDetail(viewType);
    setFunctionList(list);
}

QList<QELFunctionDetail> QELDeviceContentView::functionList() const
{
    return m_functionList->functions();
}

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
    if (m_contentDelegate)
        m_contentDelegate->OnCategorySwitchNotification();
    // The view being left drops its filter and what it showed of the moment.
    if (QELDeviceCategoryContentView* leaving = GetCurrentCategoryContentView()) {
        if (leaving->answers(QELDeviceCategoryContentView::Search))
            leaving->search(QString());
        if (leaving != cachedView(viewType))
            leaving->categoryWillBeLeft();
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
    if (isBackupDerived(viewType)) {
        // Made once the backup is ready; the last selection wins.
        m_gate->requestCategory(viewType);
        if (!cachedView(viewType))
            sendAvailability(viewType, currentPage());
        return;
    }
    // While the password or encrypted-data page is up no other view is made:
    // that page stays until it is answered (or a view made before is chosen).
    if (m_gate->passwordOrEncryptedPageIsUp()) {
        sendAvailability(viewType, currentPage());
        return;
    }
    // Apps, photos and books start their load as they are made; files and
    // camera start nothing.
    QELDeviceCategoryContentView* view = m_makeView(viewType, m_content->rect(), m_deviceInterface);
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
    const CategoryDescriptor* row = CategoryViews::registry().find(viewType);
    if (!row || !m_contentDelegate)
        return;
    const CategoryAvailability& a = row->availability;
    // A function is offered when the category has it and the page shown for
    // it answers the request, so a control never sends what the page cannot
    // answer (the plain not-available page and the backup pages answer none).
    // Before the music view exists (no page) the category's own answers stand.
    using R = QELDeviceCategoryContentView;
    const auto* shown = qobject_cast<const R*>(page);
    auto offered = [&a, page, shown](R::Request request) {
        return a.requests.testFlag(request) && (!page || (shown && shown->answers(request)));
    };
    m_contentDelegate->OnCopyToITunesFunctionalityAvailableNotification(offered(R::Transfer));
    // Every category's bar sends a copy to the computer; the page shown must answer it.
    m_contentDelegate->OnCopyToMacFunctionalityAvailableNotification(
        row->barRequests().testFlag(R::Copy) && (!page || (shown && shown->answers(R::Copy))));
    m_contentDelegate->OnBackUpFunctionalityAvailableNotification(offered(R::BackUp));
    m_contentDelegate->OnMediaPlaybackFunctionalityAvailableNotification(
        a.playback && (!page || (shown && shown->hasMediaListForPlayback())));
    m_contentDelegate->OnSearchFunctionalityAvailableNotification(offered(R::Search));
    if (!a.searchPlaceholderKey.isEmpty())
        m_contentDelegate->OnSearchPlaceholderTextNotification(
            LocalizedStrings::text(a.searchPlaceholderKey));
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
    std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
    std::shared_ptr<QELITunesLibrary> iTunesLibrary,
    std::shared_ptr<QELDeviceImageLibraryReader> artwork)
{
    m_deviceMediaLibrary = std::move(mediaLibrary);
    if (QELDeviceCategoryContentView* music = cachedView(CategoryViews::Music)) {
        showPage(music);
        return;
    }
    QELDeviceCategoryContentView* music =
        m_makeView(CategoryViews::Music, m_content->rect(), m_deviceInterface);
    if (!music)
        return;
    // The music view takes the three libraries before its delegate is set, so
    // that it sends nothing while it is set up; the plain page takes none.
    if (auto* libraries = dynamic_cast<QELMediaLibraryCategoryView*>(music))
        libraries->setLibraries(m_deviceMediaLibrary, std::move(iTunesLibrary), std::move(artwork));
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
    m_gate->connectionGone();

    for (QWidget* page : subviewsOf(m_content))
        page->setParent(nullptr);
    for (const QPointer<QELDeviceCategoryContentView>& view :
         std::as_const(m_categoryViewsDictionary)) {
        if (view)
            view->deleteLater();
    }
    m_categoryViewsDictionary.clear();
}

// --- Backup-derived categories ------------------------------------------------

bool QELDeviceContentView::isBackupDerived(int viewType) const
{
    return CategoryViews::isBackupDerived(viewType);
}

QString QELDeviceContentView::backupGateDeviceID() const
{
    return m_deviceInterface ? m_deviceInterface->deviceInformation().deviceId() : QString();
}

void QELDeviceContentView::OnDeviceBackupCompleteEvent(
    const QELDeviceBackupCompleteArguments& arguments)
{
    m_gate->OnDeviceBackupCompleteEvent(arguments);
}

void QELDeviceContentView::OnBackupGateRunEnded()
{
    if (isBackupDerived(selectedViewType()) && !cachedView(selectedViewType()))
        sendAvailability(selectedViewType(), currentPage());
}

void QELDeviceContentView::OnBackupGateDataReady(int viewType)
{
    if (!isBackupDerived(viewType))
        return;
    QELDeviceCategoryContentView* view = cachedView(viewType);
    if (view) {
        showPage(view);
    } else {
        view = m_makeView(viewType, m_content->rect(), m_deviceInterface);
        if (!view)
            return;
        view->setDelegate(this);
        auto* dataView = qobject_cast<QELDeviceDataCategoryContentView*>(view);
        if (dataView)
            dataView->setDeviceBackup(m_gate->deviceBackup());
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
    m_gate->passwordRequiredContinueClicked();
}
void QELDeviceContentView::passwordRequiredCancelButtonClicked()
{
    m_gate->passwordRequiredCancelButtonClicked();
}
void QELDeviceContentView::passwordHelpLinkClicked() { m_gate->passwordHelpLinkClicked(); }
void QELDeviceContentView::dataEncryptedEnterEncryptionPasswordButtonClicked()
{
    m_gate->dataEncryptedEnterEncryptionPasswordButtonClicked();
}
void QELDeviceContentView::dataEncryptedHowToRemoveButtonClicked()
{
    m_gate->dataEncryptedHowToRemoveButtonClicked();
}
void QELDeviceContentView::buttonLockedTryAgainClicked() { m_gate->buttonLockedTryAgainClicked(); }

void QELDeviceContentView::RefreshIPodContentView()
{
    // The music view refreshes its source list, browse tables and artwork
    // panel; the plain page has nothing to refresh.
    if (auto* libraries =
            dynamic_cast<QELMediaLibraryCategoryView*>(cachedView(CategoryViews::Music)))
        libraries->refreshAfterPreferencesChange();
}

void QELDeviceContentView::OnProgressEventCurrentValueMaximumValue(const QString& text,
                                                                   double current, double maximum)
{
    if (m_viewDelegate)
        m_viewDelegate->OnProgressEventCurrentValueMaximumValue(text, current, maximum);
}

void QELDeviceContentView::OnInformationStatusEventBottomLine(const QString& topLine,
                                                              const QString& bottomLine)
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
        m_viewDelegate->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
            title, description, current, maximum);
}

void QELDeviceContentView::OnCopyProgressEventWithBytes(const QString& title,
                                                        const QString& description, int current,
                                                        int maximum, quint64 bytesCopied,
                                                        quint64 byteCount)
{
    if (m_viewDelegate)
        m_viewDelegate->OnCopyProgressEventWithBytes(title, description, current, maximum,
                                                     bytesCopied, byteCount);
}

void QELDeviceContentView::OnCopyBytesProgressEvent(const QString& title,
                                                    const QString& description, int current,
                                                    int maximum, quint64 bytesCopied,
                                                    quint64 byteCount)
{
    if (m_viewDelegate)
        m_viewDelegate->OnCopyBytesProgressEvent(title, description, current, maximum, bytesCopied,
                                                 byteCount);
}

void QELDeviceContentView::OnCopyEndedInFolder(const QString& topLine, const QString& bottomLine,
                                               const QString& folder)
{
    if (m_viewDelegate)
        m_viewDelegate->OnCopyEndedInFolder(topLine, bottomLine, folder);
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

void QELDeviceContentView::OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                                            const QELCopyOutcome& outcome)
{
    if (m_viewDelegate)
        m_viewDelegate->OnAllItemsCopiedEventWithOutcome(copyType, notCopied, outcome);
}
