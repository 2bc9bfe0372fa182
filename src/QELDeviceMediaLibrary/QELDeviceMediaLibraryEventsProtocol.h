// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceMediaLibraryReadCompleteArguments.h"

#include <QString>

// Receiver of a media-library read's events. Every event is sent on the thread
// that runs the read; a receiver with a GUI moves it to its own thread.
class QELDeviceMediaLibraryEventsProtocol {
public:
    virtual ~QELDeviceMediaLibraryEventsProtocol() = default;

    // The read ended.
    virtual void OnDeviceMediaLibaryReadCompleteEvent(const DeviceMediaLibraryReadCompleteArguments& arguments) = 0;
    // A localized progress line for the reading page.
    virtual void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) = 0;
    // The playlist being read; the empty string once the playlists are done.
    virtual void OnDeviceMediaLibraryReadPlaylistName(const QString& name) = 0;
};
