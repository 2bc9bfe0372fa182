// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

class QELContactNameLookup;

// The other party of a set of calls: one address of the call history, or,
// after grouping, every address that resolved to the same display name.
// A value: the reader makes and groups them, the view keeps copies.
class QELCallLogParticipant {
public:
    QELCallLogParticipant() = default;

    // Keeps the address, adds it to addresses() and finds the display name
    // through `lookup` (the messages preferences, then the address book);
    // when neither names it, the name is the address itself, and an empty
    // address (a withheld number, a group call) is "No Caller ID".
    void setAddress(const QString& address, const QELContactNameLookup& lookup);
    // The same with the name already known (tests, lists read elsewhere); an
    // empty name is the address.
    void setAddressAndName(const QString& address, const QString& name);

    const QString& address() const { return m_address; }
    const QString& name() const { return m_name; }
    // Every address whose calls belong here: its own, then those of the
    // participants it absorbed, in the order absorbed.
    const QStringList& addresses() const { return m_addresses; }
    void setAddresses(const QStringList& addresses) { m_addresses = addresses; }

    // Absorbs `other`: its address joins addresses() and it is marked merged.
    // False, and nothing changes, when `other` is this participant.
    bool mergeWith(QELCallLogParticipant& other);

    int logCount() const { return m_logCount; }
    void setLogCount(int count) { m_logCount = count; }
    bool isMerged() const { return m_isMerged; }
    void setIsMerged(bool merged) { m_isMerged = merged; }

private:
    QString m_address;
    QString m_name;
    QStringList m_addresses;
    int m_logCount = 0;
    bool m_isMerged = false;
};

Q_DECLARE_METATYPE(QELCallLogParticipant)
