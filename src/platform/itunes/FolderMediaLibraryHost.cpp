#include "FolderMediaLibraryHost.h"

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "AtomicFile.h"
#include "Log.h"
#include "Plist.h"
#include "SafePath.h"

namespace {

// One writer at a time, whatever host object it is: two jobs adding at once
// must not lose an entry.
std::recursive_mutex& libraryMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

const QString kTracks = QStringLiteral("Tracks");
const QString kPlaylists = QStringLiteral("Playlists");
const QString kPlaylistItems = QStringLiteral("Playlist Items");
const QString kTrackId = QStringLiteral("Track ID");
const QString kPlaylistId = QStringLiteral("Playlist ID");
const QString kLocation = QStringLiteral("Location");

bool isUserPlaylist(const QVariantMap& values)
{
    return !values.value(QStringLiteral("Master")).toBool()
        && !values.contains(QStringLiteral("Distinguished Kind"))
        && !values.value(QStringLiteral("Podcasts")).toBool();
}

bool isSmartPlaylist(const QVariantMap& values)
{
    return values.contains(QStringLiteral("Smart Info"))
        || values.contains(QStringLiteral("Smart Criteria"));
}

// One line of an .m3u8 file holds no line break of a name.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// The XML of one value, without the document around it: each track's text
// is made once and kept, so a write of a large library only joins them.
QByteArray element(const QVariant& value)
{
    const QByteArray document = Plist::serialize(value, Plist::Format::Xml);
    const QByteArray open = "<plist version=\"1.0\">";
    const qsizetype start = document.indexOf(open);
    const qsizetype end = document.lastIndexOf("</plist>");
    if (start < 0 || end < start)
        return QByteArray();
    return document.mid(start + open.size(), end - start - open.size()).trimmed() + '\n';
}

QString persistentId()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16)
        .rightJustified(16, QLatin1Char('0'))
        .toUpper();
}

QString kindOfFile(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("ipa"))
        return QStringLiteral("iOS App");
    if (extension == QLatin1String("mp3"))
        return QStringLiteral("MPEG audio file");
    if (extension == QLatin1String("m4a") || extension == QLatin1String("aac"))
        return QStringLiteral("AAC audio file");
    if (extension == QLatin1String("m4r"))
        return QStringLiteral("Ringtone");
    if (extension == QLatin1String("m4b"))
        return QStringLiteral("Audiobook");
    if (extension == QLatin1String("wav"))
        return QStringLiteral("WAV audio file");
    if (extension == QLatin1String("epub") || extension == QLatin1String("ibooks"))
        return QStringLiteral("Book");
    if (extension == QLatin1String("pdf"))
        return QStringLiteral("PDF document");
    if (extension == QLatin1String("mp4") || extension == QLatin1String("m4v")
        || extension == QLatin1String("mov"))
        return QStringLiteral("MPEG-4 video file");
    return QStringLiteral("File");
}

QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

// A track's file as the key of the location table: the same file however its
// URL was encoded.
QString locationKey(const QString& location)
{
    const QUrl url(location);
    return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : location;
}

} // namespace

struct FolderMediaLibraryHost::Library {
    struct Playlist {
        QVariantMap values; // without its items
        QList<qint64> items;
        QByteArray xml; // empty: to be made again
    };
    struct Track {
        QVariantMap values;
        QByteArray xml;
        // What tracks() answers for it, made once: a transfer asks for the
        // whole library at every item.
        std::optional<MediaLibraryHost::Track> record;
    };

    QString folder;
    QString file;
    QVariantMap top; // the file's other keys, kept as they were
    std::map<qint64, Track> tracks;
    QHash<QString, qint64> byLocation;
    std::vector<Playlist> playlists;
    qint64 lastTrackId = 0;
    qint64 lastPlaylistId = 0;
    bool dirty = false;
    // What the file was when it was last read or written.
    QDateTime fileTime;
    qint64 fileSize = -1;
    double lastWriteMs = 0;

