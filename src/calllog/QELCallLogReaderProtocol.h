// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include "QELCallLogEntryDetail.h"
#include "QELCallLogParticipant.h"

// What the call log view and its copy ask of a call history reader.
class QELCallLogReaderProtocol {
public:
    virtual ~QELCallLogReaderProtocol() = default;

    // The participants of the whole call history, one per display name,
    // sorted by name. Blocking: worker threads.
    virtual QList<QELCallLogParticipant> getCallLogParticipantList() = 0;
    // Every call of those participants, newest first (calls of one date by
    // address). Answered from the calls read by the load: any thread, no I/O.
    virtual QList<QELCallLogEntryDetail> getCallLogForParticipants(
        const QList<QELCallLogParticipant>& participants) const = 0;
};
