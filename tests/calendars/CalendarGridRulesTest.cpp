// SPDX-License-Identifier: GPL-3.0-or-later
// The calendar grid's rules without widgets: the layout of a month or week,
// the filing, order, selection and moves of entries, navigation, row heights
// and the calendar colours.
#include <gtest/gtest.h>

#include "CalendarDayMap.h"
#include "CalendarMonthLayout.h"
#include "QELCalendarHTMLCodeToIconTransformer.h"
#include "QtPrinters.h"

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

struct RowCase {
    QDate focus;
    bool weekView;
    int rows;
    QDate firstDay;
};

TEST(CalendarMonthLayout, CountsTheWeeksThatHoldADayOfTheMonth)
{
    const std::vector<RowCase> cases = {
        {QDate(2015, 2, 14), false, 4, QDate(2015, 2, 1)},
        {QDate(2015, 3, 1), false, 5, QDate(2015, 3, 1)},
        {QDate(2015, 8, 31), false, 6, QDate(2015, 7, 26)},
        // December into January: the year changes inside the grid.
        {QDate(2016, 12, 25), false, 5, QDate(2016, 11, 27)},
        {QDate(2015, 3, 11), true, 1, QDate(2015, 3, 8)},
        {QDate(2015, 3, 8), true, 1, QDate(2015, 3, 8)},
        {QDate(2015, 3, 14), true, 1, QDate(2015, 3, 8)},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.focus.toString(Qt::ISODate).toStdString() + (c.weekView ? " week" : ""));
        const CalendarMonthLayout layout(c.focus, c.weekView, false, 700, 451);
        EXPECT_EQ(layout.rows(), c.rows);
        EXPECT_EQ(layout.firstDay(), c.firstDay);
        EXPECT_EQ(layout.firstDay().dayOfWeek(), 7);
        EXPECT_TRUE(layout.isCellShown(c.rows * 7 - 1));
        EXPECT_FALSE(layout.isCellShown(c.rows * 7));
    }
}

TEST(CalendarMonthLayout, FramesCellsButtonsAndLabelsOfA700By451Grid)
{
    const CalendarMonthLayout layout(QDate(2015, 3, 15), false, false, 700, 451);
    ASSERT_EQ(layout.rows(), 5);
    EXPECT_FLOAT_EQ(layout.cellWidth(), 100);
    EXPECT_FLOAT_EQ(layout.cellHeight(), 80);
    EXPECT_EQ(layout.cellFrame(0), QRectF(0, 320, 101, 81));
    EXPECT_EQ(layout.cellFrame(6), QRectF(600, 320, 101, 81));
    EXPECT_EQ(layout.cellFrame(34), QRectF(600, 0, 101, 81));
    EXPECT_EQ(layout.previousButtonFrame(), QRectF(596, 426, 20, 20));
    EXPECT_EQ(layout.nextButtonFrame(), QRectF(619, 426, 20, 20));
    EXPECT_EQ(layout.todayButtonFrame(), QRectF(647, 426, 50, 20));
    EXPECT_EQ(layout.monthFieldFrame(18), QRectF(10, 427, 596, 18));
    EXPECT_EQ(layout.weekdayFrame(3), QRectF(300, 400, 101, 20));
    // In a widget's coordinates the weekday row sits right above the top row.
    EXPECT_EQ(CalendarMonthLayout::toTopLeft(layout.cellFrame(0), 451), QRectF(0, 50, 101, 81));
    EXPECT_EQ(CalendarMonthLayout::toTopLeft(layout.weekdayFrame(0), 451), QRectF(0, 31, 101, 20));
    // Leading and trailing days of the neighbouring months take no clicks.
    EXPECT_TRUE(layout.isCellEnabled(0));
    const CalendarMonthLayout august(QDate(2015, 8, 1), false, false, 700, 451);
    EXPECT_FALSE(august.isCellEnabled(0));
    EXPECT_TRUE(august.isCellEnabled(6));
    EXPECT_EQ(august.cellDate(41), QDate(2015, 9, 5));
    EXPECT_FALSE(august.isCellEnabled(41));
}

