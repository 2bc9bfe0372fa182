// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as Calendar.sqlitedb: read into the calendar store (what could
// not be read is said by lastError()).
#include "FuzzSupport.h"
#include "QELCalendarsDbReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QString path =
        scratch.write(QStringLiteral("Calendar.sqlitedb"), FuzzSupport::bytes(data, size));
    std::unique_ptr<QELCalendarsDbReader> reader =
        QELCalendarsDbReader::initWithCalendarsDbPath(path);
    if (!reader)
        return 0;
    reader->loadCalendars();
    if (!reader->getCalendars().isEmpty())
        FuzzSupport::parsed();
    return 0;
}
