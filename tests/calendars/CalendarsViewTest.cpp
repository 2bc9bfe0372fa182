// SPDX-License-Identifier: GPL-3.0-or-later
// The calendars view and its grid, headless: the load over a folder of
// copies, the empty page, the exports' queues and events, the month and week
// grid, and dragging an entry to another day.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>

#include "CalendarDayCellModel.h"
#include "CalendarFixture.h"
#include "IPodFramework.h"
#include "LRCalendarDayCell.h"
#include "LRCalendarView.h"
#include "LocalizedStrings.h"
#include "QELCalendarsView.h"
#include "QELCopyCalendars.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELDeviceInterface.h"
#include "QELPagedView.h"
#include "QtPrinters.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

namespace {

using namespace CalendarFixture;

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

struct RecordingPage : QELDeviceCategoryContentViewDelegate {
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        status << top + QLatin1Char('|') + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        progress << QStringLiteral("%1|%2|%3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList progress;
    QStringList status;
};

Database threeCalendars()
{
    Database d;
    d.layout = Layout::CalendarItem;
    auto calendar = [](qint64 id, const char* title, const char* colour) {
        Calendar c;
        c.id = id;
        c.title = QString::fromLatin1(title);
        c.color = QString::fromLatin1(colour);
        return c;
    };
    d.calendars = {calendar(1, "Work", "#FF8000"), calendar(2, "Home", "#1BADF8"),
                   calendar(3, "Clubs", "")};
    auto event = [](qint64 id, qint64 cal, const char* summary, double start, double end,
                    int allDay = 0) {
        Event e;
        e.id = id;
        e.calendarID = cal;
        e.summary = QString::fromLatin1(summary);
        e.start = start;
        e.end = end;
        e.allDay = allDay;
        return e;
    };
    const double lunchAt = double(
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).secsTo(local(2015, 3, 3, 14, 30)));
    Event weekly = event(1, 1, "Lunch", lunchAt, lunchAt + 3600);
    weekly.recurrences = {Recurrence{2, 1, QVariant(), 3}};
    d.events = {weekly, event(2, 2, "Holiday", at(2015, 3, 9), at(2015, 3, 10, 23, 59, 59), 1),
                event(3, 3, "Chess", lunchAt + 86400, 0.0)};
    return d;
}

class CalendarsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_device = std::make_unique<QELDeviceInterface>(
            std::make_shared<SimulatedMobileDevice>(),
            std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
        m_device->setConnectedDeviceOperatingSystem(1);
    }
    void writeDatabase(const Database& d)
    {
        QString error;
        ASSERT_TRUE(write(m_folder + QStringLiteral("/Calendar.sqlitedb"), d, &error))
            << error.toStdString();
    }
    std::unique_ptr<QELCalendarsView> loadedView()
    {
        auto view = std::make_unique<QELCalendarsView>(QRect(0, 0, 1000, 640));
        view->setDelegate(&m_page);
        view->setDeviceInterface(m_device.get());
        view->setViewDataPath(m_folder);
        view->setNow([] { return local(2015, 3, 20, 12); });
        view->setFolderChooser([this](QWidget*) { return m_exportFolder; });
        view->QWidget::resize(1000, 640);
        view->loadData();
        EXPECT_TRUE(view->loadingPageView() && view->loadingPageView()->isVisibleTo(view.get()));
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    QStringList titles(const QELCalendarsView& view)
    {
        QStringList list;
        for (const QELCalendarDetailPtr& c : view.calendars())
            list << c->title;
        return list;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_exportFolder;
    RecordingPage m_page;
    std::unique_ptr<QELDeviceInterface> m_device;
};

TEST_F(CalendarsViewTest, ListsTheCalendarsAndFilesEveryEventWithItsRepeats)
{
    writeDatabase(threeCalendars());
    auto view = loadedView();
    EXPECT_FALSE(view->loadFailed());
    EXPECT_EQ(titles(*view), (QStringList{"Clubs", "Home", "Work"}));
    EXPECT_TRUE(view->calendarList()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->noCalendarsfoundView());
    QAbstractItemModelTester tester(view->calendarList()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QModelIndex work = view->calendarList()->model()->index(2, 0);
    const QPixmap icon = work.data(Qt::DecorationRole).value<QPixmap>();
    ASSERT_EQ(icon.size(), QSize(24, 24));
    EXPECT_EQ(icon.toImage().pixelColor(12, 12), QColor(255, 128, 0));

    const CalendarDayMap& map = view->calendarView()->dayMap();
    for (const QDate& day : {QDate(2015, 3, 3), QDate(2015, 3, 10), QDate(2015, 3, 17)}) {
        SCOPED_TRACE(day.toString(Qt::ISODate).toStdString());
        ASSERT_FALSE(map.entriesForDate(day).empty());
        // After the holiday's all-day entry on the 10th.
        const CalendarEntry& lunch = *map.entriesForDate(day).back();
        EXPECT_EQ(lunch.title, QStringLiteral("14:30 Lunch"));
        EXPECT_EQ(lunch.color, QColor(255, 128, 0));
        EXPECT_EQ(lunch.dateTime.time(), QTime(14, 30));
    }
    EXPECT_TRUE(map.entriesForDate(QDate(2015, 3, 24)).empty()); // a count of 3
    // The all-day holiday on both its days, before the timed entry of the 10th.
    ASSERT_EQ(map.entriesForDate(QDate(2015, 3, 9)).size(), 1u);
    EXPECT_EQ(map.entriesForDate(QDate(2015, 3, 9))[0]->title, QStringLiteral("Holiday"));
    ASSERT_EQ(map.entriesForDate(QDate(2015, 3, 10)).size(), 2u);
    EXPECT_TRUE(map.entriesForDate(QDate(2015, 3, 10))[0]->allDay);
    // An event without end is on its start day, in neutral grey for a calendar
    // without colour.
    ASSERT_EQ(map.entriesForDate(QDate(2015, 3, 4)).size(), 1u);
    EXPECT_EQ(map.entriesForDate(QDate(2015, 3, 4))[0]->color.rgb(), qRgb(128, 128, 128));
    qsizetype filed = 0;
    for (int d = 1; d <= 31; ++d)
        filed += qsizetype(map.entriesForDate(QDate(2015, 3, d)).size());
    EXPECT_EQ(filed, 6); // 3 lunches, 2 holiday days, chess

    // The grid shows March 2015 around "now", today tinted.
    LRCalendarView* grid = view->calendarView();
    EXPECT_EQ(grid->currentMonthField()->text(),
              QLocale::system().toString(QDate(2015, 3, 20), QStringLiteral("MMMM yyyy")));
    LRCalendarDayCell* third = grid->cellForDate(QDate(2015, 3, 3));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->model()->rowCount(), 2);
    EXPECT_EQ(third->model()->index(0, 0).data().toString(), QStringLiteral("3"));
    EXPECT_FALSE(third->model()->flags(third->model()->index(0, 0)) & Qt::ItemIsSelectable);

    // Week view: one row, the end time under the title.
    view->segmentViewSelectionControlClicked(1);
    EXPECT_TRUE(grid->weeklyView());
    EXPECT_FALSE(grid->cell(6)->isHidden());
    EXPECT_TRUE(grid->cell(7)->isHidden());
    LRCalendarDayCell* week = grid->cellForDate(QDate(2015, 3, 17));
    ASSERT_TRUE(week);
    EXPECT_EQ(week->model()->index(1, 0).data().toString(),
              QStringLiteral("14:30 Lunch\r\n15:30"));
    EXPECT_EQ(week->sizeHintForRow(1), 36);
    view->segmentViewSelectionControlClicked(0);
    EXPECT_TRUE(grid->monthlyView());

    // The search field changes nothing.
    view->search(QStringLiteral("Lunch"));
    EXPECT_EQ(titles(*view), (QStringList{"Clubs", "Home", "Work"}));
}

TEST_F(CalendarsViewTest, ShowsTheEmptyPageForADiskModeIPodOrNoDatabase)
{
    writeDatabase(threeCalendars());
    m_device->setConnectedDeviceOperatingSystem(0);
    auto ipod = loadedView();
    EXPECT_TRUE(ipod->calendars().isEmpty());
    ASSERT_TRUE(ipod->noCalendarsfoundView());
    EXPECT_TRUE(ipod->noCalendarsfoundView()->isVisibleTo(ipod.get()));
    EXPECT_FALSE(ipod->content()->isVisibleTo(ipod.get()));
    EXPECT_FALSE(ipod->loadFailed());

    m_device->setConnectedDeviceOperatingSystem(1);
    ASSERT_TRUE(QFile::remove(m_folder + QStringLiteral("/Calendar.sqlitedb")));
    auto none = loadedView();
    ASSERT_TRUE(none->noCalendarsfoundView());
    EXPECT_TRUE(none->noCalendarsfoundView()->isVisibleTo(none.get()));
}

TEST_F(CalendarsViewTest, SaysSoWhenTheDatabaseCannotBeRead)
{
    QFile file(m_folder + QStringLiteral("/Calendar.sqlitedb"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("SQLite format 3\0", 16) + QByteArray(2000, '\x5a'));
    file.close();
    auto view = loadedView();
    EXPECT_TRUE(view->loadFailed());
    EXPECT_TRUE(view->calendars().isEmpty());
}

TEST_F(CalendarsViewTest, ExportsTheSelectedCalendarsOrAll)
{
    writeDatabase(threeCalendars());
    auto view = loadedView();
    m_exportFolder = m_dir.filePath(QStringLiteral("export"));
    ASSERT_TRUE(QDir().mkpath(m_exportFolder));

    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(
        m_page.progress,
        (QStringList{L("EXPORTINGCALENDARS") + "|Clubs|1/3", L("EXPORTINGCALENDARS") + "|Home|2/3",
                     L("EXPORTINGCALENDARS") + "|Work|3/3"}));
    EXPECT_EQ(m_page.status, QStringList{L("ALLCALENDARSCOPYIED") + "|"});
    EXPECT_TRUE(QFileInfo::exists(m_exportFolder + "/Work.ics"));

    // Two selected: those two, in list order.
    QItemSelectionModel* selection = view->calendarList()->selectionModel();
    selection->select(view->calendarList()->model()->index(2, 0), QItemSelectionModel::Select);
    selection->select(view->calendarList()->model()->index(0, 0), QItemSelectionModel::Select);
    m_page.progress.clear();
    m_page.status.clear();
    view->copySelectionToICalButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(m_page.progress,
              (QStringList{L("COPYINGTOICAL") + "|Clubs|1/2", L("COPYINGTOICAL") + "|Work|2/2"}));

    // A cancelled folder panel starts nothing.
    m_exportFolder.clear();
    m_page.progress.clear();
    view->copyAsICalFileButtonClicked();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_page.progress.isEmpty());
    view->RequestCancelCopy();
}

class CalendarGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_grid.setNow([] { return local(2015, 3, 20, 12); });
        m_grid.resize(700, 451);
        m_grid.changeDateIncrementally(QStringLiteral("TODAY"));
    }
    LRCalendarView m_grid;
};

