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
#include "InspectJsonStream.h"
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

// Writes one conversation with its messages, message by message; false
// (and `error` says why) when its messages could not be read.
bool printConversation(InspectJsonStream& out, QELMessagesDBReaderProtocol& reader,
                       const QELMessagesConversation& conversation, QString* error)
{
    const QList<QELMessageDetail> messages = reader.readMessages(conversation, {}, {}, error);
    if (!error->isEmpty())
        return false;
    QJsonArray participants;
    for (const QELMessageParticipant& participant : conversation.participants()) {
        QJsonObject json;
        json.insert(QStringLiteral("address"), text(participant.address()));
        json.insert(QStringLiteral("name"), text(participant.name()));
        participants.append(json);
    }
    out.beginObject();
    out.member(QStringLiteral("id"), InspectJson::id(conversation.conversationId()));
    out.member(QStringLiteral("isGroup"),
               conversation.conversationType() == 1 ? conversation.isGroupChat()
                                                    : conversation.participants().size() > 1);
    out.beginArray(QStringLiteral("messages"));
    for (const QELMessageDetail& message : messages)
        out.value(messageJson(conversation, message));
    out.end();
    out.member(QStringLiteral("participants"), participants);
    out.member(QStringLiteral("service"), serviceOf(conversation, messages));
    out.member(QStringLiteral("title"), text(conversation.title()));
    out.end();
    return true;
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

    // The conversation lists come first, so the export is made, and every
    // failure to open or list is told, before any JSON is printed.
    struct Source {
        std::shared_ptr<QELMessagesDBReaderProtocol> reader;
        QString name;
        QList<QELMessagesConversation> conversations;
    };
    QList<Source> sources;
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
        sources.append({sms, QStringLiteral("sms.db"), sms->readConversationList(&error)});
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
        sources.append({whatsApp, QStringLiteral("ChatStorage.sqlite"),
                        whatsApp->readConversationList(&error)});
        if (!error.isEmpty())
            return InspectSubcommands::fail(QStringLiteral("ChatStorage.sqlite: %1").arg(error));
    }

    if (!anyRead)
        return InspectSubcommands::fail(
            QStringLiteral("no messages in %1: %2")
                .arg(request.input, problems.join(QStringLiteral("; "))));
    for (const Source& source : std::as_const(sources))
        for (const QELMessagesConversation& conversation : source.conversations)
            queue << QVariant::fromValue(conversation);
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
    queue.clear();

    // Messages are read conversation by conversation as they are printed: a
    // read that fails part-way ends the run with its reason and the exit
    // code of a damaged input, and the document is left unfinished (see
    // InspectJsonStream), never closed as if it were whole.
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("conversations"));
    for (const Source& source : std::as_const(sources)) {
        for (const QELMessagesConversation& conversation : source.conversations) {
            error.clear();
            if (!printConversation(out, *source.reader, conversation, &error))
                return InspectSubcommands::fail(QStringLiteral("%1: %2").arg(source.name, error));
        }
    }
    return out.finish();
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
