// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogReader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFileInfo>
#include <QSet>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "Log.h"
#include "QELCallLogDbReader.h"
#include "QELCallLogStoreDataReader.h"
#include "QELContactNameLookup.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

// Backup data types.
constexpr int kAddressBook = 0;
constexpr int kCallHistoryDb = 9;
constexpr int kMobileSMSPlist = 12;
constexpr int kCallHistoryStore = 15;

// About 3 million years: well past what QDateTime holds, far below where a
// double stops holding whole seconds.
constexpr double kLargestSeconds = 1e14;

} // namespace

QELCallLogReader::QELCallLogReader(const QString& callLogDbPath, const QString& contactsDbPath,
                                   const QString& mobileSMSPlistPath)
    : m_callLogDbPath(callLogDbPath)
    , m_contactsDbPath(contactsDbPath)
    , m_mobileSMSPlistPath(mobileSMSPlistPath)
{
}

QELCallLogReader::~QELCallLogReader() = default;

std::unique_ptr<QELCallLogReader> QELCallLogReader::makeReader(BackupFileSource& source)
{
    assertNotOnGuiThread();
    const QString addressBook = source.GetPathToDataOfType(kAddressBook);
    const QString mobileSMS = source.GetPathToDataOfType(kMobileSMSPlist);
    // The call history is read with or without an address book: without one
    // the participants are named by their addresses.
    std::unique_ptr<QELCallLogReader> reader;
    const QString store = source.GetPathToDataOfType(kCallHistoryStore);
    if (!store.isEmpty() && QFileInfo::exists(store)) {
        reader = std::make_unique<QELCallLogStoreDataReader>(store, addressBook, mobileSMS);
    } else {
        const QString older = source.GetPathToDataOfType(kCallHistoryDb);
        if (older.isEmpty() || !QFileInfo::exists(older))
            return nullptr;
        reader = std::make_unique<QELCallLogDbReader>(older, addressBook, mobileSMS);
    }
    reader->setPhoneRegion(QELContactNameLookup::regionFromGlobalPreferences(
        source.GetPathForDeviceFileNameInDomain(QELContactNameLookup::globalPreferencesPath(),
                                                QStringLiteral("HomeDomain")),
        &reader->m_regionProblem));
    return reader;
}

bool QELCallLogReader::callLogExists() const
{
    return !m_callLogDbPath.isEmpty() && QFileInfo(m_callLogDbPath).isFile();
}

bool QELCallLogReader::loadCallLog()
{
    assertNotOnGuiThread();
    m_lastError.clear();
    m_addresses.clear();
    m_callsByAddress.clear();
    m_callCount = 0;
    m_warnings.clear();
    if (!m_regionProblem.isEmpty())
        m_warnings.append(m_regionProblem);
    if (!callLogExists()) {
        m_lastError = QStringLiteral("the backup holds no call history");
        return false;
    }
    if (!m_contactsDbPath.isEmpty() && !QFileInfo::exists(m_contactsDbPath))
        m_contactsDbPath.clear();

    // Every statement of the load shares one budget, and the first that fails
    // ends it: a call history read in part would look whole.
    const QELSQLiteStepBudget::Read whole(m_readBudget);
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_callLogDbPath, &error);
    if (!db.isOpen()) {
        m_lastError = QStringLiteral("the call history could not be opened: ") + error;
        return false;
    }
    const bool read = readCallTable(
        db,
        [this](QELCallLogEntryDetail&& call) {
            ++m_callCount;
            const QString address = call.address();
            auto calls = m_callsByAddress.find(address);
            if (calls == m_callsByAddress.end()) {
                m_addresses.append(address);
                calls = m_callsByAddress.insert(address, {});
            }
            calls->push_back(std::move(call));
        },
        &error);
    if (!read || whole.failed()) {
        m_lastError = whole.failed()
            ? whole.error()
            : QStringLiteral("the call history could not be read: ") + error;
        m_addresses.clear();
        m_callsByAddress.clear();
        m_callCount = 0;
        return false;
    }
    return true;
}

QList<QELCallLogParticipant> QELCallLogReader::getCallLogParticipantList()
{
    assertNotOnGuiThread();
    const QELSQLiteStepBudget::Read whole(m_readBudget);
    const QELContactNameLookup lookup(m_contactsDbPath, m_mobileSMSPlistPath, m_phoneRegion);
    for (const QString& problem : lookup.problems()) {
        if (!m_warnings.contains(problem))
            m_warnings.append(problem);
    }
    std::vector<QELCallLogParticipant> participants;
    participants.reserve(size_t(m_addresses.size()));
    for (const QString& address : std::as_const(m_addresses)) {
        QELCallLogParticipant participant;
        participant.setLogCount(1);
        participant.setAddress(address, lookup);
        participants.push_back(std::move(participant));
    }
    return GroupParticipantsFromDictionary(std::move(participants));
}

QList<QELCallLogParticipant> QELCallLogReader::GroupParticipantsFromDictionary(
    std::vector<QELCallLogParticipant> participants)
{
    QHash<QString, size_t> holderOfName;
    for (size_t i = 0; i < participants.size(); ++i) {
        const auto holder = holderOfName.constFind(participants[i].name());
        if (holder == holderOfName.cend())
            holderOfName.insert(participants[i].name(), i);
        else
            participants[*holder].mergeWith(participants[i]);
    }
    QList<QELCallLogParticipant> result;
    result.reserve(holderOfName.size());
    for (QELCallLogParticipant& participant : participants) {
        if (!participant.isMerged())
            result.append(std::move(participant));
    }
    // Names are unique here; the view sorts again by its own name order.
    std::sort(result.begin(), result.end(),
              [](const QELCallLogParticipant& a, const QELCallLogParticipant& b) {
                  return a.name() < b.name();
              });
    return result;
}

QList<QELCallLogEntryDetail> QELCallLogReader::getCallLogForParticipants(
    const QList<QELCallLogParticipant>& participants) const
{
    struct Sorted {
        qint64 key;
        const QELCallLogEntryDetail* call;
        QString name;
    };
    std::vector<Sorted> sorted;
    QSet<QString> seen;
    for (const QELCallLogParticipant& participant : participants) {
        for (const QString& address : participant.addresses()) {
            if (seen.contains(address))
                continue;
            seen.insert(address);
            const auto calls = m_callsByAddress.constFind(address);
            if (calls == m_callsByAddress.cend())
                continue;
            for (const QELCallLogEntryDetail& call : *calls) {
                const qint64 key = call.date().isValid() ? call.date().toMSecsSinceEpoch()
                                                         : std::numeric_limits<qint64>::min();
                sorted.push_back({key, &call, participant.name()});
            }
        }
    }
    // Newest first; one date's calls by address, each address's in table order.
    std::stable_sort(sorted.begin(), sorted.end(), [](const Sorted& a, const Sorted& b) {
        if (a.key != b.key)
            return a.key > b.key;
        return a.call->address() < b.call->address();
    });
    QList<QELCallLogEntryDetail> result;
    result.reserve(qsizetype(sorted.size()));
    for (const Sorted& entry : sorted) {
        QELCallLogEntryDetail call = *entry.call;
        call.setName(entry.name);
        result.append(std::move(call));
    }
    return result;
}

QDateTime QELCallLogReader::dateFromSeconds(double seconds, qint64 epochUnixSeconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestSeconds)
        return {};
    return DeviceTime::fromUnixSeconds(epochUnixSeconds + qint64(std::trunc(seconds)));
}

qint64 QELCallLogReader::wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > kLargestSeconds)
        return 0;
    return qint64(std::trunc(seconds));
}
