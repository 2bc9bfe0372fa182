// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect apps DEVICE-FOLDER` over simulated device folders.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "AppsTestSupport.h"
#include "QtPrinters.h"
#include "ToolRun.h"

using namespace AppsTest;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments);
}

TEST(AppsInspect, PrintsTheUserAppsInTheViewsOrder)
{
    QTemporaryDir dir;
    SimulatedDeviceBuilder builder(dir.filePath(QStringLiteral("phone")));
    builder.value(QStringLiteral("ProductVersion"), QStringLiteral("8.4"))
        .app(QStringLiteral("com.example.zoo"), app(QStringLiteral("Zoo"), QStringLiteral("3.0")))
        .app(QStringLiteral("com.example.atlas"),
             app(QStringLiteral("Atlas"), QStringLiteral("1.2")))
        .app(QStringLiteral("com.apple.system"),
             app(QStringLiteral("System"), {}, QStringLiteral("System")))
        .afcFile(QStringLiteral("ApplicationArchives/com.example.zoo.zip"), "zip");
    const QString folder = builder.build();
    ASSERT_FALSE(folder.isEmpty());
    const ToolRun run = inspect({QStringLiteral("apps"), folder});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QJsonArray apps =
        QJsonDocument::fromJson(run.out).object().value(QStringLiteral("apps")).toArray();
    ASSERT_EQ(apps.size(), 2);
    EXPECT_EQ(apps.at(0).toObject(),
              (QJsonObject{{QStringLiteral("bundleID"), QStringLiteral("com.example.atlas")},
                           {QStringLiteral("name"), QStringLiteral("Atlas")},
                           {QStringLiteral("version"), QStringLiteral("1.2")},
                           {QStringLiteral("archived"), false}}));
    EXPECT_EQ(apps.at(1).toObject().value(QStringLiteral("bundleID")).toString(),
              QStringLiteral("com.example.zoo"));
    EXPECT_TRUE(apps.at(1).toObject().value(QStringLiteral("archived")).toBool());
}

TEST(AppsInspect, RefusesAFolderThatIsNoDevice)
{
    QTemporaryDir dir;
    EXPECT_EQ(inspect({QStringLiteral("apps"), dir.path()}).exitCode, 2);
}

} // namespace
