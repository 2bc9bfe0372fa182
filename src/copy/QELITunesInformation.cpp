#include "QELITunesInformation.h"

#include "MediaLibraryHost.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// The chosen library location as a local path: an absolute path as it stands,
// a file URL as its path; anything else names no folder here.
QString localPathOf(const QString& location)
{
    if (location.isEmpty())
        return {};
    if (QDir::isAbsolutePath(location))
        return QDir::cleanPath(location);
    const QUrl url(location);
    if (url.isValid() && url.isLocalFile())
        return QDir::cleanPath(url.toLocalFile());
    return {};
}

} // namespace

QString QELITunesInformation::iTunesLibraryBasePath(const MediaLibraryHost& host)
{
    QString candidate = localPathOf(host.libraryLocation());
    if (candidate.isEmpty()) {
        const QString music = host.musicFolder();
        if (!music.isEmpty())
            candidate = music + QStringLiteral("/iTunes");
    }
    if (candidate.isEmpty())
        candidate = QDir::homePath() + QStringLiteral("/Music/iTunes");

    if (!QFileInfo::exists(candidate))
        return {};
    const QString inner = candidate + QStringLiteral("/iTunes");
    return QFileInfo::exists(inner) ? inner : candidate;
}

QString QELITunesInformation::iTunesLibraryFilePath(const MediaLibraryHost& host)
{
    const QString folder = iTunesLibraryBasePath(host);
    if (folder.isEmpty())
        return {};
    const QFileInfo library(folder + QStringLiteral("/iTunes Library.xml"));
    const QFileInfo musicLibrary(folder + QStringLiteral("/iTunes Music Library.xml"));

    if (library.exists() && musicLibrary.exists()) {
        const QDateTime libraryDate = library.lastModified();
        const QDateTime musicLibraryDate = musicLibrary.lastModified();
        if (libraryDate.isValid() && musicLibraryDate.isValid())
            return libraryDate > musicLibraryDate ? library.filePath() : musicLibrary.filePath();
    }
    if (library.exists())
        return library.filePath();
    if (musicLibrary.exists())
        return musicLibrary.filePath();
    return {};
}
