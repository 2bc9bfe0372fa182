// SPDX-License-Identifier: GPL-3.0-or-later
// What the tag readers make of MP3, MP4 and other files, damaged ones included.
#include <optional>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QELTagLib.h"
#include "QELTagLibMP3Reader.h"
#include "QELTagLibMP4Reader.h"
#include "QELTagLibReader.h"
#include "TagLibSupport.h"
#include "TagTestSupport.h"

using namespace TagTest;

namespace {

class TagReader : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QELTagMap load(const QString& file) const { return QELTagLib().loadTagsFromFileAtPath(file); }

    QTemporaryDir m_dir;
};

TEST_F(TagReader, ReadsEveryFieldOfAnId3v2Tag)
{
    const QByteArray png = imageBytes("PNG");
    const QString file = path("song.mp3");
    ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
        addTextFrame(tag, "TIT2", "Title");
        addTextFrame(tag, "TPE1", "Artist");
        addTextFrame(tag, "TALB", "Album");
        addTextFrame(tag, "TCON", "Jazz");
        addTextFrame(tag, "TYER", "1999");
        addTextFrame(tag, "TRCK", "3/12");
        addTextFrame(tag, "TPOS", "1/2");
        addTextFrame(tag, "TPE2", "Band");
        addTextFrame(tag, "TCOM", "Composer");
        addTextFrame(tag, "TIT1", "Grouping");
        addTextFrame(tag, "TCMP", "1");
        auto* comment = new TagLib::ID3v2::CommentsFrame;
        comment->setText("Comment");
        tag.addFrame(comment);
        addPicture(tag, png, "image/png");
    }));
    QELTagMap map;
    ASSERT_TRUE(QELTagLibMP3Reader().readTagsFromFileAtPath(file, map));
    EXPECT_EQ(map.TrackName(), "Title");
    EXPECT_EQ(map.ArtistName(), "Artist");
    EXPECT_EQ(map.AlbumName(), "Album");
    EXPECT_EQ(map.Genre(), "Jazz");
    EXPECT_EQ(map.ReleaseYear(), 1999);
    EXPECT_EQ(map.TrackNumber(), 3);
    EXPECT_EQ(map.TrackTotal(), 12);
    EXPECT_EQ(map.DiscNumber(), 1);
    EXPECT_EQ(map.DiscTotal(), 2);
    EXPECT_EQ(map.AlbumArtist(), "Band");
    EXPECT_EQ(map.Composer(), "Composer");
    EXPECT_EQ(map.Grouping(), "Grouping");
    EXPECT_EQ(map.Comment(), "Comment");
    EXPECT_EQ(map.Compilation(), std::optional<bool>(true));
    EXPECT_EQ(map.ArtworkState(), QELTagMap::kArtworkEmbedded);
    EXPECT_TRUE(map.ArtworkAttempted());
    EXPECT_EQ(map.Artwork().size(), QSize(4, 3));
    EXPECT_EQ(map.ArtworkData(), png);
    EXPECT_EQ(map.ArtworkMimeType(), "image/png");
}

struct NumberCase {
    const char* name;
    const char* frameId;
    TagLib::String text;
    std::optional<double> trackNumber;
    std::optional<double> trackTotal;
    std::optional<double> discNumber;
    std::optional<double> discTotal;
    std::optional<bool> compilation;
};

