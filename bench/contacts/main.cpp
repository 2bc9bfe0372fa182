// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated AddressBook.sqlitedb of 10,000 people (two phones, an
// e-mail address and a postal address each, one in ten entered twice), merges
// the duplicates and exports every contact as a vCard file, as the contacts
// view's load and its export of everything do; prints the seconds of each
// step and the peak memory, then runs plain_vcards.py, a plain script doing
// the same work on the same file, for comparison.
#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "QELContactsDbReader.h"
#include "QELCopyContacts.h"
#include "QELCopyDelegate.h"

namespace {

using Steady = std::chrono::steady_clock;

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

double secondsSince(Steady::time_point start)
{
    return std::chrono::duration<double>(Steady::now() - start).count();
}

class Waiter : public QELCopyDelegate {
public:
    explicit Waiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }

private:
    QEventLoop& m_loop;
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int people = argc > 1 ? atoi(argv[1]) : 10000;

    AddressBookFixture book;
    const QString mobile = QStringLiteral("_$!<Mobile>!$_");
    const QString work = QStringLiteral("_$!<Work>!$_");
    for (int i = 0; i < people; ++i) {
        // Every tenth entry repeats the one before it, as a second account would.
        const int who = i % 10 == 9 ? i - 1 : i;
        const qint64 person = book.person(AddressBookFixture::Person::named(
            QStringLiteral("First%1").arg(who), QStringLiteral("Last%1").arg(who)));
        book.phone(person, QStringLiteral("+1555%1").arg(who, 7, 10, QLatin1Char('0')), mobile);
        book.phone(person, QStringLiteral("+1666%1").arg(i, 7, 10, QLatin1Char('0')), work);
        book.email(person, QStringLiteral("person%1@example.com").arg(who), work);
        book.address(person,
                     {{QStringLiteral("Street"), QStringLiteral("%1 Main Street").arg(who)},
                      {QStringLiteral("City"), QStringLiteral("Springfield")},
                      {QStringLiteral("ZIP"), QString::number(10000 + who % 90000)}},
                     work);
    }
    const QString path = home.filePath(QStringLiteral("AddressBook.sqlitedb"));
    QString error;
    if (!book.write(path, &error)) {
        std::fprintf(stderr, "cannot write the fixture: %s\n", qPrintable(error));
        return 1;
    }

    resetPeakMemory();
    const Steady::time_point start = Steady::now();
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
    reader->loadContacts();
    const QList<QELContactPtr> contacts = reader->getContacts();
    const double readSeconds = secondsSince(start);

    const QString folder = home.filePath(QStringLiteral("export"));
    QDir().mkpath(folder);
    QVariantList items;
    for (const QELContactPtr& contact : contacts)
        items.append(QVariant::fromValue(contact));
    const Steady::time_point exportStart = Steady::now();
    QEventLoop loop;
    Waiter waiter(loop);
    QELCopyContacts job;
    job.setDelegate(&waiter);
    job.setBaseCopyPath(folder);
    job.setItemQueue(items);
    job.startCopy();
    loop.exec();
    const double exportSeconds = secondsSince(exportStart);

    std::printf("people %d, contacts after the merge %lld, merged %d, files %lld\n", people,
                static_cast<long long>(contacts.size()), reader->mergedCount(),
                static_cast<long long>(QDir(folder).entryList(QDir::Files).size()));
    std::printf("read and merge: %.3f s\n", readSeconds);
    std::printf("vCard export: %.3f s\n", exportSeconds);
    std::printf("total: %.3f s (aim: under 1 s)\n", readSeconds + exportSeconds);
    std::printf("peak memory: %.1f MiB\n", peakMemoryMiB());

    QProcess script;
    script.start(QStringLiteral("python3"),
                 {QStringLiteral(PLAIN_SCRIPT), path, home.filePath(QStringLiteral("plain"))});
    if (!script.waitForFinished(120000) || script.exitCode() != 0) {
        std::fprintf(stderr, "the plain script did not run: %s\n",
                     script.readAllStandardError().constData());
        return 1;
    }
    std::printf("%s", script.readAllStandardOutput().constData());
    return 0;
}
