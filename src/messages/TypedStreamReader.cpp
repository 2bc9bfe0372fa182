// SPDX-License-Identifier: GPL-3.0-or-later
#include "TypedStreamReader.h"

#include <QList>
#include <QStringDecoder>

namespace {

// Tag bytes of the format. A byte that is none of them is a number, or, where
// a string or an object is expected, a reference: the index of an entry read
// earlier, counted from kReferenceBase.
constexpr quint8 kInt16 = 0x81;
constexpr quint8 kInt32 = 0x82;
constexpr quint8 kReal = 0x83;
constexpr quint8 kNew = 0x84;
constexpr quint8 kNil = 0x85;
constexpr quint8 kEndOfObject = 0x86;
constexpr qint64 kReferenceBase = -110;
// Far deeper than any attributed string or array nests.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(const QByteArray& data)
        : m_data(data)
    {
    }

    // Reads the header and every value group; false at the first damage.
    bool parse()
    {
        if (!readHeader())
            return false;
        while (m_pos < m_data.size()) {
            if (!readGroup(0))
                return false;
        }
        return true;
    }

    const QStringList& strings() const { return m_strings; }
    const QByteArray& outermostClass() const { return m_outermostClass; }

private:
    bool readHeader()
    {
        const auto version = readByte();
        if (!version || (*version != 3 && *version != 4))
            return false;
        const auto length = readInteger();
        if (!length || *length != 11 || !hasBytes(11))
            return false;
        // "typedstream" is the big-endian form, which no device writes.
        if (m_data.mid(m_pos, 11) != QByteArrayLiteral("streamtyped"))
            return false;
        m_pos += 11;
        return readInteger().has_value(); // the archiver's system version
    }

    bool hasBytes(qint64 count) const { return count >= 0 && count <= m_data.size() - m_pos; }

    std::optional<quint8> peek() const
    {
        if (m_pos >= m_data.size())
            return std::nullopt;
        return quint8(m_data.at(m_pos));
    }

    std::optional<quint8> readByte()
    {
        const auto byte = peek();
        if (byte)
            ++m_pos;
        return byte;
    }

    std::optional<qint64> readLittleEndian(int size)
    {
        if (!hasBytes(size))
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint64(quint8(m_data.at(m_pos + i))) << (8 * i);
        m_pos += size;
        switch (size) {
        case 2:
            return qint16(value);
        case 4:
            return qint32(value);
        default:
            return qint64(value);
        }
    }

    std::optional<qint64> readInteger()
    {
        const auto byte = readByte();
        if (!byte)
            return std::nullopt;
        switch (*byte) {
        case kInt16:
            return readLittleEndian(2);
        case kInt32:
            return readLittleEndian(4);
        case kReal:
            return readLittleEndian(8);
        default:
            return qint8(*byte);
        }
    }

    // An index into `table` from a reference; none when out of range.
    template <class T> std::optional<qsizetype> readReference(const QList<T>& table)
    {
        const auto value = readInteger();
        if (!value)
            return std::nullopt;
        const qint64 index = *value - kReferenceBase;
        if (index < 0 || index >= table.size())
            return std::nullopt;
        return qsizetype(index);
    }

    // A string stored once and referred to afterwards (type signatures,
    // class names). A nil one reads as a null array.
    std::optional<QByteArray> readSharedString()
    {
        const auto tag = peek();
        if (!tag)
            return std::nullopt;
        if (*tag == kNil) {
            ++m_pos;
            return QByteArray();
        }
        if (*tag == kNew) {
            ++m_pos;
            const auto length = readInteger();
            if (!length || !hasBytes(*length))
                return std::nullopt;
            const QByteArray bytes = m_data.mid(m_pos, *length);
            m_pos += *length;
            m_shared.append(bytes);
            return bytes;
        }
        const auto index = readReference(m_shared);
        if (!index)
            return std::nullopt;
        return m_shared.at(*index);
    }

