// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect notes (FOLDER | --backup UDID)`: the notes as the notes view
// reads them (the note store with the non-Apple notes of notes.sqlite, else
// notes.sqlite or notes.db), each with its text and attachments, the media
// read through the same lookups the view makes; `--export DIR [--text]`
// writes the files the view's export of every note writes, named by title.
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELCopyNotes.h"
#include "QELIOS9NoteDetail.h"
#include "QELMediaNoteContent.h"
#include "QELNoteDatabaseReader.h"

namespace {

using InspectJson::text;

QString attachmentType(int format)
{
    switch (format) {
    case QELNoteContent::kImage:
        return QStringLiteral("image");
    case QELNoteContent::kSketch:
        return QStringLiteral("sketch");
    case QELNoteContent::kVideo:
        return QStringLiteral("video");
    default:
        return QStringLiteral("other");
    }
}

QJsonArray attachmentsJson(const QELNoteDetail& note)
{
    QJsonArray list;
    const auto* later = dynamic_cast<const QELIOS9NoteDetail*>(&note);
    if (!later || !later->content())
        return list;
    for (const std::shared_ptr<QELNoteContent>& part : *later->content()) {
        const auto* media = dynamic_cast<const QELMediaNoteContent*>(part.get());
        if (!media)
            continue;
        const QString name = media->mediaData() ? media->mediaData()->mediaFileName() : QString();
        QJsonObject json;
        json.insert(QStringLiteral("type"), attachmentType(media->contentFormat()));
        json.insert(QStringLiteral("name"), text(name.isEmpty() ? QString() : name));
        list.append(json);
    }
    return list;
}

int inspectNotes(const InspectRequest& request)
{
    std::unique_ptr<QELNoteDatabaseReader> reader =
        QELNoteDatabaseReader::makeReader(request.source);
    if (!reader)
        return InspectSubcommands::fail(
            QStringLiteral("no notes database (NoteStore.sqlite, notes.sqlite or notes.db) in %1")
                .arg(request.input));
    const QELNoteDatabaseReader::NoteList notes = reader->getAllNotes();
    // Damage is reported as the messages report theirs: the file, then why.
    if (reader->lastError().startsWith(QLatin1String("this database is damaged")))
        return InspectSubcommands::fail(QStringLiteral("%1: %2").arg(
            reader->className() == QLatin1String("QELIOS9NoteDatabaseReader")
                ? QStringLiteral("NoteStore.sqlite")
                : QStringLiteral("notes.sqlite"),
            reader->lastError()));
    if (notes.isEmpty() && !reader->lastError().isEmpty())
        return InspectSubcommands::fail(QStringLiteral("the notes of %1 could not be read: %2")
                                            .arg(request.input, reader->lastError()));

    for (const std::shared_ptr<QELNoteDetail>& note : notes)
        reader->extractMediaForNote(*note);
    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("the folder %1 could not be made").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        const int options = request.parser.isSet(QStringLiteral("text")) ? 0 : QELCopyNotes::kHTML;
        SafePath::UniqueNamer namer = QELCopyNotes::namerForRun(request.exportFolder);
        for (const std::shared_ptr<QELNoteDetail>& note : notes) {
            QString path;
            QString error;
            // A locked note has nothing to write, as in the view's export.
            if (QELCopyNotes::exportNote(*note, reader.get(), options, namer, QLocale(), &path,
                                         &error)
                == QELCopyNotes::Result::WriteFailed)
                return InspectSubcommands::fail(
                    QStringLiteral("note %1 could not be written to %2: %3")
                        .arg(QString::number(note->noteId()),
                             path.isEmpty() ? request.exportFolder : path, error),
                    InspectSubcommands::kWriteFailed);
        }
    }

    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("notes"));
    for (const std::shared_ptr<QELNoteDetail>& note : notes) {
        QJsonObject json;
        json.insert(QStringLiteral("id"), InspectJson::id(note->noteId()));
        json.insert(QStringLiteral("title"), text(note->title()));
        json.insert(QStringLiteral("folder"),
                    note->folderDetail() ? text(note->folderDetail()->name())
                                         : QJsonValue(QJsonValue::Null));
        json.insert(QStringLiteral("account"),
                    note->accountDetail() ? text(note->accountDetail()->name())
                                          : QJsonValue(QJsonValue::Null));
        json.insert(QStringLiteral("created"), InspectJson::date(note->creationDate()));
        json.insert(QStringLiteral("modified"), InspectJson::date(note->lastModified()));
        json.insert(QStringLiteral("passwordProtected"), note->passwordProtected());
        json.insert(QStringLiteral("text"),
                    note->passwordProtected() ? QJsonValue(QJsonValue::Null)
                                              : QJsonValue(note->plainTextRepresentation()));
        json.insert(QStringLiteral("attachments"), attachmentsJson(*note));
        out.value(json);
    }
    out.end();
    out.member(QStringLiteral("reader"), reader->className());
    return out.finish();
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("notes"),
    QStringLiteral("the notes (NoteStore.sqlite with its attachments and notes.sqlite, "
                   "or notes.sqlite / notes.db)"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    [](QCommandLineParser& parser) {
        parser.addOption({QStringLiteral("text"),
                          QStringLiteral("With --export: plain-text files in place of HTML.")});
    },
    inspectNotes,
});

} // namespace
