// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application delegate in a main window, with a simulated device, a
// fake music host and recorded side effects (started programs, ejects,
// opened addresses).
#include <thread>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include "IPodFramework.h"
#include "Locations.h"
#include "MediaLibraryFixture.h"
#include "MediaLibraryHost.h"
#include "Orvane11AppDelegate.h"
#include "QELDeviceContentView.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELDeviceMediaLibrary.h"
#include "QELITunesLibrary.h"
#include "QELLookingForDeviceView.h"
#include "QELMediaPlayer.h"
#include "QELReadingDeviceView.h"
#include "QELUpdateChecker.h"
#include "QtPrinters.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

// A music host whose application runs until asked to quit (or for ever).
class FakeHost : public MediaLibraryHost {
public:
    bool isRunning() const override { return running; }
    bool quit() override
    {
        ++quitRequests;
        if (!acceptsQuit)
            return false;
        running = false;
        return true;
    }
    QStringList recentDatabases() const override { return {}; }
    QString libraryLocation() const override { return {}; }
    QString musicFolder() const override { return {}; }
    bool add(const QString&, const QString&) override { return false; }

    std::atomic<bool> running{false};
    bool acceptsQuit = true;
    int quitRequests = 0;
};

inline QByteArray mediaLibraryBytes(const QString& dir, int tracks)
{
    MediaLibraryFixture f;
    for (int i = 1; i <= tracks; ++i) {
        MediaLibraryFixture::Item item;
        item.pid = i;
        item.title = QStringLiteral("Track %1").arg(i);
        item.artist = QStringLiteral("Artist");
        item.album = QStringLiteral("Album");
        item.location = QStringLiteral("T%1.mp3").arg(i);
        f.items << item;
    }
    MediaLibraryFixture::Container list;
    list.pid = 50;
    list.name = QStringLiteral("Favourites");
    list.items = {1};
    f.containers << list;
    const QString path = dir + QStringLiteral("/ml.sqlitedb");
    EXPECT_TRUE(f.write(path));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// An artwork reader that records what it was made for and reads nothing.
class FakeArtworkReader : public QELDeviceImageLibraryReader {
public:
    using QELDeviceImageLibraryReader::QELDeviceImageLibraryReader;
    bool readImageDatabase() override
    {
        ++reads;
        if (auto* d = delegate())
            d->OnDeviceImageLibraryDatabaseReadComplete(
                QELDeviceImageLibraryDatabaseReadCompleteArguments(true, {}));
        return true;
    }
    void close() override { closed = true; }
    std::atomic<int> reads{0};
    std::atomic<bool> closed{false};
};

class AppDelegateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_simulator = std::make_shared<SimulatedMobileDevice>();
        m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, m_volumes});
        m_host = std::make_shared<FakeHost>();
        QSettings().clear();
    }

    void TearDown() override
    {
        m_delegate.reset();
        m_window.reset();
    }

    Orvane11AppDelegate::Environment environment()
    {
        Orvane11AppDelegate::Environment env;
        env.mediaLibraryHost = m_host;
        env.makeDeviceInterface = [this] {
            ++m_interfacesMade;
            return std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        };
        env.startDetached = [this](const QString& program, const QStringList& arguments) {
            m_started << program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
            m_order << QStringLiteral("killall");
        };
        env.makeArtworkReader = [this](Orvane11AppDelegate::ArtworkDatabase kind,
                                       const QString& folder, const QString& name) {
            auto reader =
                std::make_shared<FakeArtworkReader>(folder, name, QStringLiteral("artwork.db"));
            m_artworkMade << (kind == Orvane11AppDelegate::ArtworkDatabase::ArtworkDB
                                  ? QStringLiteral("ArtworkDB:")
                                  : QStringLiteral("ML:"))
                    + name;
            m_lastArtwork = reader;
            return reader;
        };
        env.checkForUpdatesOnStartUp = [this] { return m_checkUpdates; };
        env.deviceServiceRunning = [this] { return m_deviceServiceRunning; };
        env.ejectIPodOnExit = [] { return true; };
        env.makeUpdateChecker = [this](QObject* parent) {
            auto* checker = new QELUpdateChecker(parent);
            // Nothing listens there: the check fails at once, off the network.
            checker->setVersionFileUrl(QUrl(QStringLiteral("http://127.0.0.1:9/version.txt")));
            ++m_checkersMade;
            return checker;
        };
        env.ejectVolume = [this](const QString& path) { m_ejected << path; };
        env.iTunesQuitWaitLimitMs = 3000;
        env.askQuitDuringCopy = [this] {
            ++m_quitQuestions;
            return m_quitChoice;
        };
        env.openUrl = [this](const QUrl& url) { m_opened << url.toString(); };
        env.makeMediaPlayer = [this](QELDeviceInterface* device, QObject* parent) {
            return m_makeMediaPlayer ? m_makeMediaPlayer(device, parent) : nullptr;
        };
        return env;
    }

    void launch()
    {
        m_window = std::make_unique<QMainWindow>();
        m_window->resize(900, 600);
        m_delegate = std::make_unique<Orvane11AppDelegate>(m_window.get(), environment());
        m_window->show();
        m_delegate->applicationDidFinishLaunching();
    }

    QString phone(const QString& udid, const QString& productType, const QString& version,
                  int tracks = 3)
    {
        SimulatedDeviceBuilder b(m_dir.path() + QLatin1Char('/') + udid);
        const QString deviceClass = productType.startsWith(QLatin1String("iPod"))
            ? QStringLiteral("iPod")
            : productType.startsWith(QLatin1String("iPad")) ? QStringLiteral("iPad")
                                                            : QStringLiteral("iPhone");
        b.udid(udid).deviceClass(deviceClass).productType(productType).productVersion(version);
        if (tracks > 0)
            b.afcFile(QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb"),
                      mediaLibraryBytes(m_dir.path(), tracks));
        return b.build();
    }

    QELDeviceContentView* waitForContentPage(int count = 1)
    {
        const bool shown = waitUntil([&] { return m_delegate->contentPageShowCount() >= count; });
        EXPECT_TRUE(shown);
        return m_delegate->deviceContentView();
    }

    QWidget* shownPage() const
    {
        const QList<QWidget*> pages = QELPagedView::subviewsOf(m_delegate->mainContentView());
        return pages.size() == 1 ? pages.constFirst() : nullptr;
    }

    QTemporaryDir m_dir;
    QStringList m_volumes;
    std::shared_ptr<SimulatedMobileDevice> m_simulator;
    std::shared_ptr<IPodFramework> m_iPods;
    std::shared_ptr<FakeHost> m_host;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Orvane11AppDelegate> m_delegate;
    QStringList m_started, m_order, m_ejected, m_artworkMade;
    std::shared_ptr<FakeArtworkReader> m_lastArtwork;
    QStringList m_opened;
    std::function<QELMediaPlayer*(QELDeviceInterface*, QObject*)> m_makeMediaPlayer;
    int m_interfacesMade = 0;
    int m_checkersMade = 0;
    bool m_checkUpdates = false;
    bool m_deviceServiceRunning = true;
    int m_quitQuestions = 0;
    Orvane11AppDelegate::QuitDuringCopy m_quitChoice = Orvane11AppDelegate::QuitDuringCopy::Stay;
};
