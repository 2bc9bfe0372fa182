#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "TextMatch.h"

namespace {

TEST(TextMatch, IgnoresCaseAndDiacritics)
{
    struct Case {
        const char* text;
        const char* search;
        bool matches;
    };
    const std::vector<Case> cases{
        {"Beyoncé", "BEYONCE", true},
        {"BEYONCE", "beyoncé", true},
        {"Motörhead", "motorhead", true},
        {"Ελλάδα", "ΕΛΛΑΔΑ", true},
        {"ﬁsh and chips", "fish", true}, // a ligature decomposes
        {"Crème Brûlée", "creme brulee", true},
        {"Sigur Rós", "ros", true},
        {"日本の歌", "本の", true},
        {"anything", "", true},
        {"", "a", false},
        {"Abba", "abc", false},
        {"Björk", "bjork!", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString needle = TextMatch::fold(QString::fromUtf8(c.search));
        EXPECT_EQ(TextMatch::containsFolded(QString::fromUtf8(c.text), needle), c.matches)
            << c.search;
    }
}

TEST(TextMatch, ComparesFoldedForms)
{
    EXPECT_EQ(TextMatch::compareFolded(QString::fromUtf8("Émile"), QStringLiteral("emile")), 0);
    EXPECT_LT(TextMatch::compareFolded(QString::fromUtf8("Émile"), QStringLiteral("emma")), 0);
    EXPECT_GT(TextMatch::compareFolded(QStringLiteral("b"), QString::fromUtf8("Á")), 0);
}

} // namespace
