// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImagePhotosDbReader.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "PhotoVideoRule.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

const QString kAttributes = QStringLiteral("ZADDITIONALASSETATTRIBUTES");

// Asks the device about each folder once: whether a file exists is answered
// from the folder's listing, so a library of 50,000 photos in a few DCIM
// folders costs a few listings, not 50,000 questions.
class DeviceFolders {
public:
    DeviceFolders(QELDeviceInterface* device, qint64* calls)
        : m_device(device)
        , m_calls(calls)
    {
    }

    // The names of a folder's entries in the device's order; none when it is
    // not a readable folder.
    const std::optional<QStringList>& listing(const QString& folder)
    {
        const QString key = normalized(folder);
        auto it = m_listings.find(key);
        if (it == m_listings.end()) {
            Listing entry;
            if (m_device) {
                ++*m_calls;
                entry.names =
                    m_device->directoryContents(key.isEmpty() ? QStringLiteral("/") : key);
                if (entry.names)
                    entry.set = QSet<QString>(entry.names->cbegin(), entry.names->cend());
            }
            it = m_listings.insert(key, entry);
        }
        return it->names;
    }
    bool folderExists(const QString& folder) { return listing(folder).has_value(); }
    bool fileExists(const QString& path)
    {
        const QString key = normalized(path);
        const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash < 0 ? QString() : key.left(slash);
        const QString name = key.mid(slash + 1);
        if (name.isEmpty() || !listing(folder))
            return false;
        return m_listings.value(normalized(folder)).set.contains(name);
    }
    qint64 fileSize(const QString& path)
    {
        if (!m_device)
            return 0;
        ++*m_calls;
        const std::optional<QVariantMap> info = m_device->getFileInfo(path);
        if (!info)
            return 0;
        // "st_size" over the file service; "NSFileSize" in disk mode.
        const QVariant size = info->contains(QStringLiteral("st_size"))
            ? info->value(QStringLiteral("st_size"))
            : info->value(QStringLiteral("NSFileSize"));
        return size.toLongLong(); // 64 bits: a file past 2 GiB keeps its size
    }

private:
    struct Listing {
        std::optional<QStringList> names;
        QSet<QString> set;
    };
    static QString normalized(const QString& path)
    {
        QString p = path;
        while (p.startsWith(QLatin1Char('/')))
            p.remove(0, 1);
        while (p.endsWith(QLatin1Char('/')))
            p.chop(1);
        return p;
    }
    QELDeviceInterface* m_device;
    qint64* m_calls;
    QHash<QString, Listing> m_listings;
};

// ZDIRECTORY and ZFILENAME joined as path components.
QString joinPath(QString directory, const QString& name)
{
    while (directory.endsWith(QLatin1Char('/')))
        directory.chop(1);
    if (directory.isEmpty())
        return name;
    if (name.isEmpty())
        return directory;
    return directory + QLatin1Char('/') + name;
}

QString extensionOf(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

QString withoutExtension(const QString& path)
{
    const QString extension = extensionOf(path);
    return extension.isEmpty() ? path : path.left(path.size() - extension.size() - 1);
}

QString directoryOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

} // namespace

struct QELDeviceImagePhotosDbReader::Read {
    QELSQLiteDatabase db;
    QELImageStore* store = nullptr;
    DeviceFolders* device = nullptr;
    // The asset table of this generation; empty when there is none.
    QString assetTable;
    // The record side of the thumbnail files; 0: none.
    int side = 0;
    QDateTime recentSince;

    bool hasTable(const QString& table) const
    {
        return QELSQLiteHelper::doesDatabaseContainTable(db.handle(), table);
    }
    bool hasColumn(const QString& table, const QString& column) const
    {
        return !table.isEmpty()
            && QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db.handle(), table, column);
    }
    // Statements name the table of the earlier systems; since iOS 14 the same
    // columns sit in ZASSET.
    QString forAssetTable(QString sql) const
    {
        if (!assetTable.isEmpty() && assetTable != QLatin1String("ZGENERICASSET"))
            sql.replace(QLatin1String("ZGENERICASSET"), assetTable);
        return sql;
    }
};

QELDeviceImagePhotosDbReader::QELDeviceImagePhotosDbReader(const QString& directoryContent,
                                                           const QString& databaseFileName,
                                                           const QString& storeName)
    : QELDeviceImageLibraryReader(directoryContent, databaseFileName, storeName)
{
}

std::unique_ptr<QELDeviceImagePhotosDbReader> QELDeviceImagePhotosDbReader::create(
    const QString& directoryContent, const QString& databaseFileName, const QString& storeName)
{
    std::unique_ptr<QELDeviceImagePhotosDbReader> reader(
        new QELDeviceImagePhotosDbReader(directoryContent, databaseFileName, storeName));
    if (!reader->store())
        return nullptr;
    return reader;
}

