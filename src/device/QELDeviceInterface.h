// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "AppDetail.h"
#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceInformation.h"
#include "WorkerThreads.h"

class AfcConnection;
class IPodFramework;
class InstallationProxy;
class MobileDevice;
class QELDeviceApplicationInstallDelegate;
class QELDeviceConnectivityDelegate;
class ServiceConnection;
class SpringBoardServices;
struct DeviceNotification;

// The one object through which the program reaches a device: it detects iOS
// devices and disk-mode iPods, pairs and connects, and reads and writes the
// device's files. File operations block; call them from worker threads.
class QELDeviceInterface {
public:
    QELDeviceInterface(std::shared_ptr<MobileDevice> mobileDevice,
                       std::shared_ptr<IPodFramework> iPods);
    // Ends every detection thread (see shutdown()).
    ~QELDeviceInterface();

    QELDeviceInterface(const QELDeviceInterface&) = delete;
    QELDeviceInterface& operator=(const QELDeviceInterface&) = delete;

    // The interface over the backends the environment selects: simulated
    // devices when ORVANE_SIMULATED_DEVICES is set, else libimobiledevice; the
    // mounted removable volumes and ORVANE_EXTRA_VOLUMES for disk-mode iPods.
    static std::unique_ptr<QELDeviceInterface> create();
    // An interface whose device is the file tree at `mountPoint`, reached as
    // a disk-mode device's volume, with no detection (tools and tests that
    // read a folder of device files).
    static std::unique_ptr<QELDeviceInterface> createOverFolder(const QString& mountPoint);

    // Starts detection: device notifications and the two disk-mode pollers.
    void BeginDeviceConnectionDetect();
    // Stops notifications, ends every wait and retry, and joins the detection
    // threads. No event is sent once it has begun. Call it before the delegate
    // goes away; it is idempotent.
    void shutdown();

    // Not owned; must outlive the interface or be reset to nullptr first.
    QELDeviceConnectivityDelegate* delegate() const { return m_delegate.load(); }
    void setDelegate(QELDeviceConnectivityDelegate* delegate) { m_delegate.store(delegate); }

    bool cancelConnectivityDetect() const { return m_cancelConnectivityDetect.load(); }
    void setCancelConnectivityDetect(bool cancel) { m_cancelConnectivityDetect.store(cancel); }

    // 0 for a disk-mode iPod, 1 for an iOS device: selects the access path of
    // every file operation.
    qint64 connectedDeviceOperatingSystem() const
    {
        return m_connectedDeviceOperatingSystem.load();
    }
    void setConnectedDeviceOperatingSystem(qint64 type)
    {
        m_connectedDeviceOperatingSystem.store(type);
    }

    // A copy of the device information (kept across connections).
    QELDeviceInformation deviceInformation() const;
    void setDeviceInformation(const QELDeviceInformation& information);

    // The mount point of a disk-mode device.
    QString standardDeviceBasePath() const;

    // True while a usable device is connected.
    bool isValidDeviceConnected() const { return m_validDeviceConnected.load(); }
    // After the user declined to trust this computer (pairing status 4): asks
    // the device again, which shows its trust dialog anew.
    void retryPairing();

    // --- File access. Paths with or without a leading "/" name the same place;
    // ".." never leads above the device's root. ---

