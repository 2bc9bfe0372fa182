// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesDbReader.h"

#include <algorithm>

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "Log.h"
#include "Plist.h"
#include "QELContactNameLookup.h"
#include "QELMessagesDayFilter.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"
#include "TypedStreamReader.h"

namespace {

constexpr int kAddressBook = 0;
constexpr int kMessagesDb = 5;
constexpr int kMobileSMSPlist = 12;

using Source = QELMessagesConversation::Source;

bool hasTable(sqlite3* db, const char* table)
{
    return QELSQLiteHelper::doesDatabaseContainTable(db, QString::fromLatin1(table));
}

bool hasColumn(sqlite3* db, const char* table, const char* column)
{
    return QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, QString::fromLatin1(table),
                                                                    QString::fromLatin1(column));
}

QString columnOrNull(sqlite3* db, const char* table, const char* column, const char* alias)
{
    return QELSQLiteHelper::columnOrNull(db, QString::fromLatin1(table),
                                         QString::fromLatin1(column), QString::fromLatin1(alias));
}

// "?,?,?" for `count` values.
QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

QVariantList asValues(const QList<qint64>& numbers)
{
    QVariantList values;
    for (qint64 number : numbers)
        values << QVariant(number);
    return values;
}

// A LIKE pattern that matches `text` literally (with ESCAPE '\').
QString escapedForLike(const QString& text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

// The text of a message: the text column, or, when that is empty, the text
// archived in attributedBody (the only copy on later systems).
const QString kCutMark = QELMessagesDBReaderProtocol::cutMark();
const QString kRefusedMark = QStringLiteral("[this message's text is too large to be read]");

QString cappedText(const QELSQLiteStatement& row, int column)
{
    bool cut = false;
    const QString text = row.cappedText(column, QELMessagesDbReader::kMaxTextBytes, &cut);
    return cut ? text + kCutMark : text;
}

QString messageText(const QELSQLiteStatement& row, int textColumn, int bodyColumn)
{
    bool cut = false;
    QString text = row.cappedText(textColumn, QELMessagesDbReader::kMaxTextBytes, &cut);
    if (cut)
        return text + kCutMark;
    if (!text.isEmpty() || row.isNull(bodyColumn))
        return text;
    bool refused = false;
    const QByteArray body =
        row.cappedBlob(bodyColumn, QELMessagesDbReader::kMaxBlobBytes, &refused);
    if (refused)
        return kRefusedMark;
    if (const auto archived = TypedStreamReader::attributedStringText(body)) {
        if (archived->size() > QELMessagesDbReader::kMaxTextBytes)
            return archived->left(QELMessagesDbReader::kMaxTextBytes) + kCutMark;
        return *archived;
    }
    return text;
}

// An iMessage its sender took back (iOS 16 and later): the row stays with
// its text gone; date_retracted marks it where it is set, and the summary
// archive lists the retracted parts under "rp" where it is not.
bool isUnsent(qint64 dateRetracted, const QByteArray& summaryInfo)
{
    if (dateRetracted != 0)
        return true;
    if (summaryInfo.isEmpty())
        return false;
    const QVariantMap summary = Plist::parse(summaryInfo).toMap();
    return !summary.value(QStringLiteral("rp")).toList().isEmpty();
}

void sortByTimeAndRow(QList<QELMessageDetail>& messages)
{
    std::stable_sort(
        messages.begin(), messages.end(), [](const QELMessageDetail& a, const QELMessageDetail& b) {
            // Messages without a time first, as the oldest.
            const qint64 left = a.time().isValid() ? a.time().toMSecsSinceEpoch() : LLONG_MIN;
            const qint64 right = b.time().isValid() ? b.time().toMSecsSinceEpoch() : LLONG_MIN;
            if (left != right)
                return left < right;
            return a.rowId() < b.rowId();
        });
}

// Builds the list while it is read: one conversation per number of a source.
class ConversationList {
public:
    ConversationList(QELMessagesDBReaderProtocol* reader, const QELContactNameLookup* lookup)
        : m_reader(reader)
        , m_lookup(lookup)
    {
    }

    QELMessagesConversation& conversation(Source source, qint64 id)
    {
        const auto key = std::pair{int(source), id};
        if (const auto found = m_index.constFind(key); found != m_index.cend())
            return m_list[*found];
        QELMessagesConversation conversation;
        conversation.setConversationType(0);
        conversation.setConversationDBReader(m_reader);
        conversation.setConversationId(id, source);
        m_index.insert(key, m_list.size());
        m_list.append(conversation);
        return m_list.last();
    }

    void addParticipant(QELMessagesConversation& conversation, const QString& address)
    {
        QELMessageParticipant participant(m_lookup);
        participant.setAddress(address);
        conversation.appendParticipant(participant);
    }

    bool hasMadridHandle(const QString& handle) const { return m_madridHandles.contains(handle); }
    void appendMadrid(const QELMessagesConversation& conversation)
    {
        m_madridHandles.insert(conversation.madridHandle());
        m_list.append(conversation);
    }

    const QELContactNameLookup* lookup() const { return m_lookup; }
    QList<QELMessagesConversation>& list() { return m_list; }

private:
    QELMessagesDBReaderProtocol* m_reader;
    const QELContactNameLookup* m_lookup;
    QList<QELMessagesConversation> m_list;
    QHash<std::pair<int, qint64>, qsizetype> m_index;
    QSet<QString> m_madridHandles;
};

// Every statement of one operation shares the read's budget, and the first
// that fails ends the operation.
void warnUnread(const char* what, const QELSQLiteStatement& statement)
{
    QELSQLiteStepBudget::failStatement("Messages", what, statement.errorMessage());
}

void readChats(sqlite3* db, ConversationList& list)
{
    if (!hasTable(db, "chat"))
        return;
    const bool joins = hasTable(db, "chat_handle_join") && hasTable(db, "handle");
    // Chats without handles (whose handles are gone) are listed too: their
    // messages are still there.
    const QString sql = joins
        ? QStringLiteral("SELECT c.ROWID AS chat_id, h.id, %1 FROM chat c "
                         "LEFT JOIN chat_handle_join chj ON chj.chat_id = c.ROWID "
                         "LEFT JOIN handle h ON chj.handle_id = h.ROWID "
                         "ORDER BY c.ROWID, chj.rowid")
              .arg(columnOrNull(db, "handle", "service", "h"))
        : QStringLiteral("SELECT c.ROWID AS chat_id, NULL, NULL FROM chat c ORDER BY c.ROWID");
    QELSQLiteStatement rows(db, sql);
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        QELMessagesConversation& conversation = list.conversation(Source::Chat, row.int64(0));
        if (!row.isNull(1))
            list.addParticipant(conversation, row.text(1));
        if (row.text(2) == QLatin1String("iMessage"))
            conversation.setIsIMessage(true);
        return true;
    });
    if (!read)
        warnUnread("the chats", rows);
}

