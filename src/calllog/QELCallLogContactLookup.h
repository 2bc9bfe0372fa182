// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

// Finds the display names of call-log addresses: first through the contact
// cache of the messages preferences ("_im_ab_cache", "<address>_record_id"),
// then in the address book by the exact value of a number or e-mail address,
// then (for an address without "@") by its last four characters through
// ABPhoneLastFour. Where several contacts match, the one of the lowest ROWID
// names the address.
//
// Both files are read once, when the lookup is made, over one connection,
// so naming the addresses of a whole call history costs three queries, not
// three per address. A missing or unreadable file, table or column only
// leaves the lookups that need it without an answer. Blocking: worker threads.
class QELCallLogContactLookup {
public:
    // Either path may be null (no such file in the backup).
    QELCallLogContactLookup(const QString& addressBookPath, const QString& mobileSMSPlistPath);

    // The display name of an address; a null text when nothing names it, or
    // the contact that matches has no First, Last or Organization.
    QString nameForAddress(const QString& address) const;

    // The display name of an address book row: First and Last joined by one
    // space (blanks at their ends dropped), else Organization; may be empty.
    static QString nameFromParts(const QString& first, const QString& last,
                                 const QString& organization);

    // The name that the messages preferences' cache gives the address; null: none.
    QString nameFromMobileSMSPlist(const QString& address) const;
    // The name the address book gives the address; null: none.
    QString nameFromAddressBook(const QString& address) const;

    // Whether an address book could be read (for the log of the reader).
    bool hasAddressBook() const { return m_hasAddressBook; }

private:
    void readAddressBook(const QString& path);
    void readMobileSMSPlist(const QString& path);

    bool m_hasAddressBook = false;
    // ABPerson ROWID -> display name (of people that have a value).
    QHash<qint64, QString> m_personNames;
    // ABMultiValue.value -> the ROWID of the first person holding it.
    QHash<QString, qint64> m_personByValue;
    // ABPhoneLastFour.value -> the ROWID of the first person holding it.
    QHash<QString, qint64> m_personByLastFour;
    // "<address>_record_id" keys of the messages cache -> record number text.
    QHash<QString, QString> m_cachedRecordIds;
};
