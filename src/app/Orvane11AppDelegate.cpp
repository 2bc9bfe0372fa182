// SPDX-License-Identifier: GPL-3.0-or-later
#include "Orvane11AppDelegate.h"

#include <future>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStorageInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "AppImages.h"
#include "Clock.h"
#include "DeviceService.h"
#include "FolderMediaLibraryHost.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "Log.h"
#include "MusicLibraryHostServices.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentView.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"
#include "QELDeviceInterface.h"
#include "QELDeviceInterfacePlayerSource.h"
#include "QELDeviceMediaLibrary.h"
#include "QELHUDView.h"
#include "QELITunesLibrary.h"
#include "QELLookingForDeviceView.h"
#include "QELMediaPlayer.h"
#include "QELMediaPlayerBackend.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "QELPagedView.h"
#include "QELPreferences.h"
#include "QELReadingDeviceView.h"
#include "QELUpdateChecker.h"

namespace {
#ifdef Q_OS_LINUX
constexpr bool kLinux = true;
#else
constexpr bool kLinux = false;
#endif
} // namespace

namespace {

// The volume icon of a disk-mode iPod; a null image when it has none. Worker threads.
QImage volumeIcon(QELDeviceInterface& device)
{
    const QString name = QStringLiteral(".VolumeIcon.icns");
    if (!device.fileExistsAtPath(name))
        return {};
    const auto info = device.getFileInfo(name);
    const qint64 size = info ? info->value(QStringLiteral("NSFileSize")).toLongLong() : 0;
    QImage image;
    if (size > 0 && size < (qint64(64) << 20)) {
        const auto data =
            device.getDataContentsAtPathStartingAtPostisionForLength(name, 0, quint32(size));
        if (data)
            image.loadFromData(*data);
    }
    return image;
}

// Runs `fn` on the main thread without waiting.
template <class Fn> void post(QObject* receiver, Fn&& fn)
{
    QMetaObject::invokeMethod(receiver, std::forward<Fn>(fn), Qt::QueuedConnection);
}

} // namespace

// Carries one read's events to the main thread with the read's generation,
// so the main thread can drop those of a read that is no longer current.
class Orvane11AppDelegate::ReadRelay : public QELDeviceMediaLibraryEventsProtocol,
                                       public QELDeviceImageLibraryEventProtocol {
public:
    ReadRelay(Orvane11AppDelegate* owner, quint64 generation)
        : m_owner(owner)
        , m_generation(generation)
    {
    }

    void OnDeviceMediaLibaryReadCompleteEvent(
        const DeviceMediaLibraryReadCompleteArguments& arguments) override
    {
        completeSent.store(true);
        const bool ok = arguments.readSuccesfull();
        post(m_owner, [o = m_owner, g = m_generation, ok] {
            o->_workerOnDeviceMediaLibaryReadCompleteEvent(g, ok);
        });
    }
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override
    {
        post(m_owner, [o = m_owner, g = m_generation, progress] {
            o->_workerOnDeviceMediaLibraryReadProgressEvent(g, progress);
        });
    }
    void OnDeviceMediaLibraryReadPlaylistName(const QString& name) override
    {
        post(m_owner, [o = m_owner, g = m_generation, name] {
            o->_workerOnDeviceMediaLibraryReadPlaylistName(g, name);
        });
    }
    void OnDeviceImageLibraryDatabaseReadComplete(
        const QELDeviceImageLibraryDatabaseReadCompleteArguments&) override
    {
        post(m_owner, [o = m_owner, g = m_generation] {
            o->_workerOnDeviceImageLibraryDatabaseReadComplete(g);
        });
    }

    std::atomic<bool> completeSent{false};

private:
    Orvane11AppDelegate* m_owner;
    quint64 m_generation;
};

Orvane11AppDelegate::Environment Orvane11AppDelegate::defaultEnvironment()
{
    Environment env;
    env.mediaLibraryHost =
        std::make_shared<FolderMediaLibraryHost>(QString(), musicLibraryHostServices());
    env.makeDeviceInterface = [] { return QELDeviceInterface::create(); };
    env.startDetached = [](const QString& program, const QStringList& arguments) {
        if (!QProcess::startDetached(program, arguments))
            qCInfo(lcOrvane).noquote() << "Could not start" << program;
    };
    env.makeArtworkReader =
        [](ArtworkDatabase kind, const QString& folder,
           const QString& name) -> std::shared_ptr<QELDeviceImageLibraryReader> {
        const QString store = QStringLiteral("artwork.db");
        if (kind == ArtworkDatabase::MediaLibrary)
            return QELDeviceImageMediaLibraryArtworkDBReader::create(folder, name, store);
        return QELDeviceImageArtworkDBReader::create(folder, name, store);
    };
    env.checkForUpdatesOnStartUp = [] { return QELPreferences::checkForUpdatesOnStartUp(); };
    env.ejectIPodOnExit = [] { return QELPreferences::ejectIPodOnExit(); };
    env.makeUpdateChecker = [](QObject* parent) { return new QELUpdateChecker(parent); };
    env.ejectVolume = [](const QString& path) {
        if (path.isEmpty())
            return;
        // udisks unmounts and powers off the device of a mounted volume.
        const QString device = QString::fromLocal8Bit(QStorageInfo(path).device());
        if (!device.isEmpty())
            QProcess::startDetached(QStringLiteral("udisksctl"),
                                    {QStringLiteral("unmount"), QStringLiteral("-b"), device});
    };
    env.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    env.deviceServiceRunning = [] { return DeviceService::isRunning(); };
    env.makeMediaPlayer = [](QELDeviceInterface* device, QObject* parent) {
        return new QELMediaPlayer(std::make_shared<QELDeviceInterfacePlayerSource>(device), nullptr,
                                  parent);
    };
    return env;
}