void readMessageGroups(sqlite3* db, ConversationList& list)
{
    QString sql;
    if (hasTable(db, "group_member") && hasTable(db, "msg_group"))
        sql = QStringLiteral("SELECT mg.ROWID AS group_id, gm.address FROM msg_group mg "
                             "LEFT JOIN group_member gm ON gm.group_id = mg.ROWID "
                             "ORDER BY mg.ROWID, gm.rowid");
    else if (hasTable(db, "group_member_legacy") && hasTable(db, "msg_group_legacy"))
        sql = QStringLiteral("SELECT mg.ROWID AS group_id, gm.address FROM msg_group_legacy mg "
                             "LEFT JOIN group_member_legacy gm ON gm.group_id = mg.ROWID "
                             "ORDER BY mg.ROWID, gm.rowid");
    else
        return;
    QELSQLiteStatement rows(db, sql);
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        QELMessagesConversation& conversation =
            list.conversation(Source::MessageGroup, row.int64(0));
        if (!row.isNull(1))
            list.addParticipant(conversation, row.text(1));
        return true;
    });
    if (!read)
        warnUnread("the message groups", rows);
}

void readMadridChats(sqlite3* db, QELMessagesDBReaderProtocol* reader, ConversationList& list)
{
    const char* table = hasTable(db, "madrid_chat") ? "madrid_chat"
        : hasTable(db, "madrid_chat_legacy")        ? "madrid_chat_legacy"
                                                    : nullptr;
    if (!table)
        return;
    QELSQLiteStatement rows(db,
                            QStringLiteral("SELECT mc.ROWID AS chatId, %1, %2 FROM %3 mc "
                                           "ORDER BY mc.ROWID")
                                .arg(columnOrNull(db, table, "chat_identifier", "mc"),
                                     columnOrNull(db, table, "participants", "mc"),
                                     QString::fromLatin1(table)));
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        QELMessagesConversation conversation;
        conversation.setConversationType(0);
        conversation.setConversationDBReader(reader);
        conversation.setConversationId(row.int64(0), Source::Madrid);
        conversation.setIsIMessage(true);
        const QString identifier = row.text(1);
        if (identifier.isEmpty())
            return true; // nothing could find its messages
        conversation.setMadridHandle(identifier);
        // An array of addresses as a binary or XML property list.
        const QByteArray participants = row.cappedBlob(2, QELMessagesDbReader::kMaxTextBytes);
        if (!participants.isEmpty()) {
            for (const QVariant& address : Plist::parse(participants).toList()) {
                if (address.typeId() == QMetaType::QString) {
                    QELMessageParticipant participant(list.lookup());
                    participant.setAddress(address.toString());
                    conversation.appendParticipant(participant);
                }
            }
        }
        if (!list.hasMadridHandle(identifier))
            list.appendMadrid(conversation);
        return true;
    });
    if (!read)
        warnUnread("the iMessage chats", rows);
}

