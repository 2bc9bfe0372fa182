// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessagesPageSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTimeZone>

namespace MessagesTest {

FakeAttachmentSource::FakeAttachmentSource(const QString& scratchFolder)
    : m_scratch(scratchFolder)
{
}

void FakeAttachmentSource::add(const QString& domain, const QString& relativePath,
                               const QByteArray& bytes)
{
    QMutexLocker lock(&m_mutex);
    m_files.insert(domain + QLatin1Char('|') + relativePath, bytes);
}

void FakeAttachmentSource::addDataType(int type, const QByteArray& bytes, const QString& name)
{
    QMutexLocker lock(&m_mutex);
    m_types.insert(type, {name, bytes});
}

QString FakeAttachmentSource::GetPathToDataOfType(int type)
{
    QMutexLocker lock(&m_mutex);
    m_lookups << QStringLiteral("type|%1").arg(type);
    const auto found = m_types.constFind(type);
    return found == m_types.cend() ? QString() : copyOf(found->first, found->second);
}

QString FakeAttachmentSource::copyOf(const QString& name, const QByteArray& bytes)
{
    const QString folder = QStringLiteral("%1/copy-%2").arg(m_scratch).arg(++m_copies);
    QDir().mkpath(folder);
    const QString copy = folder + QLatin1Char('/')
        + (name.isEmpty() || name.startsWith(QLatin1Char('.')) ? QStringLiteral("copy") : name);
    QFile file(copy);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return copy;
}

QString FakeAttachmentSource::GetPathForDeviceFileNameInDomain(const QString& path,
                                                               const QString& domain)
{
    QMutexLocker lock(&m_mutex);
    const QString key = domain + QLatin1Char('|') + path;
    m_lookups << key;
    const auto found = m_files.constFind(key);
    if (found == m_files.cend())
        return {};
    return copyOf(QFileInfo(path).fileName(), *found);
}

QList<QELDeviceBackupListingItem> FakeAttachmentSource::GetAllFilesInDomain(const QString&)
{
    return {};
}

QStringList FakeAttachmentSource::lookups() const
{
    QMutexLocker lock(&m_mutex);
    return m_lookups;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readPage(const QString& path)
{
    const QByteArray bytes = fileBytes(path);
    if (!bytes.startsWith("\xFF\xFE") || bytes.size() % 2 != 0)
        return {};
    QString text(int((bytes.size() - 2) / 2), Qt::Uninitialized);
    for (qsizetype i = 2, j = 0; i + 1 < bytes.size(); i += 2, ++j)
        text[j] = QChar(char16_t(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8)));
    return text;
}

QString bodyOf(const QString& page)
{
    const QString rule = QStringLiteral("\r\n<hr size=1 noshade/>");
    const qsizetype start = page.indexOf(rule);
    const qsizetype end = page.lastIndexOf(QStringLiteral("<hr size=1 noshade/>\r\n"));
    if (start < 0 || end < start)
        return {};
    return page.mid(start + rule.size(), end - start - rule.size());
}

void setUpForGoldenPages(QELMessagesHTMLGenerator& generator, const QString& temporaryFolder)
{
    generator.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    generator.setTimeZone(QTimeZone::utc());
    generator.setTemporaryFolder(temporaryFolder);
}

QString messageTimeText(const QDateTime& time)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(time.toUTC(),
                            english.dateFormat(QLocale::LongFormat) + QLatin1Char(' ')
                                + english.timeFormat(QLocale::ShortFormat));
}

} // namespace MessagesTest
