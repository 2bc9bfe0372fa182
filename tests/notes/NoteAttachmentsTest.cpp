// SPDX-License-Identifier: GPL-3.0-or-later
// A note's attachments: found in the backup's notes domain, copied into the
// attachments folder, pictures turned upright.
#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "NotesTestSupport.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELIOS9NoteDetail.h"
#include "QELMediaNoteContent.h"
#include "SafePath.h"

using namespace NotesTest;
using namespace NoteStoreFixture;

namespace {

struct Picture {
    QString uti = QStringLiteral("public.jpeg");
    QString fileName = QStringLiteral("IMG_0001.JPG");
    QByteArray bytes;
    int orientation = 0;
    double width = 0;
    double height = 0;
    // Where the file lies below the folder, "{media}" and "{attachment}"
    // standing for the two identifiers; empty: "Media/{media}/<name>".
    QString relativePath;
    bool mediaRow = true;
    // More files of the attachment (previews), by paths as above.
    QList<QPair<QString, QByteArray>> extraFiles;
    // The body names no type, only the row.
    bool untypedInBody = false;
    // Later: the row's type in ZTYPEUTI1.
    bool typeInNewerColumn = false;
};

// A backup folder with one note whose attachments are `pictures`, in order.
class NoteAttachmentsTest : public ::testing::Test {
protected:
    QList<std::shared_ptr<QELMediaNoteContent>> extract(const QList<Picture>& pictures,
                                                        Layout layout = Layout::IOS9,
                                                        qint64 noteKey = 100)
    {
        // A backup folder of its own per call; equal paths in it name equal
        // backup files, so a copy made before is found again.
        const QString folder = m_root.filePath(QString::number(++m_calls));
        QDir().mkpath(folder);
        auto at = [&folder](const QString& relative) {
            return folder + QLatin1Char('/') + relative;
        };
        auto filled = [](QString pattern, const QString& media, const QString& attachment) {
            return pattern.replace(QStringLiteral("{media}"), media)
                .replace(QStringLiteral("{attachment}"), attachment);
        };
        Store store;
        store.layout = layout;
        store.accounts = {{1, QStringLiteral("iCloud")}};
        QString text = QStringLiteral("pictures");
        QList<Attachment> attachments;
        for (int i = 0; i < pictures.size(); ++i) {
            const Picture& p = pictures.at(i);
            const QString attachmentId = identifier(100 + i);
            const QString mediaId = identifier(200 + i);
            text += QLatin1Char('\n') + objectReplacement();
            attachments.append(
                {attachmentId, p.untypedInBody ? QString(QLatin1String("")) : p.uti});
            store.attachments.append({1000 + i, attachmentId, p.uti, p.mediaRow ? 2000 + i : 0,
                                      p.orientation, p.height, p.width, p.typeInNewerColumn});
            store.media.append({2000 + i, mediaId, p.fileName});
            if (!p.bytes.isEmpty()) {
                const QString relative = p.relativePath.isEmpty()
                    ? QStringLiteral("Media/%1/%2").arg(mediaId, p.fileName)
                    : filled(p.relativePath, mediaId, attachmentId);
                EXPECT_TRUE(writeFile(at(relative), p.bytes));
            }
            for (const auto& extra : p.extraFiles)
                EXPECT_TRUE(
                    writeFile(at(filled(extra.first, mediaId, attachmentId)), extra.second));
        }
        Note note;
        note.key = noteKey;
        note.title = QStringLiteral("With pictures");
        note.account = 1;
        note.body = noteBody(text, attachments);
        store.notes = {note};
        EXPECT_TRUE(writeNoteStore(at(QStringLiteral("NoteStore.sqlite")), store));
        m_source = std::make_unique<FolderBackupFileSource>(folder);
        m_reader = std::make_unique<QELIOS9NoteDatabaseReader>(m_source->GetPathToDataOfType(4),
                                                               QString());
        m_reader->setDeviceBackup(m_source.get());
        const auto notes = m_reader->getAllNotes();
        EXPECT_EQ(notes.size(), 1);
        QList<std::shared_ptr<QELMediaNoteContent>> parts;
        if (notes.isEmpty())
            return parts;
        EXPECT_TRUE(m_reader->extractMediaForNote(*notes.first()));
        const auto note9 = std::static_pointer_cast<QELIOS9NoteDetail>(notes.first());
        if (note9->content())
            for (const auto& part : *note9->content())
                if (auto media = std::dynamic_pointer_cast<QELMediaNoteContent>(part))
                    parts.append(media);
        return parts;
    }

