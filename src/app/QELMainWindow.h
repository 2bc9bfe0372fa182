#pragma once

#include <QMainWindow>

// The one main window; its pages are added by the application delegate.
class QELMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit QELMainWindow(QWidget* parent = nullptr);
};