// Whether the database keeps messages by handle that no chat lists: a
// database without chat tables, or messages left out of every chat.
QString unjoinedMessages(sqlite3* db)
{
    QStringList conditions;
    if (hasTable(db, "chat_message_join"))
        conditions << QStringLiteral("m.ROWID NOT IN (SELECT message_id FROM chat_message_join)");
    // Rows of the older generations that share the table are theirs.
    if (hasColumn(db, "message", "group_id"))
        conditions << QStringLiteral("ifnull(m.group_id, 0) <= 0");
    if (hasColumn(db, "message", "madrid_handle"))
        conditions << QStringLiteral("m.madrid_handle IS NULL");
    return conditions.isEmpty() ? QStringLiteral("1") : conditions.join(QStringLiteral(" AND "));
}

const QString kHandleKey = QStringLiteral("(CASE WHEN h.ROWID IS NULL THEN 0 ELSE h.ROWID END)");

bool readsByHandle(sqlite3* db)
{
    return hasColumn(db, "handle", "id") && hasColumn(db, "message", "handle_id");
}

void readHandles(sqlite3* db, ConversationList& list)
{
    if (!readsByHandle(db))
        return;
    QELSQLiteStatement rows(
        db,
        QStringLiteral("SELECT %1 AS handle_key, h.id, %2, MIN(m.ROWID) AS first FROM "
                       "message m LEFT JOIN handle h ON h.ROWID = m.handle_id WHERE %3 "
                       "GROUP BY handle_key ORDER BY first")
            .arg(kHandleKey, columnOrNull(db, "handle", "service", "h"), unjoinedMessages(db)));
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        QELMessagesConversation& conversation = list.conversation(Source::Handle, row.int64(0));
        if (!row.isNull(1))
            list.addParticipant(conversation, row.text(1));
        if (row.text(2) == QLatin1String("iMessage"))
            conversation.setIsIMessage(true);
        return true;
    });
    if (!read)
        warnUnread("the messages by handle", rows);
}

// Same-titled conversations become one only when they are one person's.
QList<QELMessagesConversation> mergedByTitle(QList<QELMessagesConversation> list)
{
    QList<QELMessagesConversation> kept;
    QHash<QString, QList<qsizetype>> byTitle;
    for (QELMessagesConversation& conversation : list) {
        const QString title = conversation.title();
        bool merged = false;
        for (qsizetype index : byTitle.value(title)) {
            if (kept[index].sharesParticipantAddressWith(conversation)) {
                kept[index].mergeWithConversation(conversation);
                merged = true;
                break;
            }
        }
        if (!merged) {
            byTitle[title].append(kept.size());
            kept.append(conversation);
        }
    }
    std::stable_sort(kept.begin(), kept.end(), QELMessagesConversation::titleLessThan);
    return kept;
}

} // namespace

