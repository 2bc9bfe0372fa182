#include "GeneralPreferences.h"

#include "QELPreferences.h"
#include "ui_GeneralPreferences.h"

#include <QSettings>

#include <cmath>

GeneralPreferences::GeneralPreferences(const QRect& frame, QWidget* parent)
    : QELPreferencesView(frame, parent)
    , m_ui(new Ui::GeneralPreferences)
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    m_ui->playbackVolumeSlider->setValue(static_cast<int>(std::lround(QELPreferences::PlaybackVolume())));
    m_ui->showICloudItemsButton->setChecked(QELPreferences::showItemsInICloud());
    m_ui->ejectOnExitButton->setChecked(QELPreferences::ejectIPodOnExit());
    m_ui->showArtworkButton->setChecked(QELPreferences::ShowArtwork());
}

GeneralPreferences::~GeneralPreferences() { delete m_ui; }

QCheckBox* GeneralPreferences::showICloudItemsButton() const { return m_ui->showICloudItemsButton; }
QCheckBox* GeneralPreferences::ejectOnExitButton() const { return m_ui->ejectOnExitButton; }
QCheckBox* GeneralPreferences::showArtworkButton() const { return m_ui->showArtworkButton; }
QSlider* GeneralPreferences::playbackVolumeSlider() const { return m_ui->playbackVolumeSlider; }

void GeneralPreferences::SavePreferencesInView()
{
    QSettings().setValue(QELPreferences::kPlaybackVolume, static_cast<double>(m_ui->playbackVolumeSlider->value()));
    QELPreferences::setShowItemsInICloud(m_ui->showICloudItemsButton->isChecked());
    QELPreferences::setEjectIPodOnExit(m_ui->ejectOnExitButton->isChecked());
    QELPreferences::setShowArtwork(m_ui->showArtworkButton->isChecked());
}
