// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELMessagesHTMLFormatterProtocol.h"

// The bubble of a WhatsApp message: its text, then its pictures, videos and
// sound clips, fetched from WhatsApp's domain of the backup ("Library"
// followed by the media path) or, where newer versions keep them, from its
// shared group container ("Message" followed by the path). A video shows its
// thumbnail when the backup holds one.
class QELMessagesWhatsAppHTMLFormatter : public QELMessagesHTMLFormatterProtocol {
public:
    QString formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
        const QELMessageDetail& message, const QString& destination, const QString& selectedText,
        bool isCopyFormat) override;

    // The local copy of a media file of the message, or of its thumbnail;
    // null when the backup holds neither.
    QString lookUpMedia(const QString& contentLocation) const;
    QString lookUpThumbnail(const QString& contentLocation) const;
};
