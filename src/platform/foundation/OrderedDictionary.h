#pragma once

#include <cstdint>

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

// A dictionary that keeps its keys in the order they were added and writes
// itself as an XML property list in that order, in a fixed layout (the
// playlist file written beside copied tracks).
//
// Values are written when they are lists (QVariantList, QStringList),
// dictionaries (QVariantMap, QVariantHash, OrderedDictionary in its own
// order), strings, or numbers (booleans as 1 and 0, reals in decimal, all as
// <integer>); other values (data, dates) are left out, their key kept.
class OrderedDictionary {
public:
    OrderedDictionary()
        : OrderedDictionary(0)
    {
    }
    explicit OrderedDictionary(int capacity);

    // An independent copy of the entries, in the same order.
    OrderedDictionary copy() const { return *this; }

    // Ignored when the value is invalid or the key null. A new key goes to the
    // end of the order; an existing key keeps its place.
    void setObjectForKey(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);
    // A key already present is first removed; then it is inserted at `index`
    // (kept within 0..count).
    void insertObjectForKeyAtIndex(const QVariant& value, const QString& key, int index);

    int count() const { return static_cast<int>(m_keys.size()); }
    QVariant objectForKey(const QString& key) const { return m_dictionary.value(key); }
    QString keyAtIndex(int index) const { return m_keys.value(index); }
    QStringList keyEnumerator() const { return m_keys; }
    QStringList reverseKeyEnumerator() const;

    // Writes the property list to `path` (UTF-8, line feeds) through a
    // temporary file renamed into place, so a failed write leaves an earlier
    // file as it was. Text is escaped for XML, and characters that XML cannot
    // carry are dropped. `atomically` is accepted for callers and not needed.
    bool writeToFileAtomically(const QString& path, bool atomically = true);
    // The bytes writeToFileAtomically() writes.
    QByteArray propertyListData();

    // The element text of one value at the current level, appended to `text`.
    void plistElementFromObjectWithExistingString(const QVariant& value, QString& text);

private:
    QString indentString() const;

    QHash<QString, QVariant> m_dictionary;
    QStringList m_keys;
    uint64_t m_indent = 0;
};

Q_DECLARE_METATYPE(OrderedDictionary)