    QTemporaryDir m_root;
    int m_calls = 0;
    std::unique_ptr<FolderBackupFileSource> m_source;
    std::unique_ptr<QELIOS9NoteDatabaseReader> m_reader;
};

QImage imageAt(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.read();
}

} // namespace

TEST_F(NoteAttachmentsTest, PicturesAreTurnedUpright)
{
    struct Case {
        const char* name;
        int storedClockwise; // how the camera stored the picture
        int exif;            // 0: no orientation tag
        int rowOrientation;
    };
    const QList<Case> cases{
        {"EXIF 6 (turn clockwise)", -90, 6, 0},
        {"EXIF 6 wins over the row", -90, 6, 2},
        {"EXIF 8", 90, 8, 0},
        {"EXIF 3", 180, 3, 0},
        {"row 2 (left) without EXIF", 90, 0, 2},
        {"row 3 (right) without EXIF", -90, 0, 3},
        {"row 1 (down) without EXIF", 180, 0, 1},
        {"EXIF 1 leaves the row to decide", 90, 1, 2},
        {"upright", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray jpeg = encoded(storedPicture(c.storedClockwise), "jpeg");
        if (c.exif != 0)
            jpeg = withExifOrientation(jpeg, c.exif);
        Picture picture;
        picture.bytes = jpeg;
        picture.orientation = c.rowOrientation;
        const auto parts = extract({picture});
        ASSERT_EQ(parts.size(), 1);
        const QImage copy = imageAt(parts.first()->fileName());
        EXPECT_EQ(redEdge(copy), QStringLiteral("top"));
        EXPECT_EQ(copy.size(), QSize(64, 96));
        EXPECT_EQ(parts.first()->fileType(), QStringLiteral("JPG"));
        EXPECT_TRUE(parts.first()->isPicture());
        EXPECT_TRUE(
            SafePath::isInside(m_reader->attachmentFolderPath(), parts.first()->fileName()));
        QDir(m_reader->attachmentFolderPath()).removeRecursively();
    }
}

TEST_F(NoteAttachmentsTest, SketchesShowTheirLargestPreviewAsPng)
{
    Picture sketch;
    sketch.uti = QStringLiteral("com.apple.drawing");
    sketch.mediaRow = false;
    sketch.extraFiles = {
        {QStringLiteral("Previews/{attachment}-1-768x1024.png"),
         encoded(uprightPicture(30, 40), "png")},
        {QStringLiteral("Previews/{attachment}-1-1536x2048-0.png"),
         encoded(uprightPicture(60, 80), "png")},
    };
    const auto parts = extract({sketch});
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts.first()->contentFormat(), QELNoteContent::kSketch);
    EXPECT_EQ(parts.first()->fileType(), QStringLiteral("png"));
    EXPECT_EQ(imageAt(parts.first()->fileName()).size(), QSize(60, 80));
    EXPECT_EQ(QImageReader(parts.first()->fileName()).format(), QByteArray("png"));

    Picture withoutPreview;
    withoutPreview.uti = QStringLiteral("com.apple.drawing.2");
    withoutPreview.mediaRow = false;
    const auto none = extract({withoutPreview});
    ASSERT_EQ(none.size(), 1);
    EXPECT_EQ(none.first()->htmlRepresentation(), QStringLiteral("<br/>"));
}

TEST_F(NoteAttachmentsTest, VideosKeepTheirBytesAndGetAPreview)
{
    Picture movie;
    movie.uti = QStringLiteral("com.apple.quicktime-movie");
    movie.fileName = QStringLiteral("clip.MOV");
    movie.bytes = QByteArray("\0\0\0\x14"
                             "ftypqt  not really a movie",
                             30);
    movie.width = 1920;
    movie.height = 1080;
    movie.relativePath = QStringLiteral("Accounts/LocalAccount/Media/{media}/1_abc/clip.MOV");
    movie.extraFiles = {
        {QStringLiteral("Accounts/LocalAccount/Previews/{attachment}-1-320x180.jpg"),
         encoded(uprightPicture(32, 18), "jpeg")}};
    const auto parts = extract({movie}, Layout::Later);
    ASSERT_EQ(parts.size(), 1);
    const auto& video = parts.first();
    EXPECT_EQ(video->contentFormat(), QELNoteContent::kVideo);
    EXPECT_EQ(video->fileType(), QStringLiteral("MOV"));
    EXPECT_EQ(readFile(video->fileName()), movie.bytes);
    ASSERT_TRUE(video->mediaData());
    EXPECT_FALSE(imageAt(video->mediaData()->previewPath()).isNull());
    EXPECT_TRUE(
        video->htmlRepresentation().contains(QStringLiteral("width=\"1920\" height=\"1080\"")));
}

