#pragma once

// Receiver of the preferences window's end: it closes the window and applies
// the settings that take effect at once (volume, artwork panel). It may be
// called from the window's close event, so it releases the window with
// deleteLater(), never delete.
class QELOrvanePreferencesDelegate {
public:
    virtual ~QELOrvanePreferencesDelegate() = default;
    virtual void OnPreferencesWindowClose() = 0;
};
