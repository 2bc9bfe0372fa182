// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ServiceConnection.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// A lockdown service of a simulated device, in memory. Every complete framed
// message sent to it (4-byte big-endian length, property list) goes to the
// service's handler, which answers the bytes the service sends back and
// whether the service then closes its end.
class SimulatedServiceConnection : public ServiceConnection {
public:
    struct Reply {
        QByteArray bytes;
        bool close = false;
    };
    using Handler = std::function<Reply(const QVariant& message)>;

    SimulatedServiceConnection(QString name, QString owner, std::shared_ptr<std::atomic<bool>> present,
                               Handler handler = {});

    const QString& name() const { return m_name; }
    // The identifier of the device that started the service.
    const QString& owner() const { return m_owner; }

    int64_t send(const char* data, uint32_t length) override;
    int64_t receive(char* data, uint32_t length) override;
    void close() override;

    // A framed XML property-list message, as services exchange them.
    static QByteArray frame(const QVariant& message);

private:
    QString m_name;
    QString m_owner;
    std::shared_ptr<std::atomic<bool>> m_present;
    Handler m_handler;
    std::mutex m_mutex;
    QByteArray m_fromClient;
    QByteArray m_toClient;
    bool m_closed = false;
};