Orvane11AppDelegate::Orvane11AppDelegate(QMainWindow* window, Environment environment,
                                         QObject* parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_window(window)
{
    buildWindow();
}

Orvane11AppDelegate::~Orvane11AppDelegate()
{
    m_quitting.store(true);
    if (m_deviceInterface) {
        m_deviceInterface->shutdown();
        m_deviceInterface->setDelegate(nullptr);
    }
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        if (m_runningMediaLibrary)
            m_runningMediaLibrary->cancel();
    }
    if (m_itunesLibrary)
        m_itunesLibrary->stop();
    joinWorkers();
    // The player and the preferences window report to this object: they go first.
    if (m_mediaPlayer) {
        m_mediaPlayer->setDelegate(nullptr);
        delete m_mediaPlayer.data();
    }
    if (m_preferencesWindow) {
        m_preferencesWindow->setDelegate(nullptr);
        delete m_preferencesWindow.data();
    }
    // The category views' workers read the device through its interface,
    // which goes with this object: the views (which join their workers) go
    // first, also when the window that holds them outlives this object.
    if (m_deviceContentView)
        delete m_deviceContentView.data();
    // Pages outside the window have no parent.
    for (QPointer<QELPagedView> page : {QPointer<QELPagedView>(m_iTunesIsRunningView),
                                        QPointer<QELPagedView>(m_lookingForDeviceView),
                                        QPointer<QELPagedView>(m_readingDeviceView),
                                        QPointer<QELPagedView>(m_deviceContentView)}) {
        if (page && !page->parent())
            delete page.data();
    }
}

QMainWindow* Orvane11AppDelegate::window() const { return m_window.data(); }
QWidget* Orvane11AppDelegate::mainContentView() const { return m_mainContentView.data(); }
QELPagedView* Orvane11AppDelegate::iTunesIsRunningView() const
{
    return m_iTunesIsRunningView.data();
}
QELLookingForDeviceView* Orvane11AppDelegate::lookingForDeviceView() const
{
    return m_lookingForDeviceView.data();
}
QELReadingDeviceView* Orvane11AppDelegate::readingDeviceView() const
{
    return m_readingDeviceView.data();
}
QELDeviceContentView* Orvane11AppDelegate::deviceContentView() const
{
    return m_deviceContentView.data();
}
QELHUDView* Orvane11AppDelegate::hudView() const { return m_hudView.data(); }
QELUpdateChecker* Orvane11AppDelegate::updateChecker() const { return m_updateChecker.data(); }

void Orvane11AppDelegate::buildWindow()
{
    if (!m_window)
        return;
    auto* central = new QWidget(m_window);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* controlBar = buildControlBar(central);
    m_mainContentView = new QWidget(central);
    m_mainContentView->setObjectName(QStringLiteral("mainContentView"));
    layout->addWidget(controlBar);
    layout->addWidget(m_mainContentView, 1);
    m_window->setCentralWidget(central);
    buildMenus();
    buildCopyCompleteView();
    buildConfirmBackupView();
    buildUpdateAvailablePanel();
    buildAboutWindow();
    buildITunesRunningPage();
}

