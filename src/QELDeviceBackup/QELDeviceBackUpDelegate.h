#pragma once

class QELDeviceBackupCompleteArguments;

// Receives the end of a backup or restore. Both events come on the backup's
// worker thread: a receiver hops to its own thread before touching a window.
class QELDeviceBackUpDelegate {
public:
    virtual ~QELDeviceBackUpDelegate() = default;
    virtual void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) { (void)arguments; }
    virtual void OnDeviceRestoreCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) { (void)arguments; }
};