    // A class with its superclasses; its name (empty for nil).
    std::optional<QByteArray> readClass(int depth)
    {
        if (depth > kMaxDepth)
            return std::nullopt;
        const auto tag = peek();
        if (!tag)
            return std::nullopt;
        if (*tag == kNil) {
            ++m_pos;
            return QByteArray();
        }
        if (*tag == kNew) {
            ++m_pos;
            const auto name = readSharedString();
            if (!name || name->isEmpty() || !readInteger()) // the class version
                return std::nullopt;
            m_objects.append(*name);
            if (!readClass(depth + 1))
                return std::nullopt;
            return name;
        }
        const auto index = readReference(m_objects);
        if (!index)
            return std::nullopt;
        return m_objects.at(*index);
    }

    bool readObject(int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const auto tag = peek();
        if (!tag)
            return false;
        if (*tag == kNil) {
            ++m_pos;
            return true;
        }
        if (*tag != kNew) // an object read before
            return readReference(m_objects).has_value();
        ++m_pos;
        // The object takes its number before its class does.
        const qsizetype slot = m_objects.size();
        m_objects.append(QByteArray());
        const auto className = readClass(depth + 1);
        if (!className)
            return false;
        m_objects[slot] = *className;
        if (m_outermostClass.isNull())
            m_outermostClass = *className;
        // The class writes its contents as value groups up to the end tag.
        for (;;) {
            const auto next = peek();
            if (!next)
                return false;
            if (*next == kEndOfObject) {
                ++m_pos;
                return true;
            }
            if (!readGroup(depth + 1))
                return false;
        }
    }

    bool readBytesString()
    {
        const auto length = readInteger();
        if (!length || !hasBytes(*length))
            return false;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(QByteArrayView(m_data.constData() + m_pos, *length));
        if (decoder.hasError())
            return false;
        m_pos += *length;
        m_strings.append(text);
        return true;
    }

    bool readFloating(int size)
    {
        const auto tag = peek();
        if (tag && *tag == kReal) {
            ++m_pos;
            if (!hasBytes(size))
                return false;
            m_pos += size;
            return true;
        }
        return readInteger().has_value();
    }

    // A type signature and one value per type in it.
    bool readGroup(int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const auto types = readSharedString();
        if (!types || types->isEmpty())
            return false;
        for (char type : *types) {
            bool read = false;
            switch (type) {
            case '@':
                read = readObject(depth + 1);
                break;
            case '#':
                read = readClass(depth + 1).has_value();
                break;
            case '+':
                read = readBytesString();
                break;
            case '*':
            case ':':
                read = readSharedString().has_value();
                break;
            case 'c':
            case 'C':
            case 's':
            case 'S':
            case 'i':
            case 'I':
            case 'l':
            case 'L':
            case 'q':
            case 'Q':
            case 'B':
                read = readInteger().has_value();
                break;
            case 'f':
                read = readFloating(4);
                break;
            case 'd':
                read = readFloating(8);
                break;
            default:
                // Arrays, structures and unions: nothing of ours follows them.
                read = false;
                break;
            }
            if (!read)
                return false;
        }
        return true;
    }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    QList<QByteArray> m_shared;
    QList<QByteArray> m_objects;
    QStringList m_strings;
    QByteArray m_outermostClass;
};

} // namespace

std::optional<QString> TypedStreamReader::attributedStringText(const QByteArray& blob)
{
    Parser parser(blob);
    parser.parse();
    // The attributes after the text may be damaged or of a kind we do not
    // read: the text, whole, still counts.
    if (!parser.outermostClass().endsWith("AttributedString") || parser.strings().isEmpty())
        return std::nullopt;
    return parser.strings().constFirst();
}

QStringList TypedStreamReader::strings(const QByteArray& blob)
{
    Parser parser(blob);
    parser.parse();
    return parser.strings();
}
