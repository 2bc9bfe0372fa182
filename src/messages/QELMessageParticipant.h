// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QELContactNameLookup;

// One person of a conversation: the address the message database keeps and
// the name shown for it.
class QELMessageParticipant {
public:
    // A participant whose address no contact names (WhatsApp's).
    QELMessageParticipant() = default;
    // A participant named through `lookup` (not owned; used only by setAddress).
    explicit QELMessageParticipant(const QELContactNameLookup* lookup)
        : m_lookup(lookup)
    {
    }

    // Keeps the address and names it: the contact's name, else the address.
    void setAddress(const QString& address);
    QString address() const { return m_address; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

private:
    const QELContactNameLookup* m_lookup = nullptr;
    QString m_name;
    QString m_address;
};
