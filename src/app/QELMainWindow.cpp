#include "QELMainWindow.h"

#include "LocalizedStrings.h"

QELMainWindow::QELMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(L("APPNAME"));
    setMinimumSize(900, 600);
}
