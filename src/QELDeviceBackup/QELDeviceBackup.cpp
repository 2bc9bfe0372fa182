#include "QELDeviceBackup.h"

#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BackupToolRunner.h"
#include "Clock.h"
#include "InfoPlistGenerator.h"
#include "Locations.h"
#include "Log.h"
#include "Plist.h"
#include "Processes.h"
#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupListing.h"

namespace {

constexpr auto kExternalBackupPoll = std::chrono::milliseconds(2000);

// A file of the folder whatever the case of its name ("Info.plist", "info.plist").
QString fileInFolder(const QString& folder, const QString& name)
{
    const QString exact = folder + QLatin1Char('/') + name;
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + entry;
    }
    return {};
}

bool integerIsOne(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toLongLong() == 1;
}

} // namespace

QELDeviceBackup::QELDeviceBackup(BackupToolSettings tool)
    : m_tool(std::move(tool))
{
}

QELDeviceBackup::~QELDeviceBackup()
{
    m_stopping = true;
    m_workers.stopAndJoinAll();
}

QString QELDeviceBackup::appleMobileDeviceBackupExecutablePath() const
{
    return m_tool.resolvedExecutablePath();
}

QString QELDeviceBackup::backUpDirectoryPath()
{
    const QString root = Locations::backupRoot();
    return QFileInfo(root).isDir() ? root : QString();
}

QStringList QELDeviceBackup::backupToolProcessNames() const
{
    return m_tool.resolvedProcessNames();
}

std::optional<QString> QELDeviceBackup::password() const
{
    std::lock_guard lock(m_valuesMutex);
    return m_password;
}

void QELDeviceBackup::setPassword(const std::optional<QString>& password)
{
    std::lock_guard lock(m_valuesMutex);
    m_password = password;
}

QString QELDeviceBackup::deviceBackUpPath() const
{
    std::lock_guard lock(m_valuesMutex);
    return m_deviceBackUpPath;
}

void QELDeviceBackup::setDeviceBackUpPath(const QString& path)
{
    std::lock_guard lock(m_valuesMutex);
    m_deviceBackUpPath = path;
}

QString QELDeviceBackup::deviceUID() const
{
    std::lock_guard lock(m_valuesMutex);
    return m_deviceUID;
}

void QELDeviceBackup::setDeviceUID(const QString& deviceID)
{
    std::lock_guard lock(m_valuesMutex);
    m_deviceUID = deviceID;
}

void QELDeviceBackup::startWorker(std::function<void()> work) { m_workers.start(std::move(work)); }

bool QELDeviceBackup::PerformBackupForDeviceID(const QString& deviceID)
{
    if (m_isBackUpInProgress)
        return false;
    if (m_hasBackUpBeenPerformed)
        return true;
    m_isBackUpInProgress = true;
    setDeviceUID(deviceID);
    // What this first look sees counts: the other backup may end before the
    // worker looks for the first time.
    const QDateTime waitStarted = QDateTime::currentDateTimeUtc();
    bool forDevice = false;
    if (_isStatusBackupRunningConfirmedForDeviceID(deviceID, &forDevice)) {
        qCInfo(lcOrvane) << "Waiting for current backup to complete...";
        startWorker([this, deviceID, waitStarted, forDevice] {
            _waitForExternalBackupToComplete(deviceID, waitStarted, forDevice);
        });
    } else {
        qCInfo(lcOrvane) << "Starting a new backup...";
        startWorker([this, deviceID] { _performBackup(deviceID); });
    }
    return true;
}

void QELDeviceBackup::sendBackupComplete(const QELDeviceBackupCompleteArguments& arguments)
{
    if (QELDeviceBackUpDelegate* receiver = m_delegate.load())
        receiver->OnDeviceBackupCompleteEvent(arguments);
}

void QELDeviceBackup::_performBackup(const QString& deviceID)
{
    m_hasBackUpBeenPerformed = false;
    QELDeviceBackupCompleteArguments arguments;
    arguments.setDeviceID(deviceID);
    const QString tool = appleMobileDeviceBackupExecutablePath();
    if (tool.isEmpty()) {
        qCWarning(lcOrvane) << "The backup tool is missing; looked for"
                            << m_tool.candidateExecutablePath();
        arguments.setToolMissing(true);
    } else {
        BackupToolRunner::Options options;
        options.mergeChannels = true;
        options.cancel = &m_stopping;
        const BackupToolRunner::Result result = BackupToolRunner::run(
            tool, {QStringLiteral("--backup"), QStringLiteral("--target"), deviceID}, options);
        if (result.succeeded()) {
            _produceSuccesfullBackupEvent(arguments);
            return;
        }
        if (!result.started) {
            // The runner logged why it could not start.
            arguments.setToolMissing(true);
        } else {
            const QString output = QString::fromLatin1(result.standardOutput);
            qCWarning(lcOrvane).noquote() << output;
            if (output.toLower().contains(QLatin1String("mberrordomain/208")))
                arguments.setLocked(true);
        }
    }
    arguments.setSuccessfull(false);
    m_isBackUpInProgress = false;
    sendBackupComplete(arguments);
}

