// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

#include "QELMessagesHTMLFormatterProtocol.h"

// The bubble of an SMS or iMessage message: its subject in bold, its text
// parts, then its pictures and then its videos, fetched from "MediaDomain"
// of the backup by their path below the device's home folder. A JPEG picture
// is shown upright (its EXIF orientation applied to a prepared copy); a HEIC
// picture, which the web view cannot show, as a JPEG rendition linked to the
// original; any other attachment (a PDF, a sound) as a link to its file.
class QELMessageHTMLFormatter : public QELMessagesHTMLFormatterProtocol {
public:
    QString formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
        const QELMessageDetail& message, const QString& destination, const QString& selectedText,
        bool isCopyFormat) override;

    QString viewDataPath() const override;
    void setViewDataPath(const QString& path) override;

    // The picture to show for a local JPEG file: an upright copy in the
    // temporary folder's "rotateImagesTemp" (made once per picture and
    // reused) when the file has an EXIF orientation, else the file itself.
    QString _rotateImage(const QString& path) const;
    // The same for a picture already read.
    QString rotatedCopy(const QString& path, const QByteArray& bytes) const;

    // An attachment's location in sms.db as a path in "MediaDomain":
    // "/var/mobile/" taken out, white space and then "~" and "/" trimmed.
    static QString devicePathOf(const QString& contentLocation);

private:
    mutable std::mutex m_mutex;
    QString m_viewDataPath;
};
