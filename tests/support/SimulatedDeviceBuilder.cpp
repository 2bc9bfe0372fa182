#include "SimulatedDeviceBuilder.h"

#include "Plist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zlib.h>

SimulatedDeviceBuilder::SimulatedDeviceBuilder(QString folder) : m_folder(std::move(folder))
{
    m_values = {
        {QStringLiteral("DeviceClass"), QStringLiteral("iPhone")},
        {QStringLiteral("ProductVersion"), QStringLiteral("17.2")},
        {QStringLiteral("DeviceName"), QStringLiteral("Test iPhone")},
        {QStringLiteral("UniqueDeviceID"), QStringLiteral("00008120-000A1B2C3D4E5F60")},
        {QStringLiteral("ProductType"), QStringLiteral("iPhone15,2")},
    };
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::deviceClass(const QString& v) { return value(QStringLiteral("DeviceClass"), v); }
SimulatedDeviceBuilder& SimulatedDeviceBuilder::productVersion(const QString& v) { return value(QStringLiteral("ProductVersion"), v); }
SimulatedDeviceBuilder& SimulatedDeviceBuilder::deviceName(const QString& v) { return value(QStringLiteral("DeviceName"), v); }
SimulatedDeviceBuilder& SimulatedDeviceBuilder::udid(const QString& v) { return value(QStringLiteral("UniqueDeviceID"), v); }
SimulatedDeviceBuilder& SimulatedDeviceBuilder::productType(const QString& v) { return value(QStringLiteral("ProductType"), v); }

SimulatedDeviceBuilder& SimulatedDeviceBuilder::value(const QString& key, const QVariant& v)
{
    if (v.isValid())
        m_values.insert(key, v);
    else
        m_values.remove(key);
    return *this;
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::simulation(const QString& key, const QVariant& v)
{
    m_simulation.insert(key, v);
    return *this;
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::pairingSequence(const QStringList& answers)
{
    return simulation(QStringLiteral("PairingSequence"), answers);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::passcodeLockedServiceStarts(int count)
{
    return simulation(QStringLiteral("PasscodeLockedServiceStarts"), qint64(count));
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::connectResults(const QStringList& results)
{
    return simulation(QStringLiteral("ConnectResults"), results);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::sessionStartFailures(int count)
{
    return simulation(QStringLiteral("SessionStartFailures"), qint64(count));
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::overWiFi()
{
    return simulation(QStringLiteral("ConnectionType"), QStringLiteral("Network"));
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::extraDirectoryEntries(const QString& devicePath, const QStringList& names)
{
    QVariantMap entries = m_simulation.value(QStringLiteral("ExtraDirectoryEntries")).toMap();
    entries.insert(devicePath, names);
    return simulation(QStringLiteral("ExtraDirectoryEntries"), entries);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::readError(const QString& devicePath, qint64 atByte)
{
    QVariantMap errors = m_simulation.value(QStringLiteral("ReadErrors")).toMap();
    errors.insert(devicePath, atByte);
    return simulation(QStringLiteral("ReadErrors"), errors);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::fileRelayArchive(const QByteArray& archive)
{
    m_files.append({QStringLiteral("filerelay.cpio.gz"), archive});
    return simulation(QStringLiteral("FileRelayArchive"), QStringLiteral("filerelay.cpio.gz"));
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::backupPassword(const QString& password)
{
    return simulation(QStringLiteral("BackupPassword"), password);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::backupLocked(bool locked)
{
    return simulation(QStringLiteral("BackupLocked"), locked);
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::afcFile(const QString& path, const QByteArray& bytes)
{
    m_files.append({QStringLiteral("afc/") + path, bytes});
    return *this;
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::afcFolder(const QString& path)
{
    m_folders.append(QStringLiteral("afc/") + path);
    return *this;
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::backupFile(const QString& domain, const QString& relativePath,
                                                           const QByteArray& bytes)
{
    m_files.append({QStringLiteral("backup/") + domain + QLatin1Char('/') + relativePath, bytes});
    return *this;
}

SimulatedDeviceBuilder& SimulatedDeviceBuilder::app(const QString& bundleId, const QVariantMap& infoPlist)
{
    QVariantMap info = infoPlist;
    info.insert(QStringLiteral("CFBundleIdentifier"), bundleId);
    m_files.append({QStringLiteral("apps/") + bundleId + QStringLiteral("/Info.plist"),
                    Plist::serialize(info, Plist::Format::Xml)});
    return *this;
}

QString SimulatedDeviceBuilder::build() const
{
    QDir root(m_folder);
    if (!root.mkpath(QStringLiteral("afc")) || !root.mkpath(QStringLiteral("backup")) || !root.mkpath(QStringLiteral("apps")))
        return {};
    for (const QString& folder : m_folders) {
        if (!root.mkpath(folder))
            return {};
    }
    for (const auto& [path, bytes] : m_files) {
        const QString full = m_folder + QLatin1Char('/') + path;
        if (!QDir().mkpath(QFileInfo(full).path()))
            return {};
        QFile file(full);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return {};
    }
    QVariantMap plist = m_values;
    if (!m_simulation.isEmpty())
        plist.insert(QStringLiteral("Simulation"), m_simulation);
    if (!Plist::writeFile(m_folder + QStringLiteral("/device.plist"), plist))
        return {};
    return m_folder;
}

namespace {

void appendHex(QByteArray& out, quint32 value) { out += QByteArray::number(value, 16).rightJustified(8, '0').toUpper(); }

void appendEntry(QByteArray& out, const QByteArray& name, const QByteArray& data, quint32 mode, quint32 inode)
{
    out += "070701";
    appendHex(out, inode);
    appendHex(out, mode);
    appendHex(out, 0);  // uid
    appendHex(out, 0);  // gid
    appendHex(out, 1);  // nlink
    appendHex(out, 0);  // mtime
    appendHex(out, static_cast<quint32>(data.size()));
    appendHex(out, 0);
    appendHex(out, 0);
    appendHex(out, 0);
    appendHex(out, 0);
    appendHex(out, static_cast<quint32>(name.size() + 1));
    appendHex(out, 0);  // check
    out += name;
    out += '\0';
    while (out.size() % 4)
        out += '\0';
    out += data;
    while (out.size() % 4)
        out += '\0';
}

} // namespace

QByteArray makeCpioGzArchive(const QList<QPair<QString, QByteArray>>& entries)
{
    QByteArray cpio;
    quint32 inode = 1;
    for (const auto& [name, data] : entries)
        appendEntry(cpio, name.toUtf8(), data.isNull() ? QByteArray() : data, data.isNull() ? 040755 : 0100644, inode++);
    appendEntry(cpio, "TRAILER!!!", {}, 0, 0);

    z_stream stream {};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(cpio.size())) + 64), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(cpio.data());
    stream.avail_in = static_cast<uInt>(cpio.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return out;
}
