#pragma once

#include <chrono>
#include <vector>

#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "EventRecorder.h"
#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackupCompleteArguments.h"

// Collects the backup's completion events, which come on its worker thread.
class RecordingBackupDelegate : public QELDeviceBackUpDelegate {
public:
    void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override
    {
        m_backups.record(arguments);
    }
    void OnDeviceRestoreCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override
    {
        m_restores.record(arguments);
    }
    // Waits (bounded) until `count` backup events have come.
    bool waitForBackups(size_t count) { return m_backups.waitForCount(count, kEventWait); }
    bool waitForRestores(size_t count) { return m_restores.waitForCount(count, kEventWait); }
    std::vector<QELDeviceBackupCompleteArguments> backups() const { return m_backups.events(); }
    std::vector<QELDeviceBackupCompleteArguments> restores() const { return m_restores.events(); }

private:
    // A backup runs the tool over a whole simulated device.
    static constexpr std::chrono::seconds kEventWait{120};
    EventRecorder<QELDeviceBackupCompleteArguments> m_backups;
    EventRecorder<QELDeviceBackupCompleteArguments> m_restores;
};

// A shell script standing in for a program, which logs each run's arguments
// (one line, separated by "|") and whether ORVANE_BACKUP_PASSWORD was set.
class FakeProgram {
public:
    FakeProgram(const QString& name, const QByteArray& body)
        : m_path(m_dir.path() + QLatin1Char('/') + name)
    {
        writeFixtureFile(m_path,
                         "#!/bin/sh\n"
                         "line=''\nfor a in \"$@\"; do line=\"$line|$a\"; done\n"
                         "echo \"$line\" >> '"
                             + QFile::encodeName(log())
                             + "'\n"
                               "if [ \"${ORVANE_BACKUP_PASSWORD+set}\" = set ]; then echo "
                               "\"password=$ORVANE_BACKUP_PASSWORD\" >> '"
                             + QFile::encodeName(log()) + "'; fi\n" + body);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QString log() const { return m_dir.path() + QStringLiteral("/runs.log"); }
    QStringList runs() const
    {
        return QString::fromUtf8(readFixtureFile(log()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
