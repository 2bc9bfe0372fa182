// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a message's archived body (attributedBody) or an archived
// list of attachment identifiers: read, or given up on, never past the blob.
#include "FuzzSupport.h"
#include "TypedStreamReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy, so a read past the end of the blob is one past the fuzzer's
    // buffer too and the sanitizer sees it.
    const QByteArray blob(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QString> text = TypedStreamReader::attributedStringText(blob);
    if (text && !text->isEmpty())
        FuzzSupport::parsed();
    (void)TypedStreamReader::strings(blob);
    return 0;
}
