// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "QELCallLogReaderProtocol.h"

class BackupFileSource;
class QELSQLiteDatabase;

// What the two call history readers share: the paths of the local copies,
// the one read of the call table, the participants made and grouped from it,
// and the calls of chosen participants. A subclass reads its own table.
//
// Calling order: loadCallLog() (reads every call once), then
// getCallLogParticipantList() (names the addresses), then
// getCallLogForParticipants() as often as needed. The reader reads its copy
// only; it never changes it.
class QELCallLogReader : public QELCallLogReaderProtocol {
public:
    // A null path is a file the backup does not hold.
    QELCallLogReader(const QString& callLogDbPath, const QString& contactsDbPath,
                     const QString& mobileSMSPlistPath);
    ~QELCallLogReader() override;

    // The reader of the backup's call history: the later store when the
    // backup holds one, else the older database; null when it holds neither.
    // Asks `source` for the address book and the messages preferences too.
    // Blocking: worker threads.
    static std::unique_ptr<QELCallLogReader> makeReader(BackupFileSource& source);

    // Reads every call of the call history file, as one read with one step
    // budget. False when there is no such file (callLogExists() false) or it
    // could not be read (lastError() says why: "this database is damaged:
    // ..." when a statement failed or ran out of the budget), and then no
    // call is kept. A missing address book only leaves the addresses unnamed.
    // Blocking: worker threads.
    bool loadCallLog();
    bool callLogExists() const;
    QString lastError() const { return m_lastError; }
    // The number of calls the last load read.
    qsizetype callCount() const { return m_callCount; }
    // What the last load or list could not read of the files beside the call
    // history (a damaged address book, messages preferences or global
    // preferences), one line each: the calls are all there, some names or
    // the region not.
    QStringList warnings() const { return m_warnings; }
    // The budget of one read when it is shorter than the connection's own
    // (tests, tools that must answer quickly); 0: the connection's.
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    QList<QELCallLogParticipant> getCallLogParticipantList() override;
    QList<QELCallLogEntryDetail> getCallLogForParticipants(
        const QList<QELCallLogParticipant>& participants) const override;

    // Groups participants of equal name: the first of a name (in the list's
    // order) absorbs the later ones; the holders, sorted by name.
    static QList<QELCallLogParticipant> GroupParticipantsFromDictionary(
        std::vector<QELCallLogParticipant> participants);

    QString _callLogDbPath() const { return m_callLogDbPath; }
    QString _contactsDbPath() const { return m_contactsDbPath; }
    QString _mobileSMSPlistPath() const { return m_mobileSMSPlistPath; }
    // The device's region, which numbers written without a country code
    // belong to ("GB"); empty: "US".
    void setPhoneRegion(const QString& region) { m_phoneRegion = region; }
    QString phoneRegion() const { return m_phoneRegion; }

protected:
    // One row of the call table; the entry's name is filled in later.
    using CallSink = std::function<void(QELCallLogEntryDetail&& call)>;
    // Reads the subclass's table, every row in table order, into `sink`.
    // False, with the reason in `error`, when the table is missing or its
    // rows could not all be read.
    virtual bool readCallTable(const QELSQLiteDatabase& db, const CallSink& sink,
                               QString* error) = 0;

    // A date column: whole seconds from `epochUnixSeconds`, the fraction
    // dropped; invalid for a value no date can hold.
    static QDateTime dateFromSeconds(double seconds, qint64 epochUnixSeconds);
    // A duration column in whole seconds, the fraction dropped; 0 for a
    // negative or impossible value.
    static qint64 wholeSeconds(double seconds);

private:
    QString m_callLogDbPath;
    QString m_contactsDbPath;
    QString m_mobileSMSPlistPath;
    QString m_phoneRegion;
    QString m_lastError;
    QString m_regionProblem;
    QStringList m_warnings;
    std::chrono::milliseconds m_readBudget{0};
    qsizetype m_callCount = 0;
    // Distinct addresses in the order the table first names them; the empty
    // one holds the calls without a number (withheld, group calls).
    QStringList m_addresses;
    QHash<QString, std::vector<QELCallLogEntryDetail>> m_callsByAddress;
};
