#include <cmath>
#include <limits>
#include <ostream>

#include <gtest/gtest.h>

#include "DeviceTime.h"
#include "QtPrinters.h"

// Dates in failure messages as ISO 8601 text instead of bytes.
static void PrintTo(const QDateTime& time, std::ostream* out)
{
    *out << (time.isValid() ? time.toString(Qt::ISODateWithMs).toStdString()
                            : std::string("(invalid)"));
}

namespace {

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
              int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC);
}

const QDateTime k2001 = utc(2001, 1, 1);

TEST(DeviceTime, EpochsAgreeWithEachOther)
{
    EXPECT_EQ(DeviceTime::referenceEpoch(), k2001);
    EXPECT_EQ(DeviceTime::macHfsEpoch(), utc(1904, 1, 1));
    EXPECT_EQ(DeviceTime::fromUnixSeconds(DeviceTime::kReferenceEpochUnixSeconds), k2001);
    EXPECT_EQ(DeviceTime::fromMacHfsSeconds(-DeviceTime::kMacHfsEpochUnixSeconds), utc(1970, 1, 1));
    EXPECT_EQ(DeviceTime::fromReferenceWholeSeconds(0).timeSpec(), Qt::UTC);
}

struct SecondsCase {
    const char* why;
    double value;
    QDateTime want;
};

class ReferenceTimestamps : public ::testing::TestWithParam<SecondsCase> {};

