#pragma once

#include <memory>

#include <gtest/gtest.h>

#include <QString>

class QTemporaryDir;

// Gives every test a world of its own: before each test HOME, the XDG folders
// and the settings point at a new, empty temporary home and the program's
// clock runs at the test speed (100 times real time); after it the home is
// removed and the environment variables the test changed get their old values
// back. TestMain installs it; a test never sees another's files.
class TestEnvironment : public ::testing::EmptyTestEventListener {
public:
    // The nominal-to-real scale every test starts with.
    static constexpr double kClockScale = 0.01;

    TestEnvironment();
    ~TestEnvironment() override;

    // The running test's home (outside a test: the home of the whole run,
    // which the application object is made in).
    static QString home();

    void OnTestStart(const ::testing::TestInfo& test) override;
    void OnTestEnd(const ::testing::TestInfo& test) override;

private:
    struct Saved;
    std::unique_ptr<QTemporaryDir> m_runHome;
    std::unique_ptr<QTemporaryDir> m_testHome;
    std::unique_ptr<Saved> m_saved;
};
