// SPDX-License-Identifier: GPL-3.0-or-later
// What the tag writers put into MP3, MP4 and other files, and what they leave.
#include <optional>

#include <gtest/gtest.h>
#include <taglib/fileref.h>

#include <QFile>
#include <QTemporaryDir>

#include "AtomicFileBatch.h"
#include "QELTagLib.h"
#include "QELTagLibMP3Writer.h"
#include "QELTagLibMP4Writer.h"
#include "QELTagLibWriter.h"
#include "TagTestSupport.h"

using namespace TagTest;

namespace {

class TagWriter : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString image(const QString& name) const
    {
        const QString file = path(name);
        AudioFixture::writeFile(file, imageBytesFor(QFileInfo(name).suffix()));
        return file;
    }
    static QString frameText(const QString& file, const char* id)
    {
        TagLib::MPEG::File mpeg(QFile::encodeName(file).constData(), false);
        const auto& frames = mpeg.ID3v2Tag(true)->frameList(TagLib::ByteVector(id, 4));
        return frames.isEmpty() ? QString() : fromTagLibUtf8(frames.front()->toString());
    }
    static std::optional<std::pair<int, int>> pair(const QString& file, const char* name)
    {
        TagLib::MP4::File mp4(QFile::encodeName(file).constData(), false);
        if (!mp4.tag()->contains(name))
            return std::nullopt;
        const auto value = mp4.tag()->item(name).toIntPair();
        return std::pair(value.first, value.second);
    }

    QTemporaryDir m_dir;
};

struct Mp3MergeCase {
    const char* name;
    const char* frameId;
    const char* held; // null: no frame
    std::optional<double> number;
    std::optional<double> total;
    const char* written; // null: no frame afterwards
};

TEST_F(TagWriter, MergesTrackAndDiscNumbersWithWhatAnMp3Holds)
{
    using std::nullopt;
    const Mp3MergeCase cases[] = {
        {"both given", "TRCK", nullptr, 3, 12, "3/12"},
        {"total onto n/m", "TRCK", "5/10", nullopt, 12, "5/12"},
        {"total onto n", "TRCK", "5", nullopt, 12, "0/12"},
        {"total without TRCK", "TRCK", nullptr, nullopt, 12, nullptr},
        {"number keeps the total", "TRCK", "5/10", 3, nullopt, "3/10"},
        {"number alone", "TRCK", nullptr, 3, nullopt, "3"},
        {"disc onto n/m", "TPOS", "1/3", 2, nullopt, "2/3"},
        {"disc onto n", "TPOS", "1", 2, nullopt, "2"},
        {"disc total onto n/m", "TPOS", "1/3", nullopt, 4, "1/4"},
        {"disc total without TPOS", "TPOS", nullptr, nullopt, 4, nullptr},
        {"not UTF-8 is left alone", "TPOS", "1\xE9/3", nullopt, 4, "1\xC3\xA9/3"},
    };
    for (const Mp3MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("merge.mp3");
        ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
            addTextFrame(tag, "TIT2", "t");
            if (c.held)
                addTextFrame(tag, c.frameId, TagLib::String(c.held, TagLib::String::Latin1),
                             TagLib::String::Latin1);
        }));
        QELTagMap map;
        if (QByteArray(c.frameId) == "TRCK") {
            map.setTrackNumber(c.number);
            map.setTrackTotal(c.total);
        } else {
            map.setDiscNumber(c.number);
            map.setDiscTotal(c.total);
        }
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));
        const QString written = frameText(file, c.frameId);
        if (c.written)
            EXPECT_EQ(written, QString::fromUtf8(c.written));
        else
            EXPECT_TRUE(written.isNull()) << written.toStdString();
    }
}

struct Mp4MergeCase {
    const char* name;
    const char* item;
    std::optional<std::pair<int, int>> held;
    std::optional<double> number;
    std::optional<double> total;
    std::optional<std::pair<int, int>> written;
};

