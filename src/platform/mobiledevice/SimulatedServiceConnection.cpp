// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedServiceConnection.h"

#include "Plist.h"

#include <QtEndian>

#include <cstring>

SimulatedServiceConnection::SimulatedServiceConnection(QString name, QString owner,
                                                       std::shared_ptr<std::atomic<bool>> present, Handler handler)
    : m_name(std::move(name)), m_owner(std::move(owner)), m_present(std::move(present)), m_handler(std::move(handler))
{
}

QByteArray SimulatedServiceConnection::frame(const QVariant& message)
{
    const QByteArray body = Plist::serialize(message, Plist::Format::Xml);
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), framed.data());
    return framed + body;
}

int64_t SimulatedServiceConnection::send(const char* data, uint32_t length)
{
    std::lock_guard lock(m_mutex);
    if (!m_present->load() || m_closed)
        return -1;
    m_fromClient.append(data, static_cast<qsizetype>(length));
    // Hand every complete message to the service.
    while (m_fromClient.size() >= 4) {
        const quint32 size = qFromBigEndian<quint32>(m_fromClient.constData());
        if (static_cast<quint64>(m_fromClient.size()) < 4ull + size)
            break;
        const QVariant message = Plist::parse(m_fromClient.mid(4, static_cast<qsizetype>(size)));
        m_fromClient.remove(0, static_cast<qsizetype>(4 + size));
        if (m_handler) {
            const Reply reply = m_handler(message);
            m_toClient.append(reply.bytes);
            if (reply.close)
                m_closed = true;
        }
    }
    return length;
}

int64_t SimulatedServiceConnection::receive(char* data, uint32_t length)
{
    std::lock_guard lock(m_mutex);
    if (!m_present->load())
        return -1;
    // Nothing more to say: the service has closed its end (a request-reply
    // service never speaks unasked, so waiting would never end).
    if (m_toClient.isEmpty())
        return 0;
    const qsizetype count = std::min<qsizetype>(length, m_toClient.size());
    std::memcpy(data, m_toClient.constData(), static_cast<size_t>(count));
    m_toClient.remove(0, count);
    return count;
}

void SimulatedServiceConnection::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_toClient.clear();
}
