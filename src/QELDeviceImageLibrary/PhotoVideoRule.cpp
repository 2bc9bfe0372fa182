// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoVideoRule.h"

#include <QFileInfo>

bool PhotoVideoRule::isVideo(const QString& fileName, std::optional<qint64> assetKind)
{
    if (assetKind == 1)
        return true;
    if (fileName.contains(QLatin1String(".mov")) || fileName.contains(QLatin1String(".MOV")))
        return true;
    const QString extension = QFileInfo(fileName).suffix().toLower();
    return extension == QLatin1String("mov") || extension == QLatin1String("mp4")
        || extension == QLatin1String("m4v") || extension == QLatin1String("3gp");
}
