// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include "CopyFailure.h"

// What a run of a copy job did, as its end tells it: how many of its items
// were copied, how many could not be and why, whether it was cancelled or
// stopped at a full disk.
struct QELCopyOutcome {
    quint32 itemCount = 0;  // the items the run was given
    quint32 copied = 0;     // copied whole (an item left as it was counts too)
    quint32 failed = 0;     // items that could not be copied
    quint32 passedOver = 0; // items the job does not copy by design
    QString passedOverReason; // why, as the user is told it
    CopyFailure firstFailure = CopyFailure::None;
    bool cancelled = false; // the user cancelled the run
    bool stopped = false;   // the run stopped by itself (a full disk, a folder it cannot use)

    // Every item copied, nothing skipped, cancelled or stopped.
    bool complete() const
    {
        return !cancelled && !stopped && failed == 0 && passedOver == 0 && copied >= itemCount;
    }
};
