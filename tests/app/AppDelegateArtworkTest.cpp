// SPDX-License-Identifier: GPL-3.0-or-later
// The application's artwork step with its real readers, over the demo device.
#include <QImage>
#include <QProcess>

#include "AppDelegateFixture.h"
#include "TrackDetail.h"

namespace {

class AppDelegateArtworkTest : public AppDelegateFixture {};

TEST_F(AppDelegateArtworkTest, TheDemoDevicesTracksHaveCoversThroughTheArtworkReader)
{
    const QString folder = m_dir.filePath(QStringLiteral("demo"));
    QProcess tool;
    tool.start(QStringLiteral(ORVANE_DEMO_DEVICE_TOOL), {folder});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    m_window = std::make_unique<QMainWindow>();
    Orvane11AppDelegate::Environment env = environment();
    env.makeArtworkReader = Orvane11AppDelegate::defaultEnvironment().makeArtworkReader;
    m_delegate = std::make_unique<Orvane11AppDelegate>(m_window.get(), env);
    m_window->show();
    m_delegate->applicationDidFinishLaunching();
    m_simulator->attach(folder);
    ASSERT_NE(waitForContentPage(), nullptr);

    const std::shared_ptr<QELDeviceImageLibraryReader> artwork = m_delegate->imageLibrary();
    ASSERT_NE(artwork, nullptr);
    ASSERT_NE(m_delegate->mediaLibrary(), nullptr);
    const QList<TrackDetailPtr> tracks = m_delegate->mediaLibrary()->getAllTracks();
    ASSERT_FALSE(tracks.isEmpty());
    const ImageDetailPtr cover =
        artwork->getImageDetailForId(tracks.first()->persistentID.toLongLong());
    ASSERT_NE(cover, nullptr);
    // The packed small rendition and the full file both decode from the device.
    std::thread worker([&] {
        EXPECT_EQ(artwork->getThumbnailImageFromDetail(cover.get()).size(), QSize(240, 240));
        EXPECT_EQ(artwork->getFullImageFromDetail(cover.get()).size(), QSize(600, 600));
    });
    worker.join();
}

} // namespace
