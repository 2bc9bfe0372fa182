#include "QELBinaryFileHandle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

// A reader over a file holding exactly these bytes, in a folder of its own.
class ReaderFixture {
public:
    explicit ReaderFixture(const QByteArray& bytes)
    {
        m_path = m_dir.filePath(QStringLiteral("data.bin"));
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// ---- integers: every width, sign extension, byte order, short reads ----

struct IntegerCase {
    const char* name;
    QByteArray file;
    std::function<long double(QELBinaryFileHandle&)> read;
    long double value;
    uint32_t counter;    // what the read asked for
    uint64_t position;   // never beyond what the file holds
    bool hitEnd;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.name; }

class IntegerReads : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerReads, ValueCounterAndPosition)
{
    const IntegerCase& c = GetParam();
    ReaderFixture fixture(c.file);
    QELBinaryFileHandle reader(fixture.path());
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(c.read(reader), c.value);
    EXPECT_EQ(reader.byteCount(), c.counter);
    EXPECT_EQ(reader.position(), c.position);
    EXPECT_EQ(reader.hitEnd(), c.hitEnd);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Widths, IntegerReads, ::testing::Values(
    IntegerCase{"Byte80", bytes({0x80}), [](auto& r) { return r.readByte(); }, -128, 1, 1, false},
    IntegerCase{"UnsignedByte80", bytes({0x80}), [](auto& r) { return r.readUnsignedByte(); }, 128, 1, 1, false},
    IntegerCase{"Byte7F", bytes({0x7f}), [](auto& r) { return r.readByte(); }, 127, 1, 1, false},
    IntegerCase{"Int16FFFF", bytes({0xff, 0xff}), [](auto& r) { return r.readInt16(); }, -1, 2, 2, false},
    IntegerCase{"UInt16FFFF", bytes({0xff, 0xff}), [](auto& r) { return r.readUInt16(); }, 65535, 2, 2, false},
    IntegerCase{"Int16LittleEndian", bytes({0x34, 0x12}), [](auto& r) { return r.readInt16(); }, 0x1234, 2, 2, false},
    IntegerCase{"Int32Negative", bytes({0xfe, 0xff, 0xff, 0xff}), [](auto& r) { return r.readInt32(); }, -2, 4, 4, false},
    IntegerCase{"UInt32Max", bytes({0xff, 0xff, 0xff, 0xff}), [](auto& r) { return r.readUInt32(); }, 4294967295.0L, 4, 4, false},
    IntegerCase{"UInt32LittleEndian", bytes({0x01, 0x02, 0x03, 0x04}), [](auto& r) { return r.readUInt32(); }, 0x04030201, 4, 4, false},
    IntegerCase{"Int64Negative", bytes({0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), [](auto& r) { return r.readInt64(); }, -1, 8, 8, false},
    IntegerCase{"Int64LittleEndian", bytes({8, 7, 6, 5, 4, 3, 2, 1}), [](auto& r) { return r.readInt64(); }, 0x0102030405060708LL, 8, 8, false},
    IntegerCase{"UInt64Max", bytes({0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}), [](auto& r) { return r.readUInt64(); }, 18446744073709551615.0L, 8, 8, false},
    // Fewer bytes than asked: 0, nothing read beyond the file, counter by the length asked.
    IntegerCase{"ByteOfEmptyFile", QByteArray(), [](auto& r) { return r.readByte(); }, 0, 1, 0, true},
    IntegerCase{"Int16OfOneByte", bytes({0xff}), [](auto& r) { return r.readInt16(); }, 0, 2, 1, true},
    IntegerCase{"UInt32OfThreeBytes", bytes({1, 2, 3}), [](auto& r) { return r.readUInt32(); }, 0, 4, 3, true},
    IntegerCase{"Int64OfSevenBytes", bytes({1, 2, 3, 4, 5, 6, 7}), [](auto& r) { return r.readInt64(); }, 0, 8, 7, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// ---- strings and data: both string kinds, short reads ----

struct TextCase {
    const char* name;
    QByteArray file;
    std::function<QString(QELBinaryFileHandle&)> read;
    QString text;
    uint32_t counter;
    uint64_t position;
    bool hitEnd;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextReads : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReads, TextCounterAndPosition)
{
    const TextCase& c = GetParam();
    ReaderFixture fixture(c.file);
    QELBinaryFileHandle reader(fixture.path());
    const QString text = c.read(reader);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(reader.byteCount(), c.counter);
    EXPECT_EQ(reader.position(), c.position);
    EXPECT_EQ(reader.hitEnd(), c.hitEnd);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Strings, TextReads, ::testing::Values(
    TextCase{"Tag", QByteArray("mhbd\x68\0\0\0", 8), [](auto& r) { return r.readStringOfLength(4); }, QStringLiteral("mhbd"), 4, 4, false},
    TextCase{"AsciiZeroLength", QByteArray("abc"), [](auto& r) { return r.readStringOfLength(0); }, QString(), 0, 0, false},
    TextCase{"AsciiKeepsEmbeddedZero", QByteArray("a\0b", 3), [](auto& r) { return r.readStringOfLength(3); }, QString::fromLatin1("a\0b", 3), 3, 3, false},
    TextCase{"AsciiHighByteAsLatin1", bytes({'c', 0xe9}), [](auto& r) { return r.readStringOfLength(2); }, QString::fromUtf8("c\xc3\xa9"), 2, 2, false},
    TextCase{"AsciiShort", QByteArray("ab"), [](auto& r) { return r.readStringOfLength(4); }, QStringLiteral("ab"), 4, 2, true},
    TextCase{"Utf16", QByteArray("h\0i\0", 4), [](auto& r) { return r.readUTF16StringOfLength(4); }, QStringLiteral("hi"), 4, 4, false},
    TextCase{"Utf16NonAscii", bytes({0xfc, 0x00, 0x3c, 0xd8, 0xb5, 0xdf}), [](auto& r) { return r.readUTF16StringOfLength(6); },
             QString::fromUtf8("\xc3\xbc\xf0\x9f\x8e\xb5"), 6, 6, false},
    TextCase{"Utf16NoByteOrderMarkHandling", bytes({0xff, 0xfe, 'a', 0}), [](auto& r) { return r.readUTF16StringOfLength(4); },
             QString(QChar(0xfeff)) + QLatin1Char('a'), 4, 4, false},
    TextCase{"Utf16OddLengthDropsHalfUnit", QByteArray("a\0b", 3), [](auto& r) { return r.readUTF16StringOfLength(3); }, QStringLiteral("a"), 3, 3, false},
    TextCase{"Utf16Short", QByteArray("a\0", 2), [](auto& r) { return r.readUTF16StringOfLength(8); }, QStringLiteral("a"), 8, 2, true},
    TextCase{"DataShort", QByteArray("xyz"), [](auto& r) { return QString::fromLatin1(r.readDataOfLength(10)); }, QStringLiteral("xyz"), 10, 3, true},
    TextCase{"DataExact", QByteArray("xyz"), [](auto& r) { return QString::fromLatin1(r.readDataOfLength(3)); }, QStringLiteral("xyz"), 3, 3, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// ---- negative and absurd lengths, as a corrupt length field gives them ----

struct HostileLengthCase {
    const char* name;
    std::function<void(QELBinaryFileHandle&)> act;
    uint64_t position;   // after starting at offset 6 of a 16-byte file
    uint32_t counter;
};

void PrintTo(const HostileLengthCase& c, std::ostream* os) { *os << c.name; }

class HostileLengths : public ::testing::TestWithParam<HostileLengthCase> {};

TEST_P(HostileLengths, NeverMoveBackwardsOrBeyondTheFile)
{
    ReaderFixture fixture(QByteArray(16, 'q'));
    QELBinaryFileHandle reader(fixture.path());
    reader.setPosition(6);
    GetParam().act(reader);
    EXPECT_EQ(reader.position(), GetParam().position);
    EXPECT_EQ(reader.byteCount(), GetParam().counter);
    EXPECT_LE(reader.position(), 16u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lengths, HostileLengths, ::testing::Values(
    HostileLengthCase{"SkipNegative", [](auto& r) { r.skipBytes(-4); }, 6, 0},
    HostileLengthCase{"SkipIntMin", [](auto& r) { r.skipBytes(INT_MIN); }, 6, 0},
    HostileLengthCase{"DataNegative", [](auto& r) { EXPECT_TRUE(r.readDataOfLength(-1).isEmpty()); }, 6, 0},
    HostileLengthCase{"StringNegative", [](auto& r) { EXPECT_TRUE(r.readStringOfLength(-5).isEmpty()); }, 6, 0},
    HostileLengthCase{"Utf16Negative", [](auto& r) { EXPECT_TRUE(r.readUTF16StringOfLength(-2).isEmpty()); }, 6, 0},
    HostileLengthCase{"SkipBeyondEnd", [](auto& r) { r.skipBytes(INT_MAX); EXPECT_TRUE(r.hitEnd()); }, 16, INT_MAX},
    // Only the 10 bytes that are there are read: nothing of the asked length is allocated.
    HostileLengthCase{"DataIntMax", [](auto& r) { EXPECT_EQ(r.readDataOfLength(INT_MAX).size(), 10); }, 16, INT_MAX},
    HostileLengthCase{"Utf16IntMax", [](auto& r) { EXPECT_EQ(r.readUTF16StringOfLength(INT_MAX).size(), 5); }, 16, INT_MAX},
    HostileLengthCase{"SeekBeyondEnd", [](auto& r) { r.setPosition(1ull << 40); EXPECT_TRUE(r.hitEnd()); EXPECT_EQ(r.readUInt32(), 0u); }, 16, 4},
    HostileLengthCase{"SeekToEndIsNoFault", [](auto& r) { r.setPosition(16); EXPECT_FALSE(r.hitEnd()); }, 16, 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// ---- byteAlignEven skips (offset mod 4) bytes ----

struct AlignCase {
    uint64_t from;
    uint64_t to;
};
void PrintTo(const AlignCase& c, std::ostream* os) { *os << c.from << "->" << c.to; }

class ByteAlignEven : public ::testing::TestWithParam<AlignCase> {};

TEST_P(ByteAlignEven, LandsOnTheEvenOffset)
{
    ReaderFixture fixture(QByteArray(32, '\0'));
    QELBinaryFileHandle reader(fixture.path());
    reader.setPosition(GetParam().from);
    reader.byteAlignEven();
    EXPECT_EQ(reader.position(), GetParam().to);
    EXPECT_EQ(reader.byteCount(), GetParam().to - GetParam().from);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ByteAlignEven,
                         ::testing::Values(AlignCase{0, 0}, AlignCase{8, 8}, AlignCase{9, 10}, AlignCase{10, 12},
                                           AlignCase{11, 14}));

// ---- the byte counter ----

TEST(BinaryFileHandleCounter, GrowsByReadsAndSkipsOnly)
{
    ReaderFixture fixture(bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
    QELBinaryFileHandle reader(fixture.path());
    reader.skipBytes(2);
    reader.resetByteCount();
    EXPECT_EQ(reader.byteCount(), 0u);
    reader.setPosition(0);
    EXPECT_EQ(reader.readUInt32(), 1u);
    reader.skipBytes(8);
    EXPECT_EQ(reader.byteCount(), 12u);
    reader.skipBytes(0);
    EXPECT_EQ(reader.byteCount(), 12u);
    EXPECT_EQ(reader.position(), 12u);

    // A seek leaves the counter; reading the first word again adds 4.
    reader.setPosition(0);
    EXPECT_EQ(reader.byteCount(), 12u);
    EXPECT_EQ(reader.readUInt32(), 1u);
    EXPECT_EQ(reader.byteCount(), 16u);

    // Reading to the end leaves it too.
    EXPECT_EQ(reader.readDataToEndOfFile().size(), 12);
    EXPECT_EQ(reader.byteCount(), 16u);
    EXPECT_EQ(reader.position(), 16u);
    EXPECT_FALSE(reader.hitEnd());
    EXPECT_EQ(reader.description(), QStringLiteral("Position:16 ByteCount:16"));

    reader.closeFile();
    EXPECT_EQ(reader.byteCount(), 0u);
    EXPECT_EQ(reader.position(), 0u);
    EXPECT_EQ(reader.readUInt32(), 0u);
}

// The chunk pattern every format reader follows: reset at the tag, read the
// header fields, skip the declared header length minus what was read.
TEST(BinaryFileHandleCounter, SkipsTheRestOfADeclaredHeader)
{
    QByteArray file("mhbd");
    file += bytes({24, 0, 0, 0, 32, 0, 0, 0});   // header length 24, total 32
    file += QByteArray(12, 'h');                 // rest of the header
    file += bytes({7, 0, 0, 0});                 // the body's one field
    file += QByteArray(4, 'p');                  // padding up to the total length
    file += QByteArray("mhit");
    ReaderFixture fixture(file);
    QELBinaryFileHandle reader(fixture.path());
    reader.resetByteCount();
    ASSERT_EQ(reader.readStringOfLength(4), QStringLiteral("mhbd"));
    const uint32_t headerLength = reader.readUInt32();
    const uint32_t totalLength = reader.readUInt32();
    reader.skipBytes(static_cast<int>(headerLength - reader.byteCount()));
    EXPECT_EQ(reader.readUInt32(), 7u);
    reader.skipBytes(static_cast<int>(totalLength - reader.byteCount()));
    EXPECT_EQ(reader.readStringOfLength(4), QStringLiteral("mhit"));
    EXPECT_FALSE(reader.hitEnd());
}

// ---- a file that cannot be opened ----

class UnopenableFile : public ::testing::TestWithParam<const char*> {};

TEST_P(UnopenableFile, ReadsGiveNothingAndCounterStillGrows)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    QELBinaryFileHandle reader(dir.filePath(QString::fromLatin1(GetParam())));
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.position(), 0u);
    EXPECT_EQ(reader.size(), 0u);
    EXPECT_EQ(reader.readUInt32(), 0u);
    EXPECT_TRUE(reader.readStringOfLength(3).isEmpty());
    EXPECT_TRUE(reader.readDataToEndOfFile().isEmpty());
    reader.skipBytes(5);
    reader.setPosition(100);
    reader.byteAlignEven();
    EXPECT_EQ(reader.byteCount(), 12u);
    EXPECT_EQ(reader.position(), 0u);
    EXPECT_TRUE(reader.hitEnd());
    EXPECT_EQ(reader.description(), QStringLiteral("Position:0 ByteCount:12"));
    reader.closeFile();
}

INSTANTIATE_TEST_SUITE_P(Paths, UnopenableFile, ::testing::Values("missing.bin", "folder"));

} // namespace
