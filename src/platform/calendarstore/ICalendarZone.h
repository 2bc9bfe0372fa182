// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// How an event's times are written in an iCalendar file: in UTC ("Z"), in a
// named zone (DTSTART;TZID=Europe/Berlin with that zone's VTIMEZONE in the
// file, so a repeating event keeps its hour across daylight-saving changes),
// or floating (the same wall-clock time wherever the file is read). The zone
// rules come from the system's zone data through libical, which also checks
// the files. Any thread.
class ICalendarZone {
public:
    enum class Kind { Utc, Named, Floating };

    static ICalendarZone utc() { return ICalendarZone(Kind::Utc, QString()); }
    static ICalendarZone floating() { return ICalendarZone(Kind::Floating, QString()); }
    // The zone of a device event's "start_tz": "_float" (or "floating") is
    // floating; a zone name the zone data knows is that zone; anything else
    // (empty, "UTC", a name no zone has) is UTC.
    static ICalendarZone fromDeviceName(const QString& name);

    Kind kind() const { return m_kind; }
    // The zone's name (Named only).
    const QString& id() const { return m_id; }

    // What follows the property name of a DATE-TIME: ":20240315T143000Z",
    // ";TZID=Europe/Berlin:20240315T153000" or ":20240315T143000". A floating
    // value is `time`'s own wall clock, unconverted: the caller chooses it.
    QString dateTimeValue(const QDateTime& time) const;
    // The UNTIL of a rule whose DTSTART is in this zone: UTC for UTC and named
    // zones, the wall clock for floating ones (as the format requires).
    QString untilValue(const QDateTime& time) const;

    // The VTIMEZONE component of a named zone as CR LF lines, holding its
    // rules from `from` on (earlier history left out); empty for the others.
    QByteArray vtimezone(const QDateTime& from) const;

    // Whether `time` can be written at all: years 1 to 9999, in UTC and as
    // the wall clock this zone writes.
    bool canWrite(const QDateTime& time) const;

    // The problems libical finds in an iCalendar text (its X-LIC-ERROR
    // texts); empty for a sound file or one it cannot parse at all (then one
    // text saying so).
    static QStringList problemsOf(const QByteArray& text);

    bool operator==(const ICalendarZone& other) const
    {
        return m_kind == other.m_kind && m_id == other.m_id;
    }

private:
    ICalendarZone(Kind kind, QString id)
        : m_kind(kind)
        , m_id(std::move(id))
    {
    }

    Kind m_kind;
    QString m_id;
};