    Playlist* playlist(qint64 id)
    {
        for (Playlist& p : playlists)
            if (p.values.value(kPlaylistId).toLongLong() == id)
                return &p;
        return nullptr;
    }
    Playlist* special(const char* key)
    {
        for (Playlist& p : playlists)
            if (p.values.value(QLatin1String(key)).toBool())
                return &p;
        return nullptr;
    }
    Playlist& addPlaylist(QVariantMap values, qsizetype at)
    {
        values.insert(kPlaylistId, ++lastPlaylistId);
        values.insert(QStringLiteral("Playlist Persistent ID"), persistentId());
        values.insert(QStringLiteral("All Items"), true);
        at = std::clamp<qsizetype>(at, 0, qsizetype(playlists.size()));
        return *playlists.insert(playlists.begin() + at, Playlist{values, {}, {}});
    }
    // The library and podcasts playlists a library always has.
    void ensureSpecialPlaylists()
    {
        if (!special("Master")) {
            Playlist& master = addPlaylist({{QStringLiteral("Name"), QStringLiteral("Library")},
                                            {QStringLiteral("Master"), true},
                                            {QStringLiteral("Visible"), false}},
                                           0);
            for (const auto& [id, track] : tracks)
                master.items.append(id);
            dirty = true;
        }
        if (!special("Podcasts")) {
            addPlaylist({{QStringLiteral("Name"), QStringLiteral("Podcasts")},
                         {QStringLiteral("Podcasts"), true},
                         {QStringLiteral("Distinguished Kind"), 10}},
                        1);
            dirty = true;
        }
    }
    void load(const QVariantMap& root)
    {
        top = root;
        top.remove(kTracks);
        top.remove(kPlaylists);
        tracks.clear();
        byLocation.clear();
        playlists.clear();
        lastTrackId = 0;
        lastPlaylistId = 0;
        const QVariantMap trackMap = root.value(kTracks).toMap();
        for (auto it = trackMap.cbegin(); it != trackMap.cend(); ++it) {
            const QVariantMap values = it.value().toMap();
            bool ok = false;
            qint64 id = values.value(kTrackId).toLongLong(&ok);
            if (!ok)
                id = it.key().toLongLong(&ok);
            if (!ok)
                continue;
            tracks[id] = Track{values, {}, {}};
            lastTrackId = std::max(lastTrackId, id);
            const QString location = values.value(kLocation).toString();
            if (!location.isEmpty() && !byLocation.contains(locationKey(location)))
                byLocation.insert(locationKey(location), id);
        }
        for (const QVariant& entry : root.value(kPlaylists).toList()) {
            QVariantMap values = entry.toMap();
            Playlist playlist;
            for (const QVariant& item : values.value(kPlaylistItems).toList())
                playlist.items.append(item.toMap().value(kTrackId).toLongLong());
            values.remove(kPlaylistItems);
            lastPlaylistId = std::max(lastPlaylistId, values.value(kPlaylistId).toLongLong());
            playlist.values = values;
            playlists.push_back(playlist);
        }
        for (Playlist& p : playlists)
            if (!p.values.contains(kPlaylistId)) {
                p.values.insert(kPlaylistId, ++lastPlaylistId);
                dirty = true;
            }
        if (top.isEmpty())
            top = {{QStringLiteral("Major Version"), 1}, {QStringLiteral("Minor Version"), 1}};
        ensureSpecialPlaylists();
    }
    QByteArray document()
    {
        QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                          "\"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                          "<plist version=\"1.0\">\n<dict>\n";
        const QByteArray topElement = element(top);
        // The other keys, without the braces of their own dictionary.
        const qsizetype open = topElement.indexOf("<dict>");
        const qsizetype close = topElement.lastIndexOf("</dict>");
        if (open >= 0 && close > open)
            text += topElement.mid(open + 6, close - open - 6).trimmed() + '\n';
        text += "<key>Tracks</key>\n<dict>\n";
        for (auto& [id, track] : tracks) {
            if (track.xml.isEmpty())
                track.xml = element(track.values);
            text += "<key>" + QByteArray::number(id) + "</key>\n" + track.xml;
        }
        text += "</dict>\n<key>Playlists</key>\n<array>\n";
        for (Playlist& playlist : playlists) {
            if (playlist.xml.isEmpty()) {
                QByteArray values = element(playlist.values);
                const qsizetype end = values.lastIndexOf("</dict>");
                if (end < 0)
                    continue;
                QByteArray items = "<key>Playlist Items</key>\n<array>\n";
                for (qint64 id : std::as_const(playlist.items))
                    items += "<dict><key>Track ID</key><integer>" + QByteArray::number(id)
                        + "</integer></dict>\n";
                items += "</array>\n";
                playlist.xml = values.left(end) + items + values.mid(end);
            }
            text += playlist.xml;
        }
        text += "</array>\n</dict>\n</plist>\n";
        return text;
    }
    std::optional<qint64> trackAt(const QString& path) const
    {
        const auto it = byLocation.constFind(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        return it == byLocation.constEnd() ? std::nullopt : std::optional<qint64>(it.value());
    }
    QString pathOf(qint64 track) const
    {
        const auto it = tracks.find(track);
        if (it == tracks.end())
            return QString();
        const QUrl url(it->second.values.value(kLocation).toString());
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }
};

FolderMediaLibraryHost::FolderMediaLibraryHost(const QString& musicFolder, Services services)
    : m_musicFolder(musicFolder)
    , m_services(std::move(services))
{
}

FolderMediaLibraryHost::~FolderMediaLibraryHost() { flush(); }

// A folder is not an application: it never runs, and there is nothing to stop.
bool FolderMediaLibraryHost::isRunning() const { return false; }

bool FolderMediaLibraryHost::quit() { return true; }

QStringList FolderMediaLibraryHost::recentDatabases() const
{
    return QSettings().value(QLatin1String(kRecentDatabasesKey)).toStringList();
}

QString FolderMediaLibraryHost::libraryLocation() const
{
    return QSettings().value(QLatin1String(kLibraryLocationKey)).toString();
}

QString FolderMediaLibraryHost::musicFolder() const
{
    if (!m_musicFolder.isEmpty())
        return m_musicFolder;
    const QString chosen = QSettings().value(QLatin1String(kMusicFolderKey)).toString();
    if (!chosen.isEmpty() && QDir::isAbsolutePath(chosen))
        return QDir::cleanPath(chosen);
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
}

QString FolderMediaLibraryHost::mediaFolder() const { return libraryFolder(); }

QString FolderMediaLibraryHost::libraryFolder() const { return musicFolder(); }

QString FolderMediaLibraryHost::libraryFile() const
{
    const QString folder = libraryFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(kIndexFileName);
}

QString FolderMediaLibraryHost::playlistsFolder() const
{
    const QString folder = libraryFolder();
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + QLatin1String(kPlaylistsFolderName);
}

QString FolderMediaLibraryHost::indexFile() const
{
    const QString file = libraryFile();
    if (file.isEmpty() || QFileInfo::exists(file))
        return file;
    const QString old = oldLibraryFile();
    return !old.isEmpty() && QFileInfo(old).isFile() ? old : file;
}

QString FolderMediaLibraryHost::oldLibraryFile() const
{
    QString folder;
    for (const QString& entry : recentDatabases()) {
        const QUrl url(entry);
        const QString file = url.isLocalFile() ? url.toLocalFile() : entry;
        if (!file.isEmpty() && QFileInfo(file).isAbsolute())
            folder = QFileInfo(file).path();
    }
    if (folder.isEmpty()) {
        const QString location = libraryLocation();
        if (!location.isEmpty()) {
            const QUrl url(location);
            folder = url.isLocalFile() ? url.toLocalFile() : location;
        }
    }
    if (folder.isEmpty() && !libraryFolder().isEmpty())
        folder = libraryFolder() + QStringLiteral("/iTunes");
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/iTunes Library.xml");
}

FolderMediaLibraryHost::Library* FolderMediaLibraryHost::library(bool create)
{
    const QString folder = libraryFolder();
    const QString file = libraryFile();
    if (folder.isEmpty())
        return nullptr;
    const QFileInfo info(file);
    if (m_library && m_library->file == file
        && (!info.exists()
            || (info.size() == m_library->fileSize && info.lastModified() == m_library->fileTime)))
        return m_library.get();
    if (m_library && m_library->dirty && m_library->file == file)
        qCWarning(lcOrvane) << "The music library file" << file
                            << "changed under us; its changes win";
    if (!info.exists()) {
        // The library an earlier version kept becomes the start of the index.
        QVariantMap start;
        const QString old = oldLibraryFile();
        const bool hasOld = !old.isEmpty() && QFileInfo(old).isFile();
        if (hasOld) {
            QString error;
            const QVariant root = Plist::readFile(old, &error);
            if (root.typeId() == QMetaType::QVariantMap)
                start = root.toMap();
            else
                qCWarning(lcOrvane)
                    << "The earlier music library file" << old << "cannot be read:" << error;
        }
        if (!create && start.isEmpty())
            return nullptr;
        if (create && !QDir().mkpath(folder))
            return nullptr;
        auto fresh = std::make_unique<Library>();
        fresh->folder = folder;
        fresh->file = file;
        fresh->load(start);
        fresh->dirty = true;
        m_library = std::move(fresh);
        return m_library.get();
    }
    QString error;
    const QVariant root = Plist::readFile(file, &error);
    if (root.typeId() != QMetaType::QVariantMap) {
        // Never overwritten: it may be the user's library in a form we cannot read.
        qCWarning(lcOrvane) << "The music library file" << file << "cannot be read:" << error;
        m_library.reset();
        return nullptr;
    }
    auto read = std::make_unique<Library>();
    read->folder = folder;
    read->file = file;
    read->load(root.toMap());
    read->fileSize = info.size();
    read->fileTime = info.lastModified();
    m_library = std::move(read);
    return m_library.get();
}

bool FolderMediaLibraryHost::write(Library& library)
{
    if (!library.dirty)
        return true;
    const auto start = std::chrono::steady_clock::now();
    if (!QDir().mkpath(library.folder)) {
        qCWarning(lcOrvane) << "The music folder cannot be made:" << library.folder;
        return false;
    }
    // The playlists whose text is to be made again are the ones that changed.
    QList<qint64> changed;
    for (const Library::Playlist& p : library.playlists)
        if (p.xml.isEmpty() && isUserPlaylist(p.values))
            changed.append(p.values.value(kPlaylistId).toLongLong());
    QString error;
    if (!writeFileAtomically(library.file, library.document(), &error)) {
        qCWarning(lcOrvane) << "The music library file cannot be written:" << error;
        return false;
    }
    library.lastWriteMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const QFileInfo info(library.file);
    library.fileSize = info.size();
    library.fileTime = info.lastModified();
    library.dirty = false;
    writePlaylistFiles(library, changed);
    return true;
}

void FolderMediaLibraryHost::writePlaylistFiles(const Library& library,
                                                const QList<qint64>& changed)
{
    if (changed.isEmpty())
        return;
    const QString folder = library.folder + QLatin1Char('/') + QLatin1String(kPlaylistsFolderName);
    if (!QDir().mkpath(folder)) {
        qCWarning(lcOrvane) << "The playlists folder cannot be made:" << folder;
        return;
    }
    const QDir base(folder);
    for (const Library::Playlist& p : library.playlists) {
        const qint64 id = p.values.value(kPlaylistId).toLongLong();
        if (!changed.contains(id))
            continue;
        // A name with a leading dot would make a hidden file players skip.
        QString name = p.values.value(QStringLiteral("Name")).toString().trimmed();
        while (name.startsWith(QLatin1Char('.')))
            name.remove(0, 1);
        name = SafePath::fileName(name, QStringLiteral("Playlist"));
        QByteArray text = "#EXTM3U\n";
        for (qint64 trackId : p.items) {
            const auto it = library.tracks.find(trackId);
            if (it == library.tracks.end())
                continue;
            const QString path = library.pathOf(trackId);
            if (path.isEmpty())
                continue;
            const QVariantMap& values = it->second.values;
            bool known = false;
            const qint64 ms = values.value(QStringLiteral("Total Time")).toLongLong(&known);
            const QString artist = values.value(QStringLiteral("Artist")).toString();
            const QString title = values.value(QStringLiteral("Name")).toString();
            text += "#EXTINF:" + QByteArray::number(known && ms > 0 ? ms / 1000 : -1) + ','
                + oneLine(artist.isEmpty() ? title : artist + QStringLiteral(" - ") + title)
                      .toUtf8()
                + '\n' + base.relativeFilePath(path).toUtf8() + '\n';
        }
        QString error;
        if (!writeFileAtomically(base.filePath(name + QStringLiteral(".m3u8")), text, &error))
            qCWarning(lcOrvane) << "The playlist" << name << "cannot be written:" << error;
    }
}

double FolderMediaLibraryHost::lastWriteMilliseconds() const
{
    std::lock_guard lock(libraryMutex());
    return m_library ? m_library->lastWriteMs : 0;
}

bool FolderMediaLibraryHost::flush()
{
    std::lock_guard lock(libraryMutex());
    if (!m_library || m_library->file != libraryFile())
        return true;
    return write(*m_library);
}

bool FolderMediaLibraryHost::prepareLibrary()
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(true);
    if (!l)
        return false;
    return write(*l);
}