TEST_P(ReferenceTimestamps, SecondsOrNanoseconds)
{
    const SecondsCase& c = GetParam();
    EXPECT_EQ(DeviceTime::fromReferenceTimestamp(c.value), c.want);
    // An integer column of the same value reads the same.
    if (std::isfinite(c.value) && c.value == std::floor(c.value) && std::fabs(c.value) < 9e18) {
        EXPECT_EQ(DeviceTime::fromReferenceTimestampInteger(static_cast<qint64>(c.value)), c.want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ReferenceTimestamps,
    ::testing::Values(
        SecondsCase{"epoch", 0.0, k2001}, SecondsCase{"a day", 86400.0, utc(2001, 1, 2)},
        SecondsCase{"before the epoch", -1.0, utc(2000, 12, 31, 23, 59, 59)},
        SecondsCase{"before 1970", -978307201.0, utc(1969, 12, 31, 23, 59, 59)},
        SecondsCase{"fraction", 1.25, utc(2001, 1, 1, 0, 0, 1, 250)},
        SecondsCase{"half a millisecond before", -0.0005, utc(2000, 12, 31, 23, 59, 59, 999)},
        SecondsCase{"binary fraction", 1.001, utc(2001, 1, 1, 0, 0, 1, 1)},
        SecondsCase{"largest seconds", 99999999999.0, k2001.addSecs(99999999999LL)},
        SecondsCase{"smallest nanoseconds", 1e11, utc(2001, 1, 1, 0, 1, 40)},
        SecondsCase{"negative nanoseconds", -1e11, utc(2000, 12, 31, 23, 58, 20)},
        SecondsCase{"a date of later iOS", 700000000000000000.0, k2001.addSecs(700000000)},
        SecondsCase{"not a number", std::nan(""), QDateTime()},
        SecondsCase{"infinity", std::numeric_limits<double>::infinity(), QDateTime()},
        SecondsCase{"far beyond QDateTime", 1e300, QDateTime()}));

TEST(DeviceTime, IntegerNanosecondsKeepEveryMillisecond)
{
    EXPECT_EQ(DeviceTime::fromReferenceTimestampInteger(700000000123456789LL),
              k2001.addMSecs(700000000123LL));
    EXPECT_EQ(DeviceTime::fromReferenceNanoseconds(-1), k2001.addMSecs(-1));
    EXPECT_TRUE(DeviceTime::fromReferenceNanoseconds(std::numeric_limits<qint64>::max()).isValid());
    EXPECT_TRUE(DeviceTime::isNanosecondTimestamp(1e11));
    EXPECT_FALSE(DeviceTime::isNanosecondTimestamp(99999999999.9));
}

TEST(DeviceTime, ValuesTooLargeGiveNoDate)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (const qint64 value : {kMax, kMin, kMax / 999}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(DeviceTime::fromReferenceWholeSeconds(value).isValid());
        EXPECT_FALSE(DeviceTime::fromUnixSeconds(value).isValid());
        EXPECT_FALSE(DeviceTime::fromMacHfsSeconds(value).isValid());
        EXPECT_FALSE(DeviceTime::fromReferenceSeconds(static_cast<double>(value)).isValid());
    }
    EXPECT_FALSE(DeviceTime::fromReferenceMSecs(kMax).isValid());
}

TEST(DeviceTime, UnixAndMacClocks)
{
    EXPECT_EQ(DeviceTime::fromUnixSeconds(0), utc(1970, 1, 1));
    EXPECT_EQ(DeviceTime::fromUnixSeconds(-1), utc(1969, 12, 31, 23, 59, 59));
    EXPECT_EQ(DeviceTime::fromUnixSeconds(4102444800LL), utc(2100, 1, 1));
    EXPECT_EQ(DeviceTime::fromMacHfsSeconds(0), utc(1904, 1, 1));
    // The largest value an iTunesDB's unsigned 32-bit field holds.
    EXPECT_EQ(DeviceTime::fromMacHfsSeconds(4294967295LL), utc(2040, 2, 6, 6, 28, 15));
    EXPECT_EQ(DeviceTime::toUnixSeconds(utc(2001, 1, 1)), 978307200);
    EXPECT_EQ(DeviceTime::toMacHfsSeconds(utc(2001, 1, 1)), 978307200LL + 2082844800LL);
}

TEST(DeviceTime, BackAndForthKeepsTheValue)
{
    for (const qint64 ms : {0LL, 1LL, -1LL, 123456789012LL, -978307200000LL, 3155695200000LL}) {
        SCOPED_TRACE(ms);
        const QDateTime time = DeviceTime::fromReferenceMSecs(ms);
        EXPECT_EQ(DeviceTime::toReferenceMSecs(time), ms);
        EXPECT_DOUBLE_EQ(DeviceTime::toReferenceSeconds(time), static_cast<double>(ms) / 1000.0);
        EXPECT_EQ(DeviceTime::fromReferenceSeconds(DeviceTime::toReferenceSeconds(time)), time);
        EXPECT_EQ(DeviceTime::toReferenceNanoseconds(time), ms * 1000000);
        EXPECT_EQ(DeviceTime::fromReferenceNanoseconds(DeviceTime::toReferenceNanoseconds(time)),
                  time);
        EXPECT_EQ(DeviceTime::fromUnixSeconds(DeviceTime::toUnixSeconds(time)),
                  time.addMSecs(-(((ms % 1000) + 1000) % 1000)));
        EXPECT_EQ(
            DeviceTime::fromMacHfsSeconds(DeviceTime::toMacHfsSeconds(time)).toSecsSinceEpoch(),
            time.toSecsSinceEpoch());
    }
    // Seconds stored as a double read back to the millisecond they came from.
    for (qint64 ms = -5000; ms <= 5000; ++ms)
        ASSERT_EQ(DeviceTime::fromReferenceSeconds(static_cast<double>(ms) / 1000.0),
                  k2001.addMSecs(ms))
            << ms;
    // Nanoseconds end about 292 years after 2001: later dates saturate.
    EXPECT_EQ(DeviceTime::toReferenceNanoseconds(utc(3000, 1, 1)),
              std::numeric_limits<qint64>::max());
    EXPECT_EQ(DeviceTime::toReferenceNanoseconds(utc(1000, 1, 1)),
              std::numeric_limits<qint64>::min());
}

} // namespace