void Orvane11AppDelegate::buildITunesRunningPage()
{
    auto* page = new QELPagedView(m_mainContentView->rect());
    auto* top = new QWidget;
    auto* layout = new QVBoxLayout(top);
    layout->addStretch(1);
    auto* title = new QLabel(L("ITUNESRUNNING"), top);
    QFont titleFont = title->font();
    titleFont.setPixelSize(22);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    auto* detail = new QLabel(L("ITUNESRUNNINGDETAIL"), top);
    detail->setAlignment(Qt::AlignCenter);
    detail->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(detail);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* closeITunes = new QPushButton(L("ITUNESRUNNINGCLOSE"), top);
    closeITunes->setObjectName(QStringLiteral("closeITunesButton"));
    auto* cont = new QPushButton(L("ITUNESRUNNINGCONTINUE"), top);
    cont->setObjectName(QStringLiteral("continueButton"));
    auto* quit = new QPushButton(L("ITUNESRUNNINGQUIT"), top);
    quit->setObjectName(QStringLiteral("quitButton"));
    for (QPushButton* b : {closeITunes, cont, quit})
        buttons->addWidget(b);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(2);
    page->setLayout(new QVBoxLayout);
    page->layout()->setContentsMargins(0, 0, 0, 0);
    page->layout()->addWidget(top);
    connect(closeITunes, &QPushButton::clicked, this,
            [this] { iTunesRunningCloseITunesButtonClicked(); });
    connect(cont, &QPushButton::clicked, this, [this] { iTunesRunningContinueButtonClicked(); });
    connect(quit, &QPushButton::clicked, this, [this] { iTunesRunningExitOrvaneButtonClicked(); });
    m_iTunesIsRunningView = page;
}

void Orvane11AppDelegate::applicationDidFinishLaunching()
{
    // 1. Where the music application has a helper that grabs the device, it is
    // stopped; Linux has no such helper, and nothing is run.
    if (!kLinux && m_env.startDetached)
        m_env.startDetached(QStringLiteral("/usr/bin/killall"), {QStringLiteral("iTunesHelper")});
    // 2. The main window's close reaches the shutdown; the HUD reports here.
    if (m_window)
        m_window->installEventFilter(this);
    if (m_hudView)
        m_hudView->setDelegate(this);
    // 3. The computer's music library index; read during each device read.
    m_itunesLibrary = std::make_shared<QELITunesLibrary>(m_env.mediaLibraryHost);
    m_itunesLibrary->setDelegate(this);
    // 4.
    _removeTemporaryFiles();
    // 5.
    if (m_env.mediaLibraryHost && m_env.mediaLibraryHost->isRunning()) {
        m_iTunesIsRunningView->setIsOpaque(true);
        for (QWidget* page : QELPagedView::subviewsOf(m_mainContentView))
            page->setParent(nullptr);
        m_iTunesIsRunningView->addToSuperview(m_mainContentView);
    } else {
        _startLookingForDevice();
    }
    // 6. The maker publishes a version file for other systems only: on Linux
    // the package manager brings new versions, and nothing is asked.
    try {
        if (!kLinux && m_env.checkForUpdatesOnStartUp && m_env.checkForUpdatesOnStartUp()
            && m_env.makeUpdateChecker) {
            m_updateChecker = m_env.makeUpdateChecker(this);
            if (m_updateChecker) {
                m_updateChecker->setDelegate(this);
                m_updateChecker->startCheckingForUpdate();
            }
        }
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "Update check not started:" << e.what();
    }
}

void Orvane11AppDelegate::_startLookingForDevice()
{
    if (m_deviceInterface)
        return; // detection runs once per run
    if (!m_lookingForDeviceView)
        m_lookingForDeviceView = new QELLookingForDeviceView(m_mainContentView->rect());
    m_lookingForDeviceView->addToSuperview(m_mainContentView);
    m_lookingForDeviceView->showDefaultInstructions(true);
    m_lookingForDeviceView->setDeviceServiceRunning(!m_env.deviceServiceRunning
                                                    || m_env.deviceServiceRunning());
    setHUDInformation(L("LOOKINGFORDEVICE"), QString());
    m_deviceInterface = m_env.makeDeviceInterface ? m_env.makeDeviceInterface() : nullptr;
    if (!m_deviceInterface)
        return;
    if (m_env.deviceServiceRunning) {
        m_deviceServiceTimer = new QTimer(this);
        connect(m_deviceServiceTimer, &QTimer::timeout, this, [this] {
            if (m_lookingForDeviceView && !m_quitting.load())
                m_lookingForDeviceView->setDeviceServiceRunning(m_env.deviceServiceRunning());
        });
        m_deviceServiceTimer->start(Clock::scaledMs(2000));
    }
    connect(m_lookingForDeviceView, &QELLookingForDeviceView::tryAgainClicked, this, [this] {
        if (m_deviceInterface)
            m_deviceInterface->retryPairing();
        m_lookingForDeviceView->showTrustDeviceBox(true);
    });
    m_deviceInterface->setDelegate(this);
    m_deviceInterface->BeginDeviceConnectionDetect();
}

void Orvane11AppDelegate::_removeTemporaryFiles()
{
    if (Locations::temporaryFolder().isEmpty())
        return;
    if (!Locations::emptyTemporaryFolder())
        qCInfo(lcOrvane) << "Some temporary files could not be removed";
}

void Orvane11AppDelegate::iTunesRunningCloseITunesButtonClicked()
{
    m_keepITunesOpen = false;
    if (!m_env.mediaLibraryHost || !m_env.mediaLibraryHost->isRunning())
        return;
    if (!m_env.mediaLibraryHost->quit())
        return;
    m_iTunesIsRunningView->close();
    _startLookingForDevice();
}

