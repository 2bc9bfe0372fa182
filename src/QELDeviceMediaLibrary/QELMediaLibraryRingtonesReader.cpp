// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryRingtonesReader.h"

#include <mutex>

#include <QFileInfo>
#include <QVariantMap>

#include "Plist.h"
#include "QELDeviceInterface.h"
#include "QELMediaLibraryReader.h"
#include "ThreadCheck.h"

namespace {

const QString kRingtonesFolder = QStringLiteral("/iTunes_Control/Ringtones/");
const QString kPurchasesFolder = QStringLiteral("/Purchases/");

} // namespace

QString QELMediaLibraryRingtonesReader::BasePath::value() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_value;
}

void QELMediaLibraryRingtonesReader::BasePath::set(const QString& path)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_value = path;
}

QELMediaLibraryRingtonesReader::QELMediaLibraryRingtonesReader(BasePath* basePath)
    : m_basePath(basePath ? basePath : &programBasePath())
{
}

QELMediaLibraryRingtonesReader::BasePath& QELMediaLibraryRingtonesReader::programBasePath()
{
    static BasePath path;
    return path;
}

QString QELMediaLibraryRingtonesReader::ringtoneBasePath() { return programBasePath().value(); }

void QELMediaLibraryRingtonesReader::setRingToneBasePath(const QString& path)
{
    programBasePath().set(path);
}

bool QELMediaLibraryRingtonesReader::readRingtonesLibraryFromLocalPathIntoMediaLibrary(
    const QString& path, QELMediaLibraryReader* reader)
{
    assertNotOnGuiThread();
    if (!QFileInfo(path).isFile())
        return false;
    const QVariant root = Plist::readFile(path);
    if (root.typeId() != QMetaType::QVariantMap || !reader || !reader->managedObjectContext())
        return true;
    const QVariantMap ringtones = root.toMap().value(QStringLiteral("Ringtones")).toMap();
    if (ringtones.isEmpty())
        return true;
    std::shared_ptr<QELMediaStore> store = reader->managedObjectContext();
    PlaylistPtr playlist = store->insertPlaylist();
    playlist->playlistIconName = QStringLiteral("cat_ringtones");
    playlist->playlistIcon = QELMediaLibraryReader::playlistIconData(playlist->playlistIconName);
    playlist->name = QStringLiteral("Ringtones");
    playlist->isLibraryType = true;
    QList<TrackDetailPtr> tracks;
    for (auto it = ringtones.constBegin(); it != ringtones.constEnd(); ++it) {
        const QVariantMap entry = it.value().toMap();
        if (!entry.contains(QStringLiteral("GUID")))
            continue;
        TrackDetailPtr track = store->insertTrack();
        track->path = it.key();
        track->persistentID = entry.value(QStringLiteral("GUID")).toString();
        if (entry.contains(QStringLiteral("Name")))
            track->trackName = entry.value(QStringLiteral("Name")).toString();
        if (entry.contains(QStringLiteral("Artist")))
            track->artist = entry.value(QStringLiteral("Artist")).toString();
        if (entry.contains(QStringLiteral("Album")))
            track->album = entry.value(QStringLiteral("Album")).toString();
        if (entry.contains(QStringLiteral("Total Time")))
            track->duration = entry.value(QStringLiteral("Total Time")).toLongLong();
        track->isRingtone = true;
        tracks.append(track);
    }
    playlist->setTracks(tracks);
    playlist->sortName = QStringLiteral("Ringtones");
    return true;
}

void QELMediaLibraryRingtonesReader::resolveRingtonePaths(
    const QList<TrackDetailPtr>& ringtones,
    const std::function<bool(const QString&)>& existsOnDevice)
{
    bool first = true;
    for (const TrackDetailPtr& track : ringtones) {
        if (!track || !isYes(track->isRingtone))
            continue;
        // The file name alone: a ringtone's path never leaves its folder.
        const QString name = QFileInfo(track->path).fileName();
        const QString folder =
            existsOnDevice(kRingtonesFolder + name) ? kRingtonesFolder : kPurchasesFolder;
        if (first) {
            m_basePath->set(folder);
            first = false;
        }
        track->path = folder + name;
    }
}

void QELMediaLibraryRingtonesReader::resolveRingtonePaths(const QList<TrackDetailPtr>& ringtones,
                                                          const QELDeviceInterface& device)
{
    resolveRingtonePaths(ringtones,
                         [&device](const QString& path) { return device.fileExistsAtPath(path); });
}
