// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QtGlobal>

// The clocks device files count in, turned into QDateTime (UTC) and back:
// the 2001 reference date of property lists and most device databases (in
// seconds, or in nanoseconds in the databases of later iOS versions), Unix
// time, and the 1904 epoch of the iTunesDB.
//
// A value too large for QDateTime (or not a number) gives an invalid
// QDateTime, never a wrapped-around date. Conversions back take a valid date.
namespace DeviceTime {

// 2001-01-01T00:00:00Z and 1904-01-01T00:00:00Z in Unix seconds.
constexpr qint64 kReferenceEpochUnixSeconds = 978307200;
constexpr qint64 kMacHfsEpochUnixSeconds = -2082844800;

// Magnitude from which a 2001-based timestamp counts nanoseconds: 1e11 seconds
// would lie in the year 5170, while 1e11 nanoseconds are 100 seconds after the
// epoch, so no date a device stores is ambiguous. A value of exactly 1e11 (or
// -1e11) is nanoseconds.
constexpr double kNanosecondThreshold = 1e11;

const QDateTime& referenceEpoch();
const QDateTime& macHfsEpoch();

// Seconds since 2001, to the nearest millisecond.
QDateTime fromReferenceSeconds(double seconds);
// Whole seconds since 2001.
QDateTime fromReferenceWholeSeconds(qint64 seconds);
QDateTime fromReferenceMSecs(qint64 milliseconds);
// Nanoseconds since 2001, to the millisecond (rounded down).
QDateTime fromReferenceNanoseconds(qint64 nanoseconds);

// Whether a 2001-based timestamp of unknown unit counts nanoseconds.
bool isNanosecondTimestamp(double value);
// A 2001-based timestamp in seconds or nanoseconds, told apart by the
// threshold above (for columns whose unit changed between iOS versions), to
// the nearest millisecond.
QDateTime fromReferenceTimestamp(double value);
// The same for an integer column, exact for large nanosecond values.
QDateTime fromReferenceTimestampInteger(qint64 value);

double toReferenceSeconds(const QDateTime& time);
qint64 toReferenceMSecs(const QDateTime& time);
// Saturates at the qint64 limits (about 292 years either side of 2001).
qint64 toReferenceNanoseconds(const QDateTime& time);

QDateTime fromUnixSeconds(qint64 seconds);
qint64 toUnixSeconds(const QDateTime& time);

// Seconds since 1904 (the iTunesDB stores them unsigned in 32 bits).
QDateTime fromMacHfsSeconds(qint64 seconds);
qint64 toMacHfsSeconds(const QDateTime& time);

} // namespace DeviceTime
