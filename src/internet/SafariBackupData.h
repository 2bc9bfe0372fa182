// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>
#include <QStringList>
#include <QTimeZone>

class BackupFileSource;
class QELSafariBookmarksDbReader;
class QELWebHistoryReader;

// Where a backup keeps Safari's files, and both of them read. Blocking;
// worker threads (tools call it from their main thread).
namespace SafariBackupData {

// Safari's application domain, which holds the history of later systems.
QString safariDomain();

enum class HistoryFormat { None, Plist, Database };

struct Located {
    // Private copies; empty when the backup has no such file.
    QString bookmarksPath;
    QString historyPath;
    HistoryFormat historyFormat = HistoryFormat::None;
};

// The bookmarks: the backup's Bookmarks.db (data type 10), else the one in
// Safari's domain. The history, first found wins: History.plist (data type
// 11), "Library/Safari/History.plist" in Safari's domain, then
// "Library/Safari/History.db" there.
Located locate(BackupFileSource& source);

struct Loaded {
    // Null when the backup has no bookmarks file.
    std::shared_ptr<QELSafariBookmarksDbReader> bookmarks;
    // Never null: an empty reader when the backup has no history file.
    std::shared_ptr<QELWebHistoryReader> history;
    HistoryFormat historyFormat = HistoryFormat::None;
    bool bookmarksFound = false;
    bool historyFound = false;
    // Why a file that was found could not be read (English, for the log).
    QStringList errors;
};

// Locates both files and reads them whole: the history, and every folder of
// the bookmarks, so nothing is read later on the thread that shows them.
Loaded load(BackupFileSource& source, const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace SafariBackupData
