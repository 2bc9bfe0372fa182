// SPDX-License-Identifier: GPL-3.0-or-later
#include "InspectSubcommand.h"

#include <cstdio>
#include <map>
#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QVariant>

#include "BackupFileSource.h"
#include "BackupManifest.h"
#include "BackupPathRules.h"
#include "EncryptedBackup.h"
#include "FolderBackupFileSource.h"
#include "Locations.h"
#include "Plist.h"
#include "QELDeviceBackup.h"

namespace InspectSubcommands {

namespace {

std::map<QString, InspectSubcommand>& table()
{
    // Built during static initialisation by the subcommands' own files.
    static std::map<QString, InspectSubcommand> rows;
    return rows;
}

void printError(const QString& text) { std::fputs(text.toLocal8Bit().constData(), stderr); }

QString usage()
{
    QString text =
        QStringLiteral(
            "usage: orvane-inspect SUBCOMMAND (FOLDER | --backup UDID) [--export DIR] [options]\n"
            "Prints as JSON what the program's readers make of a folder of copied device\n"
            "files, or of a device's backup in %1.\n\nsubcommands:\n")
            .arg(Locations::backupRoot());
    for (const InspectSubcommand* subcommand : all())
        text += QStringLiteral("  %1  %2\n").arg(subcommand->name, -10).arg(subcommand->summary);
    text +=
        QStringLiteral("\n\"orvane-inspect SUBCOMMAND --help\" shows a subcommand's options.\n");
    return text;
}

QString knownNames()
{
    QStringList names;
    for (const InspectSubcommand* subcommand : all())
        names << subcommand->name;
    return names.join(QStringLiteral(", "));
}

// Hands the subcommand's lookups on and remembers the private folders of the
// answers, so the copies go when the tool ends, as the application's go when
// its temporary folder is emptied (which the tool must not do: the
// application may be running).
class AnswerCollector : public BackupFileSource {
public:
    explicit AnswerCollector(BackupFileSource& source)
        : m_source(source)
    {
    }
    ~AnswerCollector() override
    {
        const QString temporary = Locations::temporaryFolder();
        for (const QString& folder : m_folders) {
            // Only a folder of its own inside the temporary folder, never the folder itself.
            if (!temporary.isEmpty() && QFileInfo(folder).absolutePath() == temporary)
                QDir(folder).removeRecursively();
        }
    }
    AnswerCollector(const AnswerCollector&) = delete;
    AnswerCollector& operator=(const AnswerCollector&) = delete;

    QString GetPathToDataOfType(int type) override
    {
        return remember(m_source.GetPathToDataOfType(type));
    }
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override
    {
        return remember(m_source.GetPathForDeviceFileNameInDomain(path, domain));
    }
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) override
    {
        return m_source.GetAllFilesInDomain(domain);
    }

private:
    QString remember(const QString& answer)
    {
        if (!answer.isEmpty())
            m_folders << QFileInfo(answer).absolutePath();
        return answer;
    }