QELMessagesDbReader::QELMessagesDbReader(const QString& messagesDbPath,
                                         const QString& contactsDbPath,
                                         const QString& mobileSMSPlistPath)
    : m_messagesDbPath(messagesDbPath)
    , m_contactsDbPath(contactsDbPath)
    , m_mobileSMSPlistPath(mobileSMSPlistPath)
{
}

std::unique_ptr<QELMessagesDbReader> QELMessagesDbReader::makeReader(BackupFileSource& source)
{
    assertNotOnGuiThread();
    const QString messages = source.GetPathToDataOfType(kMessagesDb);
    if (messages.isEmpty() || !QFileInfo(messages).isFile())
        return nullptr;
    // The messages are read with or without the files that name their people.
    auto reader =
        std::make_unique<QELMessagesDbReader>(messages, source.GetPathToDataOfType(kAddressBook),
                                              source.GetPathToDataOfType(kMobileSMSPlist));
    QString problem;
    reader->setPhoneRegion(QELContactNameLookup::regionFromGlobalPreferences(
        source.GetPathForDeviceFileNameInDomain(QELContactNameLookup::globalPreferencesPath(),
                                                QStringLiteral("HomeDomain")),
        &problem));
    if (!problem.isEmpty()) {
        qCWarning(lcOrvane).noquote() << "Messages:" << problem;
        reader->m_regionWarnings << problem;
    }
    return reader;
}

QStringList QELMessagesDbReader::warnings() const
{
    std::lock_guard lock(m_poolMutex);
    return m_regionWarnings + m_lookupWarnings;
}

bool QELMessagesDbReader::loadMessages()
{
    if (m_messagesDbPath.isEmpty() || !QFileInfo(m_messagesDbPath).isFile())
        return false;
    if (!m_contactsDbPath.isEmpty() && !QFileInfo::exists(m_contactsDbPath))
        m_contactsDbPath.clear();
    if (!m_mobileSMSPlistPath.isEmpty() && !QFileInfo::exists(m_mobileSMSPlistPath))
        m_mobileSMSPlistPath.clear();
    return true;
}

bool QELMessagesDbReader::canOpenDatabase(QString* error) const
{
    return QELSQLiteDatabase::openCopyReadOnly(m_messagesDbPath, error).isOpen();
}

