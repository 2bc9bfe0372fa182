// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect messages (FOLDER | --backup UDID)`: every conversation of
// sms.db (with the address book and the messages preferences that name its
// people) and of WhatsApp's ChatStorage.sqlite (with its Contacts.sqlite),
// with every message the readers give, as the messages view reads them;
// `--export DIR [--from yyyy-MM-dd --to yyyy-MM-dd]` writes each
// conversation's page into DIR as the view's copy does, attachments beside.
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectSubcommand.h"
#include "QELCopyDelegate.h"
#include "QELCopyMessages.h"
#include "QELMessagesDbReader.h"
#include "QELMessagesWhatsAppDbReader.h"

namespace {

using InspectJson::text;

QString serviceOf(const QELMessagesConversation& conversation,
                  const QList<QELMessageDetail>& messages)
{
    if (conversation.conversationType() == 1)
        return QStringLiteral("WhatsApp");
    if (conversation.isIMessage())
        return QStringLiteral("iMessage");
    for (const QELMessageDetail& message : messages) {
        if (message.isMadrid().value_or(false))
            return QStringLiteral("iMessage");
    }
    return QStringLiteral("SMS");
}

QJsonValue senderOf(const QELMessagesConversation& conversation, const QELMessageDetail& message)
{
    if (message.isFromMe())
        return QJsonValue::Null;
    const QString address = message.messageAddress();
    const QString key = QELMessagesConversation::normalizedAddress(address);
    for (const QELMessageParticipant& participant : conversation.participants()) {
        if (!address.isEmpty()
            && (participant.address() == address
                || QELMessagesConversation::normalizedAddress(participant.address()) == key)
            && !participant.name().isEmpty())
            return participant.name();
    }
    return address.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(address);
}

QJsonObject messageJson(const QELMessagesConversation& conversation,
                        const QELMessageDetail& message)
{
    QJsonArray attachments;
    for (const QELMessagePiece& piece : message.messagePieces()) {
        if (piece.isText())
            continue;
        QJsonObject attachment;
        attachment.insert(QStringLiteral("name"),
                          text(piece.contentLocation().isNull()
                                   ? QString()
                                   : piece.contentLocation().section(QLatin1Char('/'), -1)));
        attachment.insert(QStringLiteral("mimeType"), text(piece.contentType()));
        attachment.insert(QStringLiteral("path"), text(piece.contentLocation()));
        attachments.append(attachment);
    }
    QJsonObject json;
    json.insert(QStringLiteral("id"), InspectJson::id(message.rowId()));
    json.insert(QStringLiteral("date"), InspectJson::date(message.time()));
    json.insert(QStringLiteral("fromMe"), message.isFromMe());
    json.insert(QStringLiteral("sender"), senderOf(conversation, message));
    json.insert(QStringLiteral("text"), text(message.message()));
    json.insert(QStringLiteral("attachments"), attachments);
    return json;
}

QJsonObject conversationJson(QELMessagesDBReaderProtocol& reader,
                             const QELMessagesConversation& conversation, QString* error)
{
    const QList<QELMessageDetail> messages = reader.readMessages(conversation, {}, {}, error);
    QJsonArray participants;
    for (const QELMessageParticipant& participant : conversation.participants()) {
        QJsonObject json;
        json.insert(QStringLiteral("address"), text(participant.address()));
        json.insert(QStringLiteral("name"), text(participant.name()));
        participants.append(json);
    }
    QJsonArray list;
    for (const QELMessageDetail& message : messages)
        list.append(messageJson(conversation, message));
    QJsonObject json;
    json.insert(QStringLiteral("id"), InspectJson::id(conversation.conversationId()));
    json.insert(QStringLiteral("service"), serviceOf(conversation, messages));
    json.insert(QStringLiteral("title"), text(conversation.title()));
    json.insert(QStringLiteral("isGroup"),
                conversation.conversationType() == 1 ? conversation.isGroupChat()
                                                     : conversation.participants().size() > 1);
    json.insert(QStringLiteral("participants"), participants);
    json.insert(QStringLiteral("messages"), list);
    return json;
}

QString fromOption() { return QStringLiteral("from"); }
QString toOption() { return QStringLiteral("to"); }

// Ends the event loop when the job reports the end of its run.
class ExportWaiter : public QELCopyDelegate {
public:
    explicit ExportWaiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }

private:
    QEventLoop& m_loop;
};

// Runs the view's copy over every conversation; the number not written.
quint32 exportConversations(const QVariantList& conversations,
                            const QList<std::shared_ptr<QELMessagesDBReaderProtocol>>& readers,
                            BackupFileSource& source, const QString& folder, const QDateTime& from,
                            const QDateTime& to)
{
    QEventLoop loop;
    ExportWaiter waiter(loop);
    QELCopyMessages job;
    job.setDelegate(&waiter);
    // The request's source outlives the job.
    job.setDeviceBackup(std::shared_ptr<BackupFileSource>(&source, [](BackupFileSource*) {}));
    job.setReaders(readers);
    job.setStartDate(from);
    job.setEndDate(to);
    job.setBaseCopyPath(QDir(folder).absolutePath());
    job.setItemQueue(conversations);
    job.startCopy();
    loop.exec();
    return job.failedItemCount();
}

