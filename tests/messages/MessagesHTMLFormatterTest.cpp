// SPDX-License-Identifier: GPL-3.0-or-later
// What a message's bubble holds: texts, and attachments fetched from the
// backup, shown from the page's folder or copied beside a copied page.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include "MessagesPageSupport.h"
#include "PhotosTestSupport.h"
#include "QELMessageHTMLFormatter.h"
#include "QELMessagesWhatsAppHTMLFormatter.h"
#include "QtPrinters.h"

using namespace MessagesTest;

namespace {

const QString kMedia = QStringLiteral("MediaDomain");
const QString kWhatsApp = QStringLiteral("AppDomain-net.whatsapp.WhatsApp");
const QString kShared = QStringLiteral("AppDomainGroup-group.net.whatsapp.WhatsApp.shared");

QELMessageDetail withParts(const QList<QELMessagePiece>& pieces, const QString& text = QString())
{
    QELMessageDetail m;
    m.setMessage(text);
    m.setMessagePieces(pieces);
    return m;
}

QELMessagePiece part(const char* type, const QString& location)
{
    return QELMessagePiece(QString::fromLatin1(type), 0, location);
}

class Formatters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir().mkpath(temporary());
        QDir().mkpath(shownFiles());
        QDir().mkpath(destination());
        for (QELMessagesHTMLFormatterProtocol* f :
             std::initializer_list<QELMessagesHTMLFormatterProtocol*>{&m_sms, &m_whatsApp}) {
            f->setBackup(&m_source);
            f->setTemporaryFolder(temporary());
            f->setAttachmentFolder(shownFiles());
        }
    }
    QString temporary() const { return m_dir.filePath(QStringLiteral("tmp")); }
    QString shownFiles() const { return m_dir.filePath(QStringLiteral("tmp/message_temp/files")); }
    QString destination() const { return m_dir.filePath(QStringLiteral("export")); }
    QString shownUrl(const QString& name) const
    {
        return QUrl::fromLocalFile(shownFiles() + QLatin1Char('/') + name)
            .toString(QUrl::FullyEncoded);
    }
    QString sms(const QELMessageDetail& m, bool copy)
    {
        return m_sms.formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
            m, copy ? destination() : QString(), QString(), copy);
    }
    QString whatsApp(const QELMessageDetail& m, bool copy)
    {
        return m_whatsApp.formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
            m, copy ? destination() : QString(), QString(), copy);
    }
    QStringList exported() const { return QDir(destination()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    FakeAttachmentSource m_source{m_dir.filePath(QStringLiteral("backup-copies"))};
    QELMessageHTMLFormatter m_sms;
    QELMessagesWhatsAppHTMLFormatter m_whatsApp;
};

TEST_F(Formatters, SubjectAndTextsAreEscapedWithTheirLineBreaks)
{
    // U+FFFC marks where an attachment sat in the text.
    QELMessageDetail m = withParts({part("text", QStringLiteral("a < b &\nc") + QChar(0xFFFC))});
    m.setSubject(QStringLiteral("<Re>"));
    EXPECT_EQ(sms(m, false), QStringLiteral("<B>&lt;Re&gt;</B><BR/>a &lt; b &amp;<br/>c\r\n"));
    EXPECT_TRUE(m_source.lookups().isEmpty());
}

TEST_F(Formatters, AnMmsPictureIsLookedUpBelowTheHomeFolderAndCopiedBesideTheCopiedPage)
{
    const QByteArray jpeg = PhotosTest::jpegBytes(QSize(8, 8), Qt::red);
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/ab/12/IMG_0001.JPG"), jpeg);
    for (const char* location : {"~/Library/SMS/Attachments/ab/12/IMG_0001.JPG",
                                 "/var/mobile/Library/SMS/Attachments/ab/12/IMG_0001.JPG"}) {
        SCOPED_TRACE(location);
        const QString html =
            sms(withParts({part("image/jpeg", QString::fromLatin1(location))}), true);
        EXPECT_EQ(html,
                  QStringLiteral("<br/><a href='IMG_0001.JPG.jpg' border=0><img "
                                 "src='IMG_0001.JPG.jpg' width='179px'/></a>\r\n<br/>\r\n"));
        EXPECT_EQ(m_source.lookups().last(),
                  QStringLiteral("MediaDomain|Library/SMS/Attachments/ab/12/IMG_0001.JPG"));
    }
    // The second copy found the same picture there and took no new name.
    EXPECT_EQ(exported(), QStringList{"IMG_0001.JPG.jpg"});
    EXPECT_EQ(fileBytes(destination() + QStringLiteral("/IMG_0001.JPG.jpg")), jpeg);
}

TEST_F(Formatters, OneNameFromTwoFoldersKeepsBothPictures)
{
    const QByteArray red = PhotosTest::jpegBytes(QSize(8, 8), Qt::red);
    const QByteArray blue = PhotosTest::jpegBytes(QSize(8, 8), Qt::blue);
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/ab/12/IMG_0001.jpg"), red);
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/cd/34/IMG_0001.jpg"), blue);
    const QString first =
        sms(withParts({part("image/jpeg",
                            QStringLiteral("~/Library/SMS/Attachments/ab/12/IMG_0001.jpg"))}),
            true);
    const QString second =
        sms(withParts({part("image/jpeg",
                            QStringLiteral("~/Library/SMS/Attachments/cd/34/IMG_0001.jpg"))}),
            true);
    EXPECT_TRUE(first.contains(QStringLiteral("src='IMG_0001.jpg'")));
    EXPECT_TRUE(second.contains(QStringLiteral("src='IMG_0001%20%281%29.jpg'")));
    EXPECT_EQ(exported(), (QStringList{"IMG_0001 (1).jpg", "IMG_0001.jpg"}));
    EXPECT_EQ(fileBytes(destination() + QStringLiteral("/IMG_0001 (1).jpg")), blue);
}

TEST_F(Formatters, AShownJpegIsTurnedUprightByItsOrientation)
{
    struct Case {
        int orientation; // 0: none
        QSize shown;
    };
    const Case cases[] = {{0, {40, 20}}, {1, {40, 20}}, {6, {20, 40}}, {8, {20, 40}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const QString name = QStringLiteral("o%1.jpg").arg(c.orientation);
        const QByteArray bytes = c.orientation
            ? PhotosTest::jpegWithOrientation(QSize(40, 20), c.orientation)
            : PhotosTest::jpegBytes(QSize(40, 20), Qt::gray);
        m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/") + name, bytes);
        const QString html = sms(
            withParts({part("image/jpeg", QStringLiteral("~/Library/SMS/Attachments/") + name)}),
            false);
        EXPECT_EQ(
            html,
            QStringLiteral("<br/><img src='%1' width='179px'/>\r\n<br/>\r\n").arg(shownUrl(name)));
        const QImage shown(shownFiles() + QLatin1Char('/') + name);
        EXPECT_EQ(shown.size(), c.shown);
        // The upright copy is prepared once and kept for the next showing.
        const QStringList prepared = QDir(temporary() + QStringLiteral("/rotateImagesTemp"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        EXPECT_EQ(prepared.size(),
                  c.orientation ? c.orientation == 1 ? 1
                          : c.orientation == 6       ? 2
                                                     : 3
                                : 0);
    }
    // A picture that does not decode is shown as it is.
    EXPECT_EQ(m_sms._rotateImage(QStringLiteral("/nonexistent.jpg")),
              QStringLiteral("/nonexistent.jpg"));
}

TEST_F(Formatters, AHeicPictureIsShownAsAJpegLinkedToTheOriginal)
{
    const QByteArray heic = PhotosTest::heicBytes(QSize(32, 16));
    ASSERT_FALSE(heic.isEmpty());
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/4f/IMG_2041.HEIC"), heic);
    const QString html =
        sms(withParts(
                {part("image/heic", QStringLiteral("~/Library/SMS/Attachments/4f/IMG_2041.HEIC"))}),
            true);
    EXPECT_EQ(html,
              QStringLiteral("<br/><a href='IMG_2041.HEIC' border=0><img src='IMG_2041.HEIC.jpg' "
                             "width='179px'/></a>\r\n<br/>\r\n"));
    EXPECT_EQ(exported(), (QStringList{"IMG_2041.HEIC", "IMG_2041.HEIC.jpg"}));
    EXPECT_EQ(fileBytes(destination() + QStringLiteral("/IMG_2041.HEIC")), heic);
    EXPECT_EQ(QImage(destination() + QStringLiteral("/IMG_2041.HEIC.jpg")).size(), QSize(32, 16));
}

TEST_F(Formatters, VideosAndOtherFilesByTheirType)
{
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/clip.mov"), "mov");
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/clip.3gp"), "3gp");
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/Quarterly review.pdf"), "pdf");
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/IMG_0042.MP4"), "mp4");
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/Audio Message.caf"), "caf");
    m_source.add(kMedia, QStringLiteral("Library/SMS/Attachments/voice.amr"), "amr");
    struct Case {
        const char* type;
        const char* location;
        bool copy;
        QString html;
    };
    const QString video =
        QStringLiteral("<br/><video src='%1' width='220px' controls preload='metadata'></video>"
                       "<br/>\r\n");
    const QString audio =
        QStringLiteral("<br/><audio src='%1' controls preload='metadata'></audio><br/>\r\n");
    // Every film plays in the page and in its copy, whatever its format;
    // a sound clip (a voice note) plays as what it is.
    const QList<Case> cases = {
        {"video/quicktime", "~/Library/SMS/Attachments/clip.mov", false,
         video.arg(shownUrl("clip.mov"))},
        {"video/quicktime", "~/Library/SMS/Attachments/clip.mov", true, video.arg("clip.mov.MOV")},
        {"video/3gpp", "~/Library/SMS/Attachments/clip.3gp", false,
         video.arg(shownUrl("clip.3gp"))},
        {"video/3gpp", "~/Library/SMS/Attachments/clip.3gp", true, video.arg("clip.3gp")},
        {"video/mp4", "~/Library/SMS/Attachments/IMG_0042.MP4", true, video.arg("IMG_0042.MP4")},
        {"", "~/Library/SMS/Attachments/IMG_0042.MP4", false, video.arg(shownUrl("IMG_0042.MP4"))},
        {"audio/x-caf", "~/Library/SMS/Attachments/Audio Message.caf", true,
         audio.arg("Audio%20Message.caf")},
        {"audio/amr", "~/Library/SMS/Attachments/voice.amr", false,
         audio.arg(shownUrl("voice.amr"))},
        {"application/pdf", "~/Library/SMS/Attachments/Quarterly review.pdf", true,
         QStringLiteral("<br/><a href='Quarterly%20review.pdf'>Quarterly review.pdf</a><br/>\r\n")},
        {"image/jpeg", "~/Library/SMS/Attachments/missing.jpg", true, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + (c.copy ? " copied" : " shown"));
        EXPECT_EQ(sms(withParts({part(c.type, QString::fromLatin1(c.location))}), c.copy), c.html);
    }
    // Pictures come before videos, whatever the parts' order.
    m_source.add(kMedia, QStringLiteral("Library/a.png"),
                 PhotosTest::jpegBytes(QSize(4, 4), Qt::red));
    const QString mixed = sms(
        withParts({part("video/quicktime", QStringLiteral("~/Library/SMS/Attachments/clip.mov")),
                   part("image/png", QStringLiteral("/var/mobile/Library/a.png"))}),
        true);
    EXPECT_LT(mixed.indexOf(QStringLiteral("a.png")), mixed.indexOf(QStringLiteral("clip.mov")));
}

TEST_F(Formatters, HostileAttachmentNamesStayInTheFolderAndOutOfTheMarkup)
{
    m_source.add(kMedia, QStringLiteral("Library/x/a'b<c>.png"), "png");
    m_source.add(kMedia, QStringLiteral("Library/x/.."), "dots");
    const QString html =
        sms(withParts({part("image/png", QStringLiteral("~/Library/x/a'b<c>.png")),
                       part("application/octet-stream", QStringLiteral("~/Library/x/.."))}),
            true);
    EXPECT_FALSE(html.contains(QStringLiteral("a'b")));
    EXPECT_FALSE(html.contains(QStringLiteral("<c>")));
    EXPECT_TRUE(html.contains(QStringLiteral("src='a%27b%3Cc%3E.png'")));
    EXPECT_EQ(exported(), (QStringList{"a'b<c>.png", "attachment"}));
}

TEST_F(Formatters, WhatsAppMediaByKindInBothForms)
{
    const QByteArray jpeg = PhotosTest::jpegBytes(QSize(8, 8), Qt::green);
    m_source.add(kWhatsApp, QStringLiteral("Library/Media/1@s.whatsapp.net/p.jpg"), jpeg);
    m_source.add(kWhatsApp, QStringLiteral("Library/Media/1@s.whatsapp.net/v.mp4"), "mp4");
    m_source.add(kWhatsApp, QStringLiteral("Library/Media/1@s.whatsapp.net/v.thumb"), jpeg);
    m_source.add(kWhatsApp, QStringLiteral("Library/Media/1@s.whatsapp.net/bare.mp4"), "bare");
    // Newer versions keep media in the shared group container.
    m_source.add(kShared, QStringLiteral("Message/Media/1@s.whatsapp.net/a.opus"), "opus");
    struct Case {
        const char* name;
        const char* type;
        const char* location;
        bool copy;
        QString html;
        QStringList files; // beside the copied page afterwards
    };
    const QList<Case> cases = {
        {"picture shown",
         "image",
         "/Media/1@s.whatsapp.net/p.jpg",
         false,
         QStringLiteral("<br/><img src='%1' width='179px'/>\r\n<br/>\r\n")
             .arg(shownUrl("p.jpg.jpg")),
         {}},
        {"picture copied",
         "image",
         "/Media/1@s.whatsapp.net/p.jpg",
         true,
         QStringLiteral(
             "<br/><a href='p.jpg' border=0><img src='p.jpg' width='179px'/></a>\r\n<br/>\r\n"),
         {"p.jpg"}},
        // A voice note keeps its own extension and plays in the page.
        {"sound shown",
         "audio",
         "/Media/1@s.whatsapp.net/a.opus",
         false,
         QStringLiteral("<br/><audio src='%1' controls preload='metadata'></audio><br/>\r\n")
             .arg(shownUrl("a.opus")),
         {}},
        {"sound copied",
         "audio",
         "/Media/1@s.whatsapp.net/a.opus",
         true,
         QStringLiteral("<br/><audio src='a.opus' controls preload='metadata'></audio><br/>\r\n"),
         {"a.opus"}},
        // A video plays in the page, its thumbnail its poster.
        {"video shown with its thumbnail",
         "video",
         "/Media/1@s.whatsapp.net/v.mp4",
         false,
         QStringLiteral("<br/><video src='%1' poster='%2' width='220px' controls "
                        "preload='metadata'></video><br/>\r\n")
             .arg(shownUrl("v.mp4"), shownUrl("v.mp4.jpg")),
         {}},
        {"video copied with its thumbnail beside the page",
         "video",
         "/Media/1@s.whatsapp.net/v.mp4",
         true,
         QStringLiteral("<br/><video src='v.mp4' poster='v.mp4.jpg' width='220px' controls "
                        "preload='metadata'></video><br/>\r\n"),
         {"v.mp4", "v.mp4.jpg"}},
        {"video without thumbnail shown",
         "video",
         "/Media/1@s.whatsapp.net/bare.mp4",
         false,
         QStringLiteral("<br/><video src='%1' width='220px' controls preload='metadata'></video>"
                        "<br/>\r\n")
             .arg(shownUrl("bare.mp4")),
         {}},
        {"video without thumbnail copied",
         "video",
         "/Media/1@s.whatsapp.net/bare.mp4",
         true,
         QStringLiteral("<br/><video src='bare.mp4' width='220px' controls preload='metadata'>"
                        "</video><br/>\r\n"),
         {"bare.mp4"}},
        {"missing", "image", "/Media/none.jpg", true, QString(), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(destination()).removeRecursively();
        QDir().mkpath(destination());
        EXPECT_EQ(whatsApp(withParts({part(c.type, QString::fromLatin1(c.location))}), c.copy),
                  c.html);
        if (c.copy) {
            QStringList files = c.files;
            files.sort();
            EXPECT_EQ(exported(), files);
        }
    }
    // Shown twice, a video shows both times.
    const QELMessageDetail video =
        withParts({part("video", QStringLiteral("/Media/1@s.whatsapp.net/v.mp4"))});
    EXPECT_EQ(whatsApp(video, false), whatsApp(video, false));
}

TEST_F(Formatters, WhatsAppWithoutABackupShowsTextAndCaptionOnly)
{
    m_whatsApp.setBackup(nullptr);
    m_source.add(kWhatsApp, QStringLiteral("Library/Media/p.jpg"), "x");
    EXPECT_EQ(whatsApp(withParts({part("image", QStringLiteral("/Media/p.jpg"))},
                                 QStringLiteral("Look <here>")),
                       true),
              QStringLiteral("Look &lt;here&gt;<br/>\r\n"));
    EXPECT_TRUE(m_source.lookups().isEmpty());
    EXPECT_TRUE(exported().isEmpty());
}

} // namespace
