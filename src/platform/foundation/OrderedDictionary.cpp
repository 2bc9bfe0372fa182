#include "OrderedDictionary.h"

#include <algorithm>

#include "AtomicFile.h"
#include "Log.h"
#include "TextEscaping.h"

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QString numberText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 16);
    case QMetaType::Float:
        return QString::number(value.toFloat(), 'g', 7);
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
    case QMetaType::UShort:
        return QString::number(value.toULongLong());
    default:
        return QString::number(value.toLongLong());
    }
}

} // namespace

OrderedDictionary::OrderedDictionary(int capacity)
{
    if (capacity > 0) {
        m_dictionary.reserve(capacity);
        m_keys.reserve(capacity);
    }
}

void OrderedDictionary::setObjectForKey(const QVariant& value, const QString& key)
{
    if (!value.isValid() || key.isNull())
        return;
    if (!m_dictionary.contains(key))
        m_keys.append(key);
    m_dictionary.insert(key, value);
}

void OrderedDictionary::removeObjectForKey(const QString& key)
{
    if (m_dictionary.remove(key))
        m_keys.removeOne(key);
}

void OrderedDictionary::insertObjectForKeyAtIndex(const QVariant& value, const QString& key,
                                                  int index)
{
    if (!value.isValid() || key.isNull())
        return;
    removeObjectForKey(key);
    m_keys.insert(std::clamp(index, 0, count()), key);
    m_dictionary.insert(key, value);
}

QStringList OrderedDictionary::reverseKeyEnumerator() const
{
    QStringList keys = m_keys;
    std::reverse(keys.begin(), keys.end());
    return keys;
}

QString OrderedDictionary::indentString() const
{
    return QString(static_cast<qsizetype>(m_indent) * 4, QLatin1Char(' '));
}

void OrderedDictionary::plistElementFromObjectWithExistingString(const QVariant& value,
                                                                 QString& text)
{
    const int type = value.typeId();
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
        const QVariantList items = value.toList();
        ++m_indent;
        // An element for every key: a key with no value makes the file no property list.
        if (items.isEmpty()) {
            text += indentString() + QLatin1String("<array/>\n");
            --m_indent;
            return;
        }
        text += indentString() + QLatin1String("<array>\n");
        for (const QVariant& item : items)
            plistElementFromObjectWithExistingString(item, text);
        --m_indent;
        text += indentString() + QLatin1String("</array>\n");
        return;
    }
    if (type == qMetaTypeId<OrderedDictionary>() || type == QMetaType::QVariantMap
        || type == QMetaType::QVariantHash) {
        QStringList keys;
        QHash<QString, QVariant> values;
        if (type == qMetaTypeId<OrderedDictionary>()) {
            const auto ordered = value.value<OrderedDictionary>();
            keys = ordered.m_keys;
            values = ordered.m_dictionary;
        } else if (type == QMetaType::QVariantMap) {
            const QVariantMap map = value.toMap();
            keys = map.keys();
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                values.insert(it.key(), it.value());
        } else {
            values = value.toHash();
            keys = values.keys();
            keys.sort();
        }
        text += indentString() + QLatin1String("<dict>\n");
        ++m_indent;
        for (const QString& key : std::as_const(keys)) {
            const QVariant item = values.value(key);
            if (!item.isValid())
                continue;
            text += indentString() + QLatin1String("<key>") + TextEscaping::xmlText(key)
                + QLatin1String("</key>\n");
            plistElementFromObjectWithExistingString(item, text);
        }
        --m_indent;
        text += indentString() + QLatin1String("</dict>\n");
        return;
    }
    if (type == QMetaType::QString) {
        text += indentString() + QLatin1String("<string>") + TextEscaping::xmlText(value.toString())
            + QLatin1String("</string>\n");
        return;
    }
    if (isNumber(value))
        text += indentString() + QLatin1String("<integer>") + numberText(value)
            + QLatin1String("</integer>\n");
    // Data, dates and anything else are left out.
}

QByteArray OrderedDictionary::propertyListData()
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                  "<plist version=\"1.0\">\n"
                                  "<dict>\n");
    m_indent = 1;
    for (int i = 0; i < count(); ++i) {
        const QString key = keyAtIndex(i);
        text += indentString() + QLatin1String("<key>") + TextEscaping::xmlText(key)
            + QLatin1String("</key>\n");
        QString element;
        plistElementFromObjectWithExistingString(m_dictionary.value(key), element);
        // A value that writes nothing (a date) leaves its key line alone.
        if (!element.isEmpty())
            text += indentString() + element;
    }
    m_indent = 0;
    text += QLatin1String("</dict>\n</plist>\n");
    return text.toUtf8();
}

bool OrderedDictionary::writeToFileAtomically(const QString& path, bool /*atomically*/)
{
    QString error;
    if (!writeFileAtomically(path, propertyListData(), &error)) {
        qCWarning(lcOrvane) << "Cannot write the property list" << path << error;
        return false;
    }
    return true;
}
