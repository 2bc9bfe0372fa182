// SPDX-License-Identifier: GPL-3.0-or-later
// The device's albums, the membership table of each generation, the smart
// albums and the iCloud album, and the store's album queries.
#include <gtest/gtest.h>

#include "LocalizedStrings.h"
#include "PhotosTestSupport.h"
#include "QELImageStore.h"
#include "QELSQLiteDatabase.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;
using PhotosDbFixture::Schema;
using PhotosTest::Library;

namespace {

Asset photo(qint64 pk, double sortToken = -1)
{
    Asset a;
    a.pk = pk;
    a.fileName = QStringLiteral("IMG_%1.JPG").arg(pk);
    a.created = PhotosDbFixture::daysAgo(100 - pk);
    a.sortToken = sortToken < 0 ? double(pk) : sortToken;
    return a;
}

QList<qint64> ids(const QList<ImageDetailPtr>& images)
{
    QList<qint64> out;
    for (const ImageDetailPtr& i : images)
        out << i->imageID.value_or(-1);
    return out;
}

QList<qint64> kinds(const QList<AlbumRecord>& albums)
{
    QList<qint64> out;
    for (const AlbumRecord& a : albums)
        out << a.kind.value_or(-1);
    return out;
}

std::optional<AlbumRecord> albumTitled(const QELDeviceImageLibraryReader& reader,
                                       const QString& title)
{
    QList<AlbumRecord> all = reader.getPhotoLibrary() + reader.getAlbumNames()
        + reader.getEventNames() + reader.getFacesNames() + reader.getStreamNames();
    for (const AlbumRecord& a : all)
        if (a.title == title)
            return a;
    return std::nullopt;
}

struct KindCase {
    QVariant zkind;
    QVariant title;
    std::optional<qint64> kind; // none: no album
    QString shownTitle;
};

TEST(PhotosAlbums, DeviceKindsMapToTheStoresKinds)
{
    const std::vector<KindCase> cases = {
        {2, "Trip", 6, "Trip"},
        {1550, "Synced", 6, "Synced"},
        {-1, "Minus", 6, "Minus"},
        {15, "Ann", 15, "Ann"},
        {1505, "Shared", 24, "Shared"},
        {1551, "Event", 12, "Event"},
        {1552, "Library", 1, L("ALLPHOTOS")},
        {1000, "Odd", std::nullopt, ""},
        {QVariant(), "Null kind", std::nullopt, ""},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.title.toString().toStdString());
        Library library;
        library.database(Schema{}, {photo(1)}, {AlbumRow{7, c.zkind, c.title, {1}}});
        ASSERT_TRUE(library.read());
        const std::vector<AlbumPtr>& albums = library.reader().store()->albums();
        std::vector<AlbumPtr> device;
        for (const AlbumPtr& a : albums)
            if (a->id == 7)
                device.push_back(a);
        if (!c.kind) {
            EXPECT_TRUE(device.empty());
            continue;
        }
        ASSERT_EQ(device.size(), 1u);
        EXPECT_EQ(device[0]->kind, c.kind);
        EXPECT_EQ(device[0]->title, c.shownTitle);
        EXPECT_EQ(device[0]->relationshipAssets.size(), 1u);
    }
}

TEST(PhotosAlbums, WithoutAKindColumnEveryAlbumIsAUserAlbum)
{
    Schema schema;
    schema.albumKind = false;
    Library library;
    library.database(schema, {photo(1)}, {AlbumRow{7, QVariant(), "Old", {1}}});
    ASSERT_TRUE(library.read());
    ASSERT_EQ(library.reader().getAlbumNames().size(), 1);
    EXPECT_EQ(library.reader().getAlbumNames().first().title, QStringLiteral("Old"));
}

