#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "BackupFileSource.h"
#include "BackupManifestCache.h"
#include "BackupReadSession.h"
#include "BackupToolSettings.h"
#include "QELBackupFileDetail.h"
#include "QELDataTypeSearchReferenceElement.h"
#include "QELDeviceBackUpDeviceSummary.h"
#include "QELDeviceBackupCompleteArguments.h"
#include "QELDeviceBackupListingItem.h"
#include "WorkerThreads.h"

class QELDeviceBackUpDelegate;
class QELDeviceBackupListing;

// The backup of one device: has the backup tool make it (at most once per
// connection), and answers the backed-up files the categories read, each as a
// private local copy in the program's temporary folder.
//
// Backups and restores run on worker threads of the object; their completion
// events come on those threads. The destructor stops a running tool or wait
// and joins its workers. Lookups block (worker threads only) and are
// serialised per object.
class QELDeviceBackup : public BackupFileSource {
public:
    // `tool`: the backup tool to run and the backups to wait for (default: the program's own).
    explicit QELDeviceBackup(BackupToolSettings tool = {});
    ~QELDeviceBackup() override;
    QELDeviceBackup(const QELDeviceBackup&) = delete;
    QELDeviceBackup& operator=(const QELDeviceBackup&) = delete;

    // The backup tool of the object's settings (by default "orvane-mobilebackup"
    // beside the running program) when it exists; a null string otherwise.
    // Looked up before every run.
    QString appleMobileDeviceBackupExecutablePath() const;
    // The backup root when it exists, else a null string.
    static QString backUpDirectoryPath();
    // The command names (as the process list shows them) of running backups:
    // by default the backup tool and idevicebackup2.
    QStringList backupToolProcessNames() const;
    const BackupToolSettings& toolSettings() const { return m_tool; }

    // Summaries of the backups in the backup root.
    static QList<QELDeviceBackUpDeviceSummary> GetAvailableBackUps();
    static std::optional<QELDeviceBackUpDeviceSummary> GetBackUpSummaryFromLocalPath(
        const QString& folder);

    // Starts a backup of the device. False while one is in progress; true
    // without doing anything when this connection's backup has been made;
    // otherwise true, and OnDeviceBackupCompleteEvent follows.
    bool PerformBackupForDeviceID(const QString& deviceID);
    // Deletes the device backup's Status.plist (before a retried backup).
    bool removeBackupStatusForDeviceID(const QString& deviceID);
    // Restores the device's backup to it; OnDeviceRestoreCompleteEvent follows.
    bool PerformRestoreFromDeviceID(const QString& deviceID);

    bool isBackUpInProgress() const { return m_isBackUpInProgress; }
    void setIsBackUpInProgress(bool value) { m_isBackUpInProgress = value; }
    bool hasBackUpBeenPerformed() const { return m_hasBackUpBeenPerformed; }
    // Clearing it (the device went, or its password was refused) also
    // forgets the manifest and the class keys read for the connection.
    void setHasBackUpBeenPerformed(bool value)
    {
        m_hasBackUpBeenPerformed = value;
        if (!value)
            m_readSession.reset();
    }
    // The password of an encrypted backup; std::nullopt (or empty) for none.
    std::optional<QString> password() const;
    void setPassword(const std::optional<QString>& password);
    // Not owned: the receiver outlives the object or clears itself first.
    QELDeviceBackUpDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELDeviceBackUpDelegate* delegate) { m_delegate = delegate; }
    QString deviceBackUpPath() const;
    void setDeviceBackUpPath(const QString& path);
    QString deviceUID() const;
    void setDeviceUID(const QString& deviceID);
    bool deviceIsAvailable() const { return m_deviceIsAvailable; }
    void setDeviceIsAvailable(bool value) { m_deviceIsAvailable = value; }

    // A private, caller-owned local copy of a data type's file (0-15, the
    // backup data types), with its "-wal" and "-shm" companions when the tool
    // extracted it; a null string when the backup does not hold it.
    QString GetPathToDataOfType(int type) override;
    // A private, caller-owned local copy of a file by its path in a domain
    // (null: "HomeDomain"); a null string when the backup does not hold it.
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override;
    // The same for several files, on up to kLookupThreads threads at once:
    // the files of a backup its device encrypted decrypt side by side. The
    // last lookup error is that of the first file not found, if any.
    QStringList GetPathsForDeviceFiles(const QList<BackupFileRequest>& files) override;
    static constexpr int kLookupThreads = 4;
    // The tool's listing of a domain (null: "HomeDomain").
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) override;
    // Every file of the backup's manifest, either generation.
    QList<QELBackupFileDetail> GetAllFiles();

    // Why the last lookup of a file (GetPathToDataOfType,
    // GetPathForDeviceFileNameInDomain) answered nothing.
    enum class LookupErrorKind {
        None,              // the last lookup found its file
        NotInBackup,       // the backup does not hold the file (or there is no backup)
        ExtractionFailed,  // the backup lists the file, but no way could copy it out
        WrongPassword,     // the backup is encrypted and the password is missing or wrong
        NoTemporaryFolder, // the program's private temporary folder cannot be used
    };
    struct LookupError {
        LookupErrorKind kind = LookupErrorKind::None;
        QString detail; // English, for the log: the file and what was tried
    };
    // The outcome of the last file lookup on this object. Any thread.
    LookupError lastLookupError() const;

    // What a lookup answered from the backup in this process comes to.
    struct InProcessAnswer {
        QString path; // the local copy, or null
        LookupErrorKind error = LookupErrorKind::None;
        QString detail;
    };

    // The data-type tables: the file's path and domain, its file name, its
    // identifier (null strings for types without one).
    static std::optional<QELDataTypeSearchReferenceElement> relativePathElementForDataType(
        int type);
    static QString fileNameForDataType(int type);
    static QString fileIdentifierForDataType(int type);

    // The backup read (and decrypted) once for the connection and password;
    // every lookup after it answers from the same read.
    std::shared_ptr<const OpenedBackup> openedBackup();

    // How long a running backup of another process is waited for at most.
    static constexpr std::chrono::milliseconds kExternalBackupWaitLimit{60 * 60 * 1000};

