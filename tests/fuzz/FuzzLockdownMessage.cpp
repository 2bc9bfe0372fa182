// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as what a lockdown service sends: the length-framed message is
// received whole, or refused, whatever pieces the stream arrives in.
#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "QELDeviceMessaging.h"
#include "ServiceConnection.h"

namespace {
// The stream hands out the input in pieces whose sizes the input's first
// byte chooses, as a socket may.
class InputConnection : public ServiceConnection {
public:
    InputConnection(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    int64_t send(const char*, uint32_t length) override { return length; }
    int64_t receive(char* data, uint32_t length) override
    {
        if (m_at >= m_size)
            return 0;
        const size_t piece = std::min<size_t>({length, m_size - m_at, m_piece});
        std::memcpy(data, m_data + m_at, piece);
        m_at += piece;
        return static_cast<int64_t>(piece);
    }
    void close() override {}
    void setPiece(size_t piece) { m_piece = std::max<size_t>(1, piece); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    size_t m_piece = 1;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    InputConnection connection(data + 1, size - 1);
    connection.setPiece(data[0] == 0 ? size : data[0]);
    // A stream may hold several messages; read until one is refused.
    for (int i = 0; i < 4; ++i) {
        if (!QELDeviceMessaging::ReceivePropertyListFromService(connection).isValid())
            break;
        FuzzSupport::parsed();
    }
    return 0;
}
