// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect messages (FOLDER | --backup UDID)`: every conversation of
// sms.db (with the address book and the messages preferences that name its
// people) and of WhatsApp's ChatStorage.sqlite (with its Contacts.sqlite),
// with every message the readers give, as the messages view reads them.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectSubcommand.h"
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
                             const QELMessagesConversation& conversation)
{
    const QList<QELMessageDetail> messages =
        reader.getMessagesFromConversationWithStartDateAndEndDate(conversation, {}, {});
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

int inspectMessages(const InspectRequest& request)
{
    QStringList problems;
    bool anyRead = false;
    QJsonArray conversations;

    std::unique_ptr<QELMessagesDbReader> sms = QELMessagesDbReader::makeReader(request.source);
    QString error;
    if (!sms) {
        problems << QStringLiteral("no sms.db");
    } else if (!sms->loadMessages() || !sms->canOpenDatabase(&error)) {
        problems << QStringLiteral("sms.db could not be read: %1").arg(error);
    } else {
        anyRead = true;
        for (const QELMessagesConversation& conversation : sms->getConversationList())
            conversations.append(conversationJson(*sms, conversation));
    }

    std::unique_ptr<QELMessagesWhatsAppDbReader> whatsApp =
        QELMessagesWhatsAppDbReader::makeReader(request.source);
    error.clear();
    if (!whatsApp) {
        problems << QStringLiteral("no ChatStorage.sqlite");
    } else if (!whatsApp->loadMessages() || !whatsApp->canOpenDatabase(&error)) {
        problems << QStringLiteral("ChatStorage.sqlite could not be read: %1").arg(error);
    } else {
        anyRead = true;
        for (const QELMessagesConversation& conversation : whatsApp->getConversationList())
            conversations.append(conversationJson(*whatsApp, conversation));
    }

    if (!anyRead)
        return InspectSubcommands::fail(
            QStringLiteral("no messages in %1: %2")
                .arg(request.input, problems.join(QStringLiteral("; "))));
    QJsonObject root;
    root.insert(QStringLiteral("conversations"), conversations);
    return InspectJson::print(root);
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("messages"),
    QStringLiteral("the conversations and their messages (sms.db, with AddressBook.sqlitedb "
                   "and com.apple.MobileSMS.plist when present; ChatStorage.sqlite and "
                   "Contacts.sqlite of WhatsApp)"),
    InspectSubcommand::Input::FolderOrBackup,
    false,
    QString(),
    {},
    inspectMessages,
});

} // namespace
