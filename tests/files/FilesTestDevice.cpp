// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilesTestDevice.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "IPodFramework.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

namespace {

const QByteArray kRawName("bad\xff\xfe.txt");

const QList<QPair<QString, QByteArray>>& treeFiles()
{
    static const QList<QPair<QString, QByteArray>> files = {
        {".profile", "export PATH"},
        {"Notes.txt", "notes"},
        {QStringLiteral("café ünï.txt"), "accents"},
        {"DCIM/100APPLE/IMG_0001.JPG", "jpeg one"},
        {"DCIM/100APPLE/IMG_0002.JPG", "jpeg two"},
        {"Downloads/report.final.pdf", "%PDF-1.4"},
        {"Downloads/archive.tar.gz", "gz"},
        {"Downloads/Sub/deep.txt", "deep"},
    };
    return files;
}

const QStringList& treeFolders()
{
    static const QStringList folders = {"Empty", "DCIM/Empty"};
    return folders;
}

// Makes a file whose name holds a byte that is not UTF-8.
bool writeRawName(const QString& folder, const QByteArray& name)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "raw", 3) == 3;
    ::close(fd);
    return ok;
}

void addHostileItems(const QString& root)
{
    QDir().mkpath(root + "/Hostile");
    writeLocalFile(root + "/Hostile/plain.txt", "plain");
    QFile::link(root, root + "/Hostile/loop");
    QFile::link("/etc", root + "/Hostile/outside");
    QFile::link("/etc/hostname", root + "/Hostile/outside-file");
    writeRawName(root + "/Hostile", kRawName);
}

} // namespace

FilesTestDevice::FilesTestDevice(DeviceKind kind)
    : FilesTestDevice(kind, Options{})
{
}

FilesTestDevice::FilesTestDevice(DeviceKind kind, Options options)
    : m_kind(kind)
{
    m_simulator = std::make_shared<SimulatedMobileDevice>();
    m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    if (kind == DeviceKind::IOS) {
        SimulatedDeviceBuilder builder(m_dir.path() + "/phone");
        for (const auto& [name, bytes] : treeFiles())
            builder.afcFile(name, bytes);
        for (const QString& folder : treeFolders())
            builder.afcFolder(folder);
        builder.afcFile("Big/movie.mov", bigFile());
        if (options.hostile) {
            const QStringList names = {"../evil", "/etc/passwd", "a/b", ".."};
            builder.extraDirectoryEntries("/", names)
                .extraDirectoryEntries("/DCIM", names)
                .extraDirectoryEntries("/Hostile", names);
        }
        for (auto it = options.simulation.cbegin(); it != options.simulation.cend(); ++it)
            builder.simulation(it.key(), it.value());
        m_root = builder.afcRoot();
        const QString folder = builder.build();
        if (options.hostile)
            addHostileItems(m_root);
        m_simulator->attach(folder);
    } else {
        m_root = m_dir.path() + "/IPOD";
        for (const auto& [name, bytes] : treeFiles())
            writeLocalFile(m_root + "/" + name, bytes);
        for (const QString& folder : treeFolders())
            QDir().mkpath(m_root + "/" + folder);
        writeLocalFile(m_root + "/Big/movie.mov", bigFile());
        writeLocalFile(m_root + "/iPod_Control/Device/SysInfo", "info");
        if (options.hostile)
            addHostileItems(m_root);
        m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {m_root}});
    }
    m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    m_interface->setDelegate(this);
}

FilesTestDevice::~FilesTestDevice()
{
    m_interface->shutdown();
    m_interface->setDelegate(nullptr);
    // Qt cannot name this file, so the temporary folder could not remove it.
    ::unlink((QFile::encodeName(m_root) + "/Hostile/" + kRawName).constData());
}

bool FilesTestDevice::connect()
{
    m_interface->BeginDeviceConnectionDetect();
    return waitUntil([this] { return m_connected.load(); });
}

QString FilesTestDevice::scratch(const QString& name) const
{
    const QString path = m_dir.path() + "/scratch/" + name;
    QDir().mkpath(path);
    return path;
}

void FilesTestDevice::setOnCommunicating(std::function<void(const QString&)> hook)
{
    std::lock_guard lock(m_hookMutex);
    m_onCommunicating = std::move(hook);
}

void FilesTestDevice::OnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    if (arguments.success())
        m_connected = true;
}

void FilesTestDevice::OnDeviceDisconnected(const QELDeviceConnectivityArguments&)
{
    m_connected = false;
}

void FilesTestDevice::OnDeviceCommunicatingWithSourceFile(bool communicating,
                                                          const QString& devicePath)
{
    std::function<void(const QString&)> hook;
    {
        std::lock_guard lock(m_hookMutex);
        hook = m_onCommunicating;
    }
    if (communicating && hook)
        hook(devicePath);
}

QByteArray FilesTestDevice::bigFile()
{
    static const QByteArray bytes = [] {
        QByteArray data(12 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>((i * 131) >> 7);
        return data;
    }();
    return bytes;
}

QByteArray readLocalFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeLocalFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QStringList localTree(const QString& root)
{
    QStringList tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        tree << (it.fileInfo().isDir() && !it.fileInfo().isSymLink() ? relative + "/" : relative);
    }
    tree.sort();
    return tree;
}
