// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include "Log.h"
#include "QELImageStore.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

const QString kArtworkData = QStringLiteral("/iTunes_Control/iTunes/MediaLibrary-artwork.data");

} // namespace

QELDeviceImageMediaLibraryArtworkDBReader::QELDeviceImageMediaLibraryArtworkDBReader(
    const QString& directoryContent, const QString& databaseFileName, const QString& storeName)
    : QELDeviceImageLibraryReader(directoryContent, databaseFileName, storeName)
{
}

std::unique_ptr<QELDeviceImageMediaLibraryArtworkDBReader>
QELDeviceImageMediaLibraryArtworkDBReader::create(const QString& directoryContent,
                                                  const QString& databaseFileName,
                                                  const QString& storeName)
{
    std::unique_ptr<QELDeviceImageMediaLibraryArtworkDBReader> reader(
        new QELDeviceImageMediaLibraryArtworkDBReader(directoryContent, databaseFileName,
                                                      storeName));
    if (!reader->store())
        return nullptr;
    return reader;
}

QString QELDeviceImageMediaLibraryArtworkDBReader::_hashString(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper());
}

QString QELDeviceImageMediaLibraryArtworkDBReader::_removeLeadingZeroCharacterIn(
    const QString& text)
{
    return text.startsWith(QLatin1Char('0')) ? text.mid(1) : text;
}

QString QELDeviceImageMediaLibraryArtworkDBReader::artworkPathForCacheID(const QString& cacheID,
                                                                         qint64 formatID)
{
    const QString hash = _hashString(cacheID).toLower();
    return QStringLiteral("/iTunes_Control/iTunes/Artwork/%1/%2_%3.jpg")
        .arg(_removeLeadingZeroCharacterIn(hash.left(2)), hash.mid(2, 16))
        .arg(formatID);
}

bool QELDeviceImageMediaLibraryArtworkDBReader::readImageDatabase()
{
    assertNotOnGuiThread();
    m_newerSchema = false;
    m_failureReason.clear();
    bool result = false;
    const std::shared_ptr<QELImageStore> store = this->store();
    // The name the creator gives: the ".bak" copy only when it is the one
    // the device has.
    const QString path = QDir(directoryContent()).filePath(databaseFileName());
    if (!store) {
        m_failureReason = QStringLiteral("the image store could not be set up");
    } else if (directoryContent().isEmpty() || !QFileInfo(path).isFile()) {
        m_failureReason = QStringLiteral("%1 does not exist").arg(path);
    } else {
        QString error;
        // Opened for this read only: no later query needs the connection.
        QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
        if (!db.isOpen()) {
            m_failureReason = QStringLiteral("%1 does not open: %2").arg(path, error);
        } else if (QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                       db.handle(), QStringLiteral("item_artwork"),
                       QStringLiteral("best_artwork_token"))
                   || QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                       db.handle(), QStringLiteral("artwork_token"),
                       QStringLiteral("entity_pid"))) {
            m_newerSchema = true;
            m_failureReason = QStringLiteral("the database has the newer artwork schema, whose "
                                             "artwork the tracks name themselves");
        } else {
            result = true;
            QELSQLiteStatement rows(
                db.handle(),
                QStringLiteral("SELECT ai.cache_id, ie.item_pid, ai.length, ai.offset, "
                               "ai.format_id FROM artwork_info ai INNER JOIN item_extra ie ON "
                               "ie.artwork_cache_id = ai.cache_id WHERE format_id != 286261520 "
                               "ORDER BY ai.length DESC"));
            if (!rows.isPrepared()) {
                qCInfo(lcOrvane).noquote()
                    << "The media library lists no artwork:" << rows.errorMessage();
            } else {
                const int cacheID = rows.columnIndex(QStringLiteral("cache_id"));
                const int itemPID = rows.columnIndex(QStringLiteral("item_pid"));
                const int length = rows.columnIndex(QStringLiteral("length"));
                const int offset = rows.columnIndex(QStringLiteral("offset"));
                const int formatID = rows.columnIndex(QStringLiteral("format_id"));
                const bool complete = rows.forEachRow([&](const QELSQLiteStatement& row) {
                    const qint64 pid = row.int64(itemPID);
                    const qint64 format = row.int64(formatID);
                    auto detail = std::make_shared<ImageDetail>();
                    detail->thumbnailPath = kArtworkData;
                    detail->mhifReference = pid;
                    // Offsets are kept whole: the packed file of a large
                    // library grows past what 32 bits hold.
                    detail->dataSize = row.int64(length);
                    detail->thumbnailOffset = row.int64(offset);
                    detail->fullImagePath = artworkPathForCacheID(row.storedText(cacheID), format);
                    auto list = std::make_shared<ImageList>();
                    list->photoID = pid;
                    list->imageDetails.push_back(detail);
                    store->addImage(detail);
                    store->addImageList(list);
                    return true;
                });
                if (!complete)
                    qCWarning(lcOrvane).noquote() << "The artwork rows of" << path
                                                  << "were not all read:" << rows.errorMessage();
            }
        }
    }
    if (store) {
        QString error;
        if (!store->save(&error)) {
            qCWarning(lcOrvane) << "Error comitting";
            qCWarning(lcOrvane).noquote() << error;
        }
    }
    if (!result)
        qCInfo(lcOrvane).noquote() << "No artwork from the media library:" << m_failureReason;
    if (QELDeviceImageLibraryEventProtocol* d = delegate())
        d->OnDeviceImageLibraryDatabaseReadComplete(
            QELDeviceImageLibraryDatabaseReadCompleteArguments(result, QString()));
    return result;
}
