// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include "QELCallLogContactLookup.h"

// The display names of message participants: first the address book's
// full-text table (a number found within C15Phone, an e-mail address within
// C16Email), then what the call log's lookup finds (the messages
// preferences' contact cache, the exact value, the last four digits).
//
// Both files are read once, when the lookup is made, so naming every
// participant of a conversation list opens the contacts database once.
// A missing or unreadable file only leaves addresses unnamed. Blocking:
// worker threads.
class QELMessagesContactLookup {
public:
    // Either path may be null (no such file in the backup).
    QELMessagesContactLookup(const QString& addressBookPath, const QString& mobileSMSPlistPath);

    // The display name of an address; a null text when nothing names it.
    QString nameForAddress(const QString& address) const;

private:
    struct FullTextRow {
        QString first;
        QString last;
        QString organization;
        QString phone;
        QString email;
    };
    void readFullTextTable(const QString& path);
    QString nameFromFullTextTable(const QString& address) const;

    QELCallLogContactLookup m_addressBook;
    QList<FullTextRow> m_fullText;
};