QDateTime QELDeviceImagePhotosDbReader::_getDateTime(double seconds)
{
    return DeviceTime::fromReferenceSeconds(seconds);
}

bool QELDeviceImagePhotosDbReader::readImageDatabase()
{
    assertNotOnGuiThread();
    m_databaseOpened = false;
    m_deviceCalls = 0;
    m_readError.clear();
    const std::shared_ptr<QELImageStore> store = this->store();
    if (!store)
        return false;
    const QString path = QDir(directoryContent()).filePath(QStringLiteral("Photos.sqlite"));
    if (!QFileInfo(path).isFile())
        return true;

    DeviceFolders folders(deviceInterface(), &m_deviceCalls);
    Read read;
    read.store = store.get();
    read.device = &folders;
    const QDateTime now =
        m_referenceTime.isValid() ? m_referenceTime : QDateTime::currentDateTimeUtc();
    read.recentSince = now.addDays(-30);
    if (deviceInterface()) {
        if (folders.fileExists(QStringLiteral("/PhotoData/Thumbnails/240x240.ithmb")))
            read.side = 240;
        else if (folders.fileExists(QStringLiteral("/PhotoData/Thumbnails/120x120.ithmb")))
            read.side = 120;
    }
    QString error;
    read.db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!read.db.isOpen()) {
        qCWarning(lcOrvane) << "the photo library did not open:" << error;
        return true;
    }
    m_databaseOpened = true;
    // The whole library is one read: one time budget for all its statements,
    // and a statement that fails makes the read a failure, never a library
    // that looks whole without some of its photos.
    QELSQLiteStepBudget::Read wholeRead;
    if (read.hasTable(QStringLiteral("ZGENERICASSET")))
        read.assetTable = QStringLiteral("ZGENERICASSET");
    else if (read.hasTable(QStringLiteral("ZASSET")))
        read.assetTable = QStringLiteral("ZASSET");

    if (!read.assetTable.isEmpty()) {
        sendProgress(L("READINGMAINPHOTOLIBRARY"), std::nullopt, std::nullopt);
        readAssets(read);
    }
    if (!wholeRead.failed())
        readAlbums(read);
    if (wholeRead.failed()) {
        m_readError = wholeRead.error();
        qCWarning(lcOrvane).noquote() << "the photo library:" << m_readError;
        read.db.close();
        return true;
    }
    makeSmartAlbums(read);
    sendProgress(L("FINALIZING"), std::nullopt, std::nullopt);
    if (!store->save(&error)) {
        qCWarning(lcOrvane) << "Error comitting";
        qCWarning(lcOrvane).noquote() << error;
        return false;
    }
    read.db.close();
    return true;
}

