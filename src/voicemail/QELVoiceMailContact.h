// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

// One sender of voicemails: the sender text of the voicemail index (usually
// a telephone number; empty for a withheld number) and the name shown.
class QELVoiceMailContact {
public:
    QELVoiceMailContact() = default;
    QELVoiceMailContact(const QString& sender, const QString& senderName, bool namedByAddressBook)
        : m_sender(sender)
        , m_senderName(senderName)
        , m_namedByAddressBook(namedByAddressBook)
    {
    }

    // As the index stores it; NULL reads as the empty text.
    QString sender() const { return m_sender; }
    // The address book's name, else the sender text, else the text of
    // "UNKNOWNSENDER"; never empty.
    QString senderName() const { return m_senderName; }
    // Whether the address book gave the name.
    bool namedByAddressBook() const { return m_namedByAddressBook; }
    // The sender as lists and saved files name it: a contact's name with the
    // number beside it ("Lee, Ann (+15550100111)"), else the name alone.
    QString shownName() const
    {
        if (!m_namedByAddressBook || m_sender.isEmpty())
            return m_senderName;
        return m_senderName + QStringLiteral(" (") + m_sender + QLatin1Char(')');
    }

    bool operator==(const QELVoiceMailContact& other) const = default;

private:
    QString m_sender;
    QString m_senderName;
    bool m_namedByAddressBook = false;
};

Q_DECLARE_METATYPE(QELVoiceMailContact)
