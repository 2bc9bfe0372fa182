// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the browser's history (History.plist or History.db) and its
// bookmarks: read whole, or refused with a reason.
#include "FuzzSupport.h"
#include "QELSafariBookmarksDbReader.h"
#include "QELWebHistoryReader.h"
#include "SafariBackupData.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    FuzzFileSource source(scratch, FuzzSupport::bytes(data, size));
    const SafariBackupData::Loaded loaded = SafariBackupData::load(source, QTimeZone::utc());
    if (!loaded.history)
        FuzzSupport::fail("no history reader was made");
    if (loaded.bookmarks)
        loaded.bookmarks->walkTree([](const auto&...) {});
    if (!loaded.history->allItems().isEmpty() || loaded.bookmarks)
        FuzzSupport::parsed();
    return 0;
}
