// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBookDetails.h"

#include <QFileInfo>

namespace {

QString withoutLeadingDots(QString text)
{
    text = text.trimmed();
    while (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return text;
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

QString QELBookDetails::fileText() const { return withoutLeadingDots(m_name); }

QString QELBookDetails::fileFallbackText() const
{
    const QString id = withoutLeadingDots(m_persistentID);
    if (!id.isEmpty())
        return id;
    const QString file = withoutLeadingDots(QFileInfo(m_path).completeBaseName());
    return file.isEmpty() ? QStringLiteral("Book") : file;
}