    bool fileExistsAtPath(const QString& path) const;
    // iOS: the file service's pairs (digits-only values as numbers) plus
    // "path"; disk mode: file attributes ("NSFileSize", "NSFileType", ...).
    std::optional<QVariantMap> getFileInfo(const QString& path) const;
    bool isDirectoryAtPath(const QString& path) const;
    // A file's size from getFileInfo ("st_size" from the file service,
    // "NSFileSize" on a disk-mode volume); nothing for a folder or when the
    // device gives none.
    std::optional<qint64> fileSizeAtPath(const QString& path) const;
    bool makeDir(const QString& path) const;
    // Entry names without "." and "..", in the device's order. A name no file
    // system could hold ("a/b", "../x") is left out; `refused`, when given,
    // counts those.
    std::optional<QStringList> directoryContents(const QString& path, int* refused = nullptr) const;
    // iOS: exactly `length` bytes from `offset`, read in blocks of at most
    // 4 MiB, or nothing. Disk mode: up to `length` bytes (shorter at the end).
    std::optional<QByteArray> getDataContentsAtPathStartingAtPostisionForLength(
        const QString& path, quint64 offset, quint32 length) const;
    // Copies a device file to a local path that must not exist yet, in blocks
    // of 4 MiB. True only when the whole file arrived; a cancelled or failed
    // copy leaves no file. `cancel`, when given, cancels this copy alone;
    // setCancelFileOperation(true) cancels every copy running at that moment.
    // The copy is made with the user's umask, as cp does, and carries
    // `modified` as its modification time; without one, the device file's.
    // A failure notes its reason (CopyFailures) for the calling thread.
    bool copyFileFromDeviceAtToLocalPath(const QString& devicePath, const QString& localPath,
                                         const std::atomic<bool>* cancel = nullptr,
                                         const QDateTime& modified = QDateTime());
    // Copies a device folder's tree into a local folder; entries whose names
    // could leave the target ("..", "/", ...) are skipped. True when every file
    // was copied.
    bool copyDirectoryFromDeviceAtToLocalPath(const QString& devicePath, const QString& localPath,
                                              const std::atomic<bool>* cancel = nullptr);
    // Uploads a local file to a device path that must not exist yet. True only
    // when every byte was written; a failed upload leaves nothing behind. On
    // a disk-mode volume the file keeps the local file's modification time
    // (the device's file service has no call to set one).
    bool copyLocalFileAtToDevicePath(const QString& localPath, const QString& devicePath,
                                     const std::atomic<bool>* cancel = nullptr);
    // Removes a file or an empty folder.
    bool deletePath(const QString& path);
    // Renames a device item; an existing file at `to` is replaced, as rename(2) does.
    bool renamePath(const QString& from, const QString& to);
    // Disk mode: the local path of a device path below the mount point; empty
    // (and every call on it fails) when it leads off the volume, as through a
    // symlink on the volume.
    QString fullStandardDevicePathWithPath(const QString& path) const;

    bool cancelFileOperation() const { return m_cancelFileOperation.load(); }
    void setCancelFileOperation(bool cancel);

    // A file-service (AFC) call that failed: its raw result code, the call and
    // the device path. Code 0 is none.
    struct AfcError {
        int code = 0;
        QString operation;
        QString path;
    };
    // The last file-service error a file call met (logged when it happened).
    // "Not found" answers fileExistsAtPath(), isDirectoryAtPath() and
    // getFileInfo() (nothing there); it is an error of the other calls.
    // Any thread.
    AfcError lastAfcError() const;
    void clearLastAfcError();

    // --- The device's iTunes preferences. ---

    // Saves the device's original preferences (per device, never overwriting a
    // saved original) and puts the changed file on the device.
    bool modifyITunesPreferences();
    // Puts the saved original back on the device it came from, when that
    // device is connected; the saved copy is kept until then.
    void restoreITunesPreferences();
    // The folder that keeps the saved originals of the current device.
    QString savedPreferencesFolderOfDevice() const;
    // The preferences file as the program changes it (fixed bytes set to fixed
    // values; `operatingSystem` 1 iOS, 0 disk mode).
    static QByteArray changedITunesPreferences(const QByteArray& original, qint64 operatingSystem);

    // --- File relay. ---

    bool connectToFileRelayService();
    bool requestFileRelaySource(const QStringList& sources);
    bool receiveFileRelayItem(const QString& localPath);
    void disconnectFileRelayService();

    // --- Apps: the installation proxy and springboard services of the
    // connected iOS device. Blocking, worker threads only (uninstall too).
    // Start, stop and each request with all its replies are one critical
    // section, so any number of threads may share the connection. ---

