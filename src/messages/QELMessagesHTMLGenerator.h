// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include "QELMessageDetail.h"
#include "QELMessagesConversation.h"

class BackupFileSource;
class QELMessagesHTMLFormatterProtocol;
class AtomicFileBatch;
class QELMessagesHTMLGeneratorDelegate;

// Writes one conversation as one HTML page in one file: UTF-16LE text with
// one byte-order mark. Shown pages go into "message_temp" of the program's
// temporary folder (their attachments into its "files" folder); copied pages
// ("export form", with a credit line) into the folder the copy names, with
// their attachments beside them. The file is named after the conversation's
// title (and the date range when one is set), made safe for a file name, and
// " (n)" is added when the name is taken; no file is ever replaced.
//
// Every device text on the page is escaped. The page is written as it is
// made, through a temporary file renamed into place once complete, so a
// conversation of any length takes memory for one message at a time, and a
// page that could not be written or was cancelled leaves nothing behind.
//
// A generation runs on the caller's thread (a worker); cancel() may come from
// any thread. The export folder belongs to the one generation it was given to.
class QELMessagesHTMLGenerator {
public:
    QELMessagesHTMLGenerator();
    ~QELMessagesHTMLGenerator();

    // Shown form, attachments from the backup (none: no attachments). The
    // page's path, or an empty list when nothing was written.
    QStringList generateHTMLForConversationWithMessagesUseDeviceBackup(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        BackupFileSource* backup);
    // Shown form, attachments from a folder of extracted device files (by
    // their path below it, else by their name at its top).
    QStringList generateHTMLForConversationWithMessagesUseViewDatapath(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        const QString& viewDataPath);
    // Export form into `folder` (made when missing).
    QStringList generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        BackupFileSource* backup, const QString& folder);
    QStringList generateHTMLForConversationWithMessagesUseViewDataPathToFilePath(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        const QString& viewDataPath, const QString& folder);

    // Stops the generation under way at its next message; it writes nothing
    // and answers an empty list. Later generations are not affected. Any thread.
    void cancel();

    // The folder of shown pages, with a "/" at its end.
    QUrl baseURL() const;

    QELMessagesHTMLGeneratorDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELMessagesHTMLGeneratorDelegate* delegate) { m_delegate = delegate; }
    int iOSVersion() const { return m_iOSVersion; }
    void setIOSVersion(int version) { m_iOSVersion = version; }
    // The range shown; only with both set do the name and the header say so.
    QDateTime startDate() const;
    void setStartDate(const QDateTime& date);
    QDateTime endDate() const;
    void setEndDate(const QDateTime& date);

    // How dates are written: the user's locale and time zone unless set (tests).
    void setLocale(const QLocale& locale) { m_locale = locale; }
    void setTimeZone(const QTimeZone& zone) { m_timeZone = zone; }
    // Pages of a copy run go through the run's batch, which syncs them all
    // once at its end; without one each page is synced as it is written.
    void setFileBatch(AtomicFileBatch* batch) { m_batch = batch; }
    // The program's temporary folder (Locations::temporaryFolder() unless set).
    void setTemporaryFolder(const QString& folder) { m_temporaryFolder = folder; }
    QString temporaryFolder() const;

    static QString _styles();
    QString _htmlHeaderForConversationWithWithTotalMessageCountWithPageIndexCode(
        const QString& title, quint64 count, const QString& pageIndexCode) const;
    static QString _htmlFooter(bool exportForm);
    static QString _generatePageIndexWithNumberOfPagesConversationName(int pages,
                                                                       const QString& stem);
    // The file name stem of a conversation: its title, and the range "(dd MMM
    // yyyy - dd MMM yyyy)" when both dates are set.
    QString fileStemForTitle(const QString& title) const;

private:
    QStringList _generateHTMLForConversationWithMessagesUseMessageFormatter(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        QELMessagesHTMLFormatterProtocol& formatter, const QString& exportFolder);
    QStringList generate(const QELMessagesConversation& conversation,
                         const QList<QELMessageDetail>& messages, BackupFileSource* backup,
                         const QString& viewDataPath, const QString& exportFolder);
    std::unique_ptr<QELMessagesHTMLFormatterProtocol> makeFormatter(
        const QELMessagesConversation& conversation) const;
    QDateTime shown(const QDateTime& time) const;
    QString rangeText(const QDateTime& date) const;

    QELMessagesHTMLGeneratorDelegate* m_delegate = nullptr;
    int m_iOSVersion = 0;
    mutable std::mutex m_mutex; // guards the two dates
    QDateTime m_startDate;
    QDateTime m_endDate;
    QLocale m_locale;
    std::optional<QTimeZone> m_timeZone;
    AtomicFileBatch* m_batch = nullptr;
    QString m_temporaryFolder;
    // Counts cancel() calls: a generation stops when the count changes.
    std::atomic<quint64> m_cancels{0};
};