// A day of --from or --to; invalid when the text is not yyyy-MM-dd.
QDate dayOption(const InspectRequest& request, const QString& option)
{
    return QDate::fromString(request.parser.value(option), QStringLiteral("yyyy-MM-dd"));
}

int inspectMessages(const InspectRequest& request)
{
    QDateTime from;
    QDateTime to;
    const bool hasFrom = request.parser.isSet(fromOption());
    const bool hasTo = request.parser.isSet(toOption());
    if (hasFrom || hasTo) {
        if (request.exportFolder.isNull())
            return InspectSubcommands::fail(QStringLiteral("--from and --to go with --export"));
        if (hasFrom != hasTo)
            return InspectSubcommands::fail(
                QStringLiteral("give both --from and --to, or neither"));
        const QDate first = dayOption(request, fromOption());
        const QDate last = dayOption(request, toOption());
        if (!first.isValid() || !last.isValid())
            return InspectSubcommands::fail(
                QStringLiteral("--from and --to take days as yyyy-MM-dd"));
        if (first > last)
            return InspectSubcommands::fail(QStringLiteral("--from comes after --to"));
        // The readers compare calendar days in local time.
        from = first.startOfDay();
        to = last.startOfDay();
    }

    QStringList problems;
    bool anyRead = false;
    QJsonArray conversations;

    QVariantList queue;
    QList<std::shared_ptr<QELMessagesDBReaderProtocol>> readers;
    std::shared_ptr<QELMessagesDbReader> sms = QELMessagesDbReader::makeReader(request.source);
    QString error;
    if (!sms) {
        problems << QStringLiteral("no sms.db");
    } else if (!sms->loadMessages() || !sms->canOpenDatabase(&error)) {
        problems << QStringLiteral("sms.db could not be read: %1").arg(error);
    } else {
        anyRead = true;
        readers << sms;
        for (const QELMessagesConversation& conversation : sms->readConversationList(&error)) {
            conversations.append(conversationJson(*sms, conversation, &error));
            if (!error.isEmpty())
                break;
            queue << QVariant::fromValue(conversation);
        }
        if (!error.isEmpty())
            return InspectSubcommands::fail(QStringLiteral("sms.db: %1").arg(error));
        // The messages are whole; a file that names their people is not.
        for (const QString& warning : sms->warnings())
            InspectSubcommands::fail(QStringLiteral("warning: ") + warning);
    }

    std::shared_ptr<QELMessagesWhatsAppDbReader> whatsApp =
        QELMessagesWhatsAppDbReader::makeReader(request.source);
    error.clear();
    if (!whatsApp) {
        problems << QStringLiteral("no ChatStorage.sqlite");
    } else if (!whatsApp->loadMessages() || !whatsApp->canOpenDatabase(&error)) {
        problems << QStringLiteral("ChatStorage.sqlite could not be read: %1").arg(error);
    } else {
        anyRead = true;
        readers << whatsApp;
        for (const QELMessagesConversation& conversation : whatsApp->readConversationList(&error)) {
            conversations.append(conversationJson(*whatsApp, conversation, &error));
            if (!error.isEmpty())
                break;
            queue << QVariant::fromValue(conversation);
        }
        if (!error.isEmpty())
            return InspectSubcommands::fail(QStringLiteral("ChatStorage.sqlite: %1").arg(error));
    }

    if (!anyRead)
        return InspectSubcommands::fail(
            QStringLiteral("no messages in %1: %2")
                .arg(request.input, problems.join(QStringLiteral("; "))));
    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("cannot make the folder %1").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        const quint32 notWritten =
            exportConversations(queue, readers, request.source, request.exportFolder, from, to);
        if (notWritten != 0)
            return InspectSubcommands::fail(
                QStringLiteral("%1 of %2 conversations could not be written into %3")
                    .arg(notWritten)
                    .arg(queue.size())
                    .arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
    }
    QJsonObject root;
    root.insert(QStringLiteral("conversations"), conversations);
    return InspectJson::print(root);
}

void addMessagesOptions(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(
        fromOption(), QStringLiteral("With --export: the first day of the range (yyyy-MM-dd)."),
        QStringLiteral("DATE")));
    parser.addOption(QCommandLineOption(
        toOption(), QStringLiteral("With --export: the last day of the range (yyyy-MM-dd)."),
        QStringLiteral("DATE")));
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("messages"),
    QStringLiteral("the conversations and their messages (sms.db, with AddressBook.sqlitedb "
                   "and com.apple.MobileSMS.plist when present; ChatStorage.sqlite and "
                   "Contacts.sqlite of WhatsApp); --export DIR [--from DATE --to DATE] writes "
                   "the conversation pages"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    addMessagesOptions,
    inspectMessages,
});

} // namespace
