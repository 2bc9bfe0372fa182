// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a note body: as the compressed column value the note store
// holds, as an already inflated message walked field by field, and as a
// table attachment's data. Either decodes or gives nothing, within the
// decoder's limits.
#include "FuzzSupport.h"
#include "QELDataReader.h"
#include "QELIOS9NoteDataReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QELIOS9NoteDataReader::ContentList parts = QELIOS9NoteDataReader::readNoteData(bytes);
    if (parts.size() > QELIOS9NoteDataReader::kMaxParts)
        FuzzSupport::fail("more parts than the decoder allows");
    if (!parts.isEmpty())
        FuzzSupport::parsed();
    (void)QELIOS9NoteDataReader::readNoteText(bytes);
    // The same bytes as a table attachment's data.
    if (const auto table = QELIOS9NoteDataReader::readTableData(bytes)) {
        qsizetype cells = 0;
        for (const QStringList& row : *table)
            cells += row.size();
        if (table->isEmpty() || cells > QELIOS9NoteDataReader::kMaxTableCells)
            FuzzSupport::fail("more table cells than the decoder allows");
    }

    const QELDataReader body(bytes);
    if (!QELIOS9NoteDataReader::checkHeaderBytes(body))
        return 0;
    const std::optional<QByteArray> note = QELIOS9NoteDataReader::readNoteMessage(body);
    if (!note)
        return 0;
    const QELDataReader message(*note);
    const auto lines = QELIOS9NoteDataReader::readTextContent(message);
    if (lines && lines->size() > QELIOS9NoteDataReader::kMaxParts)
        FuzzSupport::fail("more lines than the decoder allows");
    (void)QELIOS9NoteDataReader::readFormatData(message);
    return 0;
}
