#pragma once

#include "QELPreferencesView.h"
#include "QELUpdateCheckerDelegate.h"

namespace Ui {
class UpdatePreferences;
}
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QELUpdateChecker;

// The Updates pane: check at start-up, check now, and the download link when
// a newer version is out.
class UpdatePreferences : public QELPreferencesView, public QELUpdateCheckerDelegate {
    Q_OBJECT
public:
    explicit UpdatePreferences(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~UpdatePreferences() override;

    void SavePreferencesInView() override;

    // Starts a check, with the pane's checker (made on first use).
    void preferencesUpdateButtonClicked();
    // Opens the download page ("UPDATEURL") in the browser.
    void downloadUpdateButtonClicked();

    void OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable) override;
    void OnUpdateCheckFailed() override;

    // The pane's checker, made on first use.
    QELUpdateChecker* updateChecker();

    QGroupBox* updateAvailableBox() const;
    QLabel* noUpdateAvailableLabel() const;
    QLabel* updateCheckFailedLabel() const;
    QCheckBox* automaticallyCheckForUpdateCheckbox() const;
    QPushButton* preferencesUpdateButton() const;
    QPushButton* downloadUpdateButton() const;

private:
    Ui::UpdatePreferences* m_ui;
    QELUpdateChecker* _updateChecker = nullptr;
};
