// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELMediaLibraryReader.h"

class QELBinaryFileHandle;

// Reads the device's binary iTunesDB (tracks and playlists) into the media
// store. Every length and count the file declares is checked against what the
// file still holds; a chunk that does not fit ends the read as a failure.
class QELMediaLibraryITunesDBReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override;
    QString readerName() const override { return QStringLiteral("QELMediaLibraryITunesDBReader"); }

    // The file's name inside the library folder: "iTunesDB" unless set (the
    // conversion of an iTunesCDB is read under its own name).
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString& fileName) { m_filePath = fileName; }

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;

private:
    bool _readMHLTFromHandleWithTotalSize(QELBinaryFileHandle& handle, quint32 totalSize);
    bool _readMHLPFromHandle(QELBinaryFileHandle& handle);
    static bool hasSmartRulesAhead(QELBinaryFileHandle& handle);
    bool fail(const QString& text);

    QString m_filePath = QStringLiteral("iTunesDB");
    QHash<quint32, TrackDetailPtr> m_tracksBySongID;
};
