// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedInstallationProxy.h"

#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "MobileDevice.h"
#include "Plist.h"
#include "SafePath.h"

namespace {

constexpr qint64 kMaxInfoPlistBytes = 4 * 1024 * 1024;
constexpr qint64 kMaxPackageBytes = 1024LL * 1024 * 1024;

void appendLe16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// The identifier an installed package gets: its name in the characters a
// bundle identifier may hold.
QString bundleIdForPackage(const QString& name)
{
    QString id;
    for (const QChar c : name)
        id += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-')
                || c == QLatin1Char('.')
            ? c
            : QLatin1Char('-');
    return QStringLiteral("com.example.installed.") + (id.isEmpty() ? QStringLiteral("app") : id);
}

} // namespace

SimulatedInstallationProxy::SimulatedInstallationProxy(QString deviceFolder,
                                                       std::shared_ptr<std::atomic<bool>> present,
                                                       const QVariantMap& simulation,
                                                       Recorder record)
    : m_folder(std::move(deviceFolder))
    , m_present(std::move(present))
    , m_record(std::move(record))
{
    for (const QString& id : simulation.value(QStringLiteral("ArchiveFailures")).toStringList())
        m_archiveFailures.insert(id);
    for (const QString& name : simulation.value(QStringLiteral("InstallFailures")).toStringList())
        m_installFailures.insert(name);
}

QVariantMap SimulatedInstallationProxy::infoOf(const QString& appFolder)
{
    const QString path = appFolder + QStringLiteral("/Info.plist");
    if (QFileInfo(path).size() > kMaxInfoPlistBytes)
        return {};
    QVariantMap info = Plist::readFile(path).toMap();
    if (info.isEmpty())
        return {};
    if (!info.contains(QStringLiteral("ApplicationType")))
        info.insert(QStringLiteral("ApplicationType"), QStringLiteral("User"));
    return info;
}

QString SimulatedInstallationProxy::appFolderOf(const QString& appsFolder, const QString& bundleId)
{
    if (bundleId.isEmpty())
        return {};
    const QDir apps(appsFolder);
    const QStringList names = apps.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString folder = apps.filePath(name);
        const QVariant id = infoOf(folder).value(QStringLiteral("CFBundleIdentifier"));
        if (id.typeId() == QMetaType::QString && id.toString() == bundleId)
            return folder;
    }
    return {};
}

uint32_t SimulatedInstallationProxy::lookup(const QStringList& returnAttributes, QVariantMap* apps)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("Lookup"));
    apps->clear();
    const QDir folder(m_folder + QStringLiteral("/apps"));
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QVariantMap info = infoOf(folder.filePath(name));
        const QVariant id = info.value(QStringLiteral("CFBundleIdentifier"));
        // An app whose Info.plist names no identifier is not one the device lists.
        if (id.typeId() != QMetaType::QString || id.toString().isEmpty())
            continue;
        QVariantMap entry;
        for (const QString& attribute : returnAttributes) {
            if (info.contains(attribute))
                entry.insert(attribute, info.value(attribute));
        }
        apps->insert(id.toString(), entry);
    }
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedInstallationProxy::install(const QString& stagedPath)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("Install ") + stagedPath);
    const QString relative = SafePath::normalisedRelativePath(
        stagedPath.startsWith(QLatin1Char('/')) ? stagedPath.mid(1) : stagedPath);
    if (relative.isEmpty())
        return MobileDeviceResult::kUndefined;
    QFile package(m_folder + QStringLiteral("/afc/") + relative);
    if (!package.open(QIODevice::ReadOnly) || package.size() > kMaxPackageBytes)
        return MobileDeviceResult::kUndefined;
    const QString fileName = QFileInfo(relative).fileName();
    if (!isWholeZip(package.readAll()) || m_installFailures.contains(fileName))
        return MobileDeviceResult::kUndefined;
    const QString name = QFileInfo(relative).completeBaseName();
    const QString id = bundleIdForPackage(name);
    QString folder = appFolderOf(m_folder + QStringLiteral("/apps"), id);
    if (folder.isEmpty())
        folder =
            m_folder + QStringLiteral("/apps/") + SafePath::fileName(id, QStringLiteral("app"));
    if (!QDir().mkpath(folder))
        return MobileDeviceResult::kUndefined;
    const QVariantMap info{{QStringLiteral("CFBundleIdentifier"), id},
                           {QStringLiteral("CFBundleDisplayName"), name},
                           {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0")}};
    return Plist::writeFile(folder + QStringLiteral("/Info.plist"), info)
        ? MobileDeviceResult::kSuccess
        : MobileDeviceResult::kUndefined;
}

uint32_t SimulatedInstallationProxy::uninstall(const QString& bundleId)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("Uninstall ") + bundleId);
    const QString folder = appFolderOf(m_folder + QStringLiteral("/apps"), bundleId);
    if (folder.isEmpty())
        return MobileDeviceResult::kUndefined;
    return QDir(folder).removeRecursively() ? MobileDeviceResult::kSuccess
                                            : MobileDeviceResult::kUndefined;
}

