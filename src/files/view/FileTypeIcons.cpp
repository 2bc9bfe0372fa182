// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileTypeIcons.h"

#include <QApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QStyle>

namespace FileTypeIcons {

QStringList iconNamesFor(const QString& fileName)
{
    static const QMimeDatabase database;
    // By the name alone: the file is on the device, its bytes are not at hand.
    const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return {};
    QStringList names{type.iconName()};
    if (!type.genericIconName().isEmpty() && type.genericIconName() != type.iconName())
        names << type.genericIconName();
    return names;
}

QIcon fileIcon(const QString& fileName)
{
    static QHash<QString, QIcon> cache;
    const QStringList names = iconNamesFor(fileName);
    const QString key = names.value(0);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    for (const QString& name : names) {
        if (QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    if (icon.isNull())
        icon = plainFileIcon();
    cache.insert(key, icon);
    return icon;
}

QIcon plainFileIcon()
{
    static const QIcon icon(QStringLiteral(":/files/files_file.png"));
    return icon;
}

QIcon folderIcon()
{
    static const QIcon icon = QIcon::hasThemeIcon(QStringLiteral("folder"))
        ? QIcon::fromTheme(QStringLiteral("folder"))
        : QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    return icon;
}

} // namespace FileTypeIcons