TEST_F(CalendarGridTest, LaysOutTheMonthWithTheWeekdayRowAboveTheCells)
{
    ASSERT_EQ(m_grid.focusDate(), local(2015, 3, 20, 12));
    EXPECT_EQ(m_grid.cell(0)->date(), QDate(2015, 3, 1));
    EXPECT_EQ(m_grid.cell(0)->geometry(), QRect(0, 50, 101, 81));
    EXPECT_EQ(m_grid.weekdayField(0)->geometry(), QRect(0, 31, 101, 20));
    EXPECT_EQ(m_grid.weekdayField(0)->text(), L("SUNDAY"));
    EXPECT_FALSE(m_grid.cell(34)->isHidden());
    EXPECT_TRUE(m_grid.cell(35)->isHidden());
    EXPECT_FALSE(m_grid.cell(34)->isDayEnabled()); // 4 April
    EXPECT_EQ(m_grid.cellForDate(QDate(2015, 3, 20))->viewport()->palette().color(QPalette::Base),
              QColor::fromRgbF(0.92f, 0.95f, 0.98f, 0.9f));

    m_grid.leftButton()->click();
    EXPECT_EQ(m_grid.focusDate().date(), QDate(2015, 2, 20));
    EXPECT_EQ(m_grid.cell(27)->date(), QDate(2015, 2, 28));
    EXPECT_TRUE(m_grid.cell(28)->isHidden());
    m_grid.setWeeklyView();
    m_grid.rightButton()->click();
    EXPECT_EQ(m_grid.focusDate().date(), QDate(2015, 2, 27));
    EXPECT_EQ(m_grid.cell(0)->date(), QDate(2015, 2, 22));
    EXPECT_EQ(m_grid.cell(0)->geometry().height(), 401);
    m_grid.todayButton()->click();
    EXPECT_EQ(m_grid.focusDate(), local(2015, 3, 20, 12));
}

