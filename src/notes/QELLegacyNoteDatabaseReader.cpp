// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELLegacyNoteDatabaseReader.h"

#include <algorithm>

#include <sqlite3.h>

#include <QFileInfo>

#include "DeviceTime.h"
#include "Log.h"
#include "QELLegacyNoteDetail.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

QELLegacyNoteDatabaseReader::QELLegacyNoteDatabaseReader(const QString& notesDbPath)
    : m_databasePath(notesDbPath)
{
}

QELNoteDatabaseReader::NoteList QELLegacyNoteDatabaseReader::getNotes()
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    setLastError(QString());
    if (m_databasePath.isEmpty() || !QFileInfo(m_databasePath).isFile()) {
        setLastError(QStringLiteral("no notes database"));
        return {};
    }
    // One budget for the whole read; a statement that fails ends it.
    const QELSQLiteStepBudget::Read whole(readBudget());
    QString error;
    QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_databasePath, &error);
    if (!db.isOpen()) {
        setLastError(QStringLiteral("the notes database could not be opened: %1").arg(error));
        return {};
    }
    sqlite3* handle = db.handle();
    QString sql;
    QELNoteRowKey::Source source = QELNoteRowKey::Source::OlderDatabase;
    if (QELSQLiteHelper::doesDatabaseContainTableOrView(handle, QStringLiteral("ZNOTE"))) {
        sql =
            QStringLiteral(
                "SELECT b.ZCONTENT, a.ZTITLE, a.ZINTEGERID, %1 AS ZSUMMARY, "
                "%2 AS ZMODIFICATIONDATE, %3 AS ZCREATIONDATE FROM ZNOTE a JOIN ZNOTEBODY b "
                "ON b.ZOWNER = a.Z_PK ORDER BY a.Z_PK")
                .arg(QELSQLiteHelper::columnOrNull(handle, QStringLiteral("ZNOTE"),
                                                   QStringLiteral("ZSUMMARY"), QStringLiteral("a")),
                     QELSQLiteHelper::columnOrNull(handle, QStringLiteral("ZNOTE"),
                                                   QStringLiteral("ZMODIFICATIONDATE"),
                                                   QStringLiteral("a")),
                     QELSQLiteHelper::columnOrNull(handle, QStringLiteral("ZNOTE"),
                                                   QStringLiteral("ZCREATIONDATE"),
                                                   QStringLiteral("a")));
    } else if (QELSQLiteHelper::doesDatabaseContainTableOrView(handle, QStringLiteral("Note"))) {
        sql = QStringLiteral("SELECT Note.ROWID AS ROWID, body.data AS data, Note.title AS title, "
                             "%1 AS creation_date, %2 AS modification_date FROM note_bodies body "
                             "INNER JOIN Note ON Note.ROWID = body.note_id ORDER BY Note.ROWID")
                  .arg(QELSQLiteHelper::columnOrNull(handle, QStringLiteral("Note"),
                                                     QStringLiteral("creation_date"),
                                                     QStringLiteral("Note")),
                       QELSQLiteHelper::columnOrNull(handle, QStringLiteral("Note"),
                                                     QStringLiteral("modification_date"),
                                                     QStringLiteral("Note")));
    } else {
        return {};
    }

    QELSQLiteStatement statement(handle, sql);
    if (!statement.isPrepared()) {
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("the notes could not be read"),
                                               statement.errorMessage());
        setLastError(whole.error());
        return {};
    }
    const int rowId = statement.columnIndex(QStringLiteral("ROWID"));
    const int integerId = statement.columnIndex(QStringLiteral("ZINTEGERID"));
    const int zTitle = statement.columnIndex(QStringLiteral("ZTITLE"));
    const int title = statement.columnIndex(QStringLiteral("title"));
    const int content = statement.columnIndex(QStringLiteral("ZCONTENT"));
    const int data = statement.columnIndex(QStringLiteral("data"));
    const int created = std::max(statement.columnIndex(QStringLiteral("ZCREATIONDATE")),
                                 statement.columnIndex(QStringLiteral("creation_date")));
    const int modified = std::max(statement.columnIndex(QStringLiteral("ZMODIFICATIONDATE")),
                                  statement.columnIndex(QStringLiteral("modification_date")));
    auto dateAt = [&statement](int column) -> QDateTime {
        if (column < 0 || statement.isNull(column))
            return {};
        return DeviceTime::fromReferenceWholeSeconds(statement.wholeNumber(column));
    };

    NoteList notes;
    const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
        Q_UNUSED(row)
        auto note = std::make_shared<QELLegacyNoteDetail>();
        qint64 id = 0;
        if (rowId >= 0)
            id = statement.int64(rowId);
        if (integerId >= 0)
            id = statement.int64(integerId);
        note->setNoteId(id);
        note->setRowKey({source, id});
        const QString text = zTitle >= 0 ? statement.text(zTitle) : statement.text(title);
        note->setTitle(text.isNull() ? QString(QLatin1String("")) : text);
        const QString body = content >= 0 ? statement.text(content) : statement.text(data);
        note->setText(QELLegacyNoteDetail::cleanedBodyText(body.isNull() ? QString() : body));
        note->setSummary(note->text());
        note->setCreationDate(dateAt(created));
        note->setLastModified(dateAt(modified));
        notes.append(note);
        return true;
    });
    if (!complete) {
        qCWarning(lcOrvane) << "The notes database could not be read to its end:"
                            << statement.errorMessage();
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("the notes could not be read"),
                                               statement.errorMessage());
        setLastError(whole.error());
        return {};
    }
    return notes;
}

QELNoteDatabaseReader::NoteList QELLegacyNoteDatabaseReader::getAllNotes()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    NoteList notes = getNotes();
    std::stable_sort(
        notes.begin(), notes.end(),
        [](const std::shared_ptr<QELNoteDetail>& a, const std::shared_ptr<QELNoteDetail>& b) {
            return a->title() < b->title();
        });
    return notes;
}
