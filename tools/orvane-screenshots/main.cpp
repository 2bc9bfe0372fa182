// Renders every page and HUD state of the shell into PNG files, so that anyone
// can look at them: orvane-screenshots <output folder>.
#include <functional>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "AppImages.h"
#include "LocalizedStrings.h"
#include "QELLookingForDeviceView.h"
#include "QELReadingDeviceView.h"
#include "QELReadingDeviceViewDelegate.h"

namespace {

QString g_output;

// Lets timers, animations and layouts settle for `ms` milliseconds.
void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget& widget, const QString& name)
{
    settle(150);
    const QString path = QDir(g_output).filePath(name + QStringLiteral(".png"));
    const bool ok = widget.grab().save(path);
    qInfo("%s %s", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

struct NoCancel : QELReadingDeviceViewDelegate {
    void OnReadingDeviceViewCancelRequest() override {}
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    g_output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(g_output);
    bool ok = true;

    // The main window's content area, as the application delegate fills it.
    QWidget window;
    window.resize(900, 560);
    window.setWindowTitle(L("APPNAME"));
    window.show();

    QELLookingForDeviceView looking;
    looking.addToSuperview(&window);
    looking.removeAllOtherSubViews();
    ok &= save(window, QStringLiteral("looking-for-device"));
    settle(5200); // the help link appears after 5 s
    ok &= save(window, QStringLiteral("looking-for-device-help"));
    looking.showEnterPasscodeBox(true);
    ok &= save(window, QStringLiteral("looking-for-device-passcode"));
    looking.showTrustDeviceBox(true);
    ok &= save(window, QStringLiteral("looking-for-device-trust"));

    NoCancel delegate;
    QELReadingDeviceView reading;
    reading.setDelegate(&delegate);
    reading.addToSuperview(&window);
    reading.removeAllOtherSubViews();
    reading.setDeviceImage(AppImages::pixmap(QStringLiteral("device-generic"), QSize(128, 128), &reading));
    reading.setDeviceTypeString(QStringLiteral("iPhone"));
    reading.setProgressText(L("READINGDEVICECONTENTS"));
    ok &= save(window, QStringLiteral("reading-device"));
    reading.setPlaylistName(QStringLiteral("Summer Road Trip"));
    ok &= save(window, QStringLiteral("reading-device-playlist"));
    reading.buttonCancelClicked();
    ok &= save(window, QStringLiteral("reading-device-cancelling"));

    return ok ? 0 : 1;
}
