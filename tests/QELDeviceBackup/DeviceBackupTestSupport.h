#pragma once

#include "BackupFixtures.h"
#include "QELDeviceBackUpDelegate.h"
#include "QELDeviceBackupCompleteArguments.h"

#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

// Collects the backup's completion events, which come on its worker thread.
class RecordingBackupDelegate : public QELDeviceBackUpDelegate {
public:
    void OnDeviceBackupCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_backups.push_back(arguments);
        m_changed.notify_all();
    }
    void OnDeviceRestoreCompleteEvent(const QELDeviceBackupCompleteArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_restores.push_back(arguments);
        m_changed.notify_all();
    }
    // Waits (bounded) until `count` backup events have come.
    bool waitForBackups(size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(120), [&] { return m_backups.size() >= count; });
    }
    bool waitForRestores(size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(120), [&] { return m_restores.size() >= count; });
    }
    std::vector<QELDeviceBackupCompleteArguments> backups()
    {
        std::lock_guard lock(m_mutex);
        return m_backups;
    }
    std::vector<QELDeviceBackupCompleteArguments> restores()
    {
        std::lock_guard lock(m_mutex);
        return m_restores;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QELDeviceBackupCompleteArguments> m_backups;
    std::vector<QELDeviceBackupCompleteArguments> m_restores;
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
                         "echo \"$line\" >> '" + QFile::encodeName(log()) + "'\n"
                         "if [ \"${ORVANE_BACKUP_PASSWORD+set}\" = set ]; then echo \"password=$ORVANE_BACKUP_PASSWORD\" >> '" +
                             QFile::encodeName(log()) + "'; fi\n" + body);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QString log() const { return m_dir.path() + QStringLiteral("/runs.log"); }
    QStringList runs() const { return QString::fromUtf8(readFixtureFile(log())).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