bool FolderMediaLibraryHost::hasLibrarySource()
{
    std::lock_guard lock(libraryMutex());
    // A library not made yet is made by the first transfer.
    return library(false) != nullptr || !QFileInfo::exists(libraryFile());
}

std::optional<MediaLibraryHost::PlaylistId> FolderMediaLibraryHost::libraryPlaylist()
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    Library::Playlist* p = l ? l->special("Master") : nullptr;
    return p ? std::optional<PlaylistId>(p->values.value(kPlaylistId).toLongLong()) : std::nullopt;
}

std::optional<MediaLibraryHost::PlaylistId> FolderMediaLibraryHost::podcastsPlaylist()
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    Library::Playlist* p = l ? l->special("Podcasts") : nullptr;
    return p ? std::optional<PlaylistId>(p->values.value(kPlaylistId).toLongLong()) : std::nullopt;
}

std::optional<MediaLibraryHost::PlaylistId> FolderMediaLibraryHost::userPlaylistNamed(
    const QString& name)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    if (!l)
        return std::nullopt;
    for (const Library::Playlist& p : l->playlists) {
        if (p.values.value(QStringLiteral("Master")).toBool()
            || p.values.contains(QStringLiteral("Distinguished Kind"))
            || p.values.value(QStringLiteral("Podcasts")).toBool())
            continue;
        if (p.values.value(QStringLiteral("Name")).toString() == name)
            return p.values.value(kPlaylistId).toLongLong();
    }
    return std::nullopt;
}