// A connection to sms.db for one operation: an idle one of an earlier
// operation when there is one, whose page cache still holds the pages a
// conversation's messages share with the others (they lie interleaved in
// time), else a new one. Back to the pool when the operation ends.
class QELMessagesDbReader::Connection {
public:
    Connection(QELMessagesDbReader& reader, QString* error)
        : m_reader(reader)
    {
        {
            std::lock_guard lock(reader.m_poolMutex);
            if (!reader.m_idle.empty()) {
                m_database = std::move(reader.m_idle.back());
                reader.m_idle.pop_back();
                return;
            }
        }
        m_database = QELSQLiteDatabase::openCopyReadOnly(reader.m_messagesDbPath, error);
        if (m_database.isOpen())
            m_database.execute(QStringLiteral("PRAGMA cache_size=-32768"));
    }
    ~Connection()
    {
        if (!m_database.isOpen())
            return;
        std::lock_guard lock(m_reader.m_poolMutex);
        if (m_reader.m_idle.size() < kMostIdle)
            m_reader.m_idle.push_back(std::move(m_database));
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    bool isOpen() const { return m_database.isOpen(); }
    sqlite3* handle() const { return m_database.handle(); }

private:
    static constexpr size_t kMostIdle = 2;
    QELMessagesDbReader& m_reader;
    QELSQLiteDatabase m_database;
};

QList<QELMessagesConversation> QELMessagesDbReader::getConversationList()
{
    return readConversationList(nullptr);
}

QList<QELMessagesConversation> QELMessagesDbReader::readConversationList(QString* error)
{
    return QELSQLiteStepBudget::asOneRead(
        error, [&] { return conversationList(); }, m_readBudget);
}

QList<QELMessageDetail> QELMessagesDbReader::getMessagesFromConversationWithStartDateAndEndDate(
    const QELMessagesConversation& conversation, const QDateTime& startDate,
    const QDateTime& endDate)
{
    return readMessages(conversation, startDate, endDate, nullptr);
}

QList<QELMessageDetail> QELMessagesDbReader::readMessages(
    const QELMessagesConversation& conversation, const QDateTime& startDate,
    const QDateTime& endDate, QString* error)
{
    return QELSQLiteStepBudget::asOneRead(
        error, [&] { return messagesOf(conversation, startDate, endDate); }, m_readBudget);
}

QList<QELMessagesConversation> QELMessagesDbReader::conversationList()
{
    assertNotOnGuiThread();
    QString error;
    const QELSQLiteDatabase database =
        QELSQLiteDatabase::openCopyReadOnly(m_messagesDbPath, &error);
    if (!database.isOpen()) {
        qCWarning(lcOrvane).noquote() << "Messages: sms.db could not be opened:" << error;
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("sms.db could not be opened"), error);
        return {};
    }
    sqlite3* db = database.handle();
    // The contacts database is read once for every participant of the list.
    const QELContactNameLookup lookup(m_contactsDbPath, m_mobileSMSPlistPath, m_phoneRegion);
    if (const QStringList problems = lookup.problems(); !problems.isEmpty()) {
        for (const QString& problem : problems)
            qCWarning(lcOrvane).noquote() << "Messages:" << problem;
        std::lock_guard lock(m_poolMutex);
        m_lookupWarnings = problems;
    } else {
        std::lock_guard lock(m_poolMutex);
        m_lookupWarnings.clear();
    }
    ConversationList list(this, &lookup);
    readChats(db, list);
    readMessageGroups(db, list);
    readMadridChats(db, this, list);
    readHandles(db, list);
    return mergedByTitle(list.list());
}

QList<QELMessageDetail> QELMessagesDbReader::messagesOf(const QELMessagesConversation& conversation,
                                                        const QDateTime& startDate,
                                                        const QDateTime& endDate)
{
    assertNotOnGuiThread();
    QString error;
    const Connection database(*this, &error);
    if (!database.isOpen()) {
        qCWarning(lcOrvane).noquote() << "Messages: sms.db could not be opened:" << error;
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("sms.db could not be opened"), error);
        return {};
    }
    sqlite3* db = database.handle();
    const bool range = QELMessagesDayFilter::isRange(startDate, endDate);
    const auto filtered = [&](const QList<QELMessageDetail>& messages) {
        return range ? QELMessagesDayFilter::_stripMessagesOutDateRange(messages, startDate,
                                                                        endDate, m_timeZone)
                     : messages;
    };

    QList<QELMessageDetail> messages = filtered(_getConversation(db, conversation));
    const QList<QELMessageDetail> byHandle = filtered(_getHandleConversation(db, conversation));
    bool mixed = !byHandle.isEmpty() && !messages.isEmpty();
    messages.append(byHandle);
    for (qint64 group : conversation.messageGroupIdArray()) {
        const QList<QELMessageDetail> part =
            filtered(_getLegacyConversationFromConversationId(db, group));
        mixed = mixed || !part.isEmpty();
        messages.append(part);
    }
    // Two chat identifiers of one person can find the same rows.
    QSet<qint64> madridRows;
    for (const QString& handle : conversation.madridHandleArray()) {
        for (const QELMessageDetail& message :
             filtered(_getMadridConversationsFromAddress(db, handle))) {
            if (!madridRows.contains(message.rowId())) {
                madridRows.insert(message.rowId());
                messages.append(message);
            }
        }
    }
    if (mixed || !conversation.madridHandleArray().isEmpty())
        sortByTimeAndRow(messages);
    return messages;
}

