// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

// The computer's identity towards one device, as usbmuxd keeps it: a root
// certificate and key, a host certificate and key, the device's certificate
// made on its public key, the host identifier the device knows the computer
// by and the system identifier of usbmuxd.
namespace PairRecord {

// Whether a record can start a session and be offered to the device again:
// every certificate and key is there and the host identifier is not empty.
// A record usbmuxd hands back damaged (unparsable, or missing any of these)
// is not usable.
bool isUsable(const QVariantMap& record);

// The record of usbmuxd's bytes; an empty map when they do not parse.
QVariantMap parse(const QByteArray& bytes);

// A new identity for the device whose public key (PEM, as lockdownd gives
// it) is given. Empty, with `error` set, when the key cannot be read or a key
// or certificate cannot be made.
QVariantMap create(const QByteArray& devicePublicKeyPem, const QString& systemBuid, QString* error);

} // namespace PairRecord
