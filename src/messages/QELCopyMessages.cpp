// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyMessages.h"

#include <typeinfo>

#include "AtomicFileBatch.h"
#include "BackupFileSource.h"
#include "CopyFailure.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELMessagesDBReaderProtocol.h"
#include "QELMessagesHTMLGenerator.h"

QELCopyMessages::QELCopyMessages(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyMessages::~QELCopyMessages() { stopWorkers(); }

void QELCopyMessages::startCopy()
{
    QELCopy::startCopy();
    _startWorker([this] { _copyMessages(); });
}

std::shared_ptr<BackupFileSource> QELCopyMessages::deviceBackup() const
{
    std::lock_guard lock(m_mutex);
    return m_deviceBackup;
}

void QELCopyMessages::setDeviceBackup(const std::shared_ptr<BackupFileSource>& backup)
{
    std::lock_guard lock(m_mutex);
    m_deviceBackup = backup;
}

QString QELCopyMessages::viewDataPath() const
{
    std::lock_guard lock(m_mutex);
    return m_viewDataPath;
}

void QELCopyMessages::setViewDataPath(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_viewDataPath = path;
}

QDateTime QELCopyMessages::startDate() const
{
    std::lock_guard lock(m_mutex);
    return m_startDate;
}

void QELCopyMessages::setStartDate(const QDateTime& date)
{
    std::lock_guard lock(m_mutex);
    m_startDate = date;
}

QDateTime QELCopyMessages::endDate() const
{
    std::lock_guard lock(m_mutex);
    return m_endDate;
}

void QELCopyMessages::setEndDate(const QDateTime& date)
{
    std::lock_guard lock(m_mutex);
    m_endDate = date;
}

void QELCopyMessages::setReaders(const QList<std::shared_ptr<QELMessagesDBReaderProtocol>>& readers)
{
    std::lock_guard lock(m_mutex);
    m_readers = readers;
}

void QELCopyMessages::setLocale(const QLocale& locale)
{
    std::lock_guard lock(m_mutex);
    m_locale = locale;
}

void QELCopyMessages::setTimeZone(const QTimeZone& zone)
{
    std::lock_guard lock(m_mutex);
    m_timeZone = zone;
}

void QELCopyMessages::_copyMessages()
{
    // What this run uses, taken once: the view may change the job for its next run.
    std::shared_ptr<BackupFileSource> backup;
    QString viewDataPath;
    QDateTime start;
    QDateTime end;
    QList<std::shared_ptr<QELMessagesDBReaderProtocol>> readers;
    QELMessagesHTMLGenerator generator;
    {
        std::lock_guard lock(m_mutex);
        backup = m_deviceBackup;
        viewDataPath = m_viewDataPath;
        start = m_startDate;
        end = m_endDate;
        readers = m_readers;
        if (m_locale)
            generator.setLocale(*m_locale);
        if (m_timeZone)
            generator.setTimeZone(*m_timeZone);
    }
    const QString folder = baseCopyPath();
    if (itemCount() == 0 || !_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    generator.setStartDate(start);
    generator.setEndDate(end);
    AtomicFileBatch pages;
    generator.setFileBatch(&pages);
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELMessagesConversation conversation = item->value<QELMessagesConversation>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(conversation.title());
        args.setSenderClass(typeid(QELCopyMessages));
        _callOnItemCopyBeginEventWith(args);
        QELMessagesDBReaderProtocol* reader = conversation.conversationDBReader();
        if (!reader) {
            _itemCouldNotBeCopied();
            continue;
        }
        QString readError;
        const QList<QELMessageDetail> messages =
            reader->readMessages(conversation, start, end, &readError);
        // A page that lacked what the database could not give would pass
        // for the whole conversation.
        if (!readError.isEmpty()) {
            qCWarning(lcOrvane).noquote()
                << "Messages:" << conversation.title() << "was not copied:" << readError;
            _itemCouldNotBeCopied();
            continue;
        }
        const QStringList pages = viewDataPath.isEmpty()
            ? generator.generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
                conversation, messages, backup.get(), folder)
            : generator.generateHTMLForConversationWithMessagesUseViewDataPathToFilePath(
                conversation, messages, viewDataPath, folder);
        // An attachment that could not be put beside the page (a full disk)
        // leaves the conversation incomplete even when its page was written.
        const CopyFailure noted = CopyFailures::last();
        if (pages.isEmpty() || (noted != CopyFailure::None && noted != CopyFailure::Cancelled)) {
            if (!_isCancelled() || CopyFailures::last() == CopyFailure::DiskFull) {
                qCWarning(lcOrvane).noquote()
                    << "Messages: a conversation could not be copied into" << folder;
                _itemCouldNotBeCopied();
            }
        }
    }
    // What was written stays, also after a cancel; it reaches the disk here.
    QString error;
    if (!pages.commit(&error))
        qCWarning(lcOrvane).noquote() << "Messages: the copied pages could not be synced:" << error;
    _callAllItemsCopiedDelegate();
}
