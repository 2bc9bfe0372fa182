#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include "Plist.h"

namespace {

QVariantMap sample()
{
    return QVariantMap{
        {"negative", qint64(-42)},
        {"big", qint64(0x7fffffffffffffffLL)},
        {"minimum", qint64(std::numeric_limits<qint64>::min())},
        {"text", QStringLiteral("Grüße & <tags>")},
        {"real", 2.5},
        {"flag", true},
        {"data", QByteArray("\x00\x01\xff", 3)},
        {"date", QDateTime(QDate(2020, 5, 17), QTime(10, 30, 15), Qt::UTC)},
        {"list", QVariantList{1, QStringLiteral("two"), QVariantMap{{"k", 3}}}},
    };
}

class PlistRoundTrip : public ::testing::TestWithParam<Plist::Format> {};

TEST_P(PlistRoundTrip, KeepsEveryTypeAndSignedIntegers)
{
    const QByteArray bytes = Plist::serialize(sample(), GetParam());
    ASSERT_FALSE(bytes.isEmpty());
    const QVariantMap back = Plist::parse(bytes).toMap();
    EXPECT_EQ(back.value("negative").toLongLong(), -42);
    EXPECT_EQ(back.value("big").toLongLong(), 0x7fffffffffffffffLL);
    EXPECT_EQ(back.value("minimum").toLongLong(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(back.value("text").toString(), QStringLiteral("Grüße & <tags>"));
    EXPECT_DOUBLE_EQ(back.value("real").toDouble(), 2.5);
    EXPECT_EQ(back.value("flag").typeId(), QMetaType::Bool);
    EXPECT_TRUE(back.value("flag").toBool());
    EXPECT_EQ(back.value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(back.value("date").toDateTime(),
              QDateTime(QDate(2020, 5, 17), QTime(10, 30, 15), Qt::UTC));
    const QVariantList list = back.value("list").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(1).toString(), QStringLiteral("two"));
    EXPECT_EQ(list.at(2).toMap().value("k").toLongLong(), 3);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, PlistRoundTrip,
                         ::testing::Values(Plist::Format::Xml, Plist::Format::Binary));

TEST(Plist, ReadsNegativeIntegerWrittenByOthersInXml)
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>pid</key><integer>-8070450532247928832</integer></dict></plist>";
    EXPECT_EQ(Plist::parse(xml).toMap().value("pid").toLongLong(), -8070450532247928832LL);
}

struct HostileCase {
    const char* name;
    QByteArray bytes;
};

class PlistHostileInput : public ::testing::TestWithParam<HostileCase> {};

TEST_P(PlistHostileInput, FailsCleanly)
{
    QString error;
    const QVariant value = Plist::parse(GetParam().bytes, &error);
    EXPECT_FALSE(value.isValid());
    EXPECT_FALSE(error.isEmpty());
}

QByteArray truncatedBinary()
{
    QByteArray bytes = Plist::serialize(sample(), Plist::Format::Binary);
    bytes.chop(10);
    return bytes;
}

QByteArray deepXml(int depth)
{
    QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += "<array>";
    for (int i = 0; i < depth; ++i)
        xml += "</array>";
    return xml + "</plist>";
}

// A binary plist whose only array holds a reference to itself.
QByteArray selfReferencingBinary()
{
    QByteArray bytes("bplist00");
    bytes += char(0xA1); // array of one element, object 0
    bytes += char(0x00); // element: object 0, i.e. the array itself
    const int offsetTable = bytes.size();
    bytes += char(8); // object 0 starts at offset 8
    QByteArray trailer(32, '\0');
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // object reference size
    trailer[15] = 1; // one object
    trailer[23] = 0; // top object
    trailer[31] = char(offsetTable);
    return bytes + trailer;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlistHostileInput,
    ::testing::Values(HostileCase{"empty", QByteArray()},
                      HostileCase{"garbage", QByteArray("not a plist at all")},
                      HostileCase{"truncatedBinary", truncatedBinary()},
                      HostileCase{"headerOnly", QByteArray("bplist00")},
                      HostileCase{"unclosedXml",
                                  QByteArray("<?xml version=\"1.0\"?><plist><dict><key>a</key>")},
                      HostileCase{"tooDeep", deepXml(2000)},
                      HostileCase{"selfReference", selfReferencingBinary()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Plist, WrongTypesReadAsEmptyValues)
{
    const QByteArray xml = Plist::serialize(QVariantList{QStringLiteral("a")});
    const QVariant value = Plist::parse(xml);
    EXPECT_TRUE(value.toMap().isEmpty());
    EXPECT_EQ(value.toList().size(), 1);
}

TEST(Plist, WriteFileReplacesAtomically)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.plist");
    ASSERT_TRUE(Plist::writeFile(path, QVariantMap{{"a", 1}}, Plist::Format::Binary));
    ASSERT_TRUE(Plist::writeFile(path, QVariantMap{{"b", 2}}));
    const QVariantMap back = Plist::readFile(path).toMap();
    EXPECT_FALSE(back.contains("a"));
    EXPECT_EQ(back.value("b").toInt(), 2);
    EXPECT_FALSE(Plist::writeFile(dir.filePath("missing/folder/x.plist"), QVariantMap{{"a", 1}}));
}

} // namespace
