// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELIOS9NoteDatabaseReader.h"

#include <algorithm>

#include <sqlite3.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "Locations.h"
#include "Log.h"
#include "QELIOS9NoteDataReader.h"
#include "QELIOS9NoteDetail.h"
#include "QELLegacyNoteDetail.h"
#include "QELMediaNoteContent.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "QELTextNoteContent.h"
#include "ThreadCheck.h"

const QString QELIOS9NoteDatabaseReader::kNotesDomain =
    QStringLiteral("AppDomainGroup-group.com.apple.notes");

namespace {

const QString kObjects = QStringLiteral("ZICCLOUDSYNCINGOBJECT");
// Non-Apple accounts are numbered above the note store's own.
constexpr qint64 kNonAppleAccountOffset = 256000;

// A table of the file, or a view a hostile file put in its place (which the
// read then meets and its budget ends).
bool hasTable(sqlite3* db, const QString& table)
{
    return QELSQLiteHelper::doesDatabaseContainTableOrView(db, table);
}

// The first failure of a statement ends the read (of the notes, or of one
// note's media).
void failed(const QString& what, const QELSQLiteStatement& statement)
{
    QELSQLiteStepBudget::failStatement("Notes", what, statement.errorMessage());
}

QStringList columnsOf(sqlite3* db, const QString& table)
{
    QStringList columns;
    QELSQLiteStatement statement(
        db, QStringLiteral("PRAGMA table_info(%1)").arg(QELSQLiteHelper::quotedIdentifier(table)));
    statement.forEachRow([&columns](const QELSQLiteStatement& row) {
        columns.append(row.text(QStringLiteral("name")));
        return true;
    });
    return columns;
}

// The first of the names that the table has; null when it has none.
QString firstPresent(const QStringList& columns, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const QString column = QString::fromLatin1(name);
        if (columns.contains(column))
            return column;
    }
    return {};
}

// The first non-NULL of the named columns the table has, in that order.
// Core Data numbers a column by the entities sharing the table, so one
// system's note date lives in ZCREATIONDATE3 while a ZCREATIONDATE1 of
// another entity stays NULL on note rows, and another's the other way round.
// With `skipEmpty` an empty text counts as NULL too.
QString coalesced(const QStringList& columns, std::initializer_list<const char*> names,
                  const QString& as, bool skipEmpty = false)
{
    QStringList present;
    for (const char* name : names) {
        const QString column = QString::fromLatin1(name);
        if (!columns.contains(column))
            continue;
        const QString quoted = QELSQLiteHelper::quotedIdentifier(column);
        present.append(skipEmpty ? QStringLiteral("NULLIF(%1, '')").arg(quoted) : quoted);
    }
    QString expression;
    if (present.isEmpty())
        expression = QStringLiteral("NULL");
    else if (present.size() == 1)
        expression = present.constFirst();
    else
        expression = QStringLiteral("COALESCE(%1)").arg(present.join(QStringLiteral(", ")));
    return expression + QStringLiteral(" AS ") + as;
}

// The texts of the store's inline attachments (hashtags, mentions, note
// links), which their note bodies name only by identifier.
QELIOS9NoteDataReader::InlineTexts inlineTextsOf(sqlite3* db, const QStringList& columns)
{
    QELIOS9NoteDataReader::InlineTexts texts;
    if (!columns.contains(QStringLiteral("ZALTTEXT"))
        || !columns.contains(QStringLiteral("ZIDENTIFIER")))
        return texts;
    QELSQLiteStatement statement(
        db,
        QStringLiteral("SELECT ZIDENTIFIER, ZALTTEXT FROM ZICCLOUDSYNCINGOBJECT "
                       "WHERE ZALTTEXT IS NOT NULL AND ZIDENTIFIER IS NOT NULL"));
    const bool complete = statement.forEachRow([&texts](const QELSQLiteStatement& row) {
        const QString text = row.text(1);
        if (!text.isEmpty())
            texts.insert(row.text(0), text);
        return true;
    });
    if (!complete)
        failed(QStringLiteral("the inline attachments"), statement);
    return texts;
}

// What the notes app calls a folder the store names no title for.
QString folderNameFor(const QString& title, const QString& identifier, qint64 folderType)
{
    if (!title.isEmpty())
        return title;
    if (identifier.startsWith(QLatin1String("DefaultFolder")))
        return QStringLiteral("Notes");
    if (folderType == 1)
        return QStringLiteral("Recently Deleted");
    return QString(QLatin1String(""));
}

