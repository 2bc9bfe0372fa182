// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "QELDeviceConnectivityDelegate.h"
#include "TrackDetail.h"

class IPodFramework;
class QELDeviceInterface;
class SimulatedDeviceBuilder;
class SimulatedMobileDevice;

// A simulated iOS device for the music jobs, reached through a connected
// QELDeviceInterface as the application reaches one. Its files are put in
// place before it connects; `configure` may add simulation keys (ReadErrors).
class MusicTestDevice : public QELDeviceConnectivityDelegate {
public:
    using Configure = std::function<void(SimulatedDeviceBuilder&)>;
    explicit MusicTestDevice(const Configure& configure = {});
    ~MusicTestDevice() override;

    // Writes a file of the device's file area (before or after connect()).
    bool putFile(const QString& devicePath, const QByteArray& bytes);
    QString afcRoot() const { return m_afcRoot; }
    bool connect();
    // Drops the connection and connects a new interface to the same device,
    // as unplugging and plugging it in again does.
    bool reconnect();
    QELDeviceInterface& device() { return *m_interface; }
    // A scratch folder of the test, outside the device.
    QString scratch(const QString& name) const;

    // Called on the copying thread when a file copy off the device starts.
    void setOnCommunicating(std::function<void(const QString& devicePath)> hook);

    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceCommunicatingWithSourceFile(bool communicating,
                                             const QString& devicePath) override;

private:
    void makeInterface();

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_afcRoot;
    std::shared_ptr<SimulatedMobileDevice> m_simulator;
    std::shared_ptr<IPodFramework> m_iPods;
    std::unique_ptr<QELDeviceInterface> m_interface;
    std::atomic<bool> m_connected{false};
    std::mutex m_hookMutex;
    std::function<void(const QString&)> m_onCommunicating;
};

// A track of the media store, made with designated fields in tests.
TrackDetailPtr makeTrack(const QString& persistentID, const QString& title, const QString& artist,
                         const QString& album, std::optional<qint64> trackNumber,
                         const QString& devicePath);
// Reads a whole local file; empty when it cannot be read.
QByteArray readLocal(const QString& path);
// Every file below `root`, relative, sorted; hidden files included.
QStringList filesBelow(const QString& root);