TEST(PhotosAlbums, CameraAndStreamAlbumsTakeTheirOwnTitlesAndNoMembers)
{
    Library library;
    Asset streamed = photo(2);
    streamed.savedType = 2;
    library.database(Schema{}, {photo(1), streamed},
                     {AlbumRow{5, 1601, "whatever", {1}}, AlbumRow{6, 1602, QVariant(), {1}}});
    ASSERT_TRUE(library.read());
    QELDeviceImagePhotosDbReader& reader = library.reader();
    EXPECT_EQ(reader.cameraAlbumId(), 5);
    EXPECT_EQ(reader.photoStreamAlbumId(), 6);
    ASSERT_TRUE(albumTitled(reader, L("CAMERA")));
    ASSERT_TRUE(albumTitled(reader, QStringLiteral("Photo Stream")));
    for (const AlbumPtr& a : reader.store()->albums()) {
        if (a->id == 5 || a->id == 6) {
            EXPECT_TRUE(a->relationshipAssets.empty());
        }
    }
    // The camera and the stream list by the images' flags.
    EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(5)), (QList<qint64>{2, 1}));
    EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(6)), (QList<qint64>{2}));
    EXPECT_EQ(kinds(reader.getStreamNames()), (QList<qint64>{20}));
}

TEST(PhotosAlbums, AnEmptyStreamIsNotListed)
{
    Library library;
    library.database(Schema{}, {photo(1)},
                     {AlbumRow{6, 1602, "Stream", {}}, AlbumRow{8, 1505, "Shared", {1}}});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(kinds(library.reader().getStreamNames()), (QList<qint64>{24}));
}

TEST(PhotosAlbums, AnAlbumWhoseMembersMatchNoImageIsDropped)
{
    Library library;
    library.database(Schema{}, {photo(1)},
                     {AlbumRow{3, 2, "Ghosts", {99}}, AlbumRow{4, 1552, "Library", {98}}});
    ASSERT_TRUE(library.read());
    EXPECT_TRUE(library.reader().store()->albumsWithID(3).isEmpty());
    EXPECT_TRUE(library.reader().store()->albumsWithID(4).isEmpty());
}

struct MembershipCase {
    const char* name;
    Schema schema;
    bool members;
};

Schema variant(const std::function<void(Schema&)>& change)
{
    Schema s;
    change(s);
    return s;
}

TEST(PhotosAlbums, EachGenerationsMembershipTableIsFound)
{
    std::vector<MembershipCase> cases;
    for (const char* table :
         {"Z_16ASSETS", "Z_11ASSETS", "Z_15ASSETS", "Z_8ASSETS", "Z_6ASSETS", "Z_17ASSETS"})
        cases.push_back(
            {table, variant([table](Schema& s) { s.membershipTables = {QLatin1String(table)}; }),
             true});
    cases.push_back(
        {"Z_16 and Z_17", variant([](Schema& s) {
             s.membershipTables = {QStringLiteral("Z_16ASSETS"), QStringLiteral("Z_17ASSETS")};
         }),
         true});
    cases.push_back({"none", variant([](Schema& s) { s.membershipTables = {}; }), false});
    cases.push_back({"ZASSET with Z_26ASSETS", variant([](Schema& s) {
                         s.assetTable = QStringLiteral("ZASSET");
                         s.membershipTables = {};
                         s.entityMembership = true;
                     }),
                     true});
    for (const MembershipCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        library.database(c.schema, {photo(1), photo(2), photo(3)},
                         {AlbumRow{9, 2, "Trip", {3, 1}}});
        ASSERT_TRUE(library.read());
        const QList<AlbumPtr> albums = library.reader().store()->albumsWithID(9);
        ASSERT_EQ(albums.size(), 1); // without a membership table the album stays, empty
        EXPECT_EQ(ids(library.reader().getAssetsForAlbumWithId(9)),
                  c.members ? (QList<qint64>{3, 1}) : QList<qint64>{});
    }
}

struct LinkOrderCase {
    const char* name;
    const char* index; // run on the library before the read; none: the table as written
    QList<qint64> trip;
};

