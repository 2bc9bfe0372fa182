// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicTestDevice.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "IPodFramework.h"
#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

MusicTestDevice::MusicTestDevice(const Configure& configure)
{
    SimulatedDeviceBuilder builder(m_dir.path() + QStringLiteral("/phone"));
    builder.afcFolder(QStringLiteral("iTunes_Control/Music/F00"));
    if (configure)
        configure(builder);
    m_afcRoot = builder.afcRoot();
    m_folder = builder.build();
    m_simulator = std::make_shared<SimulatedMobileDevice>();
    m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    makeInterface();
}

MusicTestDevice::~MusicTestDevice()
{
    m_interface->shutdown();
    m_interface->setDelegate(nullptr);
}

void MusicTestDevice::makeInterface()
{
    m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    m_interface->setDelegate(this);
}

bool MusicTestDevice::putFile(const QString& devicePath, const QByteArray& bytes)
{
    const QString path = m_afcRoot + QLatin1Char('/') + devicePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

bool MusicTestDevice::connect()
{
    m_interface->BeginDeviceConnectionDetect();
    if (m_simulator->attachedDevices().isEmpty())
        m_simulator->attach(m_folder);
    return waitUntil([this] { return m_connected.load(); });
}

bool MusicTestDevice::reconnect()
{
    m_interface->shutdown();
    m_interface->setDelegate(nullptr);
    for (const QString& device : m_simulator->attachedDevices())
        m_simulator->detach(device);
    m_connected = false;
    m_simulator = std::make_shared<SimulatedMobileDevice>();
    makeInterface();
    return connect();
}

QString MusicTestDevice::scratch(const QString& name) const
{
    const QString path = m_dir.path() + QStringLiteral("/scratch/") + name;
    QDir().mkpath(path);
    return path;
}

void MusicTestDevice::OnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    if (arguments.success())
        m_connected = true;
}

void MusicTestDevice::setOnCommunicating(std::function<void(const QString&)> hook)
{
    std::lock_guard lock(m_hookMutex);
    m_onCommunicating = std::move(hook);
}

void MusicTestDevice::OnDeviceCommunicatingWithSourceFile(bool communicating,
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

void MusicTestDevice::OnDeviceDisconnected(const QELDeviceConnectivityArguments&)
{
    m_connected = false;
}

TrackDetailPtr makeTrack(const QString& persistentID, const QString& title, const QString& artist,
                         const QString& album, std::optional<qint64> trackNumber,
                         const QString& devicePath)
{
    auto track = std::make_shared<TrackDetail>();
    track->persistentID = persistentID;
    track->trackName = title;
    track->artist = artist;
    track->album = album;
    track->trackNumber = trackNumber;
    track->path = devicePath;
    return track;
}

QByteArray readLocal(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}
