#include <memory>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "Clock.h"
#include "LocalizedStrings.h"
#include "QELLookingForDeviceView.h"
#include "QELPagedView.h"
#include "QELReadingDeviceView.h"
#include "QELReadingDeviceViewDelegate.h"

namespace {

// A container with some plain pages in it; pages that leave it are kept here.
struct Container {
    QWidget widget;
    std::vector<std::unique_ptr<QELPagedView>> owned;

    Container() { widget.resize(400, 300); }
    QELPagedView* addPage()
    {
        owned.push_back(std::make_unique<QELPagedView>());
        owned.back()->addToSuperview(&widget);
        return owned.back().get();
    }
    ~Container()
    {
        // Pages still inside are deleted by the container, the others here.
        for (auto& page : owned) {
            if (page->parentWidget())
                page.release();
        }
    }
};

} // namespace

TEST(PagedView, RemovingOthersWithoutContainerDoesNothing)
{
    QELPagedView page;
    page.removeAllOtherSubViews();
    page.hideAllOtherSubViews();
    page.animateToFront();
    page.close();
    EXPECT_EQ(page.parentWidget(), nullptr);
}

TEST(PagedView, OnlySubviewStaysAndAllOthersGo)
{
    Container c;
    QELPagedView* first = c.addPage();
    first->removeAllOtherSubViews();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget), QList<QWidget*>{first});

    QELPagedView* second = c.addPage();
    QELPagedView* third = c.addPage();
    third->removeAllOtherSubViews();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget), QList<QWidget*>{third});
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_EQ(second->parentWidget(), nullptr);

    // Adding a page that is already there and removing the others leaves it alone.
    third->addToSuperview(&c.widget);
    third->removeAllOtherSubViews();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget), QList<QWidget*>{third});
    EXPECT_EQ(third->geometry(), c.widget.rect());
}

TEST(PagedView, HidingKeepsTheOthersInTheContainer)
{
    Container c;
    QELPagedView* a = c.addPage();
    QELPagedView* b = c.addPage();
    b->hideAllOtherSubViews();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget).size(), 2);
    EXPECT_TRUE(a->isHidden());
    EXPECT_FALSE(b->isHidden());
}

TEST(PagedView, PageCoversItsContainerAndFollowsItsSize)
{
    Container c;
    c.widget.show();
    QELPagedView* page = c.addPage();
    EXPECT_EQ(page->geometry(), QRect(0, 0, 400, 300));
    c.widget.resize(640, 480);
    EXPECT_EQ(page->geometry(), QRect(0, 0, 640, 480));
    // A hidden container delivers its resize when it is shown again.
    c.widget.hide();
    c.widget.resize(300, 200);
    c.widget.show();
    EXPECT_EQ(page->geometry(), QRect(0, 0, 300, 200));
}

TEST(PagedView, AnimateToFrontReplacesTheBackMostPage)
{
    Container c;
    c.widget.show();
    QELPagedView* old = c.addPage();
    auto incoming = std::make_unique<QELPagedView>();
    incoming->setParent(&c.widget);
    incoming->animateToFront();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget), QList<QWidget*>{incoming.get()});
    EXPECT_EQ(old->parentWidget(), nullptr);
    // Once the slide is over the page sits exactly over its container.
    EXPECT_TRUE(QTest::qWaitFor([&] { return incoming->geometry() == c.widget.rect(); }, 2000));
    // Bringing the page that is already in front changes nothing.
    incoming->animateToFront();
    EXPECT_EQ(QELPagedView::subviewsOf(&c.widget), QList<QWidget*>{incoming.get()});
    incoming.release();
}

TEST(PagedView, OpaquePagePaintsWhite)
{
    QWidget container;
    container.setStyleSheet(QStringLiteral("background: #203040;"));
    container.resize(50, 50);
    auto* page = new QELPagedView(&container);
    page->setIsOpaque(true);
    EXPECT_TRUE(page->isOpaque());
    EXPECT_TRUE(page->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage image = page->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::white));
}

