// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include "QELCopy.h"
#include "QELMessagesConversation.h"

class BackupFileSource;
class QELMessagesDBReaderProtocol;

// Saves conversations (QELMessagesConversation items) as one HTML page each
// in the destination folder, limited to the date range, with their
// attachments beside them. The page of a conversation is named after its
// title (and the range), numbered when the name is taken; no file is
// replaced. Runs on a worker thread; a cancel ends the run after the
// conversation in hand, and the end of the run counts every conversation
// whose page could not be written.
class QELCopyMessages : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyMessages(QObject* parent = nullptr);
    ~QELCopyMessages() override;

    void startCopy() override;

    // Where attachments come from (shared with the view that made the job).
    std::shared_ptr<BackupFileSource> deviceBackup() const;
    void setDeviceBackup(const std::shared_ptr<BackupFileSource>& backup);
    // A folder of extracted device files used instead of the backup.
    QString viewDataPath() const;
    void setViewDataPath(const QString& path);
    // The range (both or neither): only the messages of its days.
    QDateTime startDate() const;
    void setStartDate(const QDateTime& date);
    QDateTime endDate() const;
    void setEndDate(const QDateTime& date);
    // The readers the queued conversations name, kept alive while the job runs.
    void setReaders(const QList<std::shared_ptr<QELMessagesDBReaderProtocol>>& readers);

    // How the pages write their dates (tests and tools); the user's unless set.
    void setLocale(const QLocale& locale);
    void setTimeZone(const QTimeZone& zone);

private:
    void _copyMessages();

    mutable std::mutex m_mutex; // guards the members below
    std::shared_ptr<BackupFileSource> m_deviceBackup;
    QString m_viewDataPath;
    QDateTime m_startDate;
    QDateTime m_endDate;
    QList<std::shared_ptr<QELMessagesDBReaderProtocol>> m_readers;
    std::optional<QLocale> m_locale;
    std::optional<QTimeZone> m_timeZone;
};
