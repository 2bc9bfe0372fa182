// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinaryPlistBuilder.h"

#include <cstring>

#include <QtEndian>

namespace {

void appendBigEndian(QByteArray& out, quint64 value, unsigned width)
{
    for (unsigned i = width; i-- > 0;)
        out += char((value >> (8 * i)) & 0xFF);
}

} // namespace

using namespace std::string_literals;

QByteArray BinaryPlistBuilder::marker(quint8 type, quint64 length)
{
    QByteArray out;
    if (length < 15) {
        out += char((type << 4) | length);
        return out;
    }
    out += char((type << 4) | 0xF);
    unsigned nibble = 0;
    while (nibble < 3 && length >> (8 << nibble) != 0)
        ++nibble;
    out += char(0x10 | nibble);
    appendBigEndian(out, length, 1u << nibble);
    return out;
}

int BinaryPlistBuilder::append(Object object)
{
    m_objects.append(std::move(object));
    return objectCount() - 1;
}

int BinaryPlistBuilder::raw(const QByteArray& object) { return append({object, {}}); }

int BinaryPlistBuilder::boolean(bool value)
{
    return raw(QByteArray(1, char(value ? 0x09 : 0x08)));
}

int BinaryPlistBuilder::integer(qint64 value)
{
    QByteArray head;
    unsigned nibble = 3; // negative values take all eight bytes
    if (value >= 0)
        for (nibble = 0; nibble < 3 && quint64(value) >> (8 << nibble) != 0;)
            ++nibble;
    head += char(0x10 | nibble);
    appendBigEndian(head, quint64(value), 1u << nibble);
    return raw(head);
}

int BinaryPlistBuilder::real(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray head(1, char(0x23));
    appendBigEndian(head, bits, 8);
    return raw(head);
}

int BinaryPlistBuilder::date(double secondsSince2001)
{
    quint64 bits = 0;
    std::memcpy(&bits, &secondsSince2001, sizeof bits);
    QByteArray head(1, char(0x33));
    appendBigEndian(head, bits, 8);
    return raw(head);
}

int BinaryPlistBuilder::data(const QByteArray& bytes)
{
    return raw(marker(0x4, quint64(bytes.size())) + bytes);
}

int BinaryPlistBuilder::ascii(const QByteArray& text)
{
    return raw(marker(0x5, quint64(text.size())) + text);
}

int BinaryPlistBuilder::utf16(const std::u16string& units)
{
    QByteArray head = marker(0x6, units.size());
    for (char16_t unit : units)
        appendBigEndian(head, unit, 2);
    return raw(head);
}

int BinaryPlistBuilder::uid(quint32 value)
{
    QByteArray head(1, char(0x83));
    appendBigEndian(head, value, 4);
    return raw(head);
}

int BinaryPlistBuilder::array(const QList<int>& items)
{
    return append({marker(0xA, quint64(items.size())), items});
}

int BinaryPlistBuilder::set(const QList<int>& items)
{
    return append({marker(0xC, quint64(items.size())), items});
}

int BinaryPlistBuilder::dict(const QList<std::pair<int, int>>& keysAndValues)
{
    QList<int> references;
    for (const auto& entry : keysAndValues)
        references.append(entry.first);
    for (const auto& entry : keysAndValues)
        references.append(entry.second);
    return append({marker(0xD, quint64(keysAndValues.size())), references});
}

QByteArray BinaryPlistBuilder::build(int topObject) const
{
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const Object& object : m_objects) {
        offsets.append(quint64(out.size()));
        out += object.head;
        for (int reference : object.references)
            appendBigEndian(out, quint64(reference), refSize);
    }
    for (const auto& [index, offset] : offsetOverrides)
        offsets[index] = offset;
    const quint64 tableOffset = quint64(out.size());
    for (quint64 offset : offsets)
        appendBigEndian(out, offset, offsetSize);
    out += QByteArray(6, '\0');
    out += char(trailer.offsetSize.value_or(quint8(offsetSize)));
    out += char(trailer.refSize.value_or(quint8(refSize)));
    appendBigEndian(out, trailer.objectCount.value_or(quint64(m_objects.size())), 8);
    appendBigEndian(out, trailer.topObject.value_or(quint64(topObject)), 8);
    appendBigEndian(out, trailer.tableOffset.value_or(tableOffset), 8);
    return out;
}

