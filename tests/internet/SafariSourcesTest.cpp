// SPDX-License-Identifier: GPL-3.0-or-later
// Where the category finds Safari's files in a backup (a folder of copies
// here), and both read through that one lookup.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "QELSafariBookmarksDbReader.h"
#include "QELWebHistoryFromDBReader.h"
#include "QELWebHistoryFromPlistReader.h"
#include "QtPrinters.h"
#include "SafariBackupData.h"
#include "SafariFixture.h"

namespace {

using SafariBackupData::HistoryFormat;

enum File {
    PlistTop = 1,
    PlistInDomain = 2,
    DbTop = 4,
    DbInDomain = 8,
    BookmarksTop = 16,
    BookmarksInDomain = 32
};

void writeFiles(const QString& folder, int files)
{
    auto put = [&](const QString& relative, const QByteArray& bytes) {
        const QString path = folder + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    // One visit, told apart by its title, in each history file.
    auto plist = [](const char* title) {
        return SafariFixture::historyPlist(
            {{QStringLiteral("https://example.org/"), QString::fromLatin1(title),
              QStringLiteral("725000000"), 1}},
            Plist::Format::Binary);
    };
    auto db = [](const char* title) {
        return SafariFixture::historyDbBytes({{QStringLiteral("https://example.org/"),
                                               QString::fromLatin1(title), 725000000, true}});
    };
    if (files & PlistTop)
        put(QStringLiteral("History.plist"), plist("plist of type 11"));
    if (files & PlistInDomain)
        put(QStringLiteral("Library/Safari/History.plist"), plist("plist in the domain"));
    if (files & DbTop)
        put(QStringLiteral("History.db"), db("db by name"));
    if (files & DbInDomain)
        put(QStringLiteral("Library/Safari/History.db"), db("db in the domain"));
    if (files & BookmarksTop)
        put(QStringLiteral("Bookmarks.db"),
            SafariFixture::bookmarksDbBytes(SafariFixture::edgeCaseBookmarks()));
    if (files & BookmarksInDomain)
        put(QStringLiteral("Library/Safari/Bookmarks.db"),
            SafariFixture::bookmarksDbBytes(SafariFixture::demoBookmarks()));
}

TEST(SafariSources, TheFirstHistoryFileFoundIsReadByItsReader)
{
    struct Case {
        const char* name;
        int files;
        HistoryFormat format;
        QString title; // of the one visit read; empty: none
    };
    const Case cases[] = {
        {"all of them: the plist of type 11", PlistTop | PlistInDomain | DbTop | DbInDomain,
         HistoryFormat::Plist, QStringLiteral("plist of type 11")},
        {"the plist in the domain before the db", PlistInDomain | DbInDomain, HistoryFormat::Plist,
         QStringLiteral("plist in the domain")},
        {"only the db in Safari's domain", DbInDomain, HistoryFormat::Database,
         QStringLiteral("db in the domain")},
        {"only a db by name", DbTop, HistoryFormat::Database, QStringLiteral("db by name")},
        {"none", BookmarksTop, HistoryFormat::None, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFiles(dir.path(), c.files);
        FolderBackupFileSource source(dir.path());
        const SafariBackupData::Loaded loaded = SafariBackupData::load(source, QTimeZone::utc());
        EXPECT_EQ(loaded.historyFormat, c.format);
        ASSERT_NE(loaded.history, nullptr);
        EXPECT_EQ(dynamic_cast<QELWebHistoryFromDBReader*>(loaded.history.get()) != nullptr,
                  c.format == HistoryFormat::Database);
        const QList<QELSafariHistoryItem> items = loaded.history->allItems();
        if (c.title.isEmpty()) {
            EXPECT_TRUE(items.isEmpty());
            EXPECT_FALSE(loaded.historyFound);
        } else {
            ASSERT_EQ(items.size(), 1);
            EXPECT_EQ(items.first().title(), c.title);
        }
        EXPECT_TRUE(loaded.errors.isEmpty()) << loaded.errors.join(QLatin1Char(';')).toStdString();
    }
}

TEST(SafariSources, BookmarksComeFromTheirDataTypeElseSafarisDomain)
{
    struct Case {
        const char* name;
        int files;
        QString firstTopTitle; // empty: no bookmarks
    };
    const Case cases[] = {
        {"both: the data type's", BookmarksTop | BookmarksInDomain, QStringLiteral("")},
        {"only in the domain", BookmarksInDomain, QStringLiteral("City Library")},
        {"none", DbTop, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFiles(dir.path(), c.files);
        FolderBackupFileSource source(dir.path());
        SafariBackupData::Loaded loaded = SafariBackupData::load(source);
        EXPECT_EQ(loaded.bookmarksFound, !c.firstTopTitle.isNull());
        if (c.firstTopTitle.isNull()) {
            EXPECT_EQ(loaded.bookmarks, nullptr);
            continue;
        }
        ASSERT_NE(loaded.bookmarks, nullptr);
        const auto top = loaded.bookmarks->getBookmarksForParentId(0);
        ASSERT_TRUE(top && !top->isEmpty());
        EXPECT_EQ(top->first().title(), c.firstTopTitle);
    }
}

TEST(SafariSources, TheLoadReadsEveryFolderSoTheTreeNeedsNoFileAfterwards)
{
    QTemporaryDir dir;
    writeFiles(dir.path(), BookmarksTop);
    FolderBackupFileSource source(dir.path());
    const SafariBackupData::Located found = SafariBackupData::locate(source);
    ASSERT_FALSE(found.bookmarksPath.isEmpty());
    SafariBackupData::Loaded loaded = SafariBackupData::load(source);
    ASSERT_NE(loaded.bookmarks, nullptr);
    QDir(dir.path()).removeRecursively();
    // Its copy goes too (as the temporary folder is emptied): the folders
    // were all read during the load.
    const auto nested = loaded.bookmarks->getBookmarksForParentId(13);
    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->size(), 1);
}

} // namespace
