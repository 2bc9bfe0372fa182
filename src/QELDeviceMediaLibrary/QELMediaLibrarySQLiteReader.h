// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELMediaLibraryReader.h"

#include <QString>

// Reads the Library.itdb set (Library.itdb, Locations.itdb and, when present,
// Dynamic.itdb) of the devices between the binary iTunesDB and
// MediaLibrary.sqlitedb into the media store. After a successful read the local
// copy of Library.itdb is removed, so a later reader choice in the same folder
// no longer finds it.
class QELMediaLibrarySQLiteReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override;
    QString readerName() const override { return QStringLiteral("QELMediaLibrarySQLiteReader"); }

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;
};
