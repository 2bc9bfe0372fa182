#include <gtest/gtest.h>

#include "QELTimeFormatter.h"

namespace {

struct TimeCase {
    const char* name;
    QVariant value;
    const char* text;
};
void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.name; }

class TimeText : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeText, Formats)
{
    EXPECT_EQ(QELTimeFormatter().stringForObjectValue(GetParam().value),
              QString::fromLatin1(GetParam().text));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, TimeText, ::testing::Values(
    TimeCase{"UnderASecond", 999, "00:00"},
    TimeCase{"OneSecond", 1000, "00:01"},
    TimeCase{"FiveSeconds", 5000, "00:05"},
    TimeCase{"OneMinute", 60000, "01:00"},
    TimeCase{"TwelveThirtyFour", 754000, "12:34"},
    TimeCase{"JustUnderAnHour", 3599999, "59:59"},
    TimeCase{"OneHour", 3600000, "01:00:00"},
    TimeCase{"WithHours", 3723000, "01:02:03"},
    TimeCase{"HundredHours", qint64(100) * 3600000, "100:00:00"},
    TimeCase{"Zero", 0, " "},
    TimeCase{"Negative", -5000, " "},
    TimeCase{"Real", 61999.9, "01:01"},
    TimeCase{"Unsigned", 5000u, "00:05"},
    TimeCase{"WideIntegerKeepsLow32Bits", (qint64(1) << 32) + 5000, "00:05"},
    TimeCase{"Text", QStringLiteral("5000"), "Formatter error"},
    TimeCase{"Nothing", QVariant(), "Formatter error"},
    TimeCase{"Data", QByteArray("5000"), "Formatter error"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(TimeFormatter, DoesNotParseTextsBack)
{
    QVariant object(7);
    QString error;
    EXPECT_TRUE(QELTimeFormatter().getObjectValueForStringErrorDescription(
        &object, QStringLiteral("01:00"), &error));
    EXPECT_EQ(object, QVariant(7));
    EXPECT_TRUE(error.isEmpty());
}

} // namespace
