// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELImageStore.h"

#include <QFile>

#include "QELSQLiteStatement.h"
#include "QELSQLiteTransaction.h"
#include "ThreadCheck.h"

namespace {

const char* const kSchema[] = {
    "CREATE TABLE ImageDetail (row INTEGER PRIMARY KEY, imageID INTEGER, title TEXT, "
    "fileName TEXT, fullImagePath TEXT, fullImageAdjustedPath TEXT, thumbnailPath TEXT, "
    "thumbnailOffset INTEGER, dataSize INTEGER, imageFormat INTEGER, width INTEGER, "
    "height INTEGER, horizontalPadding INTEGER, verticalPadding INTEGER, originalWidth INTEGER, "
    "originalHeight INTEGER, orientation INTEGER, mhifReference INTEGER, dateCreated REAL, "
    "dateTrashed REAL, sortToken REAL, isVideo INTEGER, isFavorite INTEGER, isPanoramic "
    "INTEGER, isSelfie INTEGER, isScreenshot INTEGER, isTrashed INTEGER, isRecentlyAdded "
    "INTEGER, isFromStream INTEGER, isFromCamera INTEGER, isICloudPlaceholder INTEGER)",
    "CREATE TABLE EmbeddedThumbnail (parentImage INTEGER, offset INTEGER, length INTEGER, "
    "width INTEGER, height INTEGER)",
    "CREATE TABLE ImageList (row INTEGER PRIMARY KEY, photoID INTEGER, songID INTEGER, "
    "rating INTEGER, date REAL, sourceByteSize INTEGER)",
    "CREATE TABLE ImageListDetail (list INTEGER, image INTEGER)",
    "CREATE TABLE FileDetail (correlationID INTEGER, bytesSize INTEGER)",
    "CREATE TABLE Album (row INTEGER PRIMARY KEY, title TEXT, kind INTEGER, id INTEGER)",
    "CREATE TABLE AlbumAsset (album INTEGER, image INTEGER)",
};

// Binds a record's field to ?index: a missing value is NULL, a flag 0 or 1, a
// date its seconds since 1970.
void bind(QELSQLiteStatement& s, int index, const std::optional<qint64>& v)
{
    v ? s.bindInt64(index, *v) : s.bindNull(index);
}
void bind(QELSQLiteStatement& s, int index, const std::optional<double>& v)
{
    v ? s.bindDouble(index, *v) : s.bindNull(index);
}
void bind(QELSQLiteStatement& s, int index, const std::optional<bool>& v)
{
    v ? s.bindInt64(index, qint64(*v)) : s.bindNull(index);
}
void bind(QELSQLiteStatement& s, int index, const QDateTime& v)
{
    v.isValid() ? s.bindDouble(index, double(v.toMSecsSinceEpoch()) / 1000.0) : s.bindNull(index);
}
void bind(QELSQLiteStatement& s, int index, qint64 v) { s.bindInt64(index, v); }
void bind(QELSQLiteStatement& s, int index, const QString& v)
{
    s.bindText(index, v);
} // null: NULL

// Binds `values` to ?1, ?2, ... in order.
template <typename... Values> void bindRow(QELSQLiteStatement& s, const Values&... values)
{
    int index = 0;
    (bind(s, ++index, values), ...);
}

} // namespace

std::shared_ptr<QELImageStore> QELImageStore::open(const QString& filePath)
{
    assertNotOnGuiThread();
    if (!filePath.isEmpty() && QFile::exists(filePath))
        QFile::remove(filePath); // a failure shows when the store is set up
    std::shared_ptr<QELImageStore> store(new QELImageStore());
    if (!store->openStore(filePath, WhenFileFails::RecreateFileThenUseMemory))
        return nullptr;
    return store;
}

QELImageStore::~QELImageStore() { close(); }

QStringList QELImageStore::schemaStatements() const
{
    QStringList statements;
    for (const char* statement : kSchema)
        statements.append(QString::fromLatin1(statement));
    return statements;
}

void QELImageStore::addImage(const ImageDetailPtr& image)
{
    m_images.push_back(image);
    if (image->imageID)
        m_imagesByID[*image->imageID].append(image);
}

void QELImageStore::addImageList(const ImageListPtr& list)
{
    m_lists.push_back(list);
    if (list->photoID)
        m_listsByPhotoID[*list->photoID].append(list);
}

void QELImageStore::addFileDetail(const FileDetailPtr& file) { m_files.push_back(file); }

void QELImageStore::addAlbum(const AlbumPtr& album)
{
    m_albums.push_back(album);
    if (album->id)
        m_albumsByID[*album->id].append(album);
    else
        m_albumsWithoutID.append(album);
}

QList<ImageDetailPtr> QELImageStore::imagesWithID(qint64 imageID) const
{
    return m_imagesByID.value(imageID);
}

QList<ImageListPtr> QELImageStore::listsWithPhotoID(qint64 photoID) const
{
    return m_listsByPhotoID.value(photoID);
}

