// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicViewModels.h"

#include <algorithm>
#include <utility>

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "LocalizedStrings.h"

namespace MusicView {

namespace {

QIcon cachedIcon(const QString& resource)
{
    static QHash<QString, QIcon> icons;
    auto found = icons.find(resource);
    if (found == icons.end())
        found = icons.insert(resource, QIcon(resource));
    return *found;
}

QString durationText(std::optional<qint64> milliseconds)
{
    if (!milliseconds || *milliseconds <= 0)
        return {};
    const qint64 seconds = *milliseconds / 1000;
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString dateText(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return date.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

// Texts the table shows empty, as the device's own "nothing" values.
QString shownText(const QString& text)
{
    if (text == QLatin1String("(null)") || text == QLatin1String("0"))
        return {};
    return text;
}

int compareText(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

} // namespace

bool isLocalTrack(const TrackDetail* track)
{
    return track && !isYes(track->isICloudStreaming) && !isYes(track->isAppleMusic);
}

QList<TrackDetailPtr> localTracks(const QList<TrackDetailPtr>& tracks)
{
    QList<TrackDetailPtr> local;
    local.reserve(tracks.size());
    for (const TrackDetailPtr& track : tracks) {
        if (isLocalTrack(track.get()))
            local << track;
    }
    return local;
}

void sortByDefaultOrder(QList<TrackDetailPtr>& tracks)
{
    std::stable_sort(tracks.begin(), tracks.end(),
                     [](const TrackDetailPtr& a, const TrackDetailPtr& b) {
                         if (int c = compareText(a->artist, b->artist))
                             return c < 0;
                         if (int c = compareText(a->album, b->album))
                             return c < 0;
                         // An unset number sorts first, as a missing value does.
                         if (a->discNumber != b->discNumber)
                             return a->discNumber < b->discNumber;
                         return a->trackNumber < b->trackNumber;
                     });
}

QString trackCountText(qsizetype listed, qsizetype selected)
{
    QString text = LocalizedStrings::text(QStringLiteral("TRACKCOUNT"))
                       .arg(listed)
                       .arg(listed == 1 ? QString() : QStringLiteral("s"));
    if (selected > 0)
        text += LocalizedStrings::text(QStringLiteral("SELECTEDTRACKCOUNT")).arg(selected);
    return text;
}

QList<TrackDetailPtr> playbackList(const QList<TrackDetailPtr>& listed, QList<int> selectedRows)
{
    selectedRows.erase(std::remove_if(selectedRows.begin(), selectedRows.end(),
                                      [&](int row) { return row < 0 || row >= listed.size(); }),
                       selectedRows.end());
    std::sort(selectedRows.begin(), selectedRows.end());
    QList<TrackDetailPtr> chosen;
    if (selectedRows.isEmpty()) {
        chosen = listed;
    } else if (selectedRows.size() == 1) {
        chosen = listed.mid(selectedRows.constFirst());
    } else {
        for (int row : selectedRows)
            chosen << listed.at(row);
    }
    return localTracks(chosen);
}

StatusIcon statusIcon(const TrackDetail& track, const QString& playingID, qint64 historyCode,
                      int indexAnswer)
{
    if (!playingID.isEmpty() && track.persistentID == playingID)
        return StatusIcon::Playing;
    StatusIcon icon = StatusIcon::None;
    if (historyCode == 2)
        icon = StatusIcon::Copied;
    else if (historyCode == 1)
        icon = StatusIcon::CopyFailed;
    else if (indexAnswer == 1)
        icon = StatusIcon::InLibrary;
    else if (indexAnswer == 2)
        icon = StatusIcon::InLibraryRemotely;
    if (isYes(track.isICloudStreaming))
        icon = StatusIcon::ICloud;
    if (isYes(track.isAppleMusic))
        icon = StatusIcon::AppleMusic;
    return icon;
}

QString statusIconResource(StatusIcon icon)
{
    switch (icon) {
    case StatusIcon::None:
        return {};
    case StatusIcon::Playing:
        return QStringLiteral(":/music/speaker_playing.svg");
    case StatusIcon::Copied:
        return QStringLiteral(":/music/greenchecknew.svg");
    case StatusIcon::CopyFailed:
        return QStringLiteral(":/music/redcrossnew.svg");
    case StatusIcon::InLibrary:
        return QStringLiteral(":/music/iniTunesNote.svg");
    case StatusIcon::InLibraryRemotely:
        return QStringLiteral(":/music/inItunesCloudIcon3.svg");
    case StatusIcon::ICloud:
        return QStringLiteral(":/music/iCloud16.svg");
    case StatusIcon::AppleMusic:
        return QStringLiteral(":/music/LockAppleMusic.svg");
    }
    return {};
}

QString ratingIconResource(std::optional<qint64> rating)
{
    if (!rating)
        return {};
    switch (*rating) {
    case 20:
    case 40:
    case 60:
    case 80:
    case 100:
        return QStringLiteral(":/music/ratings_%1.svg").arg(*rating / 20);
    default:
        return {};
    }
}

SourceGroups groupPlaylists(const QList<PlaylistPtr>& playlists, bool showICloudItems,
                            const QList<PlaylistPtr>& reports)
{
    QList<PlaylistPtr> library;
    QList<PlaylistPtr> genius;
    QList<PlaylistPtr> others;
    for (const PlaylistPtr& playlist : playlists) {
        if (!playlist)
            continue;
        if (!showICloudItems) {
            const QList<TrackDetailPtr>& tracks = playlist->tracks();
            const bool anyLocal =
                std::any_of(tracks.begin(), tracks.end(),
                            [](const TrackDetailPtr& track) { return isLocalTrack(track.get()); });
            if (!anyLocal)
                continue;
        }
        if (isYes(playlist->isLibraryType))
            library << playlist;
        else if (isYes(playlist->smartIsGenius))
            genius << playlist;
        else if (isYes(playlist->isReportType))
            continue;
        else
            others << playlist;
    }
    SourceGroups groups;
    groups.headings = {kLibrary, kReports};
    if (!others.isEmpty()) {
        groups.headings << kPlaylists;
        groups.children.insert(kPlaylists, others);
    }
    if (!genius.isEmpty()) {
        groups.headings << kGenius;
        groups.children.insert(kGenius, genius);
    }
    groups.children.insert(kLibrary, library);
    groups.children.insert(kReports, reports);
    return groups;
}

// --- SourceListModel ---
// A heading's index carries 0 as its id, a playlist's the row of its heading
// plus one.

SourceListModel::SourceListModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void SourceListModel::setGroups(SourceGroups groups)
{
    beginResetModel();
    m_groups = std::move(groups);
    endResetModel();
}

bool SourceListModel::isHeading(const QModelIndex& index) const
{
    return index.isValid() && index.internalId() == 0;
}

QString SourceListModel::headingKey(const QModelIndex& index) const
{
    return isHeading(index) ? m_groups.headings.value(index.row()) : QString();
}

PlaylistPtr SourceListModel::playlistAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return nullptr;
    const QString key = m_groups.headings.value(int(index.internalId()) - 1);
    return m_groups.children.value(key).value(index.row());
}

QModelIndex SourceListModel::headingIndex(const QString& key) const
{
    const int row = int(m_groups.headings.indexOf(key));
    return row < 0 ? QModelIndex() : index(row, 0);
}

QModelIndex SourceListModel::indexOf(const Playlist* playlist) const
{
    for (int h = 0; h < m_groups.headings.size(); ++h) {
        const QList<PlaylistPtr> children = m_groups.children.value(m_groups.headings.at(h));
        for (int row = 0; row < children.size(); ++row) {
            if (children.at(row).get() == playlist)
                return index(row, 0, index(h, 0));
        }
    }
    return {};
}

QModelIndex SourceListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_groups.headings.size() ? createIndex(row, 0, quintptr(0)) : QModelIndex();
    if (!isHeading(parent))
        return {};
    const QString key = m_groups.headings.value(parent.row());
    if (row >= m_groups.children.value(key).size())
        return {};
    return createIndex(row, 0, quintptr(parent.row() + 1));
}

QModelIndex SourceListModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId()) - 1, 0, quintptr(0));
}

int SourceListModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_groups.headings.size());
    if (parent.column() != 0 || !isHeading(parent))
        return 0;
    return int(m_groups.children.value(m_groups.headings.value(parent.row())).size());
}

int SourceListModel::columnCount(const QModelIndex&) const { return 1; }

QVariant SourceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (isHeading(index)) {
        const QString key = headingKey(index);
        switch (role) {
        case Qt::DisplayRole:
            return LocalizedStrings::text(key).toUpper();
        case Qt::FontRole: {
            QFont font;
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * 0.85);
            return font;
        }
        case Qt::ForegroundRole:
            return QBrush(QColor(0x70, 0x78, 0x84));
        case IsHeadingRole:
            return true;
        case HeadingKeyRole:
            return key;
        default:
            return {};
        }
    }
    const PlaylistPtr playlist = playlistAt(index);
    if (!playlist)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return playlist->name;
    case Qt::DecorationRole: {
        if (!playlist->playlistIcon.isEmpty()) {
            const QImage image = QImage::fromData(playlist->playlistIcon);
            if (!image.isNull())
                return QIcon(QPixmap::fromImage(image));
        }
        return cachedIcon(QStringLiteral(":/music/playlist.svg"));
    }
    case IsHeadingRole:
        return false;
    default:
        return {};
    }
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// --- BrowseListModel ---

