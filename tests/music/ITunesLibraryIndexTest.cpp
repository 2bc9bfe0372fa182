// SPDX-License-Identifier: GPL-3.0-or-later
// The index of the computer's music library: what it answers for a track,
// which library files it refuses, and that questions never wait for a read.
#include <atomic>
#include <future>

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "AudioFixture.h"
#include "FolderMediaLibraryHost.h"
#include "Plist.h"
#include "QELITunesLibrary.h"
#include "WaitUntil.h"

namespace {

class CountingDelegate : public QELITunesLibraryDelegate {
public:
    void OnITunesLibraryLoadCompleteWithArguments(
        const QELITunesLibraryReadCompleteArguments& arguments) override
    {
        lastSuccess = arguments.success();
        ++events;
    }
    std::atomic<int> events{0};
    std::atomic<bool> lastSuccess{false};
};

// A library with the keys the index reads; the first two entries share
// their texts but for letter case, the first one Remote.
QByteArray libraryXml()
{
    // Written by hand so the order of the entries in the file is known
    // (a QVariantMap would sort them by key).
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict><key>Major Version</key><integer>1</integer>"
        "<key>Tracks</key><dict>"
        "<key>20</key><dict><key>Track ID</key><integer>20</integer>"
        "<key>Name</key><string>Streamed</string><key>Artist</key><string>Band</string>"
        "<key>Album</key><string>Cloud</string><key>Track Type</key><string>Remote</string></dict>"
        "<key>3</key><dict><key>Track ID</key><integer>3</integer>"
        "<key>Name</key><string>STREAMED</string><key>Artist</key><string>band</string>"
        "<key>Album</key><string>cloud</string><key>Track Type</key><string>File</string></dict>"
        "<key>4</key><dict><key>Track ID</key><integer>4</integer>"
        "<key>Name</key><string>Caf\xc3\xa9 &amp; &lt;Bar&gt;</string>"
        "<key>Artist</key><string>\xc3\x89mile</string><key>Album</key><string>\xc3\x9c"
        "ber</string><key>Genre</key><string>Pop</string>"
        "<key>Track Type</key><string>File</string></dict>"
        "<key>5</key><dict><key>Track ID</key><integer>5</integer>"
        "<key>Name</key><string>No Album</string><key>Artist</key><string>Solo</string></dict>"
        "<key>6</key><string>not a track</string>"
        "</dict></dict></plist>\n");
}

class ITunesLibraryIndexTest : public ::testing::Test {
protected:
    QString libraryFile() const
    {
        return m_music.path() + QStringLiteral("/iTunes/iTunes Library.xml");
    }
    void write(const QByteArray& bytes)
    {
        QDir().mkpath(m_music.path() + QStringLiteral("/iTunes"));
        ASSERT_TRUE(AudioFixture::writeFile(libraryFile(), bytes));
    }
    bool read(QELITunesLibrary& library)
    {
        const int before = m_delegate.events;
        library.startReadingITunesLibrary();
        return waitUntil([&] { return m_delegate.events.load() == before + 1; });
    }

    QTemporaryDir m_music;
    std::shared_ptr<FolderMediaLibraryHost> m_host =
        std::make_shared<FolderMediaLibraryHost>(m_music.path());
    CountingDelegate m_delegate;
};

} // namespace

TEST_F(ITunesLibraryIndexTest, AnswersPresentRemoteOrAbsentIgnoringLetterCase)
{
    write(libraryXml());
    QELITunesLibrary library(m_host);
    library.setDelegate(&m_delegate);
    // Before any read, nothing is present.
    EXPECT_EQ(library.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
                  QStringLiteral("Streamed"), QStringLiteral("Band"), QStringLiteral("Cloud")),
              0);
    ASSERT_TRUE(read(library));
    EXPECT_TRUE(m_delegate.lastSuccess);
    EXPECT_TRUE(library.isLibraryReadSuccessful());
    EXPECT_EQ(library.trackCount(), 4);

    const QString none;
    const struct {
        const char* name;
        QString title, artist, album, genre;
        int expected;
    } cases[] = {
        // The first entry of the file decides between the two spellings.
        {"remote first", "streamed", "BAND", "Cloud", none, 2},
        {"case differs only", QString::fromUtf8("CAFÉ & <BAR>"), QString::fromUtf8("émile"),
         QString::fromUtf8("über"), none, 1},
        {"accents are not ignored", QStringLiteral("Cafe & <Bar>"), QString::fromUtf8("Émile"),
         QString::fromUtf8("Über"), none, 0},
        {"genre is not compared", QString::fromUtf8("Café & <Bar>"), QString::fromUtf8("Émile"),
         QString::fromUtf8("Über"), QStringLiteral("Rock"), 1},
        {"another album", "Streamed", "Band", "Other", none, 0},
        {"an absent album is not asked", "No Album", "Solo", none, none, 1},
        {"an entry without the album does not match a given one", "No Album", "Solo", "", none, 0},
        {"an empty album is a given one", "Streamed", "Band", "", none, 0},
        {"nothing given: the first entry", none, none, none, none, 2},
        {"title only", QString::fromUtf8("café & <bar>"), none, none, none, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(library.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(c.title, c.artist,
                                                                           c.album, c.genre),
                  c.expected);
    }
}