void QELDeviceImagePhotosDbReader::readAssets(Read& read)
{
    const QString& A = read.assetTable;
    QString sql = QStringLiteral(
        "SELECT asset.ZFILENAME, asset.ZDIRECTORY, asset.ZORIENTATION, "
        "asset.ZDATECREATED,asset.ZTHUMBNAILINDEX, asset.ZSAVEDASSETTYPE, asset.Z_PK, "
        "asset.ZHEIGHT, asset.ZWIDTH, asset.ZSORTTOKEN, asset.ZFAVORITE, "
        "attr.ZHIGHDYNAMICRANGETYPE, attr.ZEMBEDDEDTHUMBNAILHEIGHT, "
        "attr.ZEMBEDDEDTHUMBNAILWIDTH, attr.ZEMBEDDEDTHUMBNAILOFFSET, "
        "attr.ZEMBEDDEDTHUMBNAILLENGTH, attr.ZDURATION FROM ZGENERICASSET asset INNER JOIN "
        "ZADDITIONALASSETATTRIBUTES attr ON attr.ZASSET = asset.Z_PK WHERE asset.ZWIDTH != 0");
    const auto edit = [&sql](const char* from, const char* to) {
        sql.replace(QLatin1String(from), QLatin1String(to));
    };
    if (!read.hasColumn(kAttributes, QStringLiteral("ZDURATION")))
        edit(", attr.ZDURATION", "");
    if (!read.hasColumn(A, QStringLiteral("ZFAVORITE")))
        edit(", asset.ZFAVORITE", "");
    if (read.hasColumn(A, QStringLiteral("ZAVALANCHEUUID")))
        edit("asset.ZFILENAME,", "asset.ZFILENAME, asset.ZAVALANCHEUUID,");
    if (!read.hasColumn(kAttributes, QStringLiteral("ZHIGHDYNAMICRANGETYPE"))) {
        if (read.hasColumn(A, QStringLiteral("ZHIGHDYNAMICRANGETYPE")))
            edit("attr.ZHIGHDYNAMICRANGETYPE,", "asset.ZHIGHDYNAMICRANGETYPE,");
        else
            edit("attr.ZHIGHDYNAMICRANGETYPE,", "");
    }
    if (read.hasColumn(A, QStringLiteral("ZKINDSUBTYPE")))
        edit("SELECT", "SELECT asset.ZKINDSUBTYPE,");
    if (read.hasColumn(A, QStringLiteral("ZTRASHEDDATE")))
        edit("asset.ZFILENAME", "asset.ZFILENAME, asset.ZTRASHEDDATE");
    if (read.hasColumn(kAttributes, QStringLiteral("ZCAMERACAPTUREDEVICE"))) {
        edit("SELECT ", "SELECT attr.ZCAMERACAPTUREDEVICE,");
        if (read.hasColumn(kAttributes, QStringLiteral("ZREVERSELOCATIONDATAISVALID")))
            edit("SELECT ", "SELECT attr.ZREVERSELOCATIONDATAISVALID,");
    }
    // The asset's kind (1: video) for the one video rule.
    const bool hasKind = read.hasColumn(A, QStringLiteral("ZKIND"));
    if (hasKind)
        edit(" FROM ", ", asset.ZKIND FROM ");
    const bool hasHidden = read.hasColumn(A, QStringLiteral("ZHIDDEN"));
    if (hasHidden)
        edit(" FROM ", ", asset.ZHIDDEN FROM ");
    // Columns the earlier systems always had may be gone from a later one;
    // such a column reads as NULL rather than losing every photo.
    const struct {
        const QString& table;
        const char* column;
    } optionalColumns[] = {
        {A, "ZORIENTATION"},
        {A, "ZDATECREATED"},
        {A, "ZTHUMBNAILINDEX"},
        {A, "ZSAVEDASSETTYPE"},
        {A, "ZHEIGHT"},
        {A, "ZSORTTOKEN"},
        {kAttributes, "ZEMBEDDEDTHUMBNAILHEIGHT"},
        {kAttributes, "ZEMBEDDEDTHUMBNAILWIDTH"},
        {kAttributes, "ZEMBEDDEDTHUMBNAILOFFSET"},
        {kAttributes, "ZEMBEDDEDTHUMBNAILLENGTH"},
    };
    for (const auto& c : optionalColumns) {
        const QString column = QLatin1String(c.column);
        if (!read.hasColumn(c.table, column))
            sql.replace((&c.table == &A ? QStringLiteral("asset.") : QStringLiteral("attr."))
                            + column,
                        QStringLiteral("NULL AS ") + column);
    }
    sql = read.forAssetTable(sql);

    // Edits read once, not per photo.
    const bool hasAdjustments = read.hasTable(QStringLiteral("ZADJUSTMENT"));
    QSet<qint64> adjusted;
    QHash<qint64, qint64> unmanaged;
    if (hasAdjustments) {
        QELSQLiteStatement edits(read.db.handle(),
                                 QStringLiteral("SELECT ZASSET FROM ZADJUSTMENT"));
        edits.forEachRow([&](const QELSQLiteStatement& row) {
            if (!row.isNull(0))
                adjusted.insert(row.int64(0));
            return true;
        });
        if (read.hasTable(QStringLiteral("ZUNMANAGEDADJUSTMENT"))) {
            QELSQLiteStatement s(read.db.handle(),
                                 QStringLiteral("SELECT ZASSET, ZUNMANAGEDADJUSTMENT FROM "
                                                "ZADDITIONALASSETATTRIBUTES ORDER BY rowid"));
            s.forEachRow([&](const QELSQLiteStatement& row) {
                unmanaged.insert(row.int64(0), row.int64(1)); // the last row decides
                return true;
            });
        }
    }
    // The fallback thumbnail files, when there is no side, asked for once.
    QString fallbackPath;
    int fallbackSide = 0;
    qint64 fallbackSize = 0;
    if (read.side == 0 && deviceInterface()) {
        if (read.device->fileExists(QStringLiteral("PhotoData/Thumbnails/4031.ithmb"))) {
            fallbackPath = QStringLiteral("PhotoData/Thumbnails/4031.ithmb");
            fallbackSide = 120;
            fallbackSize = 28828;
        } else if (read.device->fileExists(QStringLiteral("PhotoData/Thumbnails/3309.ithmb"))) {
            fallbackPath = QStringLiteral("PhotoData/Thumbnails/3309.ithmb");
            fallbackSide = 64;
            fallbackSize = 8220;
        }
    }

    QELSQLiteStatement s(read.db.handle(), sql);
    if (!s.isPrepared()) {
        qCWarning(lcOrvane) << "the photo library's asset statement did not prepare:"
                            << s.errorMessage();
        return;
    }
    const auto col = [&s](const char* name) {
        return QELSQLiteHelper::indexOfColumnNamedWithinStatment(QLatin1String(name), s.handle());
    };
    const int cFileName = col("ZFILENAME"), cDate = col("ZDATECREATED"),
              cDirectory = col("ZDIRECTORY"), cIndex = col("ZTHUMBNAILINDEX"),
              cEmbHeight = col("ZEMBEDDEDTHUMBNAILHEIGHT"),
              cEmbWidth = col("ZEMBEDDEDTHUMBNAILWIDTH"),
              cEmbOffset = col("ZEMBEDDEDTHUMBNAILOFFSET"),
              cEmbLength = col("ZEMBEDDEDTHUMBNAILLENGTH"), cPk = col("Z_PK"),
              cOrientation = col("ZORIENTATION"), cSortToken = col("ZSORTTOKEN"),
              cSavedType = col("ZSAVEDASSETTYPE"), cHeight = col("ZHEIGHT"), cWidth = col("ZWIDTH"),
              cFavorite = col("ZFAVORITE"), cHdr = col("ZHIGHDYNAMICRANGETYPE"),
              cTrashed = col("ZTRASHEDDATE"), cSubtype = col("ZKINDSUBTYPE"),
              cCapture = col("ZCAMERACAPTUREDEVICE"), cReverse = col("ZREVERSELOCATIONDATAISVALID"),
              cKind = hasKind ? col("ZKIND") : -1, cHidden = hasHidden ? col("ZHIDDEN") : -1;
    const auto int32 = [&s](int column) { return qint64(qint32(s.int64(column))); };
    const bool ok = s.forEachRow([&](const QELSQLiteStatement&) {
        auto image = std::make_shared<ImageDetail>();
        ImageDetail& d = *image;
        // 1-4: where the raw thumbnail lies.
        int side = read.side;
        qint64 recordSize = qint64(side) * side * 2 + 28;
        if (side != 0) {
            d.thumbnailPath =
                QStringLiteral("/PhotoData/Thumbnails/%1x%2.ithmb").arg(side).arg(side);
        } else if (!fallbackPath.isEmpty()) {
            d.thumbnailPath = fallbackPath;
            side = fallbackSide;
            recordSize = fallbackSize;
        }
        if (side != 0) {
            d.height = side;
            d.width = side;
            d.dataSize = recordSize;
        }
        if (cSortToken >= 0 && !s.isNull(cSortToken))
            d.sortToken = double(float(s.real(cSortToken)));
        const qint64 index = cIndex >= 0 ? int32(cIndex) : 0;
        // 64 bits: a record 4 GiB into the file keeps its place.
        d.thumbnailOffset = index * d.dataSize.value_or(0);
        if (index < 0) {
            d.thumbnailPath.clear();
            d.thumbnailOffset = 0;
        }
        d.imageFormat = 1;
        // 5-7: the title, cut for display; the whole name stays for copies.
        d.fileName = cFileName >= 0
            ? QELSQLiteHelper::stringValueForColumnFromStatment(cFileName, s.handle())
            : QString();
        d.title = d.fileName;
        if (PhotoVideoRule::isVideo(d.fileName,
                                    cKind >= 0 && !s.isNull(cKind)
                                        ? std::optional<qint64>(int32(cKind))
                                        : std::nullopt))
            d.isVideo = true;
        if (d.title.size() > 16)
            d.title.truncate(16);
        // 8-10: dates.
        d.isRecentlyAdded = false;
        d.isTrashed = false;
        if (cDate >= 0) {
            d.dateCreated = _getDateTime(s.real(cDate));
            d.isRecentlyAdded = d.dateCreated.isValid() && d.dateCreated > read.recentSince;
        }
        if (cTrashed >= 0 && s.real(cTrashed) != 0) {
            d.dateTrashed = _getDateTime(s.real(cTrashed));
            d.isTrashed = true;
        }
        d.isHidden = cHidden >= 0 && s.int64(cHidden) != 0;
        // 11: a selfie.
        if (cCapture >= 0 && cReverse >= 0 && int32(cCapture) == 1 && int32(cReverse) == 1)
            d.isSelfie = true;
        // 12: the file a copy takes.
        const QString directory = cDirectory >= 0
            ? QELSQLiteHelper::stringValueForColumnFromStatment(cDirectory, s.handle())
            : QString();
        d.fullImagePath = joinPath(directory, d.fileName);
        d.isFromCamera = d.fullImagePath.startsWith(QLatin1String("DCIM"));
        // 13: the JPEG thumbnail inside the photo's file.
        if (cEmbLength >= 0 && s.int64(cEmbLength) != 0) {
            EmbeddedThumbnail t;
            t.length = s.int64(cEmbLength);
            if (cEmbHeight >= 0)
                t.height = int32(cEmbHeight);
            if (cEmbOffset >= 0)
                t.offset = s.int64(cEmbOffset);
            if (cEmbWidth >= 0)
                t.width = int32(cEmbWidth);
            d.embeddedThumbnail = t;
        }
        // 14-20: identity and flags.
        if (cPk >= 0)
            d.imageID = s.int64(cPk);
        if (cOrientation >= 0)
            d.orientation = int32(cOrientation);
        if (cSavedType >= 0)
            d.isFromStream = int32(cSavedType) == 2;
        if (cHeight >= 0)
            d.originalHeight = int32(cHeight);
        if (cWidth >= 0)
            d.originalWidth = int32(cWidth);
        if (cFavorite >= 0)
            d.isFavorite = int32(cFavorite) > 0;
        if (cHdr >= 0)
            d.isPanoramic = int32(cHdr) == 6;
        if (cSubtype >= 0) {
            const qint64 subtype = int32(cSubtype);
            if (subtype == 10)
                d.isScreenshot = true;
            else if (subtype == 1)
                d.isPanoramic = true;
        }
        // 21: an edited photo, or one whose file is gone, takes another file.
        if (hasAdjustments && d.imageID) {
            const qint64 id = *d.imageID;
            const bool edited = adjusted.contains(id) || unmanaged.value(id) > 0;
            if (edited || !read.device->fileExists(d.fullImagePath)) {
                QString found;
                const QString mutations = QStringLiteral("/PhotoData/Mutations/%1/Adjustments")
                                              .arg(withoutExtension(d.fullImagePath));
                if (read.device->folderExists(mutations)) {
                    const QString candidate = mutations + QStringLiteral("/FullSizeRender.")
                        + extensionOf(d.fullImagePath).toLower();
                    if (read.device->fileExists(candidate))
                        found = candidate;
                }
                if (found.isEmpty()) {
                    const QString metadata =
                        QStringLiteral("/PhotoData/Metadata/%1").arg(directoryOf(d.fullImagePath));
                    const std::optional<QStringList>& names = read.device->listing(metadata);
                    if (names && !names->isEmpty()) {
                        QString candidate;
                        if (names->contains(nameOf(d.fullImagePath))) {
                            candidate = metadata + QLatin1Char('/') + nameOf(d.fullImagePath);
                        } else {
                            qint64 best = 0;
                            for (const QString& name : *names) {
                                const qint64 size =
                                    read.device->fileSize(metadata + QLatin1Char('/') + name);
                                if (size > best) {
                                    best = size;
                                    candidate = metadata + QLatin1Char('/') + name;
                                }
                            }
                        }
                        if (!candidate.isEmpty() && read.device->fileExists(candidate))
                            found = candidate;
                    }
                }
                if (found.isEmpty()) {
                    const QString preview =
                        QStringLiteral("/PhotoData/Thumbnails/V2/%1").arg(d.fullImagePath);
                    if (read.device->folderExists(preview)
                        && read.device->fileExists(preview + QStringLiteral("/5003.jpg")))
                        found = preview + QStringLiteral("/5003.jpg");
                }
                if (!found.isEmpty()) {
                    d.fullImagePath = found;
                    d.embeddedThumbnail.reset();
                }
            }
        }
        read.store->addImage(image);
        return true;
    });
    if (!ok)
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("the photo library's assets could not be read"), s.errorMessage());
}

