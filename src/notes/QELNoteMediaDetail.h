// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// What the note store holds about one attachment: its row (orientation and
// size) and the media row that names its file.
class QELNoteMediaDetail {
public:
    // The key of the media row; 0 when the attachment has none.
    qint64 mediaId() const { return m_mediaId; }
    void setMediaId(qint64 mediaId) { m_mediaId = mediaId; }
    int orientation() const { return m_orientation; }
    void setOrientation(int orientation) { m_orientation = orientation; }
    double height() const { return m_height; }
    void setHeight(double height) { m_height = height; }
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    // A video's still preview in the attachments folder; empty when none was made.
    QString previewPath() const { return m_previewPath; }
    void setPreviewPath(const QString& path) { m_previewPath = path; }

    // The media row's own identifier and file name (ZIDENTIFIER, ZFILENAME),
    // which place its file in the backup: ".../Media/<identifier>/.../<name>".
    QString mediaIdentifier() const { return m_mediaIdentifier; }
    void setMediaIdentifier(const QString& identifier) { m_mediaIdentifier = identifier; }
    QString mediaFileName() const { return m_mediaFileName; }
    void setMediaFileName(const QString& name) { m_mediaFileName = name; }

private:
    qint64 m_mediaId = 0;
    int m_orientation = 0;
    double m_height = 0;
    double m_width = 0;
    QString m_previewPath;
    QString m_mediaIdentifier;
    QString m_mediaFileName;
};
