#pragma once

#include <typeindex>
#include <typeinfo>

#include <QString>

// The start of one item of a copy job. The job sets the description and its
// own class; the job's base fills in the item's number and the job's count when
// the event is posted, so each event keeps the numbers of its own item.
class QELCopyItemBeginEventArgs {
public:
    QELCopyItemBeginEventArgs() = default;

    quint32 itemNumber() const { return m_itemNumber; } // 1-based
    void setItemNumber(quint32 number) { m_itemNumber = number; }
    quint32 itemCount() const { return m_itemCount; }
    void setItemCount(quint32 count) { m_itemCount = count; }
    QString itemDescription() const { return m_itemDescription; }
    void setItemDescription(const QString& description) { m_itemDescription = description; }

    // The bytes of the whole run copied so far, of byteCount; filled in by the
    // job's base like the numbers. A byteCount of 0: the job does not know its
    // items' sizes, and its progress counts items.
    quint64 bytesCopied() const { return m_bytesCopied; }
    void setBytesCopied(quint64 bytes) { m_bytesCopied = bytes; }
    quint64 byteCount() const { return m_byteCount; }
    void setByteCount(quint64 bytes) { m_byteCount = bytes; }
    // A progress event: more bytes of the item whose start came before.
    bool isProgressStep() const { return m_progressStep; }
    void setProgressStep(bool step) { m_progressStep = step; }

    // The class of the sending job: receivers tell their jobs apart by it,
    // e.g. `args.senderClass() == typeid(QELCopyContacts)`.
    std::type_index senderClass() const { return m_senderClass; }
    void setSenderClass(std::type_index senderClass) { m_senderClass = senderClass; }

private:
    quint32 m_itemNumber = 0;
    quint32 m_itemCount = 0;
    quint64 m_bytesCopied = 0;
    quint64 m_byteCount = 0;
    bool m_progressStep = false;
    QString m_itemDescription;
    std::type_index m_senderClass = typeid(void);
};