TEST_F(NoteAttachmentsTest, MissingRowsAndFilesLeaveNoCopy)
{
    Picture noRow;
    noRow.bytes = encoded(uprightPicture(), "jpeg");
    noRow.mediaRow = false;
    Picture noFile;
    Picture hostile;
    hostile.fileName = QStringLiteral("x.a/../../y");
    const auto parts = extract({noRow, noFile, hostile});
    ASSERT_EQ(parts.size(), 3);
    for (const auto& part : parts) {
        EXPECT_TRUE(part->fileName().isEmpty());
        EXPECT_EQ(part->htmlRepresentation(), QStringLiteral("<br/>"));
    }
    EXPECT_EQ(parts.first()->mediaData()->mediaId(), 0);
    EXPECT_EQ(QELIOS9NoteDatabaseReader::safeFileType(QStringLiteral("x.a/../../y")),
              QStringLiteral("dat"));
    EXPECT_EQ(QELIOS9NoteDatabaseReader::safeFileType(QStringLiteral("IMG.heic")),
              QStringLiteral("heic"));
    EXPECT_EQ(QELIOS9NoteDatabaseReader::safeFileType(QStringLiteral("noextension")),
              QStringLiteral("dat"));
}

TEST_F(NoteAttachmentsTest, APictureThatDoesNotDecodeIsKeptAndNamed)
{
    Picture broken;
    broken.fileName = QStringLiteral("Broken <1>.jpg");
    broken.bytes = QByteArray("\xFF\xD8 not a jpeg at all", 20);
    const auto parts = extract({broken});
    ASSERT_EQ(parts.size(), 1);
    EXPECT_FALSE(parts.first()->isPicture());
    EXPECT_EQ(readFile(parts.first()->fileName()), broken.bytes);
    EXPECT_EQ(parts.first()->htmlRepresentation(), QStringLiteral("Broken &lt;1&gt;.jpg"));
}

TEST_F(NoteAttachmentsTest, ACopyIsMadeOncePerFile)
{
    Picture picture;
    picture.bytes = encoded(uprightPicture(), "jpeg");
    const auto first = extract({picture});
    ASSERT_EQ(first.size(), 1);
    const QDateTime made = QFileInfo(first.first()->fileName()).lastModified();
    QFile::setPermissions(first.first()->fileName(), QFile::ReadOwner);
    const auto second = extract({picture}, Layout::IOS9, 101);
    ASSERT_EQ(second.size(), 1);
    EXPECT_EQ(second.first()->fileName(), first.first()->fileName());
    EXPECT_EQ(QFileInfo(second.first()->fileName()).lastModified(), made);
}

