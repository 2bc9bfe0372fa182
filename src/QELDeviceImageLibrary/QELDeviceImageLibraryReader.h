// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <atomic>

#include "QELDeviceImageLibraryEventProtocol.h"

// The abstract reader of a device's image (artwork) database copied into a
// local folder. The application uses only these operations; the readers of
// the database kinds derive from it.
class QELDeviceImageLibraryReader {
public:
    // `directoryContent`: the folder holding the copied database
    // `databaseFileName`; `storeName`: the private store to build there.
    // Reads nothing yet.
    QELDeviceImageLibraryReader(const QString& directoryContent, const QString& databaseFileName,
                                const QString& storeName);
    virtual ~QELDeviceImageLibraryReader();
    QELDeviceImageLibraryReader(const QELDeviceImageLibraryReader&) = delete;
    QELDeviceImageLibraryReader& operator=(const QELDeviceImageLibraryReader&) = delete;

    // Not owned; receives the progress and read-complete events.
    void setDelegate(QELDeviceImageLibraryEventProtocol* delegate) { m_delegate.store(delegate); }
    QELDeviceImageLibraryEventProtocol* delegate() const { return m_delegate.load(); }

    // The device folder of the database's thumbnail files (ArtworkDB only).
    virtual void setLibraryDirectoryOnDevice(const QString& folder);
    QString libraryDirectoryOnDevice() const { return m_libraryDirectoryOnDevice; }

    // Reads the database on the calling thread. Whatever the outcome, ends by
    // sending the read-complete event to the delegate when one is set.
    virtual bool readImageDatabase() = 0;
    // Closes the reader's store (the device went).
    virtual void close();

    QString directoryContent() const { return m_directoryContent; }
    QString databaseFileName() const { return m_databaseFileName; }
    QString storeName() const { return m_storeName; }

private:
    QString m_directoryContent;
    QString m_databaseFileName;
    QString m_storeName;
    QString m_libraryDirectoryOnDevice;
    std::atomic<QELDeviceImageLibraryEventProtocol*> m_delegate{nullptr};
};
