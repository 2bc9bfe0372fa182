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
#include "QELDeviceDataCategoryCouldNotBeReadView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELHUDView.h"
#include "QELHUDViewDelegate.h"
#include "QELImageAndTextCell.h"
#include "QELLookingForDeviceView.h"
#include "QELMediaPlayerProgressEventArgs.h"
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
    settle(450);
    const QString path = QDir(g_output).filePath(name + QStringLiteral(".png"));
    const bool ok = widget.grab().save(path);
    qInfo("%s %s", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

struct NoCancel : QELReadingDeviceViewDelegate {
    void OnReadingDeviceViewCancelRequest() override {}
};

struct NoCopyCancel : QELHUDViewDelegate {
    void OnUserCancelCopyEvent() override {}
};

QELMediaPlayerProgressEventArgs playbackTick()
{
    QELMediaPlayerProgressEventArgs tick(83000, 245000);
    tick.setTrackName(QStringLiteral("Harbour Lights (Live at the Old Mill)"));
    tick.setArtist(QStringLiteral("The Lantern Keepers"));
    tick.setTimeCurrent(QStringLiteral("01:23"));
    tick.setTimeRemaining(QStringLiteral("02:42"));
    return tick;
}

// The HUD as it sits in the window's control bar.
bool saveHudStates()
{
    bool ok = true;
    QWidget bar;
    bar.resize(520, 84);
    bar.setObjectName(QStringLiteral("controlBar"));
    bar.setStyleSheet(QStringLiteral("#controlBar { background: #d9d9de; }"));
    NoCopyCancel delegate;
    auto* hud = new QELHUDView(QRect(30, 10, 460, 64), &bar);
    hud->setDelegate(&delegate);
    bar.show();
    ok &= save(bar, QStringLiteral("hud-welcome"));
    hud->setHUDInformationTopStringBottomString(QStringLiteral("Reading device contents"),
                                                QStringLiteral("Please wait…"));
    ok &= save(bar, QStringLiteral("hud-information"));
    hud->setHUDProgressIntermittentWithText(QStringLiteral("Reading the media library…"));
    ok &= save(bar, QStringLiteral("hud-progress-indeterminate"));
    hud->setHUDProgressToOfMaximumWithText(42, 100, QStringLiteral("Reading track information…"));
    ok &= save(bar, QStringLiteral("hud-progress"));
    hud->setHUDPlaybackProgress(playbackTick());
    ok &= save(bar, QStringLiteral("hud-playback"));
    hud->setPlaybackCaching(true);
    ok &= save(bar, QStringLiteral("hud-playback-caching"));
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(
        L("COPYINGTOMAC"), QStringLiteral("Harbour Lights (Live at the Old Mill).m4a"), 3, 10);
    ok &= save(bar, QStringLiteral("hud-copy"));
    hud->copyProgressCancelClicked();
    ok &= save(bar, QStringLiteral("hud-copy-cancelling"));
    hud->clearHUD();
    ok &= save(bar, QStringLiteral("hud-blank"));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // The web views' engine, loaded from a module once a page is shown,
    // shares its OpenGL contexts with the application's, which must know
    // before it starts.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
    reading.setDeviceImage(
        AppImages::pixmap(QStringLiteral("device-generic"), QSize(128, 128), &reading));
    reading.setDeviceTypeString(QStringLiteral("iPhone"));
    reading.setProgressText(L("READINGDEVICECONTENTS"));
    ok &= save(window, QStringLiteral("reading-device"));
    reading.setPlaylistName(QStringLiteral("Summer Road Trip"));
    ok &= save(window, QStringLiteral("reading-device-playlist"));
    reading.buttonCancelClicked();
    ok &= save(window, QStringLiteral("reading-device-cancelling"));

    // The pages a backup-derived category shows while it loads and when its
    // data could not be read.
    QELDeviceDataCategoryLoadingView loading(window.rect());
    loading.addToSuperview(&window);
    loading.removeAllOtherSubViews();
    ok &= save(window, QStringLiteral("category-loading"));
    QELDeviceDataCategoryCouldNotBeReadView couldNotBeRead(window.rect());
    couldNotBeRead.addToSuperview(&window);
    couldNotBeRead.removeAllOtherSubViews();
    ok &= save(window, QStringLiteral("category-could-not-be-read"));

    ok &= saveHudStates();
    return ok ? 0 : 1;
}
