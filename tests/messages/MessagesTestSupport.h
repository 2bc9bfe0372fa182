// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include "QELMessageDetail.h"
#include "QELMessagesConversation.h"
#include "SQLiteFixtureWriter.h"

namespace MessagesTest {

inline QDateTime utc(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

inline qint64 referenceSeconds(const QDateTime& time)
{
    return time.toSecsSinceEpoch() - 978307200;
}

inline QStringList titles(const QList<QELMessagesConversation>& conversations)
{
    QStringList result;
    for (const QELMessagesConversation& conversation : conversations)
        result << conversation.title();
    return result;
}

inline QStringList texts(const QList<QELMessageDetail>& messages)
{
    QStringList result;
    for (const QELMessageDetail& message : messages)
        result << message.message();
    return result;
}

struct FullTextRow {
    QString first;
    QString last;
    QString organization;
    QString phone;
    QString email;
};

// The address book's full-text table, as a file of its own (the contacts
// lookup reads only this table of it).
inline bool writeFullTextAddressBook(const QString& path, const QList<FullTextRow>& rows)
{
    SQLiteFixtureWriter writer(path);
    writer.exec(QStringLiteral("CREATE TABLE ABPersonFullTextSearch_content (docid INTEGER "
                               "PRIMARY KEY, c0First TEXT, c1Last TEXT, c6Organization TEXT, "
                               "C15Phone TEXT, C16Email TEXT)"));
    for (const FullTextRow& row : rows)
        writer.run(QStringLiteral("INSERT INTO ABPersonFullTextSearch_content (c0First, c1Last, "
                                  "c6Organization, C15Phone, C16Email) VALUES (?, ?, ?, ?, ?)"),
                   {row.first, row.last, row.organization, row.phone, row.email});
    return writer.commit();
}

} // namespace MessagesTest