TEST_F(TagReader, ReadsTrackDiscAndCompilationTexts)
{
    using std::nullopt;
    const TagLib::String notUtf8("7\xE9/12", TagLib::String::Latin1);
    const NumberCase cases[] = {
        {"TRCK 7", "TRCK", "7", 7, nullopt, nullopt, nullopt, nullopt},
        {"TRCK 7/12", "TRCK", "7/12", 7, 12, nullopt, nullopt, nullopt},
        {"TRCK not UTF-8 has no total", "TRCK", notUtf8, 7, nullopt, nullopt, nullopt, nullopt},
        {"TPOS 2", "TPOS", "2", nullopt, nullopt, 2, nullopt, nullopt},
        {"TPOS 1/2", "TPOS", "1/2", nullopt, nullopt, 1, 2, nullopt},
        {"TPOS /2", "TPOS", "/2", nullopt, nullopt, 0, 2, nullopt},
        {"TPOS not UTF-8 is absent", "TPOS", TagLib::String("1\xE9/2", TagLib::String::Latin1),
         nullopt, nullopt, nullopt, nullopt, nullopt},
        {"TCMP 1", "TCMP", "1", nullopt, nullopt, nullopt, nullopt, true},
        {"TCMP true", "TCMP", "true", nullopt, nullopt, nullopt, nullopt, true},
        {"TCMP 0", "TCMP", "0", nullopt, nullopt, nullopt, nullopt, false},
        {"TCMP no", "TCMP", "no", nullopt, nullopt, nullopt, nullopt, false},
        {"no TCMP", "TIT2", "x", nullopt, nullopt, nullopt, nullopt, nullopt},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("numbers.mp3");
        ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
            addTextFrame(tag, c.frameId, c.text, TagLib::String::Latin1);
        }));
        const QELTagMap map = load(file);
        EXPECT_EQ(map.TrackNumber(), c.trackNumber);
        EXPECT_EQ(map.TrackTotal(), c.trackTotal);
        EXPECT_EQ(map.DiscNumber(), c.discNumber);
        EXPECT_EQ(map.DiscTotal(), c.discTotal);
        EXPECT_EQ(map.Compilation(), c.compilation);
    }
}

TEST_F(TagReader, AnId3v1TagAloneGivesTheCommonFieldsAndNo)
{
    const QString file = path("old.mp3");
    ASSERT_TRUE(makeMp3(file, {}, [](TagLib::ID3v1::Tag& tag) {
        tag.setTitle("Old");
        tag.setArtist("Someone");
        tag.setYear(1987);
        tag.setTrack(4);
    }));
    QELTagMap map;
    EXPECT_FALSE(QELTagLibMP3Reader().readTagsFromFileAtPath(file, map));
    EXPECT_EQ(map.TrackName(), "Old");
    EXPECT_EQ(map.ArtistName(), "Someone");
    EXPECT_EQ(map.ReleaseYear(), 1987);
    EXPECT_EQ(map.TrackNumber(), 4);
    EXPECT_FALSE(map.ArtworkAttempted());
}

TEST_F(TagReader, ReadsNonAsciiTextInEveryEncodingAndTheOldConvention)
{
    const QString values[] = {QString::fromUtf8("café"), QString::fromUtf8("Ελληνικά"),
                              QString::fromUtf8("日本語"), QString::fromUtf8("🎵 emoji")};
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        struct Form {
            const char* name;
            TagLib::String text;
            TagLib::String::Type encoding;
        };
        const Form forms[] = {{"UTF-16", unicode(value), TagLib::String::UTF16},
                              {"UTF-8", unicode(value), TagLib::String::UTF8},
                              {"old convention", utf8BytesAsLatin1(value), TagLib::String::Latin1}};
        for (const Form& form : forms) {
            SCOPED_TRACE(form.name);
            const QString file = path("text.mp3");
            ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
                addTextFrame(tag, "TIT2", form.text, form.encoding);
                addTextFrame(tag, "TPE2", form.text, form.encoding);
                auto* comment = new TagLib::ID3v2::CommentsFrame(form.encoding);
                comment->setText(form.text);
                tag.addFrame(comment);
            }));
            const QELTagMap map = load(file);
            EXPECT_EQ(map.TrackName(), value);
            EXPECT_EQ(map.AlbumArtist(), value);
            EXPECT_EQ(map.Comment(), value);
        }
        for (const auto& [name, text] : {std::pair("Unicode", unicode(value)),
                                         std::pair("old convention", utf8BytesAsLatin1(value))}) {
            SCOPED_TRACE(name);
            const QString file = path("text.m4a");
            ASSERT_TRUE(makeM4a(file, [&](TagLib::MP4::Tag& tag) {
                tag.setTitle(text);
                tag.setItem("\251wrt", TagLib::MP4::Item(TagLib::StringList(text)));
            }));
            const QELTagMap map = load(file);
            EXPECT_EQ(map.TrackName(), value);
            EXPECT_EQ(map.Composer(), value);
        }
    }
    // café in plain Latin-1, as another program writes it.
    const QString file = path("latin1.mp3");
    ASSERT_TRUE(makeMp3(file, [](TagLib::ID3v2::Tag& tag) {
        auto* comment = new TagLib::ID3v2::CommentsFrame(TagLib::String::Latin1);
        comment->setText(TagLib::String("caf\xE9", TagLib::String::Latin1));
        tag.addFrame(comment);
    }));
    EXPECT_EQ(load(file).Comment(), QString::fromUtf8("café"));
}