void QELDeviceBackup::_produceSuccesfullBackupEvent(QELDeviceBackupCompleteArguments arguments)
{
    arguments.setLocked(false);
    const QString folder = Locations::backupRoot() + QLatin1Char('/') + arguments.deviceID();
    setDeviceBackUpPath(folder);
    QString name, model, version;
    const QString manifestPath = folder + QStringLiteral("/Manifest.plist");
    if (QFileInfo(manifestPath).isFile()) {
        const QVariantMap manifest = Plist::readFile(manifestPath).toMap();
        if (manifest.contains(QStringLiteral("IsEncrypted")))
            arguments.setEncrypted(integerIsOne(manifest.value(QStringLiteral("IsEncrypted"))));
        if (manifest.contains(QStringLiteral("Lockdown"))) {
            const QVariantMap lockdown = manifest.value(QStringLiteral("Lockdown")).toMap();
            auto text = [&](const char* key) {
                const QVariant value = lockdown.value(QString::fromLatin1(key));
                return value.isValid() ? value.toString() : QString();
            };
            name = text("DeviceName");
            model = text("ProductType");
            version = text("ProductVersion");
        }
    }
    if (!name.isNull())
        InfoPlistGenerator::GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(
            folder + QStringLiteral("/Info.plist"), arguments.deviceID(), name, model, version);
    {
        // A new backup: the old listing no longer describes it.
        std::lock_guard lock(m_lookupMutex);
        m_backupListing.reset();
    }
    m_readSession.reset();
    arguments.setSuccessfull(true);
    m_hasBackUpBeenPerformed = true;
    m_isBackUpInProgress = false;
    sendBackupComplete(arguments);
}

bool QELDeviceBackup::_isStatusBackupRunningConfirmedForDeviceID(const QString& deviceID,
                                                                 bool* forDevice) const
{
    if (forDevice)
        *forDevice = false;
    if (backUpDirectoryPath().isNull())
        return false;
    const QStringList names = backupToolProcessNames();
    const qint64 ourUser = getuid();
    const qint64 ourProcess = getpid();
    // Our own tool runs (extractions, listings, another object's backup) are
    // no other program's backup.
    const QList<pid_t> ourRuns = BackupToolRunner::runningProcessGroups();
    bool running = false;
    for (const QVariant& entry : GetProcessInfoList()) {
        const QVariantMap process = entry.toMap();
        if (!names.contains(process.value(QStringLiteral("processName")).toString()))
            continue;
        // Another user's backups go to that user's own folder.
        if (!process.contains(QStringLiteral("userID"))
            || process.value(QStringLiteral("userID")).toLongLong() != ourUser)
            continue;
        const pid_t pid =
            static_cast<pid_t>(process.value(QStringLiteral("processID")).toLongLong());
        if (pid == ourProcess
            || ourRuns.contains(
                static_cast<pid_t>(process.value(QStringLiteral("processGroupID")).toLongLong())))
            continue;
        // A tool that has ended but is not yet collected, or one stopped,
        // left by a program that crashed, holds no backup: waiting for it
        // would keep this device from its backup for the whole wait.
        const QString state = process.value(QStringLiteral("processState")).toString();
        if (state.isEmpty() || !isWorkingProcessState(state.at(0).toLatin1()))
            continue;
        // Only a backup run counts, not the tool's extractions and listings.
        const QStringList arguments = GetProcessArguments(pid);
        if (!arguments.contains(QLatin1String("--backup"))
            && !arguments.contains(QLatin1String("backup")))
            continue;
        running = true;
        if (forDevice && arguments.contains(deviceID))
            *forDevice = true;
    }
    return running;
}

void QELDeviceBackup::_waitForExternalBackupToComplete(const QString& deviceID,
                                                       const QDateTime& waitStarted,
                                                       bool sawOurDevice)
{
    const auto polls = kExternalBackupWaitLimit / kExternalBackupPoll;
    for (qint64 poll = 0; poll < polls && !m_stopping; ++poll) {
        bool forDevice = false;
        if (!_isStatusBackupRunningConfirmedForDeviceID(deviceID, &forDevice))
            break;
        sawOurDevice = sawOurDevice || forDevice;
        Clock::sleepFor(kExternalBackupPoll, &m_stopping);
    }
    if (m_stopping) {
        m_isBackUpInProgress = false;
        return;
    }
    // The other process's backup is ours only when it was of this device and
    // left a finished backup behind; otherwise this device is backed up now.
    const QString status =
        Locations::backupRoot() + QLatin1Char('/') + deviceID + QStringLiteral("/Status.plist");
    const bool finished =
        Plist::readFile(status).toMap().value(QStringLiteral("SnapshotState")).toString()
        == QLatin1String("finished");
    if (sawOurDevice && finished
        && QFileInfo(status).lastModified().toUTC().addSecs(1) >= waitStarted) {
        QELDeviceBackupCompleteArguments arguments;
        arguments.setDeviceID(deviceID);
        _produceSuccesfullBackupEvent(arguments);
        return;
    }
    qCInfo(lcOrvane) << "Starting a new backup...";
    _performBackup(deviceID);
}

