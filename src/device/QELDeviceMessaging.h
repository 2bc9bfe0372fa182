// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QVariant>

class ServiceConnection;

// Framing of lockdown service messages: a 4-byte big-endian length, then that
// many bytes of an XML property list. Class operations only; one service
// connection is used by one thread at a time.
class QELDeviceMessaging {
public:
    // Messages longer than this are refused before anything is allocated.
    static constexpr quint32 kMaxMessageLength = 32 * 1024 * 1024;

    // A dictionary of the first `numberOfEntries` keys and values; true when
    // the whole message went out.
    static bool SendMessageToServiceSetkeysSetValuesNumberOfEntries(ServiceConnection& service, const QStringList& keys,
                                                                    const QVariantList& values, qint64 numberOfEntries);
    // An array of the first `numberOfEntries` elements.
    static bool SendMessageToServiceAsArraySetElementsNumberOfEntries(ServiceConnection& service,
                                                                      const QVariantList& elements,
                                                                      qint64 numberOfEntries);
    // Sends any property-list value as one message.
    static bool sendPropertyList(ServiceConnection& service, const QVariant& message);
    // The received property list; an invalid QVariant when the length cannot
    // be read, is 0 or too large, the body is cut short, or does not parse.
    static QVariant ReceiveMessageFromService(ServiceConnection& service);
    // The same receive without its log line.
    static QVariant ReceivePropertyListFromService(ServiceConnection& service);

private:
    static QVariant receive(ServiceConnection& service, bool logMissingLength);
};
