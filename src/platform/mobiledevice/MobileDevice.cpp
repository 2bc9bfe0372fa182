// SPDX-License-Identifier: GPL-3.0-or-later
#include "MobileDevice.h"

#include "AfcConnection.h"
#include "DemoFallbackMobileDevice.h"
#include "InstallationProxy.h"
#include "Log.h"
#include "RealMobileDevice.h"
#include "SimulatedMobileDevice.h"
#include "SpringBoardServices.h"

MobileDevice::~MobileDevice() = default;

AfcConnection::~AfcConnection() = default;

InstallationProxy::~InstallationProxy() = default;

SpringBoardServices::~SpringBoardServices() = default;

int AfcConnection::fileRefCopyToDescriptor(uint64_t, int, uint32_t, uint32_t* copied)
{
    *copied = 0;
    return AfcResult::kNotSupported;
}

std::shared_ptr<MobileDevice> createMobileDevice()
{
    const QStringList folders = SimulatedMobileDevice::foldersFromEnvironment();
    if (!folders.isEmpty() && !qEnvironmentVariableIsEmpty("ORVANE_DEMO_FALLBACK")) {
        // A demo asked for: shown while no real device is attached.
        qCInfo(lcOrvane) << "Watching usbmuxd; the demo device shows while no device is attached:"
                         << folders;
        return std::make_shared<DemoFallbackMobileDevice>(
            std::make_shared<RealMobileDevice>(), std::make_shared<SimulatedMobileDevice>(folders));
    }
    if (!folders.isEmpty()) {
        qCInfo(lcOrvane) << "Using simulated devices:" << folders;
        return std::make_shared<SimulatedMobileDevice>(folders);
    }
    return std::make_shared<RealMobileDevice>();
}
