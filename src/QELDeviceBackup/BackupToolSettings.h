#pragma once

#include <QString>
#include <QStringList>

// Which backup tool a backup object runs and which running programs count as
// backups it must wait for. A default-made one is the program's own; tests
// and other installs give their own to the object they make.
struct BackupToolSettings {
    // The tool to run; empty: "orvane-mobilebackup" beside the running program.
    QString executablePath;
    // The command names (as the process list shows them) of running backups;
    // empty: the backup tool's and idevicebackup2's.
    QStringList processNames;

    // The tool to run when it is an executable file, else a null string.
    // Looked up before every run.
    QString resolvedExecutablePath() const;
    // Where the tool is looked for, whether or not it is there.
    QString candidateExecutablePath() const;
    QStringList resolvedProcessNames() const;
};
