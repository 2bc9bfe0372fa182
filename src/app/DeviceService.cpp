// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceService.h"

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtGlobal>

namespace DeviceService {

namespace {

constexpr char kSystemSocket[] = "/var/run/usbmuxd";

bool answersAt(const QByteArray& path)
{
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A local connect answers at once: refused, missing, or accepted.
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

} // namespace

bool isRunning(const QByteArray& address)
{
    if (address.isEmpty())
        return answersAt(QByteArray(kSystemSocket));
    if (address.startsWith("UNIX:"))
        return answersAt(address.mid(5));
    return true;
}

bool isRunning() { return isRunning(qgetenv("USBMUXD_SOCKET_ADDRESS")); }

} // namespace DeviceService
