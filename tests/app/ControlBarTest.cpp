// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "AppDelegateFixture.h"
#include "Clock.h"
#include "LocalizedStrings.h"
#include "PlayerFixtures.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentView.h"
#include "QELHUDView.h"
#include "QELImageButton.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "QELPreferences.h"

namespace {

// A category view with scripted answers that records what reaches it.
class StubCategoryView : public QELDeviceCategoryContentView {
public:
    Requests answered;
    bool media = false;
    bool local = false;
    // Answers Copy but leaves the base operation, which throws.
    bool copyThrows = false;
    QList<TrackDetailPtr> list;
    QStringList calls;
    QStringList marks; // the track the view was told plays; "none" at the end

    Requests answeredRequests() const override { return answered; }
    void RequestCopy() override
    {
        if (copyThrows)
            QELDeviceCategoryContentView::RequestCopy();
        calls << QStringLiteral("copy");
    }
    void RequestCancelCopy() override { calls << QStringLiteral("cancel"); }
    void RequestTransfer() override { calls << QStringLiteral("transfer"); }
    void RequestBackUp() override { calls << QStringLiteral("backup"); }
    void search(const QString& text) override { calls << QStringLiteral("search:") + text; }
    bool escapePressed() override
    {
        calls << QStringLiteral("escape");
        return true;
    }
    bool hasMediaListForPlayback() const override { return media; }
    QList<TrackDetailPtr> mediaListForPlayback() override { return list; }
    bool mediaListIsLocal() const override { return local; }
    void SetCurrentlyPlayingTrackDetail(const std::optional<QELMediaPlayerItem>& track) override
    {
        marks << (track ? track->trackName : QStringLiteral("none"));
    }
};

TrackDetailPtr track(const QString& path, const QString& name)
{
    auto t = std::make_shared<TrackDetail>();
    t->path = path;
    t->trackName = name;
    t->artist = QStringLiteral("Artist");
    t->persistentID = name;
    return t;
}

class ControlBarTest : public AppDelegateFixture {
protected:
    void SetUp() override
    {
        AppDelegateFixture::SetUp();
        // A disk-mode device: its tracks play in place from this folder.
        m_root = m_dir.path() + QStringLiteral("/ipod");
        QDir().mkpath(m_root);
        m_source = std::make_shared<LocalFolderSource>(m_root, 0);
        m_makeMediaPlayer = [this](QELDeviceInterface*, QObject* parent) {
            auto backend = std::make_unique<FakeMovieBackend>();
            m_backend = backend.get();
            ++m_playersMade;
            return new QELMediaPlayer(m_source, std::move(backend), parent);
        };
    }

    // The content page of a device, showing a stub view as its category,
    // with the control bar switched on as for music.
    StubCategoryView* showContentPageWith(std::function<void(StubCategoryView&)> setUp = {})
    {
        if (!m_delegate)
            launch();
        if (!m_delegate->deviceContentView()) {
            m_udid = m_simulator->attach(
                phone(QStringLiteral("cb"), QStringLiteral("iPhone7,2"), QStringLiteral("8.4"), 0));
            if (!waitForContentPage())
                return nullptr;
        }
        auto* view = new StubCategoryView;
        m_stubs << view;
        if (setUp)
            setUp(*view);
        view->addToSuperview(m_delegate->deviceContentView()->functionContentView());
        view->removeAllOtherSubViews();
        m_delegate->OnCopyToITunesFunctionalityAvailableNotification(true);
        m_delegate->OnCopyToMacFunctionalityAvailableNotification(true);
        m_delegate->OnBackUpFunctionalityAvailableNotification(true);
        m_delegate->OnMediaPlaybackFunctionalityAvailableNotification(true);
        m_delegate->OnSearchFunctionalityAvailableNotification(true);
        return view;
    }

    QString wav(const QString& name)
    {
        const QString path = m_root + QLatin1Char('/') + name;
        EXPECT_TRUE(writeWav(path, 200));
        return path;
    }

    // A music view of these files of the device, playing the first of them;
    // null when it does not start.
    StubCategoryView* playMusic(const QStringList& names)
    {
        QList<TrackDetailPtr> tracks;
        for (const QString& name : names) {
            wav(name + QStringLiteral(".wav"));
            tracks << track(name + QStringLiteral(".wav"), name);
        }
        StubCategoryView* view = showContentPageWith([&](StubCategoryView& v) {
            v.media = true;
            v.list = tracks;
        });
        if (!view)
            return nullptr;
        m_delegate->PlayClicked();
        return playing() ? view : nullptr;
    }

