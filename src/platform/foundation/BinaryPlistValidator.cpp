// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinaryPlistValidator.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr quint64 kHeaderSize = 8;
constexpr quint64 kTrailerSize = 32;

// Object types by the high nibble of their marker byte.
enum Marker : quint8 {
    kSimple = 0x0, // 0x08 false, 0x09 true; null and fill are not read by libplist
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAsciiString = 0x5,
    kUtf16String = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kSet = 0xC, // read as an array
    kDict = 0xD,
};

enum class Visit : quint8 { Unseen, OnPath, Done };

struct Object {
    quint64 payload = 0; // first byte after the marker and its length
    quint64 count = 0;   // entries of a container, bytes or UTF-16 units of a string
    quint8 type = 0;
    Visit visit = Visit::Unseen;
    quint16 height = 0;   // levels of values below this one
    quint64 treeSize = 1; // values libplist builds for it, shared references counted again

    bool isContainer() const { return type == kArray || type == kSet || type == kDict; }
    bool isString() const { return type == kAsciiString || type == kUtf16String; }
    // A dictionary holds its key references first, then its value references.
    quint64 referenceCount() const { return type == kDict ? count * 2 : count; }
};

class Validator {
public:
    Validator(const QByteArray& bytes, int maxDepth)
        : m_data(reinterpret_cast<const uchar*>(bytes.constData()))
        , m_size(static_cast<quint64>(bytes.size()))
        , m_maxDepth(std::clamp(maxDepth, 0, 0xFFFE))
        ,
        // Writers reference each container once, so a sound tree has about one
        // value per reference byte; the slack allows some sharing, not a bomb.
        m_maxTreeSize(m_size * 4 + 4096)
    {
    }

    std::optional<QString> run()
    {
        if (auto fault = readTrailer())
            return fault;
        if (auto fault = readObjects())
            return fault;
        if (auto fault = checkReferences())
            return fault;
        return walkFromTop();
    }

private:
    quint64 readBigEndian(quint64 at, unsigned width) const
    {
        quint64 value = 0;
        for (unsigned i = 0; i < width; ++i)
            value = (value << 8) | m_data[at + i];
        return value;
    }

    // libplist writes three-byte offsets once a file passes 64 KiB, and reads
    // them back, so they are as valid as the widths other writers use.
    static bool isIntegerWidth(unsigned width)
    {
        return width == 1 || width == 2 || width == 3 || width == 4 || width == 8;
    }

    std::optional<QString> readTrailer()
    {
        if (m_size < kHeaderSize + kTrailerSize)
            return QStringLiteral("%1 bytes are too short for a binary property list").arg(m_size);
        if (std::memcmp(m_data, "bplist00", kHeaderSize) != 0)
            return QStringLiteral("the header is not \"bplist00\"");
        const quint64 trailer = m_size - kTrailerSize;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        m_objectCount = readBigEndian(trailer + 8, 8);
        m_topObject = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        if (!isIntegerWidth(m_offsetSize))
            return QStringLiteral("the trailer gives an offset size of %1").arg(m_offsetSize);
        if (!isIntegerWidth(m_refSize))
            return QStringLiteral("the trailer gives an object reference size of %1")
                .arg(m_refSize);
        if (m_objectCount == 0)
            return QStringLiteral("the trailer gives no objects");
        if (m_topObject >= m_objectCount)
            return QStringLiteral("the top object %1 is not below the object count %2")
                .arg(m_topObject)
                .arg(m_objectCount);
        if (m_tableOffset < kHeaderSize + 1 || m_tableOffset > trailer)
            return QStringLiteral("the offset table at byte %1 lies outside the file")
                .arg(m_tableOffset);
        if (m_objectCount > (trailer - m_tableOffset) / m_offsetSize)
            return QStringLiteral("the offset table of %1 objects runs past the trailer")
                .arg(m_objectCount);
        return std::nullopt;
    }

    // The length of a data, string or container object: the marker's low nibble,
    // or 0xF and an integer object that follows it.
    std::optional<QString> readLength(quint64 index, quint8 nibble, quint64* at,
                                      quint64* length) const
    {
        if (nibble != 0xF) {
            *length = nibble;
            return std::nullopt;
        }
        if (*at >= m_tableOffset)
            return QStringLiteral("object %1 has no room for its length").arg(index);
        const quint8 marker = m_data[*at];
        if ((marker >> 4) != kInteger || (marker & 0xF) > 3)
            return QStringLiteral("object %1 has a length of marker 0x%2")
                .arg(index)
                .arg(marker, 2, 16, QLatin1Char('0'));
        const unsigned width = 1u << (marker & 0xF);
        if (width > m_tableOffset - *at - 1)
            return QStringLiteral("object %1 has no room for its length").arg(index);
        *length = readBigEndian(*at + 1, width);
        *at += 1 + width;
        return std::nullopt;
    }

