// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QStringList>

#include "Album.h"

// The photos view's album outline: group rows (the keys in upper case:
// LIBRARY, STREAMS, EVENTS, FACES, ALBUMS) holding the album records of the
// image store, each album with the icon of its kind. Group rows are not
// selectable. Main thread.
class QELAlbumOutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { IsGroupRole = Qt::UserRole + 1, AlbumIdRole, AlbumKindRole };

    explicit QELAlbumOutlineModel(QObject* parent = nullptr);

    void setOutline(const QStringList& headings,
                    const QHash<QString, QList<AlbumRecord>>& children);
    const QStringList& headings() const { return m_headings; }
    // The album record of an album row; none for a group row.
    const AlbumRecord* albumAt(const QModelIndex& index) const;

    // The icon resource name of an album kind ("photoLibrary" for 1, ...,
    // "album" for any kind the table lacks).
    static QString iconNameForKind(qint64 kind);
    static QIcon iconForKind(qint64 kind);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_headings;
    QList<QList<AlbumRecord>> m_children;
};