QString selected(const QString& column, const QString& as)
{
    return (column.isNull() ? QStringLiteral("NULL") : QELSQLiteHelper::quotedIdentifier(column))
        + QStringLiteral(" AS ") + as;
}

QDateTime dateAt(const QELSQLiteStatement& row, const QString& column)
{
    const int index = row.columnIndex(column);
    if (index < 0 || row.isNull(index))
        return {};
    return DeviceTime::fromReferenceWholeSeconds(row.wholeNumber(index));
}

QString textOrEmpty(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

// What the notes app shows for a note stored without a title: the first
// line of its text that holds more than spaces and attachments.
QString titleFromText(const QString& text)
{
    static const QRegularExpression kLineBreak(QStringLiteral("\\r\\n|[\\n\\r\\x{2028}\\x{2029}]"));
    for (QString line : text.split(kLineBreak)) {
        line.remove(QChar(0xFFFC));
        line = line.trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString(QLatin1String(""));
}

void giveUntitledTheirFirstLine(QELNoteDetail& note)
{
    if (note.title().trimmed().isEmpty() && !note.passwordProtected())
        note.setTitle(titleFromText(note.summary()));
}

// A note's place: account id, then folder name, then title.
bool sortsBefore(const std::shared_ptr<QELNoteDetail>& a, const std::shared_ptr<QELNoteDetail>& b)
{
    const qint64 accountA = a->accountDetail() ? a->accountDetail()->accountId() : 0;
    const qint64 accountB = b->accountDetail() ? b->accountDetail()->accountId() : 0;
    if (accountA != accountB)
        return accountA < accountB;
    const QString folderA = a->folderDetail() ? a->folderDetail()->name() : QString();
    const QString folderB = b->folderDetail() ? b->folderDetail()->name() : QString();
    if (folderA != folderB)
        return folderA < folderB;
    return a->title() < b->title();
}

} // namespace

QELIOS9NoteDatabaseReader::QELIOS9NoteDatabaseReader(const QString& notesDbPath,
                                                     const QString& legacyPath)
    : m_databasePath(notesDbPath)
    , m_legacyPath(legacyPath)
{
    const QString temporary = Locations::temporaryFolder();
    if (!temporary.isEmpty())
        m_attachmentFolderPath = temporary + QStringLiteral("/attachments");
}

void QELIOS9NoteDatabaseReader::setDeviceBackup(BackupFileSource* backup)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_deviceBackup = backup;
    m_filesInNotesDomain.clear();
    m_listed = false;
    if (m_deviceBackup)
        filesInNotesDomain();
}

const QList<QELDeviceBackupListingItem>& QELIOS9NoteDatabaseReader::filesInNotesDomain()
{
    if ((!m_listed || m_filesInNotesDomain.isEmpty()) && m_deviceBackup) {
        m_filesInNotesDomain = m_deviceBackup->GetAllFilesInDomain(kNotesDomain);
        m_listed = true;
    }
    return m_filesInNotesDomain;
}

QELNoteDatabaseReader::NoteList QELIOS9NoteDatabaseReader::getAllNotes()
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    setLastError(QString());
    if (m_databasePath.isEmpty() || !QFileInfo(m_databasePath).isFile()) {
        setLastError(QStringLiteral("no note store"));
        return {};
    }
    // The note store and the older database of the other accounts are one
    // read with one budget; the first statement that fails ends it, as a
    // list read in part would look whole.
    const QELSQLiteStepBudget::Read whole(readBudget());
    QString error;
    QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_databasePath, &error);
    if (!db.isOpen()) {
        setLastError(QStringLiteral("the note store could not be opened: %1").arg(error));
        return {};
    }
    NoteList all;
    for (const std::shared_ptr<QELIOS9NoteDetail>& note : getNotesArray(db))
        all.append(note);
    db.close();
    if (!whole.failed()) {
        for (const std::shared_ptr<QELIOS9NoteDetail>& note : getNonAppleAccountNotes())
            all.append(note);
    }
    if (whole.failed()) {
        setLastError(whole.error());
        return {};
    }
    std::stable_sort(all.begin(), all.end(), sortsBefore);
    return all;
}

