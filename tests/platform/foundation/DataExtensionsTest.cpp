#include "DataExtensions.h"

#include <zlib.h>

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

namespace {

using DataExtensions::zlibDeflate;
using DataExtensions::zlibInflate;

// A megabyte that compresses, but not trivially: words with random noise between.
QByteArray sampleMegabyte()
{
    QRandomGenerator random(42);
    QByteArray bytes;
    bytes.reserve(1 << 20);
    while (bytes.size() < (1 << 20)) {
        bytes += "mhit track record ";
        bytes += char(random.bounded(256));
    }
    bytes.truncate(1 << 20);
    return bytes;
}

// Compresses with zlib directly, in the stream format given by windowBits
// (15 zlib, -15 raw deflate, 31 gzip).
QByteArray compressWith(const QByteArray& input, int windowBits)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(input.size()))) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.truncate(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return out;
}

TEST(ZlibInflate, RoundTripsAMegabyte)
{
    const QByteArray original = sampleMegabyte();
    const QByteArray stream = compressWith(original, 15);
    const auto inflated = zlibInflate(stream);
    ASSERT_TRUE(inflated.has_value());
    EXPECT_EQ(*inflated, original);
}

TEST(ZlibInflate, GrowsFarBeyondTheInputSize)
{
    // 8 MiB of zeros compress to a few kilobytes: the buffer must grow many times.
    const QByteArray original(8 << 20, '\0');
    const QByteArray stream = compressWith(original, 15);
    ASSERT_LT(stream.size(), 64 * 1024);
    const auto inflated = zlibInflate(stream);
    ASSERT_TRUE(inflated.has_value());
    EXPECT_EQ(inflated->size(), original.size());
    EXPECT_EQ(*inflated, original);
}

TEST(ZlibDeflate, DeflateThenInflateGivesTheSameBytes)
{
    for (const QByteArray& original : {QByteArray("x"), QByteArray("Hello, Hello, Hello"), sampleMegabyte()}) {
        SCOPED_TRACE(original.size());
        const auto deflated = zlibDeflate(original);
        ASSERT_TRUE(deflated.has_value());
        EXPECT_EQ(static_cast<unsigned char>(deflated->at(0)) & 0x0f, 8);   // zlib header: deflate method
        const auto inflated = zlibInflate(*deflated);
        ASSERT_TRUE(inflated.has_value());
        EXPECT_EQ(*inflated, original);
    }
}

TEST(ZlibExtensions, EmptyInGivesEmptyOut)
{
    const auto inflated = zlibInflate(QByteArray());
    ASSERT_TRUE(inflated.has_value());
    EXPECT_TRUE(inflated->isEmpty());
    const auto deflated = zlibDeflate(QByteArray());
    ASSERT_TRUE(deflated.has_value());
    EXPECT_TRUE(deflated->isEmpty());
}

struct BadStreamCase {
    const char* name;
    std::function<QByteArray()> make;
};
void PrintTo(const BadStreamCase& c, std::ostream* os) { *os << c.name; }

class ZlibInflateRefuses : public ::testing::TestWithParam<BadStreamCase> {};

TEST_P(ZlibInflateRefuses, GivesNothing) { EXPECT_FALSE(zlibInflate(GetParam().make()).has_value()); }

QByteArray zlibSample() { return compressWith(QByteArray(4096, 'a') + QByteArray("tail of the data"), 15); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, ZlibInflateRefuses, ::testing::Values(
    BadStreamCase{"LastByteRemoved", [] { QByteArray s = zlibSample(); s.chop(1); return s; }},
    BadStreamCase{"CutInHalf", [] { const QByteArray s = compressWith(sampleMegabyte(), 15); return s.left(s.size() / 2); }},
    BadStreamCase{"HeaderOnly", [] { return zlibSample().left(2); }},
    BadStreamCase{"OneByte", [] { return QByteArray("x"); }},
    BadStreamCase{"ChecksumWrong", [] { QByteArray s = zlibSample(); s[s.size() - 1] = char(s.at(s.size() - 1) ^ 0x55); return s; }},
    BadStreamCase{"BodyCorrupt", [] { QByteArray s = compressWith(sampleMegabyte(), 15); for (int i = 100; i < 200; ++i) s[i] = char(0xff); return s; }},
    BadStreamCase{"Garbage", [] { return QByteArray(1000, char(0xa5)); }},
    BadStreamCase{"RawDeflate", [] { return compressWith(QByteArray("raw deflate has no zlib header"), -15); }},
    BadStreamCase{"Gzip", [] { return compressWith(QByteArray("a gzip member is not a zlib stream"), 31); }}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct LimitCase {
    qsizetype limit;
    bool accepted;
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.limit; }

class ZlibInflateLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ZlibInflateLimit, RefusesOutputBeyondTheLimit)
{
    const qsizetype size = 1 << 20;
    const QByteArray stream = compressWith(QByteArray(size, 'z'), 15);
    const auto inflated = zlibInflate(stream, GetParam().limit);
    EXPECT_EQ(inflated.has_value(), GetParam().accepted);
    if (inflated) {
        EXPECT_EQ(inflated->size(), size);
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, ZlibInflateLimit,
                         ::testing::Values(LimitCase{0, false}, LimitCase{1000, false},
                                           LimitCase{(1 << 20) - 1, false}, LimitCase{1 << 20, true},
                                           LimitCase{(1 << 20) + 1, true}, LimitCase{64 << 20, true}));

TEST(ZlibInflateLimit, DefaultIsGenerousButFinite)
{
    EXPECT_EQ(DataExtensions::kDefaultInflateLimit, qsizetype(512) << 20);
}

struct Base64Case {
    QByteArray data;
    const char* text;
};
void PrintTo(const Base64Case& c, std::ostream* os) { *os << c.text; }

class Base64 : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64, StandardAlphabetWithPadding)
{
    EXPECT_EQ(StringAdditions::base64StringFromDataLength(GetParam().data, int(GetParam().data.size())),
              QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64,
                         ::testing::Values(Base64Case{QByteArray(), ""}, Base64Case{"f", "Zg=="},
                                           Base64Case{"fo", "Zm8="}, Base64Case{"foo", "Zm9v"},
                                           Base64Case{"foob", "Zm9vYg=="}, Base64Case{"fooba", "Zm9vYmE="},
                                           Base64Case{"foobar", "Zm9vYmFy"},
                                           Base64Case{QByteArray("\xfb\xff\xfe", 3), "+//+"}));

TEST(Base64, HundredBytesGiveOneLineOf136Characters)
{
    QByteArray data;
    for (int i = 0; i < 100; ++i)
        data.append(char(i * 37));
    const QString text = StringAdditions::base64StringFromDataLength(data, 100);
    EXPECT_EQ(text.size(), 136);
    EXPECT_TRUE(text.endsWith(QStringLiteral("==")));
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_FALSE(text.contains(QLatin1Char('\r')));
    // The length argument does not change the text.
    EXPECT_EQ(StringAdditions::base64StringFromDataLength(data, 3), text);
    EXPECT_EQ(QByteArray::fromBase64(text.toLatin1()), data);
}

} // namespace
