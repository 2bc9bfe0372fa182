// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELMessageDetail.h"

class BackupFileSource;

// Turns the parts of one message (its texts, pictures, videos and sound
// clips) into the HTML inside the message's bubble, fetching each attachment
// from the backup. A page's generator makes one per page and asks it once per
// message that has parts. One thread at a time (the generator's).
class QELMessagesHTMLFormatterProtocol {
public:
    virtual ~QELMessagesHTMLFormatterProtocol() = default;

    // The bubble's inside. In the copy form (`isCopyFormat`, `destination`
    // the folder of the page) every attachment is put beside the page and
    // referred to by its name; otherwise it is put into the attachment folder
    // and referred to by its local address. `selectedText` is not used.
    virtual QString formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
        const QELMessageDetail& message, const QString& destination, const QString& selectedText,
        bool isCopyFormat) = 0;

    // Where attachments are looked up (not owned); none: no attachments.
    BackupFileSource* backup() const { return m_backup; }
    void setBackup(BackupFileSource* backup) { m_backup = backup; }
    // The device's iOS major version; carried, it changes nothing.
    int iOSVersion() const { return m_iOSVersion; }
    void setIOSVersion(int version) { m_iOSVersion = version; }
    // A folder of extracted device files (only the SMS and iMessage formatter
    // keeps it; attachments still come through backup()).
    virtual QString viewDataPath() const { return {}; }
    virtual void setViewDataPath(const QString& path) { (void)path; }

    // Where the attachments of a shown page go: a folder beside it, so that
    // the page only refers to files of its own folder.
    QString attachmentFolder() const { return m_attachmentFolder; }
    void setAttachmentFolder(const QString& folder) { m_attachmentFolder = folder; }
    // The program's temporary folder (prepared pictures, video thumbnails).
    QString temporaryFolder() const { return m_temporaryFolder; }
    void setTemporaryFolder(const QString& folder) { m_temporaryFolder = folder; }

private:
    BackupFileSource* m_backup = nullptr;
    int m_iOSVersion = 0;
    QString m_attachmentFolder;
    QString m_temporaryFolder;
};
