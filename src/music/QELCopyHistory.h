// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include <QHash>
#include <QString>
#include <QStringList>

#include "QELSQLiteStore.h"

class QELDeviceInterface;

// Which tracks were copied off a device, and with what result, kept on the
// device itself as one small database ("ovipodchm.db" at the root of its file
// area) so the marks follow the device from computer to computer. The program
// works on a local copy in its temporary folder and puts it back on the
// device with CommitHistoryToDevice().
//
// Layout: CopyHistoryEntry(itemId TEXT PRIMARY KEY, statusOK INTEGER,
// statusFAIL INTEGER). A device file that is no database of that layout
// reads as an empty history and is replaced at the next commit.
//
// Every record is written through to the file at once, and an in-memory
// mirror answers the per-row questions of the music view without touching
// the file. Thread-safe; the calls that reach the device or the file block
// (worker threads), the questions never do.
class QELCopyHistory : public QELSQLiteStore {
public:
    // The device's history (or a fresh one when it has none). Null, with the
    // reason in `why`, when no store can be kept in the temporary folder.
    static std::unique_ptr<QELCopyHistory> create(QELDeviceInterface* deviceInterface,
                                                  const QString& databaseName,
                                                  QString* why = nullptr);
    ~QELCopyHistory() override;

    // The result of the item's latest copy; one entry per item. Written to the
    // file at once: a worker thread.
    void RecordCopyHistoryForItemWithSucess(const QString& itemId, bool success);
    // 0 never recorded, 1 failed, 2 copied. Any thread, never waits for a write.
    qint64 GetCopyHistoryResultForItemWithID(const QString& itemId) const;
    // The items whose latest copy succeeded, in the order they were first recorded.
    QStringList GetItemIDSetForCopiedItems() const;
    // Puts the history on the device. The upload goes to a temporary name that
    // replaces the device's file only once it is complete, so a failed upload
    // leaves the last good history there. True when the device has it.
    bool CommitHistoryToDevice();
    // Forgets every record, here and on the device.
    void EraseCopyHistory();

    QString deviceDBPath() const { return m_deviceDBPath; }
    QString historyLocalCopy() const { return m_historyLocalCopy; }

protected:
    QStringList schemaStatements() const override;

private:
    QELCopyHistory() = default;
    bool openLocalStore(QString* why);
    void loadMirror();

    QELDeviceInterface* _deviceInterface = nullptr;
    QString m_deviceDBPath;
    QString m_historyLocalCopy;

    mutable std::mutex m_mirrorMutex; // guards the two members below
    QHash<QString, bool> m_mirror;    // itemId -> statusOK
    QStringList m_order;
};
