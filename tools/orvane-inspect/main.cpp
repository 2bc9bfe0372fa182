// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-inspect SUBCOMMAND (FOLDER | --backup UDID): prints as JSON what the
// program's readers make of device files. The subcommands are the files
// *Subcommand.cpp beside this one.
#include <cerrno>
#include <limits>
#include <memory>

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "InspectSubcommand.h"
#include "Locations.h"

namespace {

// The readers copy what they read into the temporary folder (databases with
// their journals, lists, covers), and a running application may be using that
// folder, so the tool must not empty it. Each run gets a cache folder of its
// own instead, removed when the run ends; one that a killed run left behind is
// removed by the next run.
class RunCache {
public:
    RunCache()
    {
        const QString parent = Locations::cacheHome() + QStringLiteral("/Orvane");
        if (!QDir().mkpath(parent))
            return;
        removeAbandoned(parent);
        m_dir = std::make_unique<QTemporaryDir>(
            parent + QStringLiteral("/inspect-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
        if (m_dir->isValid())
            qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir->path()));
    }

private:
    static void removeAbandoned(const QString& parent)
    {
        static const QRegularExpression name(QStringLiteral("^inspect-(\\d+)-.{6}$"));
        const QFileInfoList entries =
            QDir(parent).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QFileInfo& entry : entries) {
            const QRegularExpressionMatch match = name.match(entry.fileName());
            if (!match.hasMatch() || entry.isSymLink())
                continue;
            bool ok = false;
            const qint64 pid = match.captured(1).toLongLong(&ok);
            if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
                continue;
            if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH)
                QDir(entry.filePath()).removeRecursively();
        }
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    // Standard output carries only the JSON; diagnostics stay quiet unless asked for.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const RunCache cache;
    return InspectSubcommands::run(QCoreApplication::arguments());
}
