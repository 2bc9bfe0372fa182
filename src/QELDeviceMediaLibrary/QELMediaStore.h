// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "Playlist.h"
#include "PlaylistOrder.h"
#include "QELSQLiteStore.h"
#include "TrackDetail.h"

// The media store: the tracks, playlists and playlist positions of one read,
// held in memory as shared objects (so views and jobs keep them after the
// store is closed) and written to the SQLite file "medialibrary.sqlite" by
// save(), one table per entity, every value bound.
//
// A reader fills the store on its worker thread without locking; afterwards
// every query takes lock() for its duration (re-entrant for its thread).
class QELMediaStore : public QELSQLiteStore {
public:
    // Opens the store file with journal_mode OFF; when SQLite cannot keep a
    // store there, an in-memory database takes its place. Answers none when
    // neither could be set up. An empty path goes straight to memory.
    static std::shared_ptr<QELMediaStore> open(const QString& filePath);
    ~QELMediaStore() override;

    TrackDetailPtr insertTrack();
    // Adds tracks made outside the store, for a reader that adds a whole
    // read or nothing.
    void addTracks(const QList<TrackDetailPtr>& tracks);
    PlaylistPtr insertPlaylist();
    PlaylistOrderPtr insertPlaylistOrder();
    void deletePlaylist(const PlaylistPtr& playlist);

    // Every object of the store, in the order of insertion.
    const std::vector<TrackDetailPtr>& tracks() const { return m_tracks; }
    const std::vector<PlaylistPtr>& playlists() const { return m_playlists; }
    const std::vector<PlaylistOrderPtr>& playlistOrders() const { return m_orders; }

    // Tracks whose persistentID is one of `ids`, in store order, each once.
    // Relies on a track's persistentID being set right after its insertion.
    QList<TrackDetailPtr> tracksWithPersistentIDs(const QStringList& ids);
    // The first track of the store with this persistentID, or none.
    TrackDetailPtr firstTrackWithPersistentID(const QString& id);
    // The order rows of one playlist, by ascending index. The rows are
    // indexed by playlist once, when a query first needs them, so a query
    // costs what it answers, not the whole table.
    QList<PlaylistOrderPtr> ordersForContainer(const QString& containerPID) const;

    // Writes the whole content to the database. False (with a reason) when
    // SQLite refused. close() leaves the objects valid for whoever holds them.
    bool save(QString* error = nullptr);

protected:
    QStringList schemaStatements() const override;

private:
    QELMediaStore() = default;
    void indexNewTracks();
    void indexNewOrders() const;
    std::vector<TrackDetailPtr> m_tracks;
    std::vector<PlaylistPtr> m_playlists;
    std::vector<PlaylistOrderPtr> m_orders;
    QHash<QString, QList<int>> m_positionsByID;
    size_t m_indexedTracks = 0;
    mutable QHash<QString, QList<PlaylistOrderPtr>> m_ordersByContainer;
    mutable size_t m_indexedOrders = 0;
};
