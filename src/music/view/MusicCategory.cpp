// SPDX-License-Identifier: GPL-3.0-or-later
// The music category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELMusicView.h"

namespace {

CategoryDescriptor musicRow()
{
    using R = QELDeviceCategoryContentView;
    CategoryDescriptor row;
    row.viewType = 1;
    // Music always comes first.
    row.sidebarOrder = 0;
    row.titleKey = QStringLiteral("MUSIC");
    row.icon = QStringLiteral("category_ipod.png");
    row.backupDerived = false;
    row.availability.requests = R::Transfer | R::BackUp | R::Search;
    row.availability.playback = true;
    row.availability.searchPlaceholderKey = QStringLiteral("SEARCHMUSIC");
    row.flagColumn = CategoryDescriptor::AlwaysListed;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELMusicView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(musicRow());

} // namespace