    std::optional<QString> readObject(quint64 index, Object* object)
    {
        const quint64 start = readBigEndian(m_tableOffset + index * m_offsetSize, m_offsetSize);
        if (start < kHeaderSize || start >= m_tableOffset)
            return QStringLiteral("object %1 starts at byte %2, outside the objects")
                .arg(index)
                .arg(start);
        const quint8 marker = m_data[start];
        const quint8 nibble = marker & 0xF;
        object->type = marker >> 4;
        quint64 at = start + 1;
        quint64 payloadBytes = 0;
        auto unknown = [&] {
            return QStringLiteral("object %1 has the unknown marker 0x%2")
                .arg(index)
                .arg(marker, 2, 16, QLatin1Char('0'));
        };
        switch (object->type) {
        case kSimple:
            if (nibble != 0x8 && nibble != 0x9)
                return unknown();
            break;
        case kInteger:
            if (nibble > 4)
                return unknown();
            payloadBytes = quint64(1) << nibble;
            break;
        case kReal:
            if (nibble != 2 && nibble != 3)
                return unknown();
            payloadBytes = quint64(1) << nibble;
            break;
        case kDate:
            if (nibble != 3)
                return unknown();
            payloadBytes = 8;
            break;
        case kUid:
            payloadBytes = nibble + 1u;
            break;
        case kData:
        case kAsciiString:
        case kUtf16String:
        case kArray:
        case kSet:
        case kDict: {
            if (auto fault = readLength(index, nibble, &at, &object->count))
                return fault;
            quint64 unit = 1;
            if (object->type == kUtf16String)
                unit = 2;
            else if (object->type == kArray || object->type == kSet)
                unit = m_refSize;
            else if (object->type == kDict)
                unit = 2 * quint64(m_refSize);
            if (object->count > (m_tableOffset - at) / unit)
                return QStringLiteral("object %1 of %2 entries runs past the offset table")
                    .arg(index)
                    .arg(object->count);
            payloadBytes = object->count * unit;
            break;
        }
        default:
            return unknown();
        }
        if (payloadBytes > m_tableOffset - at)
            return QStringLiteral("object %1 runs past the offset table").arg(index);
        object->payload = at;
        return std::nullopt;
    }

    std::optional<QString> readObjects()
    {
        m_objects.resize(m_objectCount);
        for (quint64 i = 0; i < m_objectCount; ++i)
            if (auto fault = readObject(i, &m_objects[i]))
                return fault;
        return std::nullopt;
    }

    quint64 reference(const Object& container, quint64 slot) const
    {
        return readBigEndian(container.payload + slot * m_refSize, m_refSize);
    }

    // libplist hands keys out as C text and asserts that the text is as long as the key.
    bool holdsNul(const Object& string) const
    {
        if (string.type == kAsciiString)
            return std::memchr(m_data + string.payload, 0, string.count) != nullptr;
        for (quint64 i = 0; i < string.count; ++i)
            if (readBigEndian(string.payload + 2 * i, 2) == 0)
                return true;
        return false;
    }

    std::optional<QString> checkReferences() const
    {
        for (quint64 i = 0; i < m_objectCount; ++i) {
            const Object& object = m_objects[i];
            if (!object.isContainer())
                continue;
            for (quint64 slot = 0; slot < object.referenceCount(); ++slot) {
                const quint64 target = reference(object, slot);
                if (target >= m_objectCount)
                    return QStringLiteral("object %1 refers to object %2 of %3")
                        .arg(i)
                        .arg(target)
                        .arg(m_objectCount);
                if (object.type != kDict || slot >= object.count)
                    continue;
                const Object& key = m_objects[target];
                if (!key.isString())
                    return QStringLiteral(
                               "dictionary %1 has a key (object %2) that is not a string")
                        .arg(i)
                        .arg(target);
                if (holdsNul(key))
                    return QStringLiteral("dictionary %1 has a key (object %2) holding a NUL")
                        .arg(i)
                        .arg(target);
            }
        }
        return std::nullopt;
    }

    // Depth first from the top object, without recursion: a container met again
    // on the current path is a cycle; one met again elsewhere is shared and
    // counted again, as libplist copies it.
    std::optional<QString> walkFromTop()
    {
        struct Frame {
            quint64 index;
            quint64 nextSlot = 0;
            quint64 treeSize = 1;
            quint16 height = 0;
        };
        std::vector<Frame> path;
        auto enter = [&](quint64 index) {
            m_objects[index].visit = Visit::OnPath;
            path.push_back(Frame{index});
        };
        if (!m_objects[m_topObject].isContainer())
            return std::nullopt;
        enter(m_topObject);
        while (!path.empty()) {
            Frame& frame = path.back();
            Object& object = m_objects[frame.index];
            const quint64 depth = path.size() - 1;
            if (frame.nextSlot == object.referenceCount()) {
                object.visit = Visit::Done;
                object.height = frame.height;
                object.treeSize = frame.treeSize;
                path.pop_back();
                if (!path.empty()) {
                    Frame& parent = path.back();
                    parent.height = std::max<quint16>(parent.height, object.height + 1);
                    parent.treeSize += object.treeSize;
                    if (parent.treeSize > m_maxTreeSize)
                        return tooLarge();
                }
                continue;
            }
            const quint64 target = reference(object, frame.nextSlot++);
            Object& child = m_objects[target];
            if (child.visit == Visit::OnPath)
                return QStringLiteral("object %1 contains itself").arg(target);
            if (depth + 1 + child.height > quint64(m_maxDepth))
                return QStringLiteral("nested deeper than %1 levels").arg(m_maxDepth);
            if (child.isContainer() && child.visit == Visit::Unseen) {
                enter(target);
                continue;
            }
            frame.height = std::max<quint16>(frame.height, child.height + 1);
            frame.treeSize += child.treeSize;
            if (frame.treeSize > m_maxTreeSize)
                return tooLarge();
        }
        return std::nullopt;
    }

    QString tooLarge() const
    {
        return QStringLiteral("shared references expand to more than %1 values").arg(m_maxTreeSize);
    }

    const uchar* m_data;
    quint64 m_size;
    int m_maxDepth;
    quint64 m_maxTreeSize;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    quint64 m_tableOffset = 0;
    std::vector<Object> m_objects;
};

} // namespace

namespace BinaryPlistValidator {

std::optional<QString> firstFault(const QByteArray& bytes, int maxDepth)
{
    return Validator(bytes, maxDepth).run();
}

} // namespace BinaryPlistValidator
