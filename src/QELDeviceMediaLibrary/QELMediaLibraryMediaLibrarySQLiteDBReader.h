// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELMediaLibraryReader.h"

// Reads MediaLibrary.sqlitedb (or its ".bak" copy), the media database of
// current devices, into the media store. The schema is probed first, and the
// item query is built from fixed text with the optional columns and joins the
// probes allow; every column is then read by name.
class QELMediaLibraryMediaLibrarySQLiteDBReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override;
    QString readerName() const override
    {
        return QStringLiteral("QELMediaLibraryMediaLibrarySQLiteDBReader");
    }

    // The database's file name inside the library folder.
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& fileName) { m_filePath = fileName; }

    // The most items a library may hold to be read; a larger one is refused
    // as too large (no real library comes near).
    static constexpr qint64 kMaxTracks = 1000000;
    void setMaxTracks(qint64 maxTracks) { m_maxTracks = maxTracks; }

    // The item query for a database, after the probes (exposed for tests).
    static QString itemQueryForDatabase(struct sqlite3* db, bool* groupsByArtwork = nullptr);

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;

private:
    // False, with the read's failure sent, when the playlist rows ended in
    // an error.
    bool readPlaylists(struct sqlite3* db);

    QString m_filePath;
    qint64 m_maxTracks = kMaxTracks;
};