    // Until the player has started a file.
    bool playing()
    {
        return waitUntil([&] {
            return m_delegate->mediaPlayer() && m_delegate->mediaPlayer()->IsPlaying()
                && m_backend->playing();
        });
    }

    void TearDown() override
    {
        AppDelegateFixture::TearDown();
        // A stub that a later one took the place of has no parent left to
        // delete it.
        for (const QPointer<StubCategoryView>& stub : std::as_const(m_stubs))
            delete stub.data();
    }

    QList<QPointer<StubCategoryView>> m_stubs;
    QString m_root;
    QString m_udid;
    std::shared_ptr<LocalFolderSource> m_source;
    FakeMovieBackend* m_backend = nullptr;
    int m_playersMade = 0;
};

QList<bool> enabledStates(Orvane11AppDelegate& d)
{
    return {d.playButton()->isEnabled(),         d.nextButton()->isEnabled(),
            d.copyToITunesButton()->isEnabled(), d.copyToMacButton()->isEnabled(),
            d.backUpButton()->isEnabled(),       d.searchTextField()->isEnabled()};
}

} // namespace

TEST_F(ControlBarTest, TheBarIsOffUntilAContentPageAndSwitchesWithTheShownCategory)
{
    launch();
    const QList<bool> off(6, false), on(6, true);
    EXPECT_EQ(enabledStates(*m_delegate), off);
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("play.png"));
    EXPECT_EQ(m_delegate->playButton()->alternateImage(), QStringLiteral("play_over.png"));

    m_udid = m_simulator->attach(
        phone(QStringLiteral("cb"), QStringLiteral("iPhone7,2"), QStringLiteral("8.4"), 0));
    ASSERT_NE(waitForContentPage(), nullptr);
    // The whole bar went on, then the shown category switched off what it lacks.
    const Orvane11AppDelegate::Availability a = m_delegate->availability();
    EXPECT_EQ(enabledStates(*m_delegate),
              (QList<bool>{a.playback, a.playback, a.transfer, a.copy, a.backUp, true}));
    EXPECT_EQ(m_delegate->searchTextField()->isHidden(), !a.search);
    ASSERT_NE(showContentPageWith(), nullptr);
    EXPECT_EQ(enabledStates(*m_delegate), on);

    m_delegate->OnCopyToITunesFunctionalityAvailableNotification(false);
    m_delegate->OnBackUpFunctionalityAvailableNotification(false);
    m_delegate->OnMediaPlaybackFunctionalityAvailableNotification(false);
    m_delegate->OnCopyToMacFunctionalityAvailableNotification(false);
    EXPECT_EQ(enabledStates(*m_delegate), (QList<bool>{false, false, false, false, false, true}));

    QLineEdit* field = m_delegate->searchTextField();
    field->setText(QStringLiteral("old"));
    m_delegate->OnSearchFunctionalityAvailableNotification(false);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->isHidden());
    field->setText(QStringLiteral("old"));
    m_delegate->OnSearchFunctionalityAvailableNotification(true);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(field->isHidden());
    m_delegate->OnSearchPlaceholderTextNotification(QStringLiteral("Search apps"));
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Search apps"));

    // A real category switch sends the page's notices: files offer none of these.
    ASSERT_TRUE(m_delegate->deviceContentView()->selectCategory(10));
    EXPECT_FALSE(m_delegate->copyToITunesButton()->isEnabled());
    EXPECT_FALSE(m_delegate->playButton()->isEnabled());
    EXPECT_TRUE(field->isHidden());
    // A copy to the computer is on exactly when the shown page answers it.
    const QELDeviceCategoryContentView* files =
        m_delegate->deviceContentView()->GetCurrentCategoryContentView();
    EXPECT_EQ(m_delegate->copyToMacButton()->isEnabled(),
              files && files->answers(QELDeviceCategoryContentView::Copy));

    m_simulator->detach(m_udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
    EXPECT_EQ(enabledStates(*m_delegate), off);
}

TEST_F(ControlBarTest, EmptyingTheSearchFieldForANewCategoryCancelsTheTypedSearch)
{
    StubCategoryView* view = showContentPageWith(
        [](StubCategoryView& v) { v.answered = QELDeviceCategoryContentView::Search; });
    ASSERT_NE(view, nullptr);
    QTest::keyClicks(m_delegate->searchTextField(), QStringLiteral("ab"));
    ASSERT_TRUE(m_delegate->searchTimer()->isActive());
    m_delegate->OnSearchPlaceholderTextNotification(QStringLiteral("Search notes"));
    EXPECT_FALSE(m_delegate->searchTimer()->isActive());
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(view->calls.isEmpty());
}

