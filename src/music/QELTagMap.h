// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>
#include <QString>

// The tag values of one audio file, as a reader found them or as a writer is
// to write them. Every field is optional: absent (a null string, an empty
// optional, a null image) means the reader found nothing and tells the
// writer to leave that value in the file alone. It checks nothing: any value
// may be stored in any field. Numbers are held as the caller gives them; the
// copy keeps their 32-bit integer value, as the writers do.
class QELTagMap {
public:
    // What the artwork is, or what a writer is to do with it.
    enum ArtworkStates : qint32 {
        kArtworkNone = 0,     // no cover found, or: leave the artwork alone
        kArtworkEmbedded = 1, // the file has a cover, now in Artwork()
        kArtworkEmbed = 2,    // embed the image at ArtworkPath() as the cover
        kArtworkEmbedToo = 3, // as 2
        kArtworkRemove = 4,   // remove the embedded cover
    };

    QELTagMap() = default;
    // The copy's image shares nothing with the original, and its numbers are
    // the original's signed 32-bit integer values (2.7 becomes 2).
    QELTagMap(const QELTagMap& other);
    QELTagMap& operator=(const QELTagMap& other);
    QELTagMap(QELTagMap&&) = default;
    QELTagMap& operator=(QELTagMap&&) = default;
    ~QELTagMap() = default;

    bool ArtworkAttempted() const { return m_artworkAttempted; }
    void setArtworkAttempted(bool attempted) { m_artworkAttempted = attempted; }
    qint32 ArtworkState() const { return m_artworkState; }
    void setArtworkState(qint32 state) { m_artworkState = state; }
    const QString& AlbumArtist() const { return m_albumArtist; }
    void setAlbumArtist(const QString& text) { m_albumArtist = text; }
    const QString& AlbumName() const { return m_albumName; }
    void setAlbumName(const QString& text) { m_albumName = text; }
    const QString& ArtistName() const { return m_artistName; }
    void setArtistName(const QString& text) { m_artistName = text; }
    // The embedded cover as read; the writers never write it.
    const QImage& Artwork() const { return m_artwork; }
    void setArtwork(const QImage& image) { m_artwork = image; }
    // The embedded cover's bytes and MIME type as the file holds them; the
    // writers ignore them.
    const QByteArray& ArtworkData() const { return m_artworkData; }
    void setArtworkData(const QByteArray& data) { m_artworkData = data; }
    const QString& ArtworkMimeType() const { return m_artworkMimeType; }
    void setArtworkMimeType(const QString& type) { m_artworkMimeType = type; }
    // A local image file, or a web address beginning with "http", to embed.
    const QString& ArtworkPath() const { return m_artworkPath; }
    void setArtworkPath(const QString& path) { m_artworkPath = path; }
    const QString& Comment() const { return m_comment; }
    void setComment(const QString& text) { m_comment = text; }
    const std::optional<bool>& Compilation() const { return m_compilation; }
    void setCompilation(const std::optional<bool>& flag) { m_compilation = flag; }
    const QString& Composer() const { return m_composer; }
    void setComposer(const QString& text) { m_composer = text; }
    const std::optional<double>& DiscNumber() const { return m_discNumber; }
    void setDiscNumber(const std::optional<double>& number) { m_discNumber = number; }
    const std::optional<double>& DiscTotal() const { return m_discTotal; }
    void setDiscTotal(const std::optional<double>& number) { m_discTotal = number; }
    const QString& Genre() const { return m_genre; }
    void setGenre(const QString& text) { m_genre = text; }
    const QString& Grouping() const { return m_grouping; }
    void setGrouping(const QString& text) { m_grouping = text; }
    // Carried by the copy; neither read from nor written to files.
    const QString& ReleaseMBID() const { return m_releaseMBID; }
    void setReleaseMBID(const QString& text) { m_releaseMBID = text; }
    const std::optional<double>& ReleaseYear() const { return m_releaseYear; }
    void setReleaseYear(const std::optional<double>& number) { m_releaseYear = number; }
    const QString& TrackName() const { return m_trackName; }
    void setTrackName(const QString& text) { m_trackName = text; }
    const std::optional<double>& TrackNumber() const { return m_trackNumber; }
    void setTrackNumber(const std::optional<double>& number) { m_trackNumber = number; }
    const std::optional<double>& TrackTotal() const { return m_trackTotal; }
    void setTrackTotal(const std::optional<double>& number) { m_trackTotal = number; }

private:
    bool m_artworkAttempted = false;
    qint32 m_artworkState = kArtworkNone;
    QString m_albumArtist;
    QString m_albumName;
    QString m_artistName;
    QImage m_artwork;
    QByteArray m_artworkData;
    QString m_artworkMimeType;
    QString m_artworkPath;
    QString m_comment;
    std::optional<bool> m_compilation;
    QString m_composer;
    std::optional<double> m_discNumber;
    std::optional<double> m_discTotal;
    QString m_genre;
    QString m_grouping;
    QString m_releaseMBID;
    std::optional<double> m_releaseYear;
    QString m_trackName;
    std::optional<double> m_trackNumber;
    std::optional<double> m_trackTotal;
};