TEST_F(TagWriter, MergesTrackAndDiscPairsWithWhatAnMp4Holds)
{
    using std::nullopt;
    using P = std::pair<int, int>;
    const Mp4MergeCase cases[] = {
        {"disc total onto (1, 3)", "disk", P(1, 3), nullopt, 2, P(1, 2)},
        {"disc total without disk", "disk", nullopt, nullopt, 2, nullopt},
        {"disc number onto (1, 3)", "disk", P(1, 3), 2, nullopt, P(2, 3)},
        {"both given", "trkn", nullopt, 3, 12, P(3, 12)},
        {"track total onto (5, 10)", "trkn", P(5, 10), nullopt, 12, P(5, 12)},
        {"track number keeps the total", "trkn", P(5, 10), 4, nullopt, P(4, 10)},
    };
    for (const Mp4MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("merge.m4a");
        ASSERT_TRUE(makeM4a(file, [&](TagLib::MP4::Tag& tag) {
            tag.setTitle("t");
            if (c.held)
                tag.setItem(c.item, TagLib::MP4::Item(c.held->first, c.held->second));
        }));
        QELTagMap map;
        if (QByteArray(c.item) == "trkn") {
            map.setTrackNumber(c.number);
            map.setTrackTotal(c.total);
        } else {
            map.setDiscNumber(c.number);
            map.setDiscTotal(c.total);
        }
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));
        EXPECT_EQ(pair(file, c.item), c.written);
    }
}

TEST_F(TagWriter, EmbedsAPictureWithTheMimeTypeOfItsExtension)
{
    struct Case {
        const char* image;
        const char* mimeType;
    };
    const Case cases[] = {{"cover.png", "image/png"},   {"COVER.JPG", "image/jpeg"},
                          {"cover.jpeg", "image/jpeg"}, {"cover.bmp", "image/bmp"},
                          {"cover.GIF", "image/gif"},   {"cover", "image/jpeg"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        for (const bool held : {false, true}) {
            SCOPED_TRACE(held ? "over a picture" : "a new picture");
            const QString file = path("art.mp3");
            ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
                addTextFrame(tag, "TIT2", "t");
                if (held)
                    addPicture(tag, imageBytes("PNG", Qt::blue), "image/png", "front");
            }));
            QELTagMap map;
            map.setArtworkState(QELTagMap::kArtworkEmbed);
            map.setArtworkPath(c.image == QByteArray("cover") ? image("cover") : image(c.image));
            if (c.image == QByteArray("cover"))
                AudioFixture::writeFile(map.ArtworkPath(), imageBytes("PNG"));
            ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));

            TagLib::MPEG::File mpeg(QFile::encodeName(file).constData(), false);
            const auto& pictures = mpeg.ID3v2Tag()->frameList("APIC");
            ASSERT_EQ(pictures.size(), 1u);
            const auto* picture =
                dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(fromTagLibUtf8(picture->mimeType()), QString::fromLatin1(c.mimeType));
            const TagLib::ByteVector bytes = picture->picture();
            EXPECT_EQ(QByteArray(bytes.data(), bytes.size()), fileBytes(map.ArtworkPath()));
            EXPECT_EQ(picture->type(),
                      held ? TagLib::ID3v2::AttachedPictureFrame::FrontCover
                           : TagLib::ID3v2::AttachedPictureFrame::Other);
            EXPECT_EQ(fromTagLibUtf8(picture->description()), held ? "front" : "");
            // And the cover reads back.
            EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(file).ArtworkData(),
                      fileBytes(map.ArtworkPath()));
        }
    }
}

TEST_F(TagWriter, StoresOneMp4CoverInTheFormatOfItsExtension)
{
    struct Case {
        const char* image;
        int format;
        QELTagMap::ArtworkStates state;
    };
    const Case cases[] = {{"cover.jpg", 13, QELTagMap::kArtworkEmbed},
                          {"cover.JPEG", 13, QELTagMap::kArtworkEmbed},
                          {"cover.png", 14, QELTagMap::kArtworkEmbedToo},
                          {"cover.bmp", 27, QELTagMap::kArtworkEmbed},
                          {"cover.gif", 12, QELTagMap::kArtworkEmbedToo},
                          {"cover.tiff", 0, QELTagMap::kArtworkEmbed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        const QString file = path("art.m4a");
        ASSERT_TRUE(makeM4a(file, [](TagLib::MP4::Tag& tag) {
            TagLib::MP4::CoverArtList covers;
            for (const char* format : {"PNG", "BMP"}) {
                const QByteArray bytes = imageBytes(format, Qt::green);
                covers.append(
                    TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG,
                                          TagLib::ByteVector(bytes.constData(), bytes.size())));
            }
            tag.setItem("covr", TagLib::MP4::Item(covers));
        }));
        QELTagMap map;
        map.setArtworkState(c.state);
        map.setArtworkPath(path(c.image));
        AudioFixture::writeFile(map.ArtworkPath(),
                                c.format == 0 ? imageBytes("PNG")
                                              : imageBytesFor(QFileInfo(c.image).suffix()));
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));
        TagLib::MP4::File mp4(QFile::encodeName(file).constData(), false);
        const TagLib::MP4::CoverArtList covers = mp4.tag()->item("covr").toCoverArtList();
        ASSERT_EQ(covers.size(), 1u);
        EXPECT_EQ(int(covers.front().format()), c.format);
        const TagLib::ByteVector bytes = covers.front().data();
        EXPECT_EQ(QByteArray(bytes.data(), bytes.size()), fileBytes(map.ArtworkPath()));
    }
}