QList<std::shared_ptr<QELIOS9NoteDetail>> QELIOS9NoteDatabaseReader::getNotesArray(
    const QELSQLiteDatabase& database)
{
    sqlite3* db = database.handle();
    if (!hasTable(db, kObjects))
        return {};
    const QStringList columns = columnsOf(db, kObjects);

    Entities entities;
    if (hasTable(db, QStringLiteral("Z_PRIMARYKEY"))) {
        QELSQLiteStatement statement(db, QStringLiteral("SELECT Z_ENT, Z_NAME FROM Z_PRIMARYKEY"));
        const bool complete = statement.forEachRow([&entities](const QELSQLiteStatement& row) {
            const QString name = row.text(1);
            const int number = int(row.int64(0));
            if (name == QLatin1String("ICNote"))
                entities.note = number;
            else if (name == QLatin1String("ICAccount"))
                entities.account = number;
            else if (name == QLatin1String("ICFolder"))
                entities.folder = number;
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the entities"), statement);
            return {};
        }
    }
    const bool hasDeletionMark = columns.contains(QStringLiteral("ZMARKEDFORDELETION"));
    const QString notDeleted =
        hasDeletionMark ? QStringLiteral(" AND IFNULL(ZMARKEDFORDELETION, 0) = 0") : QString();

    // Accounts.
    QHash<qint64, QELNoteAccountDetail> accounts;
    {
        QELSQLiteStatement statement(
            db,
            QStringLiteral("SELECT Z_PK, %1 FROM ZICCLOUDSYNCINGOBJECT WHERE Z_ENT = ?1")
                .arg(selected(firstPresent(columns, {"ZNAME"}), QStringLiteral("name"))));
        statement.bindInt64(1, entities.account);
        const bool complete = statement.forEachRow([&accounts](const QELSQLiteStatement& row) {
            QELNoteAccountDetail account;
            account.setAccountId(row.int64(0));
            account.setName(textOrEmpty(row.text(1)));
            accounts.insert(account.accountId(), account);
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the accounts"), statement);
            return {};
        }
    }

    // Notes. Later systems moved the account link from ZACCOUNT2 to other
    // numbered columns; the first that names an account row counts.
    static const QRegularExpression kAccountColumn(QStringLiteral("^ZACCOUNT(\\d+)$"));
    QList<QPair<int, QString>> accountColumns;
    for (const QString& column : columns) {
        const QRegularExpressionMatch match = kAccountColumn.match(column);
        if (match.hasMatch())
            accountColumns.append({match.captured(1).toInt(), column});
    }
    std::sort(accountColumns.begin(), accountColumns.end());
    const bool folderColumn = columns.contains(QStringLiteral("ZFOLDER"));
    QStringList select{
        QStringLiteral("Z_PK"),
        coalesced(columns, {"ZMODIFICATIONDATE1", "ZMODIFICATIONDATE"}, QStringLiteral("modified")),
        coalesced(columns, {"ZCREATIONDATE3", "ZCREATIONDATE2", "ZCREATIONDATE1", "ZCREATIONDATE"},
                  QStringLiteral("created")),
        coalesced(columns, {"ZTITLE1", "ZTITLE"}, QStringLiteral("title"), true),
        selected(firstPresent(columns, {"ZISPASSWORDPROTECTED"}), QStringLiteral("locked")),
        selected(folderColumn ? QStringLiteral("ZFOLDER") : QString(), QStringLiteral("folder")),
        selected(firstPresent(columns, {"ZNOTEDATA"}), QStringLiteral("noteData")),
    };
    for (const auto& column : std::as_const(accountColumns))
        select.append(QELSQLiteHelper::quotedIdentifier(column.second));

    QList<std::shared_ptr<QELIOS9NoteDetail>> notes;
    QHash<qint64, std::shared_ptr<QELIOS9NoteDetail>> byKey;
    QHash<qint64, qint64> folderOfNote;
    // Body rows by the notes that name them: some stores link a body only
    // from the note's side and leave ZICNOTEDATA.ZNOTE NULL.
    QHash<qint64, qint64> noteOfBody;
    {
        QELSQLiteStatement statement(
            db,
            QStringLiteral("SELECT %1 FROM ZICCLOUDSYNCINGOBJECT WHERE Z_ENT = ?1%2 "
                           "ORDER BY Z_PK")
                .arg(select.join(QStringLiteral(", ")), notDeleted));
        statement.bindInt64(1, entities.note);
        const int firstAccount = 7;
        const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
            auto note = std::make_shared<QELIOS9NoteDetail>();
            const qint64 key = row.int64(0);
            note->setNoteId(key);
            note->setRowKey({QELNoteRowKey::Source::NoteStore, key});
            note->setLastModified(dateAt(row, QStringLiteral("modified")));
            note->setCreationDate(dateAt(row, QStringLiteral("created")));
            note->setTitle(textOrEmpty(row.text(QStringLiteral("title"))));
            if (row.int64(QStringLiteral("locked")) == 1) {
                note->setPasswordProtected(true);
                note->setMediaExtracted(true);
            }
            for (int i = 0; i < accountColumns.size(); ++i) {
                const int column = firstAccount + i;
                if (row.isNull(column))
                    continue;
                const auto account = accounts.constFind(row.int64(column));
                if (account != accounts.constEnd()) {
                    note->setAccountDetail(*account);
                    break;
                }
            }
            if (folderColumn && !row.isNull(row.columnIndex(QStringLiteral("folder"))))
                folderOfNote.insert(key, row.int64(QStringLiteral("folder")));
            const int noteData = row.columnIndex(QStringLiteral("noteData"));
            if (!row.isNull(noteData))
                noteOfBody.insert(row.int64(noteData), key);
            notes.append(note);
            byKey.insert(key, note);
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the notes"), statement);
            return {};
        }
    }
    if (notes.isEmpty())
        return notes;

    // Folders: through ZFOLDER on later systems, the join table on earlier ones.
    QHash<qint64, QELNoteFolderDetail> folders;
    {
        QELSQLiteStatement statement(
            db,
            QStringLiteral("SELECT Z_PK, %1, %2, %3 FROM ZICCLOUDSYNCINGOBJECT WHERE Z_ENT = ?1%4")
                .arg(coalesced(columns, {"ZTITLE2", "ZTITLE"}, QStringLiteral("name")),
                     selected(firstPresent(columns, {"ZIDENTIFIER"}), QStringLiteral("identifier")),
                     selected(firstPresent(columns, {"ZFOLDERTYPE"}), QStringLiteral("type")),
                     notDeleted));
        statement.bindInt64(1, entities.folder);
        const bool complete = statement.forEachRow([&folders](const QELSQLiteStatement& row) {
            QELNoteFolderDetail folder;
            folder.setFolderId(row.int64(0));
            folder.setName(folderNameFor(row.text(1), row.text(2), row.int64(3)));
            folders.insert(folder.folderId(), folder);
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the folders"), statement);
            return {};
        }
    }
    // A ZFOLDER naming no folder of the store leaves the join table to say.
    for (auto it = folderOfNote.begin(); it != folderOfNote.end();) {
        if (folders.contains(it.value()))
            ++it;
        else
            it = folderOfNote.erase(it);
    }
    const QString joinTable = QStringLiteral("Z_%1NOTES").arg(entities.folder);
    const QString folderLink = QStringLiteral("Z_%1FOLDERS").arg(entities.folder);
    const QString noteLink = QStringLiteral("Z_%1NOTES").arg(entities.note);
    // A join table numbered for other entities than this store's is not
    // this store's link of notes to folders.
    if (QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, joinTable, folderLink)
        && QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, joinTable, noteLink)) {
        const QHash<qint64, qint64> byColumn = folderOfNote;
        QELSQLiteStatement statement(db,
                                     QStringLiteral("SELECT %1, %2 FROM %3")
                                         .arg(QELSQLiteHelper::quotedIdentifier(folderLink),
                                              QELSQLiteHelper::quotedIdentifier(noteLink),
                                              QELSQLiteHelper::quotedIdentifier(joinTable)));
        const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
            if (folders.contains(row.int64(0)) && !byColumn.contains(row.int64(1)))
                folderOfNote.insert(row.int64(1), row.int64(0));
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the folders of the notes"), statement);
            return {};
        }
    }
    for (auto it = folderOfNote.constBegin(); it != folderOfNote.constEnd(); ++it) {
        const auto note = byKey.constFind(it.key());
        const auto folder = folders.constFind(it.value());
        if (note != byKey.constEnd() && folder != folders.constEnd())
            (*note)->setFolderDetail(*folder);
    }

    // Summaries: every body in one pass.
    if (hasTable(db, QStringLiteral("ZICNOTEDATA"))) {
        const QELIOS9NoteDataReader::InlineTexts inlineTexts = inlineTextsOf(db, columns);
        QSet<qint64> done;
        QELSQLiteStatement statement(
            db,
            QStringLiteral("SELECT ZNOTE, ZDATA, Z_PK FROM ZICNOTEDATA ORDER BY ZNOTE IS NULL"));
        const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
            qint64 key = row.isNull(0) ? 0 : row.int64(0);
            if (!byKey.contains(key))
                key = noteOfBody.value(row.int64(2), 0);
            const auto note = byKey.constFind(key);
            if (note == byKey.constEnd() || (*note)->passwordProtected() || done.contains(key))
                return true;
            done.insert(key);
            (*note)->setSummary(QELIOS9NoteDataReader::readNoteText(row.blob(1), inlineTexts));
            return true;
        });
        if (!complete) {
            failed(QStringLiteral("the bodies of the notes"), statement);
            return {};
        }
    }
    for (const std::shared_ptr<QELIOS9NoteDetail>& note : std::as_const(notes))
        giveUntitledTheirFirstLine(*note);
    return notes;
}

