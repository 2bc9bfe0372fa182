// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactListModel.h"

#include "PlainText.h"
#include "QELContactDetailToCategoryImageTransformer.h"
#include "QELContactDetailToDisplayNameTransformer.h"

using ImageTransformer = QELContactDetailToCategoryImageTransformer;

QELContactListModel::QELContactListModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_person(ImageTransformer::iconOf(ImageTransformer::Kind::Person))
    , m_group(ImageTransformer::iconOf(ImageTransformer::Kind::Group))
{
}

void QELContactListModel::setContacts(const QList<QELContactPtr>& contacts)
{
    beginResetModel();
    m_contacts = contacts;
    endResetModel();
}

QELContactPtr QELContactListModel::contactAt(int row) const
{
    return row >= 0 && row < m_contacts.size() ? m_contacts.at(row) : nullptr;
}

int QELContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_contacts.size());
}

QVariant QELContactListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_contacts.size())
        return {};
    const QELContact* contact = m_contacts.at(index.row()).get();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return PlainText::toolTip(
            QELContactDetailToDisplayNameTransformer::transformedValue(contact));
    case SortRole:
        return QELContactDetailToDisplayNameTransformer::transformedValue(contact);
    case Qt::DecorationRole:
        return ImageTransformer::kindOf(contact) == ImageTransformer::Kind::Group ? m_group
                                                                                  : m_person;
    case FNRole:
        return contact ? contact->FN.value_or(QString()) : QString();
    case OrganisationRole:
        return contact ? contact->organisation.value_or(QString()) : QString();
    default:
        return {};
    }
}

Qt::ItemFlags QELContactListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