    BackupFileSource& m_source;
    QStringList m_folders;
};

// The device's backup, looked up as the views look it up; null (and why)
// when there is none to read.
std::unique_ptr<QELDeviceBackup> openBackup(const QString& udid, QString* error)
{
    if (!BackupPathRules::isPlainFileName(udid) || udid.startsWith(QLatin1Char('.'))) {
        *error = QStringLiteral("not a device identifier: \"%1\"").arg(udid);
        return nullptr;
    }
    const QString folder = Locations::backupRoot() + QLatin1Char('/') + udid;
    if (!QFileInfo(folder).isDir()
        || (!QFileInfo::exists(folder + QStringLiteral("/Manifest.mbdb"))
            && !QFileInfo::exists(folder + QStringLiteral("/Manifest.db")))) {
        *error = QStringLiteral("no backup of device %1 in %2").arg(udid, Locations::backupRoot());
        return nullptr;
    }
    // As the backup tool takes it: never on a command line, where other users
    // could read it. An empty password is a password like any other.
    std::optional<QString> password;
    if (qEnvironmentVariableIsSet("ORVANE_BACKUP_PASSWORD"))
        password = qEnvironmentVariable("ORVANE_BACKUP_PASSWORD");
    const QVariantMap manifestPlist =
        Plist::readFile(folder + QStringLiteral("/Manifest.plist")).toMap();
    const QVariant encrypted = manifestPlist.value(QStringLiteral("IsEncrypted"));
    if ((encrypted.typeId() == QMetaType::Bool ? encrypted.toBool() : encrypted.toLongLong() == 1)
        && !password) {
        *error = QStringLiteral(
                     "the backup of %1 is encrypted: give its password in ORVANE_BACKUP_PASSWORD")
                     .arg(udid);
        return nullptr;
    }
    if (Locations::temporaryFolder().isEmpty()) {
        *error = QStringLiteral("the temporary folder %1 cannot be used")
                     .arg(Locations::cacheHome() + QStringLiteral("/Orvane/orvane"));
        return nullptr;
    }
    auto backup = std::make_unique<QELDeviceBackup>();
    backup->setDeviceUID(udid);
    backup->setDeviceBackUpPath(folder);
    backup->setPassword(password);
    // Read here, once: every lookup after it answers from this read (a
    // manifest of two million files takes half a minute to read).
    const std::shared_ptr<const OpenedBackup> opened = backup->openedBackup();
    // A manifest that cannot be read would otherwise answer every lookup with
    // nothing, as if the backup held none of the files. An encrypted backup's
    // manifest is read once it is decrypted, below the key bag's check.
    if (!EncryptedBackup::isDeviceEncrypted(manifestPlist)) {
        if (!opened->readableManifest()) {
            QString reason = opened->reason;
            // A Manifest.db that is no database reads as encrypted: say what the file is.
            if (opened->kind == OpenedBackup::Kind::DeviceEncrypted)
                BackupManifest::load(folder, &reason);
            *error =
                (opened->manifestTooLarge ? QStringLiteral("the backup of %1 cannot be opened: %2")
                                          : QStringLiteral("the backup of %1 is damaged: %2"))
                    .arg(udid, reason);
            return nullptr;
        }
    } else if (password) {
        // Only the key bag tells whether the password is wrong; asked once
        // here, every lookup after it reads with the key this derived.
        EncryptedBackup::Status status = opened->status;
        QString reason = opened->reason;
        if (opened->kind != OpenedBackup::Kind::DeviceEncrypted) {
            // A key bag in a backup that says it is not encrypted: ask it all the same.
            std::optional<EncryptedBackup> direct;
            status = EncryptedBackup::open(folder, *password, &direct, &reason,
                                           &backup->toolSettings().keyCache());
        }
        switch (status) {
        case EncryptedBackup::Status::Opened:
            break;
        case EncryptedBackup::Status::WrongPassword:
            *error = QStringLiteral("the password in ORVANE_BACKUP_PASSWORD does not open the "
                                    "backup of %1")
                         .arg(udid);
            return nullptr;
        case EncryptedBackup::Status::Unreadable:
            *error =
                QStringLiteral("the backup of %1 cannot be read: %2").arg(udid, opened->reason);
            return nullptr;
        }
    }
    return backup;
}

} // namespace

bool add(InspectSubcommand subcommand)
{
    const QString name = subcommand.name;
    if (!table().emplace(name, std::move(subcommand)).second)
        printError(QStringLiteral("orvane-inspect: the subcommand \"%1\" is registered twice\n")
                       .arg(name));
    return true;
}

std::vector<const InspectSubcommand*> all()
{
    std::vector<const InspectSubcommand*> rows;
    for (const auto& [name, subcommand] : table())
        rows.push_back(&subcommand);
    return rows;
}

int fail(const QString& reason, int code)
{
    QString line = reason;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    printError(QStringLiteral("orvane-inspect: %1\n").arg(line));
    return code;
}

