#include <list>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "DeviceEventRecorder.h"
#include "IPodFramework.h"
#include "Locations.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QByteArray originalPrefs(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(0xA0 + i % 16);
    return bytes;
}

struct PatchCase {
    int size;
    qint64 operatingSystem;
    QList<int> changed;
};

class PreferencesBytes : public ::testing::TestWithParam<PatchCase> {};

TEST_P(PreferencesBytes, ChangesOnlyTheListedBytesInsideTheFile)
{
    const PatchCase& c = GetParam();
    const QByteArray original = originalPrefs(c.size);
    const QByteArray changed =
        QELDeviceInterface::changedITunesPreferences(original, c.operatingSystem);
    ASSERT_EQ(changed.size(), original.size());
    QList<int> differing;
    for (int i = 0; i < c.size; ++i) {
        if (changed[i] != original[i]) {
            differing.append(i);
            EXPECT_EQ(changed[i], i == 174 ? 1 : i == 187 ? 2 : 0) << "offset " << i;
        }
    }
    EXPECT_EQ(differing, c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PreferencesBytes,
    ::testing::Values(
        PatchCase{100, 1, {9, 10, 77, 78}}, PatchCase{100, 0, {9, 10, 77, 78}},
        PatchCase{187, 1, {9, 10, 77, 78, 90, 121, 152, 156, 168, 172, 174, 186}},
        PatchCase{187, 0, {9, 10, 77, 78, 90, 121, 130, 152, 156, 168, 174}},
        PatchCase{188, 1, {9, 10, 52, 77, 78, 90, 121, 152, 156, 168, 172, 174, 186, 187}},
        PatchCase{
            300, 1, {9, 10, 52, 77, 78, 90, 121, 152, 156, 168, 172, 174, 186, 187, 273, 284, 286}},
        PatchCase{300, 0, {9, 10, 52, 77, 78, 90, 121, 130, 152, 156, 168, 174, 187, 273, 284}},
        PatchCase{0, 1, {}}));

const QString kUdid = QStringLiteral("PREFS-UDID-0001");

class ITunesPreferences : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        Locations::emptyTemporaryFolder();
        QDir(Locations::savedPreferencesFolder(kUdid)).removeRecursively();
        m_prefs = originalPrefs(300);
        m_plist = QByteArray("<plist>original</plist>");
    }
    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
    }

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    void connectPhone(bool withPrefs = true)
    {
        SimulatedDeviceBuilder builder(path("phone"));
        builder.udid(kUdid);
        if (withPrefs) {
            builder.afcFile("iTunes_Control/iTunes/iTunesPrefs", m_prefs);
            builder.afcFile("iTunes_Control/iTunes/iTunesPrefs.plist", m_plist);
        }
        m_afc = builder.afcRoot();
        m_device = m_simulator->attach(builder.build());
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
        ASSERT_TRUE(m_events.waitForSuccess());
    }

    QString devicePrefs() const { return m_afc + "/iTunes_Control/iTunes/iTunesPrefs"; }
    QString devicePlist() const { return m_afc + "/iTunes_Control/iTunes/iTunesPrefs.plist"; }
    QString saved(const QString& name) const
    {
        return Locations::savedPreferencesFolder(kUdid) + "/" + name;
    }

    QTemporaryDir m_dir;
    QByteArray m_prefs;
    QByteArray m_plist;
    QString m_afc;
    QString m_device;
    DeviceEventRecorder m_events;
    std::shared_ptr<SimulatedMobileDevice> m_simulator = std::make_shared<SimulatedMobileDevice>();
    std::shared_ptr<IPodFramework> m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    // Receivers of the connections a test starts after the first one.
    std::list<DeviceEventRecorder> m_laterEvents;
    std::unique_ptr<QELDeviceInterface> m_interface;
};

TEST_F(ITunesPreferences, ChangedOnConnectWithTheOriginalKeptPerDevice)
{
    connectPhone();
    EXPECT_EQ(readFile(devicePrefs()), QELDeviceInterface::changedITunesPreferences(m_prefs, 1));
    EXPECT_FALSE(QFileInfo::exists(devicePlist()));
    EXPECT_EQ(readFile(saved("iTunesPrefs")), m_prefs);
    EXPECT_EQ(readFile(saved("iTunesPrefs.plist")), m_plist);
    EXPECT_EQ(m_interface->savedPreferencesFolderOfDevice(),
              Locations::savedPreferencesFolder(kUdid));
    // Nothing of ours is left on the device.
    EXPECT_EQ(QDir(m_afc + "/iTunes_Control/iTunes").entryList(QDir::Files | QDir::Hidden),
              QStringList{"iTunesPrefs"});
}

