// SPDX-License-Identifier: GPL-3.0-or-later
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <QDateTime>

#include "BinaryPlistBuilder.h"
#include "BinaryPlistValidator.h"
#include "Plist.h"
#include "QtPrinters.h"

namespace {

using namespace std::string_literals;

constexpr int kBridgeDepth = 256;

// What the bridge answered before the structural check: libplist's parse, then the node walk.
QVariant readThroughLibplist(const QByteArray& bytes)
{
    plist_t node = nullptr;
    plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &node);
    const QVariant value = Plist::fromNode(node);
    plist_free(node);
    return value;
}

TEST(BinaryPlistValidator, SoundPlistsOfEveryTypeReadAsBefore)
{
    QList<ValidBinaryPlist> plists = validBinaryPlists();
    const QVariantMap written{{"text", QStringLiteral("Grüße")},
                              {"when", QDateTime::fromSecsSinceEpoch(1589711415, Qt::UTC)},
                              {"list", QVariantList{1, 2.5, QByteArray("x")}},
                              {"flag", false}};
    plists.append({"writtenByLibplist", Plist::serialize(written, Plist::Format::Binary)});
    for (const ValidBinaryPlist& plist : plists) {
        SCOPED_TRACE(plist.name);
        EXPECT_EQ(BinaryPlistValidator::firstFault(plist.bytes, kBridgeDepth), std::nullopt);
        QString error;
        const QVariant value = Plist::parse(plist.bytes, &error);
        ASSERT_TRUE(value.isValid()) << error.toStdString();
        const QVariant before = readThroughLibplist(plist.bytes);
        EXPECT_EQ(value.typeId(), before.typeId());
        EXPECT_EQ(value, before);
    }
}

TEST(BinaryPlistValidator, SoundPlistsReadTheirValues)
{
    const auto byName = [](const std::string& name) {
        for (const ValidBinaryPlist& plist : validBinaryPlists())
            if (plist.name == name)
                return Plist::parse(plist.bytes);
        return QVariant();
    };
    EXPECT_EQ(byName("negativeInteger").toLongLong(), -42);
    EXPECT_EQ(byName("wideInteger").toLongLong(), 0x123456789LL);
    EXPECT_EQ(byName("integerOf16Bytes").toLongLong(), 5);
    EXPECT_EQ(byName("utf16WithNul").toString(), QString::fromUtf16(u"Gr\u00fc\u00dfe\0!", 7));
    EXPECT_EQ(byName("longAscii").toString().size(), 300);
    EXPECT_EQ(byName("date").toDateTime(),
              QDateTime(QDate(2020, 5, 17), QTime(10, 30, 15), Qt::UTC));
    const QVariantMap every = byName("dictOfEveryType").toMap();
    EXPECT_EQ(every.size(), 9);
    EXPECT_EQ(every.value(QString::fromUtf16(u"n\u00e4me")).toString(),
              QString::fromUtf16(u"\u65e5\u672c"));
    EXPECT_EQ(every.value("ref").value<quint64>(), 5u);
    EXPECT_EQ(byName("sharedContainer").toList(), (QVariantList{QVariantList{1}, QVariantList{1}}));
    EXPECT_EQ(byName("set").toList(), (QVariantList{1, 2}));
}

