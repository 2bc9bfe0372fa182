// SPDX-License-Identifier: GPL-3.0-or-later
// What a read asks of the device it came from: where each ringtone lies and
// which artwork file belongs to a purchased track.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include "EventRecorder.h"
#include "IPodFramework.h"
#include "ITunesDBWriter.h"
#include "MediaExtrasFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "QELDeviceMediaLibrary.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

using namespace MediaExtrasFixture;

class ConnectedEvents : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        events.record(arguments.success());
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}
    EventRecorder<bool> events;
};

TEST(DevicePaths, RingtonesGetTheirFolderAndPurchasesTheirArtworkBeforeTheReadEnds)
{
    QTemporaryDir dir;
    const QString purchases = dir.filePath("StorePurchasesInfo.plist");
    ASSERT_TRUE(writeStorePurchases(purchases, {{"bought.m4a", "Artwork/bought.jpg"}}));
    QFile plist(purchases);
    ASSERT_TRUE(plist.open(QIODevice::ReadOnly));
    SimulatedDeviceBuilder builder(dir.filePath("phone"));
    builder.udid(QStringLiteral("paths-1"))
        .afcFile(QStringLiteral("iTunes_Control/Ringtones/Bell.m4r"), "ring")
        .afcFile(QStringLiteral("Purchases/StorePurchasesInfo.plist"), plist.readAll());
    auto simulator = std::make_shared<SimulatedMobileDevice>();
    simulator->attach(builder.build());
    QELDeviceInterface device(
        simulator, std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
    ConnectedEvents connected;
    device.setDelegate(&connected);
    device.BeginDeviceConnectionDetect();
    ASSERT_TRUE(connected.events.waitFor(
        [](const auto& events) { return !events.empty() && events.back(); }));

    const QString folder = dir.filePath("copies");
    ASSERT_TRUE(QDir().mkpath(folder));
    ITunesDBWriter w;
    ITunesDBWriter::Track bought;
    bought.id = 1;
    bought.title = QStringLiteral("Bought");
    bought.path = QStringLiteral(":Purchases:bought.m4a");
    ITunesDBWriter::Track plain;
    plain.id = 2;
    plain.title = QStringLiteral("Plain");
    plain.path = QStringLiteral(":iTunes_Control:Music:F00:plain.mp3");
    w.tracks << bought << plain;
    QFile db(folder + "/iTunesDB");
    ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    db.write(w.build());
    db.close();
    ASSERT_TRUE(writeRingtones(
        folder + "/Ringtones.plist",
        {{"Bell.m4r", "G1", "Bell", "", "", 1000}, {"Gone.m4r", "G2", "Gone", "", "", 1000}}));

    QELDeviceMediaLibrary library(folder);
    // What the tracks hold when the read reports its end.
    class Snapshot : public RecordingDelegate {
    public:
        QELDeviceMediaLibrary* library = nullptr;
        QHash<QString, QString> paths, artwork;
        void OnDeviceMediaLibaryReadCompleteEvent(
            const DeviceMediaLibraryReadCompleteArguments& a) override
        {
            RecordingDelegate::OnDeviceMediaLibaryReadCompleteEvent(a);
            for (const TrackDetailPtr& t : library->getAllTracks()) {
                paths.insert(t->trackName, t->path);
                artwork.insert(t->trackName, t->artworkPath);
            }
        }
    } events;
    events.library = &library;
    library.setDelegate(&events);
    library.setDeviceInterface(&device);
    ASSERT_TRUE(library.readMediaLibrary());
    EXPECT_EQ(events.paths.value("Bell"), "/iTunes_Control/Ringtones/Bell.m4r");
    EXPECT_EQ(events.paths.value("Gone"), "/Purchases/Gone.m4r");
    EXPECT_EQ(events.artwork.value("Bought"), "/Purchases/Artwork/bought.jpg");
    EXPECT_TRUE(events.artwork.value("Plain").isEmpty());
    library.close();
    device.shutdown();
}

} // namespace
