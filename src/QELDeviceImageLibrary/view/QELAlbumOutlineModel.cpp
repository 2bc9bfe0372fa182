// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAlbumOutlineModel.h"

#include <QFont>

#include "PlainText.h"

namespace {

// Group rows carry this as their internal id; album rows the index of
// their group.
constexpr quintptr kGroup = ~quintptr(0);

} // namespace

// Outside any namespace: the resource's registration function is global.
static void initPhotoResources() { Q_INIT_RESOURCE(photos); }

QELAlbumOutlineModel::QELAlbumOutlineModel(QObject* parent)
    : QAbstractItemModel(parent)
{
    initPhotoResources();
}

void QELAlbumOutlineModel::setOutline(const QStringList& headings,
                                      const QHash<QString, QList<AlbumRecord>>& children)
{
    beginResetModel();
    m_headings = headings;
    m_children.clear();
    for (const QString& heading : headings)
        m_children.append(children.value(heading));
    endResetModel();
}

const AlbumRecord* QELAlbumOutlineModel::albumAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.internalId() == kGroup)
        return nullptr;
    const auto group = qsizetype(index.internalId());
    if (group >= m_children.size() || index.row() >= m_children[group].size())
        return nullptr;
    return &m_children[group][index.row()];
}

QString QELAlbumOutlineModel::iconNameForKind(qint64 kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("photoLibrary");
    case 6:
        return QStringLiteral("album");
    case 12:
        return QStringLiteral("calendar");
    case 15:
        return QStringLiteral("contact");
    case 20:
    case 24:
        return QStringLiteral("globe");
    case 22:
        return QStringLiteral("camera");
    case 500:
        return QStringLiteral("iCloudLibrary");
    case 501:
        return QStringLiteral("favorite");
    case 502:
        return QStringLiteral("panoramicLibrary");
    case 503:
        return QStringLiteral("trashed");
    case 504:
        return QStringLiteral("video");
    case 505:
        return QStringLiteral("clock");
    case 506:
        return QStringLiteral("Selfie");
    case 507:
        return QStringLiteral("screenshot");
    default:
        return QStringLiteral("album");
    }
}

QIcon QELAlbumOutlineModel::iconForKind(qint64 kind)
{
    return QIcon(QStringLiteral(":/photos/%1.svg").arg(iconNameForKind(kind)));
}

QModelIndex QELAlbumOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_headings.size() ? createIndex(row, 0, kGroup) : QModelIndex();
    if (parent.internalId() != kGroup || parent.row() >= m_children.size()
        || row >= m_children[parent.row()].size())
        return {};
    return createIndex(row, 0, quintptr(parent.row()));
}

QModelIndex QELAlbumOutlineModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kGroup)
        return {};
    return createIndex(int(child.internalId()), 0, kGroup);
}

int QELAlbumOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_headings.size());
    if (parent.internalId() == kGroup && parent.row() < m_children.size())
        return int(m_children[parent.row()].size());
    return 0;
}

int QELAlbumOutlineModel::columnCount(const QModelIndex&) const { return 1; }

QVariant QELAlbumOutlineModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == kGroup) {
        switch (role) {
        case Qt::DisplayRole:
            return m_headings.value(index.row()).toUpper();
        case IsGroupRole:
            return true;
        case Qt::FontRole: {
            QFont font;
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * 0.85);
            return font;
        }
        default:
            return {};
        }
    }
    const AlbumRecord* album = albumAt(index);
    if (!album)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return PlainText::toolTip(album->title);
    case Qt::DecorationRole:
        return iconForKind(album->kind.value_or(0));
    case IsGroupRole:
        return false;
    case AlbumIdRole:
        return album->id ? QVariant(*album->id) : QVariant();
    case AlbumKindRole:
        return album->kind ? QVariant(*album->kind) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags QELAlbumOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.internalId() == kGroup)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
