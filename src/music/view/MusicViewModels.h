// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

#include <QAbstractItemModel>
#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "Playlist.h"
#include "TrackDetail.h"

// The models of the music view and the rules they show. They hold no
// widgets, do no I/O and change on the GUI thread only.
namespace MusicView {

// Not in iCloud only and not an Apple Music track: the tracks that can be
// played, copied and transferred.
bool isLocalTrack(const TrackDetail* track);
QList<TrackDetailPtr> localTracks(const QList<TrackDetailPtr>& tracks);

// Artist, album (both ignoring case), disc number, track number; stable.
void sortByDefaultOrder(QList<TrackDetailPtr>& tracks);

// The count line: "TRACKCOUNT" with the count and "" or "s", then
// "SELECTEDTRACKCOUNT" with the selected count when any is selected.
QString trackCountText(qsizetype listed, qsizetype selected);

// What the preview player plays: with nothing selected every listed track,
// with one selected the listed tracks from it to the end, with several the
// selected ones; local tracks only, in order. `selectedRows` are rows of
// `listed`, in any order.
QList<TrackDetailPtr> playbackList(const QList<TrackDetailPtr>& listed, QList<int> selectedRows);

// The icon of a track's status column, first match wins: the playing track,
// copied, copy failed, then the computer's library (in it, in it remotely);
// an iCloud-only track shows the iCloud mark and an Apple Music track the
// lock whatever came before, unless it plays. `historyCode` is the copy
// history's answer (0 never, 1 failed, 2 copied), `indexAnswer` the music
// library index's (0 absent, 1 there, 2 remote).
enum class StatusIcon {
    None,
    Playing,
    Copied,
    CopyFailed,
    InLibrary,
    InLibraryRemotely,
    ICloud,
    AppleMusic
};
StatusIcon statusIcon(const TrackDetail& track, const QString& playingID, qint64 historyCode,
                      int indexAnswer);
// The image resource of an icon (":/music/greenchecknew.svg"); empty for None.
QString statusIconResource(StatusIcon icon);
// "ratings_1" … "ratings_5" for a rating of 20 … 100; empty otherwise.
QString ratingIconResource(std::optional<qint64> rating);

// The heading keys of the source list, in the order they may appear.
inline const QString kLibrary = QStringLiteral("LIBRARY");
inline const QString kReports = QStringLiteral("REPORTS");
inline const QString kPlaylists = QStringLiteral("PLAYLISTS");
inline const QString kGenius = QStringLiteral("GENIUS");

// The source list: headings (keys) and the playlists under each.
struct SourceGroups {
    QStringList headings;
    QHash<QString, QList<PlaylistPtr>> children;
};
// The media store's playlists grouped under LIBRARY, REPORTS, PLAYLISTS (when
// any) and GENIUS (when any): library kinds, then genius lists, then the
// rest; report lists made by the view are left out of the walk and `reports`
// go under REPORTS. A playlist without a local track is left out unless
// iCloud items are shown.
SourceGroups groupPlaylists(const QList<PlaylistPtr>& playlists, bool showICloudItems,
                            const QList<PlaylistPtr>& reports);

// The source list as a two-level tree: headings (selectable, so that
// choosing one selects its playlists) and their playlists.
class SourceListModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { IsHeadingRole = Qt::UserRole + 1, HeadingKeyRole };
    explicit SourceListModel(QObject* parent = nullptr);

    void setGroups(SourceGroups groups);
    const SourceGroups& groups() const { return m_groups; }
    // The playlist of a row; none for a heading.
    PlaylistPtr playlistAt(const QModelIndex& index) const;
    bool isHeading(const QModelIndex& index) const;
    QString headingKey(const QModelIndex& index) const;
    QModelIndex headingIndex(const QString& key) const;
    // The row of a playlist; invalid when it is not listed.
    QModelIndex indexOf(const Playlist* playlist) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    SourceGroups m_groups;
};

// One browse list (genres, artists or albums): the summary row first.
class BrowseListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit BrowseListModel(QObject* parent = nullptr);
    void setValues(const QStringList& values);
    const QStringList& values() const { return m_values; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_values;
};

// The track table, one row per track.
class TrackTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        StatusColumn,
        NameColumn,
        TimeColumn,
        ArtistColumn,
        AlbumColumn,
        GenreColumn,
        RatingColumn,
        PlayCountColumn,
        DateAddedColumn,
        DatePlayedColumn,
        BitRateColumn,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole + 1;
    // The columns' identifiers ("dynamicStatusColumn", "ratingsColumn", …).
    static QString columnIdentifier(int column);

    explicit TrackTableModel(QObject* parent = nullptr);

    void setTracks(QList<TrackDetailPtr> tracks);
    const QList<TrackDetailPtr>& tracks() const { return m_tracks; }
    TrackDetailPtr trackAt(int row) const;
    // The playing track's identifier; the status column follows it.
    void setPlayingID(const QString& persistentID);
    QString playingID() const { return m_playingID; }
    // In-memory answers of the copy history and of the library index; none:
    // never copied, not in the library.
    void setHistoryAnswer(std::function<qint64(const QString& persistentID)> answer);
    void setIndexAnswer(std::function<int(const TrackDetail& track)> answer);
    // The marks changed (a copy ended, the history was cleared).
    void statusChanged();
    // Sorts by a column's raw values, ties kept in their order.
    void sortByColumn(int column, Qt::SortOrder order);
    // The same in steps, for a sort on a worker: the key of a column (it
    // keeps copies of what it needs, so any thread may call it), the sort
    // itself, and the order handed back (false when the rows changed since).
    std::function<QVariant(const TrackDetail&)> sortKey(int column) const;
    static QList<TrackDetailPtr> sortedTracks(
        QList<TrackDetailPtr> tracks, const std::function<QVariant(const TrackDetail&)>& key,
        Qt::SortOrder order);
    bool applyOrder(const QList<TrackDetailPtr>& sorted);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    StatusIcon statusOf(const TrackDetail& track) const;
    QVariant sortValue(const TrackDetail& track, int column) const;
    static QVariant rawSortValue(const TrackDetail& track, int column);

    QList<TrackDetailPtr> m_tracks;
    QString m_playingID;
    std::function<qint64(const QString&)> m_history;
    std::function<int(const TrackDetail&)> m_index;
};

} // namespace MusicView
