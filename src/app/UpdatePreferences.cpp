#include "UpdatePreferences.h"

#include "LocalizedStrings.h"
#include "QELPreferences.h"
#include "QELUpdateChecker.h"
#include "ui_UpdatePreferences.h"

#include <QDesktopServices>
#include <QUrl>

UpdatePreferences::UpdatePreferences(const QRect& frame, QWidget* parent)
    : QELPreferencesView(frame, parent)
    , m_ui(new Ui::UpdatePreferences)
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    m_ui->updateAvailableBox->hide();
    m_ui->noUpdateAvailableLabel->hide();
    m_ui->updateCheckFailedLabel->hide();
    m_ui->automaticallyCheckForUpdateCheckbox->setChecked(QELPreferences::checkForUpdatesOnStartUp());
    connect(m_ui->preferencesUpdateButton, &QPushButton::clicked, this,
            &UpdatePreferences::preferencesUpdateButtonClicked);
    connect(m_ui->downloadUpdateButton, &QPushButton::clicked, this, &UpdatePreferences::downloadUpdateButtonClicked);
}

UpdatePreferences::~UpdatePreferences()
{
    // The checker's answer must not reach a pane that is going away.
    if (_updateChecker)
        _updateChecker->setDelegate(nullptr);
    delete m_ui;
}

QGroupBox* UpdatePreferences::updateAvailableBox() const { return m_ui->updateAvailableBox; }
QLabel* UpdatePreferences::noUpdateAvailableLabel() const { return m_ui->noUpdateAvailableLabel; }
QLabel* UpdatePreferences::updateCheckFailedLabel() const { return m_ui->updateCheckFailedLabel; }
QCheckBox* UpdatePreferences::automaticallyCheckForUpdateCheckbox() const { return m_ui->automaticallyCheckForUpdateCheckbox; }
QPushButton* UpdatePreferences::preferencesUpdateButton() const { return m_ui->preferencesUpdateButton; }
QPushButton* UpdatePreferences::downloadUpdateButton() const { return m_ui->downloadUpdateButton; }

QELUpdateChecker* UpdatePreferences::updateChecker()
{
    if (!_updateChecker) {
        _updateChecker = new QELUpdateChecker(this);
        _updateChecker->setDelegate(this);
    }
    return _updateChecker;
}

void UpdatePreferences::SavePreferencesInView()
{
    QELPreferences::setCheckForUpdatesOnStartUp(m_ui->automaticallyCheckForUpdateCheckbox->isChecked());
}

void UpdatePreferences::preferencesUpdateButtonClicked()
{
    m_ui->updateCheckFailedLabel->hide();
    updateChecker()->startCheckingForUpdate();
}

void UpdatePreferences::OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable)
{
    m_ui->updateCheckFailedLabel->hide();
    m_ui->updateAvailableBox->setVisible(updateAvailable);
    m_ui->noUpdateAvailableLabel->setVisible(!updateAvailable);
}

void UpdatePreferences::OnUpdateCheckFailed()
{
    // Tell the user the check did not work, rather than leave the button mute.
    m_ui->updateAvailableBox->hide();
    m_ui->noUpdateAvailableLabel->hide();
    m_ui->updateCheckFailedLabel->show();
}

void UpdatePreferences::downloadUpdateButtonClicked()
{
    QDesktopServices::openUrl(QUrl(L("UPDATEURL")));
}
