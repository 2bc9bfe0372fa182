// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceMessaging.h"

#include "Log.h"
#include "Plist.h"
#include "ServiceConnection.h"

#include <QtEndian>

namespace {

bool sendAll(ServiceConnection& service, const char* data, qint64 length)
{
    qint64 sent = 0;
    while (sent < length) {
        const int64_t put = service.send(data + sent, static_cast<uint32_t>(length - sent));
        if (put <= 0)
            return false;
        sent += put;
    }
    return true;
}

bool receiveAll(ServiceConnection& service, char* data, qint64 length)
{
    qint64 received = 0;
    while (received < length) {
        const int64_t got = service.receive(data + received, static_cast<uint32_t>(length - received));
        if (got <= 0)
            return false;
        received += got;
    }
    return true;
}

} // namespace

bool QELDeviceMessaging::sendPropertyList(ServiceConnection& service, const QVariant& message)
{
    const QByteArray body = Plist::serialize(message, Plist::Format::Xml);
    if (body.isEmpty() || static_cast<quint64>(body.size()) > kMaxMessageLength)
        return false;
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), length);
    if (service.send(length, 4) != 4)
        return false;
    return sendAll(service, body.constData(), body.size());
}

bool QELDeviceMessaging::SendMessageToServiceSetkeysSetValuesNumberOfEntries(ServiceConnection& service,
                                                                            const QStringList& keys,
                                                                            const QVariantList& values,
                                                                            qint64 numberOfEntries)
{
    if (numberOfEntries < 0 || numberOfEntries > keys.size() || numberOfEntries > values.size())
        return false;
    QVariantMap message;
    for (qint64 i = 0; i < numberOfEntries; ++i)
        message.insert(keys.at(i), values.at(i));
    return sendPropertyList(service, message);
}

bool QELDeviceMessaging::SendMessageToServiceAsArraySetElementsNumberOfEntries(ServiceConnection& service,
                                                                              const QVariantList& elements,
                                                                              qint64 numberOfEntries)
{
    if (numberOfEntries < 0 || numberOfEntries > elements.size())
        return false;
    return sendPropertyList(service, QVariantList(elements.cbegin(), elements.cbegin() + numberOfEntries));
}

QVariant QELDeviceMessaging::ReceiveMessageFromService(ServiceConnection& service) { return receive(service, true); }

QVariant QELDeviceMessaging::ReceivePropertyListFromService(ServiceConnection& service)
{
    return receive(service, false);
}

QVariant QELDeviceMessaging::receive(ServiceConnection& service, bool logMissingLength)
{
    char lengthField[4];
    if (!receiveAll(service, lengthField, 4)) {
        if (logMissingLength)
            qCInfo(lcOrvane) << "Cannot receive reply size.";
        return {};
    }
    const quint32 length = qFromBigEndian<quint32>(lengthField);
    if (length == 0)
        return {};
    if (length > kMaxMessageLength) {
        qCWarning(lcOrvane) << "Refusing a service message of" << length << "bytes.";
        return {};
    }
    QByteArray body(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (!receiveAll(service, body.data(), length))
        return {};
    return Plist::parse(body);
}
