#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include "ElidedLabel.h"
#include "LocalizedStrings.h"
#include "QELHUDView.h"
#include "QELHUDViewDelegate.h"
#include "QELImageView.h"
#include "QELMediaPlayerProgressEventArgs.h"
#include "QELPagedView.h"
#include "SpinnerIndicator.h"
#include "TSPProgressIndicator.h"

namespace {

struct CancelCounter : QELHUDViewDelegate {
    int cancels = 0;
    QStringList foldersShown;
    void OnUserCancelCopyEvent() override { ++cancels; }
    void OnShowFolderRequest(const QString& folder) override { foldersShown << folder; }
};

QELMediaPlayerProgressEventArgs tick(qint64 current, qint64 duration, const QString& name)
{
    QELMediaPlayerProgressEventArgs args(current, duration);
    args.setTrackName(name);
    args.setArtist(QStringLiteral("The Examples"));
    args.setTimeCurrent(QStringLiteral("00:01"));
    args.setTimeRemaining(QStringLiteral("02:59"));
    return args;
}

class HUDView : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(500, 100);
        hud = new QELHUDView(QRect(10, 10, 460, 64), &window);
        hud->setDelegate(&delegate);
        window.show();
    }
    QWidget window;
    QELHUDView* hud = nullptr;
    CancelCounter delegate;
};

} // namespace

TEST_F(HUDView, StartsOnTheWelcomePageWithTheVersion)
{
    EXPECT_EQ(hud->currentPage(), hud->welcomeView());
    EXPECT_EQ(QELPagedView::subviewsOf(hud->view()).size(), 1);
    EXPECT_FALSE(hud->welcomeView()->isOpaque());
    EXPECT_TRUE(hud->copyProgressProgressView()->isSpinning());
    if (!QCoreApplication::applicationVersion().isEmpty()) {
        EXPECT_EQ(hud->versionTextFeild()->text(),
                  L("VERSION").arg(QCoreApplication::applicationVersion()));
    }
}

TEST_F(HUDView, EachOperationShowsItsPageAlone)
{
    struct Step {
        const char* name;
        std::function<void()> call;
        QELPagedView* page;
    };
    const std::vector<Step> steps = {
        {"information", [&] { hud->setHUDInformationTopStringBottomString(QString(), QString()); },
         hud->informationView()},
        {"indeterminate",
         [&] { hud->setHUDProgressIntermittentWithText(QStringLiteral("Looking")); },
         hud->progressView()},
        {"determinate", [&] { hud->setHUDProgressToOfMaximumWithText(4, 8, QString()); },
         hud->progressView()},
        {"playback",
         [&] { hud->setHUDPlaybackProgress(tick(1000, 180000, QStringLiteral("Song"))); },
         hud->playbackView()},
        {"copy",
         [&] {
             hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"),
                                                                        QString(), 1, 2);
         },
         hud->copyProgressView()},
        {"blank", [&] { hud->clearHUD(); }, hud->blankView()},
        {"blankAgain", [&] { hud->clearHUD(); }, hud->blankView()},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.call();
        EXPECT_EQ(hud->currentPage(), step.page);
        EXPECT_EQ(QELPagedView::subviewsOf(hud->view()), QList<QWidget*>{step.page});
    }
}

TEST_F(HUDView, MissingStringsShowAsEmptyLines)
{
    hud->setHUDInformationTopStringBottomString(QStringLiteral("old"), QStringLiteral("old"));
    hud->setHUDInformationTopStringBottomString(QString(), QString());
    EXPECT_EQ(hud->informationTopLine()->text(), QString());
    EXPECT_EQ(hud->informationBottomLine()->text(), QString());
    hud->setHUDProgressIntermittentWithText(QString());
    EXPECT_EQ(hud->progressTopLine()->text(), QString());
    EXPECT_EQ(hud->progressProgressBar()->maximum(), 0); // indeterminate
    hud->setHUDProgressToOfMaximumWithText(3, 12, QStringLiteral("Reading"));
    EXPECT_EQ(hud->progressProgressBar()->maximum(), 12);
    EXPECT_EQ(hud->progressProgressBar()->value(), 3);
    EXPECT_EQ(hud->progressTopLine()->text(), QStringLiteral("Reading"));
}

