// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QThread>

#include "LocalizedStrings.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryCouldNotBeReadView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "ThreadCheck.h"

namespace {

// A backup-derived view whose worker load runs `read`: a list of rows, none
// when the data could not be read, or an exception.
class ReadingView : public QELDeviceDataCategoryContentView {
public:
    using Read = std::function<std::optional<QStringList>()>;
    explicit ReadingView(Read read)
        : QELDeviceDataCategoryContentView(QRect(0, 0, 500, 300))
        , m_read(std::move(read))
        , m_list(new QLabel(this))
    {
    }
    ~ReadingView() override { joinWorkerLoads(); }

    void loadData() override
    {
        QELDeviceDataCategoryContentView::loadData();
        startWorkerLoad([this] {
            const std::optional<QStringList> rows = m_read();
            QMetaObject::invokeMethod(
                this, [this, rows] { _workerLoadComplete(rows); }, Qt::QueuedConnection);
        });
    }
    void _workerLoadComplete(const std::optional<QStringList>& rows)
    {
        ++completions;
        if (!rows) {
            loadDataFailed(QStringLiteral("the test's read failed"));
            return;
        }
        loadDataComplete();
        m_list->setText(rows->join(QLatin1Char(',')));
        m_list->show();
    }
    bool cancelled() const { return isLoadCancelled(); }
    QLabel* list() const { return m_list; }
    int completions = 0;

private:
    Read m_read;
    QLabel* m_list;
};

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }

// The check is on, counting instead of ending the program.
class ThreadCheckCounting {
public:
    ThreadCheckCounting()
    {
        ThreadCheck::setViolationHandler([this](const char* function) {
            std::lock_guard lock(m_mutex);
            m_functions.emplace_back(function);
        });
        ThreadCheck::setEnabled(true);
    }
    ~ThreadCheckCounting()
    {
        ThreadCheck::setEnabled(false);
        ThreadCheck::setViolationHandler({});
    }
    std::vector<std::string> functions()
    {
        std::lock_guard lock(m_mutex);
        return m_functions;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_functions;
};

} // namespace

TEST(DataCategoryLoad, AFailedReadShowsCouldNotBeReadNeverAnEmptyList)
{
    struct Case {
        const char* name;
        ReadingView::Read read;
        bool failed;
    };
    const std::vector<Case> cases{
        {"rows",
         [] {
             return std::optional<QStringList>(QStringList{"a", "b"});
         },
         false},
        {"an empty but good read", [] { return std::optional<QStringList>(QStringList{}); }, false},
        {"a failed read", [] { return std::optional<QStringList>(); }, true},
        {"a read that throws",
         []() -> std::optional<QStringList> { throw std::runtime_error("bad database"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ThreadCheckCounting check;
        ReadingView view([&c] {
            // The read is what the check guards: it must run on the load's worker.
            assertNotOnGuiThread();
            return c.read();
        });
        view.show();
        view.loadData();
        ASSERT_NE(view.loadingPageView(), nullptr);
        EXPECT_EQ(view.loadingPageView()->parent(), &view);
        ASSERT_TRUE(waitFor([&] { return view.loadingPageView()->parent() == nullptr; }));
        EXPECT_EQ(view.loadFailed(), c.failed);
        EXPECT_TRUE(check.functions().empty());
        QELDeviceDataCategoryCouldNotBeReadView* failedPage = view.couldNotBeReadPageView();
        if (c.failed) {
            ASSERT_NE(failedPage, nullptr);
            EXPECT_TRUE(failedPage->isVisible());
            EXPECT_EQ(failedPage->descriptionLabel()->text(), L("CATEGORYCOULDNOTBEREAD"));
            EXPECT_NE(failedPage->descriptionLabel()->text(),
                      QStringLiteral("CATEGORYCOULDNOTBEREAD"));
            // The list under it is hidden: nothing that looks like "no data".
            EXPECT_FALSE(view.list()->isVisible());
            EXPECT_EQ(failedPage->geometry(), view.rect());
        } else {
            EXPECT_EQ(failedPage, nullptr);
            EXPECT_TRUE(view.list()->isVisible());
        }
    }
}

TEST(DataCategoryLoad, ALaterLoadThatSucceedsRemovesTheFailurePage)
{
    std::atomic<bool> fail{true};
    ReadingView view([&] {
        return fail ? std::optional<QStringList>() : std::optional<QStringList>(QStringList{"x"});
    });
    view.show();
    view.loadData();
    ASSERT_TRUE(waitFor([&] { return view.loadFailed(); }));
    QPointer<QELDeviceDataCategoryCouldNotBeReadView> failedPage = view.couldNotBeReadPageView();
    fail = false;
    view.loadData();
    EXPECT_FALSE(view.loadFailed());
    ASSERT_TRUE(waitFor([&] { return view.completions == 2 && failedPage.isNull(); }));
    EXPECT_EQ(view.couldNotBeReadPageView(), nullptr);
    EXPECT_EQ(view.list()->text(), QStringLiteral("x"));
}

TEST(DataCategoryLoad, AViewThatGoesWaitsForItsLoadAndDropsItsAnswer)
{
    std::atomic<bool> loadEnded{false};
    std::atomic<bool> loadStarted{false};
    // A load that runs until the view goes.
    ReadingView* slow = nullptr;
    slow = new ReadingView([&] {
        loadStarted = true;
        QElapsedTimer timer;
        timer.start();
        while (!slow->cancelled() && timer.elapsed() < 10000)
            QThread::yieldCurrentThread();
        loadEnded = true;
        return std::optional<QStringList>(QStringList{"late"});
    });
    slow->show();
    slow->loadData();
    ASSERT_TRUE(waitFor([&] { return loadStarted.load(); }));
    delete slow;
    EXPECT_TRUE(loadEnded);
    // Its answer, queued to a view that is gone, is dropped.
    QCoreApplication::processEvents();
}