BrowseListModel::BrowseListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void BrowseListModel::setValues(const QStringList& values)
{
    if (values == m_values)
        return;
    beginResetModel();
    m_values = values;
    endResetModel();
}

int BrowseListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_values.size());
}

QVariant BrowseListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_values.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_values.at(index.row());
    if (role == Qt::FontRole && index.row() == 0) {
        QFont font;
        font.setBold(true);
        return font;
    }
    return {};
}

// --- TrackTableModel ---

QString TrackTableModel::columnIdentifier(int column)
{
    switch (column) {
    case StatusColumn:
        return QStringLiteral("dynamicStatusColumn");
    case NameColumn:
        return QStringLiteral("trackNameColumn");
    case TimeColumn:
        return QStringLiteral("durationColumn");
    case ArtistColumn:
        return QStringLiteral("artistColumn");
    case AlbumColumn:
        return QStringLiteral("albumColumn");
    case GenreColumn:
        return QStringLiteral("genreColumn");
    case RatingColumn:
        return QStringLiteral("ratingsColumn");
    case PlayCountColumn:
        return QStringLiteral("playCountColumn");
    case DateAddedColumn:
        return QStringLiteral("dateAddedColumn");
    case DatePlayedColumn:
        return QStringLiteral("datePlayedColumn");
    case BitRateColumn:
        return QStringLiteral("bitRateColumn");
    default:
        return {};
    }
}

TrackTableModel::TrackTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TrackTableModel::setTracks(QList<TrackDetailPtr> tracks)
{
    beginResetModel();
    m_tracks = std::move(tracks);
    endResetModel();
}

TrackDetailPtr TrackTableModel::trackAt(int row) const { return m_tracks.value(row); }

void TrackTableModel::setPlayingID(const QString& persistentID)
{
    if (persistentID == m_playingID)
        return;
    m_playingID = persistentID;
    statusChanged();
}

void TrackTableModel::setHistoryAnswer(std::function<qint64(const QString&)> answer)
{
    m_history = std::move(answer);
    statusChanged();
}

void TrackTableModel::setIndexAnswer(std::function<int(const TrackDetail&)> answer)
{
    m_index = std::move(answer);
    statusChanged();
}

void TrackTableModel::statusChanged()
{
    if (!m_tracks.isEmpty())
        emit dataChanged(index(0, StatusColumn), index(int(m_tracks.size()) - 1, StatusColumn),
                         {Qt::DecorationRole, SortRole});
}

StatusIcon TrackTableModel::statusOf(const TrackDetail& track) const
{
    const qint64 history = m_history ? m_history(track.persistentID) : 0;
    // The index is asked only when its answer can show.
    const bool asksIndex =
        history == 0 && (m_playingID.isEmpty() || track.persistentID != m_playingID);
    const int inLibrary = asksIndex && m_index ? m_index(track) : 0;
    return statusIcon(track, m_playingID, history, inLibrary);
}

std::function<QVariant(const TrackDetail&)> TrackTableModel::sortKey(int column) const
{
    if (column != StatusColumn)
        return [column](const TrackDetail& track) { return rawSortValue(track, column); };
    // Copies of the answers, which any thread may ask.
    return [playing = m_playingID, history = m_history, index = m_index](const TrackDetail& track) {
        const qint64 code = history ? history(track.persistentID) : 0;
        const bool asksIndex = code == 0 && (playing.isEmpty() || track.persistentID != playing);
        return QVariant(
            int(statusIcon(track, playing, code, asksIndex && index ? index(track) : 0)));
    };
}