TEST_F(TagWriter, ArtworkStatesSteerTheCover)
{
    const QByteArray first = imageBytes("PNG", Qt::red);
    const QByteArray second = imageBytes("PNG", Qt::blue);
    const QString mp3 = path("two.mp3");
    const QString m4a = path("two.m4a");
    const auto makeBoth = [&] {
        ASSERT_TRUE(makeMp3(mp3, [&](TagLib::ID3v2::Tag& tag) {
            addPicture(tag, first, "image/png");
            addPicture(tag, second, "image/png");
        }));
        ASSERT_TRUE(makeM4a(m4a, [&](TagLib::MP4::Tag& tag) {
            TagLib::MP4::CoverArtList covers;
            covers.append(TagLib::MP4::CoverArt(
                TagLib::MP4::CoverArt::PNG, TagLib::ByteVector(first.constData(), first.size())));
            covers.append(TagLib::MP4::CoverArt(
                TagLib::MP4::CoverArt::PNG, TagLib::ByteVector(second.constData(), second.size())));
            tag.setItem("covr", TagLib::MP4::Item(covers));
        }));
    };
    const auto pictures = [&] {
        TagLib::MPEG::File file(QFile::encodeName(mp3).constData(), false);
        return file.ID3v2Tag(true)->frameList("APIC").size();
    };
    const auto covers = [&] {
        TagLib::MP4::File file(QFile::encodeName(m4a).constData(), false);
        return file.tag()->item("covr").toCoverArtList().size();
    };
    {
        SCOPED_TRACE("4 removes the first picture, and every MP4 cover");
        makeBoth();
        QELTagMap map;
        map.setArtworkState(QELTagMap::kArtworkRemove);
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(mp3, map));
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(m4a, map));
        EXPECT_EQ(pictures(), 1u);
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(mp3).ArtworkData(), second);
        EXPECT_EQ(covers(), 0u);
    }
    for (const int state : {0, 1, 2, 5}) {
        SCOPED_TRACE(state);
        makeBoth();
        QELTagMap map;
        map.setArtworkState(state);
        if (state != 2)
            map.setArtworkPath(image("other.png"));
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(mp3, map));
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(m4a, map));
        EXPECT_EQ(pictures(), 2u);
        EXPECT_EQ(covers(), 2u);
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(mp3).ArtworkData(), first);
    }
    {
        SCOPED_TRACE("an image that cannot be read changes no artwork but saves the rest");
        makeBoth();
        QELTagMap map;
        map.setArtworkState(QELTagMap::kArtworkEmbed);
        map.setArtworkPath(path("empty.png"));
        AudioFixture::writeFile(map.ArtworkPath(), {});
        map.setTrackName("Saved");
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(mp3, map));
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(m4a, map));
        EXPECT_EQ(pictures(), 2u);
        EXPECT_EQ(covers(), 2u);
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(m4a).TrackName(), "Saved");
    }
    {
        SCOPED_TRACE("the façade's own artwork operations");
        makeBoth();
        EXPECT_TRUE(QELTagLib().removeArtworkImageFromFileAtPath(mp3));
        EXPECT_TRUE(QELTagLib().removeArtworkImageFromFileAtPath(m4a));
        EXPECT_EQ(pictures(), 1u);
        EXPECT_EQ(covers(), 0u);
        const QString gif = image("cover.gif");
        EXPECT_TRUE(QELTagLib().addArtwokImageToFileAtPath(mp3, gif));
        EXPECT_TRUE(QELTagLib().addArtwokImageToFileAtPath(m4a, gif));
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(mp3).ArtworkMimeType(), "image/gif");
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(m4a).ArtworkMimeType(), "image/gif");
        EXPECT_FALSE(QELTagLib().addArtwokImageToFileAtPath(mp3, path("missing.png")));
        EXPECT_FALSE(QELTagLib().addArtwokImageToFileAtPath(mp3, QString()));
    }
}

