// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect tags FILE...` run as a program over built audio files.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "TagTestSupport.h"
#include "ToolRun.h"

using namespace TagTest;

namespace {

ToolRun inspectTags(const QStringList& files)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH),
                   QStringList{QStringLiteral("tags")} + files);
}

const QStringList kKeys = {"file",       "title",     "artist",  "albumArtist", "album",
                           "genre",      "composer",  "year",    "trackNumber", "trackCount",
                           "discNumber", "discCount", "comment", "hasArtwork",  "artworkMime"};

TEST(TagsInspect, PrintsTheTagsOfEveryFile)
{
    QTemporaryDir dir;
    const QString mp3 = dir.filePath("song.mp3");
    ASSERT_TRUE(makeMp3(mp3, [](TagLib::ID3v2::Tag& tag) {
        addTextFrame(tag, "TIT2", unicode(QString::fromUtf8("Café 日本語")));
        addTextFrame(tag, "TPE1", "Artist");
        addTextFrame(tag, "TPE2", "Band");
        addTextFrame(tag, "TALB", "Album");
        addTextFrame(tag, "TCON", "Jazz");
        addTextFrame(tag, "TCOM", "Composer");
        addTextFrame(tag, "TYER", "1999");
        addTextFrame(tag, "TRCK", "3/12");
        addTextFrame(tag, "TPOS", "1/2");
        auto* comment = new TagLib::ID3v2::CommentsFrame;
        comment->setText("Note");
        tag.addFrame(comment);
        addPicture(tag, imageBytes("PNG"), "image/png");
    }));
    const QString m4a = dir.filePath("song.m4a");
    ASSERT_TRUE(makeM4a(m4a, [](TagLib::MP4::Tag& tag) {
        tag.setTitle(unicode(QString::fromUtf8("Ελληνικά")));
        tag.setTrack(4);
        tag.setItem("trkn", TagLib::MP4::Item(4, 9));
        tag.setItem("covr", coverItem(imageBytes("JPEG"), TagLib::MP4::CoverArt::JPEG));
    }));
    const QString wav = dir.filePath("tune.wav");
    ASSERT_TRUE(AudioFixture::writeFile(wav, AudioFixture::silentWav()));
    {
        TagLib::RIFF::WAV::File file(QFile::encodeName(wav).constData());
        file.ID3v2Tag()->setArtist("Demo");
        ASSERT_TRUE(file.save());
    }
    const QString empty = dir.filePath("empty.mp3");
    ASSERT_TRUE(AudioFixture::writeFile(empty, {}));
    const QString missing = dir.filePath("missing.m4a");

    const ToolRun run = inspectTags({mp3, m4a, wav, empty, missing});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(run.jsonArray().size(), 5);
    QStringList sortedKeys = kKeys;
    sortedKeys.sort();
    for (const QJsonValue& entry : run.jsonArray())
        EXPECT_EQ(entry.toObject().keys(), sortedKeys);

    const QJsonObject song = run.jsonArray().at(0).toObject();
    EXPECT_EQ(song.value("file").toString(), mp3);
    EXPECT_EQ(song.value("title").toString(), QString::fromUtf8("Café 日本語"));
    EXPECT_EQ(song.value("artist").toString(), "Artist");
    EXPECT_EQ(song.value("albumArtist").toString(), "Band");
    EXPECT_EQ(song.value("album").toString(), "Album");
    EXPECT_EQ(song.value("genre").toString(), "Jazz");
    EXPECT_EQ(song.value("composer").toString(), "Composer");
    EXPECT_EQ(song.value("year"), QJsonValue(1999));
    EXPECT_EQ(song.value("trackNumber"), QJsonValue(3));
    EXPECT_EQ(song.value("trackCount"), QJsonValue(12));
    EXPECT_EQ(song.value("discNumber"), QJsonValue(1));
    EXPECT_EQ(song.value("discCount"), QJsonValue(2));
    EXPECT_EQ(song.value("comment").toString(), "Note");
    EXPECT_EQ(song.value("hasArtwork"), QJsonValue(true));
    EXPECT_EQ(song.value("artworkMime").toString(), "image/png");

    const QJsonObject track = run.jsonArray().at(1).toObject();
    EXPECT_EQ(track.value("title").toString(), QString::fromUtf8("Ελληνικά"));
    EXPECT_EQ(track.value("trackNumber"), QJsonValue(4));
    EXPECT_EQ(track.value("trackCount"), QJsonValue(9));
    EXPECT_TRUE(track.value("discNumber").isNull());
    EXPECT_EQ(track.value("artworkMime").toString(), "image/jpeg");

    const QJsonObject tune = run.jsonArray().at(2).toObject();
    EXPECT_EQ(tune.value("artist").toString(), "Demo");
    EXPECT_EQ(tune.value("hasArtwork"), QJsonValue(false));
    EXPECT_TRUE(tune.value("artworkMime").isNull());

    for (const int unreadable : {3, 4}) {
        SCOPED_TRACE(unreadable);
        const QJsonObject entry = run.jsonArray().at(unreadable).toObject();
        EXPECT_EQ(entry.value("file").toString(), unreadable == 3 ? empty : missing);
        for (const QString& key : kKeys.mid(1, 12))
            EXPECT_TRUE(entry.value(key).isNull()) << key.toStdString();
        EXPECT_EQ(entry.value("hasArtwork"), QJsonValue(false));
    }
}

TEST(TagsInspect, FailsWhenNoFileCouldBeRead)
{
    QTemporaryDir dir;
    const QString truncated = dir.filePath("cut.m4a");
    ASSERT_TRUE(AudioFixture::writeFile(truncated, AudioFixture::minimalM4a().left(50)));
    const ToolRun run = inspectTags({truncated, dir.filePath("missing.mp3")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.jsonArray().isEmpty());
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("orvane-inspect: "));

    EXPECT_EQ(inspectTags({}).exitCode, 2);
    EXPECT_EQ(inspectTags({"--backup", "0123", truncated}).exitCode, 2);
}

} // namespace
