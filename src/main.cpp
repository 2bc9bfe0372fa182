#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "Orvane11AppDelegate.h"
#include "QELMainWindow.h"
#include "ThreadCheck.h"

int main(int argc, char* argv[])
{
    // The web views' engine, loaded from a module once a page is shown,
    // shares its OpenGL contexts with the application's, which must know
    // before it starts.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // The desktop entry's name: the desktop finds the window's icon and entry by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.orvane.Orvane"),
                                                 QIcon(QStringLiteral(":/images/orvane.svg"))));

    QELMainWindow window;
    window.restoreRememberedGeometry();
    Orvane11AppDelegate delegate(&window, Orvane11AppDelegate::defaultEnvironment());
    window.show();
#ifndef QT_NO_DEBUG
    // Debug builds stop at a blocking read on the GUI thread, once there is a window to freeze.
    ThreadCheck::setEnabled(true);
#endif
    QTimer::singleShot(0, &delegate, &Orvane11AppDelegate::applicationDidFinishLaunching);

    // For smoke tests: close the window (which runs the shutdown) after the
    // given number of milliseconds.
    const int quitAfter = qEnvironmentVariableIntValue("ORVANE_QUIT_AFTER_MS");
    if (quitAfter > 0)
        QTimer::singleShot(quitAfter, &window, &QWidget::close);
    return app.exec();
}
