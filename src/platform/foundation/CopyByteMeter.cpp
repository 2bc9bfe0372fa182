// SPDX-License-Identifier: GPL-3.0-or-later
#include "CopyByteMeter.h"

namespace {
thread_local CopyByteMeter* t_meter = nullptr;
} // namespace

void CopyByteMeter::setThreadMeter(CopyByteMeter* meter) { t_meter = meter; }

CopyByteMeter* CopyByteMeter::threadMeter() { return t_meter; }

void CopyByteMeter::noteBytes(qint64 bytes)
{
    if (t_meter && bytes > 0)
        t_meter->bytesMoved(static_cast<quint64>(bytes));
}
