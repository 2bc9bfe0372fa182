#pragma once

// Receives the HUD's requests (the application delegate): cancel the running
// copy, show the folder of a finished one.
class QELHUDViewDelegate {
public:
    virtual ~QELHUDViewDelegate() = default;
    virtual void OnUserCancelCopyEvent() = 0;
    // The message of a finished copy asks to show the folder it went into.
    virtual void OnShowFolderRequest(const QString& folder) { (void)folder; }
};
