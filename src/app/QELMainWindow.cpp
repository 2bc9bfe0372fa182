#include "QELMainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QScreen>
#include <QSettings>

#include "LocalizedStrings.h"
#include "OpenGLAvailability.h"

namespace {
const QString kGeometryKey = QStringLiteral("MainWindow/geometry");
} // namespace

QELMainWindow::QELMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(L("APPNAME"));
    setMinimumSize(900, 600);
    // A web page's view draws through OpenGL where it can. Were the window
    // made for plain drawing, Qt would destroy it and make it anew when the
    // first page is shown: it would vanish and come back elsewhere. A hidden
    // OpenGL child makes it fit for both from the start. Without OpenGL the
    // pages draw in software (QELWebViewModule) and the window stays as it
    // is; a child that asks for OpenGL there would crash it.
    if (openGLContextsCanBeMade()) {
        auto* surface = new QOpenGLWidget(this);
        surface->setObjectName(QStringLiteral("webPageSurfaceHolder"));
        surface->setAttribute(Qt::WA_TransparentForMouseEvents);
        surface->setFixedSize(1, 1);
        surface->hide();
    }
}

void QELMainWindow::restoreRememberedGeometry()
{
    const QByteArray saved = QSettings().value(kGeometryKey).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved))
        resize(firstSize());
    // A screen that has gone since (a monitor unplugged) must not keep the window out of sight.
    const QRect frame = frameGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame))
            return;
    }
    resize(firstSize());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void QELMainWindow::closeEvent(QCloseEvent* event)
{
    QSettings().setValue(kGeometryKey, saveGeometry());
    QMainWindow::closeEvent(event);
}
