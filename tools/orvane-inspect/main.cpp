// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-inspect SUBCOMMAND (FOLDER | --backup UDID): prints as JSON what the
// program's readers make of device files. The subcommands are the files
// *Subcommand.cpp beside this one.
#include <QCoreApplication>
#include <QLoggingCategory>

#include "InspectSubcommand.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    // Standard output carries only the JSON; diagnostics stay quiet unless asked for.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    return InspectSubcommands::run(QCoreApplication::arguments());
}
