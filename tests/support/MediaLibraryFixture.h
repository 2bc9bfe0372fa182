// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Writes a MediaLibrary.sqlitedb in one of the schema variants that the
// reader's probes tell apart, with the items and playlists a test gives.
struct MediaLibraryFixture {
    struct Schema {
        bool podcastInItemExtra = true;     // else in item when podcastInItem
        bool podcastInItem = false;
        bool iTunesUInItemExtra = true;
        bool iTunesUInItem = false;
        bool audiobookColumn = true;        // item_extra.is_audible_audio_book
        bool itemPlayback = true;           // item_playback.bit_rate
        bool artworkCacheID = true;         // item_extra.artwork_cache_id
        bool itemArtwork = false;           // item_artwork + artwork
        bool artworkToken = false;          // artwork_token + best_artwork_token + artwork
        bool compilationInItemExtra = true; // else item.is_compilation
        bool dateCreatedInItemExtra = true; // else item.date_added
        bool itemStore = true;              // item_store.is_protected, feed_url
        bool itemVideo = true;              // item_video rows for items with videoRow
        bool containedMediaType = true;
        bool playOrder = true;
        bool locationKindMap = true;
        bool containers = true;             // container tables at all
    };
    struct Item {
        qint64 pid = 0;
        QString title;
        QString artist;         // null: no item_artist row
        QString albumArtist;
        QString album;
        QString genre;
        QString composer;
        qint64 mediaKind = 1;
        QString basePath = QStringLiteral("iTunes_Control/Music/F00");
        QString location;       // empty: lives in iCloud
        qint64 durationMs = 0;
        qint64 fileSize = 0;
        qint64 trackNumber = 0;
        qint64 trackCount = 0;
        qint64 discNumber = 0;
        qint64 discCount = 0;
        qint64 year = 0;
        qint64 bitRate = 0;
        qint64 dateCreated = 0; // seconds since 2001
        qint64 dateAdded = 0;
        qint64 datePlayed = 0;
        qint64 playCount = 0;
        qint64 rating = 0;
        qint64 isPodcast = 0;
        qint64 isITunesU = 0;
        qint64 isAudiobook = 0;
        qint64 isProtected = 0;
        QString feedURL;
        QString description;
        QString descriptionLong;
        qint64 artworkCacheID = 0;
        QString artworkPath;    // relative path of the artwork, when the schema has artwork tables
        bool videoRow = false;
        qint64 seasonNumber = 0;
    };
    struct Container {
        qint64 pid = 0;
        QString name;
        QList<qint64> items;    // device order
        bool hidden = false;
        bool genius = false;
        bool dynamic = false;
        bool folder = false;
        bool ignoredSyncing = false;
        qint64 distinguishedKind = 0;
        qint64 containedMediaType = 0;
        qint64 playOrder = 0;
        QString artworkPath;
        QByteArray rawItemData;  // used instead of `items` when not empty
    };

    Schema schema;
    QList<Item> items;
    QList<Container> containers;
    qint64 primaryContainer = 0;   // 0: no db_info row

    // Writes the database; false (with the reason) when SQLite refused.
    bool write(const QString& path, QString* error = nullptr) const;

    // Packs ids as the device does: 8 little-endian bytes each.
    static QByteArray packIDs(const QList<qint64>& ids);
};
