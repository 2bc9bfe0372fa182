// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNoteDatabaseReader.h"

#include "BackupFileSource.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELLegacyNoteDatabaseReader.h"

namespace {

// Backup data types of the note databases.
constexpr int kNotesSqlite = 2;
constexpr int kNotesDb = 3;
constexpr int kNoteStore = 4;

} // namespace

bool QELNoteDatabaseReader::extractMediaForNote(QELNoteDetail& note)
{
    Q_UNUSED(note)
    return true;
}

std::unique_ptr<QELNoteDatabaseReader::MediaSession> QELNoteDatabaseReader::openMediaSession()
{
    return nullptr;
}

bool QELNoteDatabaseReader::extractMediaInSession(QELNoteDetail& note, MediaSession* session)
{
    Q_UNUSED(session)
    return extractMediaForNote(note);
}

QString QELNoteDatabaseReader::lastError() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_lastError;
}

void QELNoteDatabaseReader::setReadBudget(std::chrono::milliseconds budget)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_readBudget = budget;
}

std::chrono::milliseconds QELNoteDatabaseReader::readBudget() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_readBudget;
}

void QELNoteDatabaseReader::setLastError(const QString& error)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_lastError = error;
}

std::unique_ptr<QELNoteDatabaseReader> QELNoteDatabaseReader::makeReader(BackupFileSource& source)
{
    const QString noteStore = source.GetPathToDataOfType(kNoteStore);
    const QString notesSqlite = source.GetPathToDataOfType(kNotesSqlite);
    if (!noteStore.isEmpty()) {
        auto reader = std::make_unique<QELIOS9NoteDatabaseReader>(noteStore, notesSqlite);
        reader->setDeviceBackup(&source);
        return reader;
    }
    const QString legacy =
        notesSqlite.isEmpty() ? source.GetPathToDataOfType(kNotesDb) : notesSqlite;
    if (legacy.isEmpty())
        return nullptr;
    return std::make_unique<QELLegacyNoteDatabaseReader>(legacy);
}