QList<QELMessageDetail> QELMessagesDbReader::readChatMessages(sqlite3* db, const QString& fromWhere,
                                                              const QVariantList& values) const
{
    const bool handles = hasTable(db, "handle");
    const QString handleJoin =
        handles ? QStringLiteral(" LEFT JOIN handle h ON h.ROWID = m.handle_id ") : QString();
    // The attachments come in the same pass, a row each after their
    // message's first: the conversation is read once.
    const bool attachments =
        hasTable(db, "message_attachment_join") && hasColumn(db, "attachment", "filename");
    const QString attachmentJoin = attachments
        ? QStringLiteral(" LEFT JOIN message_attachment_join maj ON maj.message_id = m.ROWID "
                         "LEFT JOIN attachment a ON a.ROWID = maj.attachment_id ")
        : QString();
    const QString columns =
        QStringList{QStringLiteral("m.ROWID"),
                    columnOrNull(db, "message", "text", "m"),
                    columnOrNull(db, "message", "attributedBody", "m"),
                    columnOrNull(db, "message", "subject", "m"),
                    columnOrNull(db, "message", "date", "m"),
                    columnOrNull(db, "message", "date_retracted", "m"),
                    columnOrNull(db, "message", "message_summary_info", "m"),
                    handles ? QStringLiteral("h.id") : QStringLiteral("NULL"),
                    columnOrNull(db, "message", "service", "m"),
                    columnOrNull(db, "message", "is_from_me", "m"),
                    attachments ? QStringLiteral("a.ROWID") : QStringLiteral("NULL"),
                    attachments ? QStringLiteral("a.filename") : QStringLiteral("NULL"),
                    attachments ? columnOrNull(db, "attachment", "mime_type", "a")
                                : QStringLiteral("NULL")}
            .join(QStringLiteral(", "));
    const QString from = fromWhere.arg(handleJoin + attachmentJoin);
    QELSQLiteStatement rows(
        db,
        QStringLiteral("SELECT %1 %2 ORDER BY m.ROWID%3")
            .arg(columns, from, attachments ? QStringLiteral(", a.ROWID") : QString()));
    rows.bindAll(values);

    QList<QELMessageDetail> messages;
    qint64 lastRow = 0;
    // The attachments of the message being read, against a second chat of
    // the conversation listing it again.
    QSet<qint64> lastAttachments;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 rowId = row.int64(0);
        if (messages.isEmpty() || rowId != lastRow) {
            lastRow = rowId;
            lastAttachments.clear();
            QELMessageDetail message;
            const QString text = messageText(row, 1, 2);
            message.setMessage(text);
            message.appendMessagePiece(QELMessagePiece(QStringLiteral("text"), 0, text));
            message.setSubject(cappedText(row, 3));
            message.setRowId(rowId);
            message.setDirection(row.int64(9) == 1 ? 1 : 0);
            // Seconds since 2001, or nanoseconds since iOS 11: 64-bit either
            // way. `date` is when the message was sent, or received on the
            // device; date_read and date_delivered are when someone got to it,
            // days later at times, and never the message's own time.
            const qint64 when = row.wholeNumber(4);
            if (when != 0)
                message.setTime(DeviceTime::fromReferenceTimestampInteger(when));
            if (text.isEmpty()
                && isUnsent(row.wholeNumber(5),
                            row.cappedBlob(6, QELMessagesDbReader::kMaxTextBytes)))
                message.setIsUnsent(true);
            if (row.text(8) == QLatin1String("iMessage"))
                message.setIsMadrid(true);
            message.setMessageAddress(row.text(7));
            messages.append(message);
        }
        if (!row.isNull(10) && !lastAttachments.contains(row.int64(10))) {
            lastAttachments.insert(row.int64(10));
            messages.last().appendMessagePiece(QELMessagePiece(row.text(12), 0, row.text(11)));
        }
        return true;
    });
    if (!read)
        warnUnread("the messages of a chat", rows);
    return messages;
}

QList<QELMessageDetail> QELMessagesDbReader::_getConversation(
    sqlite3* db, const QELMessagesConversation& conversation) const
{
    const QList<qint64>& chats = conversation.conversationIdArray();
    if (chats.isEmpty() || !hasTable(db, "chat") || !hasTable(db, "chat_message_join"))
        return {};
    return readChatMessages(
        db,
        QStringLiteral("FROM message m INNER JOIN chat_message_join cmj ON cmj.message_id = "
                       "m.ROWID %1 WHERE cmj.chat_id IN (")
            + placeholders(chats.size()) + QLatin1Char(')'),
        asValues(chats));
}