TEST_F(ITunesLibraryIndexTest, FilesWithoutTracksFailTheReadAndAnswerNothing)
{
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"no Tracks", Plist::serialize(QVariantMap{{QStringLiteral("Playlists"), QVariantList()}})},
        {"Tracks is no dictionary",
         Plist::serialize(QVariantMap{{QStringLiteral("Tracks"), QStringLiteral("x")}})},
        {"not a property list", QByteArrayLiteral("<html><body>no</body></html>")},
        {"a property list that is no dictionary", Plist::serialize(QVariantList{1, 2})},
        {"truncated", libraryXml().left(300)},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write(libraryXml());
        QELITunesLibrary library(m_host);
        library.setDelegate(&m_delegate);
        ASSERT_TRUE(read(library));
        ASSERT_TRUE(library.isLibraryReadSuccessful());
        write(c.bytes);
        ASSERT_TRUE(read(library));
        EXPECT_FALSE(m_delegate.lastSuccess);
        EXPECT_FALSE(library.isLibraryReadSuccessful());
        EXPECT_EQ(library.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(QString(), QString(),
                                                                           QString()),
                  0);
    }

    // No library file at all: one failure event.
    QDir(m_music.path()).removeRecursively();
    QELITunesLibrary library(m_host);
    library.setDelegate(&m_delegate);
    ASSERT_TRUE(read(library));
    EXPECT_FALSE(m_delegate.lastSuccess);
}

namespace {

// A host whose library lookup, made by the reading thread, waits until the
// test lets it go on: a read that is under way for as long as the test wants.
class HeldHost : public FolderMediaLibraryHost {
public:
    using FolderMediaLibraryHost::FolderMediaLibraryHost;
    QString libraryLocation() const override
    {
        if (hold) {
            entered.store(true);
            released.wait_for(kTestWaitLimit);
        }
        return FolderMediaLibraryHost::libraryLocation();
    }
    std::atomic<bool> hold{false};
    mutable std::atomic<bool> entered{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

} // namespace

TEST_F(ITunesLibraryIndexTest, QuestionsDuringAReadAreAnsweredFromTheLastIndexAtOnce)
{
    write(libraryXml());
    auto host = std::make_shared<HeldHost>(m_music.path());
    QELITunesLibrary library(host);
    library.setDelegate(&m_delegate);
    ASSERT_TRUE(read(library));

    host->hold = true;
    library.startReadingITunesLibrary();
    ASSERT_TRUE(waitUntil([&] { return host->entered.load(); }));
    auto answer = std::async(std::launch::async, [&] {
        return library.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
            QStringLiteral("No Album"), QStringLiteral("Solo"), QString());
    });
    const bool answered = answer.wait_for(kTestWaitLimit) == std::future_status::ready;
    host->release.set_value();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answer.get(), 1);
    EXPECT_TRUE(waitUntil([&] { return m_delegate.events.load() == 2; }));
}

TEST_F(ITunesLibraryIndexTest, ALibraryWrittenByTheFolderHostIsRead)
{
    // The host's own writer and this reader agree on the layout.
    const QString media = m_music.path() + QStringLiteral("/iTunes/iTunes Media/Music/a.mp3");
    QDir().mkpath(QFileInfo(media).path());
    ASSERT_TRUE(AudioFixture::writeFile(media, AudioFixture::silentMp3()));
    ASSERT_TRUE(m_host->add(media));
    QELITunesLibrary library(m_host);
    library.setDelegate(&m_delegate);
    ASSERT_TRUE(read(library));
    EXPECT_TRUE(m_delegate.lastSuccess);
    EXPECT_EQ(library.trackCount(), 1);
    EXPECT_EQ(library.IsTrackPresentWithTitleArtistAlbumGenreTotalTime(QStringLiteral("A"),
                                                                       QString(), QString()),
              1);
}