    // Opens the apps connection (a fresh device session starting both
    // services), or takes one more hold on it when it is open. Each call is
    // matched by one StopAppsService(); the last one closes it. True when the
    // connection is open.
    bool StartAppsService();
    void StopAppsService();
    bool appsConnectionIsOpen() const;
    // The bundle identifiers of the installed user apps ("ApplicationType"
    // "User", exactly); empty without the connection or when the lookup
    // fails. Refreshes the details that GetAppDetailByBundleId answers.
    QStringList getAppIDList();
    bool ApplicationIsPresent(const QString& bundleId);
    // The app's details from the last lookup, looked up again when that did
    // not know the app; nothing when no lookup has answered.
    std::optional<AppDetail> GetAppDetailByBundleId(const QString& bundleId);
    // The app's home-screen icon; a null image when there is none.
    QImage GetApplicationIconForBundleId(const QString& bundleId);
    // Leaves "/ApplicationArchives/<bundle id>.zip" on the device.
    bool ArchiveApplication(const QString& bundleId);
    bool RemoveArchiveApplication(const QString& bundleId);
    // Stages each package (a path or a file URL) in "/PublicStaging" and has
    // the device install it, reporting each to the install delegate. Answers
    // the number installed.
    int InstallApplicationsFromPaths(const QStringList& paths);
    // Uninstalls each app; empty identifiers are skipped. Answers the number
    // the device uninstalled.
    int UninstallApplicationsWithBundleIds(const QStringList& bundleIds);
    // Not owned: the receiver resets it before it goes, after joining the
    // thread it installs on.
    QELDeviceApplicationInstallDelegate* applicationInstallDelegate() const
    {
        return m_applicationInstallDelegate.load();
    }
    void setApplicationInstallDelegate(QELDeviceApplicationInstallDelegate* delegate)
    {
        m_applicationInstallDelegate.store(delegate);
    }

    // The device type of an iOS device by its class and product type
    // ("iPhone15,2"): rows compare the major number exactly, and a model newer
    // than the newest listed row of its class takes that row. Another class
    // leaves `current`.
    static qint64 deviceTypeFor(const QString& deviceClass, const QString& productType,
                                qint64 current);
    // The text shown for the device: the name of its row, or only its class
    // ("iPhone", "iPad") when the model is newer than the rows, which would
    // name another model.
    static QString deviceTypeStringFor(const QString& deviceClass, const QString& productType,
                                       qint64 type);
    // The major iOS version of a "ProductVersion" value: the number before the
    // first "." or the whole number; 6 when missing or unparsable.
    static int majorVersionOf(const QVariant& productVersion);

private:
    void _startDeviceConnectivityThreads();
    void _iOSNotifyConnectivity(const DeviceNotification& notification);
    void _onIOSConnectivity(quint64 generation);
    void _pauseAndTestForDisconnection(quint64 departure);
    // Ends the connection of the device whose departure is being confirmed,
    // so the arriving device (the same one replugged, or another) connects
    // anew; false when no departure is pending.
    bool _takeOverDeparted(const QString& device);
    void _ipodConnectivityCheckThread(quint64 pollerGeneration);
    void _ipodShuffleConnectivityCheckThread(quint64 pollerGeneration);
    // Watches the volume of the connected disk-mode iPod and ends the
    // connection once it is unmounted or gone.
    void _diskModeRemovalWatch(quint64 watch, const QString& volume);
    bool diskModeVolumePresent(const QString& volume) const;

    void startWorker(std::function<void()> body);
    bool sleep(int milliseconds) const;
    bool deviceAlive(quint64 generation) const;
    bool pollerAlive(quint64 pollerGeneration) const;
    QString connectedDevice() const;
    void sendConnected(const QELDeviceConnectivityArguments& arguments);
    void sendDisconnected(const QELDeviceConnectivityArguments& arguments);
    void sendCommunicating(bool communicating, const QString& devicePath);
    std::shared_ptr<AfcConnection> afc() const;
    bool diskMode() const;
    void updateDeviceInformation(const std::function<void(QELDeviceInformation&)>& change);
    void connectDiskMode(QELDeviceConnectivityArguments arguments, const QString& basePath,
                         qint64 type, const QString& volume);

