#include <gtest/gtest.h>

#include <QStringList>
#include <QXmlStreamReader>

#include "QtPrinters.h"
#include "TextEscaping.h"

namespace {

// Every character some escaper treats specially, and text that must pass.
const QString kSpecial = QStringLiteral("&<>\"'\t\n\r\\,;:") + QChar(0x01) + QChar(0x7F)
    + QChar(0xD800) + QString::fromUtf8("é😀") + QChar(0xFFFE);

struct EscapeCase {
    const char* name;
    QString (*escape)(const QString&);
    QString want;
};

class Escapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escapes, EverySpecialCharacter)
{
    EXPECT_EQ(GetParam().escape(kSpecial), GetParam().want);
    EXPECT_EQ(GetParam().escape(QString()), QString());
    EXPECT_EQ(GetParam().escape(QStringLiteral("plain text")), QStringLiteral("plain text"));
}

INSTANTIATE_TEST_SUITE_P(
    Markup, Escapes,
    ::testing::Values(EscapeCase{"htmlText", &TextEscaping::htmlText,
                                 QStringLiteral("&amp;&lt;&gt;&quot;'\t\n\r\\,;:")
                                     + QString::fromUtf8("é😀") + QChar(0xFFFE)},
                      EscapeCase{"htmlAttribute", &TextEscaping::htmlAttribute,
                                 QStringLiteral("&amp;&lt;&gt;&quot;&#39;\t\n\r\\,;:")
                                     + QString::fromUtf8("é😀") + QChar(0xFFFE)},
                      // XML allows DEL; it drops U+FFFE.
                      EscapeCase{"xmlText", &TextEscaping::xmlText,
                                 QStringLiteral("&amp;&lt;&gt;\"'\t\n\r\\,;:") + QChar(0x7F)
                                     + QString::fromUtf8("é😀")},
                      EscapeCase{"xmlAttribute", &TextEscaping::xmlAttribute,
                                 QStringLiteral("&amp;&lt;&gt;&quot;&#39;&#9;&#10;&#13;\\,;:")
                                     + QChar(0x7F) + QString::fromUtf8("é😀")},
                      EscapeCase{"vCardValue", &TextEscaping::vCardValue,
                                 QStringLiteral("&<>\"'\t\\n\\n\\\\\\,\\;:")
                                     + QString::fromUtf8("é😀") + QChar(0xFFFE)},
                      EscapeCase{"iCalendarValue", &TextEscaping::iCalendarValue,
                                 QStringLiteral("&<>\"'\t\\n\\n\\\\\\,\\;:")
                                     + QString::fromUtf8("é😀") + QChar(0xFFFE)}));

TEST(TextEscaping, LineBreaksOfEveryKindBecomeOneEscape)
{
    EXPECT_EQ(TextEscaping::vCardValue(QStringLiteral("a\r\nb\rc\nd\n\ne")),
              QStringLiteral("a\\nb\\nc\\nd\\n\\ne"));
    EXPECT_EQ(TextEscaping::iCalendarValue(QStringLiteral("Room 1, Floor 2; \\ok")),
              QStringLiteral("Room 1\\, Floor 2\\; \\\\ok"));
}

TEST(TextEscaping, AParserReadsBackWhatWasEscaped)
{
    const QString hostile =
        QStringLiteral("</a><b x=\"1\">&amp; 'q'\t\nline\r") + QString::fromUtf8("ü😀");
    const QByteArray document =
        QStringLiteral("<r><a v=\"%1\" w='%1'>%2</a></r>")
            .arg(TextEscaping::xmlAttribute(hostile), TextEscaping::xmlText(hostile))
            .toUtf8();
    QXmlStreamReader xml(document);
    QStringList seen;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("a")) {
            seen << xml.attributes().value(QLatin1String("v")).toString()
                 << xml.attributes().value(QLatin1String("w")).toString() << xml.readElementText();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    // Element text loses only the carriage return (XML turns CR into LF).
    QString text = hostile;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    EXPECT_EQ(seen, (QStringList{hostile, hostile, text}));
}

QByteArray unfold(QByteArray folded) { return folded.replace("\r\n ", ""); }

TEST(TextEscaping, FoldsAt75OctetsWithoutSplittingACharacter)
{
    struct Case {
        const char* why;
        QString line;
        int physicalLines;
    };
    const std::vector<Case> cases{
        {"short", QStringLiteral("SUMMARY:Lunch"), 1},
        {"exactly 75", QStringLiteral("X:") + QString(73, QLatin1Char('a')), 1},
        {"76", QStringLiteral("X:") + QString(74, QLatin1Char('a')), 2},
        {"two-byte", QStringLiteral("NOTE:") + QString(100, QChar(0xE9)), 3},
        {"three-byte", QStringLiteral("NOTE:") + QString(90, QChar(0x65E5)), 4},
        {"four-byte", QStringLiteral("NOTE:") + QString::fromUtf8("😀").repeated(60), 4},
        {"empty", QString(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const QByteArray folded = TextEscaping::foldContentLine(c.line);
        EXPECT_EQ(unfold(folded), c.line.toUtf8());
        EXPECT_FALSE(folded.endsWith("\r\n"));
        const QList<QByteArray> lines = folded.isEmpty() ? QList<QByteArray>() : folded.split('\n');
        EXPECT_EQ(lines.size(), c.physicalLines);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArray line = lines.at(i);
            if (i + 1 < lines.size()) {
                ASSERT_TRUE(line.endsWith('\r'));
                line.chop(1);
            }
            EXPECT_LE(line.size(), 75);
            if (i > 0) {
                ASSERT_TRUE(line.startsWith(' '));
                line.remove(0, 1);
            }
            // Each piece is whole UTF-8 on its own.
            EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line);
            EXPECT_FALSE(QString::fromUtf8(line).contains(QChar(0xFFFD)));
        }
    }
    EXPECT_EQ(TextEscaping::foldContentLine(QStringLiteral("abcdefgh"), 5),
              QByteArray("abcde\r\n fgh"));
}

} // namespace