// The three pairing boxes: a sequence of calls and the boxes visible after it.
struct BoxCase {
    const char* name;
    std::vector<std::pair<char, bool>> calls; // 'd' default, 'p' passcode, 't' trust
    bool defaultShown, passcodeShown, trustShown;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class PairingBoxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(PairingBoxes, ShowsTheExpectedBoxes)
{
    QELLookingForDeviceView page;
    for (auto [which, flag] : GetParam().calls) {
        if (which == 'd')
            page.showDefaultInstructions(flag);
        else if (which == 'p')
            page.showEnterPasscodeBox(flag);
        else
            page.showTrustDeviceBox(flag);
    }
    EXPECT_EQ(!page.defaultInstructionsBox()->isHidden(), GetParam().defaultShown);
    EXPECT_EQ(!page.enterPasscodeBox()->isHidden(), GetParam().passcodeShown);
    EXPECT_EQ(!page.untrustedDeviceBox()->isHidden(), GetParam().trustShown);
}

INSTANTIATE_TEST_SUITE_P(LookingForDevice, PairingBoxes,
    ::testing::Values(BoxCase{"initial", {}, true, false, false},
        BoxCase{"defaultYes", {{'d', true}}, true, false, false},
        BoxCase{"defaultNo", {{'d', false}}, false, false, false},
        BoxCase{"passcodeYes", {{'p', true}}, false, true, false},
        BoxCase{"passcodeNo", {{'p', true}, {'p', false}}, true, false, false},
        BoxCase{"trustYes", {{'t', true}}, false, false, true},
        BoxCase{"trustNo", {{'t', true}, {'t', false}}, true, false, false},
        BoxCase{"passcodeThenTrust", {{'p', true}, {'t', true}}, false, false, true},
        BoxCase{"trustThenPasscode", {{'t', true}, {'p', true}}, false, true, false},
        BoxCase{"trustThenDefault", {{'t', true}, {'d', true}}, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LookingForDevice, SpinsAndIsOpaque)
{
    QELLookingForDeviceView page;
    EXPECT_TRUE(page.isOpaque());
    EXPECT_TRUE(page.findChild<QWidget*>(QStringLiteral("progressBar")) != nullptr);
    EXPECT_TRUE(page.clickForHelpTextField()->text().contains(
        QStringLiteral("Click here for help connecting your device to Orvane")));
    EXPECT_TRUE(page.clickForHelpTextField()->text().contains(QELLookingForDeviceView::helpUrl()));
    EXPECT_TRUE(page.clickForHelpTextField()->openExternalLinks());
}

TEST(LookingForDevice, HelpLinkAppearsFiveSecondsAfterEachArrival)
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    auto page = std::make_unique<QELLookingForDeviceView>();
    QLabel* help = page->clickForHelpTextField();

    for (int stay = 0; stay < 2; ++stay) {
        SCOPED_TRACE(stay);
        page->addToSuperview(&window);
        EXPECT_TRUE(help->isHidden());
        EXPECT_TRUE(page->helpDisplayTimer().isActive());
        EXPECT_EQ(page->helpDisplayTimer().interval(), Clock::scaledMs(5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !help->isHidden(); }, 2000));
        // Leaving the window hides the link and starts the countdown again.
        page->close();
        EXPECT_TRUE(help->isHidden());
    }
}

namespace {
struct CancelDelegate : QELReadingDeviceViewDelegate {
    int requests = 0;
    void OnReadingDeviceViewCancelRequest() override { ++requests; }
};
} // namespace

TEST(ReadingDevice, CancelRules)
{
    QELReadingDeviceView page;
    CancelDelegate delegate;
    QPushButton* cancel = page.buttonCancel();
    EXPECT_TRUE(cancel->isHidden());

    // Without a delegate the button does nothing.
    page.setPlaylistName(QStringLiteral("Road trip"));
    EXPECT_FALSE(cancel->isHidden());
    cancel->click();
    EXPECT_FALSE(cancel->isHidden());
    EXPECT_FALSE(page.wasCancelled());

    page.setDelegate(&delegate);
    cancel->click();
    EXPECT_EQ(delegate.requests, 1);
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_TRUE(page.playlistNameTextField()->text().isEmpty());
    EXPECT_EQ(page.currentStatusTextField()->text(), L("CANCELINGREADINGDEVICE"));

    // Later playlists of the same read update the name but keep the button hidden.
    page.setPlaylistName(QStringLiteral("Workout"));
    EXPECT_EQ(page.playlistNameTextField()->text(), QStringLiteral("Workout"));
    EXPECT_TRUE(cancel->isHidden());

    // A new read (a new device image) brings the button back with its first playlist.
    page.setDeviceImage(QPixmap(16, 16));
    page.setPlaylistName(QStringLiteral("Jazz"));
    EXPECT_FALSE(cancel->isHidden());

    page.setCancelButtonHidding(true);
    EXPECT_TRUE(cancel->isHidden());
    cancel->show();
    cancel->click();
    EXPECT_EQ(delegate.requests, 2);
    page.setCancelButtonHidding(false);
    EXPECT_FALSE(page.wasCancelled());
    EXPECT_FALSE(cancel->isHidden());
}

TEST(ReadingDevice, TextsAndImage)
{
    QELReadingDeviceView page;
    page.setDeviceTypeString(QStringLiteral("iPhone"));
    EXPECT_EQ(page.readingDeviceTextField()->text(), L("READINGDEVICE").arg(QStringLiteral("iPhone")));
    EXPECT_TRUE(page.readingDeviceTextField()->text().contains(QStringLiteral("iPhone")));
    page.setProgressText(QStringLiteral("Reading the media library"));
    EXPECT_EQ(page.currentStatusTextField()->text(), QStringLiteral("Reading the media library"));
    // A large picture is fitted into the image view.
    QPixmap big(600, 300);
    big.fill(Qt::red);
    page.setDeviceImage(big);
    EXPECT_LE(page.deviceImageView()->pixmap().deviceIndependentSize().width(), 128);
    EXPECT_TRUE(page.isOpaque());
}