TEST_F(CalendarGridTest, DragsAnEntryOntoAnotherDayKeepingItsTime)
{
    auto lunch = std::make_shared<int>(7);
    ASSERT_TRUE(m_grid.addObject(lunch, QStringLiteral("14:30 Lunch"), local(2015, 3, 3, 14, 30),
                                 local(2015, 3, 3, 15, 30), Qt::blue, false));
    m_grid.addObject(nullptr, QStringLiteral("09:00 Standup"), local(2015, 3, 17, 9),
                     local(2015, 3, 17, 9, 15), Qt::red, false);
    m_grid.drawCalendar();
    LRCalendarDayCell* from = m_grid.cellForDate(QDate(2015, 3, 3));
    LRCalendarDayCell* to = m_grid.cellForDate(QDate(2015, 3, 17));
    ASSERT_TRUE(from && to);
    CalendarDayCellModel* source = from->dayModel();
    CalendarDayCellModel* target = to->dayModel();

    // The day number is neither dragged nor dropped on.
    EXPECT_EQ(source->mimeData({source->index(0, 0)}), nullptr);
    std::unique_ptr<QMimeData> data(source->mimeData({source->index(1, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(m_grid.selectedObject(), lunch);
    EXPECT_FALSE(target->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, QModelIndex()));
    EXPECT_FALSE(target->canDropMimeData(data.get(), Qt::CopyAction, -1, -1, target->index(1, 0)));
    QMimeData foreign;
    foreign.setText(QStringLiteral("14:30 Lunch"));
    EXPECT_FALSE(target->canDropMimeData(&foreign, Qt::CopyAction, 1, 0, QModelIndex()));
    // Outside the focus month nothing is dropped.
    CalendarDayCellModel* april = m_grid.cell(34)->dayModel();
    EXPECT_FALSE(april->canDropMimeData(data.get(), Qt::CopyAction, 1, 0, QModelIndex()));

    // Dropped between the day number and the stand-up of 17 March.
    ASSERT_TRUE(target->dropMimeData(data.get(), Qt::CopyAction, 1, 0, QModelIndex()));
    QCoreApplication::processEvents();
    const auto& moved = m_grid.dayMap().entriesForDate(QDate(2015, 3, 17));
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[1]->object, lunch);
    EXPECT_EQ(moved[1]->dateTime, local(2015, 3, 17, 14, 30));
    EXPECT_TRUE(m_grid.dayMap().entriesForDate(QDate(2015, 3, 3)).empty());
    // The cells show it there after the redraw.
    EXPECT_EQ(m_grid.cellForDate(QDate(2015, 3, 17))->model()->rowCount(), 3);
    EXPECT_EQ(m_grid.cellForDate(QDate(2015, 3, 3))->model()->rowCount(), 1);
    EXPECT_EQ(m_grid.cellForDate(QDate(2015, 3, 17))->model()->index(2, 0).data().toString(),
              QStringLiteral("14:30 Lunch"));
}

TEST_F(CalendarGridTest, SelectionSurvivesRedrawsAndTheButtonsClearIt)
{
    auto lunch = std::make_shared<int>(7);
    m_grid.addObject(lunch, QStringLiteral("14:30 Lunch"), local(2015, 3, 3, 14, 30),
                     local(2015, 3, 3, 15, 30), Qt::blue, false);
    m_grid.drawCalendar();
    m_grid.selectObjectWithDate(lunch.get(), QDate(2015, 3, 3));
    EXPECT_EQ(m_grid.focusDate().date(), QDate(2015, 3, 3));
    m_grid.drawCalendar();
    EXPECT_TRUE(m_grid.cellForDate(QDate(2015, 3, 3))->hasSelectedRow());
    EXPECT_EQ(m_grid.selectedTitle(), QStringLiteral("14:30 Lunch"));
    m_grid.rightButton()->click();
    EXPECT_FALSE(m_grid.selectedObject());
    for (int i = 0; i < 42; ++i)
        EXPECT_FALSE(m_grid.cell(i)->hasSelectedRow());
}

} // namespace
