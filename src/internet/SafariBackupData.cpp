// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafariBackupData.h"

#include "BackupFileSource.h"
#include "QELSafariBookmarksDbReader.h"
#include "QELWebHistoryFromDBReader.h"
#include "QELWebHistoryFromPlistReader.h"
#include "ThreadCheck.h"

namespace SafariBackupData {

namespace {

constexpr int kBookmarksType = 10;
constexpr int kHistoryPlistType = 11;

} // namespace

QString safariDomain() { return QStringLiteral("AppDomain-com.apple.mobilesafari"); }

Located locate(BackupFileSource& source)
{
    assertNotOnGuiThread();
    Located found;
    found.bookmarksPath = source.GetPathToDataOfType(kBookmarksType);
    if (found.bookmarksPath.isEmpty())
        found.bookmarksPath = source.GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/Safari/Bookmarks.db"), safariDomain());

    found.historyPath = source.GetPathToDataOfType(kHistoryPlistType);
    if (found.historyPath.isEmpty())
        found.historyPath = source.GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/Safari/History.plist"), safariDomain());
    if (!found.historyPath.isEmpty()) {
        found.historyFormat = HistoryFormat::Plist;
        return found;
    }
    found.historyPath = source.GetPathForDeviceFileNameInDomain(
        QStringLiteral("Library/Safari/History.db"), safariDomain());
    if (!found.historyPath.isEmpty())
        found.historyFormat = HistoryFormat::Database;
    return found;
}

Loaded load(BackupFileSource& source, const QTimeZone& zone)
{
    const Located found = locate(source);
    Loaded loaded;
    if (!found.bookmarksPath.isEmpty()) {
        loaded.bookmarksFound = true;
        loaded.bookmarks = std::make_shared<QELSafariBookmarksDbReader>();
        if (loaded.bookmarks->loadSafariBookmarksFromDbPath(found.bookmarksPath)) {
            loaded.bookmarks->walkTree(
                [](const QELSafariBookmarkItem&, const QELSafariBookmarkItem*, int) {});
            if (!loaded.bookmarks->lastError().isEmpty())
                loaded.errors << QStringLiteral("bookmarks: ") + loaded.bookmarks->lastError();
        } else {
            loaded.errors << QStringLiteral("bookmarks: ") + loaded.bookmarks->lastError();
        }
    }
    loaded.historyFormat = found.historyFormat;
    switch (found.historyFormat) {
    case HistoryFormat::Database:
        loaded.history = std::make_shared<QELWebHistoryFromDBReader>(zone);
        break;
    case HistoryFormat::Plist:
    case HistoryFormat::None:
        loaded.history = std::make_shared<QELWebHistoryFromPlistReader>(zone);
        break;
    }
    if (found.historyFormat != HistoryFormat::None) {
        loaded.historyFound = true;
        loaded.history->populateWebHistoryFromPath(found.historyPath);
        if (!loaded.history->lastError().isEmpty())
            loaded.errors << QStringLiteral("history: ") + loaded.history->lastError();
    }
    return loaded;
}

} // namespace SafariBackupData
