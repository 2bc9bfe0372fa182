#pragma once

// Receiver of an update check's answer.
class QELUpdateCheckerDelegate {
public:
    virtual ~QELUpdateCheckerDelegate() = default;

    // The check ended: `updateAvailable` is true when the published version is
    // newer than the running one.
    virtual void OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable) = 0;
    // The check could not tell (no answer, time-out, not a version).
    virtual void OnUpdateCheckFailed() {}
};