QList<TrackDetailPtr> TrackTableModel::sortedTracks(
    QList<TrackDetailPtr> tracks, const std::function<QVariant(const TrackDetail&)>& key,
    Qt::SortOrder order)
{
    // Keys once per row, not once per comparison.
    std::vector<std::pair<QVariant, TrackDetailPtr>> keyed;
    keyed.reserve(size_t(tracks.size()));
    for (const TrackDetailPtr& track : std::as_const(tracks))
        keyed.emplace_back(key(*track), track);
    std::stable_sort(keyed.begin(), keyed.end(), [order](const auto& a, const auto& b) {
        const QPartialOrdering c = QVariant::compare(a.first, b.first);
        if (c == QPartialOrdering::Unordered) {
            // An unset value sorts before every set one.
            const bool aSet = a.first.isValid();
            const bool bSet = b.first.isValid();
            return order == Qt::AscendingOrder ? (!aSet && bSet) : (aSet && !bSet);
        }
        return order == Qt::AscendingOrder ? c == QPartialOrdering::Less
                                           : c == QPartialOrdering::Greater;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        tracks[qsizetype(i)] = std::move(keyed[i].second);
    return tracks;
}

bool TrackTableModel::applyOrder(const QList<TrackDetailPtr>& sorted)
{
    if (sorted.size() != m_tracks.size())
        return false;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<const TrackDetail*> oldRows;
    for (const QModelIndex& index : before)
        oldRows << m_tracks.value(index.row()).get();
    m_tracks = sorted;
    QHash<const TrackDetail*, int> newRow;
    for (qsizetype i = 0; i < m_tracks.size(); ++i)
        newRow.insert(m_tracks.at(i).get(), int(i));
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(newRow.value(oldRows.at(i), before.at(i).row()), before.at(i).column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

void TrackTableModel::sortByColumn(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount || m_tracks.isEmpty())
        return;
    applyOrder(sortedTracks(m_tracks, sortKey(column), order));
}

int TrackTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_tracks.size());
}

int TrackTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrackTableModel::sortValue(const TrackDetail& track, int column) const
{
    if (column == StatusColumn)
        return int(statusOf(track));
    return rawSortValue(track, column);
}

QVariant TrackTableModel::rawSortValue(const TrackDetail& track, int column)
{
    auto number = [](const std::optional<qint64>& value) {
        return value ? QVariant(*value) : QVariant();
    };
    switch (column) {
    case NameColumn:
        return track.trackName.toLower();
    case TimeColumn:
        return number(track.duration);
    case ArtistColumn:
        return track.artist.toLower();
    case AlbumColumn:
        return track.album.toLower();
    case GenreColumn:
        return track.genre.toLower();
    case RatingColumn:
        return number(track.userRating);
    case PlayCountColumn:
        return number(track.playCount);
    case DateAddedColumn:
        return track.dateCreated.isValid() ? QVariant(track.dateCreated) : QVariant();
    case DatePlayedColumn:
        return track.datePlayed.isValid() ? QVariant(track.datePlayed) : QVariant();
    case BitRateColumn:
        return number(track.bitRate);
    default:
        return {};
    }
}

QVariant TrackTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_tracks.size())
        return {};
    const TrackDetail& track = *m_tracks.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case NameColumn:
            return shownText(track.trackName);
        case TimeColumn:
            return durationText(track.duration);
        case ArtistColumn:
            return shownText(track.artist);
        case AlbumColumn:
            return shownText(track.album);
        case GenreColumn:
            return shownText(track.genre);
        case PlayCountColumn:
            return track.playCount && *track.playCount != 0 ? QString::number(*track.playCount)
                                                            : QString();
        case DateAddedColumn:
            return dateText(track.dateCreated);
        case DatePlayedColumn:
            return dateText(track.datePlayed);
        case BitRateColumn:
            return track.bitRate && *track.bitRate != 0
                ? QStringLiteral("%1 kbps").arg(*track.bitRate)
                : QString();
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (column == StatusColumn) {
            const QString resource = statusIconResource(statusOf(track));
            return resource.isEmpty() ? QVariant() : QVariant(cachedIcon(resource));
        }
        if (column == RatingColumn) {
            const QString resource = ratingIconResource(track.userRating);
            return resource.isEmpty() ? QVariant() : QVariant(cachedIcon(resource));
        }
        return {};
    case Qt::ForegroundRole:
        return isLocalTrack(&track) ? QVariant() : QVariant(QBrush(QColor(0x99, 0x99, 0x99)));
    case Qt::ToolTipRole:
        return column == NameColumn ? QVariant(track.trackName) : QVariant();
    case SortRole:
        return sortValue(track, column);
    default:
        return {};
    }
}

QVariant TrackTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case StatusColumn:
        return QString();
    case NameColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNNAME"));
    case TimeColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNTIME"));
    case ArtistColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNARTIST"));
    case AlbumColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNALBUM"));
    case GenreColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNGENRE"));
    case RatingColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNRATING"));
    case PlayCountColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNPLAYS"));
    case DateAddedColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNDATEADDED"));
    case DatePlayedColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNLASTPLAYED"));
    case BitRateColumn:
        return LocalizedStrings::text(QStringLiteral("MUSICCOLUMNBITRATE"));
    default:
        return {};
    }
}

} // namespace MusicView