TEST_F(HUDView, PlaybackUpdatesFieldsAndKeepsMissingOnes)
{
    hud->setHUDPlaybackProgress(tick(30000, 120000, QStringLiteral("First song")));
    EXPECT_EQ(hud->playbackTrackNameTextField()->text(), QStringLiteral("First song"));
    EXPECT_EQ(hud->playbackArtistTextField()->text(), QStringLiteral("The Examples"));
    EXPECT_EQ(hud->playbackTimePlayedTextField()->text(), QStringLiteral("00:01"));
    EXPECT_EQ(hud->playbackTimeRemainingTextField()->text(), QStringLiteral("02:59"));
    EXPECT_EQ(hud->playbackProgressBar()->maxValue(), 120000.0);
    EXPECT_EQ(hud->playbackProgressBar()->doubleValue(), 30000.0);

    QELMediaPlayerProgressEventArgs noName(60000, 120000);
    hud->setHUDPlaybackProgress(noName);
    EXPECT_EQ(hud->playbackTrackNameTextField()->text(), QStringLiteral("First song"));
    EXPECT_EQ(hud->playbackProgressBar()->doubleValue(), 60000.0);
}

TEST_F(HUDView, CopyProgressHasPriorityOverPlayback)
{
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(
        QStringLiteral("Copying to computer"), QStringLiteral("Song.mp3"), 3, 10);
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
    TSPProgressIndicator* bar = hud->copyProgressProgressBar();
    EXPECT_EQ(bar->doubleValue() / bar->maxValue(), 0.3);
    EXPECT_EQ(bar->progressText(), L("XOFY").arg(3).arg(10));
    EXPECT_FALSE(bar->isIndeterminate());
    EXPECT_FALSE(hud->imageCancelButton()->isHidden());
    EXPECT_EQ(hud->copyProgressView()->geometry(), hud->view()->rect());

    hud->setHUDPlaybackProgress(tick(1000, 2000, QStringLiteral("Ignored")));
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
    EXPECT_NE(hud->playbackTrackNameTextField()->text(), QStringLiteral("Ignored"));

    hud->clearHUD();
    hud->setHUDPlaybackProgress(tick(1000, 2000, QStringLiteral("Shown")));
    EXPECT_EQ(hud->currentPage(), hud->playbackView());
    EXPECT_EQ(hud->playbackTrackNameTextField()->text(), QStringLiteral("Shown"));
}

// A copy that knows its sizes moves the bar by bytes; its text counts items.
TEST_F(HUDView, TheCopyBarFollowsBytesWhereTheyAreKnownAndItemsElse)
{
    struct Case {
        const char* name;
        int current;
        int maximum;
        quint64 bytesCopied;
        quint64 byteCount;
        double shown;
    };
    const quint64 big = 2ull * 1024 * 1024 * 1024;
    const std::vector<Case> cases{
        // Inside a 2 GiB file, the second of ten items.
        {"inside a large file", 2, 10, big / 2, big + 9 * 1024, 0.5},
        {"past the large file", 3, 10, big + 1024, big + 9 * 1024, 1.0},
        {"sizes unknown", 3, 10, 0, 0, 0.3},
        {"more bytes than told", 10, 10, 5000, 4000, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hud->setCopyProgressWithBytes(QStringLiteral("Copying files"), QStringLiteral("movie.mov"),
                                      c.current, c.maximum, c.bytesCopied, c.byteCount);
        EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
        TSPProgressIndicator* bar = hud->copyProgressProgressBar();
        EXPECT_NEAR(bar->doubleValue() / bar->maxValue(), c.shown, 0.001);
        EXPECT_EQ(bar->progressText(), L("XOFY").arg(c.current).arg(c.maximum));
        EXPECT_FALSE(bar->isIndeterminate());
    }
}

TEST_F(HUDView, CancelButtonStopsOnceAndComesBackWithTheNextUpdate)
{
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"),
                                                               QStringLiteral("a"), 1, 4);
    QToolButton* cancel = hud->imageCancelButton();
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(delegate.cancels, 1);
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_EQ(hud->copyProgressTopLine()->text(), L("PLEASEWAITSTOPPING"));
    EXPECT_EQ(hud->copyProgressBottomLine()->text(), QString());
    EXPECT_TRUE(hud->copyProgressProgressBar()->isIndeterminate());
    EXPECT_TRUE(hud->copyProgressProgressBar()->animationStarted());
    // A second press cannot happen: the button is gone from where it was.
    const QPoint where = cancel->mapTo(hud->copyProgressView(), cancel->rect().center());
    EXPECT_NE(hud->copyProgressView()->childAt(where), cancel);
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());

    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"),
                                                               QStringLiteral("b"), 2, 4);
    EXPECT_FALSE(cancel->isHidden());
    EXPECT_FALSE(hud->copyProgressProgressBar()->isIndeterminate());
    EXPECT_FALSE(hud->copyProgressProgressBar()->animationStarted());
}

