// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QHash>
#include <QList>
#include <QString>

#include "Album.h"
#include "FileDetail.h"
#include "ImageDetail.h"
#include "ImageList.h"
#include "QELSQLiteStore.h"

// The image store of one read: images, image lists, file details and albums
// held in memory as shared records, indexed by imageID, photoID and album id,
// and written to the store file by save(), one table per entity.
//
// A reader fills the store on its thread without locking; once the read has
// ended the store is not changed again, so the queries run from any thread
// without a lock.
class QELImageStore : public QELSQLiteStore {
public:
    // The store at `filePath` (an existing file there is removed first, so
    // each read starts empty), with journal_mode OFF; in memory when SQLite
    // cannot keep a store there. None when neither could be set up.
    static std::shared_ptr<QELImageStore> open(const QString& filePath);
    ~QELImageStore() override;

    // Adds a filled record; an image is indexed by the imageID it has now.
    void addImage(const ImageDetailPtr& image);
    void addImageList(const ImageListPtr& list);
    void addFileDetail(const FileDetailPtr& file);
    void addAlbum(const AlbumPtr& album);

    // Every record, in the order of addition.
    const std::vector<ImageDetailPtr>& images() const { return m_images; }
    const std::vector<ImageListPtr>& imageLists() const { return m_lists; }
    const std::vector<FileDetailPtr>& fileDetails() const { return m_files; }
    const std::vector<AlbumPtr>& albums() const { return m_albums; }

    // Images with this imageID, in the order of addition.
    QList<ImageDetailPtr> imagesWithID(qint64 imageID) const;
    // Lists with this photoID, in the order of addition.
    QList<ImageListPtr> listsWithPhotoID(qint64 photoID) const;
    // Albums with this id; with none, the albums that have no id.
    QList<AlbumPtr> albumsWithID(std::optional<qint64> id) const;

    // Writes every record to the store's database. False (with SQLite's
    // reason) when that failed.
    bool save(QString* error = nullptr);

protected:
    QStringList schemaStatements() const override;

private:
    QELImageStore() = default;
    std::vector<ImageDetailPtr> m_images;
    std::vector<ImageListPtr> m_lists;
    std::vector<FileDetailPtr> m_files;
    std::vector<AlbumPtr> m_albums;
    QHash<qint64, QList<ImageDetailPtr>> m_imagesByID;
    QHash<qint64, QList<ImageListPtr>> m_listsByPhotoID;
    QHash<qint64, QList<AlbumPtr>> m_albumsByID;
    QList<AlbumPtr> m_albumsWithoutID;
};
