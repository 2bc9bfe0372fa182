// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELDeviceConnectivityArguments.h"

#include <QString>

// The device events. Connect and disconnect events arrive on the device
// interface's detection threads, never on the main thread; the receiver moves
// work to the main thread itself. Each event's argument is a snapshot made for
// that event: copy it to keep it.
class QELDeviceConnectivityDelegate {
public:
    virtual ~QELDeviceConnectivityDelegate() = default;

    virtual void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) = 0;
    virtual void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) = 0;
    // A copy from the device starts (true) or ends (false); on the copy's thread.
    virtual void OnDeviceCommunicatingWithSourceFile(bool communicating, const QString& devicePath)
    {
        (void)communicating;
        (void)devicePath;
    }
};
