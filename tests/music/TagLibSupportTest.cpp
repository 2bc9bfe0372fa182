// SPDX-License-Identifier: GPL-3.0-or-later
// The text rules of the tags: numbers in texts and the two text conventions.
#include <gtest/gtest.h>

#include "TagLibSupport.h"

namespace {

TEST(TagText, IntegerValueReadsALeadingSignedNumberClampedTo32Bits)
{
    const std::pair<const char*, qint32> cases[] = {
        {"7", 7},
        {"  12abc", 12},
        {"-3", -3},
        {"+4", 4},
        {"", 0},
        {"x5", 0},
        {"/", 0},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(TagLibSupport::integerValue(QString::fromLatin1(text)), value);
    }
}

TEST(TagText, SplitsAtTheLastSlashIgnoringATrailingOne)
{
    struct Case {
        const char* text;
        bool hasSlash;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"3/12", true, "3", "12"},   {"/2", true, "", "2"}, {"7", false, "", ""},
        {"1/2/3", true, "1/2", "3"}, {"5/", false, "", ""}, {"4/10/", true, "4", "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parts = TagLibSupport::splitAtLastSlash(QString::fromLatin1(c.text));
        EXPECT_EQ(parts.hasSlash, c.hasSlash);
        if (c.hasSlash) {
            EXPECT_EQ(parts.before, QString::fromLatin1(c.before));
            EXPECT_EQ(parts.after, QString::fromLatin1(c.after));
        }
    }
}

TEST(TagText, DecodesUnicodeAndTheOldUtf8InLatin1Convention)
{
    using TagLibSupport::Decoding;
    const QString cafe = QString::fromUtf8("café");
    const QString mixed = QString::fromUtf8("日本語 🎵");
    const TagLib::String oldCafe(cafe.toUtf8().toStdString(), TagLib::String::Latin1);
    const TagLib::String plainLatin1(cafe.toLatin1().toStdString(), TagLib::String::Latin1);
    const TagLib::String unicode(mixed.toUtf8().toStdString(), TagLib::String::UTF8);
    const TagLib::String oldMixed(mixed.toUtf8().toStdString(), TagLib::String::Latin1);

    EXPECT_EQ(TagLibSupport::fromTagLib(oldCafe, Decoding::WithFallback), cafe);
    EXPECT_EQ(TagLibSupport::fromTagLib(plainLatin1, Decoding::WithFallback), cafe);
    EXPECT_EQ(TagLibSupport::fromTagLib(unicode, Decoding::WithFallback), mixed);
    EXPECT_EQ(TagLibSupport::fromTagLib(oldMixed, Decoding::WithFallback), mixed);
    EXPECT_EQ(TagLibSupport::fromTagLib(oldCafe, Decoding::Strict), cafe);
    // A Latin-1 "é" is no UTF-8: no text where a number is wanted.
    EXPECT_TRUE(TagLibSupport::fromTagLib(plainLatin1, Decoding::Strict).isNull());
    EXPECT_EQ(TagLibSupport::fromTagLib(TagLib::String("3/12"), Decoding::Strict),
              QStringLiteral("3/12"));
    EXPECT_EQ(TagLibSupport::fromTagLib(TagLibSupport::toTagLib(mixed), Decoding::Strict), mixed);
}

} // namespace