std::optional<MediaLibraryHost::PlaylistId> FolderMediaLibraryHost::createUserPlaylist(
    const QString& name)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(true);
    if (!l)
        return std::nullopt;
    // First of the user playlists: after the library's own ones.
    qsizetype at = 0;
    while (at < qsizetype(l->playlists.size())) {
        const QVariantMap& values = l->playlists[size_t(at)].values;
        if (!values.value(QStringLiteral("Master")).toBool()
            && !values.contains(QStringLiteral("Distinguished Kind"))
            && !values.value(QStringLiteral("Podcasts")).toBool())
            break;
        ++at;
    }
    Library::Playlist& p = l->addPlaylist({{QStringLiteral("Name"), name}}, at);
    l->dirty = true;
    return p.values.value(kPlaylistId).toLongLong();
}

bool FolderMediaLibraryHost::isSmart(PlaylistId playlist)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    Library::Playlist* p = l ? l->playlist(playlist) : nullptr;
    return p && isSmartPlaylist(p->values);
}

QList<MediaLibraryHost::Track> FolderMediaLibraryHost::tracks(PlaylistId playlist)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    Library::Playlist* p = l ? l->playlist(playlist) : nullptr;
    QList<Track> result;
    if (!p)
        return result;
    result.reserve(p->items.size());
    for (qint64 id : std::as_const(p->items)) {
        const auto it = l->tracks.find(id);
        if (it == l->tracks.end())
            continue;
        if (!it->second.record) {
            const QVariantMap& values = it->second.values;
            Track track;
            track.id = id;
            track.isFileTrack =
                values.value(QStringLiteral("Track Type")).toString() == QLatin1String("File")
                || (!values.contains(QStringLiteral("Track Type")) && values.contains(kLocation));
            track.name = values.value(QStringLiteral("Name")).toString();
            track.artist = values.value(QStringLiteral("Artist")).toString();
            track.album = values.value(QStringLiteral("Album")).toString();
            track.trackNumber = values.value(QStringLiteral("Track Number")).toLongLong();
            it->second.record = track;
        }
        result.append(*it->second.record);
    }
    return result;
}

