// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The end of a file-relay extract, sent on the extract's own thread.
class DeviceFileRelayDelegate {
public:
    virtual ~DeviceFileRelayDelegate() = default;
    virtual void OnExtractComplete() {}
    virtual void OnExtractCompleteOnErrors() {}
};
