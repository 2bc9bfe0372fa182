// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The system service through which USB devices are found (usbmuxd).
namespace DeviceService {

// Whether the service answers at `address`: "UNIX:/path", or empty for the
// system's socket. A network address ("host:port") is taken as answering.
bool isRunning(const QByteArray& address);
// The same at the address the device library uses (USBMUXD_SOCKET_ADDRESS).
bool isRunning();

} // namespace DeviceService