TEST_F(TagWriter, TheCommonWriterPutsTheCoverInTheFilesOwnTag)
{
    const QString wav = path("tune.wav");
    ASSERT_TRUE(AudioFixture::writeFile(wav, AudioFixture::silentWav()));
    const QByteArray before = fileBytes(wav);
    EXPECT_FALSE(QELTagLibWriter().addArtworkToFileAtPath(wav, image("cover.png")));
    EXPECT_FALSE(QELTagLibWriter().removeArtworkFromFileAtPath(wav));
    EXPECT_EQ(fileBytes(wav), before);

    QELTagMap map;
    map.setTrackName(QString::fromUtf8("日本語"));
    map.setReleaseYear(2020);
    map.setArtworkState(QELTagMap::kArtworkEmbed);
    map.setArtworkPath(image("cover.png"));
    ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(wav, map));
    const QELTagMap read = QELTagLib().loadTagsFromFileAtPath(wav);
    EXPECT_EQ(read.TrackName(), QString::fromUtf8("日本語"));
    EXPECT_EQ(read.ReleaseYear(), 2020);
    // The cover goes into the WAV file's ID3v2 chunk; its RIFF framing holds.
    EXPECT_EQ(read.ArtworkState(), QELTagMap::kArtworkEmbedded);
    EXPECT_EQ(AudioFixture::containerProblem(fileBytes(wav)), QString());
}

TEST_F(TagWriter, WritesUnicodeThatEveryReaderSees)
{
    const QString values[] = {QString::fromUtf8("café"), QString::fromUtf8("Ελληνικά"),
                              QString::fromUtf8("日本語"), QString::fromUtf8("🎵 emoji")};
    for (const char* name : {"song.mp3", "song.m4a"}) {
        SCOPED_TRACE(name);
        for (const QString& value : values) {
            SCOPED_TRACE(value.toStdString());
            const QString file = path(QString::fromLatin1(name));
            ASSERT_TRUE(QByteArray(name).endsWith("mp3") ? makeMp3(file) : makeM4a(file));
            QELTagMap map;
            map.setTrackName(value);
            map.setArtistName(value);
            map.setAlbumName(value);
            map.setComment(value);
            map.setGenre(value);
            map.setAlbumArtist(value);
            map.setComposer(value);
            map.setGrouping(value);
            map.setCompilation(false);
            ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));

            const QELTagMap read = QELTagLib().loadTagsFromFileAtPath(file);
            EXPECT_EQ(read.TrackName(), value);
            EXPECT_EQ(read.ArtistName(), value);
            EXPECT_EQ(read.AlbumName(), value);
            EXPECT_EQ(read.Comment(), value);
            EXPECT_EQ(read.Genre(), value);
            EXPECT_EQ(read.AlbumArtist(), value);
            EXPECT_EQ(read.Composer(), value);
            EXPECT_EQ(read.Grouping(), value);
            EXPECT_EQ(read.Compilation(), std::optional<bool>(false));

            // As any other program reads it.
            TagLib::FileRef plain(QFile::encodeName(file).constData());
            ASSERT_FALSE(plain.isNull());
            EXPECT_EQ(fromTagLibUtf8(plain.tag()->title()), value);
            EXPECT_EQ(fromTagLibUtf8(plain.tag()->artist()), value);
            EXPECT_EQ(fromTagLibUtf8(plain.tag()->comment()), value);
        }
    }
    TagLib::MPEG::File mpeg(QFile::encodeName(path("song.mp3")).constData(), false);
    EXPECT_EQ(mpeg.ID3v2Tag()->header()->majorVersion(), 4u);
    const auto* albumArtist = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(
        mpeg.ID3v2Tag()->frameList("TPE2").front());
    ASSERT_NE(albumArtist, nullptr);
    EXPECT_EQ(albumArtist->textEncoding(), TagLib::String::UTF8);
    EXPECT_EQ(frameText(path("song.mp3"), "TCMP"), "0");
    TagLib::MP4::File mp4(QFile::encodeName(path("song.m4a")).constData(), false);
    EXPECT_FALSE(mp4.tag()->item("cpil").toBool());
    EXPECT_TRUE(mp4.tag()->contains("cpil"));
}

