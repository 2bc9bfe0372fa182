// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect voicemail (FOLDER | --backup UDID)`: the voicemails as the
// voicemail view reads them, named through the same address-book lookups;
// `--export DIR` writes the audio files the view's copy writes with nothing
// selected.
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELCopyVoiceMails.h"
#include "QELVoiceMailDbReader.h"
#include "QELVoiceMailUtilities.h"

namespace {

int inspectVoicemail(const InspectRequest& request)
{
    QString error;
    std::unique_ptr<QELVoiceMailDbReader> reader =
        QELVoiceMailDbReader::makeReader(request.source, &error);
    if (!reader)
        return InspectSubcommands::fail(
            QStringLiteral("the voicemail store could not be made: %1").arg(error));
    if (!reader->voiceMailExists())
        return InspectSubcommands::fail(
            QStringLiteral("no voicemail index (voicemail.db) in %1").arg(request.input));
    if (!reader->loadVoiceMail()) {
        // Damage is reported as the messages report theirs: the file, then why.
        if (reader->lastError().startsWith(QLatin1String("this database is damaged")))
            return InspectSubcommands::fail(QStringLiteral("voicemail.db: ") + reader->lastError());
        return InspectSubcommands::fail(QStringLiteral("the voicemail of %1 could not be read: %2")
                                            .arg(request.input, reader->lastError()));
    }
    // The voicemails are whole; a file that names their senders or gives the
    // region is not.
    for (const QString& warning : reader->warnings())
        InspectSubcommands::fail(QStringLiteral("warning: ") + warning);

    QList<QELVoiceMailItem> items;
    for (const QELVoiceMailContact& contact : reader->getContacts())
        items.append(reader->getVoiceMailsForSenderId(contact.sender()));
    std::sort(items.begin(), items.end(),
              [](const QELVoiceMailItem& a, const QELVoiceMailItem& b) { return a.id < b.id; });

    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("the folder %1 could not be made").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        SafePath::UniqueNamer namer = QELCopyVoiceMails::namerForRun(request.exportFolder);
        for (const QELVoiceMailItem& item : std::as_const(items)) {
            QString path;
            const QELCopyVoiceMails::CopyResult result = QELCopyVoiceMails::copyVoiceMail(
                item, &request.source, namer, QLocale(), &path, &error);
            // A voicemail without audio has nothing to write.
            if (result == QELCopyVoiceMails::CopyResult::WriteFailed)
                return InspectSubcommands::fail(
                    QStringLiteral("the audio of voicemail %1 could not be written to %2: %3")
                        .arg(QString::number(item.id), path.isEmpty() ? request.exportFolder : path,
                             error),
                    InspectSubcommands::kWriteFailed);
        }
    }
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("voicemails"));
    for (const QELVoiceMailItem& item : std::as_const(items)) {
        const QELVoiceMailContact contact = item.relationshipContact();
        const QString audio =
            QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(item.id, &request.source);
        if (!audio.isEmpty())
            QFile::remove(audio);
        QJsonObject json;
        json.insert(QStringLiteral("id"), InspectJson::id(item.id));
        json.insert(QStringLiteral("sender"),
                    InspectJson::text(contact.sender().isEmpty() ? QString() : contact.sender()));
        json.insert(QStringLiteral("name"),
                    contact.namedByAddressBook() ? InspectJson::text(contact.senderName())
                                                 : QJsonValue(QJsonValue::Null));
        json.insert(QStringLiteral("date"), InspectJson::date(item.dateRecorded));
        json.insert(QStringLiteral("durationSeconds"), InspectJson::number(item.duration));
        json.insert(QStringLiteral("file"),
                    audio.isEmpty()
                        ? QJsonValue(QJsonValue::Null)
                        : QJsonValue(QELVoiceMailUtilities::relativeAudioPath(item.id)));
        json.insert(QStringLiteral("trashed"), InspectJson::flag(item.trashed));
        out.value(json);
    }
    out.end();
    return out.finish();
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("voicemail"),
    QStringLiteral("the voicemails (voicemail.db, the voicemail audio files, "
                   "AddressBook.sqlitedb when present)"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    {},
    inspectVoicemail,
});

} // namespace