bool QELDeviceBackup::removeBackupStatusForDeviceID(const QString& deviceID)
{
    const QString root = backUpDirectoryPath();
    if (root.isNull() || deviceID.isEmpty() || deviceID.contains(QLatin1Char('/')))
        return false;
    const QString folder = root + QLatin1Char('/') + deviceID;
    if (!QFileInfo(folder).isDir())
        return false;
    const QString status = folder + QStringLiteral("/Status.plist");
    if (!QFileInfo::exists(status) && !QFileInfo(status).isSymLink())
        return true;
    qCInfo(lcOrvane) << "Removing existing status.plist...";
    return QFile::remove(status);
}

bool QELDeviceBackup::PerformRestoreFromDeviceID(const QString& deviceID)
{
    if (m_isBackUpInProgress)
        return false;
    m_isBackUpInProgress = true;
    startWorker([this, deviceID] { _performRestoreforDevice(deviceID); });
    return true;
}

void QELDeviceBackup::_performRestoreforDevice(const QString& deviceID)
{
    QELDeviceBackupCompleteArguments arguments;
    arguments.setDeviceID(deviceID);
    BackupToolRunner::Options options =
        QELDeviceBackupBrowser::toolOptions(deviceID, password(), m_tool.keyCache());
    options.mergeChannels = true;
    options.cancel = &m_stopping;
    const BackupToolRunner::Result result = BackupToolRunner::run(
        appleMobileDeviceBackupExecutablePath(),
        {QStringLiteral("--restore"), QStringLiteral("-s"), deviceID}, options);
    arguments.setSuccessfull(result.succeeded());
    if (!result.succeeded()) {
        arguments.setDetails(QString::fromLatin1(result.standardOutput));
        qCWarning(lcOrvane).noquote() << arguments.details();
    }
    m_isBackUpInProgress = false;
    if (QELDeviceBackUpDelegate* receiver = m_delegate.load())
        receiver->OnDeviceRestoreCompleteEvent(arguments);
}

std::optional<QELDeviceBackUpDeviceSummary> QELDeviceBackup::GetBackUpSummaryFromLocalPath(
    const QString& folder)
{
    const QString infoPath = fileInFolder(folder, QStringLiteral("info.plist"));
    if (infoPath.isEmpty())
        return std::nullopt;
    const QVariantMap info = Plist::readFile(infoPath).toMap();
    QELDeviceBackUpDeviceSummary summary;
    summary.setBackupPath(folder);
    QString name = info.value(QStringLiteral("Device Name")).toString();
    if (name.isEmpty())
        name = info.value(QStringLiteral("Display Name")).toString();
    summary.setDeviceName(name.isEmpty() ? QStringLiteral("Unnamed Device") : name);
    summary.setProductType(info.value(QStringLiteral("Product Type")).toString());
    const QString uid = info.value(QStringLiteral("Unique Identifier")).toString();
    summary.setDeviceUID(uid.isEmpty() ? QFileInfo(folder).fileName() : uid);
    QDateTime date = info.value(QStringLiteral("Last Backup Date")).toDateTime();
    if (!date.isValid()) {
        const QString statusPath = fileInFolder(folder, QStringLiteral("status.plist"));
        if (!statusPath.isEmpty())
            date = Plist::readFile(statusPath).toMap().value(QStringLiteral("Date")).toDateTime();
    }
    summary.setBackUpDate(date);
    summary.setIOSVersion(info.value(QStringLiteral("Product Version")).toString());
    const QString manifestPath = fileInFolder(folder, QStringLiteral("Manifest.plist"));
    if (!manifestPath.isEmpty())
        summary.setIsEncrypted(
            Plist::readFile(manifestPath).toMap().value(QStringLiteral("IsEncrypted")).toBool());
    return summary;
}

QList<QELDeviceBackUpDeviceSummary> QELDeviceBackup::GetAvailableBackUps()
{
    QList<QELDeviceBackUpDeviceSummary> summaries;
    const QString root = backUpDirectoryPath();
    if (root.isNull())
        return summaries;
    const QFileInfoList folders =
        QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& folder : folders) {
        if (folder.isSymLink())
            continue;
        if (const auto summary = GetBackUpSummaryFromLocalPath(folder.filePath()))
            summaries.append(*summary);
    }
    return summaries;
}
