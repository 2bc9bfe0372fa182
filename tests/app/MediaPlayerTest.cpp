#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "LocalizedStrings.h"
#include "Locations.h"
#include "PlayerFixtures.h"
#include "QELMediaPlayer.h"
#include "QELQtMediaPlayerBackend.h"

namespace {

constexpr int kWait = 5000;

QELMediaPlayerItem item(const QString& path, const QString& name)
{
    return QELMediaPlayerItem{path, name, QStringLiteral("Artist of ") + name, QStringLiteral("-42") + name};
}

// A device folder with three short tracks, a player on it with a fake movie
// backend, and the events it sends.
class Player : public ::testing::Test {
protected:
    void makePlayer(int os)
    {
        ASSERT_TRUE(device.isValid());
        // Start from a temporary folder without cache files of earlier tests.
        QDir temporary(Locations::temporaryFolder());
        for (const QString& name : temporary.entryList({QStringLiteral("mediacache_*")}))
            temporary.remove(name);
        QDir(device.path()).mkpath(QStringLiteral("Music/F00"));
        for (const char* name : {"a", "b", "c"})
            ASSERT_TRUE(writeWav(QDir(device.path()).filePath(QStringLiteral("Music/F00/%1.wav").arg(QLatin1String(name))), 50));
        source = std::make_shared<LocalFolderSource>(device.path(), os);
        auto fake = std::make_unique<FakeMovieBackend>();
        backend = fake.get();
        player = std::make_unique<QELMediaPlayer>(source, std::move(fake));
        player->setDelegate(&events);
        player->setTimeFormatter([](qint64 ms) { return QStringLiteral("t%1").arg(ms); });
    }
    QList<QELMediaPlayerItem> threeTracks() const
    {
        return {item(QStringLiteral("Music/F00/a.wav"), QStringLiteral("A")),
            item(QStringLiteral("Music/F00/b.wav"), QStringLiteral("B")),
            item(QStringLiteral("Music/F00/c.wav"), QStringLiteral("C"))};
    }
    bool waitForStarts(int n) { return QTest::qWaitFor([&] { return events.started.size() >= n; }, kWait); }
    bool waitUntilIdle() { return QTest::qWaitFor([&] { return !player->isCaching(); }, kWait); }
    static int preparingLines(const PlayerEvents& e)
    {
        return static_cast<int>(e.statusLines.count(L("PREPARINGTOPLAY") + QLatin1Char('|') + L("PLEASEWAIT")));
    }

    QTemporaryDir device;
    std::shared_ptr<LocalFolderSource> source;
    FakeMovieBackend* backend = nullptr;
    std::unique_ptr<QELMediaPlayer> player;
    PlayerEvents events;
};

} // namespace

TEST_F(Player, IOSQueueCopiesEachItemAheadAndDeletesItAfterwards)
{
    makePlayer(1);
    player->setPlayQueue(threeTracks().mid(0, 2));
    player->play();
    EXPECT_TRUE(player->IsPlaying()) << "playing at once, while the first item is copied";
    EXPECT_EQ(preparingLines(events), 1);
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(events.started, QStringList{QStringLiteral("A")});

    // The file plays from the program's temporary folder, under a cache name
    // that keeps the device file's extension.
    const QString first = player->currentPlaybackPath();
    EXPECT_EQ(QFileInfo(first).absolutePath(), QFileInfo(Locations::temporaryFolder()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^mediacache_\\d+\\.\\d{6}\\.wav$")).match(QFileInfo(first).fileName()).hasMatch())
        << first.toStdString();
    EXPECT_EQ(backend->loadedPath(), first);

    // The second is copied while the first plays.
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(source->copied(), (QStringList{QStringLiteral("Music/F00/a.wav"), QStringLiteral("Music/F00/b.wav")}));
    EXPECT_EQ(player->cachedTrackDetail()->trackName, QStringLiteral("B"));
    const QString second = player->cachedPath();
    EXPECT_TRUE(QFile::exists(second));

    // At the end of the first its cache file goes and the second starts at once.
    backend->finish();
    EXPECT_FALSE(QFile::exists(first));
    ASSERT_TRUE(waitForStarts(2));
    EXPECT_EQ(events.started.last(), QStringLiteral("B"));
    EXPECT_EQ(preparingLines(events), 1);
    EXPECT_EQ(events.caching, (std::vector<bool>{true, false, true, false}));

    backend->finish();
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_EQ(events.completed, 1);
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->currentTrackDetail().has_value());
}

TEST_F(Player, NextDuringACopyCancelsItAndCopiesAgain)
{
    makePlayer(1);
    source->hold(QStringLiteral("Music/F00/b.wav"));
    player->setPlayQueue(threeTracks());
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    ASSERT_TRUE(source->waitUntilHeld(kWait));

    player->next();
    EXPECT_EQ(preparingLines(events), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return source->cancelledCopies() == 1; }, kWait));
    EXPECT_TRUE(QTest::qWaitFor([&] { return source->copied().count(QStringLiteral("Music/F00/b.wav")) == 2; }, kWait));
    EXPECT_EQ(events.started.size(), 1) << "nothing plays before the new copy is done";
    source->release();
    ASSERT_TRUE(waitForStarts(2));
    EXPECT_EQ(events.started.last(), QStringLiteral("B"));
}