QByteArray QELIOS9NoteDatabaseReader::getBlobDataForNote(sqlite3* db, qint64 noteKey) const
{
    if (!hasTable(db, QStringLiteral("ZICNOTEDATA")))
        return {};
    // The body row the note names counts when no row names the note.
    const QString linked = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                               db, kObjects, QStringLiteral("ZNOTEDATA"))
        ? QStringLiteral(" OR Z_PK = (SELECT ZNOTEDATA FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = ?1)")
        : QString();
    QELSQLiteStatement statement(db,
                                 QStringLiteral("SELECT ZDATA FROM ZICNOTEDATA WHERE ZNOTE = ?1%1 "
                                                "ORDER BY ZNOTE IS ?1 DESC LIMIT 1")
                                     .arg(linked));
    statement.bindInt64(1, noteKey);
    if (!statement.step())
        return {};
    return statement.blob(0);
}

QList<std::shared_ptr<QELIOS9NoteDetail>> QELIOS9NoteDatabaseReader::getNonAppleAccountNotes()
{
    if (m_legacyPath.isEmpty() || !QFileInfo(m_legacyPath).isFile())
        return {};
    QString error;
    QELSQLiteDatabase database = QELSQLiteDatabase::openCopyReadOnly(m_legacyPath, &error);
    if (!database.isOpen()) {
        // Its notes would be missing from a list that looks whole.
        qCWarning(lcOrvane) << "The older notes database could not be opened:" << error;
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("the older notes database of the other accounts could not be opened"),
            error);
        return {};
    }
    sqlite3* db = database.handle();
    // Databases of earlier systems, or without other accounts, lack some of
    // these; none of their notes belongs to another account.
    auto has = [db](const char* table, std::initializer_list<const char*> columns) {
        for (const char* column : columns) {
            if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, QLatin1String(table),
                                                                          QLatin1String(column)))
                return false;
        }
        return true;
    };
    if (!has("ZNOTE", {"Z_PK", "ZTITLE", "ZBODY", "ZSTORE"}) || !has("ZACCOUNT", {"Z_PK", "ZNAME"})
        || !has("ZNOTEBODY", {"Z_PK", "ZCONTENT"}))
        return {};
    // Notes reach their account through their store where the database has
    // stores; earlier ones name the account directly.
    const bool throughStore = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        db, QStringLiteral("ZSTORE"), QStringLiteral("ZACCOUNT"));
    const QString accountJoin = throughStore
        ? QStringLiteral("JOIN ZSTORE store ON store.Z_PK = note.ZSTORE "
                         "JOIN ZACCOUNT account ON account.Z_PK = store.ZACCOUNT")
        : QStringLiteral("JOIN ZACCOUNT account ON account.Z_PK = note.ZSTORE");
    QELSQLiteStatement statement(
        db,
        QStringLiteral("SELECT account.Z_PK AS accountKey, account.ZNAME AS accountName, "
                       "note.ZTITLE AS title, note.ZBODY AS body, %1 AS modified, "
                       "%2 AS created, body.ZCONTENT AS content FROM ZNOTE note %3 "
                       "AND account.Z_PK > 1 JOIN ZNOTEBODY body ON body.Z_PK = note.ZBODY "
                       "ORDER BY note.Z_PK")
            .arg(QELSQLiteHelper::columnOrNull(db, QStringLiteral("ZNOTE"),
                                               QStringLiteral("ZMODIFICATIONDATE"),
                                               QStringLiteral("note")),
                 QELSQLiteHelper::columnOrNull(db, QStringLiteral("ZNOTE"),
                                               QStringLiteral("ZCREATIONDATE"),
                                               QStringLiteral("note")),
                 accountJoin));
    QList<std::shared_ptr<QELIOS9NoteDetail>> notes;
    const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
        auto note = std::make_shared<QELIOS9NoteDetail>();
        const qint64 body = row.int64(QStringLiteral("body"));
        note->setNoteId(body);
        note->setRowKey({QELNoteRowKey::Source::OlderDatabase, body});
        note->setTitle(textOrEmpty(row.text(QStringLiteral("title"))));
        const QString summary =
            QELLegacyNoteDetail::cleanedBodyText(row.text(QStringLiteral("content")));
        note->setSummary(summary);
        QELIOS9NoteDetail::ContentList content;
        for (const QString& line : summary.split(QStringLiteral("\r\n"))) {
            auto part = std::make_shared<QELTextNoteContent>();
            part->setTextData(line);
            content.append(part);
        }
        note->setContent(content);
        note->setCreationDate(dateAt(row, QStringLiteral("created")));
        note->setLastModified(dateAt(row, QStringLiteral("modified")));
        const qint64 accountId = row.int64(QStringLiteral("accountKey")) + kNonAppleAccountOffset;
        QELNoteAccountDetail account;
        account.setAccountId(accountId);
        account.setName(textOrEmpty(row.text(QStringLiteral("accountName"))));
        note->setAccountDetail(account);
        QELNoteFolderDetail folder;
        folder.setFolderId(accountId);
        folder.setName(QStringLiteral("Notes"));
        note->setFolderDetail(folder);
        note->setMediaExtracted(true);
        giveUntitledTheirFirstLine(*note);
        notes.append(note);
        return true;
    });
    if (!complete) {
        failed(QStringLiteral("the notes of the other accounts"), statement);
        return {};
    }
    return notes;
}

