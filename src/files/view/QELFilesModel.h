// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractItemModel>

#include "FileListBuilder.h"
#include "WorkerThreads.h"

// The device's folders for the column browser, rooted at "/" (the invisible
// root). Lazy: a folder is listed when its column is first shown
// (ensureListed), on a worker thread, and its rows arrive when the answer
// comes; each folder is listed once per load, and reload() lists it afresh.
// Qt's fetchMore is not used: item views call it for every folder row they
// lay out, which would list folders nobody opened. Main thread only, except the
// lister, which runs on the workers.
class QELFilesModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // the device path (QString)
        KindRole,                    // FileEntryKind as int
    };
    // Lists one device folder (blocking, on a worker): the entries in the
    // order to show, or nothing when the folder cannot be listed.
    using Lister = std::function<std::optional<QList<DeviceFileEntry>>(const QString& folder)>;

    explicit QELFilesModel(QObject* parent = nullptr);
    // Waits for the listings still running.
    ~QELFilesModel() override;

    // Forgets every folder; the next look at a folder lists it with `lister`.
    void setLister(Lister lister);
    // Drops the folder's rows and lists it afresh (the invisible root: "/").
    void reload(const QModelIndex& folder);
    // Lists the folder unless it has been listed (or is being listed) in this load.
    void ensureListed(const QModelIndex& folder);
    bool needsListing(const QModelIndex& folder) const;

    QString pathOf(const QModelIndex& index) const;
    // The root counts as a folder.
    FileEntryKind kindOf(const QModelIndex& index) const;
    bool isFolder(const QModelIndex& index) const { return kindOf(index) == FileEntryKind::Folder; }
    // Whether the folder's listing has been asked for and not answered yet.
    bool isListing(const QModelIndex& folder) const;
    // Whether the folder's last listing failed (it shows no rows).
    bool listingFailed(const QModelIndex& folder) const;
    // The index of a device path among the rows listed so far; invalid for "/"
    // and for a path not listed.
    QModelIndex indexOfPath(const QString& path) const;
    // How many listings have been started (each folder once per load).
    int listingsStarted() const { return m_listingsStarted; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

signals:
    // A folder's listing was answered; `listed` is false when it failed.
    void folderListed(const QString& path, bool listed);

private:
    struct Node;

    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    Node* findNode(const QString& path) const;
    void startListing(Node* node);
    void finishListing(const QString& path, quint64 listing,
                       const std::optional<QList<DeviceFileEntry>>& entries);

    std::unique_ptr<Node> m_root;
    Lister m_lister;
    quint64 m_lastListing = 0;
    int m_listingsStarted = 0;
    // Last: joined before the rest goes.
    WorkerThreads m_workers{QStringLiteral("A file browser listing")};
};
