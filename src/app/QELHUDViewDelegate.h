#pragma once

// Receives the HUD's request to cancel the running copy (the application delegate).
class QELHUDViewDelegate {
public:
    virtual ~QELHUDViewDelegate() = default;
    virtual void OnUserCancelCopyEvent() = 0;
};