void Orvane11AppDelegate::iTunesRunningContinueButtonClicked()
{
    m_keepITunesOpen = true;
    m_iTunesIsRunningView->close();
    _startLookingForDevice();
}

void Orvane11AppDelegate::iTunesRunningExitOrvaneButtonClicked()
{
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

bool Orvane11AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        if (!m_quitConfirmed && !mayQuitNow()) {
            event->ignore();
            return true;
        }
        windowWillClose();
    }
    return QObject::eventFilter(watched, event);
}

bool Orvane11AppDelegate::mayQuitNow()
{
    if (!m_copyRunning || m_windowWillCloseCalled)
        return true;
    QuitDuringCopy choice = QuitDuringCopy::Stay;
    if (m_env.askQuitDuringCopy) {
        choice = m_env.askQuitDuringCopy();
    } else {
        QMessageBox box(QMessageBox::Question, L("APPNAME"), L("QUITDURINGCOPY"),
                        QMessageBox::NoButton, m_window);
        QPushButton* finish = box.addButton(L("QUITAFTERCOPY"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(L("CANCELCOPYANDQUIT"), QMessageBox::DestructiveRole);
        box.addButton(L("CANCEL"), QMessageBox::RejectRole);
        box.setDefaultButton(finish);
        box.exec();
        choice = box.clickedButton() == finish ? QuitDuringCopy::FinishThenQuit
            : box.clickedButton() == cancel    ? QuitDuringCopy::CancelThenQuit
                                               : QuitDuringCopy::Stay;
    }
    if (choice == QuitDuringCopy::Stay)
        return false;
    // The quit comes with the end of the run, once the job has removed its
    // partial file and the folders it left empty.
    m_quitWhenCopyEnds = true;
    if (choice == QuitDuringCopy::CancelThenQuit)
        OnUserCancelCopyEvent();
    return false;
}

void Orvane11AppDelegate::copyEnded()
{
    m_copyRunning = false;
    if (!m_quitWhenCopyEnds)
        return;
    m_quitWhenCopyEnds = false;
    QTimer::singleShot(0, this, [this] {
        m_quitConfirmed = true;
        menuQuitClicked();
    });
}

void Orvane11AppDelegate::windowWillClose()
{
    if (m_windowWillCloseCalled)
        return;
    m_windowWillCloseCalled = true;
    m_quitting.store(true);
    if (m_deviceInterface) {
        if (!m_keepITunesOpen && m_env.mediaLibraryHost) {
            try {
                if (m_env.mediaLibraryHost->isRunning())
                    m_env.mediaLibraryHost->quit();
                // Bounded: a music application that does not quit leaves it
                // running rather than freezing the window for ever.
                int waited = 0;
                while (m_env.mediaLibraryHost->isRunning()
                       && waited < m_env.iTunesQuitWaitLimitMs) {
                    Clock::sleepFor(Clock::Milliseconds(1000));
                    waited += 1000;
                }
                if (m_env.mediaLibraryHost->isRunning())
                    qCWarning(lcOrvane) << "The music application did not quit; leaving it running";
            } catch (const std::exception& e) {
                qCWarning(lcOrvane) << "Quitting the music application failed:" << e.what();
            }
        }
        m_deviceInterface->restoreITunesPreferences();
        // Only a disk-mode iPod is ejected; with none ever connected there is no path.
        const QString basePath = m_deviceInterface->standardDeviceBasePath();
        if (m_deviceInterface->connectedDeviceOperatingSystem() != 1 && !basePath.isEmpty()
            && m_env.ejectIPodOnExit && m_env.ejectIPodOnExit() && m_env.ejectVolume)
            m_env.ejectVolume(basePath);
        m_deviceInterface->setDelegate(nullptr);
        m_deviceInterface->shutdown();
    }
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        if (m_runningMediaLibrary)
            m_runningMediaLibrary->cancel();
    }
    if (m_itunesLibrary)
        m_itunesLibrary->stop();
    joinWorkers();
    _removeTemporaryFiles();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void Orvane11AppDelegate::startWorker(std::function<void()> body)
{
    m_workers.start(std::move(body));
}

void Orvane11AppDelegate::joinWorkers() { m_workers.joinAll(); }

// --- Device events ---

void Orvane11AppDelegate::OnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    if (m_quitting.load())
        return;
    post(this, [this, arguments] { _workerOnDeviceConnected(arguments); });
}

void Orvane11AppDelegate::OnDeviceDisconnected(const QELDeviceConnectivityArguments&)
{
    if (m_quitting.load())
        return;
    post(this, [this] { _onDeviceDisconnectedthreadSafe(); });
}

void Orvane11AppDelegate::_workerOnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    if (m_quitting.load() || !m_deviceInterface)
        return;
    if (arguments.deviceOperatingSystemType() == 1 && !arguments.success()) {
        if (!m_lookingForDeviceView)
            return;
        switch (arguments.devicePairingStatus()) {
        case 4:
            m_lookingForDeviceView->showTrustDeclinedBox(true);
            break;
        case 3:
            m_lookingForDeviceView->showTrustDeviceBox(true);
            break;
        case 2:
            m_lookingForDeviceView->showEnterPasscodeBox(true);
            break;
        case 0:
            m_lookingForDeviceView->showDefaultInstructions(true);
            m_lookingForDeviceView->setConnectionFailure(
                arguments.failureReason().isEmpty()
                    ? QString()
                    : LocalizedStrings::text(arguments.failureReason()));
            break;
        default:
            break;
        }
        return;
    }

    setHUDInformation(L("READINGDEVICECONTENTS"), L("PLEASEWAIT"));
    if (!m_readingDeviceView) {
        m_readingDeviceView = new QELReadingDeviceView(m_mainContentView->rect());
        m_readingDeviceView->setDelegate(this);
    }
    m_readingDeviceView->addToSuperview(m_mainContentView);

    QELDeviceInformation information = arguments.deviceInformation();
    const bool diskMode = information.deviceOperatingSystemType() == 0;
    // Every read starts with a picture, which also forgets the cancel of an
    // earlier read; a device without one shows the generic picture.
    m_readingDeviceView->setDeviceImage(
        information.deviceImage().isNull() ? AppImages::pixmap(QStringLiteral("device-generic"),
                                                               QSize(128, 128), m_readingDeviceView)
                                           : QPixmap::fromImage(information.deviceImage()));
    m_readingDeviceView->setDeviceTypeString(information.deviceTypeString());
    m_readingDeviceView->setCancelButtonHidding(true);
    m_readingDeviceView->removeAllOtherSubViews();
    m_deviceInformation = information;
    m_readingDeviceView->setProgressText(L("FINDINGMEDIALIBRARY"));

    // A new connection: an earlier read still running belongs to a device
    // that left; it is cancelled and the new read waits for it to end.
    const quint64 generation = ++m_readGeneration;
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        if (m_runningMediaLibrary)
            m_runningMediaLibrary->cancel();
    }
    const qint64 operatingSystem = m_deviceInterface->connectedDeviceOperatingSystem();
    startWorker([this, generation, operatingSystem, diskMode] {
        // A disk-mode iPod's picture is its volume icon, read here like every
        // other device file: it arrives before the read's end, which shows the content page.
        if (diskMode) {
            const QImage image = volumeIcon(*m_deviceInterface);
            if (!image.isNull()) {
                post(this, [this, generation, image] {
                    if (!isCurrentRead(generation))
                        return;
                    m_deviceInformation.setDeviceImage(image);
                    if (m_readingDeviceView)
                        m_readingDeviceView->setDeviceImage(QPixmap::fromImage(image));
                });
            }
        }
        _workerReadDeviceMediaLibrary(generation, operatingSystem);
    });
}

