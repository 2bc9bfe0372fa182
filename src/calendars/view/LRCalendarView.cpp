// SPDX-License-Identifier: GPL-3.0-or-later
#include "LRCalendarView.h"

#include <cmath>

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>

#include "CalendarDayCellModel.h"
#include "CalendarMonthLayout.h"
#include "LRCalendarDayCell.h"
#include "LocalizedStrings.h"

namespace {

// A frame of the layout, edges rounded so that neighbouring cells share them.
QRect toWidgetRect(const QRectF& frame, float height)
{
    const QRectF f = CalendarMonthLayout::toTopLeft(frame, height);
    const QPoint topLeft(int(std::lround(f.left())), int(std::lround(f.top())));
    const QPoint end(int(std::lround(f.right())), int(std::lround(f.bottom())));
    return QRect(topLeft, end - QPoint(1, 1));
}

QDateTime localMidnight(const QDateTime& date)
{
    return QDateTime(date.toLocalTime().date(), QTime(0, 0), Qt::LocalTime);
}

} // namespace

LRCalendarView::LRCalendarView(QWidget* parent)
    : QWidget(parent)
    , m_now([] { return QDateTime::currentDateTime(); })
{
    m_focusDate = localMidnight(m_now());
    m_currentMonthField = new QLabel(this);
    m_currentMonthField->setObjectName(QStringLiteral("currentMonthField"));
    m_currentMonthField->setAlignment(Qt::AlignCenter);
    auto button = [this](const QString& title, const char* name) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(QLatin1String(name));
        b->setFlat(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, b] { changeDateIncrementally(b->text()); });
        return b;
    };
    m_leftButton = button(QStringLiteral("<"), "leftButton");
    m_rightButton = button(QStringLiteral(">"), "rightButton");
    m_todayButton = button(L("TODAY"), "todayButton");
    const char* const weekdays[] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                    "THURSDAY", "FRIDAY", "SATURDAY"};
    for (size_t i = 0; i < m_weekdayFields.size(); ++i) {
        m_weekdayFields[i] = new QLabel(L(weekdays[i]), this);
        m_weekdayFields[i]->setAlignment(Qt::AlignCenter);
    }
    for (size_t i = 0; i < m_cells.size(); ++i) {
        m_cells[i] = new LRCalendarDayCell(this);
        m_cells[i]->setObjectName(QStringLiteral("dayCell%1").arg(i));
    }
    drawCalendar();
}

LRCalendarView::~LRCalendarView() = default;

void LRCalendarView::setNow(std::function<QDateTime()> now)
{
    m_now = std::move(now);
    m_focusDate = localMidnight(m_now());
    drawCalendar();
}

bool LRCalendarView::addObject(std::shared_ptr<const void> object, const QString& title,
                               const QDateTime& start, const QDateTime& end, const QColor& color,
                               bool allDay)
{
    return m_dayMap.addObject(std::move(object), title, start, end, color, allDay);
}

void LRCalendarView::addEntries(const QList<CalendarEntry>& entries)
{
    m_dayMap.addEntries(entries);
}

void LRCalendarView::setDayMap(CalendarDayMap map)
{
    map.takeSelectionFrom(m_dayMap);
    m_dayMap = std::move(map);
}

void LRCalendarView::removeAllObjects()
{
    m_dayMap.removeAllObjects();
    drawCalendar();
}

void LRCalendarView::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

void LRCalendarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    drawCalendar();
}