TEST(CalendarMonthLayout, HiddenWeekendsShareTheWidthAmongFiveDays)
{
    const CalendarMonthLayout layout(QDate(2015, 3, 15), false, true, 700, 451);
    EXPECT_EQ(layout.columns(), 5);
    EXPECT_FLOAT_EQ(layout.cellWidth(), 140);
    EXPECT_FLOAT_EQ(layout.shift(), 140);
    EXPECT_EQ(layout.cellFrame(0).x(), -140); // Sunday
    EXPECT_EQ(layout.cellFrame(1).x(), 0);    // Monday
    EXPECT_EQ(layout.cellFrame(6).x(), 700);  // Saturday
    EXPECT_EQ(layout.weekdayFrame(1).x(), 0);
    // The week view: one row as high as the grid below its header.
    const CalendarMonthLayout week(QDate(2015, 3, 15), true, false, 700, 451);
    EXPECT_FLOAT_EQ(week.cellHeight(), 400);
    EXPECT_EQ(week.cellFrame(0), QRectF(0, 0, 101, 401));
}

TEST(CalendarMonthLayout, TintsOtherMonthsTodayAndTheFocusDay)
{
    const QColor grey = QColor::fromRgbF(0.96f, 0.96f, 0.96f, 1.0f);
    const QColor today = QColor::fromRgbF(0.92f, 0.95f, 0.98f, 0.9f);
    const QColor focus = QColor::fromRgbF(0.92f, 0.95f, 0.98f, 1.0f);
    struct Case {
        QDate day;
        bool weekView;
        QColor want;
    };
    const QDate f(2015, 3, 15);
    const QDate now(2015, 3, 20);
    const std::vector<Case> cases = {
        {QDate(2015, 2, 28), false, grey},
        {QDate(2015, 2, 28), true, Qt::white}, // the week view greys nothing
        {now, false, today},
        {f, false, focus},
        {QDate(2015, 3, 16), false, Qt::white},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(CalendarMonthLayout::cellColor(c.day, f, now, c.weekView), c.want);
    }
    // Today outside the focus month is grey in the month view.
    EXPECT_EQ(CalendarMonthLayout::cellColor(now, QDate(2015, 4, 2), now, false), grey);
}

