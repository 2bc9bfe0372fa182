// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaLibraryFixture.h"

#include <QtEndian>
#include <QVariant>

#include "SQLiteFixtureWriter.h"

namespace {

QVariant text(const QString& value)
{
    return value.isNull() ? QVariant() : QVariant(value);
}

} // namespace

QByteArray MediaLibraryFixture::packIDs(const QList<qint64>& ids)
{
    QByteArray data(ids.size() * 8, '\0');
    for (qsizetype i = 0; i < ids.size(); ++i)
        qToLittleEndian<qint64>(ids[i], data.data() + 8 * i);
    return data;
}

bool MediaLibraryFixture::write(const QString& path, QString* error) const
{
    SQLiteFixtureWriter db(path);
    const Schema& s = schema;
    QString item = QStringLiteral("CREATE TABLE item (item_pid INTEGER PRIMARY KEY, item_artist_pid INTEGER, album_pid INTEGER,"
                                  " album_artist_pid INTEGER, genre_id INTEGER, composer_pid INTEGER, base_location_id INTEGER,"
                                  " track_number INTEGER, disc_number INTEGER, date_added INTEGER");
    if (s.podcastInItem)
        item += QStringLiteral(", is_podcast INTEGER");
    if (s.iTunesUInItem)
        item += QStringLiteral(", is_itunes_u INTEGER");
    if (!s.compilationInItemExtra)
        item += QStringLiteral(", is_compilation INTEGER");
    db.exec(item + QStringLiteral(")"));
    QString extra = QStringLiteral("CREATE TABLE item_extra (item_pid INTEGER PRIMARY KEY, title TEXT, track_count INTEGER, year INTEGER,"
                                   " total_time_ms INTEGER, media_kind INTEGER, disc_count INTEGER, file_size INTEGER,"
                                   " bit_rate INTEGER, description TEXT, description_long TEXT, location TEXT");
    if (s.compilationInItemExtra)
        extra += QStringLiteral(", is_compilation INTEGER");
    if (s.podcastInItemExtra)
        extra += QStringLiteral(", is_podcast INTEGER");
    if (s.iTunesUInItemExtra)
        extra += QStringLiteral(", is_itunes_u INTEGER");
    if (s.audiobookColumn)
        extra += QStringLiteral(", is_audible_audio_book INTEGER");
    if (s.dateCreatedInItemExtra)
        extra += QStringLiteral(", date_created INTEGER");
    if (s.artworkCacheID)
        extra += QStringLiteral(", artwork_cache_id INTEGER");
    db.exec(extra + QStringLiteral(")"));
    db.exec(QStringLiteral(
        "CREATE TABLE item_artist (item_artist_pid INTEGER PRIMARY KEY, item_artist TEXT);"
        "CREATE TABLE album (album_pid INTEGER PRIMARY KEY, album TEXT);"
        "CREATE TABLE album_artist (album_artist_pid INTEGER PRIMARY KEY, album_artist TEXT);"
        "CREATE TABLE genre (genre_id INTEGER PRIMARY KEY, genre TEXT);"
        "CREATE TABLE composer (composer_pid INTEGER PRIMARY KEY, composer TEXT);"
        "CREATE TABLE base_location (base_location_id INTEGER PRIMARY KEY, path TEXT);"
        "CREATE TABLE item_stats (item_pid INTEGER PRIMARY KEY, date_played INTEGER, play_count_user INTEGER, user_rating INTEGER);"));
    if (s.itemPlayback)
        db.exec(QStringLiteral("CREATE TABLE item_playback (item_pid INTEGER PRIMARY KEY, bit_rate INTEGER)"));
    if (s.itemStore)
        db.exec(QStringLiteral("CREATE TABLE item_store (item_pid INTEGER PRIMARY KEY, is_protected INTEGER, feed_url TEXT)"));
    if (s.itemVideo)
        db.exec(QStringLiteral("CREATE TABLE item_video (item_pid INTEGER PRIMARY KEY, season_number INTEGER)"));
    if (s.itemArtwork || s.artworkToken)
        db.exec(QStringLiteral("CREATE TABLE artwork (artwork_token TEXT PRIMARY KEY, relative_path TEXT)"));
    if (s.itemArtwork)
        db.exec(QStringLiteral("CREATE TABLE item_artwork (item_pid INTEGER, best_artwork_token TEXT)"));
    if (s.artworkToken)
        db.exec(QStringLiteral("CREATE TABLE artwork_token (entity_pid INTEGER, artwork_token TEXT);"
                               "CREATE TABLE best_artwork_token (entity_pid INTEGER, artwork_type INTEGER, available_artwork_token TEXT)"));
    if (s.locationKindMap) {
        db.exec(QStringLiteral("CREATE TABLE location_kind_map (id INTEGER PRIMARY KEY, kind TEXT)"));
        db.run(QStringLiteral("INSERT INTO location_kind_map VALUES (1, 'MPEG audio file')"));
        db.run(QStringLiteral("INSERT INTO location_kind_map VALUES (2, 'Protected AAC audio file')"));
    }
    db.exec(QStringLiteral("CREATE TABLE db_info (primary_container_pid INTEGER)"));
    if (primaryContainer != 0)
        db.run(QStringLiteral("INSERT INTO db_info VALUES (?)"), {primaryContainer});

    QHash<QString, qint64> basePaths;
    for (const Item& it : items) {
        qint64 baseID = basePaths.value(it.basePath, 0);
        if (baseID == 0) {
            baseID = basePaths.size() + 1;
            basePaths.insert(it.basePath, baseID);
            db.run(QStringLiteral("INSERT INTO base_location VALUES (?,?)"), {baseID, text(it.basePath)});
        }
        auto lookup = [&db, &it](const char* table, const QString& value) -> QVariant {
            if (value.isNull())
                return QVariant();
            db.run(QStringLiteral("INSERT INTO %1 VALUES (?,?)").arg(QLatin1String(table)), {it.pid, value});
            return it.pid;
        };
        const QVariant artistID = lookup("item_artist", it.artist);
        const QVariant albumID = lookup("album", it.album);
        const QVariant albumArtistID = lookup("album_artist", it.albumArtist);
        const QVariant genreID = lookup("genre", it.genre);
        const QVariant composerID = lookup("composer", it.composer);
        QString columns = QStringLiteral("item_pid, item_artist_pid, album_pid, album_artist_pid, genre_id, composer_pid,"
                                         " base_location_id, track_number, disc_number, date_added");
        QVariantList values = {it.pid, artistID, albumID, albumArtistID, genreID, composerID, baseID, it.trackNumber, it.discNumber, it.dateAdded};
        if (s.podcastInItem) { columns += QStringLiteral(", is_podcast"); values << it.isPodcast; }
        if (s.iTunesUInItem) { columns += QStringLiteral(", is_itunes_u"); values << it.isITunesU; }
        if (!s.compilationInItemExtra) { columns += QStringLiteral(", is_compilation"); values << 0; }
        db.run(QStringLiteral("INSERT INTO item (%1) VALUES (%2)").arg(columns, QStringList(values.size(), QStringLiteral("?")).join(QLatin1Char(','))), values);

        columns = QStringLiteral("item_pid, title, track_count, year, total_time_ms, media_kind, disc_count, file_size, bit_rate,"
                                 " description, description_long, location");
        values = {it.pid, text(it.title), it.trackCount, it.year, it.durationMs, it.mediaKind, it.discCount, it.fileSize,
                  s.itemPlayback ? 0 : it.bitRate, text(it.description), text(it.descriptionLong), text(it.location)};
        if (s.compilationInItemExtra) { columns += QStringLiteral(", is_compilation"); values << 0; }
        if (s.podcastInItemExtra) { columns += QStringLiteral(", is_podcast"); values << it.isPodcast; }
        if (s.iTunesUInItemExtra) { columns += QStringLiteral(", is_itunes_u"); values << it.isITunesU; }
        if (s.audiobookColumn) { columns += QStringLiteral(", is_audible_audio_book"); values << it.isAudiobook; }
        if (s.dateCreatedInItemExtra) { columns += QStringLiteral(", date_created"); values << it.dateCreated; }
        if (s.artworkCacheID) { columns += QStringLiteral(", artwork_cache_id"); values << (it.artworkCacheID ? QVariant(it.artworkCacheID) : QVariant()); }
        db.run(QStringLiteral("INSERT INTO item_extra (%1) VALUES (%2)").arg(columns, QStringList(values.size(), QStringLiteral("?")).join(QLatin1Char(','))), values);

        db.run(QStringLiteral("INSERT INTO item_stats VALUES (?,?,?,?)"), {it.pid, it.datePlayed, it.playCount, it.rating});
        if (s.itemPlayback)
            db.run(QStringLiteral("INSERT INTO item_playback VALUES (?,?)"), {it.pid, it.bitRate});
        if (s.itemStore)
            db.run(QStringLiteral("INSERT INTO item_store VALUES (?,?,?)"), {it.pid, it.isProtected, text(it.feedURL)});
        if (s.itemVideo && it.videoRow)
            db.run(QStringLiteral("INSERT INTO item_video VALUES (?,?)"), {it.pid, it.seasonNumber});
        if (!it.artworkPath.isEmpty() && (s.itemArtwork || s.artworkToken)) {
            const QString token = QStringLiteral("token-%1").arg(it.pid);
            db.run(QStringLiteral("INSERT INTO artwork VALUES (?,?)"), {token, it.artworkPath});
            if (s.itemArtwork)
                db.run(QStringLiteral("INSERT INTO item_artwork VALUES (?,?)"), {it.pid, token});
            if (s.artworkToken) {
                db.run(QStringLiteral("INSERT INTO best_artwork_token VALUES (?,1,?)"), {it.pid, token});
                db.run(QStringLiteral("INSERT INTO artwork_token VALUES (?,?)"), {it.pid, token});
            }
        }
    }

    if (s.containers) {
        QString container = QStringLiteral("CREATE TABLE container (container_pid INTEGER PRIMARY KEY, name TEXT, is_hidden INTEGER,"
                                           " smart_is_genius INTEGER, smart_is_dynamic INTEGER, smart_is_folder INTEGER,"
                                           " smart_is_limited INTEGER, smart_limit_value INTEGER, is_ignored_syncing INTEGER,"
                                           " distinguished_kind INTEGER");
        if (s.containedMediaType)
            container += QStringLiteral(", contained_media_type INTEGER");
        if (s.playOrder)
            container += QStringLiteral(", play_order INTEGER");
        db.exec(container + QStringLiteral(")"));
        db.exec(QStringLiteral("CREATE TABLE container_items (container_pid INTEGER PRIMARY KEY, item_pid_data BLOB)"));
        for (const Container& c : containers) {
            QString columns = QStringLiteral("container_pid, name, is_hidden, smart_is_genius, smart_is_dynamic, smart_is_folder,"
                                             " smart_is_limited, smart_limit_value, is_ignored_syncing, distinguished_kind");
            QVariantList values = {c.pid, text(c.name), c.hidden ? 1 : 0, c.genius ? 1 : 0, c.dynamic ? 1 : 0, c.folder ? 1 : 0,
                                   0, 0, c.ignoredSyncing ? 1 : 0, c.distinguishedKind};
            if (s.containedMediaType) { columns += QStringLiteral(", contained_media_type"); values << c.containedMediaType; }
            if (s.playOrder) { columns += QStringLiteral(", play_order"); values << c.playOrder; }
            db.run(QStringLiteral("INSERT INTO container (%1) VALUES (%2)").arg(columns, QStringList(values.size(), QStringLiteral("?")).join(QLatin1Char(','))), values);
            db.run(QStringLiteral("INSERT INTO container_items VALUES (?,?)"),
                   {c.pid, c.rawItemData.isEmpty() ? packIDs(c.items) : c.rawItemData});
            if (s.artworkToken && !c.artworkPath.isEmpty()) {
                const QString token = QStringLiteral("ctoken-%1").arg(c.pid);
                db.run(QStringLiteral("INSERT INTO artwork VALUES (?,?)"), {token, c.artworkPath});
                db.run(QStringLiteral("INSERT INTO artwork_token VALUES (?,?)"), {c.pid, token});
            }
        }
    }
    const bool ok = db.commit();
    if (!ok && error)
        *error = db.error();
    return ok;
}
