#include "QELMainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include "LocalizedStrings.h"

namespace {
const QString kGeometryKey = QStringLiteral("MainWindow/geometry");
} // namespace

QELMainWindow::QELMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(L("APPNAME"));
    setMinimumSize(900, 600);
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