QList<ValidBinaryPlist> validBinaryPlists()
{
    QList<ValidBinaryPlist> plists;
    auto single = [&](const std::string& name, auto add) {
        BinaryPlistBuilder b;
        const int top = add(b);
        plists.append({name, b.build(top)});
    };
    single("true", [](BinaryPlistBuilder& b) { return b.boolean(true); });
    single("false", [](BinaryPlistBuilder& b) { return b.boolean(false); });
    single("smallInteger", [](BinaryPlistBuilder& b) { return b.integer(7); });
    single("wideInteger", [](BinaryPlistBuilder& b) { return b.integer(0x123456789LL); });
    // Sixteen bytes, of which libplist keeps the low eight.
    single("integerOf16Bytes", [](BinaryPlistBuilder& b) {
        return b.raw(QByteArray(1, '\x14') + QByteArray(15, '\0') + '\x05');
    });
    single("negativeInteger", [](BinaryPlistBuilder& b) { return b.integer(-42); });
    single("real", [](BinaryPlistBuilder& b) { return b.real(2.5); });
    single("date", [](BinaryPlistBuilder& b) { return b.date(611404215.0); });
    single("emptyData", [](BinaryPlistBuilder& b) { return b.data({}); });
    single("data", [](BinaryPlistBuilder& b) { return b.data(QByteArray("\x00\x01\xff", 3)); });
    single("longAscii", [](BinaryPlistBuilder& b) { return b.ascii(QByteArray(300, 'a')); });
    single("emptyAscii", [](BinaryPlistBuilder& b) { return b.ascii({}); });
    // A NUL inside a string value is kept: only keys must be NUL-free.
    single("utf16WithNul", [](BinaryPlistBuilder& b) { return b.utf16(u"Gr\u00fc\u00dfe\0!"s); });
    single("uid", [](BinaryPlistBuilder& b) { return b.uid(12); });
    single("emptyArray", [](BinaryPlistBuilder& b) { return b.array({}); });
    single("emptyDict", [](BinaryPlistBuilder& b) { return b.dict({}); });
    single("set", [](BinaryPlistBuilder& b) { return b.set({b.integer(1), b.integer(2)}); });
    single("dictOfEveryType", [](BinaryPlistBuilder& b) {
        QList<std::pair<int, int>> entries;
        entries.append({b.ascii("flag"), b.boolean(true)});
        entries.append({b.ascii("count"), b.integer(3)});
        entries.append({b.ascii("ratio"), b.real(0.25)});
        entries.append({b.ascii("when"), b.date(0)});
        entries.append({b.ascii("blob"), b.data("xyz")});
        entries.append({b.utf16(u"n\u00e4me"), b.utf16(u"\u65e5\u672c")});
        entries.append({b.ascii("ref"), b.uid(5)});
        entries.append({b.ascii("list"), b.array({b.ascii("one"), b.integer(2)})});
        entries.append({b.ascii(""), b.ascii("empty key")});
        return b.dict(entries);
    });
    single("sharedLeaves", [](BinaryPlistBuilder& b) {
        const int key = b.ascii("k");
        const int value = b.integer(1);
        return b.array({b.dict({{key, value}}), b.dict({{key, value}}), value});
    });
    single("sharedContainer", [](BinaryPlistBuilder& b) {
        const int inner = b.array({b.integer(1)});
        return b.array({inner, inner});
    });
    single("manyEntries", [](BinaryPlistBuilder& b) {
        QList<std::pair<int, int>> entries;
        for (int i = 0; i < 40; ++i)
            entries.append({b.ascii("key" + QByteArray::number(i)), b.integer(i)});
        return b.dict(entries);
    });
    {
        // Two-byte references and eight-byte offsets, as large files have.
        BinaryPlistBuilder b;
        b.refSize = 2;
        b.offsetSize = 8;
        const int top = b.dict({{b.ascii("wide"), b.array({b.boolean(false)})}});
        plists.append({"wideReferences", b.build(top)});
    }
    {
        // Nested to the deepest level the bridge reads: 256 arrays below the top.
        BinaryPlistBuilder b;
        b.refSize = 2;
        int inner = b.integer(1);
        for (int i = 0; i < 256; ++i)
            inner = b.array({inner});
        plists.append({"deepest", b.build(inner)});
    }
    return plists;
}
