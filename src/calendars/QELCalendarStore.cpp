// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarStore.h"

#include <algorithm>

#include "DeviceTime.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteTransaction.h"
#include "ThreadCheck.h"

namespace {

// The store file is removed before every read, so the tables are made afresh.
const char* const kSchema[] = {
    "CREATE TABLE QELCalendarDetail (id INTEGER PRIMARY KEY, calendarID INTEGER, title TEXT,"
    " colorHTMLCode TEXT, colorRed INTEGER, colorGreen INTEGER, colorBlue INTEGER,"
    " isColorSpecified INTEGER, filePath TEXT)",
    "CREATE TABLE QELCalendarComponent (id INTEGER PRIMARY KEY, relationshipParent INTEGER,"
    " eventID INTEGER, timeZone TEXT, summary TEXT, componentDescription TEXT, location TEXT,"
    " componentType INTEGER, comment TEXT, categories TEXT, componentClass TEXT, geo TEXT,"
    " resources TEXT, status TEXT, percentageComplete INTEGER, priority INTEGER)",
    "CREATE TABLE QELCalendarDateTimeProperties (id INTEGER PRIMARY KEY, relationshipParent "
    "INTEGER, dtstart REAL, dtend REAL, isAllDay INTEGER, due REAL, duration TEXT, completed TEXT,"
    " freeBusy TEXT, transparency INTEGER)",
    "CREATE TABLE QELCalendarRecurranceProperties (id INTEGER PRIMARY KEY, relationshipParent "
    "INTEGER, frequency INTEGER, interval INTEGER, occurenceCount INTEGER, endDate REAL)",
};

QVariant optional(const std::optional<qint64>& v) { return v ? QVariant(*v) : QVariant(); }
QVariant optional(const std::optional<int>& v) { return v ? QVariant(qint64(*v)) : QVariant(); }

// Seconds since 2001-01-01 UTC, as the device counts them.
QVariant date(const QDateTime& v)
{
    return v.isValid() ? QVariant(DeviceTime::toReferenceSeconds(v)) : QVariant();
}

} // namespace

std::shared_ptr<QELCalendarStore> QELCalendarStore::open(const QString& filePath)
{
    assertNotOnGuiThread();
    std::shared_ptr<QELCalendarStore> store(new QELCalendarStore());
    if (!store->openStore(filePath))
        return nullptr;
    return store;
}

QELCalendarStore::~QELCalendarStore() { close(); }

QStringList QELCalendarStore::schemaStatements() const
{
    QStringList statements;
    for (const char* statement : kSchema)
        statements.append(QString::fromLatin1(statement));
    return statements;
}

QELCalendarDetailPtr QELCalendarStore::insertCalendar()
{
    m_calendars.push_back(std::make_shared<QELCalendarDetail>());
    return m_calendars.back();
}

void QELCalendarStore::deleteCalendar(const QELCalendarDetailPtr& calendar)
{
    m_calendars.erase(std::remove(m_calendars.begin(), m_calendars.end(), calendar),
                      m_calendars.end());
}

bool QELCalendarStore::save(QString* error)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(lock());
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!handle())
        return fail(QStringLiteral("the store is closed"));
    QELSQLiteTransaction transaction(handle());
    if (!transaction.isActive())
        return fail(transaction.error());
    QELSQLiteStatement calendars = prepare(
        QStringLiteral("INSERT INTO QELCalendarDetail VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9)"));
    QELSQLiteStatement components =
        prepare(QStringLiteral("INSERT INTO QELCalendarComponent VALUES "
                               "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)"));
    QELSQLiteStatement times = prepare(QStringLiteral(
        "INSERT INTO QELCalendarDateTimeProperties VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)"));
    QELSQLiteStatement rules = prepare(
        QStringLiteral("INSERT INTO QELCalendarRecurranceProperties VALUES (?1,?2,?3,?4,?5,?6)"));
    if (!calendars.isPrepared() || !components.isPrepared() || !times.isPrepared()
        || !rules.isPrepared())
        return fail(lastError());
    qint64 calendarRow = 0;
    qint64 componentRow = 0;
    for (const QELCalendarDetailPtr& c : m_calendars) {
        calendars.bindAll({++calendarRow, optional(c->calendarID), c->title, c->colorHTMLCode,
                           optional(c->colorRed), optional(c->colorGreen), optional(c->colorBlue),
                           optional(c->isColorSpecified), c->filePath});
        if (!calendars.execute())
            return fail(calendars.errorMessage());
        for (const QELCalendarComponentPtr& e : c->relationshipComponents) {
            components.bindAll({++componentRow, calendarRow, optional(e->eventID), e->timeZone,
                                e->summary, e->componentDescription, e->location, e->componentType,
                                e->comment, e->categories, e->componentClass, e->geo, e->resources,
                                e->status, optional(e->percentageComplete), optional(e->priority)});
            if (!components.execute())
                return fail(components.errorMessage());
            if (const QELCalendarDateTimePropertiesPtr& t = e->relationshipDateTimeProperty) {
                times.bindAll({componentRow, componentRow, date(t->dtstart), date(t->dtend),
                               qint64(t->isAllDay), date(t->due), t->duration, t->completed,
                               t->freeBusy, optional(t->transparency)});
                if (!times.execute())
                    return fail(times.errorMessage());
            }
            if (const QELCalendarRecurrancePropertiesPtr& r = e->relationshipRecurranceProperty) {
                rules.bindAll({componentRow, componentRow, r->frequency, r->interval,
                               r->occurenceCount, date(r->endDate)});
                if (!rules.execute())
                    return fail(rules.errorMessage());
            }
        }
    }
    if (!transaction.commit())
        return fail(transaction.error());
    return true;
}
