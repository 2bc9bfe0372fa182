// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryITunesDBReader.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include <QFileInfo>

#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELBinaryFileHandle.h"
#include "QELDeviceMediaLibrary.h"
#include "ThreadCheck.h"

namespace {

// The value at offset 16 of a playlist item that heads a group of podcast episodes.
constexpr quint32 kPodcastGroupHeader = 256;

// A length the file declares for a chunk fits when the chunk, from the bytes
// of it already read, stays inside the file.
bool fits(const QELBinaryFileHandle& handle, quint64 declared, quint64 readSoFar)
{
    return declared >= readSoFar && declared - readSoFar <= handle.bytesLeft();
}

// Skips forward; lengths were checked against the file before.
void skip(QELBinaryFileHandle& handle, qint64 count)
{
    while (count > 0) {
        const int step = static_cast<int>(std::min<qint64>(count, 1 << 30));
        handle.skipBytes(step);
        count -= step;
    }
}

} // namespace

bool QELMediaLibraryITunesDBReader::fail(const QString& text)
{
    _fireReadCompleteEventWithSuccessAndErrorInformation(false, text);
    return false;
}

bool QELMediaLibraryITunesDBReader::readMediaLibrary()
{
    assertNotOnGuiThread();
    if (_libraryDirectory.isEmpty())
        return fail(QStringLiteral("_libraryDirectory parameter not specified."));
    _fireReadProgressEventWithInfo(L("READINGMEDIALIBRARY"));
    const QString path = _libraryDirectory + QLatin1Char('/') + m_filePath;
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("iTunesDB missing"));
    QELBinaryFileHandle handle(path);
    if (!handle.isOpen() || handle.readStringOfLength(4) != QLatin1String("mhbd"))
        return false;
    const quint32 headerLength = handle.readUInt32();
    handle.skipBytes(8);
    handle.readUInt32(); // version
    qint32 sections = handle.readInt32();
    if (handle.hitEnd() || headerLength < 24 || headerLength > handle.size())
        return fail(QStringLiteral("mhsd header not found"));
    handle.setPosition(headerLength);

    // Playlists stand in the type 3 section (podcasts grouped) and, in older
    // databases and those written by other programs, only in the type 2 one.
    // Type 2 is read when the file has no type 3.
    bool readPlaylistSection = false;
    std::optional<quint64> plainPlaylistSection;
    while (sections > 0 && !cancelRead()) {
        --sections;
        handle.resetByteCount();
        if (handle.readStringOfLength(4) != QLatin1String("mhsd"))
            return fail(QStringLiteral("mhsd header not found"));
        const quint32 sectionHeader = handle.readUInt32();
        const quint32 sectionTotal = handle.readUInt32();
        const quint32 type = handle.readUInt32();
        if (handle.hitEnd() || sectionHeader < 16 || !fits(handle, sectionHeader, 16))
            return fail(QStringLiteral("mhsd header not found"));
        skip(handle, sectionHeader - handle.byteCount());
        if (type == 1 || type == 6) {
            if (!_readMHLTFromHandleWithTotalSize(handle, sectionTotal))
                return fail(QStringLiteral("iTunesDB ReadiTunesDB_MHLT fails\r\n"));
        } else if (type == 3) {
            readPlaylistSection = true;
            _readMHLPFromHandle(handle);
        } else {
            if (type == 2 && !plainPlaylistSection)
                plainPlaylistSection = handle.position();
            if (!fits(handle, sectionTotal, handle.byteCount()))
                return fail(QStringLiteral("mhsd header not found"));
            skip(handle, static_cast<qint64>(sectionTotal) - handle.byteCount());
        }
    }
    if (!readPlaylistSection && plainPlaylistSection && !cancelRead()) {
        handle.setPosition(*plainPlaylistSection);
        _readMHLPFromHandle(handle);
    }
    handle.closeFile();
    QString error;
    if (!managedObjectContext()->save(&error))
        return fail(QStringLiteral("Failed to save managedObjectConext.\r\n%1").arg(error));
    _fireReadCompleteEventWithSuccessAndErrorInformation(true, QString());
    return true;
}