TEST_F(TagReader, APictureThatIsNoImageGivesNoArtwork)
{
    const QString file = path("bad-picture.mp3");
    ASSERT_TRUE(makeMp3(file, [](TagLib::ID3v2::Tag& tag) {
        addTextFrame(tag, "TIT2", "t");
        addPicture(tag, QByteArray("not an image at all"), "image/jpeg");
    }));
    const QELTagMap map = load(file);
    EXPECT_TRUE(map.Artwork().isNull());
    EXPECT_TRUE(map.ArtworkMimeType().isNull());
    EXPECT_EQ(map.ArtworkState(), QELTagMap::kArtworkNone);
    EXPECT_TRUE(map.ArtworkAttempted());
}

TEST_F(TagReader, ReadsMp4Items)
{
    const QString file = path("song.m4a");
    ASSERT_TRUE(makeM4a(file, [](TagLib::MP4::Tag& tag) {
        tag.setTitle("Title");
        tag.setTrack(3);
        tag.setItem("trkn", TagLib::MP4::Item(3, 12));
        tag.setItem("disk", TagLib::MP4::Item(1, 2));
        tag.setItem("aART", TagLib::MP4::Item(TagLib::StringList("Band")));
        tag.setItem("\251wrt", TagLib::MP4::Item(TagLib::StringList("Composer")));
        tag.setItem("\251grp", TagLib::MP4::Item(TagLib::StringList("Grouping")));
        tag.setItem("cpil", TagLib::MP4::Item(true));
    }));
    QELTagMap map;
    ASSERT_TRUE(QELTagLibMP4Reader().readTagsFromFileAtPath(file, map));
    EXPECT_EQ(map.TrackName(), "Title");
    EXPECT_EQ(map.TrackNumber(), 3);
    EXPECT_EQ(map.TrackTotal(), 12);
    EXPECT_EQ(map.DiscNumber(), 1);
    EXPECT_EQ(map.DiscTotal(), 2);
    EXPECT_EQ(map.AlbumArtist(), "Band");
    EXPECT_EQ(map.Composer(), "Composer");
    EXPECT_EQ(map.Grouping(), "Grouping");
    EXPECT_EQ(map.Compilation(), std::optional<bool>(true));
    EXPECT_TRUE(map.ArtworkAttempted());
    EXPECT_EQ(map.ArtworkState(), QELTagMap::kArtworkNone);
}

TEST_F(TagReader, Mp4EdgeCases)
{
    {
        SCOPED_TRACE("no items: NO, and no compilation flag");
        const QString file = path("empty.m4a");
        ASSERT_TRUE(makeM4a(file));
        QELTagMap map;
        EXPECT_FALSE(QELTagLibMP4Reader().readTagsFromFileAtPath(file, map));
        EXPECT_FALSE(map.Compilation().has_value());
    }
    {
        SCOPED_TRACE("any item: the compilation flag is 0 or 1");
        const QString file = path("one.m4a");
        ASSERT_TRUE(makeM4a(file, [](TagLib::MP4::Tag& tag) { tag.setTitle("t"); }));
        EXPECT_EQ(load(file).Compilation(), std::optional<bool>(false));
    }
    {
        SCOPED_TRACE("trkn (0, 12): no track number, no total");
        const QString file = path("zero.m4a");
        ASSERT_TRUE(makeM4a(
            file, [](TagLib::MP4::Tag& tag) { tag.setItem("trkn", TagLib::MP4::Item(0, 12)); }));
        const QELTagMap map = load(file);
        EXPECT_FALSE(map.TrackNumber().has_value());
        EXPECT_FALSE(map.TrackTotal().has_value());
    }
}