QList<QELMessageDetail> QELMessagesDbReader::_getHandleConversation(
    sqlite3* db, const QELMessagesConversation& conversation) const
{
    const QList<qint64>& handles = conversation.handleIdArray();
    if (handles.isEmpty() || !readsByHandle(db))
        return {};
    // The handle join is always there: readsByHandle saw the table.
    return readChatMessages(db,
                            QStringLiteral("FROM message m %1 WHERE ") + unjoinedMessages(db)
                                + QStringLiteral(" AND ") + kHandleKey + QStringLiteral(" IN (")
                                + placeholders(handles.size()) + QLatin1Char(')'),
                            asValues(handles));
}

QList<QELMessageDetail> QELMessagesDbReader::_getLegacyConversationFromConversationId(
    sqlite3* db, qint64 groupId) const
{
    if (groupId <= 0)
        return {};
    const char* messageTable = nullptr;
    const char* piecesTable = nullptr;
    if (hasTable(db, "msg_group")) {
        messageTable = "message";
        piecesTable = hasTable(db, "msg_pieces") ? "msg_pieces" : nullptr;
    } else if (hasTable(db, "msg_group_legacy")) {
        messageTable = "message_legacy";
        piecesTable = hasTable(db, "msg_pieces_legacy") ? "msg_pieces_legacy" : nullptr;
    }
    if (!messageTable || !hasColumn(db, messageTable, "group_id"))
        return {};
    QStringList columns = {QStringLiteral("m.ROWID"), columnOrNull(db, messageTable, "flags", "m"),
                           columnOrNull(db, messageTable, "text", "m"),
                           columnOrNull(db, messageTable, "date", "m")};
    QString join;
    // A message whose parts are gone keeps its text.
    if (piecesTable) {
        columns << columnOrNull(db, piecesTable, "content_type", "p")
                << columnOrNull(db, piecesTable, "content_loc", "p")
                << columnOrNull(db, piecesTable, "message_id", "p")
                << columnOrNull(db, piecesTable, "data", "p")
                << columnOrNull(db, piecesTable, "part_id", "p");
        join = QStringLiteral(" LEFT OUTER JOIN %1 p ON m.ROWID = p.message_id")
                   .arg(QString::fromLatin1(piecesTable));
    } else {
        columns << QStringLiteral("NULL, NULL, NULL, NULL, NULL");
    }
    const bool hasParts = piecesTable && hasColumn(db, piecesTable, "content_type")
        && hasColumn(db, piecesTable, "content_loc");
    QELSQLiteStatement rows(db,
                            QStringLiteral("SELECT %1 FROM %2 m%3 WHERE m.group_id = ? "
                                           "ORDER BY m.ROWID%4")
                                .arg(columns.join(QStringLiteral(", ")),
                                     QString::fromLatin1(messageTable), join,
                                     piecesTable ? QStringLiteral(", p.rowid") : QString()));
    rows.bindInt64(1, groupId);
    QList<QELMessageDetail> messages;
    QHash<qint64, qsizetype> byRow;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 rowId = row.int64(0);
        auto found = byRow.constFind(rowId);
        if (found == byRow.cend()) {
            QELMessageDetail message;
            message.setIsMadrid(false);
            message.setRowId(rowId);
            message.setGroupId(int(groupId));
            message.setDirection(row.int64(1) == 2 ? 0 : 1);
            message.setTime(DeviceTime::fromUnixSeconds(row.wholeNumber(3)));
            message.setMessage(cappedText(row, 2));
            found = byRow.insert(rowId, messages.size());
            messages.append(message);
        }
        if (!hasParts || row.isNull(4))
            return true;
        QELMessageDetail& message = messages[*found];
        const QString type = row.text(4);
        const QString lower = type.toLower();
        const int part = int(row.int64(8));
        if (lower.contains(QLatin1String("text"))) {
            if (!row.isNull(7))
                message.appendMessagePiece(QELMessagePiece(type, part, cappedText(row, 7)));
        } else if (!row.isNull(6)
                   && (lower.contains(QLatin1String("image"))
                       || lower.contains(QLatin1String("video")))) {
            QString location = row.text(6) + QLatin1Char('-') + QString::number(part);
            if (lower.contains(QLatin1String("jpeg")))
                location += QStringLiteral(".jpg");
            else if (lower.contains(QLatin1String("3gp")))
                location += QStringLiteral(".3gp");
            message.appendMessagePiece(QELMessagePiece(type, part, location));
        }
        return true;
    });
    if (!read)
        warnUnread("the messages of a message group", rows);
    return messages;
}

