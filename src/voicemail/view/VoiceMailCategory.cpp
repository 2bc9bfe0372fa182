// SPDX-License-Identifier: GPL-3.0-or-later
// The voicemail category's row. Nothing refers to this file: only linking
// the library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELVoiceMailView.h"

namespace {

CategoryDescriptor voiceMailRow()
{
    CategoryDescriptor row;
    row.viewType = 8;
    row.sidebarOrder = 110;
    row.titleKey = QStringLiteral("VOICEMAIL");
    row.icon = QStringLiteral("category_recordings.png");
    row.backupDerived = true;
    // Play and next: the view hands its audio to the preview player.
    row.availability.playback = true;
    // The device-flag column of voicemail (iPhones).
    row.flagColumn = 6;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELVoiceMailView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(voiceMailRow());

} // namespace
