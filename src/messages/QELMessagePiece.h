// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One part of a message: its text, or a picture, video or sound file of the
// device. A text part keeps its text as its location.
class QELMessagePiece {
public:
    QELMessagePiece() = default;
    QELMessagePiece(const QString& contentType, int partId, const QString& contentLocation)
        : m_contentType(contentType)
        , m_contentLocation(contentLocation)
        , m_partId(partId)
    {
    }

    // A MIME type ("image/jpeg"), or "text", "image", "video" or "audio".
    QString contentType() const { return m_contentType; }
    void setContentType(const QString& type) { m_contentType = type; }
    // The text of a text part; the device path or file name of a media part.
    QString contentLocation() const { return m_contentLocation; }
    void setContentLocation(const QString& location) { m_contentLocation = location; }
    // The part number within the message; 0 when the database has none.
    int partId() const { return m_partId; }
    void setPartId(int partId) { m_partId = partId; }

    // Whether the part is the message's text rather than a file.
    bool isText() const
    {
        return m_contentType.contains(QLatin1String("text"), Qt::CaseInsensitive);
    }

private:
    QString m_contentType;
    QString m_contentLocation;
    int m_partId = 0;
};