TEST_F(ControlBarTest, PlayPausesAndResumesAMusicTrack)
{
    QSettings().setValue(QELPreferences::kPlaybackVolume, 25.0);
    wav(QStringLiteral("one.wav"));
    wav(QStringLiteral("two.wav"));
    StubCategoryView* view = showContentPageWith([](StubCategoryView& v) {
        v.media = true;
        v.list = {track(QStringLiteral("one.wav"), QStringLiteral("One")), nullptr,
                  track(QStringLiteral("two.wav"), QStringLiteral("Two"))};
    });
    ASSERT_NE(view, nullptr);

    m_delegate->playButton()->click();
    ASSERT_TRUE(playing());
    QELMediaPlayer* player = m_delegate->mediaPlayer();
    EXPECT_FALSE(player->isPlayingLocal());
    EXPECT_EQ(player->queueLength(), 1);
    EXPECT_EQ(m_backend->loadedPath(), m_root + QStringLiteral("/one.wav"));
    // The stored volume holds from the first track.
    EXPECT_FLOAT_EQ(m_backend->volume(), 0.25f);
    // The queue is emptied before the list goes in, then the first track plays.
    EXPECT_EQ(view->marks, (QStringList{QStringLiteral("none"), QStringLiteral("One")}));
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("pause.png"));
    EXPECT_EQ(m_delegate->playButton()->alternateImage(), QStringLiteral("pause_over.png"));

    m_delegate->playButton()->click();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(m_backend->playing());
    ASSERT_TRUE(player->currentTrackDetail());
    EXPECT_EQ(player->currentTrackDetail()->trackName, QStringLiteral("One"));
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("play.png"));

    // Play again resumes the paused track rather than starting the list anew.
    m_delegate->playButton()->click();
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_TRUE(m_backend->playing());
    EXPECT_EQ(player->currentTrackDetail()->trackName, QStringLiteral("One"));
    EXPECT_EQ(player->queueLength(), 1);
    EXPECT_EQ(m_playersMade, 1);

    // Next plays the second; past it the queue ends, the HUD clears and the
    // view is told nothing plays.
    m_delegate->nextButton()->click();
    ASSERT_TRUE(waitUntil([&] { return view->marks.last() == QStringLiteral("Two"); }));
    m_backend->finish();
    ASSERT_TRUE(waitUntil([&] { return view->marks.last() == QStringLiteral("none"); }));
    EXPECT_EQ(m_delegate->hudView()->currentPage(), m_delegate->hudView()->blankView());
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("play.png"));
}