int run(const QStringList& arguments)
{
    const QString name = arguments.value(1);
    if (name.isEmpty() || name == QLatin1String("-h") || name == QLatin1String("--help")) {
        const QString text = usage();
        std::fputs(text.toLocal8Bit().constData(), name.isEmpty() ? stderr : stdout);
        return name.isEmpty() ? kRefused : kSucceeded;
    }
    const auto found = table().find(name);
    if (found == table().end()) {
        printError(QStringLiteral("orvane-inspect: unknown subcommand \"%1\"; known: %2\n\n%3")
                       .arg(name, knownNames(), usage()));
        return kRefused;
    }
    const InspectSubcommand& subcommand = found->second;

    QCommandLineParser parser;
    parser.setApplicationDescription(subcommand.summary);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows these options."));
    const QCommandLineOption backupOption(
        QStringLiteral("backup"),
        QStringLiteral("Reads the backup of device UDID in %1.").arg(Locations::backupRoot()),
        QStringLiteral("UDID"));
    // Known to every subcommand, so that one which cannot export says so.
    const QCommandLineOption exportOption(QStringLiteral("export"),
                                          QStringLiteral("Exports into the folder DIR."),
                                          QStringLiteral("DIR"));
    parser.addOption(helpOption);
    if (subcommand.input == InspectSubcommand::Input::FolderOrBackup)
        parser.addOption(backupOption);
    else
        parser.addOption(QCommandLineOption(
            backupOption.names(), QStringLiteral("Refused: a backup does not hold these files."),
            QStringLiteral("UDID")));
    parser.addOption(exportOption);
    if (subcommand.addOptions)
        subcommand.addOptions(parser);
    parser.addPositionalArgument(subcommand.name, QString(), subcommand.name);
    const bool filesOnly = subcommand.input == InspectSubcommand::Input::FilesOnly;
    if (!filesOnly)
        parser.addPositionalArgument(
            QStringLiteral("FOLDER"),
            QStringLiteral("A folder of copied device files (not with --backup)."));
    if (!subcommand.extraArguments.isEmpty())
        parser.addPositionalArgument(subcommand.extraArguments, QString(),
                                     subcommand.extraArguments);

    QStringList rest = arguments;
    rest.removeAt(1);
    if (!parser.parse(rest))
        return fail(QStringLiteral("%1: %2").arg(name, parser.errorText()));
    if (parser.isSet(helpOption)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return kSucceeded;
    }
    const QString exportFolder =
        parser.isSet(exportOption) ? parser.value(exportOption) : QString();
    if (!exportFolder.isNull() && !subcommand.canExport)
        return fail(QStringLiteral("%1 cannot export").arg(name));

    QStringList positional = parser.positionalArguments();
    std::unique_ptr<BackupFileSource> source;
    QString input;
    QString folder;
    if (filesOnly) {
        if (parser.isSet(backupOption))
            return fail(QStringLiteral("%1 reads the files it is given, not a backup").arg(name));
        if (positional.isEmpty())
            return fail(QStringLiteral("%1: give %2").arg(name, subcommand.extraArguments));
        // Nothing is looked up: an empty source stands in.
        source = std::make_unique<FolderBackupFileSource>(QString());
        input = positional.join(QLatin1Char(' '));
    } else if (parser.isSet(backupOption)) {
        if (subcommand.input != InspectSubcommand::Input::FolderOrBackup)
            return fail(QStringLiteral("%1 reads a folder of device files, which a backup does not "
                                       "hold; give a FOLDER")
                            .arg(name));
        const QString udid = parser.value(backupOption);
        QString error;
        std::unique_ptr<QELDeviceBackup> backup = openBackup(udid, &error);
        if (!backup)
            return fail(error);
        source = std::move(backup);
        input = QStringLiteral("the backup of %1").arg(udid);
    } else {
        if (positional.isEmpty())
            return fail(QStringLiteral("%1: give a FOLDER or --backup UDID").arg(name));
        folder = positional.takeFirst();
        if (!QFileInfo(folder).isDir())
            return fail(QStringLiteral("not a folder: %1").arg(folder));
        source = std::make_unique<FolderBackupFileSource>(folder);
        input = folder;
    }
    if (!positional.isEmpty() && subcommand.extraArguments.isEmpty())
        return fail(QStringLiteral("%1: unexpected argument \"%2\"").arg(name, positional.first()));

    AnswerCollector collector(*source);
    const InspectRequest request{collector, input, folder, exportFolder, positional, parser};
    return subcommand.run(request);
}

} // namespace InspectSubcommands
