#include "BackupPathRules.h"

#include <QStringList>

namespace BackupPathRules {

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool isSafeRelativePath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0))
        || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
        return false;
    const QStringList components = path.split(QLatin1Char('/'));
    for (const QString& component : components) {
        if (component.isEmpty() || component == QLatin1String(".") || component == QLatin1String(".."))
            return false;
    }
    return true;
}

bool isFileIdentifier(const QString& text)
{
    if (text.size() != 40)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

bool isBackupFileName(const QString& text)
{
    if (isFileIdentifier(text))
        return true;
    if (text.size() != 43 || text.at(2) != QLatin1Char('/'))
        return false;
    const QString identifier = text.mid(3);
    return isFileIdentifier(identifier) && text.left(2).compare(identifier.left(2), Qt::CaseInsensitive) == 0;
}

QString lastComponent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace BackupPathRules
