// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class BackupFileSource;

// What a subcommand runs with. Its input is named on the command line in one
// of two ways, and reaches it as one source of files either way:
//   orvane-inspect SUBCOMMAND FOLDER          a folder of copied device files
//   orvane-inspect SUBCOMMAND --backup UDID   that device's backup in the backup folder
struct InspectRequest {
    BackupFileSource& source;
    // The input for messages: the FOLDER as given, or "the backup of UDID".
    QString input;
    // The FOLDER given; null with --backup.
    QString folder;
    // The folder of --export; null when no export was asked for.
    QString exportFolder;
    // Positional arguments after the input (see InspectSubcommand::extraArguments).
    QStringList arguments;
    // The command line, parsed with the subcommand's own options.
    const QCommandLineParser& parser;
};

// One row of the subcommand table. Each subcommand is a source file of its
// own that adds its row at start-up:
//   [[maybe_unused]] const bool registered = InspectSubcommands::add({...});
struct InspectSubcommand {
    enum class Input {
        FolderOrBackup, // either form of the input
        FolderOnly,     // files a backup does not hold: --backup is refused
        FilesOnly,      // local files named as the positional arguments: no FOLDER, no --backup
    };

    QString name;
    QString summary; // one line of the usage text
    Input input = Input::FolderOrBackup;
    // Whether --export DIR is taken; a subcommand without it refuses it.
    bool canExport = false;
    // The usage of positional arguments after the input ("PATH..."); empty:
    // none are taken.
    QString extraArguments;
    // Adds the subcommand's own options to the parser; may be empty.
    std::function<void(QCommandLineParser&)> addOptions;
    // Prints the JSON on standard output and answers the exit code; a
    // failure says why in one line (InspectSubcommands::fail).
    std::function<int(const InspectRequest&)> run;
};

namespace InspectSubcommands {

// Exit codes: the JSON was printed; something could not be written; the
// command line or its input cannot be used (a missing or unreadable input, a
// refused option). The JSON goes out record by record (InspectJsonStream):
// a failure found while it is printed (a database damaged part-way) leaves
// standard output empty or, past its first 64 KiB, a document cut short that
// no parser accepts; the exit code is never 0 then.
inline constexpr int kSucceeded = 0;
inline constexpr int kWriteFailed = 1;
inline constexpr int kRefused = 2;

// Adds a row; answers true (a second row of the same name is a programming
// error, logged and ignored).
bool add(InspectSubcommand subcommand);
// The rows, by name.
std::vector<const InspectSubcommand*> all();

// Prints "orvane-inspect: <reason>" as one line on standard error; answers `code`.
int fail(const QString& reason, int code = kRefused);

// Runs the whole command line (program name first).
int run(const QStringList& arguments);

} // namespace InspectSubcommands
