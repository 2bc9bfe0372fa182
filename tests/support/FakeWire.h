#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <mutex>

// Blocking socket helpers and the failure record shared by the fake device's
// protocol handlers (usbmuxd, lockdownd, AFC).
namespace FakeWire {

// Reads exactly `length` bytes; false on end of stream or error.
bool readExact(int fd, void* buffer, size_t length);
bool writeAll(int fd, const void* data, size_t length);
inline bool writeAll(int fd, const QByteArray& bytes)
{
    return writeAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
}

void appendLe32(QByteArray& out, quint32 value);
void appendLe64(QByteArray& out, quint64 value);
quint32 le32(const char* bytes);
quint64 le64(const char* bytes);

} // namespace FakeWire

// Everything the fake did not expect: a message it does not know, a malformed
// packet, a missing field. Each entry is logged at once and kept, so the test
// that drove the fake fails when it looks at the list.
class FakeProtocolLog {
public:
    void fail(const QString& what);
    QStringList failures() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QStringList m_failures;
};
