// SPDX-License-Identifier: GPL-3.0-or-later
// The typed-stream archives of sms.db: texts of every size and script, and
// archives damaged in every way a copy can damage them.
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "SmsDbBuilder.h"
#include "TypedStreamReader.h"

namespace {

TEST(TypedStreamReader, ReadsTheTextOfAnAttributedStringOfAnySize)
{
    const QList<QString> texts = {
        QStringLiteral("hi"),
        QString(),
        QStringLiteral("Grüße aus Köln, ça va? Привет"),
        QStringLiteral("Dinner at 8 \U0001F37D\U0001F389 ok?"),
        QString(200, QLatin1Char('a')),   // a 16-bit length
        QString(70000, QLatin1Char('b')), // a 32-bit length
        QString::fromUtf8("\xe2\x80\x8f\xe2\x80\xae reversed"),
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.left(40).toStdString());
        const auto read =
            TypedStreamReader::attributedStringText(SmsDbBuilder::attributedBody(text));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, text.isNull() ? QString(QLatin1String("")) : text);
    }
}

TEST(TypedStreamReader, ADamagedArchiveGivesNoTextNeverACrash)
{
    const QByteArray good = SmsDbBuilder::attributedBody(QString(300, QLatin1Char('x')));
    QByteArray hugeLength = SmsDbBuilder::attributedBody(QStringLiteral("abc"));
    const qsizetype at = hugeLength.indexOf("abc");
    hugeLength[at - 1] = char(0x7f); // 127 bytes claimed, 3 there
    QByteArray badUtf8 = SmsDbBuilder::attributedBody(QStringLiteral("abcd"));
    badUtf8[badUtf8.indexOf("abcd")] = char(0xff);
    QByteArray wrongSignature = good;
    wrongSignature.replace("streamtyped", "typedstream");
    QByteArray selfReference = good;
    selfReference[selfReference.indexOf("NSObject") + 9] = char(0xfe); // a reference to nothing

    const QList<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"one byte", QByteArray(1, 0x04)},
        {"header only", good.left(16)},
        {"cut in the text", good.left(good.size() - 200)},
        {"length beyond the blob", hugeLength},
        {"not UTF-8", badUtf8},
        {"other signature", wrongSignature},
        {"bad reference", selfReference},
        {"garbage", QByteArray(512, char(0x84))},
        {"a plist", QByteArrayLiteral("bplist00\xd0\x08\x00\x00")},
    };
    for (const auto& [name, blob] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TypedStreamReader::attributedStringText(blob).has_value());
    }
    // Every prefix that cuts the text: none may read out of bounds.
    const qsizetype textEnd = good.indexOf(QByteArray(300, 'x')) + 300;
    for (qsizetype size = 0; size < textEnd; size += 7)
        EXPECT_FALSE(TypedStreamReader::attributedStringText(good.left(size)).has_value()) << size;
}

TEST(TypedStreamReader, TheTextStandsWhenOnlyTheAttributesAfterItAreDamaged)
{
    QByteArray blob = SmsDbBuilder::attributedBody(QStringLiteral("kept"));
    blob.chop(3);
    blob.append(char(0x7b)); // an unknown type follows
    EXPECT_EQ(TypedStreamReader::attributedStringText(blob), QStringLiteral("kept"));
}

TEST(TypedStreamReader, ReadsEveryStringOfAnArchivedArray)
{
    const QStringList guids = {QStringLiteral("at_0_1A2B"), QStringLiteral("at_1_3C4D"),
                               QStringLiteral("at_2_5E6F")};
    EXPECT_EQ(TypedStreamReader::strings(SmsDbBuilder::archivedStrings(guids)), guids);
    EXPECT_TRUE(TypedStreamReader::strings(SmsDbBuilder::archivedStrings({})).isEmpty());
    // Not an attributed string: no message text comes out of it.
    EXPECT_FALSE(
        TypedStreamReader::attributedStringText(SmsDbBuilder::archivedStrings(guids)).has_value());
    const QByteArray cut = SmsDbBuilder::archivedStrings(guids);
    EXPECT_EQ(TypedStreamReader::strings(cut.left(cut.indexOf("at_2") + 2)), guids.mid(0, 2));
}

} // namespace
