// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QMetaType>
#include <QString>

class AtomicFileBatch;

#include "QELNoteAccountDetail.h"
#include "QELNoteFolderDetail.h"
#include "QELNoteRowKey.h"

// One note as the readers make it. The view and the export hold notes (and
// their reader) through this interface, whichever database they came from.
// A reader fills a note on one thread and hands it over; afterwards it is
// changed only through its reader (QELNoteDatabaseReader::extractMediaForNote),
// under the reader's lock.
class QELNoteDetail {
public:
    virtual ~QELNoteDetail() = default;

    virtual QString plainTextRepresentation() const = 0;
    // The note as an HTML page for display; `title` goes into its <title>.
    virtual QString htmlRepresentationWithTitle(const QString& title) const = 0;
    // The note as an HTML page to be written to `path`; copies its attachments
    // into the attachments folder beside that path. Blocking: worker threads.
    virtual QString htmlExportToPath(const QString& path, const QString& title) const = 0;
    // The same, counting in `notExported` the attachments the page could not
    // carry (none could be copied, or they are of a kind no page shows); the
    // attachments are placed through `files`, which the run syncs once (null:
    // each is synced at once).
    virtual QString htmlExportCounting(const QString& path, const QString& title, int* notExported,
                                       AtomicFileBatch* files = nullptr) const
    {
        Q_UNUSED(files)
        if (notExported)
            *notExported = 0;
        return htmlExportToPath(path, title);
    }

    qint64 noteId() const { return m_noteId; }
    void setNoteId(qint64 noteId) { m_noteId = noteId; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // The note's plain text for the list and the search.
    QString summary() const { return m_summary; }
    void setSummary(const QString& summary) { m_summary = summary; }
    // Invalid when the database holds no date.
    QDateTime lastModified() const { return m_lastModified; }
    void setLastModified(const QDateTime& date) { m_lastModified = date; }
    QDateTime creationDate() const { return m_creationDate; }
    void setCreationDate(const QDateTime& date) { m_creationDate = date; }
    const std::optional<QELNoteAccountDetail>& accountDetail() const { return m_accountDetail; }
    void setAccountDetail(const std::optional<QELNoteAccountDetail>& account)
    {
        m_accountDetail = account;
    }
    const std::optional<QELNoteFolderDetail>& folderDetail() const { return m_folderDetail; }
    void setFolderDetail(const std::optional<QELNoteFolderDetail>& folder)
    {
        m_folderDetail = folder;
    }

    // Which note this is, across both databases.
    QELNoteRowKey rowKey() const { return m_rowKey; }
    void setRowKey(const QELNoteRowKey& key) { m_rowKey = key; }
    // A locked note: listed with its title and dates, its body never decoded.
    bool passwordProtected() const { return m_passwordProtected; }
    void setPasswordProtected(bool locked) { m_passwordProtected = locked; }

protected:
    QELNoteDetail() = default;
    QELNoteDetail(const QELNoteDetail&) = default;
    QELNoteDetail& operator=(const QELNoteDetail&) = default;

private:
    qint64 m_noteId = 0;
    QString m_title;
    QString m_summary;
    QDateTime m_lastModified;
    QDateTime m_creationDate;
    std::optional<QELNoteAccountDetail> m_accountDetail;
    std::optional<QELNoteFolderDetail> m_folderDetail;
    QELNoteRowKey m_rowKey;
    bool m_passwordProtected = false;
};

// Notes travel in a copy job's queue.
Q_DECLARE_METATYPE(std::shared_ptr<QELNoteDetail>)
