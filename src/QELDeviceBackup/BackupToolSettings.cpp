#include "BackupToolSettings.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "BackupKeyCache.h"

BackupKeyCache& BackupToolSettings::keyCache() const
{
    return keys ? *keys : *BackupKeyCache::shared();
}

QString BackupToolSettings::candidateExecutablePath() const
{
    return executablePath.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/orvane-mobilebackup")
        : executablePath;
}

QString BackupToolSettings::resolvedExecutablePath() const
{
    const QString path = candidateExecutablePath();
    const QFileInfo tool(path);
    return tool.isFile() && tool.isExecutable() ? path : QString();
}

QStringList BackupToolSettings::resolvedProcessNames() const
{
    if (!processNames.isEmpty())
        return processNames;
    // Linux keeps the first 15 characters of a command's name.
    return {QStringLiteral("orvane-mobileba"), QStringLiteral("idevicebackup2")};
}
