// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesContactLookup.h"

#include <QFileInfo>

#include "Log.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

const QString kFullTextTable = QStringLiteral("ABPersonFullTextSearch_content");

} // namespace

QELMessagesContactLookup::QELMessagesContactLookup(const QString& addressBookPath,
                                                   const QString& mobileSMSPlistPath)
    : m_addressBook(addressBookPath, mobileSMSPlistPath)
{
    assertNotOnGuiThread();
    if (!addressBookPath.isEmpty())
        readFullTextTable(addressBookPath);
}

void QELMessagesContactLookup::readFullTextTable(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path);
    if (!db.isOpen() || !QELSQLiteHelper::doesDatabaseContainTable(db.handle(), kFullTextTable))
        return;
    sqlite3* handle = db.handle();
    // The table's columns have changed their numbering between systems; a
    // column this system lacks reads as NULL.
    QStringList columns;
    for (const char* column : {"c0First", "c1Last", "c6Organization", "C15Phone", "C16Email"})
        columns << QELSQLiteHelper::columnOrNull(handle, kFullTextTable,
                                                 QString::fromLatin1(column));
    QELSQLiteStatement rows(handle,
                            QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                .arg(columns.join(QStringLiteral(", ")), kFullTextTable));
    const bool read = rows.forEachRow([this](const QELSQLiteStatement& row) {
        m_fullText.append({row.text(0), row.text(1), row.text(2), row.text(3), row.text(4)});
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << "Messages: the address book's full-text table could not be read:"
            << rows.errorMessage();
        m_fullText.clear();
    }
}

QString QELMessagesContactLookup::nameFromFullTextTable(const QString& address) const
{
    if (address.isEmpty())
        return {};
    const bool isEmail = address.contains(QLatin1Char('@'));
    // SQLite's LIKE, which the device's own search uses, ignores the case of
    // ASCII letters only.
    for (const FullTextRow& row : m_fullText) {
        const QString& haystack = isEmail ? row.email : row.phone;
        if (!haystack.contains(address, Qt::CaseInsensitive))
            continue;
        if (!row.first.isEmpty())
            return row.last.isEmpty() ? row.first : row.first + QLatin1Char(' ') + row.last;
        if (!row.last.isEmpty())
            return row.last;
        return row.organization.isEmpty() ? QString() : row.organization;
    }
    return {};
}

QString QELMessagesContactLookup::nameForAddress(const QString& address) const
{
    const QString name = nameFromFullTextTable(address);
    return name.isEmpty() ? m_addressBook.nameForAddress(address) : name;
}
