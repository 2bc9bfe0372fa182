// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackDetail.h"

#include <QList>
#include <QString>

#include <functional>

class QELDeviceInterface;
class QELMediaLibraryReader;

// Adds the ringtones of a Ringtones.plist to a reader's store, as tracks of a
// "Ringtones" playlist. Worker thread.
class QELMediaLibraryRingtonesReader {
public:
    // False when the file does not exist; true otherwise, ringtones or not.
    bool readRingtonesLibraryFromLocalPathIntoMediaLibrary(const QString& path, QELMediaLibraryReader* reader);

    // The device folder of the ringtone files, as the last read decided.
    static QString ringtoneBasePath();
    static void setRingToneBasePath(const QString& path);

    // Gives each ringtone track its device path: "/iTunes_Control/Ringtones/"
    // when its file is there on the device, "/Purchases/" otherwise, decided
    // for each ringtone on its own (they may lie in both). The class's folder
    // becomes the first ringtone's.
    static void resolveRingtonePaths(const QList<TrackDetailPtr>& ringtones,
                                     const std::function<bool(const QString& devicePath)>& existsOnDevice);
    static void resolveRingtonePaths(const QList<TrackDetailPtr>& ringtones, const QELDeviceInterface& device);
};
