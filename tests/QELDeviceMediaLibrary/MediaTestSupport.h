// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "QELDeviceMediaLibraryEventsProtocol.h"
#include "TrackDetail.h"
#include "Playlist.h"

// Records every event a read sends.
class RecordingDelegate : public QELDeviceMediaLibraryEventsProtocol {
public:
    void OnDeviceMediaLibaryReadCompleteEvent(const DeviceMediaLibraryReadCompleteArguments& arguments) override
    {
        completions.append(arguments.readSuccesfull());
        errors.append(arguments.errorInformation());
    }
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override { progressLines.append(progress); }
    void OnDeviceMediaLibraryReadPlaylistName(const QString& name) override { playlistNames.append(name); }

    QList<bool> completions;
    QStringList errors;
    QStringList progressLines;
    QStringList playlistNames;
};

inline QStringList idsOf(const QList<TrackDetailPtr>& tracks)
{
    QStringList ids;
    for (const TrackDetailPtr& t : tracks)
        ids.append(t->persistentID);
    return ids;
}

inline QStringList namesOf(const QList<PlaylistPtr>& playlists)
{
    QStringList names;
    for (const PlaylistPtr& p : playlists)
        names.append(p->name);
    return names;
}
