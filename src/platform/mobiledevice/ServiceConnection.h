// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The byte stream of a started lockdown service. Each call is one send or one
// receive on the stream, as a socket's send() and recv() are.
class ServiceConnection {
public:
    virtual ~ServiceConnection();

    // Sends up to `length` bytes; answers the count sent, or -1 on failure.
    virtual int64_t send(const char* data, uint32_t length) = 0;
    // Receives up to `length` bytes; answers the count received, 0 when the
    // peer closed the stream, -1 on failure.
    virtual int64_t receive(char* data, uint32_t length) = 0;
    virtual void close() = 0;
};

// A service connection over a plain socket descriptor (a socket pair in tests).
// Owns the descriptor when `owned` is set.
class SocketServiceConnection : public ServiceConnection {
public:
    explicit SocketServiceConnection(int socket, bool owned = true);
    ~SocketServiceConnection() override;

    int64_t send(const char* data, uint32_t length) override;
    int64_t receive(char* data, uint32_t length) override;
    void close() override;

private:
    int m_socket;
    bool m_owned;
};
