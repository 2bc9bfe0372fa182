// SPDX-License-Identifier: GPL-3.0-or-later
// Call history, read from a backup: a fortnight of made-up calls in both
// generations of the call history (a device updated from an older system
// keeps both), and the address book that names most of the callers.
#include <QFile>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

// 2024-05-20 09:00 UTC in seconds since 2001, the day of the newest call.
constexpr double kLastDay = 737888400;
constexpr double kDay = 86400;

struct DemoCall {
    const char* address;
    double daysBefore;
    double hour;
    int seconds;
    bool outgoing;
    bool faceTime;
};

const DemoCall kCalls[] = {
    {"+15550100123", 0, 0.5, 312, true, false},
    {"+442079460321", 0, 2.25, 0, false, false},
    {"bob.tanaka@example.org", 1, 8.5, 1845, true, true},
    {"+15550100123", 1, 3, 0, true, false},
    {"+15550199456", 2, 1.75, 0, false, false},
    {"+13125550187", 2, 6, 95, false, false},
    {"+442079460321", 3, 4.5, 3725, false, false},
    {"+15550100123", 4, 9.25, 65, false, false},
    {"+18005550175", 5, 0, 540, true, false},
    {"alice.moreau@example.com", 6, 10, 0, false, true},
    {"+15550100123", 7, 2, 228, true, false},
    {"+442079460321", 9, 7.5, 14, true, false},
    {"+13125550187", 11, 5, 0, true, false},
    {"+15550199456", 12, 3.5, 47, false, false},
    {"+15550100123", 13, 8, 606, false, false},
};

// The demo's one address book, which the contacts category shows too.
bool writeAddressBook(const QString& path, QString* error)
{
    return AddressBookFixture::demo().write(path, error);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool describe(DemoContext& context, QString* error)
{
    QTemporaryDir scratch;
    const QString addressBook = scratch.filePath(QStringLiteral("AddressBook.sqlitedb"));
    const QString store = scratch.filePath(QStringLiteral("CallHistory.storedata"));
    const QString older = scratch.filePath(QStringLiteral("call_history.db"));

    QList<CallHistoryFixture::StoreCall> storeCalls;
    QList<CallHistoryFixture::OldCall> olderCalls;
    // Oldest first, as the device adds them.
    for (int i = int(std::size(kCalls)) - 1; i >= 0; --i) {
        const DemoCall& call = kCalls[i];
        const double date = kLastDay - call.daysBefore * kDay + call.hour * 3600;
        CallHistoryFixture::StoreCall row;
        row.address = QString::fromLatin1(call.address);
        row.date = date;
        row.duration = call.seconds;
        row.originated = call.outgoing ? 1 : 0;
        row.answered = call.seconds > 0 ? 1 : 0;
        if (call.faceTime)
            row.faceTimeData = QByteArray("facetime");
        storeCalls.append(row);
        olderCalls.append({row.address, qint64(date) + 978307200, call.seconds,
                           4 | (call.outgoing ? 1 : 0) | (call.faceTime ? 16 : 0)});
    }
    if (!writeAddressBook(addressBook, error)
        || !CallHistoryFixture::writeCallHistoryStore(store, {}, storeCalls, error)
        || !CallHistoryFixture::writeCallHistoryDb(older, olderCalls, error))
        return false;
    context.device()
        .backupFile(QStringLiteral("HomeDomain"),
                    QStringLiteral("Library/AddressBook/AddressBook.sqlitedb"),
                    readAll(addressBook))
        .backupFile(QStringLiteral("HomeDomain"),
                    QStringLiteral("Library/CallHistoryDB/CallHistory.storedata"), readAll(store))
        .backupFile(QStringLiteral("WirelessDomain"),
                    QStringLiteral("Library/CallHistory/call_history.db"), readAll(older));
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("calllog"), describe, {}});

} // namespace

} // namespace DemoDevice