TEST_F(Player, ACopyForAReplacedQueueStartsNothing)
{
    makePlayer(1);
    source->hold(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue(threeTracks().mid(0, 1));
    player->play();
    ASSERT_TRUE(source->waitUntilHeld(kWait));

    player->clearPlayQueueWithStop(true);
    EXPECT_EQ(events.completed, 1);
    source->release();
    ASSERT_TRUE(waitUntilIdle());
    QTest::qWait(50);
    EXPECT_TRUE(events.started.isEmpty());
    EXPECT_FALSE(player->currentTrackDetail().has_value());
    EXPECT_TRUE(QDir(Locations::temporaryFolder()).entryList({QStringLiteral("mediacache_*")}).isEmpty())
        << "the unwanted copy is removed";

    // A new queue plays normally afterwards.
    player->setPlayQueue(threeTracks().mid(2, 1));
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(events.started, QStringList{QStringLiteral("C")});
}

TEST_F(Player, ACopyStillRunningWhenANewListPlaysIsDropped)
{
    makePlayer(1);
    source->hold(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue(threeTracks().mid(0, 1));
    player->play();
    ASSERT_TRUE(source->waitUntilHeld(kWait));
    // The owner's Play for a new list: clear with stop, new queue, play.
    player->clearPlayQueueWithStop(true);
    player->setPlayQueue(threeTracks().mid(1, 1));
    player->play();
    source->release();
    ASSERT_TRUE(waitForStarts(1));
    QTest::qWait(50);
    EXPECT_EQ(events.started, QStringList{QStringLiteral("B")});
}

TEST_F(Player, AFailedCopyStopsWithAnErrorAndTheNextPlayMovesOn)
{
    makePlayer(1);
    source->failCopiesOf(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue(threeTracks().mid(0, 2));
    player->play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.statusLines.contains(L("ERRORPLAYING") + QLatin1Char('|')); }, kWait));
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_TRUE(events.started.isEmpty());
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(events.started, QStringList{QStringLiteral("B")});
}