struct FaultCase {
    std::string name;
    std::function<QByteArray()> build;
    const char* fault; // a fragment of the reason given
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class BinaryPlistFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(BinaryPlistFault, IsRefusedWithItsReason)
{
    const QByteArray bytes = GetParam().build();
    const std::optional<QString> fault = BinaryPlistValidator::firstFault(bytes, kBridgeDepth);
    ASSERT_TRUE(fault.has_value());
    EXPECT_TRUE(fault->contains(QLatin1String(GetParam().fault))) << fault->toStdString();
    QString error;
    EXPECT_FALSE(Plist::parse(bytes, &error).isValid());
    EXPECT_TRUE(error.startsWith("damaged binary property list: ")) << error.toStdString();
}

// A dictionary of one entry whose key is the object `addKey` appends.
std::function<QByteArray()> dictWithKey(std::function<int(BinaryPlistBuilder&)> addKey)
{
    return [addKey] {
        BinaryPlistBuilder b;
        const int key = addKey(b);
        return b.build(b.dict({{key, b.integer(1)}}));
    };
}

// A dictionary with an array, built and then changed by `damage`.
std::function<QByteArray()> damaged(std::function<void(BinaryPlistBuilder&)> damage)
{
    return [damage] {
        BinaryPlistBuilder b;
        const int top = b.dict({{b.ascii("list"), b.array({b.integer(1), b.ascii("two")})}});
        damage(b);
        return b.build(top);
    };
}

// One object of raw bytes at the top.
std::function<QByteArray()> single(QByteArray object)
{
    return [object] {
        BinaryPlistBuilder b;
        return b.build(b.raw(object));
    };
}

std::function<QByteArray()> nested(int arrays)
{
    return [arrays] {
        BinaryPlistBuilder b;
        b.refSize = 2;
        int inner = b.integer(1);
        for (int i = 0; i < arrays; ++i)
            inner = b.array({inner});
        return b.build(inner);
    };
}

const FaultCase kFaults[] = {
    // Dictionary keys: the reported crash, and keys libplist cannot hold.
    {"keyInUtf16HoldingNul", dictWithKey([](BinaryPlistBuilder& b) { return b.utf16(u"ke\0y"s); }),
     "holding a NUL"},
    {"keyInAsciiHoldingNul",
     dictWithKey([](BinaryPlistBuilder& b) { return b.ascii(QByteArray("a\0b", 3)); }),
     "holding a NUL"},
    {"keyIsInteger", dictWithKey([](BinaryPlistBuilder& b) { return b.integer(7); }),
     "not a string"},
    {"keyIsData", dictWithKey([](BinaryPlistBuilder& b) { return b.data("key"); }), "not a string"},
    {"keyIsArray", dictWithKey([](BinaryPlistBuilder& b) { return b.array({}); }), "not a string"},
    // Header and trailer.
    {"tooShort", [] { return QByteArray("bplist00") + QByteArray(20, '\0'); }, "too short"},
    {"offsetSizeZero", damaged([](BinaryPlistBuilder& b) { b.trailer.offsetSize = 0; }),
     "offset size of 0"},
    {"offsetSizeFive", damaged([](BinaryPlistBuilder& b) { b.trailer.offsetSize = 5; }),
     "offset size of 5"},
    {"refSizeZero", damaged([](BinaryPlistBuilder& b) { b.trailer.refSize = 0; }),
     "reference size of 0"},
    {"refSizeSixteen", damaged([](BinaryPlistBuilder& b) { b.trailer.refSize = 16; }),
     "reference size of 16"},
    {"noObjects", damaged([](BinaryPlistBuilder& b) { b.trailer.objectCount = 0; }), "no objects"},
    {"objectCountPastTable", damaged([](BinaryPlistBuilder& b) { b.trailer.objectCount = 1000; }),
     "runs past the trailer"},
    {"objectCountHuge",
     damaged([](BinaryPlistBuilder& b) { b.trailer.objectCount = ~quint64(0) / 2; }),
     "runs past the trailer"},
    {"topObjectOutOfRange", damaged([](BinaryPlistBuilder& b) { b.trailer.topObject = 5; }),
     "top object 5"},
    {"tableInsideHeader", damaged([](BinaryPlistBuilder& b) { b.trailer.tableOffset = 4; }),
     "outside the file"},
    {"tablePastTrailer", damaged([](BinaryPlistBuilder& b) { b.trailer.tableOffset = 1u << 20; }),
     "outside the file"},
    {"tableOffsetWraps",
     damaged([](BinaryPlistBuilder& b) { b.trailer.tableOffset = ~quint64(0); }),
     "outside the file"},
    // Offset table entries.
    {"offsetIntoHeader", damaged([](BinaryPlistBuilder& b) { b.offsetOverrides[1] = 3; }),
     "outside the objects"},
    {"offsetAtTable",
     [] {
         BinaryPlistBuilder b;
         const int top = b.array({b.integer(1)});
         const QByteArray sound = b.build(top);
         b.offsetOverrides[0] = quint8(sound.back()); // the table's own first byte
         return b.build(top);
     },
     "outside the objects"},
    {"offsetPastFile", damaged([](BinaryPlistBuilder& b) { b.offsetOverrides[2] = 60000; }),
     "outside the objects"},
    // Object markers and lengths.
    {"nullMarker", single(QByteArray(1, '\x00')), "unknown marker 0x00"},
    {"fillMarker", single(QByteArray(1, '\x0f')), "unknown marker 0x0f"},
    {"markerSeven", single(QByteArray("\x71x", 2)), "unknown marker 0x71"},
    {"markerF", single(QByteArray(1, '\xf0')), "unknown marker 0xf0"},
    {"integerOf32Bytes", single(QByteArray("\x15") + QByteArray(32, '\1')), "unknown marker 0x15"},
    {"realOfTwoBytes", single(QByteArray("\x21\1\1", 3)), "unknown marker 0x21"},
    {"dateOfFourBytes", single(QByteArray("\x32\1\1\1\1", 5)), "unknown marker 0x32"},
    {"uidPastTable", single(QByteArray("\x8f\1\2\3", 4)), "runs past the offset table"},
    {"integerPastTable", single(QByteArray("\x13\1\2", 3)), "runs past the offset table"},
    {"asciiPastTable",
     single(QByteArray("\x5a"
                       "abc")),
     "runs past the offset table"},
    {"utf16PastTable", single(QByteArray("\x62\0a", 3)), "runs past the offset table"},
    {"arrayPastTable", single(QByteArray("\xa9\0", 2)), "runs past the offset table"},
    {"dictPastTable", single(QByteArray("\xd2\0\0\0", 4)), "runs past the offset table"},
    {"longLengthPastTable", single(QByteArray("\x4f\x13\0\0\0\0\0\0\1\0", 10)),
     "runs past the offset table"},
    {"lengthNotInteger", single(QByteArray("\x5f\x40\x20", 3)), "length of marker 0x40"},
    {"lengthOf16Bytes", single(QByteArray("\x5f\x14") + QByteArray(16, '\0')),
     "length of marker 0x14"},
    {"lengthCut", single(QByteArray("\x5f\x11\0", 3)), "no room for its length"},
    {"lengthMissing", single(QByteArray(1, '\x5f')), "no room for its length"},
    // References.
    {"arrayItemOutOfRange", damaged([](BinaryPlistBuilder& b) { b.array({9}); }),
     "refers to object 9"},
    {"dictValueOutOfRange",
     [] {
         BinaryPlistBuilder b;
         return b.build(b.dict({{b.ascii("k"), 40}}));
     },
     "refers to object 40"},
    {"selfContainingArray",
     [] {
         BinaryPlistBuilder b;
         return b.build(b.array({0}));
     },
     "contains itself"},
    {"cycleThroughDictValue",
     [] {
         BinaryPlistBuilder b;
         const int key = b.ascii("again");
         // object 1: dictionary -> object 2: array -> object 1
         b.dict({{key, 2}});
         b.array({1});
         return b.build(1);
     },
     "contains itself"},
    {"cycleBelowSharedBranch",
     [] {
         BinaryPlistBuilder b;
         const int leaf = b.integer(0);
         const int shared = b.array({leaf}); // 1
         b.array({shared, 3});               // 2 -> 1, 3
         b.array({2});                       // 3 -> 2: a cycle, after 1 was finished
         return b.build(2);
     },
     "contains itself"},
    // Depth and size.
    {"nestedTooDeep", nested(kBridgeDepth + 1), "nested deeper than 256"},
    {"deepThroughSharedBranch",
     [] {
         // The deep chain is met first at depth 1 (fits), then again at depth 2.
         BinaryPlistBuilder b;
         b.refSize = 2;
         int chain = b.integer(1);
         for (int i = 0; i < kBridgeDepth - 1; ++i)
             chain = b.array({chain});
         return b.build(b.array({chain, b.array({chain})}));
     },
     "nested deeper than 256"},
    {"sharedReferenceBomb",
     [] {
         BinaryPlistBuilder b;
         int level = b.integer(1);
         for (int i = 0; i < 40; ++i)
             level = b.array({level, level});
         return b.build(level);
     },
     "expand to more than"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BinaryPlistFault, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return info.param.name; });

TEST(BinaryPlistValidator, EveryTruncationFailsCleanly)
{
    for (const std::string name : {"dictOfEveryType", "wideReferences"}) {
        QByteArray whole;
        for (const ValidBinaryPlist& plist : validBinaryPlists())
            if (plist.name == name)
                whole = plist.bytes;
        ASSERT_FALSE(whole.isEmpty());
        for (qsizetype length = 0; length < whole.size(); ++length) {
            SCOPED_TRACE(name + " cut to " + std::to_string(length));
            QString error;
            EXPECT_FALSE(Plist::parse(whole.left(length), &error).isValid());
            EXPECT_FALSE(error.isEmpty());
        }
        EXPECT_TRUE(Plist::parse(whole).isValid());
    }
}

TEST(BinaryPlistValidator, DepthLimitIsTheCallersOwn)
{
    const QByteArray threeDeep = nested(3)();
    EXPECT_EQ(BinaryPlistValidator::firstFault(threeDeep, 3), std::nullopt);
    EXPECT_TRUE(BinaryPlistValidator::firstFault(threeDeep, 2).has_value());
}

} // namespace
