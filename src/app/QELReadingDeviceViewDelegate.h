#pragma once

// Receives the reading page's cancel request (the application delegate).
class QELReadingDeviceViewDelegate {
public:
    virtual ~QELReadingDeviceViewDelegate() = default;
    virtual void OnReadingDeviceViewCancelRequest() = 0;
};
