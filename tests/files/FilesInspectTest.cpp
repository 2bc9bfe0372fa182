// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect files DEVICE-FOLDER PATH` over simulated device folders.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "SimulatedDeviceBuilder.h"
#include "ToolRun.h"

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), QStringList{"files"} + arguments);
}

TEST(FilesInspect, ListsAFolderInTheBrowsersOrderWithTypesAndSizes)
{
    QTemporaryDir dir;
    const QString device = SimulatedDeviceBuilder(dir.path() + "/phone")
                               .afcFile("DCIM/100APPLE/IMG_0001.JPG", "12345")
                               .afcFile("DCIM/.hidden", "")
                               .afcFile("DCIM/apple.txt", "abc")
                               .afcFolder("DCIM/Empty")
                               .afcFile(QStringLiteral("DCIM/Ärger.txt"), "x")
                               .extraDirectoryEntries("/DCIM", {"../evil", "/etc/passwd", "a/b"})
                               .build();
    ASSERT_FALSE(device.isEmpty());
    const ToolRun run = inspect({device, "/DCIM"});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QJsonArray entries = QJsonDocument::fromJson(run.out).object().value("entries").toArray();
    QStringList lines;
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        lines << entry.value("name").toString() + " " + entry.value("type").toString() + " "
                + (entry.value("size").isNull() ? QStringLiteral("null")
                                                : QString::number(entry.value("size").toInteger()));
    }
    // The names the device layer refuses ("../evil", "/etc/passwd", "a/b") are not listed.
    EXPECT_EQ(lines,
              (QStringList{".hidden file 0", "100APPLE folder null", "apple.txt file 3",
                           "Empty folder null", QStringLiteral("Ärger.txt file 1")}));
}

TEST(FilesInspect, APathThatIsNoFolderExitsWithTwo)
{
    QTemporaryDir dir;
    const QString device =
        SimulatedDeviceBuilder(dir.path() + "/phone").afcFile("file.txt", "x").build();
    for (const QString& path : {QStringLiteral("/missing"), QStringLiteral("/file.txt")}) {
        SCOPED_TRACE(path.toStdString());
        const ToolRun run = inspect({device, path});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(inspect({device}).exitCode, 2);
    EXPECT_EQ(inspect({dir.path(), "/"}).exitCode, 2);
}

} // namespace