bool FolderMediaLibraryHost::duplicate(TrackId track, PlaylistId playlist)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    Library::Playlist* p = l ? l->playlist(playlist) : nullptr;
    if (!p || l->tracks.find(track) == l->tracks.end())
        return false;
    if (!p->items.contains(track)) {
        p->items.append(track);
        p->xml.clear();
        l->dirty = true;
    }
    return true;
}

std::optional<MediaLibraryHost::TrackId> FolderMediaLibraryHost::addFile(
    const QString& path, std::optional<PlaylistId> playlist)
{
    std::lock_guard lock(libraryMutex());
    const QFileInfo info(path);
    // A book may be a package: an ePub or a book of several PDFs is a folder.
    const QString extension = info.suffix().toLower();
    const bool package = info.isDir()
        && (extension == QLatin1String("epub") || extension == QLatin1String("ibooks")
            || extension == QLatin1String("pdf"));
    if (!info.isFile() && !package)
        return std::nullopt;
    Library* l = library(true);
    if (!l)
        return std::nullopt;
    std::optional<qint64> id = l->trackAt(path);
    if (!id) {
        id = ++l->lastTrackId;
        const QVariantMap values{
            {kTrackId, *id},
            {QStringLiteral("Persistent ID"), persistentId()},
            {QStringLiteral("Name"), info.completeBaseName()},
            {QStringLiteral("Kind"), kindOfFile(path)},
            {QStringLiteral("Size"), info.size()},
            {QStringLiteral("Date Added"), QDateTime::currentDateTimeUtc()},
            {QStringLiteral("Track Type"), QStringLiteral("File")},
            {kLocation, fileUrl(path)},
        };
        l->tracks[*id] = Library::Track{values, {}, {}};
        l->byLocation.insert(QDir::cleanPath(info.absoluteFilePath()), *id);
        if (Library::Playlist* master = l->special("Master")) {
            master->items.append(*id);
            master->xml.clear();
        }
        l->dirty = true;
    }
    if (playlist) {
        Library::Playlist* p = l->playlist(*playlist);
        if (!p)
            return std::nullopt;
        if (!p->items.contains(*id)) {
            p->items.append(*id);
            p->xml.clear();
            l->dirty = true;
        }
    }
    return id;
}

