#include "FolderMediaLibraryHost.h"

#include <mutex>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "AtomicFile.h"
#include "Plist.h"

FolderMediaLibraryHost::FolderMediaLibraryHost(const QString& musicFolder)
    : m_musicFolder(musicFolder)
{
}

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
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
}

QString FolderMediaLibraryHost::libraryFolder() const
{
    QString folder;
    for (const QString& entry : recentDatabases()) {
        const QUrl url(entry);
        const QString file = url.isLocalFile() ? url.toLocalFile() : entry;
        if (!file.isEmpty() && QFileInfo(file).isAbsolute())
            folder = QFileInfo(file).path();
    }
    if (!folder.isEmpty())
        return folder;
    const QString location = libraryLocation();
    if (!location.isEmpty()) {
        const QUrl url(location);
        return url.isLocalFile() ? url.toLocalFile() : location;
    }
    return musicFolder() + QStringLiteral("/iTunes");
}

bool FolderMediaLibraryHost::add(const QString& filePath, const QString& playlist)
{
    const QString folder = libraryFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    const QString libraryFile = folder + QStringLiteral("/iTunes Library.xml");
    // One writer at a time: two jobs adding at once must not lose an entry.
    static std::mutex writing;
    std::lock_guard lock(writing);
    QVariantMap library = Plist::readFile(libraryFile).toMap();
    if (library.isEmpty())
        library = {{QStringLiteral("Major Version"), 1}, {QStringLiteral("Minor Version"), 1}};
    QVariantMap tracks = library.value(QStringLiteral("Tracks")).toMap();
    const QString location = QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()).toString();
    qint64 trackId = 0;
    qint64 highest = 0;
    for (auto it = tracks.cbegin(); it != tracks.cend(); ++it) {
        const QVariantMap track = it.value().toMap();
        highest = std::max(highest, track.value(QStringLiteral("Track ID")).toLongLong());
        if (track.value(QStringLiteral("Location")).toString() == location)
            trackId = track.value(QStringLiteral("Track ID")).toLongLong();
    }
    if (trackId == 0) {
        trackId = highest + 1;
        const QFileInfo info(filePath);
        tracks.insert(
            QString::number(trackId),
            QVariantMap{{QStringLiteral("Track ID"), trackId},
                        {QStringLiteral("Name"), info.completeBaseName()},
                        {QStringLiteral("Kind"),
                         info.suffix().compare(QLatin1String("ipa"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("iOS App")
                             : QStringLiteral("File")},
                        {QStringLiteral("Size"), info.size()},
                        {QStringLiteral("Location"), location}});
        library.insert(QStringLiteral("Tracks"), tracks);
    }
    if (!playlist.isEmpty()) {
        QVariantList playlists = library.value(QStringLiteral("Playlists")).toList();
        qsizetype found = -1;
        for (qsizetype i = 0; i < playlists.size(); ++i)
            if (playlists.at(i).toMap().value(QStringLiteral("Name")).toString() == playlist)
                found = i;
        QVariantMap entry = found >= 0 ? playlists.at(found).toMap()
                                       : QVariantMap{{QStringLiteral("Name"), playlist}};
        QVariantList items = entry.value(QStringLiteral("Playlist Items")).toList();
        const QVariant item = QVariantMap{{QStringLiteral("Track ID"), trackId}};
        if (!items.contains(item))
            items.append(item);
        entry.insert(QStringLiteral("Playlist Items"), items);
        if (found >= 0)
            playlists[found] = entry;
        else
            playlists.append(entry);
        library.insert(QStringLiteral("Playlists"), playlists);
    }
    return writeFileAtomically(libraryFile, Plist::serialize(library, Plist::Format::Xml));
}

bool FolderMediaLibraryHost::holdsBookNamed(const QString& name) const
{
    const QString folder = libraryFolder();
    if (folder.isEmpty())
        return false;
    const QVariantMap tracks = Plist::readFile(folder + QStringLiteral("/iTunes Library.xml"))
                                   .toMap()
                                   .value(QStringLiteral("Tracks"))
                                   .toMap();
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
