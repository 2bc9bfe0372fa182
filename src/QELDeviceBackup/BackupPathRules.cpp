#include "BackupPathRules.h"

#include "SafePath.h"

namespace BackupPathRules {

bool isPlainFileName(const QString& name) { return SafePath::isPlainName(name); }

bool isSafeRelativePath(const QString& path) { return SafePath::isSafeRelativePath(path); }

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
    return isFileIdentifier(identifier)
        && text.left(2).compare(identifier.left(2), Qt::CaseInsensitive) == 0;
}

QString lastComponent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace BackupPathRules