// The link table is read once when no index leads with the album column, and
// asked album by album when one does: either way each album takes the members
// its own question answers, in that order, once each, and odd link rows
// (no album, no asset, an asset the library lacks, an album given as text or
// as a fraction) join no album.
TEST(PhotosAlbums, MembersComeInTheOrderOfTheAlbumsOwnQuestion)
{
    const std::vector<LinkOrderCase> cases = {
        {"without an index: the table's order", nullptr, {3, 1, 2}},
        {"an index on the album and asset: by asset",
         "CREATE INDEX byAlbum ON Z_16ASSETS (Z_16ALBUMS, Z_23ASSETS)",
         {1, 2, 3}},
        {"an index on the asset only: the table's order",
         "CREATE INDEX byAsset ON Z_16ASSETS (Z_23ASSETS)",
         {3, 1, 2}},
    };
    for (const LinkOrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        library.database(Schema{}, {photo(1), photo(2), photo(3)},
                         {AlbumRow{9, 2, "Trip", {3, 1, 2, 1}}, AlbumRow{8, 2, "Home", {2}},
                          AlbumRow{7, 2, "Odd", {}}});
        {
            QString error;
            QELSQLiteDatabase db = QELSQLiteDatabase::openOrCreate(library.databasePath(), &error);
            ASSERT_TRUE(db.isOpen()) << error.toStdString();
            ASSERT_TRUE(db.execute(
                QStringLiteral("INSERT INTO Z_16ASSETS (Z_16ALBUMS, Z_23ASSETS) VALUES "
                               "(NULL, 1), (7, NULL), (7, 99), ('seven', 1), (7.5, 2), (8.0, 3)")));
            if (c.index) {
                ASSERT_TRUE(db.execute(QLatin1String(c.index)));
            }
        }
        ASSERT_TRUE(library.read());
        const auto members = [&](qint64 album) {
            QList<qint64> out;
            for (const AlbumPtr& a : library.reader().store()->albumsWithID(album))
                for (const ImageDetailPtr& i : a->relationshipAssets)
                    out << i->imageID.value_or(-1);
            return out;
        };
        EXPECT_EQ(members(9), c.trip);
        EXPECT_EQ(members(8), (QList<qint64>{2, 3}));
        EXPECT_TRUE(library.reader().store()->albumsWithID(7).isEmpty());
    }
}

TEST(PhotosAlbums, WithoutAnAssetTableAlbumsHaveNoMembersAndNoSmartAlbums)
{
    Schema schema;
    schema.assetTable.clear();
    Library library;
    library.database(schema, {photo(1)}, {AlbumRow{9, 2, "Trip", {1}}});
    ASSERT_TRUE(library.read());
    ASSERT_EQ(library.reader().store()->albums().size(), 1u);
    EXPECT_TRUE(library.reader().store()->albums()[0]->relationshipAssets.empty());
    const QList<PhotosTest::Progress> events = library.delegate().events();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_NE(events.first().text, L("READINGMAINPHOTOLIBRARY"));
    EXPECT_EQ(events.last().text, L("FINALIZING"));
}

TEST(PhotosAlbums, WithoutAnAlbumTableTheSmartAlbumsStillCome)
{
    Schema schema;
    schema.albumTable = false;
    Library library;
    Asset favourite = photo(1);
    favourite.favorite = 1;
    library.database(schema, {favourite});
    ASSERT_TRUE(library.read());
    // The library album, made as the library has none, and the smart album.
    EXPECT_EQ(kinds(library.reader().getPhotoLibrary()), (QList<qint64>{1, 501}));
}

TEST(PhotosAlbums, ProgressCountsEveryAlbumRowWithOneTotal)
{
    Library library;
    library.database(
        Schema{}, {photo(1)},
        {AlbumRow{1, 2, "A", {1}}, AlbumRow{2, 1000, "Dropped", {}}, AlbumRow{3, 2, "C", {99}}});
    ASSERT_TRUE(library.read());
    QList<qint64> counters;
    for (const PhotosTest::Progress& p : library.delegate().events())
        if (p.counter >= 0) {
            counters << p.counter;
            EXPECT_EQ(p.total, 3);
        }
    EXPECT_EQ(counters, (QList<qint64>{1, 2, 3}));
}

