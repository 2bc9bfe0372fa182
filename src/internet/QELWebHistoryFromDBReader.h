// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELWebHistoryReader.h"

// Safari's History.db of later systems: the visits that have a title and (in
// files that record it) loaded, each with the address and visit count of its
// page. Reads a private copy, with its "-wal" companion. Blocking; worker
// threads.
class QELWebHistoryFromDBReader : public QELWebHistoryReader {
public:
    using QELWebHistoryReader::QELWebHistoryReader;

    // False when no file is at `path`, it is not a database, or its rows
    // could not all be read (lastError() says why); a database without the
    // history tables adds nothing and answers true.
    bool populateWebHistoryFromPath(const QString& path) override;
};