QString SimulatedInstallationProxy::archivePath(const QString& bundleId) const
{
    const QString name = bundleId + QStringLiteral(".zip");
    if (bundleId.isEmpty() || !SafePath::isPlainName(name))
        return {};
    return m_folder + QStringLiteral("/afc/ApplicationArchives/") + name;
}

uint32_t SimulatedInstallationProxy::archive(const QString& bundleId)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("Archive ") + bundleId);
    const QString folder = appFolderOf(m_folder + QStringLiteral("/apps"), bundleId);
    const QString path = archivePath(bundleId);
    if (folder.isEmpty() || path.isEmpty() || m_archiveFailures.contains(bundleId))
        return MobileDeviceResult::kUndefined;
    QFile info(folder + QStringLiteral("/Info.plist"));
    if (!info.open(QIODevice::ReadOnly) || !QDir().mkpath(QFileInfo(path).path()))
        return MobileDeviceResult::kUndefined;
    QFile out(path);
    const QByteArray zip = storedZip(QStringLiteral("Payload/") + QFileInfo(folder).fileName()
                                         + QStringLiteral(".app/Info.plist"),
                                     info.readAll());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(zip) != zip.size()) {
        out.remove();
        return MobileDeviceResult::kUndefined;
    }
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedInstallationProxy::removeArchive(const QString& bundleId)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("RemoveArchive ") + bundleId);
    const QString path = archivePath(bundleId);
    if (path.isEmpty())
        return MobileDeviceResult::kUndefined;
    return !QFileInfo::exists(path) || QFile::remove(path) ? MobileDeviceResult::kSuccess
                                                           : MobileDeviceResult::kUndefined;
}

bool SimulatedInstallationProxy::isWholeZip(const QByteArray& bytes)
{
    static const QByteArray kLocalHeader("PK\x03\x04", 4);
    static const QByteArray kEndOfDirectory("PK\x05\x06", 4);
    constexpr qsizetype kEndRecordSize = 22;
    if (bytes.size() < kEndRecordSize + 4 || !bytes.startsWith(kLocalHeader))
        return false;
    // The end record sits in the last 22 bytes plus a comment of up to 64 KiB.
    const qsizetype from = std::max<qsizetype>(0, bytes.size() - kEndRecordSize - 0xFFFF);
    const qsizetype at = bytes.lastIndexOf(kEndOfDirectory);
    return at >= from && at + kEndRecordSize <= bytes.size();
}

QByteArray SimulatedInstallationProxy::storedZip(const QString& name, const QByteArray& bytes)
{
    const QByteArray fileName = name.toUtf8();
    const quint32 crc = static_cast<quint32>(crc32(
        0, reinterpret_cast<const Bytef*>(bytes.constData()), static_cast<uInt>(bytes.size())));
    const auto size = static_cast<quint32>(bytes.size());
    QByteArray zip;
    appendLe32(zip, 0x04034b50);
    appendLe16(zip, 10);     // version needed
    appendLe16(zip, 0x0800); // names in UTF-8
    appendLe16(zip, 0);      // stored
    appendLe32(zip, 0);      // time and date
    appendLe32(zip, crc);
    appendLe32(zip, size);
    appendLe32(zip, size);
    appendLe16(zip, static_cast<quint16>(fileName.size()));
    appendLe16(zip, 0);
    zip += fileName;
    zip += bytes;
    const auto directoryAt = static_cast<quint32>(zip.size());
    appendLe32(zip, 0x02014b50);
    appendLe16(zip, 20);
    appendLe16(zip, 10);
    appendLe16(zip, 0x0800);
    appendLe16(zip, 0);
    appendLe32(zip, 0);
    appendLe32(zip, crc);
    appendLe32(zip, size);
    appendLe32(zip, size);
    appendLe16(zip, static_cast<quint16>(fileName.size()));
    appendLe16(zip, 0); // extra
    appendLe16(zip, 0); // comment
    appendLe16(zip, 0); // disk
    appendLe16(zip, 0); // internal attributes
    appendLe32(zip, 0); // external attributes
    appendLe32(zip, 0); // offset of the local header
    zip += fileName;
    const auto directorySize = static_cast<quint32>(zip.size()) - directoryAt;
    appendLe32(zip, 0x06054b50);
    appendLe16(zip, 0);
    appendLe16(zip, 0);
    appendLe16(zip, 1);
    appendLe16(zip, 1);
    appendLe32(zip, directorySize);
    appendLe32(zip, directoryAt);
    appendLe16(zip, 0);
    return zip;
}
