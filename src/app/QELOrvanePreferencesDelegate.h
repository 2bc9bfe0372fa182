#pragma once

// Receiver of the preferences window's end: it closes the window and applies
// the settings that take effect at once (volume, artwork panel).
class QELOrvanePreferencesDelegate {
public:
    virtual ~QELOrvanePreferencesDelegate() = default;
    virtual void OnPreferencesWindowClose() = 0;
};
