// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "QELDeviceConnectivityDelegate.h"

class IPodFramework;
class QELDeviceInterface;
class SimulatedDeviceBuilder;
class SimulatedMobileDevice;

// The two kinds of device the file browser works on.
enum class DeviceKind { IOS, DiskMode };

// The file tree of the tests, on a simulated iOS device or a disk-mode iPod's
// volume, reached through a connected QELDeviceInterface:
//   /.profile  /Notes.txt  /café ünï.txt  /Empty/  /DCIM/100APPLE/IMG_0001.JPG, IMG_0002.JPG
//   /DCIM/Empty/  /Downloads/report.final.pdf, archive.tar.gz, Sub/deep.txt  /Big/movie.mov (12
//   MiB)
// plus, for the hostile cases, links and a name that is not UTF-8 (hostileEntries()).
class FilesTestDevice : public QELDeviceConnectivityDelegate {
public:
    struct Options {
        // A link to the device's root, one out of the tree, and a file whose
        // name is not UTF-8, in /Hostile; on iOS also listings that answer
        // "../evil", "/etc/passwd", "a/b" and ".." in /, /DCIM and /Hostile.
        bool hostile = false;
        // Extra Simulation keys of the iOS device.
        QVariantMap simulation;
    };

    explicit FilesTestDevice(DeviceKind kind);
    FilesTestDevice(DeviceKind kind, Options options);
    ~FilesTestDevice() override;

    // Connects; false when the device did not come.
    bool connect();
    QELDeviceInterface& device() { return *m_interface; }
    DeviceKind kind() const { return m_kind; }
    // The local folder that is the device's root.
    QString root() const { return m_root; }
    // A scratch folder of the test, outside the device.
    QString scratch(const QString& name) const;

    // Called on the copy's thread when a file copy from an iOS device starts.
    void setOnCommunicating(std::function<void(const QString& devicePath)> hook);

    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceCommunicatingWithSourceFile(bool communicating,
                                             const QString& devicePath) override;

    static QByteArray bigFile();

private:
    DeviceKind m_kind;
    QTemporaryDir m_dir;
    QString m_root;
    std::shared_ptr<SimulatedMobileDevice> m_simulator;
    std::shared_ptr<IPodFramework> m_iPods;
    std::unique_ptr<QELDeviceInterface> m_interface;
    std::atomic<bool> m_connected{false};
    std::mutex m_hookMutex;
    std::function<void(const QString&)> m_onCommunicating;
};

// Reads a whole local file; empty when it cannot be read.
QByteArray readLocalFile(const QString& path);
// Writes a local file, making its folder.
bool writeLocalFile(const QString& path, const QByteArray& bytes);
// Every file and folder below `root`, relative, folders ending in "/".
QStringList localTree(const QString& root);