TEST(CalendarDayMap, FilesAllDayEntriesOverTheirDaysAndTimedOnesOnTheirStartDay)
{
    struct Case {
        const char* name;
        QDateTime start;
        QDateTime end;
        bool allDay;
        QList<QDate> days;
    };
    const std::vector<Case> cases = {
        {"all-day, three days",
         local(2015, 5, 10),
         local(2015, 5, 13, 0, 0, 5),
         true,
         {QDate(2015, 5, 10), QDate(2015, 5, 11), QDate(2015, 5, 12)}},
        {"all-day, one day",
         local(2015, 5, 10),
         local(2015, 5, 11, 0, 0, 4),
         true,
         {QDate(2015, 5, 10)}},
        {"timed over midnight",
         local(2015, 5, 10, 22),
         local(2015, 5, 11, 2),
         false,
         {QDate(2015, 5, 10)}},
        {"timed without end", local(2015, 5, 10, 9), QDateTime(), false, {QDate(2015, 5, 10)}},
        {"all-day without end", local(2015, 5, 10), QDateTime(), true, {QDate(2015, 5, 10)}},
        {"all-day ending on its start day",
         local(2015, 5, 10),
         local(2015, 5, 10, 23, 59, 59),
         true,
         {QDate(2015, 5, 10)}},
        {"all-day ending before it starts",
         local(2015, 5, 10),
         local(2015, 5, 8),
         true,
         {QDate(2015, 5, 10)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CalendarDayMap map;
        ASSERT_TRUE(map.addObject(nullptr, QStringLiteral("x"), c.start, c.end, Qt::red, c.allDay));
        EXPECT_EQ(map.dayCount(), c.days.size());
        const CalendarEntry* first = nullptr;
        for (const QDate& day : c.days) {
            ASSERT_EQ(map.entriesForDate(day).size(), 1u) << day.toString().toStdString();
            if (!first)
                first = map.entriesForDate(day)[0].get();
            EXPECT_EQ(map.entriesForDate(day)[0].get(), first); // one entry in every day
        }
    }
    CalendarDayMap map;
    EXPECT_FALSE(map.addObject(nullptr, QStringLiteral("no start"), QDateTime(), local(2015, 5, 10),
                               Qt::red, false));
    EXPECT_EQ(map.dayCount(), 0);
}

TEST(CalendarDayMap, AnAllDayEntryOfAnyLengthCostsOneRunAndEndsAtTheCap)
{
    // A damaged end a million years away (and one beyond what the program
    // counts in milliseconds) hung the grid and then exhausted memory.
    for (const double seconds : {1e12, 1e13, 3.0e14}) {
        SCOPED_TRACE(seconds);
        CalendarDayMap map;
        const QDateTime start = local(2015, 5, 10);
        const QDateTime end = start.addMSecs(qint64(seconds * 1000));
        ASSERT_TRUE(end.isValid());
        ASSERT_TRUE(map.addObject(nullptr, QStringLiteral("forever"), start, end, Qt::red, true));
        map.addObject(nullptr, QStringLiteral("lunch"), local(2015, 5, 11, 12),
                      local(2015, 5, 11, 13), Qt::red, false);
        EXPECT_EQ(map.dayCount(), CalendarDayMap::kMaxSpanDays);
        const QDate last = QDate(2015, 5, 10).addDays(CalendarDayMap::kMaxSpanDays - 1);
        EXPECT_EQ(map.entriesForDate(QDate(2015, 5, 10)).size(), 1u);
        EXPECT_EQ(map.entriesForDate(QDate(2015, 5, 11)).size(), 2u);
        EXPECT_EQ(map.entriesForDate(QDate(2015, 5, 11))[0]->title, QStringLiteral("forever"));
        EXPECT_EQ(map.entriesForDate(QDate(2061, 1, 1)).size(), 1u);
        EXPECT_EQ(map.entriesForDate(last).size(), 1u);
        EXPECT_TRUE(map.entriesForDate(last.addDays(1)).empty());
        EXPECT_TRUE(map.entriesForDate(QDate(2015, 5, 9)).empty());
    }
}

TEST(CalendarDayMap, MovingOneDayOfALongEntryKeepsItsOtherDays)
{
    CalendarDayMap map;
    auto trip = std::make_shared<int>(1);
    // Longer than a short run, so both kinds of run are taken apart.
    for (const int days : {3, 90}) {
        SCOPED_TRACE(days);
        map.removeAllObjects();
        const QDate first(2015, 5, 10);
        map.addObject(trip, QStringLiteral("Trip"), local(2015, 5, 10),
                      QDateTime(first.addDays(days), QTime(0, 0, 5), Qt::LocalTime), Qt::red, true);
        ASSERT_EQ(map.dayCount(), days);
        ASSERT_EQ(map.selectObjectWithDate(trip.get(), QDate(2015, 5, 11)), 1);
        ASSERT_TRUE(map.moveSelectedEventToDate(QDate(2015, 4, 1)));
        EXPECT_TRUE(map.entriesForDate(QDate(2015, 5, 11)).empty());
        EXPECT_EQ(map.entriesForDate(QDate(2015, 5, 10)).size(), 1u);
        EXPECT_EQ(map.entriesForDate(QDate(2015, 5, 12)).size(), 1u);
        EXPECT_EQ(map.entriesForDate(first.addDays(days - 1)).size(), 1u);
        EXPECT_EQ(map.entriesForDate(QDate(2015, 4, 1)).size(), 1u);
        EXPECT_EQ(map.dayCount(), days);
    }
}

TEST(CalendarDayMap, ListsAllDayEntriesFirstThenByStart)
{
    CalendarDayMap map;
    const QDate day(2015, 5, 10);
    map.addObject(nullptr, QStringLiteral("late"), local(2015, 5, 10, 18), local(2015, 5, 10, 19),
                  {}, false);
    map.addObject(nullptr, QStringLiteral("early"), local(2015, 5, 10, 8), local(2015, 5, 10, 9),
                  {}, false);
    map.addObject(nullptr, QStringLiteral("all day"), local(2015, 5, 10),
                  local(2015, 5, 11, 0, 0, 5), {}, true);
    map.addObject(nullptr, QStringLiteral("spanning"), local(2015, 5, 9),
                  local(2015, 5, 12, 0, 0, 5), {}, true);
    QStringList titles;
    for (const CalendarEntryPtr& e : map.entriesForDate(day))
        titles << e->title;
    EXPECT_EQ(titles, (QStringList{"spanning", "all day", "early", "late"}));
}

TEST(CalendarDayMap, SelectsByObjectIdentityAndMovesKeepingTheTimeOfDay)
{
    CalendarDayMap map;
    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(1); // equal in value, another object
    map.addObject(a, QStringLiteral("14:30 Lunch"), local(2015, 3, 3, 14, 30),
                  local(2015, 3, 3, 15, 30), Qt::blue, false);
    map.addObject(b, QStringLiteral("14:30 Lunch"), local(2015, 3, 3, 14, 30),
                  local(2015, 3, 3, 15, 30), Qt::blue, false);

    EXPECT_FALSE(map.selectObjectWithDate(std::make_shared<int>(1).get(), QDate(2015, 3, 3)));
    EXPECT_EQ(map.selectObjectWithDate(b.get(), QDate(2015, 3, 3)), 2);
    EXPECT_EQ(map.selectedObject(), b);
    map.setSelectedEventToDateAndIndex(QDate(2015, 3, 3), 0); // the day number: no change
    map.setSelectedEventToDateAndIndex(QDate(2015, 3, 3), 3); // past the list: no change
    EXPECT_EQ(map.selectedObject(), b);
    map.setSelectedEventToDateAndIndex(QDate(2015, 3, 3), 1);
    EXPECT_EQ(map.selectedObject(), a);
    EXPECT_EQ(map.selectedDate(), QDate(2015, 3, 3));

    ASSERT_TRUE(map.moveSelectedEventToDate(QDate(2015, 3, 17)));
    ASSERT_EQ(map.entriesForDate(QDate(2015, 3, 17)).size(), 1u);
    const CalendarEntry& moved = *map.entriesForDate(QDate(2015, 3, 17))[0];
    EXPECT_EQ(moved.object, a);
    EXPECT_EQ(moved.date, QDate(2015, 3, 17));
    EXPECT_EQ(moved.dateTime, local(2015, 3, 17, 14, 30));
    ASSERT_EQ(map.entriesForDate(QDate(2015, 3, 3)).size(), 1u);
    EXPECT_EQ(map.entriesForDate(QDate(2015, 3, 3))[0]->object, b);

    // The selection still names the old day, where the entry no longer is.
    EXPECT_FALSE(map.moveSelectedEventToDate(QDate(2015, 3, 20)));
    EXPECT_TRUE(map.entriesForDate(QDate(2015, 3, 20)).empty());
    EXPECT_TRUE(map.deselectAll());
    EXPECT_FALSE(map.deselectAll());
    EXPECT_FALSE(map.selectedObject());
    EXPECT_FALSE(map.moveSelectedEventToDate(QDate(2015, 3, 20)));
}

TEST(CalendarDayMap, NavigatesByMonthOrWeekAndElseToNow)
{
    const QDateTime focus = local(2015, 3, 15, 10, 20);
    const QDateTime now = local(2020, 6, 1, 8);
    using V = CalendarDayMap::ViewType;
    struct Case {
        V view;
        const char* label;
        QDateTime want;
    };
    const std::vector<Case> cases = {
        {V::Month, "<", local(2015, 2, 15, 10, 20)},
        {V::Month, ">", local(2015, 4, 15, 10, 20)},
        {V::Week, "<", local(2015, 3, 8, 10, 20)},
        {V::Week, ">", local(2015, 3, 22, 10, 20)},
        {V::Month, "TODAY", now},
        {V::Week, "Today", now},
        {V::Month, "", now},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(
            CalendarDayMap::changedFocusDate(focus, c.view, QString::fromLatin1(c.label), now),
            c.want);
    }
    // 31 March back one month: the last day of February.
    EXPECT_EQ(
        CalendarDayMap::changedFocusDate(local(2015, 3, 31), V::Month, QStringLiteral("<"), now),
        local(2015, 2, 28));
}

TEST(CalendarEntry, RowHeightsFollowTheHoursOfWeekViewEntries)
{
    struct Case {
        const char* name;
        QDateTime start;
        QDateTime end;
        bool allDay;
        bool weekView;
        int height;
    };
    const std::vector<Case> cases = {
        {"09:00-11:45", local(2015, 3, 3, 9), local(2015, 3, 3, 11, 45), false, true, 108},
        {"09:40-10:10", local(2015, 3, 3, 9, 40), local(2015, 3, 3, 10, 10), false, true, 36},
        {"09:00-09:20", local(2015, 3, 3, 9), local(2015, 3, 3, 9, 20), false, true, 36},
        {"09:00-10:31", local(2015, 3, 3, 9), local(2015, 3, 3, 10, 31), false, true, 72},
        {"other weekday", local(2015, 3, 3, 22), local(2015, 3, 4, 1), false, true, 18},
        {"all-day", local(2015, 3, 3), local(2015, 3, 3, 23), true, true, 18},
        {"month view", local(2015, 3, 3, 9), local(2015, 3, 3, 11, 45), false, false, 18},
        {"no end", local(2015, 3, 3, 9), QDateTime(), false, true, 18},
        {"whole weeks, earlier in the day", local(2015, 3, 3, 15), local(2015, 3, 10, 9), false,
         true, 36},
        {"end before start", local(2015, 3, 10, 9), local(2015, 3, 3, 15), false, true, 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CalendarEntry e;
        e.dateTime = c.start;
        e.endDate = c.end;
        e.allDay = c.allDay;
        EXPECT_EQ(e.rowHeight(c.weekView), c.height);
    }
    CalendarEntry meeting;
    meeting.title = QStringLiteral("10:00 Meeting");
    meeting.dateTime = local(2015, 3, 3, 10);
    meeting.endDate = local(2015, 3, 3, 11);
    EXPECT_EQ(meeting.displayText(true), QStringLiteral("10:00 Meeting\r\n11:00"));
    EXPECT_EQ(meeting.displayText(false), QStringLiteral("10:00 Meeting"));
}

TEST(CalendarColour, ParsesSixHexDigitsAndGivesGreyForAnythingElse)
{
    const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    struct Case {
        const char* code;
        QColor want;
    };
    const std::vector<Case> cases = {
        {"#FF8000", QColor::fromRgbF(1.0f, float(128 / 255.0), 0.0f)},
        {"#1badf8", QColor(0x1b, 0xad, 0xf8)},
        {"", grey},
        {"#", grey},
        {"#FF80", grey},
        {"#FF8000FF", grey},
        {"FF8000", grey},
        {"#GG8000", grey},
        {"#-F8000", grey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const QColor got =
            QELCalendarHTMLCodeToIconTransformer::colorFromHTMLCode(QString::fromLatin1(c.code));
        EXPECT_EQ(got.rgba(), c.want.rgba());
    }
}

TEST(CalendarColour, DrawsAnOutlinedDiscOnATransparentIcon)
{
    EXPECT_TRUE(QELCalendarHTMLCodeToIconTransformer::transformedValue(QString()).isNull());
    const QImage icon =
        QELCalendarHTMLCodeToIconTransformer::transformedValue(QStringLiteral("#FF8000"));
    ASSERT_EQ(icon.size(), QSize(24, 24));
    EXPECT_EQ(icon.pixelColor(12, 12), QColor(255, 128, 0));
    EXPECT_EQ(icon.pixelColor(7, 12), QColor(255, 128, 0));
    EXPECT_EQ(icon.pixelColor(2, 2).alpha(), 0);
    EXPECT_EQ(icon.pixelColor(21, 21).alpha(), 0);
    EXPECT_EQ(icon.pixelColor(12, 2).alpha(), 0);
    // The outline's outer half: dark, partly opaque.
    const QColor rim = icon.pixelColor(12, 4);
    EXPECT_GT(rim.alpha(), 40);
    EXPECT_LT(rim.red(), 120);
    EXPECT_LT(rim.green(), 80);
    // A bad code still draws: a grey disc.
    const QImage bad = QELCalendarHTMLCodeToIconTransformer::transformedValue(QStringLiteral("#F"));
    EXPECT_EQ(bad.pixelColor(12, 12), QColor(128, 128, 128));
}

} // namespace
