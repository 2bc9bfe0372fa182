// SPDX-License-Identifier: GPL-3.0-or-later
// Safari, read from a backup: bookmarks in folders and three days of history
// of made-up sites.
#include "DemoCategory.h"
#include "SafariFixture.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    const QByteArray bookmarks =
        SafariFixture::bookmarksDbBytes(SafariFixture::demoBookmarks(), error);
    if (bookmarks.isEmpty())
        return false;
    const QByteArray history =
        SafariFixture::historyDbBytes(SafariFixture::demoVisits(), true, error);
    if (history.isEmpty())
        return false;
    // Where later systems keep them: the bookmarks in the home domain (the
    // backup's data type 10), the history in Safari's own domain.
    context.device().backupFile(QStringLiteral("HomeDomain"),
                                QStringLiteral("Library/Safari/Bookmarks.db"), bookmarks);
    context.device().backupFile(QStringLiteral("AppDomain-com.apple.mobilesafari"),
                                QStringLiteral("Library/Safari/History.db"), history);
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("internet"), describe, {}});

} // namespace

} // namespace DemoDevice