bool FolderMediaLibraryHost::setProperties(TrackId track, const TrackProperties& properties)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    const auto it = l ? l->tracks.find(track) : decltype(l->tracks.end())();
    if (!l || it == l->tracks.end())
        return false;
    QVariantMap& values = it->second.values;
    auto setText = [&](const std::optional<QString>& value, const char* key) {
        if (value)
            values.insert(QLatin1String(key), *value);
    };
    auto setNumber = [&](const std::optional<qint64>& value, const char* key) {
        if (value)
            values.insert(QLatin1String(key), *value);
    };
    setText(properties.name, "Name");
    setText(properties.artist, "Artist");
    setText(properties.albumArtist, "Album Artist");
    setText(properties.show, "Series");
    setText(properties.album, "Album");
    setText(properties.genre, "Genre");
    setNumber(properties.discCount, "Disc Count");
    setNumber(properties.discNumber, "Disc Number");
    setNumber(properties.trackCount, "Track Count");
    setNumber(properties.trackNumber, "Track Number");
    setNumber(properties.episodeNumber, "Episode Order");
    setNumber(properties.seasonNumber, "Season");
    setText(properties.longDescription, "Long Description");
    setText(properties.objectDescription, "Description");
    setNumber(properties.playedCount, "Play Count");
    setNumber(properties.rating, "Rating");
    if (properties.playedDate && properties.playedDate->isValid())
        values.insert(QStringLiteral("Play Date UTC"), properties.playedDate->toUTC());
    if (properties.videoKind) {
        for (const char* key : {"Movie", "TV Show", "Music Video", "Has Video"})
            values.remove(QLatin1String(key));
        switch (*properties.videoKind) {
        case VideoKind::Movie:
            values.insert(QStringLiteral("Movie"), true);
            break;
        case VideoKind::TVShow:
            values.insert(QStringLiteral("TV Show"), true);
            break;
        case VideoKind::MusicVideo:
            values.insert(QStringLiteral("Music Video"), true);
            break;
        case VideoKind::None:
            break;
        }
        values.insert(QStringLiteral("Has Video"), true);
    }
    it->second.xml.clear();
    it->second.record.reset();
    l->dirty = true;
    return true;
}

