// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// Writes the Library.itdb set (Library.itdb, Locations.itdb and optionally
// Dynamic.itdb) into a folder, with the items and containers a test gives.
struct LibraryItdbFixture {
    struct Item {
        qint64 pid = 0;
        QString title;
        QString artist;
        QString album;
        QString albumArtist;
        QString genre;
        QString composer;
        qint64 mediaKind = 1;
        qint64 isMusicVideo = 0;
        qint64 isMovie = 0;
        qint64 isTVShow = 0;
        qint64 isVoiceMemo = 0;
        qint64 isPodcast = 0;
        qint64 isITunesU = 0;
        double totalTimeMs = 0;
        qint64 trackNumber = 0;
        qint64 trackCount = 0;
        qint64 discNumber = 0;
        qint64 discCount = 0;
        qint64 year = 0;
        qint64 artworkCacheID = 0;
        QString descriptionLong;
        // Location row; no row when basePath is null.
        QString basePath = QStringLiteral("iTunes_Control/Music/F00");
        QString location;
        double fileSize = 0;
        QString kindID = QStringLiteral("1");   // text, as some versions keep it
        // Dynamic.itdb statistics
        qint64 dateCreated = 0;
        qint64 datePlayed = 0;
        qint64 userRating = 0;
        qint64 playCount = 0;
    };
    struct Container {
        qint64 pid = 0;
        QString name;
        QList<qint64> items;   // physical order
        bool hidden = false;
        bool folder = false;
        bool genius = false;
        bool dynamic = false;
        bool filtered = false;
        bool limited = false;
        qint64 distinguishedKind = 0;
    };

    bool tvShowColumn = true;        // item.is_tv_show
    bool descriptionLongColumn = true;
    bool dynamicDatabase = true;     // write Dynamic.itdb
    bool membersByName = false;      // container has item_to_container_orig: members found by name
    QList<Item> items;
    QList<Container> containers;
    qint64 primaryContainer = 0;

    bool write(const QString& folder, QString* error = nullptr) const;
};