// The bar's stripes move under whatever is drawn on it: the count stands
// beside the bar, whole, and goes while the copy stops.
TEST_F(HUDView, TheCountStandsBesideTheBarNotOnIt)
{
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"),
                                                               QStringLiteral("a"), 12, 1000);
    QCoreApplication::processEvents();
    TSPProgressIndicator* bar = hud->copyProgressProgressBar();
    QLabel* count = hud->copyProgressCount();
    EXPECT_FALSE(bar->drawsProgressText());
    EXPECT_EQ(count->text(), L("XOFY").arg(12).arg(1000));
    ASSERT_TRUE(count->isVisible());
    const QRect barRect(bar->mapTo(hud->copyProgressView(), QPoint(0, 0)), bar->size());
    const QRect countRect(count->mapTo(hud->copyProgressView(), QPoint(0, 0)), count->size());
    EXPECT_FALSE(barRect.intersects(countRect));
    EXPECT_GE(count->width(), count->sizeHint().width());
    EXPECT_TRUE(hud->copyProgressView()->rect().contains(countRect));

    QTest::mouseClick(hud->imageCancelButton(), Qt::LeftButton);
    EXPECT_TRUE(count->isHidden());
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"),
                                                               QStringLiteral("b"), 13, 1000);
    EXPECT_FALSE(count->isHidden());
    EXPECT_EQ(count->text(), L("XOFY").arg(13).arg(1000));
}

TEST_F(HUDView, CachingMarkFollowsTheFlag)
{
    hud->setHUDPlaybackProgress(tick(0, 1000, QStringLiteral("Song")));
    EXPECT_TRUE(hud->cachingIndicator()->isHidden());
    hud->setPlaybackCaching(true);
    EXPECT_FALSE(hud->cachingIndicator()->isHidden());
    EXPECT_TRUE(hud->cachingIndicator()->testAttribute(Qt::WA_TransparentForMouseEvents));
    hud->setPlaybackCaching(false);
    EXPECT_TRUE(hud->cachingIndicator()->isHidden());
}

