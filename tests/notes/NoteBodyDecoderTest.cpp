// SPDX-License-Identifier: GPL-3.0-or-later
// The note body decoder: bodies built field by field, compressed both ways,
// and hostile ones that must end in an empty result.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "NotesTestSupport.h"
#include "QELDataReader.h"
#include "QELIOS9NoteDataReader.h"
#include "QELMediaNoteContent.h"
#include "QELTextNoteContent.h"

using namespace NotesTest;
using NoteStoreFixture::Attachment;
using NoteStoreFixture::ProtoWriter;
using NoteStoreFixture::Wrapper;

namespace {

// One line per part: "T:<text>" (T! for a line without text), "I:<export name>:<id>",
// "S:..", "V:..", "U" for a placeholder and "U:<id>" for one of a kind not shown.
QStringList describe(const QELIOS9NoteDataReader::ContentList& parts)
{
    QStringList out;
    for (const auto& part : parts) {
        if (const auto* line = dynamic_cast<const QELTextNoteContent*>(part.get())) {
            out.append(line->textData().isNull() ? QStringLiteral("T!")
                                                 : QStringLiteral("T:") + line->textData());
            continue;
        }
        const auto* media = static_cast<const QELMediaNoteContent*>(part.get());
        const char* kind = "U";
        switch (media->contentFormat()) {
        case QELNoteContent::kImage:
            kind = "I";
            break;
        case QELNoteContent::kSketch:
            kind = "S";
            break;
        case QELNoteContent::kVideo:
            kind = "V";
            break;
        default:
            break;
        }
        QString text = QString::fromLatin1(kind);
        if (!media->exportName().isEmpty())
            text += QLatin1Char(':') + media->exportName();
        if (!media->identifier().isEmpty())
            text += QLatin1Char(':') + media->identifier().right(2);
        out.append(text);
    }
    return out;
}

Attachment image(int n) { return {identifier(n), QStringLiteral("public.jpeg")}; }

QByteArray bodyWithNote(const ProtoWriter& note)
{
    ProtoWriter document;
    document.varint(1, 0).varint(2, 0).message(3, note);
    return ProtoWriter().varint(1, 0).message(2, document).data();
}

struct Case {
    const char* name;
    QByteArray zdata;
    QStringList parts;
};

const QString F = objectReplacement();

std::vector<Case> decoderCases()
{
    const QString longText = QString(3000, QLatin1Char('x'));
    std::vector<Case> cases{
        {"gzip",
         NoteStoreFixture::noteBody("ab\n" + F + "\nc", {image(1)}),
         {"T:ab", "I:1:01", "T:c"}},
        {"zlib",
         NoteStoreFixture::noteBody("ab\n" + F + "\nc", {image(1)}, Wrapper::Zlib),
         {"T:ab", "I:1:01", "T:c"}},
        {"text only", NoteStoreFixture::noteBody("Shopping\nmilk\n"), {"T:Shopping", "T:milk"}},
        {"two empty lines", NoteStoreFixture::noteBody("\n\n"), {"T:", "T:"}},
        // A first character of 16 or less is no length byte: the tab stays.
        {"first character tab", NoteStoreFixture::noteBody("\tindented"), {"T:\tindented"}},
        {"3000 bytes of text",
         NoteStoreFixture::noteBody(longText),
         {QStringLiteral("T:") + longText}},
        // A picture closing the text is a placeholder too.
        {"picture at the very end",
         NoteStoreFixture::noteBody("see\n" + F, {image(2)}),
         {"T:see", "I:1:02"}},
        {"more placeholders than attachments",
         NoteStoreFixture::noteBody(F + "\n" + F + "\n", {image(3)}),
         {"I:1:03", "U"}},
        {"sketch, image and video in body order",
         NoteStoreFixture::noteBody(F + "\n" + F + "\n" + F,
                                    {{identifier(4), QStringLiteral("com.apple.drawing.2")},
                                     image(5),
                                     {identifier(6), QStringLiteral("com.apple.quicktime-movie")}}),
         {"S:1:04", "I:2:05", "V:3:06"}},
        // A table and a link keep their placeholders, so later pictures keep their places.
        {"table and link between pictures",
         NoteStoreFixture::noteBody(F + "\n" + F + "\n" + F + "\n" + F,
                                    {image(7),
                                     {identifier(8), QStringLiteral("com.apple.notes.table")},
                                     {identifier(9), QStringLiteral("public.url")},
                                     image(10)}),
         {"I:1:07", "U:08", "U:09", "I:2:10"}},
        {"each kind",
         NoteStoreFixture::noteBody(F + "\n" + F + "\n" + F + "\n" + F + "\n" + F,
                                    {{identifier(11), QStringLiteral("public.png")},
                                     {identifier(12), QStringLiteral("public.heic")},
                                     {identifier(13), QStringLiteral("com.apple.paper")},
                                     {identifier(14), QStringLiteral("public.mpeg-4")},
                                     {identifier(15), QStringLiteral("com.adobe.pdf")}}),
         {"I:1:11", "I:2:12", "S:3:13", "V:4:14", "U:15"}},
        // A U+FFFC inside a line stays there but takes its attachment.
        {"inline attachment",
         NoteStoreFixture::noteBody("see " + F + " here\n" + F, {image(16), image(17)}),
         {QStringLiteral("T:see ") + F + QStringLiteral(" here"), "I:1:17"}},
        {"unknown fields skipped",
         NoteStoreFixture::compress(bodyWithNote(ProtoWriter()
                                                     .fixed64(1, 7)
                                                     .varint(3, 300)
                                                     .text(2, QStringLiteral("kept"))
                                                     .fixed32(9, 1))),
         {"T:kept"}},
        {"invalid UTF-8 line",
         NoteStoreFixture::compress(
             bodyWithNote(ProtoWriter().bytes(2, QByteArray("good\n\xC3\x28\nok", 10)))),
         {"T:good", "T!", "T:ok"}},
        {"note without text",
         NoteStoreFixture::compress(bodyWithNote(ProtoWriter().varint(3, 1))),
         {}},
        // Failures: nothing at all.
        {"empty", QByteArray(), {}},
        {"not compressed", NoteStoreFixture::noteBodyMessage(QStringLiteral("plain")), {}},
        {"garbage",
         QByteArray("\x1f\x8b\x08\x00"
                    "garbage that is not deflate",
                    31),
         {}},
        {"exactly 16 bytes",
         NoteStoreFixture::compress(QByteArray("\x08\x00\x12\x0c\x1a\x0a\x12\x08"
                                               "abcdefgh",
                                               16)),
         {}},
        {"wrong header",
         NoteStoreFixture::compress(QByteArray("\x08\x01\x12") + QByteArray(40, 'x')),
         {}},
        {"header without a document",
         NoteStoreFixture::compress(QByteArray("\x08\x00\x12\x00", 4) + QByteArray(20, '\0')),
         {}},
        {"length past the end",
         NoteStoreFixture::compress(QByteArray("\x08\x00\x12\x7f\x1a\x7e\x12\x7d"
                                               "text",
                                               12)
                                    + QByteArray(10, 'x')),
         {}},
        {"varint of eleven bytes",
         NoteStoreFixture::compress(QByteArray("\x08\x00\x12", 3) + QByteArray(10, '\xff')
                                    + QByteArray("\x01", 1) + QByteArray(10, 'x')),
         {}},
        {"huge length",
         NoteStoreFixture::compress(QByteArray("\x08\x00\x12", 3)
                                    + ProtoWriter::encodeVarint(~quint64(0)) + QByteArray(20, 'x')),
         {}},
        {"group wire type",
         NoteStoreFixture::compress(
             bodyWithNote(ProtoWriter().raw(QByteArray("\x0b\x0c", 2)).text(2, "x"))),
         {}},
    };
    const QByteArray whole = NoteStoreFixture::noteBody("ab\n" + F + "\nc", {image(1)});
    cases.push_back({"truncated", whole.left(whole.size() / 2), {}});
    return cases;
}

} // namespace

