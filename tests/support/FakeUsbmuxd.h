#pragma once

#include "FakeWire.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class FakeDevice;

// A fake usbmuxd on a Unix socket, speaking usbmuxd's property-list protocol
// as libusbmuxd 2.0 uses it: ListDevices, Listen (with Attached and Detached
// events), Connect to a device port (lockdownd on 62078, or a service port that
// lockdownd handed out), ReadPairRecord, SavePairRecord, DeletePairRecord and
// ReadBUID. Every other message is a protocol failure (see failures()).
//
// start() points USBMUXD_SOCKET_ADDRESS at the fake's socket, which sits in one
// folder per test process: libusbmuxd may read the variable only once.
class FakeUsbmuxd {
public:
    FakeUsbmuxd();
    ~FakeUsbmuxd();
    FakeUsbmuxd(const FakeUsbmuxd&) = delete;
    FakeUsbmuxd& operator=(const FakeUsbmuxd&) = delete;

    bool start();
    // Closes every connection and joins the serving threads.
    void stop();
    static QString socketPath();

    // Plugs a device in (not owned; it must outlive the fake or be detached):
    // listeners get an Attached event, ListDevices lists it. A device plugged
    // in again gets a new device number, as with the real usbmuxd.
    void attach(FakeDevice* device);
    // Unplugs it: listeners get a Detached event and every connection to the
    // device (lockdownd, AFC) is cut, as a pulled cable does.
    void detach(FakeDevice* device);

    QString systemBuid() const { return m_buid; }
    QByteArray pairRecord(const QString& udid) const;
    void setPairRecord(const QString& udid, const QByteArray& record);

    // Every unexpected message any of the fake's handlers saw.
    QStringList failures() const { return m_log.failures(); }
    FakeProtocolLog& log() { return m_log; }
    // Requests of the usbmuxd protocol received so far ("ListDevices", ...).
    QStringList requests() const;

private:
    struct Connection;

    void acceptLoop();
    void serve(const std::shared_ptr<Connection>& connection);
    bool sendPlist(int fd, quint32 tag, const QVariantMap& message);
    bool sendResult(int fd, quint32 tag, quint32 number);
    void sendEventLocked(const QVariantMap& message);
    QVariantMap attachedMessage(const FakeDevice* device) const;
    quint16 openServicePort(FakeDevice* device, const QString& service);
    void reapFinishedLocked();

    FakeProtocolLog m_log;
    QString m_buid;
    int m_listenFd = -1;
    std::thread m_acceptThread;
    bool m_running = false;

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Connection>> m_connections;
    std::vector<FakeDevice*> m_attached;
    std::vector<FakeDevice*> m_everAttached;
    QHash<QString, QByteArray> m_pairRecords;
    QMap<QPair<quint32, quint16>, QString> m_servicePorts;
    quint16 m_nextServicePort = 49152;
    QStringList m_requests;
};
