// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmarks reader over Bookmarks.db: visible children by title, the
// answers kept, the walk of the whole tree, bad files.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QELSafariBookmarksDbReader.h"
#include "QtPrinters.h"
#include "SQLiteFixtureWriter.h"
#include "SafariFixture.h"

namespace {

QStringList titles(const std::optional<QList<QELSafariBookmarkItem>>& items)
{
    QStringList list;
    if (items) {
        for (const QELSafariBookmarkItem& item : *items)
            list << item.title();
    }
    return list;
}

class BookmarksDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath(QStringLiteral("Bookmarks.db"));
        QString error;
        ASSERT_TRUE(
            SafariFixture::writeBookmarksDb(m_path, SafariFixture::edgeCaseBookmarks(), &error))
            << error.toStdString();
        ASSERT_TRUE(m_reader.loadSafariBookmarksFromDbPath(m_path));
    }
    QTemporaryDir m_dir;
    QString m_path;
    QELSafariBookmarksDbReader m_reader;
};

TEST_F(BookmarksDb, FoldersListTheirVisibleChildrenByTitle)
{
    struct Case {
        int parent;
        QStringList titles;
    };
    // Hidden rows never come; "b", "A", "a" come as A, a, b whatever their
    // order_index; a folder that holds only hidden rows or none is empty.
    const Case cases[] = {
        {0, {"", "..", "Favorites", "Umlaut", "a/b"}},
        {1, {"A", "Empty", "Nested", "a", "b"}},
        {13, {"Deep"}},
        {14, {}},
        {20, {}},
        {999, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parent);
        EXPECT_EQ(titles(m_reader.getBookmarksForParentId(c.parent)), c.titles);
    }
    const QList<QELSafariBookmarkItem> top = *m_reader.getBookmarksForParentId(0);
    const QELSafariBookmarkItem& favorites = top[2];
    EXPECT_TRUE(favorites.isFolder());
    EXPECT_EQ(favorites.url(), QString(""));
    EXPECT_FALSE(favorites.url().isNull());
    EXPECT_EQ(favorites.bookmarkId(), 1);
    EXPECT_FALSE(top[4].isFolder());
    EXPECT_EQ(top[4].url(), QStringLiteral("javascript:alert(1)"));
    EXPECT_EQ(top[4].orderIndex(), 1);
    EXPECT_EQ(top[3].url(), QStringLiteral("https://example.org/ä"));
}

TEST_F(BookmarksDb, AFolderIsReadOnceAndThenAnsweredFromMemory)
{
    EXPECT_EQ(titles(m_reader.getBookmarksForParentId(1)).size(), 5);
    EXPECT_TRUE(m_reader.getBookmarksForParentId(14)->isEmpty());
    ASSERT_TRUE(QFile::remove(m_path));
    // Folders read before still answer, empty ones too; others have nothing to read.
    EXPECT_EQ(titles(m_reader.getBookmarksForParentId(1)).size(), 5);
    ASSERT_TRUE(m_reader.getBookmarksForParentId(14).has_value());
    EXPECT_TRUE(m_reader.getBookmarksForParentId(14)->isEmpty());
    EXPECT_EQ(m_reader.getBookmarksForParentId(13), std::nullopt);
}

TEST_F(BookmarksDb, TheWalkGoesDepthFirstInTheOrderShown)
{
    QStringList walked;
    m_reader.walkTree(
        [&](const QELSafariBookmarkItem& item, const QELSafariBookmarkItem* folder, int depth) {
            walked << QStringLiteral("%1%2<%3").arg(QString(depth, QLatin1Char(' ')), item.title(),
                                                    folder ? folder->title() : QStringLiteral("-"));
        });
    EXPECT_EQ(walked,
              (QStringList{"<-", "..<-", "Favorites<-", " A<Favorites", " Empty<Favorites",
                           " Nested<Favorites", "  Deep<Nested", " a<Favorites", " b<Favorites",
                           "Umlaut<-", "a/b<-"}));
    // Every folder was read: the tree answers without its file.
    ASSERT_TRUE(QFile::remove(m_path));
    EXPECT_EQ(titles(m_reader.getBookmarksForParentId(13)), QStringList{"Deep"});
}

TEST(BookmarksWalk, FoldersThatHoldEachOtherEnd)
{
    // A damaged table without a key: two rows share an id, one inside the
    // other, and a folder claims the top level's id.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Bookmarks.db"));
    SQLiteFixtureWriter db(path);
    db.exec(QStringLiteral("CREATE TABLE bookmarks (id INTEGER, parent INTEGER, type INTEGER, "
                           "title TEXT, url TEXT, hidden INTEGER, order_index INTEGER)"));
    db.exec(QStringLiteral("INSERT INTO bookmarks VALUES (1, 0, 1, 'Loop', NULL, 0, 0), "
                           "(1, 1, 1, 'Loop again', NULL, 0, 0), (0, 0, 1, 'Top', NULL, 0, 1), "
                           "(2, 1, 0, 'Page', 'https://example.org/', 0, 1)"));
    ASSERT_TRUE(db.commit()) << db.error().toStdString();
    QELSafariBookmarksDbReader reader;
    ASSERT_TRUE(reader.loadSafariBookmarksFromDbPath(path));
    QStringList walked;
    reader.walkTree([&](const QELSafariBookmarkItem& item, const QELSafariBookmarkItem*,
                        int depth) { walked << QString::number(depth) + item.title(); });
    EXPECT_EQ(walked, (QStringList{"0Loop", "1Loop again", "1Page", "0Top"}));
}

TEST(BookmarksDbFiles, AMissingOrDamagedFileGivesNoBookmarks)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> bytes;
        bool loads;
        std::optional<QStringList> top;
    };
    QString error;
    const QByteArray withoutTable = SafariFixture::historyDbBytes({}, true, &error);
    const Case cases[] = {
        {"missing", std::nullopt, false, std::nullopt},
        {"not a database", QByteArray(2048, 'z'), false, QStringList{}},
        {"without the bookmarks table", withoutTable, true, QStringList{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Bookmarks.db"));
        if (c.bytes) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.bytes);
        }
        QELSafariBookmarksDbReader reader;
        EXPECT_EQ(reader.loadSafariBookmarksFromDbPath(path), c.loads);
        const auto top = reader.getBookmarksForParentId(0);
        EXPECT_EQ(top.has_value(), c.top.has_value());
        if (top && c.top) {
            EXPECT_EQ(titles(top), *c.top);
        }
        int visited = 0;
        reader.walkTree(
            [&](const QELSafariBookmarkItem&, const QELSafariBookmarkItem*, int) { ++visited; });
        EXPECT_EQ(visited, 0);
    }
}

} // namespace