TEST_F(TagReader, TellsTheCoverTypeOfEveryMp4Format)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        TagLib::MP4::CoverArt::Format format;
        const char* mimeType;
    };
    const Case cases[] = {
        {"JPEG", imageBytes("JPEG"), TagLib::MP4::CoverArt::JPEG, "image/jpeg"},
        {"PNG", imageBytes("PNG"), TagLib::MP4::CoverArt::PNG, "image/png"},
        {"GIF", AudioFixture::tinyGif(), TagLib::MP4::CoverArt::GIF, "image/gif"},
        {"BMP", imageBytes("BMP"), TagLib::MP4::CoverArt::BMP, "image/bmp"},
        {"no format: by content", imageBytes("PNG"), TagLib::MP4::CoverArt::Unknown, "image/png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("cover.m4a");
        ASSERT_TRUE(makeM4a(file, [&](TagLib::MP4::Tag& tag) {
            tag.setItem("covr", coverItem(c.bytes, c.format));
        }));
        const QELTagMap map = load(file);
        EXPECT_EQ(map.ArtworkState(), QELTagMap::kArtworkEmbedded);
        EXPECT_FALSE(map.Artwork().isNull());
        EXPECT_EQ(map.ArtworkData(), c.bytes);
        EXPECT_EQ(map.ArtworkMimeType(), QString::fromLatin1(c.mimeType));
    }
}

TEST_F(TagReader, ChoosesTheReaderByExtension)
{
    struct Case {
        const char* name;
        bool mp3;
        bool mp4;
    };
    const Case cases[] = {{"song.MP3", true, false}, {"song.mp3", true, false},
                          {"song.M4P", false, true}, {"song.m4a", false, true},
                          {"song.mp4", false, true}, {"song.flac", false, false},
                          {"song", false, false},    {"song.wav", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reader = QELTagLib::readerForPath(path(c.name));
        EXPECT_EQ(dynamic_cast<QELTagLibMP3Reader*>(reader.get()) != nullptr, c.mp3);
        EXPECT_EQ(dynamic_cast<QELTagLibMP4Reader*>(reader.get()) != nullptr, c.mp4);
    }
    // The MP3 pair reads what only ID3v2 holds, whatever the case of the extension.
    const QString upper = path("song.MP3");
    ASSERT_TRUE(makeMp3(upper, [](TagLib::ID3v2::Tag& tag) { addTextFrame(tag, "TPE2", "Band"); }));
    EXPECT_EQ(load(upper).AlbumArtist(), "Band");
}

TEST_F(TagReader, ReadsTheCommonFieldsOfAWavFile)
{
    const QString file = path("tune.wav");
    ASSERT_TRUE(AudioFixture::writeFile(file, AudioFixture::silentWav()));
    {
        TagLib::RIFF::WAV::File wav(QFile::encodeName(file).constData());
        ASSERT_TRUE(wav.isValid());
        wav.ID3v2Tag()->setTitle(unicode(QString::fromUtf8("Ελληνικά")));
        wav.ID3v2Tag()->setYear(2001);
        wav.ID3v2Tag()->setTrack(9);
        ASSERT_TRUE(wav.save());
    }
    QELTagMap map;
    EXPECT_TRUE(QELTagLibReader().readTagsFromFileAtPath(file, map));
    EXPECT_EQ(map.TrackName(), QString::fromUtf8("Ελληνικά"));
    EXPECT_EQ(map.ReleaseYear(), 2001);
    EXPECT_EQ(map.TrackNumber(), 9);
    EXPECT_TRUE(map.ArtworkAttempted());
    EXPECT_EQ(map.ArtworkState(), QELTagMap::kArtworkNone);
}

TEST_F(TagReader, DamagedFilesGiveNoWithoutACrash)
{
    const QString tagged = path("whole.mp3");
    ASSERT_TRUE(makeMp3(tagged, [](TagLib::ID3v2::Tag& tag) {
        addTextFrame(tag, "TIT2", "Title");
        addPicture(tag, imageBytes("PNG"), "image/png");
    }));
    const QByteArray mp3 = fileBytes(tagged);
    const QByteArray m4a = AudioFixture::minimalM4a();
    QByteArray moovPastEnd = m4a;
    moovPastEnd[28 + 3] = char(0xF0); // moov's size, after the 28 bytes of ftyp
    QByteArray mdatPastEnd = m4a;
    mdatPastEnd[mdatPastEnd.size() - 24 + 2] = char(0x7F);
    QByteArray hugeTag = mp3.left(10);
    hugeTag[6] = 0x7F; // a tag size of 256 MiB in a file of ten bytes
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty.mp3", {}},
        {"empty.m4a", {}},
        {"empty.wav", {}},
        {"empty.flac", {}},
        {"cut-in-tag.mp3", mp3.left(40)},
        {"tag-past-end.mp3", hugeTag},
        {"moov-past-end.m4a", moovPastEnd},
        {"mdat-past-end.m4a", mdatPastEnd},
        {"cut-in-moov.m4a", m4a.left(60)},
        {"garbage.mp3", QByteArray(3000, char(0xFF))},
        {"garbage.m4a",
         QByteArray("\0\0\0\x01"
                    "ftyp",
                    8)
             + QByteArray(64, '\xFF')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(AudioFixture::writeFile(file, c.bytes));
        QELTagMap map;
        EXPECT_FALSE(QELTagLib::readerForPath(file)->readTagsFromFileAtPath(file, map));
        EXPECT_TRUE(map.TrackName().isNull());
        EXPECT_FALSE(QELTagLib::canOpenFileAtPath(file));
    }
    // Cut in the audio, the tag is whole and reads.
    const QString cutInAudio = path("cut-in-audio.mp3");
    ASSERT_TRUE(AudioFixture::writeFile(cutInAudio, mp3.left(mp3.size() - 700)));
    EXPECT_EQ(load(cutInAudio).TrackName(), "Title");
    EXPECT_TRUE(load(path("missing.mp3")).TrackName().isNull());
}

} // namespace

