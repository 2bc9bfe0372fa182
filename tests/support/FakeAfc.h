#pragma once

#include <QByteArray>
#include <QString>

#include <map>

class FakeDevice;
class FakeProtocolLog;

// The AFC service of a fake device on one connection: 40-byte "CFA6LPAA"
// packets as libimobiledevice's afc client sends them, served from the
// device's local folder. Answers file information, device information, open,
// read, write, seek, tell, close, read directory, make directory, remove path
// and rename. Paths resolve inside the folder the way a jailed file system
// does ("/.." is "/"); a symbolic link out of the folder is refused.
class FakeAfc {
public:
    FakeAfc(FakeDevice& device, FakeProtocolLog& log);
    ~FakeAfc();
    FakeAfc(const FakeAfc&) = delete;
    FakeAfc& operator=(const FakeAfc&) = delete;

    // Serves packets until the client hangs up or the connection is cut.
    void serve(int fd);

private:
    struct Resolved {
        QString devicePath;   // normalised, always starting with "/"
        QString localPath;
    };

    bool handle(int fd, quint64 packet, quint64 operation, const QByteArray& params);
    bool send(int fd, quint64 packet, quint64 operation, const QByteArray& params, const QByteArray& payload = {});
    bool sendStatus(int fd, quint64 packet, quint64 code);
    // False when the path leaves the served folder through a symbolic link.
    bool resolve(const QByteArray& raw, Resolved* out) const;
    QByteArray fileInfo(const Resolved& path, quint64* status) const;
    QByteArray directory(const Resolved& path, quint64* status) const;

    FakeDevice& m_device;
    FakeProtocolLog& m_log;
    QString m_root;
    std::map<quint64, int> m_files;   // handle -> local descriptor
    quint64 m_nextHandle = 1;
};