void Orvane11AppDelegate::_workerReadDeviceMediaLibrary(quint64 generation, qint64 operatingSystem)
{
    std::lock_guard<std::mutex> readLock(m_readMutex);
    if (m_quitting.load())
        return;
    auto relay = std::make_shared<ReadRelay>(this, generation);
    QELDeviceInterface* device = m_deviceInterface.get();
    _removeTemporaryFiles();
    const QString folder = Locations::temporaryFolder();
    const QString local = folder + QLatin1Char('/');
    std::shared_ptr<QELDeviceImageLibraryReader> artwork;

    auto copy = [&](const QString& devicePath, const QString& name) {
        if (folder.isEmpty() || m_quitting.load())
            return false;
        return device->copyFileFromDeviceAtToLocalPath(devicePath, local + name);
    };
    auto exists = [&](const QString& devicePath) { return device->fileExistsAtPath(devicePath); };
    auto makeArtwork = [&](ArtworkDatabase kind, const QString& name) {
        return m_env.makeArtworkReader ? m_env.makeArtworkReader(kind, folder, name) : nullptr;
    };

    if (operatingSystem == 1) {
        const QString iTunes = QStringLiteral("/iTunes_Control/iTunes/");
        qCInfo(lcOrvane) << "Copying Ringtones.plist";
        QString ringtones = iTunes + QStringLiteral("Ringtones.plist");
        if (!exists(ringtones))
            ringtones = QStringLiteral("/Purchases/Ringtones.plist");
        QFile::remove(local + QStringLiteral("Ringtones.plist"));
        if (exists(ringtones))
            copy(ringtones, QStringLiteral("Ringtones.plist"));

        qCInfo(lcOrvane) << "Copying Recordings.db";
        for (const char* name : {"Recordings.db", "Recordings.db-wal", "Recordings.db-shm"})
            QFile::remove(local + QLatin1String(name));
        if (exists(QStringLiteral("/Recordings/Recordings.db"))
            && copy(QStringLiteral("/Recordings/Recordings.db"), QStringLiteral("Recordings.db"))) {
            for (const char* name : {"Recordings.db-wal", "Recordings.db-shm"}) {
                const QString path = QStringLiteral("/Recordings/") + QLatin1String(name);
                if (exists(path))
                    copy(path, QLatin1String(name));
            }
        }

        // The database with its write-ahead companions, then its ".bak" set.
        struct Set {
            const char* log;
            const char* main;
            const char* wal;
            const char* shm;
        };
        for (const Set& set :
             {Set{"Copying MediaLibrary.sqlitedb", "MediaLibrary.sqlitedb",
                  "MediaLibrary.sqlitedb-wal", "MediaLibrary.sqlitedb-shm"},
              Set{"Copying MediaLibrary.sqlitedb.bak", "MediaLibrary.sqlitedb.bak",
                  "MediaLibrary.sqlitedb-wal.bak", "MediaLibrary.sqlitedb-shm.bak"}}) {
            qCInfo(lcOrvane) << set.log;
            // The companions are copied under the names SQLite looks for
            // beside the copy ("<main>-wal"), whatever the device calls them:
            // the ".bak" set names them "MediaLibrary.sqlitedb-wal.bak". A
            // companion left from an earlier connection must not be read
            // with this connection's database.
            const QString main = QLatin1String(set.main);
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(local + main + QLatin1String(suffix));
            if (!exists(iTunes + main))
                continue;
            copy(iTunes + main, main);
            for (const auto& [companion, suffix] :
                 {std::pair{set.wal, "-wal"}, std::pair{set.shm, "-shm"}}) {
                if (exists(iTunes + QLatin1String(companion)))
                    copy(iTunes + QLatin1String(companion), main + QLatin1String(suffix));
            }
            // The copy the media library read prefers: the ".bak" only when
            // the device has no other.
            if (!artwork)
                artwork = makeArtwork(ArtworkDatabase::MediaLibrary, QLatin1String(set.main));
        }

        qCInfo(lcOrvane) << "Copying Library.itdb";
        const QString itlp = iTunes + QStringLiteral("iTunes Library.itlp/");
        if (exists(itlp + QStringLiteral("Library.itdb"))) {
            for (const char* name : {"Library.itdb", "Locations.itdb", "Dynamic.itdb"})
                copy(itlp + QLatin1String(name), QLatin1String(name));
        }
        qCInfo(lcOrvane) << "Copying iTunesDB";
        if (exists(iTunes + QStringLiteral("iTunesDB")))
            copy(iTunes + QStringLiteral("iTunesDB"), QStringLiteral("iTunesDB"));
        qCInfo(lcOrvane) << "Copying iTunesCDB";
        if (exists(iTunes + QStringLiteral("iTunesCDB")))
            copy(iTunes + QStringLiteral("iTunesCDB"), QStringLiteral("iTunesCDB"));
        qCInfo(lcOrvane) << "Copying ArtworkDB";
        if (!artwork && exists(QStringLiteral("/iTunes_Control/Artwork/ArtworkDB"))) {
            copy(QStringLiteral("/iTunes_Control/Artwork/ArtworkDB"), QStringLiteral("ArtworkDB"));
            if ((artwork = makeArtwork(ArtworkDatabase::ArtworkDB, QStringLiteral("ArtworkDB"))))
                artwork->setLibraryDirectoryOnDevice(QStringLiteral("/iTunes_Control/Artwork/"));
        }
    } else {
        const QString iTunes = QStringLiteral("/iPod_Control/iTunes/");
        qCInfo(lcOrvane) << "Copying iTunes Library.itlp";
        const QString itlp = iTunes + QStringLiteral("iTunes Library.itlp");
        if (exists(itlp)) {
            for (const char* name : {"Library.itdb", "Locations.itdb", "Dynamic.itdb"})
                copy(itlp + QLatin1Char('/') + QLatin1String(name), QLatin1String(name));
        }
        qCInfo(lcOrvane) << "Copying iTunesDB";
        if (exists(iTunes + QStringLiteral("iTunesDB")))
            copy(iTunes + QStringLiteral("iTunesDB"), QStringLiteral("iTunesDB"));
        qCInfo(lcOrvane) << "Copying iTunesCDB";
        if (exists(iTunes + QStringLiteral("iTunesCDB")))
            copy(iTunes + QStringLiteral("iTunesCDB"), QStringLiteral("iTunesCDB"));
        qCInfo(lcOrvane) << "Copying ArtworkDB";
        if (exists(QStringLiteral("/iPod_Control/Artwork/ArtworkDB"))) {
            copy(QStringLiteral("/iPod_Control/Artwork/ArtworkDB"), QStringLiteral("ArtworkDB"));
            if ((artwork = makeArtwork(ArtworkDatabase::ArtworkDB, QStringLiteral("ArtworkDB"))))
                artwork->setLibraryDirectoryOnDevice(QStringLiteral("/iPod_Control/Artwork/"));
        }
    }

    // The libraries travel to the main thread by value, ahead of the read's events.
    auto library = std::make_shared<QELDeviceMediaLibrary>(
        folder.isEmpty() ? QStringLiteral("/nonexistent") : folder);
    library->setDelegate(relay.get());
    library->setDeviceInterface(device);
    if (artwork) {
        artwork->setDelegate(relay.get());
        artwork->setDeviceInterface(device);
    }
    post(this, [this, generation, library, artwork, relay] {
        _workerOnLibrariesMade(generation, library, artwork, relay);
    });
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        m_runningMediaLibrary = library;
    }
    const bool read = !m_quitting.load() && library->readMediaLibrary();
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        if (m_runningMediaLibrary == library)
            m_runningMediaLibrary.reset();
    }
    library->setDelegate(nullptr);
    if (!read) {
        qCWarning(lcOrvane) << "Error reading Media Library";
        qCWarning(lcOrvane).noquote() << "Temporary directory :" << folder;
        // A read that failed with its event ends through the fail notice
        // that the event leads to; one without (no temporary folder) ends
        // here. Either way the content page is shown once, without libraries.
        if (!relay->completeSent.load())
            post(this, [this, generation] { _setReadMusicLibraryFailNotice(generation); });
    }
}