QList<AlbumPtr> QELImageStore::albumsWithID(std::optional<qint64> id) const
{
    return id ? m_albumsByID.value(*id) : m_albumsWithoutID;
}

bool QELImageStore::save(QString* error)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(lock());
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!handle())
        return fail(QStringLiteral("the store is closed"));
    QELSQLiteTransaction transaction(handle());
    if (!transaction.isActive())
        return fail(transaction.error());
    QString reason;
    for (const char* table : {"AlbumAsset", "Album", "FileDetail", "ImageListDetail", "ImageList",
                              "EmbeddedThumbnail", "ImageDetail"}) {
        if (!run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, &reason))
            return fail(reason);
    }
    // One prepared statement per table, its values bound in place.
    auto runAll = [&](const QString& sql, const auto& rows, const auto& bindItem) {
        QELSQLiteStatement s = prepare(sql);
        if (!s.isPrepared())
            return false;
        qint64 row = 0;
        for (const auto& item : rows) {
            ++row;
            bindItem(s, row, item);
            if (!s.execute())
                return false;
        }
        return true;
    };
    QHash<const ImageDetail*, qint64> rowOfImage;
    rowOfImage.reserve(qsizetype(m_images.size()));
    bool ok = runAll(
        QStringLiteral("INSERT INTO ImageDetail VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,"
                       "?14,?15,?16,?17,?18,?19,?20,?21,?22,?23,?24,?25,?26,?27,?28,?29,?30,?31)"),
        m_images, [&](QELSQLiteStatement& s, qint64 row, const ImageDetailPtr& i) {
            rowOfImage.insert(i.get(), row);
            bindRow(s, row, i->imageID, i->title, i->fileName, i->fullImagePath,
                    i->fullImageAdjustedPath, i->thumbnailPath, i->thumbnailOffset, i->dataSize,
                    i->imageFormat, i->width, i->height, i->horizontalPadding, i->verticalPadding,
                    i->originalWidth, i->originalHeight, i->orientation, i->mhifReference,
                    i->dateCreated, i->dateTrashed, i->sortToken, i->isVideo, i->isFavorite,
                    i->isPanoramic, i->isSelfie, i->isScreenshot, i->isTrashed, i->isRecentlyAdded,
                    i->isFromStream, i->isFromCamera, i->isICloudPlaceholder);
        });
    if (ok) {
        std::vector<ImageDetailPtr> withThumbnail;
        for (const ImageDetailPtr& i : m_images)
            if (i->embeddedThumbnail)
                withThumbnail.push_back(i);
        ok =
            runAll(QStringLiteral("INSERT INTO EmbeddedThumbnail VALUES (?1,?2,?3,?4,?5)"),
                   withThumbnail, [&](QELSQLiteStatement& s, qint64, const ImageDetailPtr& i) {
                       const EmbeddedThumbnail& t = *i->embeddedThumbnail;
                       bindRow(s, rowOfImage.value(i.get()), t.offset, t.length, t.width, t.height);
                   });
    }
    std::vector<std::pair<qint64, qint64>> links;
    if (ok) {
        ok = runAll(QStringLiteral("INSERT INTO ImageList VALUES (?1,?2,?3,?4,?5,?6)"), m_lists,
                    [&](QELSQLiteStatement& s, qint64 row, const ImageListPtr& l) {
                        for (const ImageDetailPtr& i : l->imageDetails)
                            links.emplace_back(row, rowOfImage.value(i.get()));
                        bindRow(s, row, l->photoID, l->songID, l->rating, l->date,
                                l->sourceByteSize);
                    });
    }
    auto linkRow = [](QELSQLiteStatement& s, qint64, const std::pair<qint64, qint64>& link) {
        bindRow(s, link.first, link.second);
    };
    if (ok)
        ok = runAll(QStringLiteral("INSERT INTO ImageListDetail VALUES (?1,?2)"), links, linkRow);
    if (ok)
        ok = runAll(QStringLiteral("INSERT INTO FileDetail VALUES (?1,?2)"), m_files,
                    [](QELSQLiteStatement& s, qint64, const FileDetailPtr& f) {
                        bindRow(s, f->correlationID, f->bytesSize);
                    });
    links.clear();
    if (ok)
        ok = runAll(QStringLiteral("INSERT INTO Album VALUES (?1,?2,?3,?4)"), m_albums,
                    [&](QELSQLiteStatement& s, qint64 row, const AlbumPtr& a) {
                        for (const ImageDetailPtr& i : a->relationshipAssets)
                            links.emplace_back(row, rowOfImage.value(i.get()));
                        bindRow(s, row, a->title, a->kind, a->id);
                    });
    if (ok)
        ok = runAll(QStringLiteral("INSERT INTO AlbumAsset VALUES (?1,?2)"), links, linkRow);
    if (!ok)
        return fail(lastError());
    if (!transaction.commit())
        return fail(transaction.error());
    return true;
}
