// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes into the property-list bridge: it answers a value or a reason,
// and never crashes, hangs or touches memory it does not own.
#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include "FuzzSupport.h"
#include "Plist.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const QVariant value = Plist::parse(bytes, &error);
    // Callers learn of a failure by an invalid value; a log line needs its reason.
    if (!value.isValid() && error.isEmpty())
        FuzzSupport::fail("a value was refused without a reason");
    // What was read is written back as callers do when they store it.
    if (value.isValid()) {
        FuzzSupport::parsed();
        (void)Plist::serialize(value, Plist::Format::Binary);
    }
    return 0;
}
