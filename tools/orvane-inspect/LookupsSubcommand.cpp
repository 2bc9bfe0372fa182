// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect lookups (FOLDER | --backup UDID) [--path P]... [--domain D]
// [--export DIR]`: what a source of backup files answers to the lookups the
// categories make, so a backup (or a folder of copies) can be checked before
// any reader is blamed: the file of every data type, the files named with
// --path in the domain --domain, and that domain's listing. --export copies
// every answered file, with its companions, into DIR; a folder so made reads
// back as the same files.
#include <utility>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "BackupFileSource.h"
#include "BackupPathRules.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELDeviceBackup.h"
#include "SafePath.h"

namespace {

const QString kCompanions[] = {QStringLiteral("-wal"), QStringLiteral("-shm")};

QString domainOption() { return QStringLiteral("domain"); }
QString pathOption() { return QStringLiteral("path"); }

QByteArray sha1OfFile(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

// The answered copy: its name, size, SHA-1 and which companions came with it;
// null when nothing was answered.
QJsonValue answerJson(const QString& answer)
{
    if (answer.isEmpty())
        return QJsonValue(QJsonValue::Null);
    QJsonArray companions;
    for (const QString& suffix : kCompanions) {
        if (QFileInfo::exists(answer + suffix))
            companions.append(suffix);
    }
    const QFileInfo info(answer);
    QJsonObject file;
    file.insert(QStringLiteral("name"), info.fileName());
    file.insert(QStringLiteral("bytes"), InspectJson::number(info.size()));
    file.insert(QStringLiteral("sha1"), InspectJson::text(QString::fromLatin1(sha1OfFile(answer))));
    file.insert(QStringLiteral("companions"), companions);
    return file;
}

// Copies every answer with its companions into the folder, under the answer's
// own name made safe as every copy's name is (a backup may name a file with
// control characters, spaces only or a leading dot); a companion keeps its
// answer's name with its suffix. Nothing is replaced: a name already there
// fails the export before anything is copied.
int exportAnswers(const QStringList& answers, const QString& folder)
{
    QList<std::pair<QString, QString>> copies; // source, name in the folder
    for (const QString& answer : answers) {
        if (answer.isEmpty())
            continue;
        const QString name =
            SafePath::fileName(QFileInfo(answer).fileName(), QStringLiteral("unnamed"));
        copies.append({answer, name});
        for (const QString& suffix : kCompanions) {
            if (QFileInfo::exists(answer + suffix))
                copies.append({answer + suffix, name + suffix});
        }
    }
    if (!QDir().mkpath(folder))
        return InspectSubcommands::fail(
            QStringLiteral("cannot make the export folder %1").arg(folder),
            InspectSubcommands::kWriteFailed);
    QStringList names;
    for (const auto& [source, name] : copies) {
        if (names.contains(name) || QFileInfo::exists(folder + QLatin1Char('/') + name))
            return InspectSubcommands::fail(
                QStringLiteral("%1 is in the export folder already; nothing was exported")
                    .arg(name),
                InspectSubcommands::kWriteFailed);
        names << name;
    }
    for (const auto& [source, name] : copies) {
        const QString target = folder + QLatin1Char('/') + name;
        if (!QFile::copy(source, target))
            return InspectSubcommands::fail(QStringLiteral("cannot write %1").arg(target),
                                            InspectSubcommands::kWriteFailed);
    }
    return InspectSubcommands::kSucceeded;
}

int inspectLookups(const InspectRequest& request)
{
    QStringList answers;
    QJsonArray dataTypes;
    for (int type = 0; type <= 15; ++type) {
        const std::optional<QELDataTypeSearchReferenceElement> element =
            QELDeviceBackup::relativePathElementForDataType(type);
        if (!element)
            continue;
        const QString answer = request.source.GetPathToDataOfType(type);
        answers << answer;
        QJsonObject row;
        row.insert(QStringLiteral("type"), type);
        row.insert(QStringLiteral("relativePath"), element->relativeDevicePath());
        row.insert(QStringLiteral("domain"), element->domain());
        row.insert(QStringLiteral("file"), answerJson(answer));
        dataTypes.append(row);
    }

    const QString domain =
        request.parser.isSet(domainOption()) ? request.parser.value(domainOption()) : QString();
    QJsonArray paths;
    for (const QString& path : request.parser.values(pathOption())) {
        const QString answer = request.source.GetPathForDeviceFileNameInDomain(path, domain);
        answers << answer;
        QJsonObject row;
        row.insert(QStringLiteral("path"), path);
        row.insert(QStringLiteral("domain"),
                   domain.isNull() ? QStringLiteral("HomeDomain") : domain);
        row.insert(QStringLiteral("file"), answerJson(answer));
        paths.append(row);
    }

    if (!request.exportFolder.isNull()) {
        const int code = exportAnswers(answers, request.exportFolder);
        if (code != InspectSubcommands::kSucceeded)
            return code;
    }
    InspectJsonStream out;
    out.beginObject();
    out.member(QStringLiteral("dataTypes"), dataTypes);
    // A domain's listing may name hundreds of thousands of files: row by row.
    if (domain.isNull()) {
        out.member(QStringLiteral("domainFiles"), QJsonValue::Null);
    } else {
        out.beginArray(QStringLiteral("domainFiles"));
        for (const QELDeviceBackupListingItem& item : request.source.GetAllFilesInDomain(domain)) {
            QJsonObject row;
            row.insert(QStringLiteral("relativePath"), InspectJson::text(item.relativePath()));
            row.insert(QStringLiteral("backupFile"), InspectJson::text(item.backupFile()));
            row.insert(QStringLiteral("domain"), InspectJson::text(item.domain()));
            out.value(row);
        }
        out.end();
    }
    out.member(QStringLiteral("paths"), paths);
    return out.finish();
}

void addLookupOptions(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(
        pathOption(), QStringLiteral("Also looks up the file at PATH in the domain (repeatable)."),
        QStringLiteral("PATH")));
    parser.addOption(QCommandLineOption(
        domainOption(),
        QStringLiteral("The domain of --path (default HomeDomain); also lists its files."),
        QStringLiteral("DOMAIN")));
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("lookups"),
    QStringLiteral(
        "the file each backup data type, --path and --domain answer; --export copies them"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    addLookupOptions,
    inspectLookups,
});

} // namespace
