// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryReader.h"

#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>

#include "Locations.h"
#include "Log.h"
#include "QELDeviceMediaLibraryEventsProtocol.h"

// The icons live in this static library's own resource file, which a program
// links only when something registers it.
static void initPlaylistIconResources() { Q_INIT_RESOURCE(playlisticons); }

QELMediaLibraryReader::QELMediaLibraryReader(const QString& libraryDirectory)
    : _libraryDirectory(libraryDirectory)
{
}

QELMediaLibraryReader::~QELMediaLibraryReader() = default;

QString QELMediaLibraryReader::storeFilePath()
{
    const QString folder = Locations::temporaryFolder();
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/medialibrary.sqlite");
}

bool QELMediaLibraryReader::initStore()
{
    m_cancelRead = false;
    const QString file = storeFilePath();
    // Every reader starts from an empty store.
    if (!file.isEmpty()) {
        QFile::remove(file + QStringLiteral("-wal"));
        QFile::remove(file + QStringLiteral("-shm"));
        QFile::remove(file);
    }
    std::shared_ptr<QELMediaStore> store = QELMediaStore::open(file);
    if (!store)
        return false;
    setManagedObjectContext(store);
    return true;
}

bool QELMediaLibraryReader::readMediaLibrary()
{
    throw std::logic_error("readMediaLibrary : This is an abstract method and should be overridden");
}

std::shared_ptr<QELMediaStore> QELMediaLibraryReader::managedObjectContext() const
{
    std::lock_guard<std::mutex> guard(m_contextMutex);
    return m_context;
}

void QELMediaLibraryReader::setManagedObjectContext(const std::shared_ptr<QELMediaStore>& context)
{
    std::lock_guard<std::mutex> guard(m_contextMutex);
    m_context = context;
}

void QELMediaLibraryReader::close()
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (store)
        store->close();
    setManagedObjectContext(nullptr);
}

TrackDetailPtr QELMediaLibraryReader::createStoreFreeTrackDetail()
{
    return std::make_shared<TrackDetail>();
}

QByteArray QELMediaLibraryReader::playlistIconData(const QString& iconName)
{
    static QMutex mutex;
    static QHash<QString, QByteArray> cache;
    static const bool registered = (initPlaylistIconResources(), true);
    Q_UNUSED(registered);
    QMutexLocker locker(&mutex);
    auto it = cache.constFind(iconName);
    if (it != cache.constEnd())
        return *it;
    QByteArray data;
    QFile file(QStringLiteral(":/images/%1.png").arg(iconName));
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    cache.insert(iconName, data);
    return data;
}

void QELMediaLibraryReader::setPlaylistIcon(Playlist& playlist, const QString& iconName)
{
    playlist.playlistIconName = iconName;
    playlist.playlistIcon = playlistIconData(iconName);
}

TrackDetailPtr QELMediaLibraryReader::_createNewTrackDetailObject()
{
    return m_context ? m_context->insertTrack() : nullptr;
}

PlaylistPtr QELMediaLibraryReader::_createNewPlaylistObject()
{
    return m_context ? m_context->insertPlaylist() : nullptr;
}

PlaylistOrderPtr QELMediaLibraryReader::_createNewPlaylistOrderObject()
{
    return m_context ? m_context->insertPlaylistOrder() : nullptr;
}

std::vector<TrackDetailPtr> QELMediaLibraryReader::_allTracks() const
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    return store ? store->tracks() : std::vector<TrackDetailPtr>();
}

void QELMediaLibraryReader::_fireReadProgressEventWithInfo(const QString& info)
{
    if (m_delegate)
        m_delegate->OnDeviceMediaLibraryReadProgressEvent(info);
}

void QELMediaLibraryReader::_firePlaylistName(const QString& name)
{
    if (m_delegate)
        m_delegate->OnDeviceMediaLibraryReadPlaylistName(name);
}

void QELMediaLibraryReader::_fireReadCompleteEventWithSuccessAndErrorInformation(bool success, const QString& errorInformation)
{
    qCInfo(lcOrvane).noquote() << QStringLiteral("Media Library status:%1 ").arg(success ? 1 : 0);
    if (!success && !errorInformation.isEmpty())
        noteFailure(errorInformation);
    if (!errorInformation.isNull())
        qCInfo(lcOrvane).noquote() << QStringLiteral("ErrorInfo:%1").arg(errorInformation);
    if (m_delegate)
        m_delegate->OnDeviceMediaLibaryReadCompleteEvent(DeviceMediaLibraryReadCompleteArguments(success, errorInformation));
}

void QELMediaLibraryReader::noteFailure(const QString& reason)
{
    if (m_failure.isEmpty())
        m_failure = reason;
}

void QELMediaLibraryReader::addLibraryTypes()
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return;
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    struct Kind {
        const char* name;
        bool (*matches)(const TrackDetail&);
        const char* icon;
        const char* sortName;
    };
    static const Kind kinds[] = {
        {"Music", [](const TrackDetail& t) { return t.mediaKind == 1; }, "cat_music", "A_Music"},
        {"Podcasts", [](const TrackDetail& t) { return isYes(t.isPodcast); }, "cat_podcast", "E_Podcasts"},
        {"iTunesU", [](const TrackDetail& t) { return isYes(t.isITunesU); }, "cat_itunesu", "F_iTunesU"},
        {"All Videos", [](const TrackDetail& t) { return isYes(t.hasVideo); }, "cat_video_film", "B_ALLVideos"},
        {"Audiobooks", [](const TrackDetail& t) { return isYes(t.isAudiobook) || t.mediaKind == 8; }, "cat_books", "G_Audiobooks"},
        {"TV Shows", [](const TrackDetail& t) { return isYes(t.isTVShow); }, "cat_tv", "D_TVShows"},
        {"Movies", [](const TrackDetail& t) { return t.mediaKind == 2; }, "cat_video_film", "C_Movies"},
    };
    const std::vector<TrackDetailPtr> tracks = store->tracks();
    for (const Kind& kind : kinds) {
        QList<TrackDetailPtr> matching;
        for (const TrackDetailPtr& track : tracks) {
            if (kind.matches(*track))
                matching.append(track);
        }
        if (matching.isEmpty())
            continue;
        PlaylistPtr playlist = store->insertPlaylist();
        setPlaylistIcon(*playlist, QString::fromLatin1(kind.icon));
        playlist->name = QString::fromLatin1(kind.name);
        playlist->isLibraryType = true;
        playlist->setTracks(matching);
        playlist->sortName = QString::fromLatin1(kind.sortName);
    }
}
