// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <mutex>

#include <QList>
#include <QString>

#include "TrackDetail.h"

class QELDeviceInterface;
class QELMediaLibraryReader;

// Adds the ringtones of a Ringtones.plist to a reader's store, as tracks of a
// "Ringtones" playlist. Worker thread.
class QELMediaLibraryRingtonesReader {
public:
    // Where a reader keeps the device folder of the ringtone files it decided.
    // Thread-safe.
    class BasePath {
    public:
        QString value() const;
        void set(const QString& path);

    private:
        mutable std::mutex m_mutex;
        QString m_value;
    };

    // `basePath` (not owned; it outlives the reader): where the ringtone
    // folder is kept; null: the program's, ringtoneBasePath().
    explicit QELMediaLibraryRingtonesReader(BasePath* basePath = nullptr);

    // False when the file does not exist; true otherwise, ringtones or not.
    bool readRingtonesLibraryFromLocalPathIntoMediaLibrary(const QString& path,
                                                           QELMediaLibraryReader* reader);

    // The program's device folder of the ringtone files, as its last read decided.
    static QString ringtoneBasePath();
    static void setRingToneBasePath(const QString& path);
    // The folder this reader keeps (the program's unless it was given another).
    QString basePath() const { return m_basePath->value(); }

    // Gives each ringtone track its device path: "/iTunes_Control/Ringtones/"
    // when its file is there on the device, "/Purchases/" otherwise, decided
    // for each ringtone on its own (they may lie in both). The reader's folder
    // becomes the first ringtone's.
    void resolveRingtonePaths(const QList<TrackDetailPtr>& ringtones,
                              const std::function<bool(const QString& devicePath)>& existsOnDevice);
    void resolveRingtonePaths(const QList<TrackDetailPtr>& ringtones,
                              const QELDeviceInterface& device);

private:
    static BasePath& programBasePath();

    BasePath* m_basePath;
};