TEST(PhotosAlbums, SmartAlbumsFollowTheFlags)
{
    Library library;
    Asset trashedFavourite = photo(1);
    trashedFavourite.favorite = 1;
    trashedFavourite.trashed = PhotosDbFixture::daysAgo(1);
    Asset screenshot = photo(2);
    screenshot.kindSubtype = 10;
    Asset selfie = photo(3);
    selfie.captureDevice = 1;
    selfie.reverseLocation = 1;
    Asset panorama = photo(4);
    panorama.hdr = 6;
    Asset video = photo(5);
    video.fileName = QStringLiteral("IMG_0005.MOV");
    Asset recentTrashed = photo(6);
    recentTrashed.created = PhotosDbFixture::daysAgo(2);
    recentTrashed.trashed = PhotosDbFixture::daysAgo(1);
    recentTrashed.kindSubtype = 10;
    Asset recent = photo(7);
    recent.created = PhotosDbFixture::daysAgo(3);
    library.database(
        Schema{}, {trashedFavourite, screenshot, selfie, panorama, video, recentTrashed, recent});
    ASSERT_TRUE(library.read());
    QELDeviceImagePhotosDbReader& reader = library.reader();
    EXPECT_EQ(kinds(reader.getPhotoLibrary()),
              (QList<qint64>{1, 504, 501, 502, 506, 507, 503, 505}));
    const auto members = [&](qint64 id) {
        for (const AlbumPtr& a : reader.store()->albumsWithID(id)) {
            QList<qint64> out;
            for (const ImageDetailPtr& i : a->relationshipAssets)
                out << *i->imageID;
            return out;
        }
        return QList<qint64>{};
    };
    EXPECT_EQ(members(1000), (QList<qint64>{1}));    // favourite, trashed too
    EXPECT_EQ(members(1003), (QList<qint64>{1, 6})); // recently deleted
    EXPECT_EQ(members(1007), (QList<qint64>{2}));    // screenshots, not trashed
    EXPECT_EQ(members(1006), (QList<qint64>{3}));
    EXPECT_EQ(members(1001), (QList<qint64>{4}));
    EXPECT_EQ(members(1002), (QList<qint64>{5}));
    EXPECT_EQ(members(1004), (QList<qint64>{7}));
    EXPECT_EQ(reader.trashedAlbumId(), 1003);
    EXPECT_EQ(reader.recentAlbumId(), 1004);
    // The favourite album lists without the trashed image; Recently Deleted with it.
    EXPECT_TRUE(reader.getAssetsForAlbumWithId(1000).isEmpty());
    EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(1003)), (QList<qint64>{6, 1}));
}

TEST(PhotosAlbums, NoTrashedImageLeavesTheTrashIdAlone)
{
    Library library;
    library.database(Schema{}, {photo(1)});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.reader().trashedAlbumId(), -1);
    EXPECT_EQ(library.reader().recentAlbumId(), 0);
}

struct CloudCase {
    const char* name;
    Schema schema;
    QList<qint64> members;
};

TEST(PhotosAlbums, TheICloudAlbumInEachVariant)
{
    const auto cloud = [](const std::function<void(Schema&)>& change) {
        Schema s;
        s.cloudMasterTable = true;
        change(s);
        return s;
    };
    const std::vector<CloudCase> cases = {
        {"plain", cloud([](Schema&) {}), {2, 4}},
        {"no ZCLOUDMASTER table", variant([](Schema&) {}), {}},
        {"asset GUIDs", cloud([](Schema& s) { s.cloudAssetGuid = true; }), {2}},
        {"attribute masters", cloud([](Schema& s) { s.attributesCloudMaster = true; }), {4}},
        {"attribute keys apart", cloud([](Schema& s) { s.attributeKeysDiffer = true; }), {2, 4}},
        {"ZASSET", cloud([](Schema& s) { s.assetTable = QStringLiteral("ZASSET"); }), {2, 4}},
    };
    for (const CloudCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        Asset camera = photo(1);
        Asset placeholder = photo(2);
        placeholder.directory = QStringLiteral("PhotoData/CPLAssets");
        placeholder.cloudPlaceholderKind = 3;
        placeholder.originalFileName = QStringLiteral("A very long original name.HEIC");
        placeholder.cloudGuid = QStringLiteral("guid-2");
        Asset trashed = photo(3);
        trashed.directory = QStringLiteral("PhotoData/CPLAssets");
        trashed.trashed = PhotosDbFixture::daysAgo(1);
        Asset cloudOnly = photo(4);
        cloudOnly.directory = QStringLiteral("PhotoData/CPLAssets");
        cloudOnly.originalFileName = QStringLiteral("four.jpg");
        cloudOnly.cloudMaster = 1;
        library.database(c.schema, {camera, placeholder, trashed, cloudOnly});
        ASSERT_TRUE(library.read());
        const QList<AlbumPtr> albums = library.reader().store()->albumsWithID(std::nullopt);
        if (c.members.isEmpty()) {
            EXPECT_TRUE(albums.isEmpty());
            continue;
        }
        ASSERT_EQ(albums.size(), 1);
        EXPECT_EQ(albums[0]->kind, 500);
        QList<qint64> members;
        for (const ImageDetailPtr& i : albums[0]->relationshipAssets)
            members << *i->imageID;
        EXPECT_EQ(members, c.members);
        if (c.members.contains(2)) {
            EXPECT_EQ(library.image(2)->title, QStringLiteral("A very long original name.HEIC"));
            EXPECT_EQ(library.image(2)->isICloudPlaceholder, true);
        }
        EXPECT_EQ(ids(library.reader().getAssetsForAlbumWithId(std::nullopt)).size(),
                  c.members.size());
    }
}