TEST_F(TagWriter, SavingAddsNoId3v1TagButKeepsOne)
{
    for (const bool hadId3v1 : {false, true}) {
        SCOPED_TRACE(hadId3v1 ? "with ID3v1" : "without ID3v1");
        const QString file = path("v1.mp3");
        ASSERT_TRUE(makeMp3(
            file, [](TagLib::ID3v2::Tag& tag) { addTextFrame(tag, "TIT2", "Before"); },
            hadId3v1 ? std::function<void(TagLib::ID3v1::Tag&)>(
                [](TagLib::ID3v1::Tag& tag) { tag.setTitle("Before"); })
                     : std::function<void(TagLib::ID3v1::Tag&)>()));
        QELTagMap map;
        map.setTrackName("After");
        map.setAlbumArtist("Band");
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map));
        TagLib::MPEG::File mpeg(QFile::encodeName(file).constData(), false);
        EXPECT_EQ(mpeg.hasID3v1Tag(), hadId3v1);
        if (hadId3v1) {
            EXPECT_EQ(fromTagLibUtf8(mpeg.ID3v1Tag()->title()), "After");
        }
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(file).TrackName(), "After");
    }
}

TEST_F(TagWriter, AFailedWriteLeavesTheFileAsItWas)
{
    const QByteArray m4a = AudioFixture::minimalM4a();
    QByteArray moovPastEnd = m4a;
    moovPastEnd[28 + 3] = char(0xF0);
    QByteArray tagged;
    {
        const QString file = path("whole.mp3");
        ASSERT_TRUE(makeMp3(file, [](TagLib::ID3v2::Tag& tag) { addTextFrame(tag, "TIT2", "t"); }));
        tagged = fileBytes(file);
    }
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"cut-in-tag.mp3", tagged.left(30)},
        {"moov-past-end.m4a", moovPastEnd},
        {"mdat-cut.m4a", m4a.left(m4a.size() - 4)},
        {"empty.m4a", {}},
        {"garbage.flac", QByteArray(500, 'x')},
        // No tag to carry the album artist, and no common field to make one.
        {"untagged.mp3", AudioFixture::silentMp3()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(AudioFixture::writeFile(file, c.bytes));
        QELTagMap map;
        map.setAlbumArtist("Band");
        map.setArtworkState(QELTagMap::kArtworkRemove);
        EXPECT_FALSE(QELTagLib().saveTagsToFileAtPath(file, map));
        EXPECT_FALSE(QELTagLib().removeArtworkImageFromFileAtPath(file));
        EXPECT_EQ(fileBytes(file), c.bytes);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".orvane-"),
                  QStringList());
    }
    EXPECT_FALSE(QELTagLib().saveTagsToFileAtPath(path("missing.mp3"), QELTagMap()));
    EXPECT_FALSE(QELTagLib().saveTagsToFileAtPath(QString(), QELTagMap()));
    EXPECT_FALSE(QFileInfo::exists(path("missing.mp3")));
}

TEST_F(TagWriter, AnEmptyMapChangesNoValue)
{
    const QString file = path("kept.mp3");
    ASSERT_TRUE(makeMp3(file, [](TagLib::ID3v2::Tag& tag) {
        addTextFrame(tag, "TIT2", "Title");
        addTextFrame(tag, "TRCK", "5/10");
        addTextFrame(tag, "TPE2", "Band");
        addPicture(tag, imageBytes("PNG"), "image/png");
    }));
    const QELTagMap before = QELTagLib().loadTagsFromFileAtPath(file);
    ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, QELTagMap()));
    const QELTagMap after = QELTagLib().loadTagsFromFileAtPath(file);
    EXPECT_EQ(after.TrackName(), before.TrackName());
    EXPECT_EQ(after.TrackNumber(), 5);
    EXPECT_EQ(after.TrackTotal(), 10);
    EXPECT_EQ(after.AlbumArtist(), "Band");
    EXPECT_EQ(after.ArtworkData(), before.ArtworkData());
}

TEST_F(TagWriter, ABatchedSaveIsUndoneWhenTheRunIsAbandoned)
{
    const QString file = path("batch.m4a");
    ASSERT_TRUE(makeM4a(file, [](TagLib::MP4::Tag& tag) { tag.setTitle("Before"); }));
    const QByteArray before = fileBytes(file);
    {
        AtomicFileBatch batch;
        QELTagMap map;
        map.setTrackName("After");
        ASSERT_TRUE(QELTagLib().saveTagsToFileAtPath(file, map, &batch));
        EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(file).TrackName(), "After");
    }
    EXPECT_EQ(fileBytes(file), before);
}

} // namespace
