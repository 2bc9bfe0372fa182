#include "TestEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

// One main for every test executable: a private home, a fast clock, and a
// headless Qt application object (widget tests need one; readers don't mind).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    TestEnvironment environment;
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    return RUN_ALL_TESTS();
}