// The button shows pause exactly while a track plays, whatever led there.
TEST_F(ControlBarTest, ThePlayButtonFollowsThePlayerThroughEveryStep)
{
    StubCategoryView* view =
        playMusic({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    ASSERT_NE(view, nullptr);
    QELMediaPlayer* player = m_delegate->mediaPlayer();
    enum Step { Play, Next, EndOfTrack };
    const struct {
        const char* what;
        Step step;
        bool playingAfter;
    } steps[] = {
        {"pause", Play, false},
        {"skip while paused: the next track plays", Next, true},
        {"pause again", Play, false},
        {"resume", Play, true},
        {"skip while playing", Next, true},
        {"the last track ends", EndOfTrack, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        switch (s.step) {
        case Play:
            m_delegate->playButton()->click();
            break;
        case Next:
            m_delegate->nextButton()->click();
            break;
        case EndOfTrack:
            m_backend->finish();
            break;
        }
        ASSERT_TRUE(waitUntil([&] { return player->IsPlaying() == s.playingAfter; }));
        if (s.playingAfter) {
            ASSERT_TRUE(playing());
        }
        EXPECT_EQ(m_delegate->playButton()->image(),
                  s.playingAfter ? QStringLiteral("pause.png") : QStringLiteral("play.png"));
    }
}

TEST_F(ControlBarTest, PlayWhilePlayingAVoicemailStopsAndEmptiesTheQueue)
{
    const QString first = wav(QStringLiteral("vm1.wav"));
    const QString second = wav(QStringLiteral("vm2.wav"));
    StubCategoryView* view = showContentPageWith([&](StubCategoryView& v) {
        v.media = true;
        v.local = true;
        v.list = {track(first, QStringLiteral("Voicemail 1")),
                  track(second, QStringLiteral("Voicemail 2"))};
    });
    ASSERT_NE(view, nullptr);
    m_delegate->PlayClicked();
    ASSERT_TRUE(playing());
    QELMediaPlayer* player = m_delegate->mediaPlayer();
    EXPECT_TRUE(player->isPlayingLocal());
    EXPECT_EQ(m_backend->loadedPath(), first);
    // The voicemail view is not told which track plays.
    EXPECT_TRUE(view->marks.isEmpty());

    m_delegate->PlayClicked();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(player->currentTrackDetail());
    EXPECT_EQ(player->queueLength(), 0);
    EXPECT_FALSE(m_backend->hasMovie());
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("play.png"));
}

TEST_F(ControlBarTest, PlayOnACategoryWithoutMediaOnlyRefreshesTheImages)
{
    ASSERT_NE(playMusic({QStringLiteral("One")}), nullptr);

    // Another category: the preview keeps playing, the button shows pause.
    StubCategoryView* notes = showContentPageWith();
    m_delegate->playButton()->setImage(QStringLiteral("play.png"));
    m_delegate->PlayClicked();
    EXPECT_TRUE(m_delegate->mediaPlayer()->IsPlaying());
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("pause.png"));
    EXPECT_TRUE(notes->calls.isEmpty());
}

TEST_F(ControlBarTest, AnEmptyMediaListStartsNothing)
{
    ASSERT_NE(showContentPageWith([](StubCategoryView& v) { v.media = true; }), nullptr);
    m_delegate->PlayClicked();
    EXPECT_EQ(m_playersMade, 0);
    EXPECT_EQ(m_delegate->mediaPlayer(), nullptr);
    EXPECT_EQ(m_delegate->playButton()->image(), QStringLiteral("play.png"));
}

TEST_F(ControlBarTest, ASelectionPlayRequestStartsTheSelectionAfresh)
{
    wav(QStringLiteral("Two.wav"));
    StubCategoryView* view = playMusic({QStringLiteral("One")});
    ASSERT_NE(view, nullptr);
    view->list = {track(QStringLiteral("Two.wav"), QStringLiteral("Two"))};
    m_delegate->OnMediaSelectionPlayRequested();
    ASSERT_TRUE(waitUntil([&] { return view->marks.contains(QStringLiteral("Two")); }));
    EXPECT_EQ(m_backend->loadedPath(), m_root + QStringLiteral("/Two.wav"));
}

TEST_F(ControlBarTest, DisconnectionStopsThePreviewAndEmptiesItsQueue)
{
    ASSERT_NE(playMusic({QStringLiteral("One"), QStringLiteral("Two")}), nullptr);
    m_simulator->detach(m_udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
    QELMediaPlayer* player = m_delegate->mediaPlayer();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(player->queueLength(), 0);
    EXPECT_FALSE(m_backend->hasMovie());
}

TEST_F(ControlBarTest, TypingSearchesOnceHalfASecondAfterTheLastKeystroke)
{
    StubCategoryView* view = showContentPageWith(
        [](StubCategoryView& v) { v.answered = QELDeviceCategoryContentView::Search; });
    ASSERT_NE(view, nullptr);
    // Slower than the suite's clock, so that the gaps stand out from the
    // event loop's own latency; still a fraction of real time.
    const double scale = Clock::scale();
    Clock::setScale(0.5);
    const qint64 delay = Clock::scaled(Clock::Milliseconds(500)).count();
    QElapsedTimer sinceLastKey;
    for (const char key : {'a', 'b', 'c'}) {
        QTest::keyClick(m_delegate->searchTextField(), key);
        sinceLastKey.start();
        waitUntil([] { return false; }, int(Clock::scaled(Clock::Milliseconds(200)).count()));
        // A gap the machine stretched past the delay lets the search run
        // early, rightly; that run says nothing about the restart.
        if (sinceLastKey.elapsed() >= delay * 9 / 10) {
            Clock::setScale(scale);
            GTEST_SKIP() << "the machine stretched a 200 ms gap to " << sinceLastKey.elapsed()
                         << " ms";
        }
        EXPECT_TRUE(view->calls.isEmpty()) << key;
    }
    ASSERT_TRUE(waitUntil([&] { return !view->calls.isEmpty(); }));
    const qint64 waited = sinceLastKey.elapsed();
    waitUntil([] { return false; }, int(Clock::scaled(Clock::Milliseconds(600)).count()));
    Clock::setScale(scale);
    EXPECT_EQ(view->calls, QStringList{QStringLiteral("search:abc")});
    // Timers may fire a few per cent early.
    EXPECT_GE(waited, delay * 9 / 10);
    EXPECT_FALSE(m_delegate->searchTimer()->isActive());

    // The field's clear button is an edit too: the filter goes.
    const QList<QToolButton*> buttons = m_delegate->searchTextField()->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 1);
    buttons.first()->click();
    EXPECT_EQ(m_delegate->searchTextField()->text(), QString());
    ASSERT_TRUE(waitUntil([&] { return view->calls.size() == 2; }));
    EXPECT_EQ(view->calls.last(), QStringLiteral("search:"));
}

TEST_F(ControlBarTest, ASearchBeforeAnyContentPageSendsNothing)
{
    launch();
    m_delegate->controlTextDidChange();
    ASSERT_TRUE(m_delegate->searchTimer()->isActive());
    ASSERT_TRUE(waitUntil([&] { return !m_delegate->searchTimer()->isActive(); }));
    StubCategoryView* view = showContentPageWith(
        [](StubCategoryView& v) { v.answered = QELDeviceCategoryContentView::Search; });
    ASSERT_NE(view, nullptr);
    waitUntil([] { return false; }, 50);
    EXPECT_TRUE(view->calls.isEmpty());
}

TEST_F(ControlBarTest, ProgressReportsMapToTheHUD)
{
    enum class Shows { Nothing, Indeterminate, Bar };
    struct Case {
        const char* name;
        const char* text;
        double current, maximum;
        Shows shows;
        int value, barMaximum;
    };
    const Case cases[] = {
        {"text and 0 of 0 is indeterminate", "Loading", 0, 0, Shows::Indeterminate, 0, 0},
        {"no text and 0 of 0 clears", "", 0, 0, Shows::Nothing, 0, 0},
        {"no text with a maximum of 10 is a plain bar", "", 4, 10, Shows::Bar, 4, 10},
        {"fractions are truncated", "Reading", 2.9, 10.0, Shows::Bar, 2, 10},
        {"a maximum of 0 with progress is an empty bar, not a division", "Odd", 3, 0, Shows::Bar, 1,
         1},
        {"negative values truncate toward zero and stay on the bar", "", -0.9, 5.5, Shows::Bar, 0,
         5},
        {"huge values are held at the integer range", "", 1e12, 1e12, Shows::Bar, INT_MAX, INT_MAX},
    };
    launch();
    QELHUDView* hud = m_delegate->hudView();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_delegate->OnInformationStatusEventBottomLine(QStringLiteral("before"), QString());
        m_delegate->OnProgressEventCurrentValueMaximumValue(QString::fromLatin1(c.text), c.current,
                                                            c.maximum);
        switch (c.shows) {
        case Shows::Nothing:
            EXPECT_EQ(hud->currentPage(), hud->blankView());
            break;
        case Shows::Indeterminate:
            EXPECT_EQ(hud->currentPage(), hud->progressView());
            EXPECT_EQ(hud->progressProgressBar()->maximum(), 0);
            EXPECT_EQ(hud->progressTopLine()->text(), QString::fromLatin1(c.text));
            break;
        case Shows::Bar:
            EXPECT_EQ(hud->currentPage(), hud->progressView());
            EXPECT_EQ(hud->progressProgressBar()->value(), c.value);
            EXPECT_EQ(hud->progressProgressBar()->maximum(), c.barMaximum);
            EXPECT_EQ(hud->progressTopLine()->text(), QString::fromLatin1(c.text));
            break;
        }
    }
}

