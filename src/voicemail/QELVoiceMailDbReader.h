// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "QELVoiceMailContact.h"
#include "QELVoiceMailItem.h"

class BackupFileSource;
class QELContactNameLookup;
class QELVoiceMailStore;

// Reads the voicemail index (voicemail.db) into the private store: one
// sender per distinct sender text, named from the address book where it has
// the sender, and the sender's voicemails, read in one pass in row order (a
// sender whose text is not valid UTF-8 keeps its voicemails); a withheld or
// empty sender is kept under "UNKNOWNSENDER".
//
// Calling order: make, loadVoiceMail() once (worker threads), then
// getContacts() and getVoiceMailsForSenderId() any number of times from any
// one thread: after the load they answer from memory, without SQLite.
class QELVoiceMailDbReader {
public:
    // A null path is a file the backup does not hold. The store goes to
    // `storePath` (empty: in memory). Null, with the reason, when no store
    // could be made.
    static std::unique_ptr<QELVoiceMailDbReader> initWithVoiceMailDbPathAndAddressBookDbPath(
        const QString& voiceMailDbPath, const QString& addressBookDbPath, const QString& storePath,
        QString* error = nullptr);
    // The reader of a source's voicemail index and address book, with the
    // store "voicemail.dat" of the temporary folder. Blocking.
    static std::unique_ptr<QELVoiceMailDbReader> makeReader(BackupFileSource& source,
                                                            QString* error = nullptr);
    ~QELVoiceMailDbReader();

    // Fills the store, reading the index (and the address book) as one read
    // with one step budget. False when there is no index (voiceMailExists()
    // false) or it could not be read: not a database, no voicemail table, or
    // a statement that failed or ran out of the budget ("this database is
    // damaged: ..."); lastError() says why, and no voicemail is kept.
    // Blocking: worker threads.
    bool loadVoiceMail();
    bool voiceMailExists() const;
    QString lastError() const { return m_lastError; }
    // What the last load could not read of the files beside the index (a
    // damaged address book or global preferences), one line each: the
    // voicemails are all there, some names or the region not.
    QStringList warnings() const { return m_warnings; }
    // The budget of one read when it is shorter than the connection's own
    // (tests, tools that must answer quickly); 0: the connection's.
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    // Every sender, by senderName in plain text order.
    QList<QELVoiceMailContact> getContacts() const { return m_contacts; }
    // The voicemails of the sender whose text equals `sender`; empty when
    // no sender matches.
    QList<QELVoiceMailItem> getVoiceMailsForSenderId(const QString& sender) const;

    // The address book's name of a sender, "Last, First" (or the one of them
    // it has, else the organisation), through the shared contacts lookup: a
    // number matches the contact holding the same number in any form, an
    // e-mail address the same address; the empty text when nothing matches.
    // Blocking.
    QString _addressForSenderId(const QString& sender);
    // The device's region, for numbers written without a country code; empty: "US".
    void setPhoneRegion(const QString& region) { m_phoneRegion = region; }

    QString _dbPath() const { return m_dbPath; }
    QString _abDbPath() const { return m_abDbPath; }
    QELVoiceMailStore* store() const { return m_store.get(); }

private:
    QELVoiceMailDbReader(const QString& voiceMailDbPath, const QString& addressBookDbPath);
    bool fail(const QString& why);

    QString m_dbPath;
    QString m_abDbPath;
    QString m_lastError;
    std::unique_ptr<QELVoiceMailStore> m_store;
    QString m_phoneRegion;
    QString m_regionProblem;
    QStringList m_warnings;
    std::chrono::milliseconds m_readBudget{0};
    std::unique_ptr<QELContactNameLookup> m_addressBook;
    QList<QELVoiceMailContact> m_contacts;
    QHash<QString, QList<QELVoiceMailItem>> m_itemsBySender;
};
