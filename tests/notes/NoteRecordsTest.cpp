// SPDX-License-Identifier: GPL-3.0-or-later
// The note records' pages and plain text, and the export of attachments.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "NotesTestSupport.h"
#include "QELIOS9NoteDetail.h"
#include "QELLegacyNoteDetail.h"
#include "QELMediaNoteContent.h"
#include "QELTextNoteContent.h"

using namespace NotesTest;

namespace {

const QString kHead =
    QStringLiteral("<!DOCTYPE HTML>\r\n<html>\n<head>\r\n\t<title>T</title>\r\n\t<style>\r\n\t\t"
                   "img{max-width:100%;margin-top:10px;}\r\n\t</style>\r\n<body>");
const QString kEnd = QStringLiteral("\r\n</body>\r\n</html>");

std::shared_ptr<QELNoteContent> line(const QString& text)
{
    auto part = std::make_shared<QELTextNoteContent>();
    part->setTextData(text);
    return part;
}

std::shared_ptr<QELMediaNoteContent> media(int format, const QString& file = QString(),
                                           const QString& type = QStringLiteral("jpg"))
{
    auto part = std::make_shared<QELMediaNoteContent>();
    part->setContentFormat(format);
    part->setFileName(file);
    part->setFileType(type);
    part->setExportName(QStringLiteral("1"));
    return part;
}

QELIOS9NoteDetail noteOf(const QELIOS9NoteDetail::ContentList& parts)
{
    QELIOS9NoteDetail note;
    note.setContent(parts);
    return note;
}

} // namespace

TEST(NoteRecordsTest, LaterNotePagesFollowTheParagraphRules)
{
    struct Case {
        const char* name;
        QELIOS9NoteDetail::ContentList parts;
        QString body;
    };
    const QList<Case> cases{
        {"no content", {}, QString()},
        {"two lines, one paragraph",
         {line("a"), line("b")},
         QStringLiteral("\r\n\t<p>a\r\n\t<br/>\r\n\tb</p>")},
        {"an unresolved attachment splits paragraphs",
         {line("a"), media(QELNoteContent::kUnresolved), line("b")},
         QStringLiteral("\r\n\t<p>a</p>\r\n\t<p>b</p>")},
        {"markup and ampersands escaped",
         {line(QStringLiteral("<b>&\"x\""))},
         QStringLiteral("\r\n\t<p>&lt;b&gt;&amp;&quot;x&quot;</p>")},
        {"a line that was not UTF-8",
         {std::make_shared<QELTextNoteContent>()},
         QStringLiteral("\r\n\t<p><br/></p>")},
        {"an image without a copy",
         {media(QELNoteContent::kImage)},
         QStringLiteral("\r\n\t<p><br/></p>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(noteOf(c.parts).htmlRepresentationWithTitle(QStringLiteral("T")),
                  kHead + c.body + kEnd);
    }
    QELIOS9NoteDetail untouched;
    EXPECT_EQ(untouched.htmlRepresentationWithTitle(QStringLiteral("T")), kHead + kEnd);
    EXPECT_TRUE(untouched.htmlRepresentationWithTitle(QStringLiteral("<script>"))
                    .contains(QStringLiteral("<title>&lt;script&gt;</title>")));
}

TEST(NoteRecordsTest, MediaSourcesAreEscapedFileUrls)
{
    auto picture = media(QELNoteContent::kImage, QStringLiteral("/tmp/a \"b\"#c.jpg"));
    EXPECT_EQ(picture->htmlRepresentation(),
              QStringLiteral("<img src=\"file:///tmp/a%20%22b%22%23c.jpg\" />"));
    auto video = media(QELNoteContent::kVideo, QStringLiteral("/tmp/v.mov"), QStringLiteral("mov"));
    video->setMediaData(QELNoteMediaDetail());
    EXPECT_EQ(video->htmlRepresentation(),
              QStringLiteral("<video controls=\"controls\" width=\"0\" height=\"0\" "
                             "src=\"file:///tmp/v.mov\"><img src=\"\" /><br />(Video not "
                             "supported in this browser).</video>"));
    // A picture that could not be decoded is named instead.
    auto kept = media(QELNoteContent::kImage, QStringLiteral("/tmp/x.jpg"));
    QELNoteMediaDetail row;
    row.setMediaFileName(QStringLiteral("IMG_<1>.JPG"));
    kept->setMediaData(row);
    kept->setIsPicture(false);
    EXPECT_EQ(kept->htmlRepresentation(), QStringLiteral("IMG_&lt;1&gt;.JPG"));
}

TEST(NoteRecordsTest, PlainTextOfALaterNote)
{
    EXPECT_EQ(noteOf({line(" a"), media(QELNoteContent::kImage), line("b "), line("")})
                  .plainTextRepresentation(),
              QStringLiteral("a\n\nb"));
    EXPECT_EQ(QELIOS9NoteDetail().plainTextRepresentation(), QString());
}

TEST(NoteRecordsTest, LegacyNotePageAndText)
{
    QELLegacyNoteDetail note;
    EXPECT_EQ(note.htmlRepresentationWithTitle(QString()),
              QStringLiteral("<!DOCTYPE HTML>\n<html>\n<head>\n\t<title>Note</title>\n</head>\n"
                             "<body>\n</body>\n</html>"));
    note.setText(QStringLiteral("<i>one</i> & two\r\nthree"));
    EXPECT_EQ(note.htmlRepresentationWithTitle(QStringLiteral("A&B")),
              QStringLiteral("<!DOCTYPE HTML>\n<html>\n<head>\n\t<title>A&amp;B</title>\n</head>\n"
                             "<body>\n\t<p>&lt;i&gt;one&lt;/i&gt; &amp; two\r<br/>three</p>\n"
                             "</body>\n</html>"));
    note.setText(QStringLiteral("<div>a</div><div>b</div>&nbsp;"));
    EXPECT_EQ(note.plainTextRepresentation(), QStringLiteral("a\r\nb"));
}

TEST(NoteRecordsTest, LegacyBodiesAreCleaned)
{
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("<div>a</div><div><br></div><div>b &amp; c</div>"),
         QStringLiteral("a\r\n\r\nb & c")},
        {QStringLiteral("<div><br></div>"), QString()},
        // Decoded once: what was typed as "&nbsp;" stays so.
        {QStringLiteral("x&amp;nbsp;y"), QStringLiteral("x&nbsp;y")},
        {QStringLiteral("<div>5 &lt; 6 &amp;&amp; 7 &gt; 3</div>"),
         QStringLiteral("5 < 6 && 7 > 3")},
        {QStringLiteral("&lt;b&gt;not bold&lt;/b&gt;"), QStringLiteral("<b>not bold</b>")},
        {QStringLiteral("caf&eacute; &#8220;q&#8221; &#x20AC;5 &apos;s&quot;"),
         QStringLiteral("café \u201cq\u201d \u20ac5 's\"")},
        {QStringLiteral("a&nbsp;b &amp;amp; &unknown; &#xD800; &#99999999; & c &#x;"),
         QStringLiteral("a b &amp; &unknown; \ufffd \ufffd & c &#x;")},
        {QStringLiteral("<B>bold</B><br>next"), QStringLiteral("bold\r\nnext")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QELLegacyNoteDetail::cleanedBodyText(c.first), c.second) << qPrintable(c.first);
}

