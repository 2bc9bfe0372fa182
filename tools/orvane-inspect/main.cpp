// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

#include "MediaInspection.h"

namespace {

int usage()
{
    std::fputs("usage: orvane-inspect media FOLDER\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    // Standard output carries only the JSON; diagnostics stay quiet unless asked for.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return usage();
    if (arguments.at(1) == QLatin1String("media")) {
        QByteArray json;
        QString error;
        if (!MediaInspection::inspectFolder(arguments.at(2), &json, &error)) {
            std::fprintf(stderr, "orvane-inspect: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        return 0;
    }
    return usage();
}