TEST_F(ITunesPreferences, SurviveEmptyingAndReplugAndAreRestoredByteForByte)
{
    connectPhone();
    ASSERT_TRUE(Locations::emptyTemporaryFolder());
    EXPECT_EQ(readFile(saved("iTunesPrefs")), m_prefs);

    // Unplugged and plugged in again: the device now holds the changed file,
    // which must not replace the saved original.
    m_simulator->detach(m_device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    ASSERT_TRUE(Locations::emptyTemporaryFolder());
    m_simulator->attach(path("phone"));
    ASSERT_TRUE(m_events.waitFor(
        [&] { return m_events.connected().size() == 2 && m_events.connected().last().success(); }));
    EXPECT_EQ(readFile(saved("iTunesPrefs")), m_prefs);
    EXPECT_EQ(readFile(saved("iTunesPrefs.plist")), m_plist);
    EXPECT_EQ(readFile(devicePrefs()), QELDeviceInterface::changedITunesPreferences(m_prefs, 1));

    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(devicePrefs()), m_prefs);
    EXPECT_EQ(readFile(devicePlist()), m_plist);
    EXPECT_FALSE(QFileInfo::exists(Locations::savedPreferencesFolder(kUdid)));
}

TEST_F(ITunesPreferences, AnOriginalLeftByAnUnpluggedDeviceGoesBackInTheNextRun)
{
    connectPhone();
    // Unplugged, then the window closes: nothing can be put back.
    m_simulator->detach(m_device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    m_interface->restoreITunesPreferences();
    m_interface->shutdown();
    m_interface.reset();
    ASSERT_TRUE(Locations::emptyTemporaryFolder());

    // The next run: the device's next connection takes the saved original up
    // again (the device holds exactly what the earlier run wrote) ...
    auto simulator = std::make_shared<SimulatedMobileDevice>();
    DeviceEventRecorder& events = m_laterEvents.emplace_back();
    simulator->attach(path("phone"));
    m_interface = std::make_unique<QELDeviceInterface>(simulator, m_iPods);
    m_interface->setDelegate(&events);
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(events.waitForSuccess());
    EXPECT_EQ(readFile(saved("iTunesPrefs")), m_prefs);
    EXPECT_EQ(readFile(saved("iTunesPrefs.plist")), m_plist);
    EXPECT_EQ(readFile(devicePrefs()), QELDeviceInterface::changedITunesPreferences(m_prefs, 1));
    // ... and writes it back when that window closes with the device there.
    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(devicePrefs()), m_prefs);
    EXPECT_EQ(readFile(devicePlist()), m_plist);
    EXPECT_FALSE(QFileInfo::exists(Locations::savedPreferencesFolder(kUdid)));
}

TEST_F(ITunesPreferences, RestoreWaitsForItsOwnDevice)
{
    connectPhone();
    m_simulator->detach(m_device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(saved("iTunesPrefs")), m_prefs);
    EXPECT_EQ(readFile(saved("iTunesPrefs.plist")), m_plist);
}

TEST_F(ITunesPreferences, AnotherDevicesOriginalIsLeftAlone)
{
    const QString other = Locations::savedPreferencesFolder(QStringLiteral("OTHER-DEVICE"));
    ASSERT_TRUE(writeFile(other + "/iTunesPrefs", "other original"));
    connectPhone();
    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(other + "/iTunesPrefs"), QByteArray("other original"));
    QDir(other).removeRecursively();
}

TEST_F(ITunesPreferences, DeviceWithoutPreferencesIsLeftAsItIs)
{
    connectPhone(false);
    EXPECT_FALSE(m_interface->modifyITunesPreferences());
    EXPECT_FALSE(QFileInfo::exists(saved("iTunesPrefs")));
    m_interface->restoreITunesPreferences();
    EXPECT_FALSE(QFileInfo::exists(devicePrefs()));
}

TEST_F(ITunesPreferences, StaleWorkingCopyRefusesTheChange)
{
    connectPhone();
    m_interface->restoreITunesPreferences();
    ASSERT_EQ(readFile(devicePrefs()), m_prefs);
    ASSERT_TRUE(writeFile(Locations::temporaryFolder() + "/iTunesPrefs", "stale"));
    EXPECT_FALSE(m_interface->modifyITunesPreferences());
    EXPECT_EQ(readFile(devicePrefs()), m_prefs);
}

TEST_F(ITunesPreferences, DiskModeIPodUsesItsOwnFolderAndTable)
{
    const QString volume = path("IPOD");
    ASSERT_TRUE(writeFile(volume + "/iPod_Control/iTunes/iTunesPrefs", m_prefs));
    m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {volume}});
    m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    m_interface->setDelegate(&m_events);
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(readFile(volume + "/iPod_Control/iTunes/iTunesPrefs"),
              QELDeviceInterface::changedITunesPreferences(m_prefs, 0));
    const QString savedFolder = m_interface->savedPreferencesFolderOfDevice();
    ASSERT_FALSE(savedFolder.isEmpty());
    EXPECT_TRUE(savedFolder.startsWith(Locations::dataHome()));
    EXPECT_EQ(readFile(savedFolder + "/iTunesPrefs"), m_prefs);
    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(volume + "/iPod_Control/iTunes/iTunesPrefs"), m_prefs);
}