TEST(NoteBodyDecoderTest, DecodesEachBodyOrFailsEmpty)
{
    for (const Case& c : decoderCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(QELIOS9NoteDataReader::readNoteData(c.zdata)), c.parts);
    }
}

TEST(NoteBodyDecoderTest, PlainTextJoinsLinesWithLineFeeds)
{
    const QByteArray body = NoteStoreFixture::noteBody("ab\n" + F + "\nc", {image(1)});
    EXPECT_EQ(QELIOS9NoteDataReader::readNoteText(body), QStringLiteral("ab\n\nc"));
    EXPECT_EQ(QELIOS9NoteDataReader::readNoteText(QByteArray("garbage")), QString());
    EXPECT_FALSE(QELIOS9NoteDataReader::readNoteText(QByteArray()).isNull());
}

TEST(NoteBodyDecoderTest, RefusesABodyThatInflatesPastTheCap)
{
    QByteArray inflated("\x08\x00\x12", 3);
    inflated += ProtoWriter::encodeVarint(quint64(QELIOS9NoteDataReader::kMaxInflatedSize));
    inflated += QByteArray(QELIOS9NoteDataReader::kMaxInflatedSize + 16, '\n');
    const QByteArray bomb = NoteStoreFixture::compress(inflated);
    inflated.clear();
    ASSERT_LT(bomb.size(), 1024 * 1024);
    EXPECT_FALSE(QELIOS9NoteDataReader::gzipDecompress(bomb).has_value());
    EXPECT_TRUE(QELIOS9NoteDataReader::readNoteData(bomb).isEmpty());
}

