#pragma once

#include <QString>

// The end of one item, sent by the music copy and transfer jobs.
class QELCopyItemEndEventArgs {
public:
    QELCopyItemEndEventArgs() = default;

    QString itemId() const { return m_itemId; }   // a track's persistent identifier
    void setItemId(const QString& itemId) { m_itemId = itemId; }
    QString itemDescription() const { return m_itemDescription; }
    void setItemDescription(const QString& description) { m_itemDescription = description; }
    bool statusOK() const { return m_statusOK; }   // the item was copied
    void setStatusOK(bool ok) { m_statusOK = ok; }

private:
    QString m_itemId;
    QString m_itemDescription;
    bool m_statusOK = false;
};
