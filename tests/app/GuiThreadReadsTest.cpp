// SPDX-License-Identifier: GPL-3.0-or-later
#include <mutex>
#include <string>
#include <vector>

#include <QImage>
#include <QLabel>

#include "AppDelegateFixture.h"
#include "CategoryViews.h"
#include "ThreadCheck.h"

namespace {

// The application with the GUI-thread check on, as a debug build runs it, but
// counting what it finds instead of ending the program.
class GuiThreadReads : public AppDelegateFixture {
protected:
    void SetUp() override
    {
        // A disk-mode iPod whose volume has an icon: its picture is a device read too.
        ASSERT_TRUE(m_volumeParent.isValid());
        const QString volume = m_volumeParent.path() + QStringLiteral("/IPOD");
        ASSERT_TRUE(QDir().mkpath(volume + QStringLiteral("/iPod_Control/iTunes")));
        QImage icon(8, 8, QImage::Format_RGB32);
        icon.fill(Qt::red);
        ASSERT_TRUE(icon.save(volume + QStringLiteral("/.VolumeIcon.icns"), "PNG"));
        m_volume = volume;
        AppDelegateFixture::SetUp();
        ThreadCheck::setViolationHandler([this](const char* function) {
            std::lock_guard lock(m_mutex);
            m_violations.emplace_back(function);
        });
        ThreadCheck::setEnabled(true);
    }
    void TearDown() override
    {
        AppDelegateFixture::TearDown();
        ThreadCheck::setEnabled(false);
        ThreadCheck::setViolationHandler({});
    }
    std::vector<std::string> violations()
    {
        std::lock_guard lock(m_mutex);
        return m_violations;
    }

    void plugInTheIPod()
    {
        m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {m_volume}});
    }

    QTemporaryDir m_volumeParent;
    QString m_volume;

private:
    std::mutex m_mutex;
    std::vector<std::string> m_violations;
};

} // namespace

TEST_F(GuiThreadReads, ConnectingReadingAndShowingEveryCategoryReadsNothingOnTheGuiThread)
{
    launch();
    m_simulator->attach(
        phone(QStringLiteral("checked"), QStringLiteral("iPhone12,1"), QStringLiteral("16.0"), 5));
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(m_delegate->mediaLibrary(), nullptr);
    EXPECT_EQ(m_delegate->mediaLibrary()->getAllTracks().size(), 5);
    // Every category that needs no backup, as the user would click through them.
    for (int viewType = CategoryViews::Music; viewType <= CategoryViews::Camera; ++viewType) {
        if (!CategoryViews::isBackupDerived(viewType))
            page->selectCategory(viewType);
        QCoreApplication::processEvents();
    }
    std::string seen;
    for (const std::string& function : violations())
        seen += function + "\n";
    EXPECT_TRUE(violations().empty()) << seen;

    // The check is live in this process: a device read on the GUI thread is caught by name.
    EXPECT_TRUE(m_delegate->deviceInterface()->fileExistsAtPath(QStringLiteral("/iTunes_Control")));
    ASSERT_EQ(violations().size(), 1u);
    EXPECT_NE(violations().front().find("fileExistsAtPath"), std::string::npos)
        << violations().front();
}

TEST_F(GuiThreadReads, ADiskModeIPodsPictureIsReadOffTheGuiThread)
{
    plugInTheIPod();
    launch();
    // The picture of the volume icon reaches the reading page.
    ASSERT_TRUE(waitUntil([&] {
        QELReadingDeviceView* reading = m_delegate->readingDeviceView();
        return reading
            && reading->deviceImageView()->pixmap().toImage().pixelColor(0, 0) == QColor(Qt::red);
    }));
    waitForContentPage();
    std::string seen;
    for (const std::string& function : violations())
        seen += function + "\n";
    EXPECT_TRUE(violations().empty()) << seen;
}
