// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

class QELDeviceInterface;

// A simulated device folder (docs/simulated-devices.md) attached to a
// simulated backend and connected through the device interface, as the
// application reaches a device. Ends the interface's threads when it goes.
class SimulatedDeviceConnection {
public:
    SimulatedDeviceConnection();
    ~SimulatedDeviceConnection();

    // Attaches the folder and waits for its connection; false, with the
    // reason, when the folder is no device or it did not connect.
    bool connect(const QString& folder, QString* why);
    QELDeviceInterface& device();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
