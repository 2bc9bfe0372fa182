#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The tool's command lines:
//   --backup --target U
//   --extract P -s U [--p W] [-D D]          (the options in any order)
//   --filename P -s U [--password W] [-D D]
//   --list --source U --target U [--password W]
//   --restore -s U [--password W]
// U is the device identifier, P a path within its backup domain, D the domain
// (default "HomeDomain"), W the backup password. The password is better given
// in the environment variable ORVANE_BACKUP_PASSWORD, where other users cannot
// read it; a password on the command line wins over it.
struct ToolCommandLine {
    enum class Command { Backup, Extract, FileName, List, Restore, Help };

    Command command = Command::Help;
    QString device;
    QString relativePath;
    QString domain = QStringLiteral("HomeDomain");
    std::optional<QString> password;
    // The password's key from ORVANE_BACKUP_KEY (32 bytes); empty when none
    // was given or the password came from the command line.
    QByteArray passwordKey;

    // Parses the arguments after the program name; std::nullopt (and a reason)
    // for anything but the command lines above.
    static std::optional<ToolCommandLine> parse(const QStringList& arguments, QString* error);

    static QString usage();
};

// A device identifier that is safe as a folder name: letters, digits, "-",
// "_" and ".", not starting with ".", at most 100 characters.
bool isDeviceIdentifier(const QString& text);