TEST(AlbumQueries, TheLibraryAscendsWithTrashAndOtherAlbumsDescendWithout)
{
    Library library;
    Asset trashed = photo(2);
    trashed.trashed = PhotosDbFixture::daysAgo(1);
    library.database(Schema{}, {photo(1, 5), trashed, photo(3, 1)},
                     {AlbumRow{10, 1552, "Library", {1, 2, 3}}, AlbumRow{11, 2, "Trip", {1, 2, 3}},
                      AlbumRow{12, 2, "Other", {3}}});
    ASSERT_TRUE(library.read());
    QELDeviceImagePhotosDbReader& reader = library.reader();
    EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(10)), (QList<qint64>{3, 2, 1}));
    EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(11)), (QList<qint64>{1, 3}));
    EXPECT_EQ(library.image(3)->singleInstanceAlbumName(), QStringLiteral("Trip"));
    reader.getAssetsForAlbumWithId(12);
    EXPECT_EQ(library.image(3)->singleInstanceAlbumName(), QStringLiteral("Other"));
    EXPECT_EQ(reader.getAlbumKindFromTitle(QStringLiteral("Trip")), 6);
    EXPECT_EQ(reader.getAlbumKindFromTitle(QStringLiteral("None")), 0);
    EXPECT_EQ(reader.getAlbumNames().first().title, QStringLiteral("Other")); // by title
    EXPECT_FALSE(reader.isLibraryEmpty());
}

TEST(AlbumQueries, ImagesOfAnotherFormatAreInNoList)
{
    Library library;
    library.database(Schema{}, {photo(1), photo(2)}, {AlbumRow{11, 2, "Trip", {1, 2}}});
    ASSERT_TRUE(library.read());
    library.image(2)->imageFormat = 0;
    EXPECT_EQ(ids(library.reader().getAssetsForAlbumWithId(11)), (QList<qint64>{1}));
    EXPECT_EQ(ids(library.reader()._getAllAssets()), (QList<qint64>{1}));
}

TEST(AlbumQueries, AnArtworkIdAnswersTheTallestOfTheFirstListWithImages)
{
    Library library;
    library.database(Schema{}, {});
    ASSERT_TRUE(library.read());
    QELImageStore& store = *library.reader().store();
    auto empty = std::make_shared<ImageList>();
    empty->photoID = 77;
    auto full = std::make_shared<ImageList>();
    full->photoID = 77;
    for (int h : {60, 200, 120}) {
        auto d = std::make_shared<ImageDetail>();
        d->height = h;
        full->imageDetails.push_back(d);
    }
    store.addImageList(empty);
    store.addImageList(full);
    ASSERT_TRUE(library.reader().getImageDetailForId(77));
    EXPECT_EQ(library.reader().getImageDetailForId(77)->height, 200);
    EXPECT_FALSE(library.reader().getImageDetailForId(78));
    EXPECT_FALSE(library.reader().getImageDetailForId(std::nullopt));
}

} // namespace