TEST_F(Player, LocalPlaybackPlaysInPlaceAndNeverDeletes)
{
    makePlayer(1);
    player->setIsPlayingLocal(true);
    const QString local = QDir(device.path()).filePath(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue({item(local, QStringLiteral("Voicemail"))});
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(backend->loadedPath(), local);
    EXPECT_TRUE(source->copied().isEmpty());
    player->stop();
    EXPECT_TRUE(QFile::exists(local));
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(backend->hasMovie());
}

TEST_F(Player, DiskModeIPodPlaysUnderItsMountPointOnly)
{
    makePlayer(0);
    player->setPlayQueue({item(QStringLiteral("../outside.wav"), QStringLiteral("Escape")),
        item(QStringLiteral("Music/F00/c.wav"), QStringLiteral("C"))});
    player->play();
    EXPECT_TRUE(events.statusLines.contains(L("ERRORPLAYING") + QLatin1Char('|')));
    EXPECT_TRUE(events.started.isEmpty());
    player->next();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(backend->loadedPath(), QDir(device.path()).filePath(QStringLiteral("Music/F00/c.wav")));
    EXPECT_TRUE(source->copied().isEmpty());
    player->stop();
    EXPECT_TRUE(QFile::exists(QDir(device.path()).filePath(QStringLiteral("Music/F00/c.wav"))));
}

TEST_F(Player, PauseResumesTheSameMovieAndVolumeFollowsTheOwner)
{
    makePlayer(0);
    player->setPlayQueue(threeTracks());
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_FLOAT_EQ(backend->volume(), 1.0f) << "the movie's own volume before any is given";
    player->setPlaybackVolume(60);
    EXPECT_FLOAT_EQ(backend->volume(), 0.6f);

    player->pause();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(backend->playing());
    const QString path = backend->loadedPath();
    player->play();
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_TRUE(backend->playing());
    EXPECT_EQ(backend->loadedPath(), path);
    EXPECT_EQ(player->queueLength(), 2);

    backend->setVolume(1.0f);
    player->next();
    ASSERT_TRUE(waitForStarts(2));
    EXPECT_FLOAT_EQ(backend->volume(), 0.6f) << "every later movie plays at the stored volume";
}

TEST_F(Player, ProgressTicksReportMillisecondsAndNames)
{
    makePlayer(0);
    player->_progressTimerWorker();
    ASSERT_EQ(events.ticks.size(), 1u);
    EXPECT_EQ(events.ticks[0].current(), 0);
    EXPECT_EQ(events.ticks[0].duration(), 0);

    // Times beyond 32 bits of milliseconds (some 25 days) stay exact.
    backend->m_current = 5'000'000'123LL;
    backend->m_duration = 5'000'060'123LL;
    player->setPlayQueue(threeTracks());
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_TRUE(player->progressTimer().isActive());
    events.ticks.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !events.ticks.empty(); }, kWait));
    const QELMediaPlayerProgressEventArgs& tick = events.ticks.front();
    EXPECT_EQ(tick.current(), 5'000'000'123LL);
    EXPECT_EQ(tick.duration(), 5'000'060'123LL);
    EXPECT_EQ(tick.percentage(), 0);
    EXPECT_EQ(tick.trackName(), QStringLiteral("A"));
    EXPECT_EQ(tick.artist(), QStringLiteral("Artist of A"));
    EXPECT_EQ(tick.persistentID(), QStringLiteral("-42A"));
    EXPECT_EQ(tick.timeCurrent(), QStringLiteral("t5000000123"));
    EXPECT_EQ(tick.timeRemaining(), QStringLiteral("t60000"));
}

TEST_F(Player, AFileThatIsNoMovieReportsWhyAndStillCopiesAhead)
{
    makePlayer(1);
    QFile junk(QDir(device.path()).filePath(QStringLiteral("Music/F00/junk.mp3")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not audio at all");
    junk.close();
    player->setPlayQueue({item(QStringLiteral("Music/F00/junk.mp3"), QStringLiteral("Junk")),
        item(QStringLiteral("Music/F00/b.wav"), QStringLiteral("B"))});
    player->play();
    const QString expected = L("ERRORPLAYING") + QLatin1Char('|') + L("REASONFORPLAYBACKFAILURE").arg(QStringLiteral("not a movie"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.statusLines.contains(expected); }, kWait));
    EXPECT_TRUE(events.started.isEmpty());
    EXPECT_TRUE(player->currentPlaybackPath().endsWith(QStringLiteral(".mp3")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return source->copied().contains(QStringLiteral("Music/F00/b.wav")); }, kWait));
    ASSERT_TRUE(waitUntilIdle());
    player->next();
    ASSERT_TRUE(waitForStarts(1));
    EXPECT_EQ(events.started, QStringList{QStringLiteral("B")});
}

TEST(MediaPlayerCache, NameKeepsOnlyAPlainExtension)
{
    struct Case {
        const char* devicePath;
        const char* suffix; // expected end of the file name
    };
    for (const Case& c : {Case{"iTunes_Control/Music/F01/ABCD.mp3", ".mp3"}, Case{"a/b/voice.m4a", ".m4a"},
             Case{"noextension", "mediacache_"}, Case{"evil.m4a/../../x.w@v", "mediacache_"}}) {
        SCOPED_TRACE(c.devicePath);
        const QString path = QELMediaPlayer::cachePathForDevicePath(QString::fromLatin1(c.devicePath));
        EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(Locations::temporaryFolder()).absoluteFilePath());
        const QString name = QFileInfo(path).fileName();
        EXPECT_TRUE(name.startsWith(QStringLiteral("mediacache_")));
        if (QByteArray(c.suffix) != "mediacache_")
            EXPECT_TRUE(name.endsWith(QLatin1String(c.suffix))) << name.toStdString();
        else
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^mediacache_\\d+\\.\\d{6}$")).match(name).hasMatch()) << name.toStdString();
    }
}