TEST_F(ControlBarTest, CopyProgressFromTheAppsViewAndItsCancel)
{
    StubCategoryView* view = showContentPageWith(
        [](StubCategoryView& v) { v.answered = QELDeviceCategoryContentView::CancelCopy; });
    ASSERT_NE(view, nullptr);
    QELHUDView* hud = m_delegate->hudView();
    m_delegate->ShowCopyProgressProgressDetail(
        {QStringLiteral("Copying apps"), QStringLiteral("Mail")}, {3, 7.8});
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
    EXPECT_EQ(hud->copyProgressTopLine()->text(), QStringLiteral("Copying apps"));
    EXPECT_EQ(hud->copyProgressBottomLine()->text(), QStringLiteral("Mail"));
    // Short arrays count as empty lines and zeros.
    m_delegate->ShowCopyProgressProgressDetail({QStringLiteral("Only")}, {});
    EXPECT_EQ(hud->copyProgressBottomLine()->text(), QString());
    hud->imageCancelButton()->click();
    EXPECT_EQ(view->calls, QStringList{QStringLiteral("cancel")});
    m_delegate->ClearHUD();
    EXPECT_EQ(hud->currentPage(), hud->blankView());
}

TEST_F(ControlBarTest, RequestsGoOnlyToAViewThatAnswersThem)
{
    using R = QELDeviceCategoryContentView;
    StubCategoryView* mute = showContentPageWith();
    ASSERT_NE(mute, nullptr);
    auto pressAll = [&] {
        m_delegate->copyToITunesButton()->click();
        m_delegate->copyToMacButton()->click();
        m_delegate->backUpButton()->click();
        EXPECT_TRUE(m_delegate->confirmBackupView()->isVisible());
        m_delegate->confirmBackupView()
            ->findChild<QPushButton*>(QStringLiteral("confirmBackUpProceedButton"))
            ->click();
        EXPECT_FALSE(m_delegate->confirmBackupView()->isVisible());
        m_delegate->OnUserCancelCopyEvent();
        m_delegate->_searchTimerExpired();
    };
    pressAll();
    EXPECT_TRUE(mute->calls.isEmpty());

    StubCategoryView* all = showContentPageWith([](StubCategoryView& v) {
        v.answered = R::Copy | R::CancelCopy | R::Transfer | R::BackUp | R::Search;
    });
    m_delegate->searchTextField()->setText(QStringLiteral("x"));
    pressAll();
    EXPECT_EQ(
        all->calls,
        (QStringList{QStringLiteral("transfer"), QStringLiteral("copy"), QStringLiteral("backup"),
                     QStringLiteral("cancel"), QStringLiteral("search:x")}));

    // Cancel on the confirm sheet sends nothing.
    all->calls.clear();
    m_delegate->BackUpClicked();
    m_delegate->confirmBackupView()
        ->findChild<QPushButton*>(QStringLiteral("confirmBackupCancelButton"))
        ->click();
    EXPECT_FALSE(m_delegate->confirmBackupView()->isVisible());
    EXPECT_TRUE(all->calls.isEmpty());

    // A view that lists a request it does not implement fails it without
    // ending the program.
    StubCategoryView* broken = showContentPageWith([](StubCategoryView& v) {
        v.answered = R::Copy;
        v.copyThrows = true;
    });
    EXPECT_NO_THROW(m_delegate->CopyToMacClicked());
    EXPECT_TRUE(broken->calls.isEmpty());
}

