#pragma once

#include <QString>
#include <QTemporaryDir>

// Points HOME and the XDG folders at a fresh temporary home for the whole test
// run, and sets the program's clock to run 100 times faster than real time.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    static QString home();

private:
    QTemporaryDir m_home;
};