bool QELMediaLibraryITunesDBReader::_readMHLTFromHandleWithTotalSize(QELBinaryFileHandle& handle,
                                                                     quint32)
{
    _fireReadProgressEventWithInfo(L("READINGTRACKINFORMATION"));
    handle.resetByteCount();
    if (handle.readStringOfLength(4) != QLatin1String("mhlt"))
        return fail(QStringLiteral("mhlt check fail\r\n"));
    const quint32 headerLength = handle.readUInt32();
    const quint32 trackCount = handle.readUInt32();
    if (handle.hitEnd() || !fits(handle, headerLength, handle.byteCount()))
        return fail(QStringLiteral("mhlt check fail\r\n"));
    skip(handle, static_cast<qint64>(headerLength) - handle.byteCount());

    for (quint32 i = 0; i < trackCount; ++i) {
        handle.resetByteCount();
        // A count larger than the records present meets the end of the file
        // (or the next section) here and fails like any damaged record.
        if (handle.readStringOfLength(4) != QLatin1String("mhit"))
            return fail(QStringLiteral("mhit check fail\r\n"));
        const quint32 recordHeader = handle.readUInt32();
        const quint32 recordTotal = handle.readUInt32();
        const quint32 dataObjects = handle.readUInt32();
        if (handle.hitEnd() || recordHeader < 120 || recordTotal < recordHeader
            || !fits(handle, recordTotal, 16))
            return fail(QStringLiteral("mhit check fail\r\n"));
        TrackDetailPtr track = _createNewTrackDetailObject();
        TrackDetail& t = *track;
        const quint32 songID = handle.readUInt32();
        t.songID = songID;
        t.persistentID = QString::number(songID);
        handle.skipBytes(11);
        t.userRating = handle.readByte();
        const quint32 added = handle.readUInt32();
        if (added != 0)
            t.dateCreated = DeviceTime::fromMacHfsSeconds(added);
        t.fileSize = handle.readUInt32();
        t.duration = handle.readUInt32();
        t.trackNumber = handle.readUInt32();
        t.trackCount = handle.readUInt32();
        t.year = handle.readUInt32();
        t.bitRate = handle.readUInt32();
        handle.skipBytes(20);
        t.playCount = handle.readUInt32();
        handle.skipBytes(4);
        const quint32 played = handle.readUInt32();
        if (played != 0)
            t.datePlayed = DeviceTime::fromMacHfsSeconds(played);
        handle.skipBytes(20);
        handle.readInt64();
        // The media kind sits at offset 208 of every header that reaches it
        // (244 and 328 bytes as well as the 356 and longer ones); the
        // artwork id at 352 only in the longest.
        if (recordHeader >= 212) {
            handle.skipBytes(88);
            const quint32 kind = handle.readUInt32();
            t.mediaKind = kind;
            if (kind == 32 || kind == 64 || kind == 2 || kind == 6 || kind == 1024)
                t.hasVideo = true;
            if (kind == 4)
                t.isPodcast = true;
            if (kind == 64)
                t.isTVShow = true;
            if (recordHeader >= 356) {
                handle.skipBytes(140);
                t.artworkId = handle.readUInt32();
            }
        }
        if (handle.byteCount() < recordHeader)
            skip(handle, static_cast<qint64>(recordHeader) - handle.byteCount());
        quint64 runningTotal = handle.byteCount();
        if (!m_tracksBySongID.contains(songID))
            m_tracksBySongID.insert(songID, track);

        for (quint32 d = 0; d < dataObjects; ++d) {
            handle.resetByteCount();
            if (handle.readStringOfLength(4) != QLatin1String("mhod"))
                return fail(QStringLiteral("mhod check fail\r\n"));
            handle.skipBytes(4);
            const quint32 total = handle.readUInt32();
            const quint32 type = handle.readUInt32();
            if (handle.hitEnd() || total < 16 || !fits(handle, total, 16))
                return fail(QStringLiteral("mhod check fail\r\n"));
            static const quint32 readTypes[] = {1, 2, 3, 4, 5, 6, 8, 12, 13, 14, 15, 22};
            if (std::find(std::begin(readTypes), std::end(readTypes), type)
                == std::end(readTypes)) {
                skip(handle, static_cast<qint64>(total) - 16);
            } else {
                QString text;
                if (type == 15) {
                    if (total < 24)
                        return fail(QStringLiteral("mhod check fail\r\n"));
                    handle.skipBytes(8);
                    text = handle.readStringOfLength(static_cast<int>(total - 24));
                } else {
                    if (total < 40)
                        return fail(QStringLiteral("mhod check fail\r\n"));
                    handle.skipBytes(24);
                    text = handle.readUTF16StringOfLength(static_cast<int>(total - 40));
                }
                switch (type) {
                case 1:
                    t.trackName = text;
                    break;
                case 2:
                    t.path = text.replace(QLatin1Char(':'), QLatin1Char('/'));
                    break;
                case 3:
                    t.album = text;
                    break;
                case 4:
                    t.artist = text;
                    break;
                case 5:
                    t.genre = text;
                    break;
                case 12:
                    t.composer = text;
                    break;
                case 14:
                    t.descriptionLong = text;
                    break;
                case 15:
                    t.podcastShowURL = text;
                    break;
                case 22:
                    t.album_artist = text;
                    break;
                default:
                    break; // 6, 8 and 13 are read and dropped
                }
                if (handle.byteCount() < total)
                    skip(handle, static_cast<qint64>(total) - handle.byteCount());
            }
            if (handle.hitEnd())
                return fail(QStringLiteral("mhod check fail\r\n"));
            runningTotal += handle.byteCount();
        }
        if (runningTotal < recordTotal) {
            if (!fits(handle, recordTotal, runningTotal))
                return fail(QStringLiteral("mhit check fail\r\n"));
            skip(handle, static_cast<qint64>(recordTotal - runningTotal));
        }
    }
    return true;
}

