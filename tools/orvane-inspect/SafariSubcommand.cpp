// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect safari FOLDER`: Safari's bookmarks and history as the
// internet category reads them, through the same lookups, and with --export
// the shortcut files the category saves.
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELSafariBookmarksDbReader.h"
#include "QELWebHistoryReader.h"
#include "SafariBackupData.h"
#include "SafariShortcut.h"

namespace {

using InspectJson::text;

int inspectSafari(const InspectRequest& request)
{
    SafariBackupData::Loaded loaded = SafariBackupData::load(request.source);
    if (!loaded.bookmarksFound && !loaded.historyFound)
        return InspectSubcommands::fail(
            QStringLiteral("%1 holds no Bookmarks.db, History.plist or History.db")
                .arg(request.input));
    for (const QString& error : std::as_const(loaded.errors))
        InspectSubcommands::fail(QStringLiteral("warning: ") + error);

    struct Shortcut {
        QString title;
        QString address;
    };
    QList<Shortcut> shortcuts;
    if (!request.exportFolder.isNull()) {
        if (loaded.bookmarks) {
            loaded.bookmarks->walkTree(
                [&](const QELSafariBookmarkItem& item, const QELSafariBookmarkItem*, int) {
                    if (!item.isFolder())
                        shortcuts.append({item.title(), item.url()});
                });
        }
        for (const QELSafariHistoryItem& item : loaded.history->allItems())
            shortcuts.append({item.title(), item.address()});
    }

    int failed = 0;
    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("cannot make %1").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        SafariShortcut::Run run(request.exportFolder);
        for (const Shortcut& shortcut : std::as_const(shortcuts)) {
            // Only web addresses become shortcuts, as in the window.
            if (!SafariShortcut::canSave(shortcut.address))
                continue;
            QString error;
            if (run.save(shortcut.title, shortcut.address, &error).isEmpty()) {
                ++failed;
                InspectSubcommands::fail(QStringLiteral("could not write a shortcut: ") + error);
            }
        }
        shortcuts.clear();
    }

    // What was read is printed even when shortcuts could not be written.
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("bookmarks"));
    if (loaded.bookmarks) {
        loaded.bookmarks->walkTree(
            [&](const QELSafariBookmarkItem& item, const QELSafariBookmarkItem* folder, int) {
                if (item.isFolder())
                    return;
                QJsonObject bookmark;
                bookmark.insert(QStringLiteral("title"), text(item.title()));
                bookmark.insert(QStringLiteral("url"), text(item.url()));
                bookmark.insert(QStringLiteral("folder"),
                                folder ? text(folder->title()) : QJsonValue(QJsonValue::Null));
                out.value(bookmark);
            });
    }
    out.end();
    out.beginArray(QStringLiteral("history"));
    for (const QELSafariHistoryItem& item : loaded.history->allItems()) {
        QJsonObject entry;
        entry.insert(QStringLiteral("url"), text(item.address()));
        entry.insert(QStringLiteral("title"), text(item.title()));
        entry.insert(QStringLiteral("date"), InspectJson::date(item.lastVisitied()));
        entry.insert(QStringLiteral("visits"), InspectJson::number(item.visitCount()));
        out.value(entry);
    }
    out.end();
    const int printed = out.finish();
    return failed > 0 ? InspectSubcommands::kWriteFailed : printed;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("safari"),
    QStringLiteral("Safari's bookmarks and history (FOLDER of Bookmarks.db, History.plist or "
                   "History.db); --export DIR writes the shortcut files"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    {},
    inspectSafari,
});

} // namespace
