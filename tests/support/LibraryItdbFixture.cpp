// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryItdbFixture.h"

#include <memory>

#include <QHash>
#include <QVariant>

#include "SQLiteFixtureWriter.h"

namespace {

QVariant text(const QString& value)
{
    return value.isNull() ? QVariant() : QVariant(value);
}

QString placeholders(qsizetype count)
{
    return QStringList(count, QStringLiteral("?")).join(QLatin1Char(','));
}

} // namespace

bool LibraryItdbFixture::write(const QString& folder, QString* error) const
{
    SQLiteFixtureWriter library(folder + QStringLiteral("/Library.itdb"));
    QString item = QStringLiteral("CREATE TABLE item (pid INTEGER PRIMARY KEY, media_kind INTEGER, is_music_video INTEGER,"
                                  " is_movie INTEGER, is_voice_memo INTEGER, is_podcast INTEGER, is_itunes_u INTEGER,"
                                  " album_artist TEXT, artwork_cache_id INTEGER, total_time_ms REAL, track_number INTEGER,"
                                  " track_count INTEGER, disc_number INTEGER, disc_count INTEGER, title TEXT, artist TEXT,"
                                  " album TEXT, genre_id INTEGER, composer TEXT, year INTEGER");
    if (tvShowColumn)
        item += QStringLiteral(", is_tv_show INTEGER");
    if (descriptionLongColumn)
        item += QStringLiteral(", description_long TEXT");
    library.exec(item + QStringLiteral(")"));
    library.exec(QStringLiteral(
        "CREATE TABLE genre_map (id INTEGER PRIMARY KEY, genre TEXT);"
        "CREATE TABLE location_kind_map (id INTEGER PRIMARY KEY, kind TEXT);"
        "INSERT INTO location_kind_map VALUES (1, 'MPEG audio file');"
        "CREATE TABLE db_info (primary_container_pid INTEGER);"
        "CREATE TABLE item_to_container (item_pid INTEGER, container_pid INTEGER, physical_order INTEGER);"
        "CREATE TABLE item_to_container_orig (item_pid INTEGER, container_pid INTEGER, physical_order INTEGER);"));
    library.exec(QStringLiteral("CREATE TABLE container (pid INTEGER PRIMARY KEY, name TEXT, is_hidden INTEGER, smart_is_folder INTEGER,"
                                " smart_is_genius INTEGER, smart_is_dynamic INTEGER, smart_is_filtered INTEGER,"
                                " smart_is_limited INTEGER, distinguished_kind INTEGER%1)")
                     .arg(membersByName ? QStringLiteral(", item_to_container_orig INTEGER") : QString()));
    if (primaryContainer)
        library.run(QStringLiteral("INSERT INTO db_info VALUES (?)"), {primaryContainer});

    SQLiteFixtureWriter locations(folder + QStringLiteral("/Locations.itdb"));
    locations.exec(QStringLiteral("CREATE TABLE base_location (id INTEGER PRIMARY KEY, path TEXT);"
                                  "CREATE TABLE location (item_pid INTEGER, base_location_id INTEGER, location TEXT,"
                                  " file_size REAL, kind_id)"));
    std::unique_ptr<SQLiteFixtureWriter> dynamic;
    if (dynamicDatabase) {
        dynamic = std::make_unique<SQLiteFixtureWriter>(folder + QStringLiteral("/Dynamic.itdb"));
        dynamic->exec(QStringLiteral("CREATE TABLE item_stats (item_pid INTEGER PRIMARY KEY, date_created INTEGER,"
                                     " date_played INTEGER, user_rating INTEGER, play_count_user INTEGER)"));
    }

    QHash<QString, qint64> genres;
    QHash<QString, qint64> bases;
    for (const Item& it : items) {
        QVariant genreID;
        if (!it.genre.isNull()) {
            if (!genres.contains(it.genre)) {
                genres.insert(it.genre, genres.size() + 1);
                library.run(QStringLiteral("INSERT INTO genre_map VALUES (?,?)"), {genres.value(it.genre), it.genre});
            }
            genreID = genres.value(it.genre);
        }
        QString columns = QStringLiteral("pid, media_kind, is_music_video, is_movie, is_voice_memo, is_podcast, is_itunes_u,"
                                         " album_artist, artwork_cache_id, total_time_ms, track_number, track_count, disc_number,"
                                         " disc_count, title, artist, album, genre_id, composer, year");
        QVariantList values = {it.pid, it.mediaKind, it.isMusicVideo, it.isMovie, it.isVoiceMemo, it.isPodcast, it.isITunesU,
                               text(it.albumArtist), it.artworkCacheID, it.totalTimeMs, it.trackNumber, it.trackCount,
                               it.discNumber, it.discCount, text(it.title), text(it.artist), text(it.album), genreID,
                               text(it.composer), it.year};
        if (tvShowColumn) { columns += QStringLiteral(", is_tv_show"); values << it.isTVShow; }
        if (descriptionLongColumn) { columns += QStringLiteral(", description_long"); values << text(it.descriptionLong); }
        library.run(QStringLiteral("INSERT INTO item (%1) VALUES (%2)").arg(columns, placeholders(values.size())), values);

        if (!it.basePath.isNull()) {
            if (!bases.contains(it.basePath)) {
                bases.insert(it.basePath, bases.size() + 1);
                locations.run(QStringLiteral("INSERT INTO base_location VALUES (?,?)"), {bases.value(it.basePath), it.basePath});
            }
            bool numeric = false;
            const qint64 kind = it.kindID.toLongLong(&numeric);
            locations.run(QStringLiteral("INSERT INTO location VALUES (?,?,?,?,?)"),
                          {it.pid, bases.value(it.basePath), text(it.location), it.fileSize, numeric ? QVariant(kind) : QVariant(it.kindID)});
        }
        if (dynamic)
            dynamic->run(QStringLiteral("INSERT INTO item_stats VALUES (?,?,?,?,?)"),
                         {it.pid, it.dateCreated, it.datePlayed, it.userRating, it.playCount});
    }
    for (const Container& c : containers) {
        QVariantList values = {c.pid, text(c.name), c.hidden ? 1 : 0, c.folder ? 1 : 0, c.genius ? 1 : 0, c.dynamic ? 1 : 0,
                               c.filtered ? 1 : 0, c.limited ? 1 : 0, c.distinguishedKind};
        QString columns = QStringLiteral("pid, name, is_hidden, smart_is_folder, smart_is_genius, smart_is_dynamic, smart_is_filtered,"
                                         " smart_is_limited, distinguished_kind");
        library.run(QStringLiteral("INSERT INTO container (%1) VALUES (%2)").arg(columns, placeholders(values.size())), values);
        for (qsizetype i = 0; i < c.items.size(); ++i) {
            library.run(QStringLiteral("INSERT INTO item_to_container VALUES (?,?,?)"), {c.items[i], c.pid, i + 1});
            library.run(QStringLiteral("INSERT INTO item_to_container_orig VALUES (?,?,?)"), {c.items[i], c.pid, i + 1});
        }
    }
    bool ok = library.commit();
    ok = locations.commit() && ok;
    if (dynamic)
        ok = dynamic->commit() && ok;
    if (!ok && error)
        *error = !library.ok() ? library.error() : !locations.ok() ? locations.error() : dynamic->error();
    return ok;
}