// The open store of a run and what it has read of it so far: the bodies'
// rows by note (two passes over keys, never over the bodies themselves) and
// the inline texts, each read once and only when a note needs them.
class QELIOS9NoteDatabaseReader::StoreSession : public QELNoteDatabaseReader::MediaSession {
public:
    explicit StoreSession(const QString& path)
        : m_path(path)
    {
    }

    // The store, opened on first use; null (the reason logged) when it cannot be.
    sqlite3* handle()
    {
        if (!m_tried) {
            m_tried = true;
            QString error;
            m_db = QELSQLiteDatabase::openCopyReadOnly(m_path, &error);
            if (!m_db.isOpen())
                qCWarning(lcOrvane)
                    << "The note store could not be opened for notes' media:" << error;
        }
        return m_db.isOpen() ? m_db.handle() : nullptr;
    }

    const QELIOS9NoteDataReader::InlineTexts& inlineTexts()
    {
        if (!m_inlineTexts)
            m_inlineTexts = inlineTextsOf(handle(), columnsOf(handle(), kObjects));
        return *m_inlineTexts;
    }

    // The body of a note as getBlobDataForNote() finds it: the row naming the
    // note, else the row the note names.
    QByteArray body(qint64 noteKey)
    {
        sqlite3* db = handle();
        if (!m_bodiesIndexed) {
            m_bodiesIndexed = true;
            if (!hasTable(db, QStringLiteral("ZICNOTEDATA")))
                return {};
            m_hasBodies = true;
            QELSQLiteStatement owners(
                db,
                QStringLiteral("SELECT Z_PK, ZNOTE FROM ZICNOTEDATA WHERE ZNOTE IS NOT NULL "
                               "ORDER BY Z_PK"));
            const bool owned = owners.forEachRow([this](const QELSQLiteStatement& row) {
                if (!m_bodyOfNote.contains(row.int64(1)))
                    m_bodyOfNote.insert(row.int64(1), row.int64(0));
                return true;
            });
            if (!owned)
                m_indexError = owners.errorMessage();
            if (QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                    db, kObjects, QStringLiteral("ZNOTEDATA"))) {
                QELSQLiteStatement linked(
                    db,
                    QStringLiteral("SELECT Z_PK, ZNOTEDATA FROM ZICCLOUDSYNCINGOBJECT "
                                   "WHERE ZNOTEDATA IS NOT NULL"));
                const bool read = linked.forEachRow([this](const QELSQLiteStatement& row) {
                    m_linkedBody.insert(row.int64(0), row.int64(1));
                    return true;
                });
                if (!read && m_indexError.isEmpty())
                    m_indexError = linked.errorMessage();
            }
            m_bodyRow = std::make_unique<QELSQLiteStatement>(
                db, QStringLiteral("SELECT ZDATA FROM ZICNOTEDATA WHERE Z_PK = ?1"));
        }
        // An index read in part would give some notes no body: every note of
        // the session fails as its first did.
        if (!m_indexError.isEmpty()) {
            QELSQLiteStepBudget::Read::failCurrent(
                QStringLiteral("the bodies of the notes could not be read"), m_indexError);
            return {};
        }
        if (!m_hasBodies || !m_bodyRow)
            return {};
        std::optional<qint64> row;
        if (const auto owned = m_bodyOfNote.constFind(noteKey); owned != m_bodyOfNote.cend())
            row = *owned;
        else if (const auto linked = m_linkedBody.constFind(noteKey); linked != m_linkedBody.cend())
            row = *linked;
        if (!row)
            return {};
        m_bodyRow->reset();
        m_bodyRow->bindInt64(1, *row);
        if (m_bodyRow->step())
            return m_bodyRow->blob(0);
        if (m_bodyRow->failed())
            failed(QStringLiteral("the body of a note"), *m_bodyRow);
        return {};
    }

