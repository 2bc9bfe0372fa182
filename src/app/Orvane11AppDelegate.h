// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include "DeviceMediaLibraryReadCompleteArguments.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceContentViewDelegate.h"
#include "QELDeviceImageLibraryEventProtocol.h"
#include "QELDeviceInformation.h"
#include "QELDeviceMediaLibraryEventsProtocol.h"
#include "QELHUDViewDelegate.h"
#include "QELITunesLibraryDelegate.h"
#include "QELMediaPlayerDelegate.h"
#include "QELOrvanePreferencesDelegate.h"
#include "QELReadingDeviceViewDelegate.h"
#include "QELUpdateCheckerDelegate.h"
#include "WorkerThreads.h"

class MediaLibraryHost;
class QCheckBox;
class QDialog;
class QELDeviceCategoryContentView;
class QELDeviceContentView;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;
class QELDeviceMediaLibrary;
class QELHUDView;
class QELITunesLibrary;
class QELImageButton;
class QELLookingForDeviceView;
class QELMediaPlayer;
class QELOrvanePreferencesWindowsController;
class QELPagedView;
class QELReadingDeviceView;
class QELUpdateChecker;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTimer;
class QToolButton;
class QUrl;
class QWidget;

// The application delegate: start-up and shutdown, the device events and the
// device read flow, the control bar, the HUD reports, the preview player, the
// sheets of the main window and the menu commands. It owns the device
// interface, the libraries of the connected device and the pages of the main
// window. Main thread, except the event entry points, which move each event
// to the main thread.
//
// Every read belongs to one connection: a read generation, changed by every
// usable connection and every disconnection, is checked at each step on the
// main thread, so a read of a device that left never shows its content, and
// a new read waits for the previous one (cancelled) to end before it touches
// the temporary folder.
class Orvane11AppDelegate : public QObject,
                            public QELDeviceConnectivityDelegate,
                            public QELDeviceMediaLibraryEventsProtocol,
                            public QELDeviceCategoryContentViewDelegate,
                            public QELDeviceContentViewDelegate,
                            public QELDeviceImageLibraryEventProtocol,
                            public QELHUDViewDelegate,
                            public QELMediaPlayerDelegate,
                            public QELOrvanePreferencesDelegate,
                            public QELITunesLibraryDelegate,
                            public QELUpdateCheckerDelegate,
                            public QELReadingDeviceViewDelegate {
    Q_OBJECT
public:
    enum class ArtworkDatabase { MediaLibrary, ArtworkDB };
    // What the user chose when quitting during a copy.
    enum class QuitDuringCopy { Stay, FinishThenQuit, CancelThenQuit };

    // What the delegate reaches outside the program; tests replace parts.
    struct Environment {
        std::shared_ptr<MediaLibraryHost> mediaLibraryHost;
        std::function<std::unique_ptr<QELDeviceInterface>()> makeDeviceInterface;
        // Starts a child process that nothing waits for.
        std::function<void(const QString& program, const QStringList& arguments)> startDetached;
        // Makes the artwork reader of a copied database; null when none can be made.
        std::function<std::shared_ptr<QELDeviceImageLibraryReader>(
            ArtworkDatabase kind, const QString& folder, const QString& databaseFileName)>
            makeArtworkReader;
        std::function<bool()> checkForUpdatesOnStartUp;
        std::function<bool()> ejectIPodOnExit;
        std::function<QELUpdateChecker*(QObject* parent)> makeUpdateChecker;
        // Unmounts and ejects the volume at a path.
        std::function<void(const QString& path)> ejectVolume;
        // How long the shutdown waits for the music application to quit (nominal ms).
        int iTunesQuitWaitLimitMs = 30000;
        // Opens a web address or a local folder with the desktop; the outcome is ignored.
        std::function<void(const QUrl& url)> openUrl;
        // Makes the preview player of the device interface, its parent given.
        std::function<QELMediaPlayer*(QELDeviceInterface* device, QObject* parent)> makeMediaPlayer;
        // Whether the service that finds USB devices (usbmuxd) runs; empty: taken as running.
        std::function<bool()> deviceServiceRunning;
        // Asked when the window closes or the program quits while a copy
        // runs; empty: a message box asks.
        std::function<QuitDuringCopy()> askQuitDuringCopy;
    };
    // The window's keys. Text fields keep what they type (a space, Esc in a
    // dialog): these act when the focus is elsewhere, or in the search field.
    enum class Shortcut { Find, ClearSearch, Preferences, PlayPause };
    static QList<QKeySequence> keysOf(Shortcut which);

    // The real environment: the folder music host, the device backends the
    // environment variables select, killall, the preferences, the desktop's
    // opener and the Qt Multimedia player.
    static Environment defaultEnvironment();

    Orvane11AppDelegate(QMainWindow* window, Environment environment, QObject* parent = nullptr);
    ~Orvane11AppDelegate() override;

    // The launching steps; called once when the event loop starts.
    void applicationDidFinishLaunching();
    // The shutdown; runs once (the main window's close calls it).
    void windowWillClose();

    void _startLookingForDevice();
    // Empties the temporary folder (any thread).
    static void _removeTemporaryFiles();

    void iTunesRunningCloseITunesButtonClicked();
    void iTunesRunningContinueButtonClicked();
    void iTunesRunningExitOrvaneButtonClicked();

    QMainWindow* window() const;
    QWidget* mainContentView() const;
    QELPagedView* iTunesIsRunningView() const;
    QELLookingForDeviceView* lookingForDeviceView() const;
    QELReadingDeviceView* readingDeviceView() const;
    QELDeviceContentView* deviceContentView() const;
    QELHUDView* hudView() const;
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface.get(); }
    std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary() const { return m_mediaLibrary; }
    std::shared_ptr<QELDeviceImageLibraryReader> imageLibrary() const { return m_imageLibrary; }
    std::shared_ptr<QELITunesLibrary> iTunesLibrary() const { return m_itunesLibrary; }
    QELUpdateChecker* updateChecker() const;
    bool keepITunesOpen() const { return m_keepITunesOpen; }
    bool controlBarEnabled() const { return m_controlBarEnabled; }
    QELMediaPlayer* mediaPlayer() const;

    // The control bar.
    QELImageButton* playButton() const;
    QELImageButton* nextButton() const;
    QToolButton* copyToITunesButton() const;
    QToolButton* copyToMacButton() const;
    QToolButton* backUpButton() const;
    QLineEdit* searchTextField() const;
    // The pending search; inactive when none.
    const QTimer* searchTimer() const;
    // The sheets and windows; the sheets are shown window-modal on the main window.
    QDialog* copyCompleteView() const;
    QCheckBox* checkBoxShowCopyCompleteView() const;
    QWidget* copyCompleteViewFilesBox() const;
    QLabel* copyCompleteIconImageView() const;
    // The line that says how many items the copy could not copy; hidden when all were copied.
    QLabel* copyCompleteNotCopiedLabel() const { return m_copyCompleteNotCopiedLabel; }
    // The bundle image shown by copyCompleteIconImageView ("copy.png", "itunes.png").
    QString copyCompleteIconImage() const { return m_copyCompleteIconImage; }
    QDialog* confirmBackupView() const;
    QDialog* updateAvailablePanel() const;
    QCheckBox* automaticallyCheckForUpdatesCheckBox() const;
    QDialog* aboutWindow() const;
    QLabel* aboutWindowVersionLabel() const;
    QELOrvanePreferencesWindowsController* preferencesWindow() const;

    // Control-bar actions.
    void CopyToITunesClicked();
    void CopyToMacClicked();
    void BackUpClicked();
    void PlayClicked();
    void NextClicked();
    // The search field's text changed by the user: the search waits until it
    // has been quiet for 0.5 s.
    void controlTextDidChange();
    void _searchTimerExpired();

    // Sheets and menu commands.
    void copyCompleteViewCloseButtonClicked();
    void copyCompleteViewFilesButtonClicked();
    void confirmBackUpProceedButtonClicked();
    void confirmBackupCancelButtonClicked();
    void downloadUpdateButtonClicked();
    void closeUpdateAvailableButtonClicked();
    void menuPreferencesClicked();
    void OnPreferencesWindowClose() override;
    void menuAboutOrvaneClicked();
    // Quit in the menu (the platform's Quit keys): the same clean-up as
    // closing the window.
    void menuQuitClicked();
    void aboutWindowQELHomeBackButtonClicked();
    void viewTermsAndConditionsButtonClicked();
    void showHelp();
    void menuHelpOrvaneUserGuideClicked();
    void menuHelpContactSupportClicked();
    // The maker's home page, opened by the about window's home button.
    static QString makerHomePage();

    // Called by the apps view directly: the copy progress from two lines and
    // two numbers (current, maximum); missing elements count as empty or 0.
    void ShowCopyProgressProgressDetail(const QStringList& progress,
                                        const QVariantList& progressDetail);
    void ClearHUD();

    // Preview player events.
    void OnPlaybackQueueCompleted() override;
    void OnPlaybackProgress(const QELMediaPlayerProgressEventArgs& progress) override;
    void OnStatusInformationEventAndSecondLine(const QString& firstLine,
                                               const QString& secondLine) override;
    void OnCachingStatusEvent(bool caching) override;
    void OnStartPlaybackEventWithTrackDetails(const QELMediaPlayerItem& item) override;
    // How many reads have shown the content page (tests).
    int contentPageShowCount() const { return m_contentPageShowCount; }
    // Waits until every read worker of this run has ended (tests, shutdown).
    void joinWorkers();

    // Device events (detection threads).
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) override;

    // Media-library events (a read's own events go through its relay; these
    // take those of a library whose delegate is this object directly).
    void OnDeviceMediaLibaryReadCompleteEvent(
        const DeviceMediaLibraryReadCompleteArguments& arguments) override;
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override;
    void OnDeviceMediaLibraryReadPlaylistName(const QString& name) override;

    void OnDeviceImageLibraryDatabaseReadComplete(
        const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments) override;
    void OnITunesLibraryLoadCompleteWithArguments(
        const QELITunesLibraryReadCompleteArguments& arguments) override;
    void OnReadingDeviceViewCancelRequest() override;
    void OnUserCancelCopyEvent() override;
    void OnShowFolderRequest(const QString& folder) override;
    void OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable) override;

    // Content page notices and category view events.
    void OnCopyToITunesFunctionalityAvailableNotification(bool available) override;
    void OnCopyToMacFunctionalityAvailableNotification(bool available) override;
    void OnBackUpFunctionalityAvailableNotification(bool available) override;
    void OnMediaPlaybackFunctionalityAvailableNotification(bool available) override;
    void OnSearchFunctionalityAvailableNotification(bool available) override;
    void OnSearchPlaceholderTextNotification(const QString& placeholder) override;
    void OnCategorySwitchNotification() override;
    void OnProgressEventCurrentValueMaximumValue(const QString& text, double current,
                                                 double maximum) override;
    void OnInformationStatusEventBottomLine(const QString& topLine,
                                            const QString& bottomLine) override;
    void OnCopyEndedInFolder(const QString& topLine, const QString& bottomLine,
                             const QString& folder) override;
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
    // The copy-complete sheet; `notCopiedText` says what was not copied.
    void showCopyComplete(int copyType, bool complete, const QString& notCopiedText);

    // What the last availability notices said (tests).
    struct Availability {
        bool transfer = false;
        bool copy = false;
        bool backUp = false;
        bool playback = false;
        bool search = false;
        QString placeholder;
    };
    Availability availability() const { return m_availability; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ReadRelay;
    friend class ReadRelay;

    void buildWindow();
    QWidget* buildControlBar(QWidget* parent);
    void buildMenus();
    void buildCopyCompleteView();
    void buildConfirmBackupView();
    void buildUpdateAvailablePanel();
    void buildAboutWindow();
    void buildITunesRunningPage();
    // The shown category view, when the content page exists and shows one.
    QELDeviceCategoryContentView* currentCategoryView() const;
    // Sends `request` to the shown category view when it answers it; logs and
    // drops it otherwise.
    void forwardRequest(int request, const char* name);
    void _setPlayPauseButtonImage();
    void beginSheet(QDialog* sheet);
    void endSheet(QDialog* sheet);
    void openLocalizedUrl(const char* key);
    void openUrl(const QUrl& url);
    void emptySearchField();
    void _workerOnDeviceConnected(const QELDeviceConnectivityArguments& arguments);
    void _onDeviceDisconnectedthreadSafe();
    void _workerReadDeviceMediaLibrary(quint64 generation, qint64 operatingSystem);
    void _workerOnLibrariesMade(quint64 generation, std::shared_ptr<QELDeviceMediaLibrary> library,
                                std::shared_ptr<QELDeviceImageLibraryReader> artwork,
                                std::shared_ptr<ReadRelay> relay);
    void _workerOnDeviceMediaLibaryReadCompleteEvent(quint64 generation, bool readSuccesfull);
    void _workerOnDeviceMediaLibraryReadProgressEvent(quint64 generation, const QString& progress);
    void _workerOnDeviceMediaLibraryReadPlaylistName(quint64 generation, const QString& name);
    void _workerOnDeviceImageLibraryDatabaseReadComplete(quint64 generation);
    void _workerOnITunesLibraryLoadComplete(quint64 generation);
    void _setReadMusicLibraryFailNotice(quint64 generation);
    void _readingDeviceComplete();
    void showContentPage(bool withLibraries);
    void _enableControlBarControls(bool enable);
    void setHUDInformation(const QString& top, const QString& bottom);
    void clearHUD();
    bool isCurrentRead(quint64 generation) const { return generation == m_readGeneration.load(); }
    void startWorker(std::function<void()> body);

    Environment m_env;
    QPointer<QMainWindow> m_window;
    QPointer<QWidget> m_mainContentView;
    QPointer<QELHUDView> m_hudView;
    QPointer<QELPagedView> m_iTunesIsRunningView;
    QPointer<QELLookingForDeviceView> m_lookingForDeviceView;
    QPointer<QELReadingDeviceView> m_readingDeviceView;
    QPointer<QELDeviceContentView> m_deviceContentView;
    std::unique_ptr<QELDeviceInterface> m_deviceInterface;
    QELDeviceInformation m_deviceInformation;
    std::shared_ptr<QELDeviceMediaLibrary> m_mediaLibrary;
    std::shared_ptr<QELDeviceImageLibraryReader> m_imageLibrary;
    std::shared_ptr<QELITunesLibrary> m_itunesLibrary;
    QPointer<QELUpdateChecker> m_updateChecker;
    QPointer<QELMediaPlayer> m_mediaPlayer;
    QPointer<QELOrvanePreferencesWindowsController> m_preferencesWindow;
    QPointer<QELImageButton> m_playButton;
    QPointer<QELImageButton> m_nextButton;
    QPointer<QToolButton> m_copyToITunesButton;
    QPointer<QToolButton> m_copyToMacButton;
    QPointer<QToolButton> m_backUpButton;
    QPointer<QLineEdit> m_searchTextField;
    QTimer* m_searchTimer = nullptr;
    // Looks again every 2 s whether usbmuxd runs, so the looking-for-device
    // page's notice follows a usbmuxd started (or stopped) meanwhile.
    QTimer* m_deviceServiceTimer = nullptr;
    bool m_emptyingSearchField = false;
    QDialog* m_copyCompleteView = nullptr;
    QCheckBox* m_checkBoxShowCopyCompleteView = nullptr;
    QWidget* m_copyCompleteViewFilesBox = nullptr;
    QLabel* m_copyCompleteIconImageView = nullptr;
    QLabel* m_copyCompleteNotCopiedLabel = nullptr;
    QString m_copyCompleteIconImage;
    QDialog* m_confirmBackupView = nullptr;
    QDialog* m_updateAvailablePanel = nullptr;
    QCheckBox* m_automaticallyCheckForUpdatesCheckBox = nullptr;
    QDialog* m_aboutWindow = nullptr;
    QLabel* m_aboutWindowVersionLabel = nullptr;
    bool m_windowWillCloseCalled = false;
    // A copy runs from its first progress to its end; a quit asked for
    // meanwhile waits for the end (and the job's clean-up) and is done then.
    bool m_copyRunning = false;
    bool m_quitWhenCopyEnds = false;
    bool m_quitConfirmed = false;
    // Whether the window may close now; asks when a copy runs.
    bool mayQuitNow();
    void copyEnded();
    bool m_keepITunesOpen = false;
    bool m_controlBarEnabled = false;
    int m_contentPageShowCount = 0;
    Availability m_availability;

    // The read of the connection now shown; changed on the main thread only.
    std::atomic<quint64> m_readGeneration{0};
    std::shared_ptr<ReadRelay> m_readRelay;
    // The generation whose computer-library read is running.
    quint64 m_iTunesReadGeneration = 0;
    std::atomic<bool> m_quitting{false};
    // Held by a read worker for its whole run: reads never overlap.
    std::mutex m_readMutex;
    // The media library a worker is reading, for cancel (any thread).
    std::mutex m_runningMutex;
    std::shared_ptr<QELDeviceMediaLibrary> m_runningMediaLibrary;
    // Last: the destructor joins the workers before the members they use go.
    WorkerThreads m_workers{QStringLiteral("A read worker")};
};
