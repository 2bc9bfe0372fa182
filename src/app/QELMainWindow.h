#pragma once

#include <QMainWindow>

// The one main window; its pages are added by the application delegate.
class QELMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit QELMainWindow(QWidget* parent = nullptr);

    // Puts the window where and as large as it was when last closed (kept in
    // the settings), or at its first size when that place is off every screen.
    void restoreRememberedGeometry();
    static QSize firstSize() { return {1100, 720}; }

protected:
    void closeEvent(QCloseEvent* event) override;
};
