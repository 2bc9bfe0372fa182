// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceTime.h"

#include <cmath>
#include <limits>

namespace DeviceTime {

namespace {

constexpr qint64 kMSecsPerSecond = 1000;
constexpr qint64 kNanosecondsPerMSec = 1000000;
constexpr qint64 kIntegerNanosecondThreshold = 100000000000;
// Doubles at or beyond these do not convert to qint64.
constexpr double kInt64Limit = 9.2e18;

// Floor division, so that a time just before an epoch falls in the
// millisecond before it, not the one after.
qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

bool fitsInMSecs(qint64 seconds)
{
    return seconds <= std::numeric_limits<qint64>::max() / kMSecsPerSecond
        && seconds >= std::numeric_limits<qint64>::min() / kMSecsPerSecond;
}

// Rounded to the nearest millisecond: a stored 1.001 is 1000.9999... once
// multiplied, and cutting that off would lose a millisecond.
QDateTime addMSecsChecked(const QDateTime& epoch, double milliseconds)
{
    if (!std::isfinite(milliseconds) || std::fabs(milliseconds) >= kInt64Limit)
        return QDateTime();
    return epoch.addMSecs(static_cast<qint64>(std::round(milliseconds)));
}

} // namespace

const QDateTime& referenceEpoch()
{
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch;
}

const QDateTime& macHfsEpoch()
{
    static const QDateTime epoch(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch;
}

QDateTime fromReferenceSeconds(double seconds)
{
    return addMSecsChecked(referenceEpoch(), seconds * static_cast<double>(kMSecsPerSecond));
}

QDateTime fromReferenceWholeSeconds(qint64 seconds)
{
    return fitsInMSecs(seconds) ? referenceEpoch().addSecs(seconds) : QDateTime();
}

QDateTime fromReferenceMSecs(qint64 milliseconds)
{
    qint64 sinceUnix = 0;
    if (__builtin_add_overflow(milliseconds, kReferenceEpochUnixSeconds * kMSecsPerSecond,
                               &sinceUnix))
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(sinceUnix, Qt::UTC);
}

QDateTime fromReferenceNanoseconds(qint64 nanoseconds)
{
    return fromReferenceMSecs(floorDiv(nanoseconds, kNanosecondsPerMSec));
}

bool isNanosecondTimestamp(double value) { return std::fabs(value) >= kNanosecondThreshold; }

QDateTime fromReferenceTimestamp(double value)
{
    if (std::isnan(value))
        return QDateTime();
    if (isNanosecondTimestamp(value))
        return addMSecsChecked(referenceEpoch(), value / static_cast<double>(kNanosecondsPerMSec));
    return fromReferenceSeconds(value);
}

QDateTime fromReferenceTimestampInteger(qint64 value)
{
    if (value >= kIntegerNanosecondThreshold || value <= -kIntegerNanosecondThreshold)
        return fromReferenceNanoseconds(value);
    return fromReferenceWholeSeconds(value);
}

double toReferenceSeconds(const QDateTime& time)
{
    return static_cast<double>(toReferenceMSecs(time)) / static_cast<double>(kMSecsPerSecond);
}

qint64 toReferenceMSecs(const QDateTime& time)
{
    return time.toMSecsSinceEpoch() - kReferenceEpochUnixSeconds * kMSecsPerSecond;
}

qint64 toReferenceNanoseconds(const QDateTime& time)
{
    const qint64 milliseconds = toReferenceMSecs(time);
    qint64 nanoseconds = 0;
    if (__builtin_mul_overflow(milliseconds, kNanosecondsPerMSec, &nanoseconds))
        return milliseconds < 0 ? std::numeric_limits<qint64>::min()
                                : std::numeric_limits<qint64>::max();
    return nanoseconds;
}

QDateTime fromUnixSeconds(qint64 seconds)
{
    return fitsInMSecs(seconds) ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : QDateTime();
}

qint64 toUnixSeconds(const QDateTime& time) { return time.toSecsSinceEpoch(); }

QDateTime fromMacHfsSeconds(qint64 seconds)
{
    return fitsInMSecs(seconds) ? macHfsEpoch().addSecs(seconds) : QDateTime();
}

qint64 toMacHfsSeconds(const QDateTime& time)
{
    return time.toSecsSinceEpoch() - kMacHfsEpochUnixSeconds;
}

} // namespace DeviceTime
