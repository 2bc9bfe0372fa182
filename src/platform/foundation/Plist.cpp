#include "Plist.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <plist/plist.h>

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include "BinaryPlistValidator.h"
#include "DeviceTime.h"
#include "Log.h"

namespace {

// Deeper nesting than this is refused rather than recursed into.
constexpr int kMaxDepth = 256;

// No property list of a device comes near this; a larger file is refused before
// it is read rather than held whole in memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

QVariant fromNodeAtDepth(plist_t node, int depth, bool* ok)
{
    if (!node)
        return {};
    if (depth > kMaxDepth) {
        *ok = false;
        return {};
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<qint64>(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char* text = plist_get_node_type(node) == PLIST_STRING
            ? plist_get_string_ptr(node, &length)
            : nullptr;
        if (text)
            return QString::fromUtf8(text, static_cast<qsizetype>(length));
        char* key = nullptr;
        plist_get_key_val(node, &key);
        QString result = QString::fromUtf8(key);
        free(key);
        return result;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return QByteArray(bytes, static_cast<qsizetype>(length));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return DeviceTime::fromReferenceMSecs(static_cast<qint64>(sec) * 1000 + usec / 1000);
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant::fromValue<quint64>(value);
    }
    case PLIST_ARRAY: {
        // libplist finds item i by walking from the first one, so indexing in a
        // loop is quadratic: a million-element array took minutes. The iterator
        // steps from one item to the next.
        QVariantList list;
        list.reserve(static_cast<qsizetype>(plist_array_get_size(node)));
        plist_array_iter it = nullptr;
        plist_array_new_iter(node, &it);
        while (it && *ok) {
            plist_t item = nullptr;
            plist_array_next_item(node, it, &item);
            if (!item)
                break;
            list.append(fromNodeAtDepth(item, depth + 1, ok));
        }
        free(it);
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        while (it && *ok) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), fromNodeAtDepth(value, depth + 1, ok));
            free(key);
        }
        free(it);
        return map;
    }
    default:
        return {};
    }
}

plist_t toNodeAtDepth(const QVariant& value, int depth)
{
    if (depth > kMaxDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = DeviceTime::toReferenceMSecs(value.toDateTime());
        const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return plist_new_date(static_cast<int32_t>(sec),
                              static_cast<int32_t>((ms - sec * 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            if (plist_t child = toNodeAtDepth(item, depth + 1))
                plist_array_append_item(array, child);
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (plist_t child = toNodeAtDepth(it.value(), depth + 1))
                plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
        return dict;
    }
    default:
        return nullptr;
    }
}

} // namespace

namespace Plist {

QVariant fromNode(plist_t node)
{
    bool ok = true;
    QVariant result = fromNodeAtDepth(node, 0, &ok);
    return ok ? result : QVariant();
}

plist_t toNode(const QVariant& value) { return toNodeAtDepth(value, 0); }

QVariant parse(const QByteArray& bytes, QString* error)
{
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return QVariant();
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("empty property list"));
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        return fail(QStringLiteral("property list too large"));
    plist_t raw = nullptr;
    const auto size = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.constData(), size)) {
        // libplist trusts parts of a binary layout and ends the program on some
        // damage, so the structure is checked before it sees the bytes.
        if (const auto fault = BinaryPlistValidator::firstFault(bytes, kMaxDepth))
            return fail(QStringLiteral("damaged binary property list: ") + *fault);
        plist_from_bin(bytes.constData(), size, &raw);
    } else {
        plist_from_xml(bytes.constData(), size, &raw);
    }
    NodePtr node(raw);
    if (!node)
        return fail(QStringLiteral("not a valid property list"));
    bool ok = true;
    QVariant result = fromNodeAtDepth(raw, 0, &ok);
    if (!ok)
        return fail(QStringLiteral("property list nested too deeply"));
    return result;
}

QVariant readFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    // The size is checked on the bytes read, not only on the file's size, so a
    // file that grows while it is read is held to the cap too.
    const QByteArray bytes =
        file.size() > kMaxFileBytes ? QByteArray() : file.read(kMaxFileBytes + 1);
    if (file.size() > kMaxFileBytes || bytes.size() > kMaxFileBytes) {
        if (error)
            *error = QStringLiteral("property list too large (%1 bytes; at most %2 are read)")
                         .arg(std::max<qint64>(file.size(), bytes.size()))
                         .arg(kMaxFileBytes);
        return {};
    }
    return parse(bytes, error);
}

QByteArray serialize(const QVariant& value, Format format)
{
    NodePtr node(toNode(value));
    if (!node)
        return {};
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::Binary)
        plist_to_bin(static_cast<plist_t>(node.get()), &out, &length);
    else
        plist_to_xml(static_cast<plist_t>(node.get()), &out, &length);
    QByteArray bytes(out, static_cast<qsizetype>(length));
    free(out);
    return bytes;
}

bool writeFile(const QString& path, const QVariant& value, Format format)
{
    const QByteArray bytes = serialize(value, format);
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcOrvane) << "Could not write property list" << path << file.errorString();
        return false;
    }
    return true;
}

} // namespace Plist
