// SPDX-License-Identifier: GPL-3.0-or-later
// The album artist and podcast frames written before a file goes into the library.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "QELTag.h"
#include "TagTestSupport.h"
#include "TrackDetail.h"

using namespace TagTest;

namespace {

QString frameText(const QString& file, const char* id)
{
    TagLib::MPEG::File mpeg(QFile::encodeName(file).constData(), false);
    const auto& frames = mpeg.ID3v2Tag(true)->frameList(TagLib::ByteVector(id, 4));
    return frames.isEmpty() ? QString() : fromTagLibUtf8(frames.front()->toString());
}

bool hasFrame(const QString& file, const char* id)
{
    TagLib::MPEG::File mpeg(QFile::encodeName(file).constData(), false);
    return !mpeg.ID3v2Tag(true)->frameList(TagLib::ByteVector(id, 4)).isEmpty();
}

void addComment(TagLib::ID3v2::Tag& tag, const QString& text)
{
    auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    frame->setText(unicode(text));
    tag.addFrame(frame);
}

void addLyrics(TagLib::ID3v2::Tag& tag, const QString& text)
{
    auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setText(unicode(text));
    tag.addFrame(frame);
}

struct PodcastCase {
    const char* name;
    std::function<void(TagLib::ID3v2::Tag&)> frames;
    QString showURL;
    QString album;
    const char* wfed; // null: none
    const char* tdes;
    const char* tit3; // null: none
};

TEST(TagPodcast, WritesTheFramesATagLacks)
{
    const PodcastCase cases[] = {
        {"a comment describes it",
         [](TagLib::ID3v2::Tag& tag) { addComment(tag, QString::fromUtf8("À propos")); },
         "https://example.com/feed", "Show", "https://example.com/feed", "À propos", "À propos"},
        {"lyrics when there is no comment",
         [](TagLib::ID3v2::Tag& tag) { addLyrics(tag, QString::fromUtf8("日本語")); }, QString(),
         "Show", "Show", "日本語", "日本語"},
        {"neither: one space", [](TagLib::ID3v2::Tag&) {}, QString(), "Show", "Show", " ", nullptr},
        {"no address and no album: no WFED", [](TagLib::ID3v2::Tag&) {}, QString(), QString(),
         nullptr, " ", nullptr},
        {"frames already there stay",
         [](TagLib::ID3v2::Tag& tag) {
             addTextFrame(tag, "PCST", "1");
             addTextFrame(tag, "WFED", "http://old/feed");
             addTextFrame(tag, "TDES", "Old");
             addComment(tag, QStringLiteral("New"));
         },
         "https://new/feed", "Show", "http://old/feed", "Old", nullptr},
    };
    for (const PodcastCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = dir.filePath("episode.mp3");
        ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
            addTextFrame(tag, "TIT2", "Episode");
            c.frames(tag);
        }));
        TrackDetail track;
        track.podcastShowURL = c.showURL;
        track.album = c.album;
        ASSERT_TRUE(QELTag::handleFileForPodcastToITunesWithDetails(file, track));
        EXPECT_TRUE(hasFrame(file, "PCST"));
        if (c.wfed)
            EXPECT_EQ(frameText(file, "WFED"), QString::fromUtf8(c.wfed));
        else
            EXPECT_FALSE(hasFrame(file, "WFED"));
        EXPECT_EQ(frameText(file, "TDES"), QString::fromUtf8(c.tdes));
        if (c.tit3)
            EXPECT_EQ(frameText(file, "TIT3"), QString::fromUtf8(c.tit3));
        else
            EXPECT_FALSE(hasFrame(file, "TIT3"));
        EXPECT_EQ(frameText(file, "TIT2"), "Episode");
    }
}

TEST(TagPodcast, WritesTheAlbumArtistOnlyWhereThereIsNone)
{
    struct Case {
        const char* name;
        const char* held;
        QString albumArtist;
        QString artist;
        const char* written;
    };
    const Case cases[] = {
        {"a name already there stays", "Held", "Band", "Artist", "Held"},
        {"the artist when the album artist is empty", nullptr, QString(), "Artist", "Artist"},
        {"the album artist first", nullptr, QString::fromUtf8("Ελληνικά"), "Artist", "Ελληνικά"},
        {"no name: no frame", nullptr, QString(), QString(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = dir.filePath("song.mp3");
        ASSERT_TRUE(makeMp3(file, [&](TagLib::ID3v2::Tag& tag) {
            addTextFrame(tag, "TIT2", "t");
            if (c.held)
                addTextFrame(tag, "TPE2", c.held);
        }));
        const QByteArray before = fileBytes(file);
        TrackDetail track;
        track.album_artist = c.albumArtist;
        track.artist = c.artist;
        EXPECT_TRUE(QELTag::writeAlbumArtistToFile(track, file));
        if (c.written)
            EXPECT_EQ(frameText(file, "TPE2"), QString::fromUtf8(c.written));
        else
            EXPECT_FALSE(hasFrame(file, "TPE2"));
        if (c.held || !c.written) {
            EXPECT_EQ(fileBytes(file), before);
        }
    }
}

TEST(TagPodcast, LeavesFilesWithoutAnId3v2TagAlone)
{
    QTemporaryDir dir;
    const QString m4a = dir.filePath("song.m4a");
    ASSERT_TRUE(makeM4a(m4a, [](TagLib::MP4::Tag& tag) { tag.setTitle("t"); }));
    const QString untagged = dir.filePath("plain.mp3");
    ASSERT_TRUE(makeMp3(untagged));
    TrackDetail track;
    track.artist = QStringLiteral("Artist");
    track.album = QStringLiteral("Show");
    for (const QString& file : {m4a, untagged}) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray before = fileBytes(file);
        EXPECT_FALSE(QELTag::handleFileForPodcastToITunesWithDetails(file, track));
        EXPECT_EQ(fileBytes(file), before);
    }
    // The album artist goes into an MP4 file's own item list; an MP3 file
    // without an ID3v2 tag is left alone.
    EXPECT_TRUE(QELTag::writeAlbumArtistToFile(track, m4a));
    EXPECT_EQ(QELTagLib().loadTagsFromFileAtPath(m4a).AlbumArtist(), QStringLiteral("Artist"));
    const QByteArray plain = fileBytes(untagged);
    EXPECT_FALSE(QELTag::writeAlbumArtistToFile(track, untagged));
    EXPECT_EQ(fileBytes(untagged), plain);
    EXPECT_FALSE(QELTag::writeAlbumArtistToFile(track, dir.filePath("missing.mp3")));
    EXPECT_FALSE(QELTag::handleFileForPodcastToITunesWithDetails(QString(), track));
}

} // namespace
