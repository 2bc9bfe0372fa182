// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;

// Finds the contact of the device's address book that an address of the call
// history, the messages or the voicemail index belongs to. One lookup for all
// three, so that a caller is named alike everywhere.
//
// Telephone numbers are compared as telephone numbers: both sides are brought
// to their international form (country code and the whole national
// significant number) with the device's region standing in for a number
// written without a country code, so "+1 555 010-0111", "(555) 010-0111" and
// "15550100111" are one number, while two numbers that merely end alike are
// not. E-mail addresses are compared without regard to case; a text that is
// neither (a short code that does not parse, a name) only matches itself.
// An address that nothing matches has no contact; the caller shows the
// address itself.
//
// The sources, in order: the messages preferences' contact cache
// ("_im_ab_cache", "<address>_record_id"), the address book's values
// (ABMultiValue phone numbers and e-mail addresses), then its full-text
// index (ABPersonFullTextSearch_content, whose phone column holds the
// numbers in several forms). Where several contacts hold one number, the one
// of the lowest row names it, so a file always gives one answer.
//
// Both files are read once, when the lookup is made, as one read of the
// address book (one step budget for all its statements); a missing or
// unreadable file, table or column only leaves the lookups that need it
// without an answer, and problems() says which file could not be read.
// Blocking (reads SQLite): worker threads. Afterwards const and usable from
// any thread.
class QELContactNameLookup {
public:
    // The parts of a contact's name as the address book holds them.
    struct Contact {
        QString first;
        QString last;
        QString organization;
        // "First Last" (blanks at the ends dropped), else the organisation; may
        // be empty (a contact with no name).
        QString displayName() const;
    };

    // Either path may be null (no such file in the backup). `region` is the
    // device's region ("GB", "DE"); empty: "US".
    QELContactNameLookup(const QString& addressBookPath, const QString& mobileSMSPlistPath,
                         const QString& region = QString());

    // The contact an address belongs to; none when nothing matches.
    std::optional<Contact> contactForAddress(const QString& address) const;
    // Its display name; a null text when nothing matches or the contact that
    // matches has no First, Last or Organization.
    QString nameForAddress(const QString& address) const;

    // First and Last joined by one space (blanks at their ends dropped), else
    // Organization; may be empty.
    static QString nameFromParts(const QString& first, const QString& last,
                                 const QString& organization);

    // What an address is compared by: a telephone number as "+<country
    // code><national significant number>", an e-mail address in lower case,
    // anything else trimmed as it is. Empty for an empty address.
    static QString matchKey(const QString& address, const QString& region);

    // The region of a locale name as the device writes it ("en_GB",
    // "de-DE", "fr_CA@calendar=gregorian"); "US" when it names none.
    static QString regionFromLocale(const QString& locale);
    // The region of the device's global preferences (its "AppleLocale");
    // "US" when the file, the key or the region is missing, and also when the
    // file is damaged, which `problem` then says (cleared otherwise).
    static QString regionFromGlobalPreferences(const QString& plistPath,
                                               QString* problem = nullptr);
    // Where the device keeps those preferences (in "HomeDomain").
    static QString globalPreferencesPath();

    const QString& region() const { return m_region; }
    // Whether an address book could be read (for the log of a reader).
    bool hasAddressBook() const { return m_hasAddressBook; }
    // One line for each file that is there but could not be read ("the
    // messages preferences com.apple.MobileSMS.plist are damaged: ..."); the
    // lookups go on without it. Empty when everything there was read.
    QStringList problems() const { return m_problems; }

private:
    void readAddressBook(const QString& path);
    void readFullTextIndex(sqlite3* handle, const QString& fileName);
    void readMobileSMSPlist(const QString& path);
    void addKey(const QString& key, qint64 person);

    QString m_region;
    bool m_hasAddressBook = false;
    QStringList m_problems;
    // ABPerson ROWID -> its name parts.
    QHash<qint64, Contact> m_people;
    // matchKey of a value -> the lowest ROWID holding it.
    QHash<QString, qint64> m_personByKey;
    // "<address>_record_id" keys of the messages cache -> record number text.
    QHash<QString, QString> m_cachedRecordIds;
};