void LRCalendarView::drawCalendar()
{
    m_redrawQueued = false;
    const float w = float(width());
    const float h = float(height());
    const CalendarMonthLayout layout(m_focusDate.date(), weeklyView(), m_hideWeekends, w, h);

    QFont titleFont = font();
    titleFont.setPointSize(14);
    m_currentMonthField->setFont(titleFont);
    m_currentMonthField->setText(
        QLocale::system().toString(m_focusDate.date(), QStringLiteral("MMMM yyyy")));
    m_leftButton->setGeometry(toWidgetRect(layout.previousButtonFrame(), h));
    m_rightButton->setGeometry(toWidgetRect(layout.nextButtonFrame(), h));
    m_todayButton->setGeometry(toWidgetRect(layout.todayButtonFrame(), h));
    m_currentMonthField->setGeometry(
        toWidgetRect(layout.monthFieldFrame(float(m_currentMonthField->height())), h));
    for (size_t i = 0; i < m_weekdayFields.size(); ++i) {
        m_weekdayFields[i]->setGeometry(toWidgetRect(layout.weekdayFrame(int(i)), h));
        m_weekdayFields[i]->update();
    }
    for (int i = 0; i < CalendarMonthLayout::kCellCount; ++i) {
        LRCalendarDayCell* c = m_cells[size_t(i)];
        if (!layout.isCellShown(i)) {
            c->hide();
            continue;
        }
        c->setGeometry(toWidgetRect(layout.cellFrame(i), h));
        c->setDate(layout.cellDate(i), m_currentView, layout.isCellEnabled(i));
        c->show();
    }
    colorCells();
    reselect();
}

// A cell's rows are made anew at each drawing; the selected entry stays selected.
void LRCalendarView::reselect()
{
    const QDate day = m_dayMap.selectedDate();
    LRCalendarDayCell* c = day.isValid() ? cellForDate(day) : nullptr;
    if (!c)
        return;
    const std::vector<CalendarEntryPtr>& entries = m_dayMap.entriesForDate(day);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->title == m_dayMap.selectedTitle()
            && entries[i]->object == m_dayMap.selectedObject()) {
            c->selectRow(int(i) + 1);
            return;
        }
    }
}

void LRCalendarView::colorCells()
{
    const QDate focus = m_focusDate.date();
    const QDate today = m_now().toLocalTime().date();
    for (LRCalendarDayCell* c : m_cells)
        c->setBackgroundColor(
            CalendarMonthLayout::cellColor(c->date(), focus, today, weeklyView()));
}

LRCalendarDayCell* LRCalendarView::cellForDate(const QDate& day) const
{
    for (LRCalendarDayCell* c : m_cells)
        if (!c->isHidden() && c->date() == day)
            return c;
    return nullptr;
}

void LRCalendarView::setFocusDate(const QDateTime& date)
{
    m_focusDate = date.toLocalTime();
    colorCells();
}

void LRCalendarView::setHiddenWeekends(bool hidden)
{
    m_hideWeekends = hidden;
    drawCalendar();
}

void LRCalendarView::setWeeklyView()
{
    m_currentView = 2;
    drawCalendar();
}

void LRCalendarView::setMonthlyView()
{
    m_currentView = 1;
    drawCalendar();
}

void LRCalendarView::setSelectedEventToDateAndIndex(const QDate& day, int row)
{
    m_dayMap.setSelectedEventToDateAndIndex(day, row);
}

void LRCalendarView::selectObjectWithDate(const void* object, const QDate& day)
{
    deselectAllExceptForDate(nullptr);
    setFocusDate(QDateTime(day, QTime(0, 0), Qt::LocalTime));
    if (m_dayMap.selectObjectWithDate(object, day))
        reselect();
}

void LRCalendarView::deselectAll()
{
    const bool hadSelection = m_dayMap.deselectAll();
    deselectAllExceptForDate(nullptr);
    if (hadSelection)
        tableViewSelectionDidChange();
}

void LRCalendarView::deselectAllExceptForDate(const LRCalendarDayCell* keep)
{
    for (LRCalendarDayCell* c : m_cells)
        if (c != keep)
            c->clearSelection();
}

void LRCalendarView::tableViewSelectionDidChange() { emit selectionDidChange(); }

void LRCalendarView::moveSelectedEventToDate(const QDate& day)
{
    if (!m_dayMap.moveSelectedEventToDate(day))
        return;
    // Called from inside a cell's drop: the cells are refilled once it has ended.
    if (!m_redrawQueued) {
        m_redrawQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_redrawQueued)
                    drawCalendar();
            },
            Qt::QueuedConnection);
    }
    emit eventDidMove();
}

void LRCalendarView::changeDateIncrementally(const QString& label)
{
    deselectAll();
    const CalendarDayMap::ViewType view =
        weeklyView() ? CalendarDayMap::ViewType::Week : CalendarDayMap::ViewType::Month;
    m_focusDate = CalendarDayMap::changedFocusDate(m_focusDate, view, label, m_now()).toLocalTime();
    drawCalendar();
}