// Libraries since iOS 8 have no album of the kinds 1552/1601: photos that are
// in no album of their own are still reachable through the library album,
// while hidden photos stand only in "Hidden" and trashed ones only in the
// trash; user albums take their members through the link table that the
// entity numbers name, in both asset generations, with rows of the "-wal".
struct GenerationCase {
    const char* name;
    QString assetTable;
    int albumEntity;
    int assetEntity;
};

TEST(PhotosAlbums, EveryShownPhotoIsInTheLibraryAndHiddenOnesOnlyInHidden)
{
    const std::vector<GenerationCase> cases = {
        {"iOS 13, ZGENERICASSET, Z_26ASSETS with Z_34ASSETS", QStringLiteral("ZGENERICASSET"), 26,
         34},
        {"iOS 12, ZGENERICASSET, Z_34ASSETS with Z_21ASSETS", QStringLiteral("ZGENERICASSET"), 34,
         21},
        {"iOS 16, ZASSET, Z_28ASSETS with Z_3ASSETS", QStringLiteral("ZASSET"), 28, 3},
    };
    for (const GenerationCase& c : cases) {
        SCOPED_TRACE(c.name);
        Schema schema;
        schema.assetTable = c.assetTable;
        schema.membershipTables = {};
        schema.entityMembership = true;
        schema.genericEntities = true;
        schema.albumEntity = c.albumEntity;
        schema.assetEntity = c.assetEntity;
        schema.assetsInWal = 1;
        schema.albumsInWal = 1;
        Asset hidden = photo(3);
        hidden.hidden = 1;
        Asset trashed = photo(4);
        trashed.trashed = PhotosDbFixture::daysAgo(2);
        Asset favouriteHidden = photo(5);
        favouriteHidden.hidden = 1;
        favouriteHidden.favorite = 1;
        // 1 and 6 are in no album; 6 lives only in the "-wal".
        Library library;
        library.database(
            schema, {photo(1), photo(2), hidden, trashed, favouriteHidden, photo(6)},
            {AlbumRow{7, 2, "Family", {2, 3}}, AlbumRow{8, 2, "Summer at the Lake", {6, 2}}});
        ASSERT_TRUE(library.read());
        QELDeviceImagePhotosDbReader& reader = library.reader();
        const std::optional<AlbumRecord> all = albumTitled(reader, L("ALLPHOTOS"));
        ASSERT_TRUE(all.has_value());
        EXPECT_EQ(all->kind, 1);
        EXPECT_EQ(reader.getPhotoLibrary().first().title, L("ALLPHOTOS"));
        EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(all->id)), (QList<qint64>{1, 2, 6}));
        // User albums keep their members, hidden ones left out.
        EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(7)), (QList<qint64>{2}));
        EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(8)), (QList<qint64>{6, 2}));
        const std::optional<AlbumRecord> hiddenAlbum =
            albumTitled(reader, QStringLiteral("Hidden"));
        ASSERT_TRUE(hiddenAlbum.has_value());
        EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(hiddenAlbum->id)), (QList<qint64>{5, 3}));
        EXPECT_FALSE(albumTitled(reader, QStringLiteral("Favorite")).has_value());
        EXPECT_EQ(ids(reader.getAssetsForAlbumWithId(reader.trashedAlbumId())), (QList<qint64>{4}));
    }
}

TEST(PhotosAlbums, AnOldLibraryAlbumKeepsItsPlaceAndNoSecondIsMade)
{
    Library library;
    library.database(Schema{}, {photo(1), photo(2)},
                     {AlbumRow{10, 1552, "Library", {1}}, AlbumRow{11, 2, "Trip", {2}}});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(kinds(library.reader().getPhotoLibrary()), (QList<qint64>{1}));
    EXPECT_EQ(library.reader().getPhotoLibrary().first().id, 10);
}

TEST(PhotosAlbums, AnEmptyLibraryHasNoLibraryAlbum)
{
    Library library;
    library.database(Schema{}, {}, {});
    ASSERT_TRUE(library.read());
    EXPECT_TRUE(library.reader().getPhotoLibrary().isEmpty());
}