TEST_F(ControlBarTest, CopyCompleteSheetFollowsTheCopyTypeAndThePreference)
{
    struct Case {
        const char* name;
        int type;
        bool filesBox;
        const char* icon;
    };
    const Case cases[] = {
        {"copy to a folder", 0, true, "copy.png"},
        {"transfer into the music library", 1, false, "itunes.png"},
    };
    launch();
    QDialog* sheet = m_delegate->copyCompleteView();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_delegate->OnInformationStatusEventBottomLine(QStringLiteral("copying"), QString());
        m_delegate->checkBoxShowCopyCompleteView()->setChecked(false);
        m_delegate->OnAllItemsCopiedEventWithType(c.type);
        EXPECT_EQ(m_delegate->hudView()->currentPage(), m_delegate->hudView()->blankView());
        ASSERT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
        EXPECT_EQ(sheet->parentWidget(), m_window.get());
        EXPECT_EQ(m_delegate->copyCompleteViewFilesBox()->isVisible(), c.filesBox);
        EXPECT_TRUE(m_delegate->checkBoxShowCopyCompleteView()->isChecked());
        EXPECT_EQ(m_delegate->copyCompleteIconImage(), QString::fromLatin1(c.icon));
        sheet->findChild<QPushButton*>(QStringLiteral("copyCompleteViewCloseButton"))->click();
        EXPECT_FALSE(sheet->isVisible());
        EXPECT_EQ(QSettings().value(QELPreferences::kShowCopyCompleteMessage).toInt(), 1);
    }

    // The files button opens the copy folder and leaves the sheet open.
    QSettings().setValue(QELPreferences::kCopyToMacSaveFolder,
                         m_dir.path() + QStringLiteral("/copies"));
    m_delegate->OnAllItemsCopiedEventWithType(0);
    sheet->findChild<QPushButton*>(QStringLiteral("copyCompleteViewFilesButton"))->click();
    EXPECT_EQ(
        m_opened,
        QStringList{QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/copies")).toString()});
    EXPECT_TRUE(sheet->isVisible());

    // Unticked and closed (here with Escape): later copies only clear the HUD.
    m_delegate->checkBoxShowCopyCompleteView()->setChecked(false);
    sheet->reject();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(QSettings().value(QELPreferences::kShowCopyCompleteMessage).toInt(), 0);
    m_delegate->OnInformationStatusEventBottomLine(QStringLiteral("copying"), QString());
    m_delegate->OnAllItemsCopiedEventWithType(0);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(m_delegate->hudView()->currentPage(), m_delegate->hudView()->blankView());
}

TEST_F(ControlBarTest, UpdateSheetShowsOnlyForANewVersionAndStoresTheStartUpCheck)
{
    launch();
    QDialog* panel = m_delegate->updateAvailablePanel();
    m_delegate->OnUpdateCheckReturnsWithUpdateAvailable(false);
    EXPECT_FALSE(panel->isVisible());

    m_delegate->OnUpdateCheckReturnsWithUpdateAvailable(true);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(m_delegate->automaticallyCheckForUpdatesCheckBox()->isChecked());
    m_delegate->automaticallyCheckForUpdatesCheckBox()->setChecked(false);
    panel->findChild<QPushButton*>(QStringLiteral("closeUpdateAvailableButton"))->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(QELPreferences::checkForUpdatesOnStartUp());
    EXPECT_TRUE(m_opened.isEmpty());

    m_delegate->OnUpdateCheckReturnsWithUpdateAvailable(true);
    EXPECT_FALSE(m_delegate->automaticallyCheckForUpdatesCheckBox()->isChecked());
    m_delegate->automaticallyCheckForUpdatesCheckBox()->setChecked(true);
    panel->findChild<QPushButton*>(QStringLiteral("downloadUpdateButton"))->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(QELPreferences::checkForUpdatesOnStartUp());
    EXPECT_EQ(m_opened, QStringList{L("UPDATEURL")});
}

TEST_F(ControlBarTest, MenuCommandsOpenTheirAddresses)
{
    launch();
    const struct {
        const char* action;
        QString url;
    } cases[] = {
        {"menuHelp", L("HELPURL")},
        {"menuHelpOrvaneUserGuide", L("USERGUIDEURL")},
        {"menuHelpContactSupport", L("CUSTOMERSUPPORTURL")},
        {"menuTermsAndConditions", L("TERMSURL")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        m_opened.clear();
        auto* action = m_window->menuBar()->findChild<QAction*>(QString::fromLatin1(c.action));
        ASSERT_NE(action, nullptr);
        action->trigger();
        EXPECT_EQ(m_opened, QStringList{c.url});
        EXPECT_TRUE(QUrl(c.url).isValid());
        EXPECT_TRUE(c.url.startsWith(QLatin1String("https://")));
    }

    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("11.2.3"));
    m_window->menuBar()->findChild<QAction*>(QStringLiteral("menuAboutOrvane"))->trigger();
    QCoreApplication::setApplicationVersion(version);
    ASSERT_TRUE(m_delegate->aboutWindow()->isVisible());
    EXPECT_EQ(m_delegate->aboutWindowVersionLabel()->text(),
              L("VERSION").arg(QStringLiteral("11.2.3")));
    m_opened.clear();
    m_delegate->aboutWindow()
        ->findChild<QPushButton*>(QStringLiteral("aboutWindowQELHomeBackButton"))
        ->click();
    m_delegate->aboutWindow()
        ->findChild<QPushButton*>(QStringLiteral("viewTermsAndConditionsButton"))
        ->click();
    EXPECT_EQ(m_opened, (QStringList{Orvane11AppDelegate::makerHomePage(), L("TERMSURL")}));
}

TEST_F(ControlBarTest, PreferencesWindowOpensAnewAndAppliesTheVolumeWhenClosed)
{
    ASSERT_NE(playMusic({QStringLiteral("One")}), nullptr);

    QELHUDView* hud = m_delegate->hudView();
    QELPagedView* pageBefore = hud->currentPage();
    m_window->menuBar()->findChild<QAction*>(QStringLiteral("menuPreferences"))->trigger();
    QPointer<QELOrvanePreferencesWindowsController> first = m_delegate->preferencesWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(hud->currentPage(), hud->informationView());
    EXPECT_EQ(hud->informationTopLine()->text(), L("DISPLAYPREFERENCES"));
    EXPECT_EQ(hud->informationBottomLine()->text(), L("CLOSEPREFERENCES"));

    // Opening it again replaces the window.
    m_delegate->menuPreferencesClicked();
    QPointer<QELOrvanePreferencesWindowsController> second = m_delegate->preferencesWindow();
    // Released with deleteLater, which this test's loop runs by hand.
    auto deleted = [](const QPointer<QELOrvanePreferencesWindowsController>& window) {
        return waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return window.isNull();
        });
    };
    ASSERT_TRUE(deleted(first));
    ASSERT_NE(second, nullptr);

    QSettings().setValue(QELPreferences::kPlaybackVolume, 40.0);
    second->close();
    ASSERT_TRUE(deleted(second));
    EXPECT_EQ(m_delegate->preferencesWindow(), nullptr);
    EXPECT_FLOAT_EQ(m_backend->volume(), 0.4f);
    // The panel shows again what it showed before the window opened.
    EXPECT_EQ(hud->currentPage(), pageBefore);
}