// Later systems keep each preview as a folder "Previews/<id>-1-<W>x<H>-0"
// holding "<n>_<uuid>/Preview.png", and a drawing's full picture under
// "FallbackImages/"; a picture only in the cloud still has its previews.
TEST_F(NoteAttachmentsTest, PreviewFoldersAndFallbackImagesOfLaterSystemsAreFound)
{
    const QString account = QStringLiteral("Accounts/4C1D0E2A-7B3F-4E5A-9C8D-1F2E3D4C5B6A/");
    const QByteArray small = encoded(uprightPicture(30, 40), "png");
    const QByteArray large = encoded(uprightPicture(60, 80), "png");
    const QList<QPair<QString, QByteArray>> previewFolders{
        {account + QStringLiteral("Previews/{attachment}-1-768x1024-0/1_0A1B/Preview.png"), small},
        {account + QStringLiteral("Previews/{attachment}-1-1536x2048-0/1_2C3D/Preview.png"), large},
    };
    struct Case {
        const char* name;
        QString uti;
        QList<QPair<QString, QByteArray>> files;
        Layout layout;
        int format;
        QSize size;
    };
    const QList<Case> cases{
        {"a drawing's preview folders", QStringLiteral("com.apple.drawing.2"), previewFolders,
         Layout::Later, QELNoteContent::kSketch, QSize(60, 80)},
        {"a drawing with only its fallback image",
         QStringLiteral("com.apple.paper"),
         {{account + QStringLiteral("FallbackImages/{attachment}/1_9F8E/FallbackImage.png"),
           large}},
         Layout::Later,
         QELNoteContent::kSketch,
         QSize(60, 80)},
        {"an older drawing's flat fallback image",
         QStringLiteral("com.apple.drawing"),
         {{QStringLiteral("FallbackImages/{attachment}.jpg"),
           encoded(uprightPicture(30, 40), "jpeg")}},
         Layout::IOS9,
         QELNoteContent::kSketch,
         QSize(30, 40)},
        {"a picture whose file stayed in the cloud", QStringLiteral("public.jpeg"), previewFolders,
         Layout::Later, QELNoteContent::kImage, QSize(60, 80)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        picture.uti = c.uti;
        picture.mediaRow = c.format == QELNoteContent::kImage;
        picture.extraFiles = c.files;
        const auto parts = extract({picture}, c.layout);
        ASSERT_EQ(parts.size(), 1);
        EXPECT_EQ(parts.first()->contentFormat(), c.format);
        EXPECT_EQ(imageAt(parts.first()->fileName()).size(), c.size);
        EXPECT_TRUE(parts.first()->isPicture());
        EXPECT_EQ(redEdge(imageAt(parts.first()->fileName())), QStringLiteral("top"));
    }

    Picture movie;
    movie.uti = QStringLiteral("com.apple.quicktime-movie");
    movie.fileName = QStringLiteral("clip.MOV");
    movie.bytes = QByteArray("not really a movie");
    movie.relativePath = account + QStringLiteral("Media/{media}/1_abc/clip.MOV");
    movie.extraFiles = previewFolders;
    const auto video = extract({movie}, Layout::Later);
    ASSERT_EQ(video.size(), 1);
    ASSERT_TRUE(video.first()->mediaData());
    EXPECT_EQ(imageAt(video.first()->mediaData()->previewPath()).size(), QSize(60, 80));
}

TEST(NotePreviewSizeTest, TheLargestLastSizeWins)
{
    auto item = [](const char* path) {
        return QELDeviceBackupListingItem(QString::fromLatin1(path), QStringLiteral("f"));
    };
    const auto best = QELIOS9NoteDatabaseReader::parsePathsForLargestPreviewSize(
        {item("Previews/id-1-768x1024.png"), item("Previews/id-1-1536x2048.png"),
         item("Previews/id-2-1536x2048.png"), item("Previews/id.png")});
    ASSERT_TRUE(best);
    EXPECT_EQ(best->relativePath(), QStringLiteral("Previews/id-1-1536x2048.png"));
    // The last size in the name counts; a huge digit run does not overflow.
    const auto last = QELIOS9NoteDatabaseReader::parsePathsForLargestPreviewSize(
        {item("Previews/10x10-id-1-20x20.png"), item("Previews/99999999999999999999x2.png"),
         item("Previews/id-15x15.png")});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->relativePath(), QStringLiteral("Previews/99999999999999999999x2.png"));
    EXPECT_FALSE(QELIOS9NoteDatabaseReader::parsePathsForLargestPreviewSize({item("a/b.png")}));
    // A preview kept as a folder carries its size in the folder's name.
    const auto folders = QELIOS9NoteDatabaseReader::parsePathsForLargestPreviewSize(
        {item("Accounts/A/Previews/id-1-768x1024-0/1_AB/Preview.png"),
         item("Accounts/A/Previews/id-1-1536x2048-0/1_CD/Preview.png")});
    ASSERT_TRUE(folders);
    EXPECT_EQ(folders->relativePath(),
              QStringLiteral("Accounts/A/Previews/id-1-1536x2048-0/1_CD/Preview.png"));
}