// A huge file named as an MP3 with no frame near its start is refused by the
// kind check before TagLib, which would search it to its end for a tag.
TEST_F(TagReader, AHugeSparseMp3IsRefusedWithoutBeingSearched)
{
    constexpr qint64 kTwoGiB = qint64(2) << 30;
    const struct {
        const char* name;
        QByteArray head;
    } cases[] = {
        {"zeros.mp3", QByteArray()},
        {"tag-then-zeros.mp3",
         QByteArray("ID3\x04\x00\x00\x00\x00\x00\x10", 10) + QByteArray(16, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.head);
        ASSERT_TRUE(out.resize(kTwoGiB)); // sparse: no 2 GiB written
        out.close();
        EXPECT_EQ(TagLibSupport::audioKindOf(file), TagLibSupport::AudioKind::Unknown);
        EXPECT_FALSE(QELTagLib::canOpenFileAtPath(file));
        EXPECT_TRUE(QELTagLib().loadTagsFromFileAtPath(file).TrackName().isNull());
        QELTagMap map;
        EXPECT_FALSE(QELTagLib::readerForPath(file)->readTagsFromFileAtPath(file, map));
        EXPECT_FALSE(QELTagLib().saveTagsToFileAtPath(file, map));
        QFile::remove(file);
    }
}

TEST_F(TagReader, AKindIsKnownByItsBytesAsWellAsItsName)
{
    using TagLibSupport::AudioKind;
    const struct {
        const char* name;
        QByteArray bytes;
        AudioKind kind;
    } cases[] = {
        {"a.mp3", AudioFixture::silentMp3(), AudioKind::MP3},
        {"a.m4a", AudioFixture::minimalM4a(), AudioKind::MP4},
        {"a.wav", AudioFixture::silentWav(), AudioKind::WAV},
        {"a.aiff", AudioFixture::silentAiff(), AudioKind::AIFF},
        {"a.flac", AudioFixture::silentFlac(), AudioKind::FLAC},
        {"a.ogg", AudioFixture::minimalOggVorbis(), AudioKind::Ogg},
        {"wav-named.mp3", AudioFixture::silentWav(), AudioKind::Unknown},
        {"mp3-named.wav", AudioFixture::silentMp3(), AudioKind::Unknown},
        {"m4a-named.flac", AudioFixture::minimalM4a(), AudioKind::Unknown},
        {"a.wma", AudioFixture::silentMp3(), AudioKind::Unknown},
        {"empty.wav", QByteArray(), AudioKind::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(AudioFixture::writeFile(file, c.bytes));
        EXPECT_EQ(TagLibSupport::audioKindOf(file), c.kind);
        EXPECT_EQ(QELTagLib::canWriteTagsOfFileAtPath(file), c.kind != AudioKind::Unknown);
        if (c.kind == AudioKind::Unknown) {
            QELTagMap map;
            map.setTrackName(QStringLiteral("x"));
            EXPECT_FALSE(QELTagLib().saveTagsToFileAtPath(file, map));
            EXPECT_EQ(fileBytes(file), c.bytes);
        }
    }
}
