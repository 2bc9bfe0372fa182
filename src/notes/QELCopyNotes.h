// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include <QLocale>
#include <QString>

#include "QELCopy.h"
#include "QELNoteDatabaseReader.h"
#include "SafePath.h"

class AtomicFileBatch;

// Writes notes into a folder, one file each: HTML with an attachments folder
// beside it, or plain text. Files are named by the note's title, or by a date
// and the title, and never replace a file already there ("Shopping.html",
// "Shopping 1.html", ...). A locked note is not written and counts as not
// copied. A new run starts only once the run before it has finished the note
// it was writing, so two runs never write at once.
class QELCopyNotes : public QELCopy {
    Q_OBJECT
public:
    // Export options (a mask).
    static constexpr int kHTML = 0x01;
    static constexpr int kCreationDate = 0x10;
    static constexpr int kModifiedDate = 0x20;

    explicit QELCopyNotes(QObject* parent = nullptr);
    ~QELCopyNotes() override;

    int exportOptions() const;
    void setExportOptions(int options);
    // Not owned: the job holds the reader only while it writes a note.
    std::shared_ptr<QELNoteDatabaseReader> databaseReader() const;
    void setDatabaseReader(const std::shared_ptr<QELNoteDatabaseReader>& reader);
    // The locale of the dates in file names (the system's unless set).
    void setLocale(const QLocale& locale);

    void startCopy() override;

    // A note as an item of the queue.
    static QVariant itemForNote(const std::shared_ptr<QELNoteDetail>& note);

    // The file name before it is made safe: the title (UNTITLEDNOTE's text
    // for none), or "<medium date> - <title>" with the creation date (0x10,
    // which wins) or the last-modified date (0x20).
    static QString baseNameForNote(const QELNoteDetail& note, int options, const QLocale& locale);
    // A date as a medium-length localized date ("1 Jun 2024", "Jun 1, 2024").
    static QString mediumDate(const QDateTime& date, const QLocale& locale);
    // The namer of one run into `folder`: the nine characters other systems
    // refuse and "/" become "_", numbered " 1", " 2" when taken.
    static SafePath::UniqueNamer namerForRun(const QString& folder);

    enum class Result { Written, Locked, WriteFailed };
    // Writes one note (its media extracted first through `reader` when
    // given); the path written, or tried, in `path`. Blocking: worker threads.
    static Result exportNote(QELNoteDetail& note, QELNoteDatabaseReader* reader, int options,
                             SafePath::UniqueNamer& namer, const QLocale& locale, QString* path,
                             QString* error);
    // The same within a run: the media read through `session` (of `reader`;
    // null: the note's own), the page placed through `files`, which the run
    // syncs once at its end (null: the page is synced at once).
    static Result exportNote(QELNoteDetail& note, QELNoteDatabaseReader* reader,
                             QELNoteDatabaseReader::MediaSession* session, AtomicFileBatch* files,
                             int options, SafePath::UniqueNamer& namer, const QLocale& locale,
                             QString* path, QString* error, int* attachmentsNotExported = nullptr);

private:
    void _copyNotes(std::shared_ptr<QELNoteDatabaseReader> reader, int options, QLocale locale);

    mutable std::mutex m_mutex; // guards the members below
    int m_exportOptions = kHTML;
    std::weak_ptr<QELNoteDatabaseReader> m_databaseReader;
    QLocale m_locale;
    // Held by a run for its whole length: the next run waits for it.
    std::mutex m_runMutex;
};
