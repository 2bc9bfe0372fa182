#pragma once

#include "QELPreferencesView.h"

namespace Ui {
class GeneralPreferences;
}
class QCheckBox;
class QSlider;

// The General pane: preview volume, iCloud tracks, eject on exit, artwork panel.
class GeneralPreferences : public QELPreferencesView {
    Q_OBJECT
public:
    explicit GeneralPreferences(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~GeneralPreferences() override;

    void SavePreferencesInView() override;

    QCheckBox* showICloudItemsButton() const;
    QCheckBox* ejectOnExitButton() const;
    QCheckBox* showArtworkButton() const;
    QSlider* playbackVolumeSlider() const;

private:
    Ui::GeneralPreferences* m_ui;
};
