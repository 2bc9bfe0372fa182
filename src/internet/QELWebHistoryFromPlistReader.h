// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELWebHistoryReader.h"

// Safari's History.plist (XML or binary) of older systems: the elements of
// "WebHistoryDates", each with its "title", its address under the empty key
// and "lastVisitedDate" (decimal seconds since 2001). Blocking; worker threads.
class QELWebHistoryFromPlistReader : public QELWebHistoryReader {
public:
    using QELWebHistoryReader::QELWebHistoryReader;

    // False only when no file is at `path`; an unreadable or malformed file
    // adds nothing (lastError() says why) and answers true.
    bool populateWebHistoryFromPath(const QString& path) override;
};