private:
    QString m_path;
    bool m_tried = false;
    QELSQLiteDatabase m_db;
    std::optional<QELIOS9NoteDataReader::InlineTexts> m_inlineTexts;
    bool m_bodiesIndexed = false;
    bool m_hasBodies = false;
    QString m_indexError;
    QHash<qint64, qint64> m_bodyOfNote;
    QHash<qint64, qint64> m_linkedBody;
    // Declared last: finalised before the connection closes.
    std::unique_ptr<QELSQLiteStatement> m_bodyRow;
};

std::unique_ptr<QELNoteDatabaseReader::MediaSession> QELIOS9NoteDatabaseReader::openMediaSession()
{
    return std::make_unique<StoreSession>(m_databasePath);
}

bool QELIOS9NoteDatabaseReader::extractMediaForNote(QELNoteDetail& detail)
{
    StoreSession session(m_databasePath);
    return extractMediaInSession(detail, &session);
}

bool QELIOS9NoteDatabaseReader::extractMediaInSession(QELNoteDetail& detail, MediaSession* session)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    auto* note = dynamic_cast<QELIOS9NoteDetail*>(&detail);
    if (!note || note->mediaExtracted())
        return true;
    if (note->rowKey().source != QELNoteRowKey::Source::NoteStore) {
        note->setMediaExtracted(true);
        return true;
    }
    // One note's media is a read of its own: its statements share one budget.
    const QELSQLiteStepBudget::Read whole(readBudget());
    auto* store = dynamic_cast<StoreSession*>(session);
    std::unique_ptr<StoreSession> own;
    if (!store) {
        own = std::make_unique<StoreSession>(m_databasePath);
        store = own.get();
    }
    sqlite3* db = store->handle();
    if (!db)
        return false;
    const QByteArray blob = store->body(note->noteId());
    if (!blob.isEmpty()) {
        QELIOS9NoteDetail::ContentList content =
            QELIOS9NoteDataReader::readNoteData(blob, store->inlineTexts());
        if (!content.isEmpty())
            note->setContent(content);
    }
    getMediaForNote(db, *note);
    if (whole.failed()) {
        // Asked again, the note is read again; it is not taken for complete.
        qCWarning(lcOrvane).noquote()
            << "Notes: the media of a note could not be read:" << whole.error();
        return false;
    }
    note->setMediaExtracted(true);
    return true;
}
