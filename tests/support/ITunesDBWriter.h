// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// Builds an iTunesDB of our own: mhbd, the sections (mhsd) with the track list
// (mhlt, mhit with mhod strings in UTF-16 and in 8-bit text) and the playlist
// list (mhlp, mhyp with its title and data objects, mhip items).
struct ITunesDBWriter {
    struct Track {
        quint32 id = 0;
        QString title;
        QString path;            // with ":" separators, as the device writes it
        QString album;
        QString artist;
        QString genre;
        QString composer;
        QString descriptionLong;
        QString albumArtist;
        QByteArray podcastURL;   // type 15, 8-bit
        qint8 rating = 0;
        quint32 dateAdded = 0;   // seconds since 1904
        quint32 fileSize = 0;
        quint32 durationMs = 0;
        quint32 trackNumber = 0;
        quint32 trackCount = 0;
        quint32 year = 0;
        quint32 bitRate = 0;
        quint32 playCount = 0;
        quint32 lastPlayed = 0;
        quint32 mediaKind = 1;
        quint32 artworkID = 0;
        quint32 headerLength = 356;   // 244: an old header without kind and artwork
        QList<quint32> extraTypes;    // further data objects of these types (e.g. 7, 16)
    };
    struct Item {
        quint32 trackID = 0;
        quint32 member = 1;      // the value at offset 28: iTunes writes a time, other writers 0
        quint32 podcastGrouping = 0;   // offset 16; 256: a podcast group header
    };
    struct Playlist {
        QString title;
        quint32 dataObjects = 3; // 3 plain, 4 mix, 5 smart, 6 Genius
        bool master = false;
        QList<Item> items;
    };

    QList<Track> tracks;
    QList<Playlist> playlists;
    quint32 trackSectionType = 1;       // 1 or 6
    QList<quint32> extraSectionTypes;   // skipped sections written between tracks and playlists
    bool playlistSection = true;

    // The file, and the offset of every chunk's first byte in it.
    QByteArray build(std::vector<qsizetype>* chunkStarts = nullptr) const;
    // An iTunesCDB of the same content: the mhbd header, then the rest as one zlib stream.
    static QByteArray toCDB(const QByteArray& iTunesDB);
};
