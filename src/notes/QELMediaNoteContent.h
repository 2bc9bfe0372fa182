// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "QELNoteContent.h"
#include "QELNoteMediaDetail.h"

class AtomicFileBatch;

// One attachment of a note: an image, a sketch, a video, or a placeholder
// that stands for an attachment of a kind the pages do not show.
class QELMediaNoteContent : public QELNoteContent {
public:
    QELMediaNoteContent();

    // The attachment as HTML for the page shown in the view: the local copy
    // as an <img> or <video> whose source is a file URL; the device's file
    // name as text when the picture could not be decoded; a table's cells as
    // a <table> of their text; "<br/>" when there is no copy.
    QString htmlRepresentation() const override;
    // Always empty.
    QString plainTextRepresentation() const override;

    // The attachment as HTML for a page exported to `htmlPath`: the local copy
    // is copied into the attachments folder beside it ("<page> - Attachments",
    // made when missing) as "<exportName>.<fileType>" and referred to by a
    // relative, percent-encoded source. A copy already there with the same
    // bytes is referred to as it is; a different file of that name keeps its
    // place and the copy takes a numbered name. A table is written as on the
    // view's page, with no file. "<br/>" when there is nothing
    // to copy or the copy failed. Blocking: worker threads.
    // Through `files` the copy is placed by the export's batch, synced once
    // at the end of its run (null: synced at once).
    QString htmlExportAtPath(const QString& htmlPath, AtomicFileBatch* files = nullptr) const;

    // The folder of a page's attachments: `htmlPath` with a trailing ".html"
    // replaced by " - Attachments" (only the trailing one: a folder or title
    // holding ".html" elsewhere stays as it is).
    static QString attachmentsFolderForPage(const QString& htmlPath);

    const std::optional<QELNoteMediaDetail>& mediaData() const { return m_mediaData; }
    std::optional<QELNoteMediaDetail>& mediaData() { return m_mediaData; }
    void setMediaData(const QELNoteMediaDetail& detail) { m_mediaData = detail; }
    // The decimal sequence number of the attachment in its note; names its export.
    QString exportName() const { return m_exportName; }
    void setExportName(const QString& name) { m_exportName = name; }
    // The attachment's identifier from the note's body.
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString& identifier) { m_identifier = identifier; }
    // The attachment's type identifier from the note's body ("public.jpeg").
    QString typeIdentifier() const { return m_typeIdentifier; }
    void setTypeIdentifier(const QString& uti) { m_typeIdentifier = uti; }
    // The local copy in the attachments folder; empty when none was made.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& path) { m_fileName = path; }
    // The local copy's extension, without the dot.
    QString fileType() const { return m_fileType; }
    void setFileType(const QString& type) { m_fileType = type; }
    // False when the local copy of an image or a sketch is the device's file
    // unchanged, because it could not be decoded: the page then names it.
    bool isPicture() const { return m_isPicture; }
    void setIsPicture(bool picture) { m_isPicture = picture; }
    // A table's cells, row by row; empty for any other attachment.
    const QList<QStringList>& tableRows() const { return m_tableRows; }
    void setTableRows(const QList<QStringList>& rows) { m_tableRows = rows; }

private:
    QString nameShownForFile() const;
    QString tableHtml() const;

    std::optional<QELNoteMediaDetail> m_mediaData;
    QString m_exportName;
    QString m_identifier;
    QString m_typeIdentifier;
    QString m_fileName;
    QString m_fileType;
    bool m_isPicture = true;
    QList<QStringList> m_tableRows;
};