TEST_F(HUDView, PagesOffScreenGoWithTheHUD)
{
    QPointer<QELPagedView> information = hud->informationView();
    QPointer<QELPagedView> welcome = hud->welcomeView();
    hud->setHUDInformationTopStringBottomString(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_EQ(welcome->parentWidget(), nullptr);
    delete hud;
    hud = nullptr;
    EXPECT_TRUE(information.isNull());
    EXPECT_TRUE(welcome.isNull());
}

// What the panel showed before the preferences window comes back when it closes.
TEST_F(HUDView, ATemporaryMessageGivesThePanelBackAsItWas)
{
    struct Before {
        const char* name;
        std::function<void()> show;
        QELPagedView* page;
    };
    const std::vector<Before> cases = {
        {"welcome", [] {}, hud->welcomeView()},
        {"information",
         [&] {
             hud->setHUDInformationTopStringBottomString(QStringLiteral("Connect your iPhone"),
                                                         QStringLiteral("below"));
         },
         hud->informationView()},
        {"blank", [&] { hud->clearHUD(); }, hud->blankView()},
        {"progress",
         [&] { hud->setHUDProgressToOfMaximumWithText(2, 8, QStringLiteral("Reading")); },
         hud->progressView()},
    };
    for (const Before& before : cases) {
        SCOPED_TRACE(before.name);
        before.show();
        const QString top = hud->informationTopLine()->text();
        const QString bottom = hud->informationBottomLine()->text();
        hud->showTemporaryInformation(QStringLiteral("Preferences"), QStringLiteral("Close them"));
        // Opened twice in a row: still the first page comes back.
        hud->showTemporaryInformation(QStringLiteral("Preferences"), QStringLiteral("Close them"));
        EXPECT_EQ(hud->currentPage(), hud->informationView());
        EXPECT_EQ(hud->informationTopLine()->text(), QStringLiteral("Preferences"));
        hud->endTemporaryInformation();
        EXPECT_EQ(hud->currentPage(), before.page);
        if (before.page == hud->informationView()) {
            EXPECT_EQ(hud->informationTopLine()->text(), top);
            EXPECT_EQ(hud->informationBottomLine()->text(), bottom);
        }
        if (before.page == hud->progressView()) {
            EXPECT_EQ(hud->progressTopLine()->text(), QStringLiteral("Reading"));
        }
    }

    // A newer report while the message is up stays when it goes.
    hud->showTemporaryInformation(QStringLiteral("Preferences"), QStringLiteral("Close them"));
    hud->setCopyprogressWithTopLineBottomLineCurrentAndMaximum(QStringLiteral("Copying"), QString(),
                                                               1, 4);
    hud->endTemporaryInformation();
    EXPECT_EQ(hud->currentPage(), hud->copyProgressView());
    hud->showTemporaryInformation(QStringLiteral("Preferences"), QStringLiteral("Close them"));
    hud->setHUDInformationTopStringBottomString(QStringLiteral("Device found"), QString());
    hud->endTemporaryInformation();
    EXPECT_EQ(hud->informationTopLine()->text(), QStringLiteral("Device found"));
    // Ending with none up changes nothing.
    hud->endTemporaryInformation();
    EXPECT_EQ(hud->informationTopLine()->text(), QStringLiteral("Device found"));
}

// A line too long for the panel is cut with "…" and offers its whole text.
TEST_F(HUDView, ALongLineIsCutAndItsWholeTextIsItsToolTip)
{
    const QString text =
        QStringLiteral("Close the preferences window to go back to your device and "
                       "everything that is on it, all of it, at once");
    hud->setHUDInformationTopStringBottomString(text, QStringLiteral("short"));
    hud->resize(300, 64);
    QCoreApplication::processEvents();
    auto* top = qobject_cast<ElidedLabel*>(hud->informationTopLine());
    auto* bottom = qobject_cast<ElidedLabel*>(hud->informationBottomLine());
    ASSERT_NE(top, nullptr);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(top->text(), text);
    EXPECT_TRUE(top->isElided());
    EXPECT_TRUE(top->shownText().endsWith(QChar(0x2026)));
    EXPECT_LE(top->fontMetrics().horizontalAdvance(top->shownText()), top->contentsRect().width());
    EXPECT_FALSE(bottom->isElided());

    // A line that shows whole has no tip; a cut one offers its whole text.
    QHelpEvent none(QEvent::ToolTip, QPoint(5, 5), bottom->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(bottom, &none);
    EXPECT_TRUE(QToolTip::text().isEmpty());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), top->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(top, &help);
    EXPECT_EQ(QToolTip::text(), text);
    QToolTip::hideText();
}

// A category switch takes away what the last category said; a copy still
// running keeps its progress and its cancel button, and the player its track.
TEST_F(HUDView, CategorySwitchClearsMessagesAndLoadProgressOnly)
{
    struct Case {
        const char* name;
        std::function<void(QELHUDView&)> show;
        bool cleared;
    };
    const std::vector<Case> cases = {
        {"message",
         [](QELHUDView& h) {
             h.setHUDInformationTopStringBottomString("All photos have been copied.", "");
         },
         true},
        {"message with folder",
         [](QELHUDView& h) { h.setHUDInformationWithFolder("Done", "", "/tmp"); }, true},
        {"load progress",
         [](QELHUDView& h) { h.setHUDProgressToOfMaximumWithText(3, 10, "Reading"); }, true},
        {"copy progress",
         [](QELHUDView& h) {
             h.setCopyprogressWithTopLineBottomLineCurrentAndMaximum("Copying", "a", 1, 4);
         },
         false},
        {"playback", [](QELHUDView& h) { h.setHUDPlaybackProgress(tick(1000, 180000, "Song")); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hud->clearHUD();
        c.show(*hud);
        QELPagedView* shown = hud->currentPage();
        hud->clearCategoryReports();
        if (c.cleared)
            EXPECT_EQ(hud->currentPage(), hud->blankView());
        else
            EXPECT_EQ(hud->currentPage(), shown);
    }
}

TEST_F(HUDView, ACopyIntoAFolderOffersToShowItAndAPlainMessageDoesNot)
{
    hud->setHUDInformationWithFolder(QStringLiteral("All notes have been copied."), QString(),
                                     QStringLiteral("/home/user/Documents/<b>Notes</b>"));
    EXPECT_EQ(hud->currentPage(), hud->informationView());
    ASSERT_TRUE(hud->showFolderButton()->isVisibleTo(hud));
    // The folder's name is device text in part: it never shows as markup.
    EXPECT_TRUE(hud->showFolderButton()->toolTip().contains(QStringLiteral("&lt;b&gt;")));
    QTest::mouseClick(hud->showFolderButton(), Qt::LeftButton);
    EXPECT_EQ(delegate.foldersShown,
              QStringList{QStringLiteral("/home/user/Documents/<b>Notes</b>")});

    hud->setHUDInformationTopStringBottomString(QStringLiteral("Cancelled"), QString());
    EXPECT_FALSE(hud->showFolderButton()->isVisibleTo(hud));
}
