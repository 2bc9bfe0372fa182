#pragma once

#include <QMainWindow>

namespace Ui {
class QELOrvanePreferencesWindow;
}
class QAction;
class QToolBar;
class QELOrvanePreferencesDelegate;
class QELPreferencesView;

// The preferences window: a toolbar of three panes (Copy to Mac, General,
// Updates) over the pane area, and an OK button. A pane writes its values when
// another replaces it and when the window closes (OK or the close button).
// Main thread only.
class QELOrvanePreferencesWindowsController : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kCopyToMacToolbarButton = "CopyToMacToolbarButton";
    static constexpr const char* kGeneralToolbarButton = "GeneralToolbarButton";
    static constexpr const char* kUpdateToolbarButton = "UpdateToolbarButton";

    // Opens on the Copy to Mac pane.
    explicit QELOrvanePreferencesWindowsController(QWidget* parent = nullptr);
    ~QELOrvanePreferencesWindowsController() override;

    // Not owned; it closes the window when told.
    QELOrvanePreferencesDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELOrvanePreferencesDelegate* delegate) { m_delegate = delegate; }

    // Each shows a new pane of its kind, after the shown pane has saved.
    void ToolbarCopyToMacClicked();
    void ToolbarGeneralClicked();
    void ToolbarUpdatesClicked();
    // Saves the shown pane and tells the delegate the window is done.
    void ButtonOKClicked();

    QWidget* pagedViewContainer() const;
    QToolBar* toolbar() const;
    // The toolbar item of the given identifier (one of the three above).
    QAction* toolbarItem(const QString& identifier) const;
    // The pane on show.
    QELPreferencesView* currentPane() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void _savePreferencesForCurrentView();
    void showPane(QELPreferencesView* pane, const char* identifier);
    QAction* addToolbarItem(const char* identifier, const char* labelKey, const QIcon& icon);

    Ui::QELOrvanePreferencesWindow* m_ui;
    QELOrvanePreferencesDelegate* m_delegate = nullptr;
    bool m_finished = false;
};
