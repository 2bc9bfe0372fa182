// SPDX-License-Identifier: GPL-3.0-or-later
// The call log view over a generated history of 50,000 calls: the longest
// event-loop gap (a 5 ms timer's longest wait, less the 5 ms) while the view
// loads, while it shows the page of every call, and while it turns to the
// next page; aim: no gap over 50 ms. Offscreen unless QT_QPA_PLATFORM says
// otherwise.
//   bench_calllog_view [CALLS]
#include <algorithm>
#include <cstdio>
#include <functional>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QListView>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "EventLoop.h"
#include "GapMeter.h"
#include "QELCallLogView.h"
#include "QELDeviceDataCategoryLoadingView.h"

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int callCount = argc > 1 ? std::max(1, atoi(argv[1])) : 50000;
    constexpr int kAddresses = 400;

    const QString folder = home.filePath(QStringLiteral("copies"));
    QDir().mkpath(folder);
    AddressBookFixture book;
    for (int i = 0; i < kAddresses; i += 2)
        book.phone(book.person(AddressBookFixture::Person::named(QStringLiteral("First%1").arg(i),
                                                                 QStringLiteral("Last%1").arg(i))),
                   QStringLiteral("(555) 010-%1").arg(i, 4, 10, QLatin1Char('0')));
    QList<CallHistoryFixture::StoreCall> calls;
    for (int i = 0; i < callCount; ++i) {
        CallHistoryFixture::StoreCall call;
        call.address = QStringLiteral("+1555010%1").arg(i % kAddresses, 4, 10, QLatin1Char('0'));
        call.date = 600000000 + double(i) * 300;
        call.duration = double(i % 900);
        call.originated = i % 2;
        call.answered = call.duration > 0;
        calls.append(call);
    }
    QString error;
    if (!book.write(folder + QStringLiteral("/AddressBook.sqlitedb"), &error)
        || !CallHistoryFixture::writeCallHistoryStore(
            folder + QStringLiteral("/CallHistory.storedata"), {}, calls, &error)) {
        std::fprintf(stderr, "bench_calllog_view: could not write the fixtures: %s\n",
                     qPrintable(error));
        return 1;
    }

    QELCallLogView view(QRect(0, 0, 1000, 700));
    view.setViewDataPath(folder);
    view.QWidget::resize(1000, 700);
    view.show();
    GapMeter meter;
    meter.start();
    QElapsedTimer clock;
    clock.start();
    view.loadData();
    if (!runEventsUntil([&] { return view.loadingPageView() && !view.loadingPageView()->parent(); },
                        120000)) {
        std::fprintf(stderr, "bench_calllog_view: the view did not load\n");
        return 1;
    }
    const double loadSeconds = double(clock.elapsed()) / 1000;
    const double loadGap = meter.longestMs();

    // Every participant: the page of every call.
    meter.start();
    clock.restart();
    view.participantList()->selectAll();
    const bool shown = runEventsUntil(
        [&] { return view.callLogs().size() == callCount && view.buttonPrint()->isEnabled(); },
        300000);
    const double pageSeconds = double(clock.elapsed()) / 1000;
    const double pageGap = meter.longestMs();

    meter.start();
    clock.restart();
    const bool turned = view.pageCount() > 1;
    if (turned) {
        view.buttonNextPage()->click();
        runEventsUntil([&] { return view.pageIndex() == 1 && view.buttonPrint()->isEnabled(); },
                       120000);
    }
    const double turnSeconds = double(clock.elapsed()) / 1000;
    const double turnGap = meter.longestMs();

    std::printf("call log view: %d calls over %d addresses\n", callCount, kAddresses);
    std::printf("  load                     %.2f s, longest event-loop gap %.1f ms\n", loadSeconds,
                loadGap);
    std::printf("  select all, first page   %.2f s, longest event-loop gap %.1f ms (%lld pages "
                "of %lld)\n",
                pageSeconds, pageGap, static_cast<long long>(view.pageCount()),
                static_cast<long long>(QELCallLogView::kCallsPerPage));
    std::printf("  next page                %.2f s, longest event-loop gap %.1f ms\n", turnSeconds,
                turnGap);
    std::printf("  aim: no gap over 50 ms\n");
    return shown ? 0 : 1;
}
