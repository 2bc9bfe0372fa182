#include "QELMainWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));

    QELMainWindow window;
    window.show();

    // For smoke tests: quit by itself after the given number of milliseconds.
    const int quitAfter = qEnvironmentVariableIntValue("ORVANE_QUIT_AFTER_MS");
    if (quitAfter > 0)
        QTimer::singleShot(quitAfter, &app, &QApplication::quit);
    return app.exec();
}
