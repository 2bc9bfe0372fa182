// SPDX-License-Identifier: GPL-3.0-or-later
// The app services of the device interface over the simulated device.
#include <gtest/gtest.h>

#include "AppsTestSupport.h"

using namespace AppsTest;

namespace {

TEST(AppServices, ListsUserAppsOnly)
{
    QTemporaryDir dir;
    Device device(dir.filePath(QStringLiteral("phone")));
    device.builder()
        .app(QStringLiteral("com.example.notes"), app(QStringLiteral("Notes")))
        .app(QStringLiteral("com.apple.mobilesafari"),
             app(QStringLiteral("Safari"), {}, QStringLiteral("System")))
        .app(QStringLiteral("com.example.case"),
             app(QStringLiteral("Case"), {}, QStringLiteral("user")));
    ASSERT_TRUE(device.connect());
    QELDeviceInterface& di = device.interface();
    EXPECT_TRUE(di.getAppIDList().isEmpty()) << "no request without the connection";
    ASSERT_TRUE(di.StartAppsService());
    EXPECT_EQ(di.getAppIDList(), QStringList{QStringLiteral("com.example.notes")});
    di.StopAppsService();
}

} // namespace
