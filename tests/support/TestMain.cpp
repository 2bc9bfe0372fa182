#include <gtest/gtest.h>

#include <QApplication>

#include "TestEnvironment.h"

// One main for every test executable: a headless Qt application object
// (widget tests need one; readers don't mind), and for every test a fresh
// home and clock, so each test passes alone, in any order, and repeated.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Owned by GoogleTest once appended; it outlives the application object.
    auto* environment = new TestEnvironment;
    // The web views' engine, loaded from a module once a page is shown,
    // shares its OpenGL contexts with the application's, which must know
    // before it starts.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    ::testing::UnitTest::GetInstance()->listeners().Append(environment);
    return RUN_ALL_TESTS();
}
