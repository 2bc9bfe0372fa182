// SPDX-License-Identifier: GPL-3.0-or-later
// The older photo database of iPods ("/Photos/Photo Database"): its photos
// and albums as the photos view lists them.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "ArtworkTestSupport.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELImageStore.h"

using ArtworkTest::Device;

namespace {

class PhotoDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device.install(ArtworkTest::photoSample(), QStringLiteral("Photos"),
                         QStringLiteral("Photo Database"));
        m_reader = QELDeviceImagePhotosBinaryReader::create(m_device.copies());
        ASSERT_NE(m_reader, nullptr);
        m_reader->setDeviceInterface(m_device.interface());
        m_reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
        m_reader->setDelegate(&m_delegate);
        ASSERT_TRUE(m_reader->readImageDatabase()) << m_reader->failureReason().toStdString();
    }
    static QStringList titles(const QList<AlbumRecord>& albums)
    {
        QStringList list;
        for (const AlbumRecord& album : albums)
            list << album.title;
        return list;
    }
    QList<qint64> imageIDs(qint64 album) const
    {
        QList<qint64> ids;
        for (const ImageDetailPtr& image : m_reader->getAssetsForAlbumWithId(album))
            ids << image->imageID.value_or(-1);
        return ids;
    }

    Device m_device;
    ArtworkTest::RecordingDelegate m_delegate;
    std::unique_ptr<QELDeviceImagePhotosBinaryReader> m_reader;
};

TEST_F(PhotoDatabase, AlbumsTakeTheirKindFromTheirTypeAndIdsFrom1000)
{
    struct Case {
        qint64 id;
        QString title;
        qint64 kind;
        size_t members; // every stored size of each member photo
    };
    const Case cases[] = {
        {1000, L("ALLPHOTOS"), 1, 8},
        {1001, QStringLiteral("Trip"), 12, 4},
        {1002, QStringLiteral("Ann Lee"), 15, 2},
        // Type 2 is a user album; an extra data object stands among its items.
        {1003, QStringLiteral("Holiday"), 6, 4},
        // Its one item matches no photo.
        {1004, QStringLiteral("Nothing here"), 6, 0},
    };
    const std::vector<AlbumPtr>& albums = m_reader->store()->albums();
    ASSERT_EQ(albums.size(), std::size(cases));
    for (size_t i = 0; i < albums.size(); ++i) {
        SCOPED_TRACE(cases[i].title.toStdString());
        EXPECT_EQ(albums[i]->id, cases[i].id);
        EXPECT_EQ(albums[i]->title, cases[i].title);
        EXPECT_EQ(albums[i]->kind, cases[i].kind);
        EXPECT_EQ(albums[i]->relationshipAssets.size(), cases[i].members);
    }
}

TEST_F(PhotoDatabase, TheViewsListsShowThePhotosOfEachAlbum)
{
    EXPECT_EQ(titles(m_reader->getPhotoLibrary()), QStringList{L("ALLPHOTOS")});
    EXPECT_EQ(titles(m_reader->getEventNames()), QStringList{QStringLiteral("Trip")});
    EXPECT_EQ(titles(m_reader->getFacesNames()), QStringList{QStringLiteral("Ann Lee")});
    EXPECT_EQ(titles(m_reader->getAlbumNames()),
              (QStringList{QStringLiteral("Holiday"), QStringLiteral("Nothing here")}));
    // The library lists every photo once, by its thumbnail size, oldest first.
    EXPECT_EQ(imageIDs(1000), (QList<qint64>{1, 2, 3, 4}));
    // Other albums: their photos' thumbnails, newest first.
    EXPECT_EQ(imageIDs(1001), (QList<qint64>{2, 1}));
    EXPECT_EQ(imageIDs(1003), (QList<qint64>{4, 2}));
    EXPECT_EQ(imageIDs(1004), QList<qint64>{});
    EXPECT_FALSE(m_reader->isLibraryEmpty());
}

TEST_F(PhotoDatabase, ReportsEachAlbumByTitleAndKeepsItsOwnStore)
{
    QList<ArtworkTest::Progress> albums;
    for (const ArtworkTest::Progress& p : m_delegate.progress())
        if (p.text != L("READINGMAINPHOTOLIBRARY")
            && p.text != QStringLiteral("Reading file list..."))
            albums << p;
    ASSERT_EQ(albums.size(), 5);
    EXPECT_EQ(albums[0].text, L("ANALYZINGALBUM").arg(QStringLiteral("Photo Library")));
    EXPECT_EQ(albums[3].text, L("ANALYZINGALBUM").arg(QStringLiteral("Holiday")));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(albums[i].counter, i);
        EXPECT_EQ(albums[i].total, 5);
    }
    EXPECT_EQ(m_delegate.completions(), QList<bool>{true});
    EXPECT_TRUE(QFileInfo(Locations::temporaryFolder() + QStringLiteral("/Photos.DB")).isFile());
}

} // namespace
