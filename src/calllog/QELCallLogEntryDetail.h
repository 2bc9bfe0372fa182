// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One call of the call history, as the page shows it and the copy writes it.
class QELCallLogEntryDetail {
public:
    // Bits of flags() that the page reads.
    enum Flag { Outgoing = 1, FaceTime = 16 };

    // The start of the call (UTC); invalid when the device's value was not a date.
    QDateTime date() const { return m_date; }
    void setDate(const QDateTime& date) { m_date = date; }
    // The length in whole seconds; 0 for a call that was not connected.
    qint64 duration() const { return m_duration; }
    void setDuration(qint64 seconds) { m_duration = seconds; }
    int flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    bool isOutgoing() const { return (m_flags & Outgoing) != 0; }
    bool isFaceTime() const { return (m_flags & FaceTime) != 0; }
    // The display name of the participant the call belongs to.
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    // The address (number or e-mail address) the call history holds for it.
    const QString& address() const { return m_address; }
    void setAddress(const QString& address) { m_address = address; }
    // Whether the call was answered: the store's own answered column where it
    // has one, else a duration above 0.
    bool answered() const { return m_answered; }
    void setAnswered(bool answered) { m_answered = answered; }
    // "Phone", "FaceTime", or the service provider of another calling app.
    const QString& service() const { return m_service; }
    void setService(const QString& service) { m_service = service; }

private:
    QDateTime m_date;
    qint64 m_duration = 0;
    int m_flags = 0;
    bool m_answered = false;
    QString m_name;
    QString m_address;
    QString m_service;
};

Q_DECLARE_METATYPE(QELCallLogEntryDetail)