    // Passes `code` through; a failure is logged and kept as the last error.
    // `notFoundIsAnswer`: the call asks whether the item is there.
    int noteAfc(int code, const char* operation, const QString& path,
                bool notFoundIsAnswer = false) const;
    enum class EntryType { Missing, File, Directory };
    // What is at a device path, from one question to the device.
    EntryType entryTypeAtPath(const QString& path) const;
    // Copies to a local path that is free and whose folder exists.
    bool copyFileToNewLocalPath(const QString& devicePath, const QString& localPath,
                                const std::atomic<bool>* cancel,
                                const QDateTime& modified = QDateTime());
    bool copyFileFromAfc(AfcConnection& afc, const QString& devicePath, const QString& localPath,
                         const std::atomic<bool>* cancel, quint64 cancelGeneration,
                         const QDateTime& modified);
    void removePreferenceUploadLeftovers(const QString& folder);
    bool uploadReplacing(const QString& localPath, const QString& devicePath);
    bool copyDirectoryWorker(const QString& devicePath, const QString& localPath,
                             const std::atomic<bool>* cancel, int depth);

    bool openAppsConnectionLocked();
    // Drops the services (the device left, or a service connection broke);
    // holders keep their holds, and the next start opens anew.
    void closeAppsConnection();
    void closeAppsConnectionLocked();
    // A service call's code; a lost connection closes the apps connection.
    uint32_t noteAppsResult(uint32_t code);

    std::shared_ptr<MobileDevice> m_mobileDevice;
    std::shared_ptr<IPodFramework> m_iPods;
    std::atomic<QELDeviceConnectivityDelegate*> m_delegate{nullptr};

    std::atomic<bool> m_cancelConnectivityDetect{false};
    // The connection (its generation) whose pairing is being waited for; 0: none.
    std::atomic<quint64> m_pairingWaitGeneration{0};
    std::atomic<bool> m_retryPairing{false};
    // The generation whose connection thread runs; 0: none.
    std::atomic<quint64> m_connectingGeneration{0};
    std::atomic<bool> m_lastNotificationMessageConnect{false};
    std::atomic<bool> m_validDeviceConnected{false};
    std::atomic<bool> m_quitting{false};
    std::atomic<bool> m_detecting{false};
    std::atomic<qint64> m_connectedDeviceOperatingSystem{0};
    // Changes whenever the current iOS device arrives or leaves: a thread
    // working for an older generation stops.
    std::atomic<quint64> m_generation{0};
    std::atomic<quint64> m_pollerGeneration{0};
    std::atomic<quint64> m_diskWatchGeneration{0};

    mutable std::mutex m_stateMutex;
    QString m_connectedDevice;
    // The connected device whose departure waits for the debounce, and the
    // number of the latest departure (both under m_stateMutex).
    QString m_leftPendingDevice;
    quint64 m_departure = 0;
    std::shared_ptr<AfcConnection> m_afcConnection;
    bool m_fileManager = false;
    QString m_standardDeviceBasePath;
    QELDeviceInformation m_deviceInformation;
    QString m_devicePreferencesBackupPath;
    QString m_devicePreferencesITunesPrefsPath;
    QString m_preferencesDevice;

    std::atomic<bool> m_cancelFileOperation{false};
    std::atomic<quint64> m_cancelGeneration{0};

    std::mutex m_fileRelayMutex;
    std::unique_ptr<ServiceConnection> m_fileRelayService;
    QString m_fileRelayDevice;
    bool m_fileRelayServiceStarted = false;

    mutable std::mutex m_appsMutex; // guards the members below and every apps exchange
    int m_appsUsers = 0;
    bool m_appsConnectionIsOpen = false;
    QString m_appsDevice;
    std::unique_ptr<InstallationProxy> m_installAppService;
    std::unique_ptr<SpringBoardServices> m_springboardAppService;
    QVariantMap m_appDictionary;
    std::atomic<QELDeviceApplicationInstallDelegate*> m_applicationInstallDelegate{nullptr};

    mutable std::mutex m_afcErrorMutex;
    mutable AfcError m_lastAfcError;

    // Last: shutdown() joins them, and the destructor again before the members go.
    WorkerThreads m_workers{QStringLiteral("A device worker")};
};