TEST(NoteBodyDecoderTest, DeeplyNestedAttachmentInfoEndsQuickly)
{
    // Attachment info nested in itself far beyond the layout: the walker
    // enters only the levels it knows, so the attachment is one of no kind.
    ProtoWriter nested;
    nested.text(1, QStringLiteral("x"));
    for (int i = 0; i < 2000; ++i)
        nested = ProtoWriter().message(12, nested);
    const QByteArray body =
        NoteStoreFixture::compress(bodyWithNote(ProtoWriter().text(2, F).message(5, nested)));
    const QStringList parts = describe(QELIOS9NoteDataReader::readNoteData(body));
    ASSERT_EQ(parts.size(), 1);
    EXPECT_TRUE(parts.first().startsWith(QLatin1Char('U')));
}

TEST(NoteBodyDecoderTest, ZlibAndGzipWrappersInflateAlike)
{
    const QByteArray message = NoteStoreFixture::noteBodyMessage(QStringLiteral("same"));
    EXPECT_EQ(QELIOS9NoteDataReader::gzipDecompress(NoteStoreFixture::compress(message)), message);
    EXPECT_EQ(
        QELIOS9NoteDataReader::gzipDecompress(NoteStoreFixture::compress(message, Wrapper::Zlib)),
        message);
    EXPECT_EQ(QELIOS9NoteDataReader::gzipDecompress(QByteArray()), QByteArray());
}

TEST(NoteDataReaderTest, NeverReadsPastTheEnd)
{
    QELDataReader reader(QByteArray("\x01\x02\x03", 3));
    reader.seekToPosition(99);
    EXPECT_EQ(reader.position(), 3u);
    EXPECT_EQ(reader.readByte(), 0);
    reader.seekToPosition(1);
    EXPECT_EQ(reader.readUInt32(), 0u);
    EXPECT_EQ(reader.position(), 1u);
    EXPECT_EQ(reader.readUInt16(), 0x0302);
    EXPECT_FALSE(reader.readBytes(1).has_value());

    QELDataReader ten(QByteArray(9, '\xff') + QByteArray("\x01", 1));
    EXPECT_EQ(ten.readVarint(), ~quint64(0));
    QELDataReader overflow(QByteArray(9, '\xff') + QByteArray("\x02", 1));
    EXPECT_FALSE(overflow.readVarint().has_value());
    EXPECT_EQ(overflow.position(), 0u);
    QELDataReader cut(QByteArray("\x80\x80", 2));
    EXPECT_FALSE(cut.readVarint().has_value());
}
