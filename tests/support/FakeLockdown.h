#pragma once

#include <functional>

#include <QString>
#include <QVariantMap>

class FakeDevice;
class FakeProtocolLog;

// lockdownd of a fake device on one connection to port 62078: 4-byte
// big-endian length plus property list, as libimobiledevice speaks it.
// Answers QueryType, GetValue, Pair, ValidatePair (below iOS 11; later
// devices answer it as an unknown request), StartSession (which turns the
// connection to TLS, of the versions the device's generation speaks, until
// StopSession), StopSession, StartService ("com.apple.afc",
// "com.apple.mobile.installation_proxy", "com.apple.springboardservices") and
// Goodbye; any other request is a protocol failure and ends the connection.
class FakeLockdown {
public:
    using PortOpener = std::function<quint16(const QString& service)>;

    FakeLockdown(FakeDevice& device, FakeProtocolLog& log, QString systemBuid, PortOpener openPort);

    // Serves requests until the client hangs up or the connection is cut.
    void serve(int fd);

private:
    bool readExact(int fd, void* buffer, size_t length);
    bool writeAll(int fd, const QByteArray& bytes);
    bool startTls(int fd);
    void stopTls();
    bool send(int fd, const QVariantMap& answer);
    QVariantMap answer(const QVariantMap& request, bool* keepGoing);
    QVariantMap getValue(const QVariantMap& request);
    QVariantMap pair(const QString& verb, const QVariantMap& request, bool* keepGoing);
    QVariantMap startSession(const QVariantMap& request, bool* keepGoing);
    QVariantMap startService(const QVariantMap& request, bool* keepGoing);

    FakeDevice& m_device;
    FakeProtocolLog& m_log;
    QString m_systemBuid;
    PortOpener m_openPort;
    QString m_sessionId;
    struct ssl_st* m_ssl = nullptr;
    bool m_startTls = false;
    bool m_stopTls = false;
};
