// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect calls (FOLDER | --backup UDID)`: the call history as the
// call log view reads it, participant by participant, through the same
// lookups the view makes; `--export DIR` writes the page the view's copy
// writes with nothing selected.
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELCallLogReader.h"
#include "QELCallLogStoreDataReader.h"
#include "QELCopyCallLogs.h"

namespace {

using InspectJson::text;

QJsonObject callJson(const QELCallLogEntryDetail& call)
{
    QJsonObject json;
    json.insert(QStringLiteral("date"), InspectJson::date(call.date()));
    json.insert(QStringLiteral("durationSeconds"), InspectJson::number(call.duration()));
    json.insert(QStringLiteral("direction"),
                call.isOutgoing() ? QStringLiteral("outgoing") : QStringLiteral("incoming"));
    json.insert(QStringLiteral("answered"), InspectJson::flag(call.answered()));
    json.insert(QStringLiteral("service"), text(call.service()));
    return json;
}

int inspectCalls(const InspectRequest& request)
{
    std::unique_ptr<QELCallLogReader> reader = QELCallLogReader::makeReader(request.source);
    if (!reader)
        return InspectSubcommands::fail(
            QStringLiteral("no call history (call_history.db or CallHistory.storedata) in %1")
                .arg(request.input));
    if (!reader->loadCallLog()) {
        // Damage is reported as the messages report theirs: the file, then why.
        if (reader->lastError().startsWith(QLatin1String("this database is damaged")))
            return InspectSubcommands::fail(
                QStringLiteral("%1: %2").arg(dynamic_cast<QELCallLogStoreDataReader*>(reader.get())
                                                 ? QStringLiteral("CallHistory.storedata")
                                                 : QStringLiteral("call_history.db"),
                                             reader->lastError()));
        return InspectSubcommands::fail(
            QStringLiteral("the call history of %1 could not be read: %2")
                .arg(request.input, reader->lastError()));
    }
    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    // The calls are whole; a file that names them or gives the region is not.
    for (const QString& warning : reader->warnings())
        InspectSubcommands::fail(QStringLiteral("warning: ") + warning);

    if (!request.exportFolder.isNull()) {
        QString path;
        QString error;
        if (!QDir().mkpath(request.exportFolder)
            || !QELCopyCallLogs::writePage(request.exportFolder,
                                           reader->getCallLogForParticipants(participants), &path,
                                           &error))
            return InspectSubcommands::fail(
                QStringLiteral("the call log page could not be written to %1: %2")
                    .arg(path.isEmpty() ? request.exportFolder : path, error),
                InspectSubcommands::kWriteFailed);
    }
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("participants"));
    for (const QELCallLogParticipant& participant : participants) {
        QJsonArray calls;
        for (const QELCallLogEntryDetail& call : reader->getCallLogForParticipants({participant}))
            calls.append(callJson(call));
        QJsonObject json;
        json.insert(QStringLiteral("name"), text(participant.name()));
        json.insert(QStringLiteral("address"), text(participant.addresses().value(0)));
        json.insert(QStringLiteral("calls"), calls);
        out.value(json);
    }
    out.end();
    return out.finish();
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("calls"),
    QStringLiteral("the call history by participant (call_history.db or CallHistory.storedata, "
                   "AddressBook.sqlitedb and com.apple.MobileSMS.plist when present)"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    {},
    inspectCalls,
});

} // namespace