// An older note's text is decoded once and escaped once: "5 &lt; 6" in the
// database shows as "5 < 6" and is saved as "5 &lt; 6", never "5 &amp;lt; 6".
TEST(NoteRecordsTest, LegacyEntitiesAreDecodedOnceAndEscapedOnce)
{
    QELLegacyNoteDetail note;
    note.setText(QELLegacyNoteDetail::cleanedBodyText(
        QStringLiteral("<div>5 &lt; 6 and 7 &gt; 3</div><div>Tom &amp; Jerry</div>")));
    EXPECT_EQ(note.plainTextRepresentation(), QStringLiteral("5 < 6 and 7 > 3\r\nTom & Jerry"));
    const QString page = note.htmlRepresentationWithTitle(QStringLiteral("t"));
    EXPECT_TRUE(page.contains(QStringLiteral("5 &lt; 6 and 7 &gt; 3"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Tom &amp; Jerry")));
    EXPECT_FALSE(page.contains(QStringLiteral("&amp;lt;")));
    EXPECT_FALSE(page.contains(QStringLiteral("&amp;amp;")));
}

TEST(NoteRecordsTest, ExportCopiesAttachmentsBesideThePage)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("copy.jpg"));
    ASSERT_TRUE(writeFile(source, encoded(uprightPicture(), "jpeg")));
    QELIOS9NoteDetail note = noteOf({line("a"), media(QELNoteContent::kImage, source)});
    const QString page = dir.filePath(QStringLiteral("out/Plan #1.html"));
    QDir().mkpath(dir.filePath(QStringLiteral("out")));

    const QString html = note.htmlExportToPath(page, QStringLiteral("Plan #1"));
    EXPECT_TRUE(html.contains(QStringLiteral("\r\n\t<p>a<br/>\r\n\t<img src=\"Plan%20%231%20-%20"
                                             "Attachments/1.jpg\" /></p>")))
        << qPrintable(html);
    const QString exported = dir.filePath(QStringLiteral("out/Plan #1 - Attachments/1.jpg"));
    EXPECT_EQ(readFile(exported), readFile(source));

    // Exported again: the copy with the same bytes is referred to, not lost.
    EXPECT_EQ(note.htmlExportToPath(page, QStringLiteral("Plan #1")), html);
    // A different file of that name stays; this attachment takes a numbered name.
    ASSERT_TRUE(writeFile(exported, QByteArray("someone else's")));
    EXPECT_TRUE(note.htmlExportToPath(page, QStringLiteral("Plan #1"))
                    .contains(QStringLiteral("Attachments/1%201.jpg")));
    EXPECT_EQ(readFile(exported), QByteArray("someone else's"));

    // Nothing to copy: a line break.
    EXPECT_EQ(media(QELNoteContent::kImage, dir.filePath(QStringLiteral("gone.jpg")))
                  ->htmlExportAtPath(page),
              QStringLiteral("<br/>"));
}

TEST(NoteRecordsTest, OnlyTheTrailingHtmlNamesTheAttachmentsFolder)
{
    EXPECT_EQ(QELMediaNoteContent::attachmentsFolderForPage(
                  QStringLiteral("/x/site.html/My.html notes.html")),
              QStringLiteral("/x/site.html/My.html notes - Attachments"));
}
