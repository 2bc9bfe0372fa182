#include "FolderMediaLibraryHost.h"

#include <QSettings>
#include <QStandardPaths>

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