void Orvane11AppDelegate::_workerOnLibrariesMade(
    quint64 generation, std::shared_ptr<QELDeviceMediaLibrary> library,
    std::shared_ptr<QELDeviceImageLibraryReader> artwork, std::shared_ptr<ReadRelay> relay)
{
    if (!isCurrentRead(generation))
        return;
    // A new read never keeps the artwork reader of an earlier one.
    m_mediaLibrary = std::move(library);
    m_imageLibrary = std::move(artwork);
    m_readRelay = std::move(relay);
}

void Orvane11AppDelegate::OnDeviceMediaLibaryReadCompleteEvent(
    const DeviceMediaLibraryReadCompleteArguments& arguments)
{
    const bool ok = arguments.readSuccesfull();
    post(this, [this, g = m_readGeneration.load(), ok] {
        _workerOnDeviceMediaLibaryReadCompleteEvent(g, ok);
    });
}

void Orvane11AppDelegate::OnDeviceMediaLibraryReadProgressEvent(const QString& progress)
{
    post(this, [this, g = m_readGeneration.load(), progress] {
        _workerOnDeviceMediaLibraryReadProgressEvent(g, progress);
    });
}

void Orvane11AppDelegate::OnDeviceMediaLibraryReadPlaylistName(const QString& name)
{
    post(this, [this, g = m_readGeneration.load(), name] {
        _workerOnDeviceMediaLibraryReadPlaylistName(g, name);
    });
}