bool QELMediaLibraryITunesDBReader::hasSmartRulesAhead(QELBinaryFileHandle& handle)
{
    // Looks at the data objects before the first item without consuming them.
    constexpr quint32 kSmartPreferences = 50;
    constexpr quint32 kSmartRules = 51;
    const quint64 start = handle.position();
    bool found = false;
    for (int n = 0; n < 16 && handle.bytesLeft() >= 16; ++n) {
        if (handle.readStringOfLength(4) != QLatin1String("mhod"))
            break;
        handle.skipBytes(4);
        const quint32 total = handle.readUInt32();
        const quint32 type = handle.readUInt32();
        if (type == kSmartPreferences || type == kSmartRules) {
            found = true;
            break;
        }
        if (total < 16 || total - 16 > handle.bytesLeft())
            break;
        skip(handle, static_cast<qint64>(total) - 16);
    }
    handle.setPosition(start);
    return found;
}

bool QELMediaLibraryITunesDBReader::_readMHLPFromHandle(QELBinaryFileHandle& handle)
{
    if (cancelRead())
        return true;
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    _fireReadProgressEventWithInfo(L("READINGPLAYLISTS"));
    handle.resetByteCount();
    if (handle.readStringOfLength(4) != QLatin1String("mhlp"))
        return fail(QStringLiteral("mhlp check fail\r\n"));
    const quint32 listHeader = handle.readUInt32();
    const quint32 playlistCount = handle.readUInt32();
    if (handle.hitEnd() || !fits(handle, listHeader, handle.byteCount()))
        return fail(QStringLiteral("mhlp check fail\r\n"));
    skip(handle, static_cast<qint64>(listHeader) - handle.byteCount());
    handle.resetByteCount();
    qint64 containerCounter = 1;
    static const QString iTunesU = QStringLiteral("iTunes") + QChar(0x00A0) + QStringLiteral("U");

    for (quint32 p = 0; p < playlistCount && !cancelRead(); ++p) {
        handle.resetByteCount();
        if (handle.readStringOfLength(4) != QLatin1String("mhyp"))
            return fail(QStringLiteral("mhyp check fail\r\n"));
        PlaylistPtr playlist = _createNewPlaylistObject();
        playlist->containerPID = QString::number(containerCounter++);
        const quint32 headerLength = handle.readUInt32();
        const quint32 totalLength = handle.readUInt32();
        const quint32 dataObjects = handle.readUInt32();
        const quint32 itemCount = handle.readUInt32();
        const quint32 flags = handle.readUInt32();
        if (handle.hitEnd() || headerLength < 24 || totalLength < headerLength
            || !fits(handle, headerLength, 24)) {
            store->deletePlaylist(playlist);
            return fail(QStringLiteral("mhyp check fail\r\n"));
        }
        playlist->isMaster = (flags & 1) != 0;
        skip(handle, static_cast<qint64>(headerLength) - handle.byteCount());
        const quint32 headerBytes = handle.byteCount();
        handle.resetByteCount();

        if (handle.readStringOfLength(4) != QLatin1String("mhod")) {
            store->deletePlaylist(playlist);
            return false;
        }
        handle.skipBytes(24);
        const quint32 titleLength = handle.readUInt32();
        handle.skipBytes(8);
        if (handle.hitEnd() || titleLength > handle.bytesLeft()) {
            store->deletePlaylist(playlist);
            return false;
        }
        playlist->name = handle.readUTF16StringOfLength(static_cast<int>(titleLength));
        _firePlaylistName(playlist->name);
        const quint32 titleBytes = handle.byteCount();

        // Four data objects are an iTunes mix, or a smart playlist written by
        // other iPod programs (title, smart preferences, smart rules, view
        // settings) whose items are its tracks: the rules tell them apart.
        const bool smartRules = dataObjects == 4 && hasSmartRulesAhead(handle);

        switch (dataObjects) {
        case 3:
            setPlaylistIcon(*playlist, QStringLiteral("cat_playlist"));
            break;
        case 4:
            if (smartRules)
                playlist->smartIsDynamic = true;
            else
                playlist->smartIsMix = true;
            setPlaylistIcon(*playlist, QStringLiteral("cat_smart_playlist"));
            break;
        case 5:
            playlist->smartIsDynamic = true;
            setPlaylistIcon(*playlist, QStringLiteral("cat_smart_playlist"));
            break;
        case 6:
            playlist->smartIsGenius = true;
            setPlaylistIcon(*playlist, QStringLiteral("cat_genius_selection"));
            break;
        default:
            qCInfo(lcOrvane).noquote()
                << QStringLiteral("Playlist type %1 named %2").arg(dataObjects).arg(playlist->name);
            break;
        }

        if (itemCount == 0 || playlist->smartIsMix.has_value()) {
            const qint64 rest = static_cast<qint64>(totalLength) - headerBytes - titleBytes;
            if (rest > 0) {
                if (static_cast<quint64>(rest) > handle.bytesLeft()) {
                    store->deletePlaylist(playlist);
                    return fail(QStringLiteral("mhyp check fail\r\n"));
                }
                skip(handle, rest);
            }
            store->deletePlaylist(playlist);
            continue;
        }

        const bool ordered = QELDeviceMediaLibrary::isPlaylistsToBeSorted(*playlist);
        QList<quint32> songIDs;
        qint64 orderIndex = 0;
        quint32 items = 0;
        while (items < itemCount) {
            handle.resetByteCount();
            const QString tag = handle.readStringOfLength(4);
            if (tag != QLatin1String("mhod") && tag != QLatin1String("mhip"))
                return fail(QStringLiteral("mhod / mhip check fail\r\n"));
            const quint32 chunkHeader = handle.readUInt32();
            const quint32 chunkTotal = handle.readUInt32();
            if (handle.hitEnd())
                return fail(QStringLiteral("mhod / mhip check fail\r\n"));
            if (tag == QLatin1String("mhod")) {
                if (!fits(handle, chunkTotal, 12))
                    return fail(QStringLiteral("mhod / mhip check fail\r\n"));
                skip(handle, static_cast<qint64>(chunkTotal) - 12);
                continue;
            }
            ++items;
            if (chunkHeader < 32 || !fits(handle, chunkHeader, 12))
                return fail(QStringLiteral("mhod / mhip check fail\r\n"));
            handle.skipBytes(4);
            const quint32 podcastGrouping = handle.readUInt32();
            handle.skipBytes(4);
            const quint32 songID = handle.readUInt32();
            const quint32 addedTime = handle.readUInt32();
            skip(handle, static_cast<qint64>(chunkHeader) - handle.byteCount());
            // iTunes writes the time an item was added at offset 28; other iPod
            // writers leave 0 there, so an item that names a track read above is a
            // member too. A podcast group header names its group, never a track.
            if (podcastGrouping != kPodcastGroupHeader
                && (addedTime != 0 || m_tracksBySongID.contains(songID)))
                songIDs.append(songID);
            handle.resetByteCount();
            if (handle.readStringOfLength(4) == QLatin1String("mhod")) {
                handle.skipBytes(4);
                const quint32 childTotal = handle.readUInt32();
                if (handle.hitEnd() || !fits(handle, childTotal, 12))
                    return fail(QStringLiteral("mhod / mhip check fail\r\n"));
                skip(handle, static_cast<qint64>(childTotal) - 12);
            }
            if (ordered) {
                PlaylistOrderPtr order = _createNewPlaylistOrderObject();
                order->containerPID = playlist->containerPID;
                order->index = orderIndex;
                order->persistentID = QString::number(songID);
                if (TrackDetailPtr track = m_tracksBySongID.value(songID)) {
                    order->persistentID = track->persistentID;
                    order->relationshipTrack = track;
                }
            }
            ++orderIndex;
        }
        if (!playlist->isMaster) {
            QStringList ids;
            ids.reserve(songIDs.size());
            // A track's persistentID is the decimal text of its songID.
            for (quint32 id : songIDs)
                ids.append(QString::number(id));
            playlist->addTracks(store->tracksWithPersistentIDs(ids));
        }
        if (playlist->name == iTunesU) {
            for (const TrackDetailPtr& track : playlist->tracks()) {
                track->isITunesU = true;
                track->mediaKind = 4;
            }
            playlist->isHidden = true;
        }
        _firePlaylistName(QStringLiteral(""));
    }
    return true;
}
