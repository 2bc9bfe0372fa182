// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated CallHistory.storedata of 100,000 calls over 2,000
// addresses, names the participants from an address book of 2,000 people,
// and gathers the calls of every participant, as the call log view's load
// and its copy of everything do; prints the seconds and the peak memory.
#include <chrono>
#include <cstdio>
#include <random>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "QELCallLogStoreDataReader.h"

namespace {

// Peak resident memory (VmHWM) in MiB.
double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Starts a new peak measurement (Linux: writing 5 resets VmHWM).
void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

QString number(int i) { return QStringLiteral("+1555%1").arg(i, 7, 10, QLatin1Char('0')); }

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int callCount = argc > 1 ? atoi(argv[1]) : 100000;
    const int addressCount = argc > 2 ? atoi(argv[2]) : 2000;

    // Half the numbers are stored as the device formats them, so half the
    // names come from comparing the numbers as numbers, as on a real device.
    AddressBookFixture book;
    for (int i = 0; i < addressCount; ++i) {
        const qint64 person = book.person(AddressBookFixture::Person::named(
            QStringLiteral("First%1").arg(i), QStringLiteral("Last%1").arg(i)));
        book.phone(person,
                   i % 2 ? number(i) : QStringLiteral("(555) %1").arg(i, 7, 10, QLatin1Char('0')));
        book.email(person, QStringLiteral("person%1@example.com").arg(i));
    }
    const QString addressBook = home.filePath(QStringLiteral("AddressBook.sqlitedb"));
    QList<CallHistoryFixture::StoreCall> calls;
    calls.reserve(callCount);
    std::mt19937 random(42);
    for (int i = 0; i < callCount; ++i) {
        CallHistoryFixture::StoreCall call;
        call.address = number(int(random() % unsigned(addressCount)));
        call.date = 600000000 + double(i) * 300;
        call.duration = double(random() % 900);
        call.originated = int(random() % 2);
        call.answered = call.duration > 0;
        calls.append(call);
    }
    const QString store = home.filePath(QStringLiteral("CallHistory.storedata"));
    QString error;
    if (!book.write(addressBook, &error)
        || !CallHistoryFixture::writeCallHistoryStore(store, {}, calls, &error)) {
        std::fprintf(stderr, "bench_calllog: could not write the fixtures: %s\n",
                     qPrintable(error));
        return 1;
    }
    calls.clear();

    resetPeakMemory();
    const double before = peakMemoryMiB();
    const auto start = std::chrono::steady_clock::now();
    QELCallLogStoreDataReader reader(store, addressBook, QString());
    if (!reader.loadCallLog()) {
        std::fprintf(stderr, "bench_calllog: %s\n", qPrintable(reader.lastError()));
        return 1;
    }
    const auto loaded = std::chrono::steady_clock::now();
    const QList<QELCallLogParticipant> participants = reader.getCallLogParticipantList();
    const auto listed = std::chrono::steady_clock::now();
    const QList<QELCallLogEntryDetail> all = reader.getCallLogForParticipants(participants);
    const auto end = std::chrono::steady_clock::now();
    auto seconds = [](auto from, auto to) {
        return std::chrono::duration<double>(to - from).count();
    };

    std::printf("call log: %d calls over %d addresses, address book of %d people\n", callCount,
                addressCount, addressCount);
    std::printf("  read the call table      %.3f s\n", seconds(start, loaded));
    std::printf("  participant list         %.3f s (%lld participants)\n", seconds(loaded, listed),
                static_cast<long long>(participants.size()));
    std::printf("  calls of all of them     %.3f s (%lld calls)\n", seconds(listed, end),
                static_cast<long long>(all.size()));
    std::printf("  total                    %.3f s (aim: under 1 s)\n", seconds(start, end));
    std::printf("  peak memory              %.1f MiB (%.1f MiB before the read)\n", peakMemoryMiB(),
                before);
    return all.size() == callCount ? 0 : 1;
}
