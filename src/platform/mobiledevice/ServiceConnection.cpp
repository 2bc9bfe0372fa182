// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServiceConnection.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

ServiceConnection::~ServiceConnection() = default;

SocketServiceConnection::SocketServiceConnection(int socket, bool owned)
    : m_socket(socket), m_owned(owned)
{
}

SocketServiceConnection::~SocketServiceConnection() { close(); }

int64_t SocketServiceConnection::send(const char* data, uint32_t length)
{
    if (m_socket < 0)
        return -1;
    for (;;) {
        const ssize_t sent = ::send(m_socket, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        return sent;
    }
}

int64_t SocketServiceConnection::receive(char* data, uint32_t length)
{
    if (m_socket < 0)
        return -1;
    for (;;) {
        const ssize_t got = ::recv(m_socket, data, length, 0);
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
}

void SocketServiceConnection::close()
{
    if (m_socket >= 0 && m_owned)
        ::close(m_socket);
    m_socket = -1;
}