// "All photos have been copied." must not stand over the books, files or notes.
TEST_F(ControlBarTest, ACategorySwitchClearsTheLastCategorysMessageButNotARunningCopy)
{
    ASSERT_NE(showContentPageWith(), nullptr);
    QELHUDView* hud = m_delegate->hudView();
    QELDeviceContentView* page = m_delegate->deviceContentView();
    m_delegate->OnInformationStatusEventBottomLine(L("ALLPHOTOSCOPIED"), QString());
    ASSERT_EQ(hud->currentPage(), hud->informationView());
    ASSERT_TRUE(page->selectCategory(10));
    EXPECT_EQ(hud->currentPage(), hud->blankView());

    // The end of a copy into a folder, with the button that shows the folder.
    m_delegate->OnCopyEndedInFolder(L("ALLPHOTOSCOPIED"), QString(), m_dir.path());
    ASSERT_TRUE(hud->showFolderButton()->isVisibleTo(hud));
    m_opened.clear();
    hud->showFolderButton()->click();
    EXPECT_EQ(m_opened, QStringList{QUrl::fromLocalFile(m_dir.path()).toString()});
    ASSERT_TRUE(page->selectCategory(8));
    EXPECT_EQ(hud->currentPage(), hud->blankView());

    // A copy still running keeps its progress and its cancel on any category.
    m_delegate->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        L("COPYINGPHOTOS"), QStringLiteral("IMG_0001.JPG"), 1, 9);
    ASSERT_TRUE(page->selectCategory(10));
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
}

