// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include <QList>
#include <QString>

#include "QELNoteDetail.h"

class BackupFileSource;

// What both note readers answer; the view and the export hold their reader
// through it. One reader is shared by the view's load, its note pages and the
// export's worker, so every call takes the reader's lock: two threads never
// use its database or change a note at once.
class QELNoteDatabaseReader {
public:
    using NoteList = QList<std::shared_ptr<QELNoteDetail>>;

    virtual ~QELNoteDatabaseReader() = default;
    QELNoteDatabaseReader(const QELNoteDatabaseReader&) = delete;
    QELNoteDatabaseReader& operator=(const QELNoteDatabaseReader&) = delete;

    // Every note, in display order, read as one read with one step budget.
    // Empty when the database could not be read; lastError() then says why
    // ("this database is damaged: ..." when a statement failed or ran out of
    // the budget: a list read in part would look whole). Blocking: worker
    // threads.
    virtual NoteList getAllNotes() = 0;
    // Decodes a note's body and copies its attachments, once per note, as one
    // read with one step budget; true when the note has its media (a note of
    // the older databases always has). False when the database could not be
    // opened or a statement of the read failed or ran out of the budget: the
    // note is then not taken for complete, and is read again when asked. Afterwards the note does
    // not change again, so its pages may be made without the lock.
    // Blocking: worker threads.
    virtual bool extractMediaForNote(QELNoteDetail& note);

    // What a run over many notes (an export) opens once for all of them: the
    // database, and the indexes of its bodies and inline texts. Made, used and
    // dropped on one worker thread (it holds that thread's connection).
    class MediaSession {
    public:
        virtual ~MediaSession() = default;
    };
    // Null when the reader needs none (its notes always have their media).
    virtual std::unique_ptr<MediaSession> openMediaSession();
    // extractMediaForNote() within a session of this reader (null: none).
    virtual bool extractMediaInSession(QELNoteDetail& note, MediaSession* session);
    // The reader's class name, as orvane-inspect prints it.
    virtual QString className() const = 0;

    // Why the last getAllNotes() could not read the database; empty when it
    // read everything.
    QString lastError() const;
    // The budget of one read when it is shorter than the connections' own
    // (tests, tools that must answer quickly); 0: theirs.
    void setReadBudget(std::chrono::milliseconds budget);
    std::chrono::milliseconds readBudget() const;

    // The reader for a backup's notes: the note store's when the backup holds
    // NoteStore.sqlite (with notes.sqlite for the non-Apple accounts), else
    // the older database's (notes.sqlite, else notes.db); null when the backup
    // holds none of them. The note store's reader copies attachments through
    // `source`, which must outlive it. Blocking: worker threads.
    static std::unique_ptr<QELNoteDatabaseReader> makeReader(BackupFileSource& source);

protected:
    QELNoteDatabaseReader() = default;
    void setLastError(const QString& error);

    // Held by every public call; recursive so that a call may use another.
    mutable std::recursive_mutex m_lock;

private:
    QString m_lastError;
    std::chrono::milliseconds m_readBudget{0};
};