// A body that names no type for an attachment leaves it to the attachment's
// row (ZTYPEUTI, or ZTYPEUTI1 on newer stores).
TEST_F(NoteAttachmentsTest, AnAttachmentTypedOnlyByItsRowIsResolved)
{
    for (Layout layout : {Layout::IOS9, Layout::Later}) {
        for (bool newer : {false, true}) {
            if (newer && layout == Layout::IOS9)
                continue;
            SCOPED_TRACE(newer ? "ZTYPEUTI1" : layout == Layout::IOS9 ? "iOS 9" : "later");
            Picture untyped;
            untyped.bytes = encoded(uprightPicture(), "jpeg");
            untyped.untypedInBody = true;
            untyped.typeInNewerColumn = newer;
            Picture unknown;
            unknown.uti = QString(QLatin1String(""));
            unknown.fileName = QStringLiteral("a.bin");
            Picture typed;
            typed.fileName = QStringLiteral("IMG_0003.JPG");
            typed.bytes = encoded(uprightPicture(), "jpeg");
            const auto parts = extract({untyped, unknown, typed}, layout);
            ASSERT_EQ(parts.size(), 3);
            EXPECT_EQ(parts.at(0)->contentFormat(), QELNoteContent::kImage);
            EXPECT_EQ(parts.at(0)->typeIdentifier(), QStringLiteral("public.jpeg"));
            EXPECT_EQ(parts.at(0)->exportName(), QStringLiteral("1"));
            EXPECT_EQ(redEdge(imageAt(parts.at(0)->fileName())), QStringLiteral("top"));
            EXPECT_EQ(parts.at(1)->contentFormat(), QELNoteContent::kUnresolved);
            EXPECT_EQ(parts.at(1)->fileName(), QString());
            EXPECT_EQ(parts.at(2)->contentFormat(), QELNoteContent::kImage);
            EXPECT_EQ(parts.at(2)->exportName(), QStringLiteral("2"));
            EXPECT_FALSE(parts.at(2)->fileName().isEmpty());
            QDir(m_reader->attachmentFolderPath()).removeRecursively();
        }
    }
}

// Attachments of other kinds (a PDF, a recording) are copied and linked by
// their names, in the view and in the export; one the backup has no file for
// keeps its place and counts as not exported.
TEST_F(NoteAttachmentsTest, FilesOfOtherKindsAreCopiedAndLinked)
{
    Picture pdf;
    pdf.uti = QStringLiteral("com.adobe.pdf");
    pdf.fileName = QStringLiteral("Boarding <pass>.pdf");
    pdf.bytes =
        QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj <<>> endobj\ntrailer <<>>\n%%EOF\n");
    Picture audio;
    audio.uti = QStringLiteral("com.apple.m4a-audio");
    audio.fileName = QStringLiteral("Recording.m4a");
    audio.bytes = QByteArray("\0\0\0\x18"
                             "ftypM4A ",
                             12);
    Picture lost;
    lost.uti = QStringLiteral("public.vcard");
    lost.fileName = QStringLiteral("card.vcf"); // no file in the backup
    Picture photo;
    photo.bytes = encoded(uprightPicture(), "jpeg");
    const auto parts = extract({pdf, audio, lost, photo});
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts.at(0)->contentFormat(), QELNoteContent::kFile);
    EXPECT_EQ(parts.at(1)->contentFormat(), QELNoteContent::kFile);
    EXPECT_EQ(parts.at(2)->contentFormat(), QELNoteContent::kUnresolved);
    EXPECT_EQ(parts.at(3)->contentFormat(), QELNoteContent::kImage);
    EXPECT_EQ(parts.at(0)->exportName(), QStringLiteral("1"));
    EXPECT_EQ(parts.at(3)->exportName(), QStringLiteral("3"));
    QFile copy(parts.at(0)->fileName());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), pdf.bytes);
    EXPECT_EQ(parts.at(0)->fileType(), QStringLiteral("pdf"));
    // The view links the copy by the device's name, escaped.
    const QString shown = parts.at(0)->htmlRepresentation();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("<a href=\"file://"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral(">Boarding &lt;pass&gt;.pdf</a>")));

    // The export copies both files beside the page and links them.
    const QString page = m_root.filePath(QStringLiteral("out/With pictures.html"));
    QDir().mkpath(QFileInfo(page).path());
    const auto notes = m_reader->getAllNotes();
    ASSERT_EQ(notes.size(), 1);
    ASSERT_TRUE(m_reader->extractMediaForNote(*notes.first()));
    int notExported = -1;
    const QString html =
        notes.first()->htmlExportCounting(page, QStringLiteral("With pictures"), &notExported);
    EXPECT_EQ(notExported, 1); // the card
    const QString folder = QELMediaNoteContent::attachmentsFolderForPage(page);
    EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"With%20pictures%20-%20Attachments/1.pdf\">"
                                             "Boarding &lt;pass&gt;.pdf</a>")))
        << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("2.m4a\">Recording.m4a</a>")));
    QFile exported(folder + QStringLiteral("/1.pdf"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), pdf.bytes);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/2.m4a")));
    const QStringList copied = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(copied.size(), 3) << copied.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(copied.at(2).startsWith(QStringLiteral("3.")));
}
