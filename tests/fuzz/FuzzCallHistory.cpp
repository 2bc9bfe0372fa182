// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the call history (either generation) and the address book
// the calls are named from: read, named and listed, or refused.
#include "FuzzSupport.h"
#include "QELCallLogReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    FuzzFileSource source(scratch, FuzzSupport::bytes(data, size));
    std::unique_ptr<QELCallLogReader> reader = QELCallLogReader::makeReader(source);
    if (!reader || !reader->loadCallLog())
        return 0;
    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    if (!participants.isEmpty())
        FuzzSupport::parsed();
    (void)reader->getCallLogForParticipants(participants);
    return 0;
}
