// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect safari` run as a program over folders of Safari's files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "Plist.h"
#include "QtPrinters.h"
#include "SafariFixture.h"
#include "ToolRun.h"

namespace {

ToolRun inspect(const QStringList& arguments)
{
    // The history's days are dated in this zone.
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH),
                   QStringList{QStringLiteral("safari")} + arguments, {{"TZ", "UTC"}});
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QJsonObject row(std::initializer_list<QPair<QString, QJsonValue>> values)
{
    QJsonObject object;
    for (const auto& [key, value] : values)
        object.insert(key, value);
    return object;
}

const QJsonValue kNull(QJsonValue::Null);

TEST(InspectSafari, PrintsBookmarksDepthFirstAndHistoryNewestFirst)
{
    QTemporaryDir dir;
    put(dir.filePath(QStringLiteral("Bookmarks.db")),
        SafariFixture::bookmarksDbBytes(SafariFixture::edgeCaseBookmarks()));
    put(dir.filePath(QStringLiteral("History.db")),
        SafariFixture::historyDbBytes(SafariFixture::edgeCaseDbVisits()));
    const ToolRun run = inspect({dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    auto mark = [](const char* title, const char* url, const QJsonValue& folder) {
        return row({{"title", QString::fromUtf8(title)},
                    {"url", QString::fromUtf8(url)},
                    {"folder", folder}});
    };
    const QJsonArray bookmarks{
        mark("", "file:///etc/passwd", kNull),
        mark("..", "x-app://open", kNull),
        mark("A", "https://a.example.org/", "Favorites"),
        mark("Deep", "https://deep.example.org/", "Nested"),
        mark("a", "https://lower-a.example.org/", "Favorites"),
        mark("b", "https://b.example.org/", "Favorites"),
        mark("Umlaut", "https://example.org/ä", kNull),
        mark("a/b", "javascript:alert(1)", kNull),
    };
    EXPECT_EQ(run.json().value(QStringLiteral("bookmarks")).toArray(), bookmarks);
    const QJsonArray history = run.json().value(QStringLiteral("history")).toArray();
    ASSERT_EQ(history.size(), 6);
    // In UTC the visits either side of UTC+2's midnight share a day, in the file's order.
    EXPECT_EQ(history[0].toObject(),
              row({{"url", "https://example.org/ä"},
                   {"title", "News"},
                   {"date", "2024-01-01T21:59:59Z"},
                   {"visits", 2}}));
    EXPECT_EQ(history[1].toObject().value(QStringLiteral("title")), QJsonValue("a/b"));
    EXPECT_EQ(history[1].toObject().value(QStringLiteral("visits")), QJsonValue(1));
    EXPECT_EQ(history[3].toObject().value(QStringLiteral("url")),
              QJsonValue("javascript:alert(1)"));
}

TEST(InspectSafari, AHistoryPlistGivesNullForAMissingCount)
{
    QTemporaryDir dir;
    put(dir.filePath(QStringLiteral("History.plist")),
        SafariFixture::historyPlist(SafariFixture::edgeCasePlistVisits(), Plist::Format::Binary));
    const ToolRun run = inspect({dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value(QStringLiteral("bookmarks")).toArray(), QJsonArray());
    const QJsonArray history = run.json().value(QStringLiteral("history")).toArray();
    ASSERT_EQ(history.size(), 6);
    EXPECT_EQ(history[0].toObject(),
              row({{"url", "https://example.org/ä"},
                   {"title", "News"},
                   {"date", "2024-01-01T21:58:00Z"},
                   {"visits", 4}}))
        << QJsonDocument(history).toJson().toStdString();
    EXPECT_EQ(history[1].toObject().value(QStringLiteral("visits")), kNull);
    // An element without an address gives an item without one.
    EXPECT_EQ(history[2].toObject().value(QStringLiteral("url")), kNull);
}

TEST(InspectSafari, AFolderWithoutSafarisFilesIsRefused)
{
    QTemporaryDir dir;
    put(dir.filePath(QStringLiteral("notes.sqlite")), "x");
    const ToolRun run = inspect({dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("holds no Bookmarks.db"));
}

TEST(InspectSafari, ExportWritesAShortcutForEveryBookmarkAndVisit)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    put(dir.filePath(QStringLiteral("Bookmarks.db")),
        SafariFixture::bookmarksDbBytes(SafariFixture::edgeCaseBookmarks()));
    put(dir.filePath(QStringLiteral("History.db")),
        SafariFixture::historyDbBytes(SafariFixture::edgeCaseDbVisits()));
    const QString folder = out.filePath(QStringLiteral("shortcuts"));
    const ToolRun run = inspect({dir.path(), QStringLiteral("--export"), folder});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    // The bookmarks and visits with web addresses; clashing names numbered,
    // hostile titles made safe, other schemes left out.
    EXPECT_EQ(names,
              (QStringList{"A.desktop", "Deep.desktop", "News again.desktop", "News.desktop",
                           "Umlaut.desktop", "a 1.desktop", "a_b.desktop", "b.desktop"}))
        << names.join(QLatin1Char(',')).toStdString();
    QFile news(QDir(folder).filePath(QStringLiteral("News.desktop")));
    ASSERT_TRUE(news.open(QIODevice::ReadOnly));
    EXPECT_TRUE(news.readAll().contains("\nURL=https://example.org/%C3%A4\n"));
}

} // namespace
