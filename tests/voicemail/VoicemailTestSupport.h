// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QList>
#include <QString>
#include <QTimeZone>

#include "AddressBookFixture.h"
#include "VoicemailFixture.h"

// A folder of copied device files as a backup would answer them: voicemail.db
// and AddressBook.sqlitedb at the top, the audio under Library/Voicemail.
namespace VoicemailTest {

inline qint64 unix(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc())
        .toSecsSinceEpoch();
}

inline QString indexPath(const QString& folder) { return folder + QStringLiteral("/voicemail.db"); }
inline QString addressBookPath(const QString& folder)
{
    return folder + QStringLiteral("/AddressBook.sqlitedb");
}

inline bool writeIndex(const QString& folder, const QList<VoicemailFixture::Voicemail>& voicemails,
                       const VoicemailFixture::Schema& schema = {})
{
    return VoicemailFixture::writeVoicemailDb(indexPath(folder), voicemails, schema);
}

// The address book with its full-text table.
inline bool writeAddressBook(const QString& folder, const AddressBookFixture& book,
                             bool withFullText = true,
                             const QList<VoicemailFixture::FullTextExtra>& extra = {})
{
    const QString path = addressBookPath(folder);
    if (!book.write(path))
        return false;
    if (withFullText)
        return VoicemailFixture::addFullTextSearch(path, book, extra);
    // An address book of a system without the full-text table.
    sqlite3* db = nullptr;
    const bool dropped = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, "DROP TABLE IF EXISTS ABPersonFullTextSearch_content", nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_close(db);
    return dropped;
}

// The audio of voicemail `id`, `frames` AMR frames of 20 ms.
inline bool writeAudio(const QString& folder, qint64 id, int frames = 50)
{
    const QString dir = folder + QStringLiteral("/Library/Voicemail");
    return QDir().mkpath(dir)
        && VoicemailFixture::writeAmrFile(dir + QStringLiteral("/%1.amr").arg(id), frames);
}

} // namespace VoicemailTest
