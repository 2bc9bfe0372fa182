// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Playlist.h"
#include "PlaylistOrder.h"
#include "QELMediaStore.h"
#include "TrackDetail.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QELDeviceMediaLibraryEventsProtocol;

// The base of every reader that fills the media store from one kind of device
// database. It owns the store, creates its objects for the subclasses, sends
// the read events to its delegate and holds the cancel flag. One reader serves
// one read; it runs on the media library's worker thread.
class QELMediaLibraryReader {
public:
    virtual ~QELMediaLibraryReader();
    QELMediaLibraryReader(const QELMediaLibraryReader&) = delete;
    QELMediaLibraryReader& operator=(const QELMediaLibraryReader&) = delete;

    // Makes a reader of type R on the folder of copied device files, with a
    // fresh store; none when no store could be set up.
    template <class R> static std::unique_ptr<R> createWithLibraryDirectory(const QString& libraryDirectory)
    {
        std::unique_ptr<R> reader(new R(libraryDirectory));
        if (!reader->initStore())
            return nullptr;
        return reader;
    }

    // Reads the reader's database into the store; true on success. The base
    // throws std::logic_error.
    virtual bool readMediaLibrary();
    // The reader's class name, for diagnostics.
    virtual QString readerName() const { return QStringLiteral("QELMediaLibraryReader"); }
    // Why the read failed (English, for the log and the tools: which table or
    // column is missing, what SQLite said); empty when it did not fail.
    QString failureReason() const { return m_failure; }

    // Asks a running read to stop at its next record; never reset.
    void cancel() { m_cancelRead = true; }
    bool cancelRead() const { return m_cancelRead; }
    void setCancelRead(bool value) { m_cancelRead = value; }

    // Adds the kind playlists (Music, Podcasts, …) over the tracks read.
    void addLibraryTypes();
    // Closes the store; its objects stay valid for their holders.
    void close();

    std::shared_ptr<QELMediaStore> managedObjectContext() const;
    void setManagedObjectContext(const std::shared_ptr<QELMediaStore>& context);
    QELDeviceMediaLibraryEventsProtocol* delegate() const { return m_delegate; }
    void setDelegate(QELDeviceMediaLibraryEventsProtocol* delegate) { m_delegate = delegate; }

    // A track that belongs to no store, for callers that need one outside a read.
    static TrackDetailPtr createStoreFreeTrackDetail();
    // The path of the store file: "medialibrary.sqlite" in the temporary folder.
    static QString storeFilePath();
    // The image data of a playlist icon resource, empty when there is none.
    static QByteArray playlistIconData(const QString& iconName);

protected:
    explicit QELMediaLibraryReader(const QString& libraryDirectory);
    bool initStore();

    TrackDetailPtr _createNewTrackDetailObject();
    PlaylistPtr _createNewPlaylistObject();
    PlaylistOrderPtr _createNewPlaylistOrderObject();
    std::vector<TrackDetailPtr> _allTracks() const;
    void _fireReadProgressEventWithInfo(const QString& info);
    void _fireReadCompleteEventWithSuccessAndErrorInformation(bool success, const QString& errorInformation);
    void _firePlaylistName(const QString& name);
    void setPlaylistIcon(Playlist& playlist, const QString& iconName);
    // Keeps the reason of a failure for failureReason(); the first one given stays.
    void noteFailure(const QString& reason);

    QString _libraryDirectory;
    QSet<QString> _kinds;

private:
    mutable std::mutex m_contextMutex;
    std::shared_ptr<QELMediaStore> m_context;
    QELDeviceMediaLibraryEventsProtocol* m_delegate = nullptr;
    QString m_failure;
    std::atomic<bool> m_cancelRead{false};
};
