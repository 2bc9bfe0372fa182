// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Where the file helpers tell how many bytes a copy moved, block by block, so
// that a copy job's progress can follow a large file without a callback passed
// down through every call between the job and the block loop. A copy job sets
// itself as the meter of its worker threads; on a thread without a meter the
// bytes are not counted.
class CopyByteMeter {
public:
    virtual ~CopyByteMeter() = default;

    // `bytes` more of the item in hand were copied. On the copying thread,
    // once per block: an implementation keeps it cheap.
    virtual void bytesMoved(quint64 bytes) = 0;

    // The meter of the calling thread; nullptr removes it.
    static void setThreadMeter(CopyByteMeter* meter);
    static CopyByteMeter* threadMeter();
    // Tells the calling thread's meter, if it has one, of a block of `bytes`.
    static void noteBytes(qint64 bytes);
};
