// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QDateTime>
#include <QString>

#include "QELDeviceImageLibraryReader.h"

class QELSQLiteDatabase;

// Reads the photo library database of an iOS device (a private copy of
// /PhotoData/Photos.sqlite with its "-wal") into the image store: one image
// per photo or video, with where its thumbnail and the file a copy takes lie
// on the device, then the device's albums and the smart albums. Pixels are
// never read here. The asset table is ZGENERICASSET up to iOS 13 and ZASSET
// since iOS 14; columns are probed before use.
class QELDeviceImagePhotosDbReader : public QELDeviceImageLibraryReader {
public:
    // The reader of "<directoryContent>/Photos.sqlite" (whatever name is
    // given), or none when its store could not be set up.
    static std::unique_ptr<QELDeviceImagePhotosDbReader> create(
        const QString& directoryContent, const QString& databaseFileName = QString(),
        const QString& storeName = QStringLiteral("photos.db"));

    // Reads the library on the calling thread (never the GUI thread). False
    // only when the store could not be saved; a missing or unreadable
    // database leaves the store empty and answers true.
    bool readImageDatabase() override;

    // Seconds since 2001-01-01 UTC as a date.
    static QDateTime _getDateTime(double seconds);

    // The moment "recently added" counts back from; the current time when
    // never set.
    void setReferenceTime(const QDateTime& now) { m_referenceTime = now; }
    // Whether the last read opened a database.
    bool databaseWasOpened() const { return m_databaseOpened; }
    // Why the last read did not get through the whole library ("this
    // database is damaged: ..."); empty when it did.
    QString readError() const { return m_readError; }
    // The questions the last read asked of the device.
    qint64 deviceCallCount() const { return m_deviceCalls; }

private:
    QELDeviceImagePhotosDbReader(const QString& directoryContent, const QString& databaseFileName,
                                 const QString& storeName);
    struct Read;
    void readAssets(Read& read);
    void readAlbums(Read& read);
    void makeSmartAlbums(Read& read);
    void makeICloudAlbum(Read& read);

    QDateTime m_referenceTime;
    bool m_databaseOpened = false;
    QString m_readError;
    qint64 m_deviceCalls = 0;
};
