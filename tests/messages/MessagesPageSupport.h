// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QString>
#include <QStringList>

#include "BackupFileSource.h"
#include "QELMessagesHTMLGenerator.h"

namespace MessagesTest {

// A backup that holds the files it is given and answers each lookup with a
// fresh private copy, as a device's backup does; it records every lookup.
class FakeAttachmentSource : public BackupFileSource {
public:
    explicit FakeAttachmentSource(const QString& scratchFolder);

    void add(const QString& domain, const QString& relativePath, const QByteArray& bytes);
    // The file a data type answers (sms.db is 5).
    void addDataType(int type, const QByteArray& bytes, const QString& name);

    QString GetPathToDataOfType(int type) override;
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override;
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) override;

    // "domain|path" of each lookup, in order.
    QStringList lookups() const;

private:
    QString m_scratch;
    QString copyOf(const QString& name, const QByteArray& bytes);
    QHash<QString, QByteArray> m_files;
    QHash<int, std::pair<QString, QByteArray>> m_types;
    mutable QMutex m_mutex;
    QStringList m_lookups;
    int m_copies = 0;
};

// A page's file decoded: its text after the byte-order mark; null when the
// file does not start with FF FE.
QString readPage(const QString& path);
// The bytes of a file.
QByteArray fileBytes(const QString& path);

// The part of a page between its header's rule and its footer.
QString bodyOf(const QString& page);

// A generator that writes dates as an English locale in UTC does, into
// `temporaryFolder`.
void setUpForGoldenPages(QELMessagesHTMLGenerator& generator, const QString& temporaryFolder);
// A time as such a generator writes it on an information line.
QString messageTimeText(const QDateTime& time);

} // namespace MessagesTest