QList<QELMessageDetail> QELMessagesDbReader::_getMadridConversationsFromAddress(
    sqlite3* db, const QString& handle) const
{
    if (handle.isEmpty())
        return {};
    const char* messageTable = hasTable(db, "madrid_chat") ? "message"
        : hasTable(db, "madrid_chat_legacy")               ? "message_legacy"
                                                           : nullptr;
    if (!messageTable || !hasColumn(db, messageTable, "madrid_handle"))
        return {};
    const char* attachmentTable = hasTable(db, "madrid_attachment") ? "madrid_attachment"
        : hasTable(db, "madrid_attachment_legacy")                  ? "madrid_attachment_legacy"
                                                                    : nullptr;
    // A phone number's last four digits find its rows in the index; only
    // rows of the same number (or of the chat's room) are the chat's.
    const bool byNumber = !handle.contains(QLatin1Char('@')) && handle.size() > 4;
    const QString pattern =
        byNumber ? QStringLiteral("%") + escapedForLike(handle.right(4)) : escapedForLike(handle);
    const QString number = QELMessagesConversation::normalizedAddress(handle);
    const QString table = QString::fromLatin1(messageTable);
    QELSQLiteStatement rows(
        db,
        QStringLiteral("SELECT ROWID, %1, %2, %3, %4, %5, madrid_handle, %6 FROM %7 "
                       "WHERE madrid_handle LIKE ?1 ESCAPE '\\' OR %6 = ?2 ORDER BY ROWID")
            .arg(QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("date")),
                 QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("text")),
                 QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("attributedBody")),
                 QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("madrid_attachmentInfo")),
                 QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("madrid_date_delivered")),
                 QELSQLiteHelper::columnOrNull(db, table, QStringLiteral("madrid_roomname")),
                 table));
    rows.bindText(1, pattern);
    rows.bindText(2, handle);

    QELSQLiteStatement attachment;
    if (attachmentTable && hasColumn(db, attachmentTable, "attachment_guid")
        && hasColumn(db, attachmentTable, "filename"))
        attachment = QELSQLiteStatement(
            db,
            QStringLiteral("SELECT filename, %1 FROM %2 WHERE attachment_guid = ?1")
                .arg(columnOrNull(db, attachmentTable, "mime_type", ""),
                     QString::fromLatin1(attachmentTable)));

    QList<QELMessageDetail> messages;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        if (byNumber && row.text(7) != handle
            && QELMessagesConversation::normalizedAddress(row.text(6)) != number)
            return true;
        QELMessageDetail message;
        message.setIsMadrid(true);
        message.setRowId(row.int64(0));
        const QString text = messageText(row, 2, 3);
        message.setMessage(text);
        message.appendMessagePiece(QELMessagePiece(QStringLiteral("text"), 0, text));
        message.setTime(DeviceTime::fromReferenceTimestampInteger(row.wholeNumber(1)));
        message.setMessageAddress(row.text(6));
        if (attachment.isPrepared() && !row.isNull(4)) {
            for (const QString& guid : TypedStreamReader::strings(
                     row.cappedBlob(4, QELMessagesDbReader::kMaxTextBytes))) {
                attachment.reset();
                attachment.bindText(1, guid);
                if (!attachment.step())
                    continue;
                QString location = attachment.text(0);
                location.remove(QStringLiteral("/var/mobile/"));
                message.appendMessagePiece(QELMessagePiece(attachment.text(1), 0, location));
            }
        }
        message.setDirection(row.real(5) != 0 ? 1 : 0);
        messages.append(message);
        return true;
    });
    if (!read)
        warnUnread("the messages of an iMessage chat", rows);
    return messages;
}
