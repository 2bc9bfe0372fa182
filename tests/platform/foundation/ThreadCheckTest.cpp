// SPDX-License-Identifier: GPL-3.0-or-later
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ThreadCheck.h"

namespace {

void aBlockingRead() { assertNotOnGuiThread(); }

// Switches the check on with a recording handler for the test's length.
class ThreadCheckOn : public ::testing::Test {
protected:
    void SetUp() override
    {
        ThreadCheck::setViolationHandler([this](const char* function) {
            std::lock_guard lock(m_mutex);
            m_violations.emplace_back(function);
        });
    }
    void TearDown() override
    {
        ThreadCheck::setEnabled(false);
        ThreadCheck::setViolationHandler({});
    }
    std::vector<std::string> violations()
    {
        std::lock_guard lock(m_mutex);
        return m_violations;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_violations;
};

} // namespace

TEST_F(ThreadCheckOn, OnlyAnEnabledCheckOnTheGuiThreadReportsNamingTheFunction)
{
    struct Case {
        const char* name;
        bool enabled;
        bool onWorker;
        bool reported;
    };
    const std::vector<Case> cases{
        {"off, GUI thread", false, false, false},
        {"off, worker", false, true, false},
        {"on, worker", true, true, false},
        {"on, GUI thread", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ThreadCheck::setEnabled(c.enabled);
        const size_t before = violations().size();
        if (c.onWorker) {
            std::thread worker([] {
                EXPECT_FALSE(ThreadCheck::onGuiThread());
                aBlockingRead();
            });
            worker.join();
        } else {
            EXPECT_TRUE(ThreadCheck::onGuiThread());
            aBlockingRead();
        }
        const std::vector<std::string> seen = violations();
        ASSERT_EQ(seen.size(), before + (c.reported ? 1 : 0));
        if (c.reported) {
            EXPECT_NE(seen.back().find("aBlockingRead"), std::string::npos) << seen.back();
        }
    }
}
