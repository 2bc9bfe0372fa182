// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>

#include "QELSafariHistoryItem.h"

// The visits of Safari's history grouped by the day of the visit. A day is
// named by its date in the locale's short format, in the reader's time zone
// (the computer's unless a test gives another). Subclasses fill it from one
// file format; it is filled once on a worker thread and only read afterwards.
class QELWebHistoryReader {
public:
    explicit QELWebHistoryReader(const QTimeZone& zone = QTimeZone::systemTimeZone(),
                                 const QLocale& locale = QLocale::system());
    virtual ~QELWebHistoryReader();
    QELWebHistoryReader(const QELWebHistoryReader&) = delete;
    QELWebHistoryReader& operator=(const QELWebHistoryReader&) = delete;

    // Reads the file at `path`: false when it is missing or cannot be opened.
    // The base has no format and throws std::logic_error.
    virtual bool populateWebHistoryFromPath(const QString& path);

    // Adds a visit dated `dateNumber` seconds after 2001-01-01 UTC (a number
    // or a decimal text). A date number that is not a number adds nothing.
    void addHistoryItemToStore(QELSafariHistoryItem item, const QVariant& dateNumber);

    // The days, newest first; empty when there is none.
    QStringList getAllDates() const;
    // A day's visits in the order they were added; null for an unknown day.
    const QList<QELSafariHistoryItem>* getHistoryItemsForDateString(const QString& day) const;
    // Every visit, day by day as getAllDates() lists them.
    QList<QELSafariHistoryItem> allItems() const;

    // Why the last read failed or stopped early (English, for the log);
    // empty when it did not.
    const QString& lastError() const { return m_lastError; }

protected:
    void setLastError(const QString& error) { m_lastError = error; }

private:
    struct Day {
        QDate date;
        QList<QELSafariHistoryItem> items;
    };

    QTimeZone m_zone;
    QLocale m_locale;
    QHash<QString, Day> m_days;
    QString m_lastError;
};