// The device interface goes right after the player at quit: the copy ahead
// must be over by the time the player is.
TEST_F(Player, CopyAheadIsCancelledAndJoinedBeforeThePlayerGoes)
{
    makePlayer(1);
    source->hold(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue(threeTracks());
    player->play();
    ASSERT_TRUE(source->waitUntilHeld(kWait));
    player.reset();
    EXPECT_FALSE(source->isHolding());
    source->release();
}

TEST_F(Player, ProgressTimesAreClockTimesWithoutAFormatterOfTheCaller)
{
    makePlayer(1);
    player = std::make_unique<QELMediaPlayer>(source, std::make_unique<FakeMovieBackend>());
    player->setDelegate(&events);
    player->setIsPlayingLocal(true);
    const QString local = QDir(device.path()).filePath(QStringLiteral("Music/F00/a.wav"));
    player->setPlayQueue({item(local, QStringLiteral("A"))});
    player->play();
    ASSERT_TRUE(waitForStarts(1));
    player->_progressTimerWorker();
    ASSERT_FALSE(events.ticks.empty());
    EXPECT_EQ(events.ticks.back().timeCurrent(), QStringLiteral("00:01"));
    EXPECT_EQ(events.ticks.back().timeRemaining(), QStringLiteral("00:59"));
}

TEST(MediaPlayerQt, TheDefaultBackendShowsVideo)
{
    QELMediaPlayer player(nullptr);
    auto* backend = dynamic_cast<QELQtMediaPlayerBackend*>(player.backend());
    ASSERT_NE(backend, nullptr);
    EXPECT_NE(backend->videoOutput(), nullptr);
}

// The real decoder on small WAV files the test writes, when this machine can play them.
TEST(MediaPlayerQt, PlaysAQueueOfLocalFiles)
{
    QTemporaryDir folder;
    const QString a = folder.filePath(QStringLiteral("a.wav"));
    const QString b = folder.filePath(QStringLiteral("b.wav"));
    ASSERT_TRUE(writeWav(a, 300));
    ASSERT_TRUE(writeWav(b, 300));
    {
        QELQtMediaPlayerBackend probe;
        QSignalSpy loaded(&probe, &QELMediaPlayerBackend::loaded);
        QSignalSpy failed(&probe, &QELMediaPlayerBackend::failed);
        probe.load(a);
        if (!QTest::qWaitFor([&] { return !loaded.isEmpty() || !failed.isEmpty(); }, 5000) || loaded.isEmpty())
            GTEST_SKIP() << "this machine's media backend cannot open a WAV file";
    }

    auto source = std::make_shared<LocalFolderSource>(folder.path(), 1);
    QELMediaPlayer player(source);
    PlayerEvents events;
    player.setDelegate(&events);
    player.setIsPlayingLocal(true);
    player.setPlaybackVolume(60);
    player.setPlayQueue({item(a, QStringLiteral("A")), item(b, QStringLiteral("B"))});
    player.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.started.isEmpty(); }, kWait));
    EXPECT_FLOAT_EQ(player.backend()->volume(), 0.6f);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !events.ticks.empty() && events.ticks.back().duration() > 0; }, kWait));
    EXPECT_NEAR(static_cast<double>(events.ticks.back().duration()), 300.0, 60.0);
    // Both files play to their end (the player does not wait for real seconds
    // itself; the decoder plays them in their own 0.3 s).
    if (!QTest::qWaitFor([&] { return events.completed == 1; }, 10000)) {
        // Without an audio sink some machines never reach the end: stop is still clean.
        player.stop();
        EXPECT_FALSE(player.IsPlaying());
        GTEST_SKIP() << "the media backend did not play to the end here";
    }
    EXPECT_EQ(events.started, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(QFile::exists(a));

    // A file that is not audio: the reason is shown and nothing starts.
    const QString junk = folder.filePath(QStringLiteral("junk.mp3"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2048, 'x'));
    f.close();
    events.started.clear();
    player.setPlayQueue({item(junk, QStringLiteral("Junk"))});
    player.play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.statusLines.size() > 0; }, kWait));
    EXPECT_TRUE(events.statusLines.last().startsWith(L("ERRORPLAYING")));
    EXPECT_TRUE(events.started.isEmpty());
}
