// SPDX-License-Identifier: GPL-3.0-or-later
// The music library: six made-up albums of real, tagged audio files in the
// device's music folders, the media library database that lists them, and a
// few playlists, with a cover for every album; the folder of voice memos,
// still empty.
#include <QDir>

#include "DemoArtwork.h"
#include "DemoAudio.h"
#include "DemoCategory.h"
#include "MediaLibraryFixture.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

struct Album {
    const char* artist;
    const char* title;
    const char* genre;
    int year;
    const char* tracks[6];
};

// Made-up artists and albums: six albums of six tracks.
const Album kAlbums[] = {
    {"The Harbour Lights",
     "Low Tide Letters",
     "Indie",
     2019,
     {"Paper Boats", "Lantern Street", "Salt in the Air", "Quiet Pier", "Breakwater",
      "Letters Home"}},
    {"Mira Okonkwo",
     "Blue Hours",
     "Jazz",
     2021,
     {"Blue Hour", "Café Noir", "Late Tram", "Rain on Brass", "Slow Dance in June", "Nightcap"}},
    {"Northern Static",
     "Signal Fires",
     "Electronic",
     2022,
     {"Signal Fire", "Aurora Loop", "Cold Circuit", "Satellite Hum", "Polar Drift",
      "Daybreak Protocol"}},
    {"Lena Vasquez Trio",
     "Orchard Songs",
     "Folk",
     2018,
     {"Apple Orchard", "River Stones", "The Weaver", "Wild Thyme", "Harvest Moon Waltz",
      "Going Home"}},
    {"Paper Satellites",
     "Static Heart",
     "Rock",
     2020,
     {"Static Heart", "Highway Glow", "Neon Prayer", "Falling Upward", "Concrete Garden",
      "Last Train Out"}},
    {"Juniper & Ash",
     "Summer Radio",
     "Pop",
     2023,
     {"Summer Radio", "Golden Hour", "Polaroid", "Firefly", "Cherry Soda", "Stay a While"}},
};

constexpr qint64 kLibraryPid = 9000;
// Seconds since 2001-01-01 UTC: spring 2024, a few minutes apart.
constexpr qint64 kAddedBase = 733000000;

MediaLibraryFixture::Container playlist(qint64 pid, const char* name, const QList<qint64>& items)
{
    MediaLibraryFixture::Container c;
    c.pid = pid;
    c.name = QString::fromUtf8(name);
    c.items = items;
    return c;
}

bool describe(DemoContext& context, QString*)
{
    context.device()
        .afcFolder(QStringLiteral("Recordings"))
        .afcFolder(QStringLiteral("iTunes_Control/Artwork"));
    return true;
}

bool writeLibrary(DemoContext& context, QString* error)
{
    const QString afc = context.afcRoot();

    MediaLibraryFixture library;
    library.primaryContainer = kLibraryPid;
    QList<qint64> all;
    qint64 pid = 1001;
    int seed = 0;
    for (const Album& album : kAlbums) {
        for (int n = 0; n < 6; ++n, ++pid, ++seed) {
            // Files spread over the F00..F09 folders under four-letter names, as on a device.
            const QString base =
                QStringLiteral("iTunes_Control/Music/F%1").arg(seed % 10, 2, 10, QLatin1Char('0'));
            const QString name =
                QStringLiteral("%1.wav").arg(QString::number(0xB1C0 + seed * 37, 16).toUpper());
            if (!QDir().mkpath(afc + base)) {
                *error = QStringLiteral("could not make %1").arg(afc + base);
                return false;
            }
            const int seconds = 7 + (seed * 5) % 9;
            DemoAudio::Tags tags{QString::fromUtf8(album.tracks[n]),
                                 QString::fromUtf8(album.artist),
                                 QString::fromUtf8(album.title),
                                 QString::fromUtf8(album.genre),
                                 album.year,
                                 n + 1};
            const qint64 size = DemoAudio::writeTaggedTune(afc + base + QLatin1Char('/') + name,
                                                           seed, seconds, tags);
            if (size < 0) {
                *error = QStringLiteral("could not write the audio file %1")
                             .arg(afc + base + QLatin1Char('/') + name);
                return false;
            }
            MediaLibraryFixture::Item item;
            item.pid = pid;
            item.title = tags.title;
            item.artist = tags.artist;
            item.albumArtist = tags.artist;
            item.album = tags.album;
            item.genre = tags.genre;
            item.basePath = base;
            item.location = name;
            item.durationMs = DemoAudio::tuneDurationMs(seconds);
            item.fileSize = size;
            item.trackNumber = n + 1;
            item.trackCount = 6;
            item.discNumber = 1;
            item.discCount = 1;
            item.year = album.year;
            item.bitRate = 64;
            item.dateAdded = kAddedBase + seed * 300;
            item.dateCreated = item.dateAdded;
            item.playCount = (seed * 7) % 23;
            item.rating = ((seed * 3) % 6) * 20;
            library.items << item;
            all << pid;
        }
    }
    library.containers << playlist(kLibraryPid, "Library", all)
                       << playlist(9001, "Road Trip",
                                   {1025, 1013, 1026, 1001, 1030, 1014, 1005, 1028})
                       << playlist(9002, "Evening Jazz", {1007, 1008, 1009, 1010, 1011, 1012})
                       << playlist(9003, "Focus", {1013, 1014, 1015, 1016, 1017, 1018, 1021})
                       << playlist(9004, "Sunday Morning", {1019, 1022, 1024, 1002, 1004, 1034});
    if (!addArtwork(afc, library, error))
        return false;
    QString sqlError;
    if (!QDir().mkpath(afc + QStringLiteral("iTunes_Control/iTunes"))
        || !library.write(afc + QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb"),
                          &sqlError)) {
        *error = QStringLiteral("could not write the media library: %1").arg(sqlError);
        return false;
    }
    if (Summary* summary = context.summary()) {
        summary->tracks = library.items.size();
        summary->playlists = library.containers.size() - 1;
    }
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("music"), describe, writeLibrary});

} // namespace

} // namespace DemoDevice
