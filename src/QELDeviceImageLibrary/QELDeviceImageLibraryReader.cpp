// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImageLibraryReader.h"

QELDeviceImageLibraryReader::QELDeviceImageLibraryReader(const QString& directoryContent,
                                                         const QString& databaseFileName, const QString& storeName)
    : m_directoryContent(directoryContent)
    , m_databaseFileName(databaseFileName)
    , m_storeName(storeName)
{
}

QELDeviceImageLibraryReader::~QELDeviceImageLibraryReader() = default;

void QELDeviceImageLibraryReader::setLibraryDirectoryOnDevice(const QString& folder)
{
    m_libraryDirectoryOnDevice = folder;
}

void QELDeviceImageLibraryReader::close() {}
