#include "ToolCommandLine.h"

#include <QHash>

namespace {

struct CommandForm {
    ToolCommandLine::Command command;
    bool takesPath;
    QStringList required;   // options that must be given
    QStringList optional;   // options that may be given
};

const QHash<QString, CommandForm>& forms()
{
    using C = ToolCommandLine::Command;
    static const QHash<QString, CommandForm> table = {
        {QStringLiteral("--backup"), {C::Backup, false, {QStringLiteral("--target")}, {}}},
        {QStringLiteral("--extract"), {C::Extract, true, {QStringLiteral("-s")}, {QStringLiteral("--p"), QStringLiteral("-D")}}},
        {QStringLiteral("--filename"), {C::FileName, true, {QStringLiteral("-s")}, {QStringLiteral("--password"), QStringLiteral("-D")}}},
        {QStringLiteral("--list"), {C::List, false, {QStringLiteral("--source"), QStringLiteral("--target")}, {QStringLiteral("--password")}}},
        {QStringLiteral("--restore"), {C::Restore, false, {QStringLiteral("-s")}, {QStringLiteral("--password")}}},
    };
    return table;
}

} // namespace

bool isDeviceIdentifier(const QString& text)
{
    if (text.isEmpty() || text.size() > 100 || text.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '-' || u == '_' || u == '.';
        if (!allowed)
            return false;
    }
    return true;
}

QString ToolCommandLine::usage()
{
    return QStringLiteral(
        "Usage:\n"
        "  orvane-mobilebackup --backup --target UDID\n"
        "  orvane-mobilebackup --extract PATH -s UDID [--p PASSWORD] [-D DOMAIN]\n"
        "  orvane-mobilebackup --filename PATH -s UDID [--password PASSWORD] [-D DOMAIN]\n"
        "  orvane-mobilebackup --list --source UDID --target UDID [--password PASSWORD]\n"
        "  orvane-mobilebackup --restore -s UDID [--password PASSWORD]\n"
        "Backups live in $XDG_DATA_HOME/Orvane/MobileSync/Backup/UDID. Give the password\n"
        "in the environment variable ORVANE_BACKUP_PASSWORD rather than on the command line.\n"
        "An extracted file is written to the backup folder, or to the folder named by\n"
        "ORVANE_EXTRACT_TO. Backups encrypted by the device (Manifest.db layout) are\n"
        "decrypted with the password, or with its key in ORVANE_BACKUP_KEY (hexadecimal)\n"
        "when the caller derived it already. Exit status: 0 success, 1 failure, 2 a command line\n"
        "not understood, 3 the backup's password is missing or wrong.\n");
}

std::optional<ToolCommandLine> ToolCommandLine::parse(const QStringList& arguments, QString* error)
{
    ToolCommandLine line;
    if (arguments.size() == 1 && (arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")))
        return line;
    if (arguments.isEmpty() || !forms().contains(arguments.first())) {
        *error = QStringLiteral("Expected one of --backup, --extract, --filename, --list or --restore first.");
        return std::nullopt;
    }
    const CommandForm form = forms().value(arguments.first());
    line.command = form.command;
    int next = 1;
    if (form.takesPath) {
        if (arguments.size() < 2 || arguments.at(1).startsWith(QLatin1String("-"))) {
            *error = QStringLiteral("%1 needs the path of a file within its backup domain.").arg(arguments.first());
            return std::nullopt;
        }
        line.relativePath = arguments.at(1);
        next = 2;
    }
    QHash<QString, QString> given;
    for (; next < arguments.size(); next += 2) {
        const QString option = arguments.at(next);
        if (!form.required.contains(option) && !form.optional.contains(option)) {
            *error = QStringLiteral("%1 does not take the option %2.").arg(arguments.first(), option);
            return std::nullopt;
        }
        if (given.contains(option)) {
            *error = QStringLiteral("The option %1 is given twice.").arg(option);
            return std::nullopt;
        }
        if (next + 1 >= arguments.size()) {
            *error = QStringLiteral("The option %1 needs a value.").arg(option);
            return std::nullopt;
        }
        given.insert(option, arguments.at(next + 1));
    }
    for (const QString& option : form.required) {
        if (!given.contains(option)) {
            *error = QStringLiteral("%1 needs the option %2.").arg(arguments.first(), option);
            return std::nullopt;
        }
    }
    line.device = given.value(form.command == Command::Backup ? QStringLiteral("--target")
                              : form.command == Command::List ? QStringLiteral("--source")
                                                              : QStringLiteral("-s"));
    if (form.command == Command::List && given.value(QStringLiteral("--target")) != line.device) {
        *error = QStringLiteral("--list reads the backup of the device it is given: --source and --target must name the same device.");
        return std::nullopt;
    }
    if (!isDeviceIdentifier(line.device)) {
        *error = QStringLiteral("\"%1\" is not a device identifier.").arg(line.device);
        return std::nullopt;
    }
    if (given.contains(QStringLiteral("-D")) && !given.value(QStringLiteral("-D")).isEmpty())
        line.domain = given.value(QStringLiteral("-D"));
    if (given.contains(QStringLiteral("--p")))
        line.password = given.value(QStringLiteral("--p"));
    else if (given.contains(QStringLiteral("--password")))
        line.password = given.value(QStringLiteral("--password"));
    else if (qEnvironmentVariableIsSet("ORVANE_BACKUP_PASSWORD"))
        line.password = qEnvironmentVariable("ORVANE_BACKUP_PASSWORD");
    // The key belongs to the environment's password: a password on the
    // command line may be another one.
    if (!given.contains(QStringLiteral("--p")) && !given.contains(QStringLiteral("--password"))
        && qEnvironmentVariableIsSet("ORVANE_BACKUP_KEY")) {
        const QByteArray hex = qgetenv("ORVANE_BACKUP_KEY");
        const QByteArray key = QByteArray::fromHex(hex);
        if (hex.size() != 64 || key.size() != 32 || key.toHex() != hex.toLower()) {
            *error = QStringLiteral("ORVANE_BACKUP_KEY must hold a key of 32 bytes in hexadecimal.");
            return std::nullopt;
        }
        line.passwordKey = key;
    }
    return line;
}
