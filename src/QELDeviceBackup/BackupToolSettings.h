#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class BackupKeyCache;

// Which backup tool a backup object runs and which running programs count as
// backups it must wait for. A default-made one is the program's own; tests
// and other installs give their own to the object they make.
struct BackupToolSettings {
    // The tool to run; empty: "orvane-mobilebackup" beside the running program.
    QString executablePath;
    // The command names (as the process list shows them) of running backups;
    // empty: the backup tool's and idevicebackup2's.
    QStringList processNames;
    // Where the password keys of encrypted backups are remembered; null: the
    // program's own (BackupKeyCache::shared()), so one backup's key is derived
    // once for the program's run, whichever backup object asks.
    std::shared_ptr<BackupKeyCache> keys = {};

    BackupKeyCache& keyCache() const;

    // The tool to run when it is an executable file, else a null string.
    // Looked up before every run.
    QString resolvedExecutablePath() const;
    // Where the tool is looked for, whether or not it is there.
    QString candidateExecutablePath() const;
    QStringList resolvedProcessNames() const;
};