namespace {

struct Membership {
    QString table;
    QString albumColumn;
    QString assetColumn;
};

// The columns of a table, in upper case.
QSet<QString> columnsOf(sqlite3* db, const QString& table)
{
    QSet<QString> columns;
    QELSQLiteStatement s(db, QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
    s.bindText(1, table);
    s.forEachRow([&](const QELSQLiteStatement& row) {
        columns.insert(row.text(0).toUpper());
        return true;
    });
    return columns;
}

// The link Core Data keeps for the albums' many-to-many relationship with
// the assets, named after the entity numbers of Z_PRIMARYKEY: a table
// Z_<album entity>ASSETS with the columns Z_<album entity>ALBUMS and
// Z_<asset entity>ASSETS. The numbers move with every generation of the
// library (Z_26ASSETS with Z_34ASSETS, Z_28ASSETS with Z_3ASSETS, ...), and
// the relationship belongs to the album entity that declares it
// ("GenericAlbum" where there is one, "Album" before), so every album and
// asset entity the file names is tried. Names are built from integers only.
std::optional<Membership> membershipFromEntities(sqlite3* h)
{
    if (!QELSQLiteHelper::doesDatabaseContainTable(h, QStringLiteral("Z_PRIMARYKEY")))
        return std::nullopt;
    QList<qint64> albums;
    QList<qint64> assets;
    QELSQLiteStatement s(h,
                         QStringLiteral("SELECT Z_ENT, Z_NAME FROM Z_PRIMARYKEY ORDER BY Z_ENT"));
    s.forEachRow([&](const QELSQLiteStatement& row) {
        if (row.columnType(0) != SQLITE_INTEGER || row.int64(0) <= 0)
            return true;
        const QString name = row.text(1);
        if (name.endsWith(QLatin1String("Album")))
            albums.append(row.int64(0));
        else if (name.endsWith(QLatin1String("Asset")))
            assets.append(row.int64(0));
        return true;
    });
    for (const qint64 album : std::as_const(albums)) {
        const QString table = QStringLiteral("Z_%1ASSETS").arg(album);
        if (!QELSQLiteHelper::doesDatabaseContainTable(h, table))
            continue;
        const QSet<QString> columns = columnsOf(h, table);
        const QString albumColumn = QStringLiteral("Z_%1ALBUMS").arg(album);
        if (!columns.contains(albumColumn))
            continue;
        for (const qint64 asset : std::as_const(assets)) {
            const QString assetColumn = QStringLiteral("Z_%1ASSETS").arg(asset);
            if (columns.contains(assetColumn))
                return Membership{table, albumColumn, assetColumn};
        }
    }
    return std::nullopt;
}

// The table that links albums and assets: the one the entity numbers name,
// else one of the names the earlier systems used.
std::optional<Membership> membershipTable(const QELSQLiteDatabase& db)
{
    sqlite3* h = db.handle();
    if (std::optional<Membership> m = membershipFromEntities(h))
        return m;
    const auto make = [](qint64 album, qint64 asset) {
        return Membership{QStringLiteral("Z_%1ASSETS").arg(album),
                          QStringLiteral("Z_%1ALBUMS").arg(album),
                          QStringLiteral("Z_%1ASSETS").arg(asset)};
    };
    for (const auto& [album, asset] : {std::pair{16, 23}, {11, 17}, {15, 22}, {8, 14}, {6, 11}}) {
        const Membership m = make(album, asset);
        if (QELSQLiteHelper::doesDatabaseContainTable(h, m.table))
            return m;
    }
    if (QELSQLiteHelper::doesDatabaseContainTable(h, QStringLiteral("Z_17ASSETS")))
        return make(17, 24);
    return std::nullopt;
}

// Whether an index of `table` leads with `column`, so that the rows of one
// value are found without reading the whole table.
bool leadsAnIndex(sqlite3* db, const QString& table, const QString& column)
{
    QELSQLiteStatement s(db,
                         QStringLiteral("SELECT 1 FROM pragma_index_list(?1) AS list, "
                                        "pragma_index_info(list.name) AS info "
                                        "WHERE list.partial = 0 AND info.seqno = 0 "
                                        "AND info.name = ?2 COLLATE NOCASE"));
    s.bindText(1, table);
    s.bindText(2, column);
    return s.isPrepared() && s.step();
}

// The album a link row names, as "= ?1" with the album's integer key would
// match it; none for NULL, text or a fraction.
std::optional<qint64> albumKeyOf(const QELSQLiteStatement& row, int column)
{
    switch (row.columnType(column)) {
    case SQLITE_INTEGER:
        return row.int64(column);
    case SQLITE_FLOAT: {
        const double value = row.real(column);
        if (value >= -9.2e18 && value <= 9.2e18 && value == double(qint64(value)))
            return qint64(value);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

void QELDeviceImagePhotosDbReader::readAlbums(Read& read)
{
    if (!read.hasTable(QStringLiteral("ZGENERICALBUM")))
        return;
    QELSQLiteStatement s(
        read.db.handle(),
        QStringLiteral("SELECT (SELECT COUNT(*) FROM ZGENERICALBUM) AS rowCount, * "
                       "FROM ZGENERICALBUM"));
    if (!s.isPrepared())
        return;
    const auto col = [&s](const char* name) {
        return QELSQLiteHelper::indexOfColumnNamedWithinStatment(QLatin1String(name), s.handle());
    };
    const int cTitle = col("ZTITLE"), cKind = col("ZKIND"), cPk = col("Z_PK"),
              cCount = col("rowCount");

    QELSQLiteStatement members;
    // Without an index on the album column each album's question reads the
    // whole link table (500 albums over 50,000 links: 25 million rows), so
    // the links are then read once, in the table's order, which is the order
    // that question answers one album's members in.
    bool membersReadOnce = false;
    QHash<qint64, std::vector<qint64>> membersOfAlbum;
    if (const std::optional<Membership> m = membershipTable(read.db)) {
        // Without an asset table the join fails and albums stay without members.
        const QString assets =
            read.assetTable.isEmpty() ? QStringLiteral("ZGENERICASSET") : read.assetTable;
        if (leadsAnIndex(read.db.handle(), m->table, m->albumColumn)) {
            members = QELSQLiteStatement(
                read.db.handle(),
                QStringLiteral("SELECT assetlink.%1 FROM %2 assetlink INNER JOIN %3 assets ON "
                               "assets.Z_PK==assetlink.%1 WHERE assetlink.%4 = ?1")
                    .arg(m->assetColumn, m->table, assets, m->albumColumn));
        } else {
            // CROSS JOIN keeps the link table the outer loop, in its order.
            members = QELSQLiteStatement(
                read.db.handle(),
                QStringLiteral("SELECT assetlink.%1, assetlink.%2 FROM %3 assetlink CROSS JOIN "
                               "%4 assets ON assets.Z_PK==assetlink.%1")
                    .arg(m->assetColumn, m->albumColumn, m->table, assets));
            if (members.isPrepared()) {
                membersReadOnce = true;
                members.forEachRow([&](const QELSQLiteStatement& row) {
                    if (row.isNull(0))
                        return true;
                    if (const std::optional<qint64> album = albumKeyOf(row, 1))
                        membersOfAlbum[*album].push_back(row.int64(0));
                    return true;
                });
            }
        }
    }

    qint64 counter = 0;
    std::optional<qint64> total;
    const bool allAlbums = s.forEachRow([&](const QELSQLiteStatement&) {
        if (cTitle < 0)
            return true;
        if (!total)
            total = cCount >= 0 ? s.int64(cCount) : 0;
        auto album = std::make_shared<Album>();
        const QString title = QELSQLiteHelper::stringValueForColumnFromStatment(cTitle, s.handle());
        album->title = title;
        const qint64 kind = cKind >= 0 ? qint64(qint32(s.int64(cKind))) : -1;
        sendProgress(L("ANALYZINGALBUM").arg(title), ++counter, total);
        const qint64 pk = cPk >= 0 ? s.int64(cPk) : 0;
        if (cPk >= 0)
            album->id = pk;
        bool lookUp = true;
        switch (kind) {
        case -1:
        case 2:
        case 1550:
            album->kind = 6;
            break;
        case 15:
            album->kind = 15;
            break;
        case 1505:
            album->kind = 24;
            break;
        case 1551:
            album->kind = 12;
            break;
        case 1552:
            album->kind = 1;
            album->title = L("ALLPHOTOS");
            break;
        case 1601:
            album->kind = 22;
            album->title = L("CAMERA");
            m_cameraAlbumId = pk;
            lookUp = false;
            break;
        case 1602:
            album->kind = 20;
            if (title.isEmpty())
                album->title = QStringLiteral("Photo Stream");
            m_photoStreamAlbumId = pk;
            lookUp = false;
            break;
        default:
            return true; // not an album the program shows
        }
        if (lookUp && members.isPrepared()) {
            QSet<ImageDetail*> seen;
            const auto add = [&](qint64 asset) {
                for (const ImageDetailPtr& image : read.store->imagesWithID(asset))
                    if (!seen.contains(image.get())) {
                        seen.insert(image.get());
                        album->relationshipAssets.push_back(image);
                    }
            };
            if (membersReadOnce) {
                const auto it = membersOfAlbum.constFind(pk);
                if (it != membersOfAlbum.constEnd())
                    for (const qint64 asset : *it)
                        add(asset);
            } else {
                members.reset();
                members.bindInt64(1, pk);
                members.forEachRow([&](const QELSQLiteStatement& row) {
                    if (!row.isNull(0))
                        add(row.int64(0));
                    return true;
                });
            }
            if (album->relationshipAssets.empty())
                return true; // an album whose members match no image is dropped
        }
        read.store->addAlbum(album);
        return true;
    });
    if (!allAlbums)
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("the photo library's albums could not be read"), s.errorMessage());
}

void QELDeviceImagePhotosDbReader::makeSmartAlbums(Read& read)
{
    const auto make = [&read](const char* title, qint64 kind, std::optional<qint64> id,
                              const std::function<bool(const ImageDetail&)>& matches) {
        auto album = std::make_shared<Album>();
        album->title = QLatin1String(title);
        album->kind = kind;
        album->id = id;
        for (const ImageDetailPtr& image : read.store->images())
            if (matches(*image))
                album->relationshipAssets.push_back(image);
        if (album->relationshipAssets.empty())
            return false;
        read.store->addAlbum(album);
        return true;
    };
    using D = const ImageDetail&;
    const auto yes = [](const std::optional<bool>& f) { return ImageDetail::isYes(f); };
    const auto no = [](const std::optional<bool>& f) { return f.has_value() && !*f; };
    // Libraries since iOS 8 have no album of the whole library (the kinds
    // 1552 and 1601 are gone): without one, photos in no album of their own
    // could be neither seen nor copied.
    bool hasLibraryAlbum = false;
    for (const AlbumPtr& album : read.store->albums())
        hasLibraryAlbum = hasLibraryAlbum || album->kind == 1 || album->kind == 22;
    if (!hasLibraryAlbum) {
        auto album = std::make_shared<Album>();
        album->title = L("ALLPHOTOS");
        album->kind = 1;
        album->id = kLibraryAlbumId;
        if (!read.store->images().empty())
            read.store->addAlbum(album);
    }
    // A hidden photo stands on the device only in the Hidden album.
    const auto shown = [&](D d) { return !yes(d.isHidden); };
    make("Favorite", 501, 1000, [&](D d) { return yes(d.isFavorite) && shown(d); });
    make("Panoramic", 502, 1001, [&](D d) { return yes(d.isPanoramic) && shown(d); });
    make("Selfie", 506, 1006, [&](D d) { return yes(d.isSelfie) && no(d.isTrashed) && shown(d); });
    make("Screenshots", 507, 1007,
         [&](D d) { return yes(d.isScreenshot) && no(d.isTrashed) && shown(d); });
    make("Videos", 504, 1002, [&](D d) { return yes(d.isVideo) && no(d.isTrashed) && shown(d); });
    makeICloudAlbum(read);
    if (make("Recently Deleted", 503, 1003, [](D d) { return d.dateTrashed.isValid(); }))
        m_trashedAlbumId = 1003;
    if (make("Recently Added", 505, 1004,
             [&](D d) { return yes(d.isRecentlyAdded) && no(d.isTrashed) && shown(d); }))
        m_recentAlbumId = 1004;
    if (make("Hidden", kHiddenAlbumKind, kHiddenAlbumId,
             [&](D d) { return yes(d.isHidden) && !yes(d.isTrashed); }))
        m_hiddenAlbumId = kHiddenAlbumId;
}

void QELDeviceImagePhotosDbReader::makeICloudAlbum(Read& read)
{
    if (!read.hasTable(QStringLiteral("ZCLOUDMASTER")) || read.assetTable.isEmpty())
        return;
    // The attribute rows belong to assets through ZASSET; their own keys need
    // not match the assets' keys.
    const QString join = read.hasColumn(kAttributes, QStringLiteral("ZASSET"))
        ? QStringLiteral("attributes.ZASSET = asset.Z_PK")
        : QStringLiteral("attributes.Z_PK = asset.Z_PK");
    const QString base = QStringLiteral(
        "SELECT asset.Z_PK as ASSETID, asset.ZCLOUDPLACEHOLDERKIND, attributes.ZORIGINALFILENAME "
        "FROM ZGENERICASSET asset INNER JOIN ZADDITIONALASSETATTRIBUTES attributes ON ");
    QString sql = base + join;
    if (read.hasColumn(read.assetTable, QStringLiteral("ZCLOUDASSETGUID"))) {
        sql.replace(QLatin1String("SELECT "), QLatin1String("SELECT asset.ZCLOUDASSETGUID, "));
        sql += QStringLiteral(" WHERE ZCLOUDASSETGUID IS NOT NULL");
    }
    if (read.hasColumn(kAttributes, QStringLiteral("ZCLOUDMASTER")))
        sql = base + join + QStringLiteral(" where attributes.ZCLOUDMASTER != 0");
    QELSQLiteStatement s(read.db.handle(), read.forAssetTable(sql));
    const int cId = s.isPrepared() ? s.columnIndex(QStringLiteral("ASSETID")) : -1;
    const int cKind = s.isPrepared() ? s.columnIndex(QStringLiteral("ZCLOUDPLACEHOLDERKIND")) : -1;
    const int cName = s.isPrepared() ? s.columnIndex(QStringLiteral("ZORIGINALFILENAME")) : -1;
    if (cId < 0 || cKind < 0 || cName < 0)
        return;
    auto album = std::make_shared<Album>();
    album->title = QStringLiteral("iCloud Photo Library");
    album->kind = 500;
    QSet<ImageDetail*> seen;
    s.forEachRow([&](const QELSQLiteStatement& row) {
        for (const ImageDetailPtr& image : read.store->imagesWithID(row.int64(cId))) {
            if (image->isFromCamera != false || image->isTrashed != false)
                continue;
            image->title = QELSQLiteHelper::stringValueForColumnFromStatment(cName, s.handle());
            image->isICloudPlaceholder = qint32(row.int64(cKind)) == 3;
            if (!seen.contains(image.get())) {
                seen.insert(image.get());
                album->relationshipAssets.push_back(image);
            }
            break;
        }
        return true;
    });
    if (!album->relationshipAssets.empty())
        read.store->addAlbum(album);
}
