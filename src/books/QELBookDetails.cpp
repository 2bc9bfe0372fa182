// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBookDetails.h"

#include <QFileInfo>

#include "SafePath.h"

namespace {

// The text when it gives a file name; the one naming rule of every copy
// (SafePath) makes it one, leading dots included.
QString usableText(const QString& text)
{
    return SafePath::fileName(text).isEmpty() ? QString() : text.trimmed();
}

} // namespace

bool QELBookDetails::isPDFKind() const
{
    return !m_extension || m_extension->compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

QString QELBookDetails::kindText() const
{
    return isPDFKind() ? QStringLiteral("pdf") : m_extension->toLower();
}

QString QELBookDetails::fileText() const { return usableText(m_name); }

QString QELBookDetails::fileFallbackText() const
{
    const QString id = usableText(m_persistentID);
    if (!id.isEmpty())
        return id;
    const QString file = usableText(QFileInfo(m_path).completeBaseName());
    return file.isEmpty() ? QStringLiteral("Book") : file;
}
