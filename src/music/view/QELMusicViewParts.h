// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the parts of the music view share: the helpers and the results that
// its workers hand back. Included only by the view's own source files.

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include <QListView>
#include <QString>
#include <QStringList>

#include "MusicViewModels.h"
#include "QELCopyHistory.h"
#include "QELMediaStore.h"
#include "QELMusicView.h"

namespace MusicViewParts {

using namespace MusicView;

inline constexpr int kArtworkAnimationMs = 250;
// The copy history's database on the device.
inline const QString kHistoryName = QStringLiteral("ovipodchm.db");

inline QStringList keptSelection(const QStringList& wanted, const QStringList& values)
{
    QStringList kept;
    for (const QString& value : wanted) {
        // Row 0 is the summary row: it stands for no filter.
        const qsizetype at = values.indexOf(value);
        if (at > 0)
            kept << value;
    }
    return kept;
}

inline QStringList selectedValues(const QListView* list, const BrowseListModel* model)
{
    QStringList values;
    if (!list->selectionModel())
        return values;
    QModelIndexList rows = list->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        if (index.row() == 0)
            return {};
        values << model->values().value(index.row());
    }
    return values;
}

inline std::optional<QStringList> filterOf(const QStringList& values)
{
    return values.isEmpty() ? std::nullopt : std::optional<QStringList>(values);
}

// The store's lock, held by a worker while it reads or sets a playlist's tracks.
inline std::unique_lock<std::recursive_mutex> storeLock(const std::shared_ptr<QELMediaStore>& store)
{
    return store ? std::unique_lock<std::recursive_mutex>(store->lock())
                 : std::unique_lock<std::recursive_mutex>();
}

} // namespace MusicViewParts

// What a rebuild of the source list found on its worker.
struct QELMusicView::SourceResult {
    quint64 generation = 0;
    bool empty = true;
    MusicView::SourceGroups groups;
    std::shared_ptr<QELCopyHistory> history;
    QString historyFailure;
    PlaylistPtr copied;
    PlaylistPtr notCopied;
    PlaylistPtr notInLibrary;
};

struct QELMusicView::BrowseRequest {
    QList<PlaylistPtr> playlists;
    QString search;
    QStringList genres;
    QStringList artists;
    QStringList albums;
    bool includingICloud = false;
};

struct QELMusicView::BrowseResult {
    quint64 generation = 0;
    QStringList genres;
    QStringList artists;
    QStringList albums;
    QStringList selectedGenres;
    QStringList selectedArtists;
    QStringList selectedAlbums;
    QList<TrackDetailPtr> tracks;
    bool deviceOrder = false;
};