// The usual end of a session: the device is unplugged, the program quits
// later, so the original waits. Meanwhile another program changed the file
// on the device: that newer file is the original from now on.
// A connection killed while it put the changed file on the device leaves an
// upload beside it; the next connection removes it, so the device never keeps
// two preference files, and the user's other files stay.
TEST_F(ITunesPreferences, LeftOverUploadsOfAKilledConnectionAreRemovedAtTheNext)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.udid(kUdid);
    builder.afcFile("iTunes_Control/iTunes/iTunesPrefs", m_prefs);
    builder.afcFile("iTunes_Control/iTunes/iTunesPrefs.orvane-new", "half");
    builder.afcFile("iTunes_Control/iTunes/iTunesPrefs.orvane-new.orvane-upload-1a2b", "half");
    builder.afcFile("iTunes_Control/iTunes/iTunesPrefs.orvane-upload-3c4d", "half");
    builder.afcFile("iTunes_Control/iTunes/iTunesPrefs.backup", "the user's");
    m_afc = builder.afcRoot();
    m_device = m_simulator->attach(builder.build());
    m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    m_interface->setDelegate(&m_events);
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(m_events.waitForSuccess());

    EXPECT_EQ(readFile(devicePrefs()), QELDeviceInterface::changedITunesPreferences(m_prefs, 1));
    QStringList left = QDir(m_afc + "/iTunes_Control/iTunes").entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList{"iTunesPrefs", "iTunesPrefs.backup"}));
}

TEST_F(ITunesPreferences, NewerFileFoundAtTheNextConnectionBecomesTheOriginal)
{
    connectPhone();
    m_simulator->detach(m_device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    m_interface->shutdown();

    QByteArray newer = m_prefs;
    newer[200] = 'N';
    const QByteArray newerPlist("<plist>newer</plist>");
    ASSERT_TRUE(writeFile(devicePrefs(), newer));
    ASSERT_TRUE(writeFile(devicePlist(), newerPlist));
    m_simulator->attach(path("phone"));
    m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
    DeviceEventRecorder& events = m_laterEvents.emplace_back();
    m_interface->setDelegate(&events);
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(events.waitForSuccess());
    EXPECT_EQ(readFile(saved("iTunesPrefs")), newer);
    EXPECT_EQ(readFile(saved("iTunesPrefs.plist")), newerPlist);
    EXPECT_EQ(readFile(devicePrefs()), QELDeviceInterface::changedITunesPreferences(newer, 1));
    EXPECT_FALSE(QFileInfo::exists(devicePlist()));

    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(devicePrefs()), newer);
    EXPECT_EQ(readFile(devicePlist()), newerPlist);
}

TEST_F(ITunesPreferences, RestoreNeverWritesTheOriginalOverANewerFile)
{
    connectPhone();
    // Changed on the device while it was connected.
    QByteArray newer = QELDeviceInterface::changedITunesPreferences(m_prefs, 1);
    newer[250] = 'N';
    const QByteArray newerPlist("<plist>made meanwhile</plist>");
    ASSERT_TRUE(writeFile(devicePrefs(), newer));
    ASSERT_TRUE(writeFile(devicePlist(), newerPlist));
    m_interface->restoreITunesPreferences();
    EXPECT_EQ(readFile(devicePrefs()), newer);
    EXPECT_EQ(readFile(devicePlist()), newerPlist);
    EXPECT_FALSE(QFileInfo::exists(Locations::savedPreferencesFolder(kUdid)));
}

TEST_F(ITunesPreferences, TwoShufflesWithTheSameLabelKeepTheirOwnOriginals)
{
    QStringList folders;
    for (const char* parent : {"first", "second"}) {
        SCOPED_TRACE(parent);
        const QString volume = path(QString::fromLatin1(parent) + "/SHUFFLE");
        ASSERT_TRUE(writeFile(volume + "/iPod_Control/iTunes/iTunesSD", "sd"));
        QByteArray own = m_prefs;
        own[0] = parent[0];
        ASSERT_TRUE(writeFile(volume + "/iPod_Control/iTunes/iTunesPrefs", own));
        m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {volume}});
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        DeviceEventRecorder& events = m_laterEvents.emplace_back();
        m_interface->setDelegate(&events);
        m_interface->BeginDeviceConnectionDetect();
        ASSERT_TRUE(events.waitForSuccess());
        const QString folder = m_interface->savedPreferencesFolderOfDevice();
        EXPECT_EQ(readFile(folder + "/iTunesPrefs"), own);
        folders << folder;
        m_interface->shutdown();
    }
    EXPECT_NE(folders[0], folders[1]);
    for (const QString& folder : folders)
        QDir(folder).removeRecursively();
}

} // namespace
