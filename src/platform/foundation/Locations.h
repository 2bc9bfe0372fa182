#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files. Every location honours the XDG variables
// (read at each call), so tests can point them at a temporary home.
namespace Locations {

QString dataHome();   // $XDG_DATA_HOME or ~/.local/share
QString cacheHome();  // $XDG_CACHE_HOME or ~/.cache

// The private temporary folder, "<cacheHome>/Orvane/orvane", created with mode
// 0700. A symlink in its place, or a folder owned by another user, is refused
// (decrypted device databases are kept there): the answer is then empty.
QString temporaryFolder();

// Empties the temporary folder, leaving the entries named in `keep` (top-level
// names) and those registered with keepInTemporaryFolder(). Symlinks inside
// are removed, never followed. Answers false when something could not be removed.
bool emptyTemporaryFolder(const QStringList& keep = {});
void keepInTemporaryFolder(const QString& name);
void forgetKeptInTemporaryFolder(const QString& name);

// A new, uniquely named, private (0700) folder inside the temporary folder.
QString makeScratchFolder(const QString& prefix);

// "<dataHome>/Orvane/MobileSync/Backup": the device backups.
QString backupRoot();

// "<dataHome>/Orvane/saved-preferences/<udid>": the saved original of a
// device's iTunes preferences; never emptied with the temporary folder.
QString savedPreferencesFolder(const QString& udid);

} // namespace Locations