void Orvane11AppDelegate::_workerOnDeviceMediaLibraryReadProgressEvent(quint64 generation,
                                                                       const QString& progress)
{
    if (isCurrentRead(generation) && m_readingDeviceView)
        m_readingDeviceView->setProgressText(progress);
}

void Orvane11AppDelegate::_workerOnDeviceMediaLibraryReadPlaylistName(quint64 generation,
                                                                      const QString& name)
{
    if (isCurrentRead(generation) && m_readingDeviceView)
        m_readingDeviceView->setPlaylistName(name);
}

void Orvane11AppDelegate::_workerOnDeviceMediaLibaryReadCompleteEvent(quint64 generation,
                                                                      bool readSuccesfull)
{
    if (!isCurrentRead(generation))
        return;
    if (m_readingDeviceView)
        m_readingDeviceView->setCancelButtonHidding(true);
    if (!readSuccesfull) {
        post(this, [this, generation] { _setReadMusicLibraryFailNotice(generation); });
        return;
    }
    if (std::shared_ptr<QELDeviceImageLibraryReader> artwork = m_imageLibrary) {
        if (m_readingDeviceView)
            m_readingDeviceView->setProgressText(L("PROCESSINGARTWORK"));
        // The relay that the reader reports to lives as long as the read.
        startWorker([artwork, relay = m_readRelay] { artwork->readImageDatabase(); });
    } else {
        _workerOnDeviceImageLibraryDatabaseReadComplete(generation);
    }
}

void Orvane11AppDelegate::OnDeviceImageLibraryDatabaseReadComplete(
    const QELDeviceImageLibraryDatabaseReadCompleteArguments&)
{
    post(this, [this, g = m_readGeneration.load()] {
        _workerOnDeviceImageLibraryDatabaseReadComplete(g);
    });
}

