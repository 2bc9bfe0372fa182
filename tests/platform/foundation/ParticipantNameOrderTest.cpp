#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <QStringList>

#include "ParticipantNameOrder.h"
#include "QtPrinters.h"

namespace {

using ParticipantNameOrder::Entry;
using ParticipantNameOrder::Kind;

QStringList names(const std::vector<Entry>& entries)
{
    QStringList out;
    for (const Entry& entry : entries)
        out << entry.displayName + QLatin1Char('|') + entry.handle;
    return out;
}

TEST(ParticipantNameOrder, NamesBeforeNumbersIgnoringCase)
{
    std::vector<Entry> list{{"Bob", "1"}, {"+44 20", "+44 20"}, {"alice", "2"}, {"123", "123"}};
    std::sort(list.begin(), list.end(), &ParticipantNameOrder::lessThan);
    EXPECT_EQ(names(list), (QStringList{"alice|2", "Bob|1", "+44 20|+44 20", "123|123"}));
}

TEST(ParticipantNameOrder, KindOfAName)
{
    struct Case {
        QString name;
        Kind kind;
    };
    const std::vector<Case> cases{
        {QString(), Kind::Empty},
        {QStringLiteral("123"), Kind::Number},
        {QStringLiteral("+1 555"), Kind::Number},
        {QStringLiteral("Ann (+1)"), Kind::Number}, // a "+" anywhere counts, as the list always did
        {QStringLiteral(" 123"), Kind::Name},
        {QString::fromUtf8("٣٤٥"), Kind::Number},         // Arabic-Indic digits are decimal digits
        {QString::fromUtf8("\U0001D7CE1"), Kind::Number}, // a digit outside the first plane
        {QString::fromUtf8("Émile"), Kind::Name},
        {QStringLiteral("ann@example.com"), Kind::Name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(ParticipantNameOrder::kindOf(c.name), c.kind);
    }
}

TEST(ParticipantNameOrder, CompareNames)
{
    EXPECT_LT(ParticipantNameOrder::compareNames(QString(), QStringLiteral("a")), 0);
    EXPECT_EQ(ParticipantNameOrder::compareNames(QString(), QString()), 0);
    EXPECT_LT(ParticipantNameOrder::compareNames(QStringLiteral("zed"), QStringLiteral("1")), 0);
    EXPECT_EQ(ParticipantNameOrder::compareNames(QStringLiteral("Bob"), QString::fromUtf8("böb")),
              0);
    EXPECT_LT(
        ParticipantNameOrder::compareNames(QString::fromUtf8("Émile"), QStringLiteral("emma")), 0);
    EXPECT_LT(ParticipantNameOrder::compareNames(QStringLiteral("+44"), QStringLiteral("0044")), 0);
}

// The list sorts with std::sort, which needs a strict weak order; ties ("Bob",
// "bob", one name with two numbers) must also come out in one order every time.
TEST(ParticipantNameOrder, IsAStrictTotalOrderOverNameAndHandle)
{
    const std::vector<Entry> sample{
        {"", "+1"},
        {"", "+2"},
        {"Bob", "1"},
        {"bob", "1"},
        {QString::fromUtf8("Böb"), "1"},
        {"Bob", "2"},
        {"alice", "3"},
        {"Alice", "3"},
        {"+44 20", "x"},
        {"123", "y"},
        {"0", "z"},
        {QString::fromUtf8("Émile"), "e"},
        {"emile", "e"},
        {"Zoë", "9"},
        {"zoe", "9"},
    };
    for (const Entry& a : sample) {
        EXPECT_FALSE(ParticipantNameOrder::lessThan(a, a)) << a.displayName.toStdString();
        for (const Entry& b : sample) {
            const bool ab = ParticipantNameOrder::lessThan(a, b);
            const bool ba = ParticipantNameOrder::lessThan(b, a);
            const bool same = a.displayName == b.displayName && a.handle == b.handle;
            EXPECT_EQ(ab || ba, !same)
                << a.displayName.toStdString() << " / " << b.displayName.toStdString();
            EXPECT_FALSE(ab && ba);
            for (const Entry& c : sample) {
                if (ab && ParticipantNameOrder::lessThan(b, c)) {
                    EXPECT_TRUE(ParticipantNameOrder::lessThan(a, c));
                }
            }
        }
    }
    std::vector<Entry> first = sample;
    std::sort(first.begin(), first.end(), &ParticipantNameOrder::lessThan);
    std::mt19937 random(16);
    for (int round = 0; round < 20; ++round) {
        std::vector<Entry> shuffled = sample;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        std::sort(shuffled.begin(), shuffled.end(), &ParticipantNameOrder::lessThan);
        ASSERT_EQ(names(shuffled), names(first));
    }
    EXPECT_EQ(names(first).mid(0, 4), (QStringList{"|+1", "|+2", "Alice|3", "alice|3"}));
}

} // namespace
