// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect books DEVICE-FOLDER` over simulated device folders.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "BooksFixture.h"
#include "BooksTestSupport.h"
#include "QtPrinters.h"
#include "ToolRun.h"

using namespace BooksTest;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments);
}

QJsonObject entry(const QJsonValue& title, const QJsonValue& author, const QString& kind,
                  const QJsonValue& path)
{
    return {{QStringLiteral("title"), title},
            {QStringLiteral("author"), author},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("path"), path}};
}

TEST(BooksInspect, PrintsTheBooksInListOrder)
{
    for (const Plist::Format format : {Plist::Format::Xml, Plist::Format::Binary}) {
        SCOPED_TRACE(int(format));
        QTemporaryDir dir;
        SimulatedDeviceBuilder builder(dir.filePath(QStringLiteral("phone")));
        BooksFixture::addBooksApp(builder);
        addLibrary(builder, format);
        const QString folder = builder.build();
        ASSERT_FALSE(folder.isEmpty());
        const ToolRun run = inspect({QStringLiteral("books"), folder});
        ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
        const QJsonValue null;
        const QJsonArray want{
            entry("Report", "Ann Author", "pdf", "/Books/Report.pdf"),
            entry("Moby Dick", "Herman Melville", "epub", "/Books/B2.epub"),
            entry("Folder Book", null, "pdf", "/Books/C3"),
            entry("a/b", null, "epub", "/Books/D4.epub"),
            entry("..", null, "epub", "/Books/E5.epub"),
            entry(QStringLiteral(""), null, "pdf", "/Books/F6.pdf"),
            entry(QStringLiteral("Café ünï"), QStringLiteral("Zoë"), "epub", "/Books/G7.epub"),
            entry("Bought", "Seller", "epub", "/Books/Purchases/P1.epub"),
            entry("Cloud Only", null, "epub", null),
        };
        EXPECT_EQ(QJsonDocument::fromJson(run.out).object(),
                  (QJsonObject{{QStringLiteral("books"), want}}))
            << run.out.toStdString();
    }
}

TEST(BooksInspect, ADeviceWithoutBooksPrintsAnEmptyListAndAFolderThatIsNoDeviceIsRefused)
{
    QTemporaryDir dir;
    SimulatedDeviceBuilder builder(dir.filePath(QStringLiteral("phone")));
    const QString folder = builder.build();
    ASSERT_FALSE(folder.isEmpty());
    const ToolRun empty = inspect({QStringLiteral("books"), folder});
    ASSERT_EQ(empty.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(empty.out).object(),
              (QJsonObject{{QStringLiteral("books"), QJsonArray()}}));
    EXPECT_EQ(inspect({QStringLiteral("books"), dir.filePath(QStringLiteral("nothing"))}).exitCode,
              2);
    EXPECT_EQ(inspect({QStringLiteral("books"), dir.path()}).exitCode, 2);
}

} // namespace