void Orvane11AppDelegate::_workerOnDeviceImageLibraryDatabaseReadComplete(quint64 generation)
{
    if (!isCurrentRead(generation) || !m_itunesLibrary)
        return;
    m_iTunesReadGeneration = generation;
    m_itunesLibrary->startReadingITunesLibrary();
    if (m_readingDeviceView)
        m_readingDeviceView->setProgressText(L("READINGITUNESLIBRARY"));
}

void Orvane11AppDelegate::OnITunesLibraryLoadCompleteWithArguments(
    const QELITunesLibraryReadCompleteArguments&)
{
    if (QThread::currentThread() == thread()) {
        _workerOnITunesLibraryLoadComplete(m_iTunesReadGeneration);
        return;
    }
    // Waits until the main thread has shown the content page, but never past
    // the shutdown, which waits for this thread.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> shown = done->get_future();
    post(this, [this, done] {
        _workerOnITunesLibraryLoadComplete(m_iTunesReadGeneration);
        done->set_value();
    });
    while (shown.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        if (m_quitting.load())
            return;
    }
}

void Orvane11AppDelegate::_workerOnITunesLibraryLoadComplete(quint64 generation)
{
    if (!isCurrentRead(generation) || m_quitting.load())
        return;
    _readingDeviceComplete();
}

void Orvane11AppDelegate::_readingDeviceComplete()
{
    // Once per read: a later hop of the same read finds it already shown.
    ++m_readGeneration;
    try {
        showContentPage(true);
    } catch (const std::exception& e) {
        qCWarning(lcOrvane).noquote() << QString::fromUtf8(e.what());
    }
}

void Orvane11AppDelegate::_setReadMusicLibraryFailNotice(quint64 generation)
{
    if (!isCurrentRead(generation) || m_quitting.load())
        return;
    ++m_readGeneration;
    try {
        showContentPage(false);
    } catch (const std::exception& e) {
        qCWarning(lcOrvane).noquote() << QString::fromUtf8(e.what());
    }
}

void Orvane11AppDelegate::showContentPage(bool withLibraries)
{
    if (m_deviceContentView) {
        // Also after a failed read: the list must be the new device's.
        m_deviceContentView->DisplayCategoriesForDevice(m_deviceInformation.deviceType());
    } else {
        m_deviceContentView = new QELDeviceContentView(
            m_mainContentView->rect(), m_deviceInformation, m_deviceInterface.get());
    }
    if (withLibraries)
        m_deviceContentView->setDeviceMediaLibraryWithITunesLibraryWithArtwork(
            m_mediaLibrary, m_itunesLibrary, m_imageLibrary);
    else
        m_deviceContentView->setDeviceMediaLibraryWithITunesLibraryWithArtwork(nullptr, nullptr,
                                                                               nullptr);
    m_deviceContentView->setDelegate(this, this);
    m_deviceContentView->addToSuperview(m_mainContentView);
    m_deviceContentView->removeAllOtherSubViews();
    clearHUD();
    _enableControlBarControls(true);
    // The notices of the selected category reach the delegate now it is set;
    // after the whole bar was enabled, so they switch off what it lacks.
    m_deviceContentView->resendAvailability();
    ++m_contentPageShowCount;
}

void Orvane11AppDelegate::_onDeviceDisconnectedthreadSafe()
{
    if (m_quitting.load())
        return;
    // Whatever the departed device's read still does is dropped from now on.
    ++m_readGeneration;
    {
        std::lock_guard<std::mutex> lock(m_runningMutex);
        if (m_runningMediaLibrary)
            m_runningMediaLibrary->cancel();
    }
    if (!m_lookingForDeviceView)
        m_lookingForDeviceView = new QELLookingForDeviceView(m_mainContentView->rect());
    m_lookingForDeviceView->addToSuperview(m_mainContentView);
    m_lookingForDeviceView->removeAllOtherSubViews();
    _enableControlBarControls(false);
    // The departed device's tracks cannot play any more.
    if (m_mediaPlayer)
        m_mediaPlayer->clearPlayQueueWithStop(true);
    clearHUD();
    setHUDInformation(L("LOOKINGFORDEVICE"), QString());
    m_lookingForDeviceView->showDefaultInstructions(true);
    m_lookingForDeviceView->setConnectionFailure(QString());
    m_lookingForDeviceView->setDeviceServiceRunning(!m_env.deviceServiceRunning
                                                    || m_env.deviceServiceRunning());
    if (m_mediaLibrary)
        m_mediaLibrary->close();
    if (m_imageLibrary)
        m_imageLibrary->close();
    if (m_deviceContentView)
        m_deviceContentView->ResetAllContentViews();
    // The read worker of the departed device empties the folder when the
    // next read starts; emptying it here while that worker may still be
    // copying is harmless, as its results are dropped.
    _removeTemporaryFiles();
}

void Orvane11AppDelegate::OnReadingDeviceViewCancelRequest()
{
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_runningMediaLibrary)
        m_runningMediaLibrary->cancel();
}