private:
    void _performBackup(const QString& deviceID);
    // Waits for another process's backup seen running at `waitStarted`;
    // `sawOurDevice` is whether that first look found it backing this device up.
    void _waitForExternalBackupToComplete(const QString& deviceID, const QDateTime& waitStarted,
                                          bool sawOurDevice);
    // Whether a backup run of this user is at work (a live process of a backup
    // tool, running its backup command); `forDevice` is set when one
    // of them names the device.
    bool _isStatusBackupRunningConfirmedForDeviceID(const QString& deviceID,
                                                    bool* forDevice = nullptr) const;
    void _produceSuccesfullBackupEvent(QELDeviceBackupCompleteArguments arguments);
    void _performRestoreforDevice(const QString& deviceID);
    void sendBackupComplete(const QELDeviceBackupCompleteArguments& arguments);
    void startWorker(std::function<void()> work);

    QString _getSearchStringForDataType(int type, const OpenedBackup& opened);
    QString _getPathForDeviceFileNameInDomain(const QString& path, const QString& inDomain,
                                              const OpenedBackup& opened);
    // A lookup answered from the opened backup in this process: decrypted
    // or copied from its stored file. std::nullopt when the other ways (the
    // tool, the folder's file names) must be tried.
    std::optional<InProcessAnswer> answerInProcess(const OpenedBackup& opened,
                                                   const QString& relativePath,
                                                   const QString& domain,
                                                   bool withCompanions) const;
    QString _getPathByExtractionForReferenceElement(
        const QELDataTypeSearchReferenceElement& element, bool withCompanions);
    QString _getPathByFileListingForReferenceElement(
        const QELDataTypeSearchReferenceElement& element);
    QString deviceFolder() const;
    // Keeps (and logs, unless it is None) the outcome of the lookup that ends now.
    void setLastLookupError(LookupErrorKind kind, const QString& detail = QString());
    // The reason a lookup of `relativePath` in `domain` found nothing.
    LookupErrorKind classifyMissingFile(const OpenedBackup& opened, const QString& relativePath,
                                        const QString& domain) const;
    QELDeviceBackupListing& listing();

    const BackupToolSettings m_tool;
    BackupManifestCache m_manifests;
    BackupReadSession m_readSession;

    std::atomic<bool> m_isBackUpInProgress{false};
    std::atomic<bool> m_hasBackUpBeenPerformed{false};
    std::atomic<bool> m_deviceIsAvailable{true};
    std::atomic<bool> m_stopping{false};
    std::atomic<QELDeviceBackUpDelegate*> m_delegate{nullptr};

    mutable std::mutex m_valuesMutex;
    QString m_deviceBackUpPath;
    QString m_deviceUID;
    std::optional<QString> m_password;

    std::mutex m_lookupMutex;
    std::unique_ptr<QELDeviceBackupListing> m_backupListing;

    mutable std::mutex m_lookupErrorMutex;
    LookupError m_lastLookupError;

    // Last: the destructor joins them before the members they use go.
    WorkerThreads m_workers{QStringLiteral("A backup worker")};
};