bool FolderMediaLibraryHost::hasArtwork(TrackId track)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    const QString path = l ? l->pathOf(track) : QString();
    return !path.isEmpty() && m_services.fileHasArtwork && m_services.fileHasArtwork(path);
}

bool FolderMediaLibraryHost::setArtwork(TrackId track, const QByteArray& image)
{
    std::lock_guard lock(libraryMutex());
    Library* l = library(false);
    const QString path = l ? l->pathOf(track) : QString();
    if (path.isEmpty() || image.isEmpty() || !m_services.embedArtwork
        || !m_services.embedArtwork(path, image))
        return false;
    auto& entry = l->tracks[track];
    entry.values.insert(QStringLiteral("Artwork Count"), 1);
    entry.values.insert(QStringLiteral("Size"), QFileInfo(path).size());
    entry.xml.clear();
    l->dirty = true;
    return true;
}

bool FolderMediaLibraryHost::reveal(PlaylistId playlist)
{
    QString folder;
    {
        std::lock_guard lock(libraryMutex());
        Library* l = library(false);
        if (!l || !l->playlist(playlist))
            return false;
        folder = l->folder;
    }
    return m_services.openFolder && m_services.openFolder(folder);
}

bool FolderMediaLibraryHost::add(const QString& filePath, const QString& playlist)
{
    std::lock_guard lock(libraryMutex());
    std::optional<PlaylistId> target;
    if (!playlist.isEmpty()) {
        target = userPlaylistNamed(playlist);
        if (!target)
            target = createUserPlaylist(playlist);
        if (!target)
            return false;
    }
    return addFile(filePath, target) && flush();
}

bool FolderMediaLibraryHost::holdsBookNamed(const QString& name) const
{
    const QString file = indexFile();
    if (file.isEmpty())
        return false;
    const QVariantMap tracks =
        Plist::readFile(file).toMap().value(QStringLiteral("Tracks")).toMap();
    for (auto it = tracks.cbegin(); it != tracks.cend(); ++it) {
        const QVariantMap track = it.value().toMap();
        if (track.value(QStringLiteral("Name")).toString() != name)
            continue;
        const QString kind = track.value(QStringLiteral("Kind")).toString();
        if (kind.contains(QLatin1String("Book"), Qt::CaseInsensitive)
            || kind.startsWith(QLatin1String("PDF"), Qt::CaseInsensitive))
            return true;
        const QString suffix =
            QFileInfo(
                QUrl(track.value(QStringLiteral("Location")).toString()).path(QUrl::FullyDecoded))
                .suffix()
                .toLower();
        if (suffix == QLatin1String("epub") || suffix == QLatin1String("pdf")
            || suffix == QLatin1String("ibooks"))
            return true;
    }
    return false;
}
