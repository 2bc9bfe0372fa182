// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The device content page's notices to the application delegate: which
// control-bar functions the shown category offers, and its search placeholder.
class QELDeviceContentViewDelegate {
public:
    virtual ~QELDeviceContentViewDelegate() = default;

    virtual void OnCopyToITunesFunctionalityAvailableNotification(bool available) = 0;
    virtual void OnBackUpFunctionalityAvailableNotification(bool available) = 0;
    virtual void OnMediaPlaybackFunctionalityAvailableNotification(bool available) = 0;
    virtual void OnSearchFunctionalityAvailableNotification(bool available) = 0;
    virtual void OnSearchPlaceholderTextNotification(const QString& placeholder) = 0;
    // Whether the shown page answers a copy to the computer; a control never
    // stays enabled for a request nobody answers.
    virtual void OnCopyToMacFunctionalityAvailableNotification(bool available) { (void)available; }
    // The user chose another category: what the last one reported is stale.
    virtual void OnCategorySwitchNotification() {}
};