// The window's keys, each with what it must do. Text fields keep their own keys.
TEST_F(ControlBarTest, TheShortcutTable)
{
    StubCategoryView* view = showContentPageWith(
        [](StubCategoryView& v) { v.answered = QELDeviceCategoryContentView::Search; });
    ASSERT_NE(view, nullptr);
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QLineEdit* field = m_delegate->searchTextField();
    ASSERT_FALSE(field->isHidden());

    using S = Orvane11AppDelegate::Shortcut;
    EXPECT_EQ(Orvane11AppDelegate::keysOf(S::Find).value(0), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(Orvane11AppDelegate::keysOf(S::ClearSearch).value(0), QKeySequence(Qt::Key_Escape));
    EXPECT_TRUE(Orvane11AppDelegate::keysOf(S::Preferences)
                    .contains(QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    EXPECT_EQ(Orvane11AppDelegate::keysOf(S::PlayPause).value(0), QKeySequence(Qt::Key_Space));

    // Ctrl+F: into the search field, from wherever the focus was.
    m_delegate->playButton()->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field->hasFocus());

    // Typing a space in the field is text, not play/pause.
    QTest::keyClicks(field, QStringLiteral("a b"));
    EXPECT_EQ(field->text(), QStringLiteral("a b"));
    EXPECT_FALSE(m_delegate->mediaPlayer() && m_delegate->mediaPlayer()->IsPlaying());

    // Esc: the search is emptied and the whole list comes back at once.
    view->calls.clear();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(view->calls, QStringList{QStringLiteral("search:")});
    // Esc again, nothing to clear: the category closes what it has open.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(view->calls.last(), QStringLiteral("escape"));

    // Ctrl+, opens the preferences; Esc closes them.
    QTest::keyClick(m_window.get(), Qt::Key_Comma, Qt::ControlModifier);
    QPointer<QELOrvanePreferencesWindowsController> preferences = m_delegate->preferencesWindow();
    ASSERT_NE(preferences, nullptr);
    ASSERT_TRUE(preferences->isVisible());
    preferences->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(preferences.data()));
    QTest::keyClick(preferences.data(), Qt::Key_Escape);
    EXPECT_TRUE(preferences.isNull() || !preferences->isVisible());
}

TEST_F(ControlBarTest, SpacePlaysAndPausesWhenTheFocusIsNotInATextField)
{
    ASSERT_NE(playMusic({QStringLiteral("One")}), nullptr);
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QELMediaPlayer* player = m_delegate->mediaPlayer();
    m_delegate->playButton()->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_Space);
    EXPECT_FALSE(player->IsPlaying());
    QTest::keyClick(m_window.get(), Qt::Key_Space);
    EXPECT_TRUE(player->IsPlaying());
}
