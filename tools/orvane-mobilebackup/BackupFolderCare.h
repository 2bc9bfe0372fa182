#pragma once

#include <QString>

// Keeps the backup folder free of what a cut-short run leaves behind. A run
// builds a device's new backup in a hidden "-new-" folder beside the old one
// and, where the file system cannot exchange two names, moves the old one
// aside into a hidden "-old-" folder first; a kill between the steps leaves
// these behind. A real device's backup, which idevicebackup2 changes in place,
// is kept meanwhile as a hard-link snapshot in a hidden "-snap-" folder. Every run of the tool
// holds a shared lock of the backup folder while it works; only a run that can take the lock
// exclusively tidies up, so no run removes another's staging folder.
class BackupFolderCare {
public:
    // Takes the lock; when no other run works in the folder, first puts back
    // a snapshot of the previous backup in place of one a stopped run left
    // changed, or a whole backup left beside its place where the backup is
    // missing, and removes the device's other "-new-", "-old-" and "-snap-"
    // folders.
    BackupFolderCare(const QString& backupRoot, const QString& udid);
    ~BackupFolderCare();
    BackupFolderCare(const BackupFolderCare&) = delete;
    BackupFolderCare& operator=(const BackupFolderCare&) = delete;

    // How many left-behind folders were removed.
    int removed() const { return m_removed; }

    // Removes a folder without following a link in its place or below it;
    // its files go several at once.
    static void removeFolder(const QString& path);

    // A name in `folder` that nothing has: `prefix` and six random letters
    // or digits, the form the tidy-up knows; a null string when none is found.
    static QString unusedName(const QString& folder, const QString& prefix);

    // Whether a folder left by a run holds a whole backup: a finished
    // Status.plist and a manifest.
    static bool holdsFinishedBackup(const QString& folder);

private:
    int tidy(const QString& root, const QString& udid);

    int m_fd = -1;
    int m_removed = 0;
};

// A point of a backup run at which a test may have the tool killed
// (ORVANE_BACKUP_KILL_AT names it), to show that a kill at any moment leaves
// the device's previous backup or its new one whole.
void backupKillPoint(const char* point);

// Exchanges the two names in one step (renameat2 RENAME_EXCHANGE). False with
// errno set where that fails; EINVAL where the file system cannot, and where
// a test has the tool behave so (ORVANE_BACKUP_NO_EXCHANGE), so that the path
// which moves the previous backup aside first is tried too.
bool backupExchangeNames(const QString& from, const QString& to);

// Renames `from` to `to` (rename(2)). `step` names the rename for a test,
// which can have it fail with EIO (ORVANE_BACKUP_FAIL_RENAME: a list of steps
// separated by ","). False with errno set on failure.
bool backupRename(const QString& from, const QString& to, const char* step);
