// SPDX-License-Identifier: GPL-3.0-or-later
// The occurrences of an event that the calendar grid shows, with a fixed now.
#include <gtest/gtest.h>

#include "QELCalendarDetail.h"
#include "QtPrinters.h"
#include "RecurrenceExpansion.h"

namespace {

using Rule = RecurrenceExpansion::Rule;

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

const QDateTime kNow = local(2024, 6, 15, 12);

QList<QDateTime> starts(const QList<RecurrenceExpansion::Occurrence>& occurrences)
{
    QList<QDateTime> list;
    for (const auto& o : occurrences)
        list << o.start;
    return list;
}

struct ExpansionCase {
    const char* name;
    QDateTime start;
    Rule rule;
    qsizetype count;
    QDateTime firstShown; // after the first occurrence; invalid: none
    QDateTime lastShown;
};

class Expansion : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(Expansion, ShowsTheRepeatsInsideTheWindowAndLimit)
{
    const ExpansionCase& c = GetParam();
    const auto shown =
        starts(RecurrenceExpansion::occurrences(c.start, c.start.addSecs(3600), c.rule, kNow));
    ASSERT_EQ(shown.size(), c.count);
    EXPECT_EQ(shown.first(), c.start); // the first, whatever the window
    if (c.firstShown.isValid()) {
        EXPECT_EQ(shown[1], c.firstShown);
        EXPECT_EQ(shown.last(), c.lastShown);
    }
    for (qsizetype i = 1; i < shown.size(); ++i)
        EXPECT_GT(shown[i], shown[i - 1]);
}

const QDateTime yearAgo = local(2023, 6, 15, 9);
const QDateTime twoYearsAndThreeAndAHalfDaysAgo = local(2022, 6, 12, 0);

INSTANTIATE_TEST_SUITE_P(
    RecurrenceExpansion, Expansion,
    ::testing::Values(
        // Every 14 days from a year ago up to a year from now (start + 2 years).
        ExpansionCase{"weekly interval 2 begun a year ago", yearAgo, Rule{2, 2, 0, {}}, 53,
                      yearAgo.addDays(14), yearAgo.addDays(14 * 52)},
        ExpansionCase{"daily count 3", yearAgo, Rule{1, 1, 3, {}}, 3, yearAgo.addDays(1),
                      yearAgo.addDays(2)},
        // Repeats 1 to 3 fall before the window and still use up the count.
        ExpansionCase{"daily count 10 begun 2 years and 3.5 days ago",
                      twoYearsAndThreeAndAHalfDaysAgo, Rule{1, 1, 10, {}}, 7,
                      twoYearsAndThreeAndAHalfDaysAgo.addDays(4),
                      twoYearsAndThreeAndAHalfDaysAgo.addDays(9)},
        // Up to, not including, two years from now.
        ExpansionCase{"monthly ending in 5 years", local(2024, 6, 15, 12),
                      Rule{3, 1, 0, local(2029, 6, 15, 12)}, 24, local(2024, 7, 15, 12),
                      local(2026, 5, 15, 12)},
        ExpansionCase{"a repeat at the end date is not shown", local(2024, 6, 1, 9),
                      Rule{1, 1, 0, local(2024, 6, 4, 9)}, 3, local(2024, 6, 2, 9),
                      local(2024, 6, 3, 9)},
        // Its one repeat starts exactly at the limit, two years after the first.
        ExpansionCase{"yearly every 2 years without end",
                      local(2020, 2, 10, 9),
                      Rule{4, 2, 0, {}},
                      1,
                      {},
                      {}},
        ExpansionCase{"yearly", local(2023, 2, 10, 9), Rule{4, 1, 0, {}}, 2, local(2024, 2, 10, 9),
                      local(2024, 2, 10, 9)},
        ExpansionCase{"frequency 7", yearAgo, Rule{7, 1, 0, {}}, 1, {}, {}},
        ExpansionCase{"frequency 0", yearAgo, Rule{0, 1, 0, {}}, 1, {}, {}},
        ExpansionCase{"interval 0", yearAgo, Rule{1, 0, 0, {}}, 1, {}, {}},
        ExpansionCase{"negative interval", yearAgo, Rule{1, -1, 0, {}}, 1, {}, {}},
        ExpansionCase{"count 1", yearAgo, Rule{1, 1, 1, {}}, 1, {}, {}},
        // Long before the window, without end: all its repeats are past.
        ExpansionCase{
            "daily begun ten years ago", local(2014, 1, 1, 9), Rule{1, 1, 0, {}}, 1, {}, {}},
        // With an end date far ahead: from the window's start to two years on.
        ExpansionCase{"weekly since 1990 until 2100", local(1990, 1, 1, 9),
                      Rule{2, 1, 0, local(2100, 1, 1)}, 1 + 209, local(2022, 6, 20, 9),
                      local(2026, 6, 15, 9)}),
    [](const ::testing::TestParamInfo<ExpansionCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(RecurrenceExpansion, CountsMonthlyAndYearlyRepeatsFromTheFirstStart)
{
    const auto monthly = starts(RecurrenceExpansion::occurrences(
        local(2024, 1, 31, 10), local(2024, 1, 31, 11), Rule{3, 1, 4, {}}, kNow));
    EXPECT_EQ(monthly,
              (QList<QDateTime>{local(2024, 1, 31, 10), local(2024, 2, 29, 10),
                                local(2024, 3, 31, 10), local(2024, 4, 30, 10)}));
    // Seen from 2026, so that the window holds all five.
    const auto yearly = starts(RecurrenceExpansion::occurrences(
        local(2024, 2, 29, 8), QDateTime(), Rule{4, 1, 5, local(2035, 1, 1)}, local(2026, 6, 1)));
    EXPECT_EQ(yearly,
              (QList<QDateTime>{local(2024, 2, 29, 8), local(2025, 2, 28, 8), local(2026, 2, 28, 8),
                                local(2027, 2, 28, 8), local(2028, 2, 29, 8)}));
    // An event without end keeps none on its repeats; one without start has none.
    const auto noEnd = RecurrenceExpansion::occurrences(local(2024, 6, 1, 8), QDateTime(),
                                                        Rule{1, 1, 2, {}}, kNow);
    ASSERT_EQ(noEnd.size(), 2);
    EXPECT_FALSE(noEnd[1].end.isValid());
    EXPECT_TRUE(RecurrenceExpansion::occurrences(QDateTime(), QDateTime(), Rule{1, 1, 0, {}}, kNow)
                    .isEmpty());
}

QELCalendarComponentPtr event(const QString& summary, const QDateTime& start, const QDateTime& end,
                              int allDay, QELCalendarRecurrancePropertiesPtr recurrence = nullptr)
{
    auto e = std::make_shared<QELCalendarComponent>();
    e->summary = summary;
    e->relationshipDateTimeProperty = std::make_shared<QELCalendarDateTimeProperties>();
    e->relationshipDateTimeProperty->dtstart = start;
    e->relationshipDateTimeProperty->dtend = end;
    e->relationshipDateTimeProperty->isAllDay = allDay;
    e->relationshipRecurranceProperty = std::move(recurrence);
    return e;
}

TEST(RecurrenceExpansion, MakesEntriesWithTheFirstStartsTitleAndTheCalendarsColour)
{
    auto weekly = std::make_shared<QELCalendarRecurranceProperties>();
    weekly->frequency = 2;
    weekly->interval = 1;
    weekly->occurenceCount = 3;
    const QELCalendarComponentPtr gym =
        event(QStringLiteral("Gym"), local(2024, 6, 3, 7, 5), local(2024, 6, 3, 8), 0, weekly);
    const QList<CalendarEntry> entries = RecurrenceExpansion::entriesForEvent(gym, Qt::red, kNow);
    ASSERT_EQ(entries.size(), 3);
    for (const CalendarEntry& e : entries) {
        EXPECT_EQ(e.title, QStringLiteral("07:05 Gym"));
        EXPECT_EQ(e.object.get(), gym.get());
        EXPECT_EQ(e.color, QColor(Qt::red));
        EXPECT_FALSE(e.allDay);
    }
    EXPECT_EQ(entries[2].dateTime, local(2024, 6, 17, 7, 5));
    EXPECT_EQ(entries[2].endDate, local(2024, 6, 17, 8));

    // The device keeps an all-day day at UTC midnight; it stays that day here.
    const QELCalendarComponentPtr holiday =
        event(QStringLiteral("Holiday"), QDateTime(QDate(2024, 6, 10), QTime(0, 0), Qt::UTC),
              QDateTime(QDate(2024, 6, 11), QTime(23, 59, 59), Qt::UTC), 1);
    const QList<CalendarEntry> days = RecurrenceExpansion::entriesForEvent(holiday, {}, kNow);
    ASSERT_EQ(days.size(), 1);
    EXPECT_EQ(days[0].title, QStringLiteral("Holiday"));
    EXPECT_TRUE(days[0].allDay);
    EXPECT_EQ(days[0].dateTime, local(2024, 6, 10));
    EXPECT_EQ(days[0].endDate, local(2024, 6, 12, 0, 0, 4));

    // An event without start never reaches the grid.
    EXPECT_TRUE(RecurrenceExpansion::entriesForEvent(
                    event(QStringLiteral("x"), QDateTime(), local(2024, 6, 1), 0), {}, kNow)
                    .isEmpty());
    auto noTimes = std::make_shared<QELCalendarComponent>();
    EXPECT_TRUE(RecurrenceExpansion::entriesForEvent(noTimes, {}, kNow).isEmpty());
}

} // namespace
