// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect books DEVICE-FOLDER` over simulated device folders.
#include <gtest/gtest.h>

#include <QDirIterator>
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

ToolRun inspect(const QStringList& arguments, const QList<std::pair<QString, QString>>& extra = {})
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments, extra);
}

// Every file below `root`, relative.
QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
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

// A list that is there but cannot be read is no device without books: the run
// is refused and says which list and why.
TEST(BooksInspect, ADamagedListIsReportedByName)
{
    const QByteArray valid = BooksFixture::mainList({{QStringLiteral("Report"),
                                                      QStringLiteral("A1"),
                                                      {},
                                                      {},
                                                      QStringLiteral("Report.pdf"),
                                                      QStringLiteral("pdf"),
                                                      {}}});
    const struct {
        const char* name;
        QByteArray main;
        QByteArray purchases;
        const char* reported;
    } cases[] = {
        {"empty main list", QByteArray(), QByteArray(), "/Books/Books.plist is damaged"},
        {"garbage main list", QByteArray("not a property list"), QByteArray(),
         "/Books/Books.plist is damaged"},
        {"truncated main list", valid.left(valid.size() / 2), QByteArray(),
         "/Books/Books.plist is damaged"},
        {"damaged purchases", valid, QByteArray("bplist00 cut short"),
         "Books/Purchases/Purchases.plist is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        SimulatedDeviceBuilder builder(dir.filePath(QStringLiteral("phone")));
        BooksFixture::addBooksApp(builder);
        builder.afcFile(QStringLiteral("Books/Report.pdf"), BooksFixture::pdf("Report"));
        builder.afcFile(QStringLiteral("Books/Books.plist"), c.main);
        if (!c.purchases.isNull())
            builder.afcFile(QStringLiteral("Books/Purchases/Purchases.plist"), c.purchases);
        const QString folder = builder.build();
        ASSERT_FALSE(folder.isEmpty());
        const ToolRun run = inspect({QStringLiteral("books"), folder});
        EXPECT_EQ(run.exitCode, 2) << run.output().toStdString();
        EXPECT_TRUE(run.err.contains(c.reported)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
}

// The copies the readers make go when the run ends, and the application's
// temporary folder (a running application may be using it) is left alone; a
// folder that a killed run left behind goes with the next run.
TEST(BooksInspect, LeavesNoCopiesInTheCacheAndNeverTouchesTheApplicationsFiles)
{
    QTemporaryDir dir;
    SimulatedDeviceBuilder builder(dir.filePath(QStringLiteral("phone")));
    BooksFixture::addBooksApp(builder);
    addLibrary(builder);
    const QString folder = builder.build();
    ASSERT_FALSE(folder.isEmpty());
    const QString cache = dir.filePath(QStringLiteral("cache"));
    const QString application = cache + QStringLiteral("/Orvane/orvane/Books.plist");
    const QString abandoned = cache + QStringLiteral("/Orvane/inspect-2147483646-AbCdEf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(application).path()));
    ASSERT_TRUE(QDir().mkpath(abandoned));
    {
        QFile file(application);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the application's copy");
        QFile left(abandoned + QStringLiteral("/Books.plist"));
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write("a killed run's copy");
    }

    const ToolRun run =
        inspect({QStringLiteral("books"), folder}, {{QStringLiteral("XDG_CACHE_HOME"), cache}});
    ASSERT_EQ(run.exitCode, 0) << run.output().toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("books").toArray().size(), 9);
    EXPECT_EQ(filesBelow(cache), QStringList{QStringLiteral("Orvane/orvane/Books.plist")});
    QFile file(application);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("the application's copy"));
}

} // namespace
