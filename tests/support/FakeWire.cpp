#include "FakeWire.h"

#include "Log.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace FakeWire {

bool readExact(int fd, void* buffer, size_t length)
{
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::recv(fd, out + done, length - done, 0);
        if (n == 0)
            return false;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* data, size_t length)
{
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::send(fd, in + done, length - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void appendLe32(QByteArray& out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

void appendLe64(QByteArray& out, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

quint32 le32(const char* bytes)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

quint64 le64(const char* bytes)
{
    quint64 value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

} // namespace FakeWire

void FakeProtocolLog::fail(const QString& what)
{
    qCWarning(lcOrvane).noquote() << "fake device:" << what;
    std::lock_guard lock(m_mutex);
    m_failures.append(what);
}

QStringList FakeProtocolLog::failures() const
{
    std::lock_guard lock(m_mutex);
    return m_failures;
}

void FakeProtocolLog::clear()
{
    std::lock_guard lock(m_mutex);
    m_failures.clear();
}
