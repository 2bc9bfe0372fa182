#include <functional>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "QELPreferences.h"

namespace {

class Preferences : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }
    static void store(const QString& key, const QVariant& value)
    {
        QSettings().setValue(key, value);
    }
};

TEST_F(Preferences, DefaultsWhenNothingIsStored)
{
    // The desktop's music folder, not the desktop itself.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    ASSERT_FALSE(music.isEmpty());
    EXPECT_EQ(QELPreferences::CopyToMacSaveFolder(), music);
    EXPECT_FALSE(QELPreferences::CopyToMacOverwriteFiles());
    EXPECT_TRUE(QELPreferences::ShowCopyCompleteMessage());
    EXPECT_EQ(QELPreferences::CopyToMacFolderLevelOne(), 1);
    EXPECT_EQ(QELPreferences::CopyToMacFolderLevelTwo(), 2);
    EXPECT_EQ(QELPreferences::CopyToMacFolderLevelThree(), 0);
    EXPECT_EQ(QELPreferences::CopyToMacFileNameSegmentOne(), 1);
    EXPECT_EQ(QELPreferences::CopyToMacFileNameSegmentTwo(), 0);
    EXPECT_EQ(QELPreferences::CopyToMacFileNameSegmentThree(), 5);
    EXPECT_DOUBLE_EQ(QELPreferences::PlaybackVolume(), 60.0);
    EXPECT_TRUE(QELPreferences::ShowArtwork());
    EXPECT_TRUE(QELPreferences::ShowSetCopyLocationBeforeCopy());
    EXPECT_TRUE(QELPreferences::checkForUpdatesOnStartUp());
    EXPECT_TRUE(QELPreferences::showItemsInICloud());
    EXPECT_TRUE(QELPreferences::ejectIPodOnExit());
}

TEST_F(Preferences, StoredFolderIsAnsweredUnchanged)
{
    store(QELPreferences::kCopyToMacSaveFolder, QStringLiteral("/no/such/folder"));
    EXPECT_EQ(QELPreferences::CopyToMacSaveFolder(), QStringLiteral("/no/such/folder"));
}

// A stored value (as the panes store it, or as the settings file gives it back
// as text) and what the reader answers.
struct StoredCase {
    const char* name;
    QString key;
    QVariant value;
    std::function<double()> read;
    double expected;
};
void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.name; }

class StoredValues : public Preferences,
                     public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValues, ReadAsNumbers)
{
    store(GetParam().key, GetParam().value);
    EXPECT_DOUBLE_EQ(GetParam().read(), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, StoredValues, ::testing::Values(
    StoredCase{"ArtworkTwo", QELPreferences::kShowArtwork, 2, [] { return double(QELPreferences::ShowArtwork()); }, 1},
    StoredCase{"ArtworkZero", QELPreferences::kShowArtwork, 0, [] { return double(QELPreferences::ShowArtwork()); }, 0},
    StoredCase{"ArtworkTextTwo", QELPreferences::kShowArtwork, QStringLiteral("2"), [] { return double(QELPreferences::ShowArtwork()); }, 1},
    StoredCase{"ArtworkTextZero", QELPreferences::kShowArtwork, QStringLiteral("0"), [] { return double(QELPreferences::ShowArtwork()); }, 0},
    StoredCase{"ArtworkTextFalse", QELPreferences::kShowArtwork, QStringLiteral("false"), [] { return double(QELPreferences::ShowArtwork()); }, 0},
    StoredCase{"ArtworkTextTrue", QELPreferences::kShowArtwork, QStringLiteral("true"), [] { return double(QELPreferences::ShowArtwork()); }, 1},
    StoredCase{"OverwriteCheckBoxOn", QELPreferences::kCopyToMacOverwriteFiles, 1, [] { return double(QELPreferences::CopyToMacOverwriteFiles()); }, 1},
    StoredCase{"OverwriteText", QELPreferences::kCopyToMacOverwriteFiles, QStringLiteral("1"), [] { return double(QELPreferences::CopyToMacOverwriteFiles()); }, 1},
    StoredCase{"CompleteMessageOff", QELPreferences::kShowCopyCompleteMessage, 0, [] { return double(QELPreferences::ShowCopyCompleteMessage()); }, 0},
    StoredCase{"EjectText", QELPreferences::kEjectIPodOnExit, QStringLiteral("0"), [] { return double(QELPreferences::ejectIPodOnExit()); }, 0},
    StoredCase{"LevelInteger", QELPreferences::kCopyToMacFolderLevelOne, 3, [] { return double(QELPreferences::CopyToMacFolderLevelOne()); }, 3},
    StoredCase{"LevelText", QELPreferences::kCopyToMacFolderLevelTwo, QStringLiteral("3"), [] { return double(QELPreferences::CopyToMacFolderLevelTwo()); }, 3},
    StoredCase{"LevelTextWithTail", QELPreferences::kCopyToMacFolderLevelThree, QStringLiteral(" 7x"), [] { return double(QELPreferences::CopyToMacFolderLevelThree()); }, 7},
    StoredCase{"LevelTextNotANumber", QELPreferences::kCopyToMacFolderLevelOne, QStringLiteral("artist"), [] { return double(QELPreferences::CopyToMacFolderLevelOne()); }, 0},
    StoredCase{"SegmentReal", QELPreferences::kCopyToMacFileNameSegmentOne, 2.9, [] { return double(QELPreferences::CopyToMacFileNameSegmentOne()); }, 2},
    StoredCase{"SegmentRealText", QELPreferences::kCopyToMacFileNameSegmentTwo, QStringLiteral("6.5"), [] { return double(QELPreferences::CopyToMacFileNameSegmentTwo()); }, 6},
    StoredCase{"SegmentOutOfRangeUnchanged", QELPreferences::kCopyToMacFileNameSegmentThree, 42, [] { return double(QELPreferences::CopyToMacFileNameSegmentThree()); }, 42},
    StoredCase{"VolumeFloat", QELPreferences::kPlaybackVolume, 80.5f, [] { return QELPreferences::PlaybackVolume(); }, 80.5},
    StoredCase{"VolumeText", QELPreferences::kPlaybackVolume, QStringLiteral("42.5"), [] { return QELPreferences::PlaybackVolume(); }, 42.5},
    StoredCase{"VolumeZero", QELPreferences::kPlaybackVolume, 0, [] { return QELPreferences::PlaybackVolume(); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct WriterCase {
    const char* name;
    std::function<void(bool)> write;
    std::function<bool()> read;
    QString key;
    QVariant storedTrue;
    QVariant storedFalse;
};
void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

class Writers : public Preferences,
                public ::testing::WithParamInterface<WriterCase> {};

TEST_P(Writers, RoundTripThroughTheSettingsFile)
{
    const WriterCase& c = GetParam();
    for (bool value : {false, true, false}) {
        SCOPED_TRACE(value);
        c.write(value);
        EXPECT_EQ(c.read(), value);
        EXPECT_EQ(QSettings().value(c.key), value ? c.storedTrue : c.storedFalse);
    }
    // What the file holds reads back the same in a later run, where every value is text.
    c.write(false);
    QSettings settings;
    settings.sync();
    QFile file(settings.fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QByteArray line = c.key.toUtf8() + '=' + c.storedFalse.toString().toUtf8();
    EXPECT_TRUE(text.contains(line)) << text.toStdString();
    store(c.key, QString::fromUtf8(c.storedFalse.toString().toUtf8()));
    EXPECT_FALSE(c.read());
    store(c.key, c.storedTrue.toString());
    EXPECT_TRUE(c.read());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, Writers, ::testing::Values(
    WriterCase{"ShowArtwork", QELPreferences::setShowArtwork, QELPreferences::ShowArtwork, QELPreferences::kShowArtwork, true, false},
    WriterCase{"ShowSetCopyLocation", QELPreferences::setShowSetCopyLocationBeforeCopy, QELPreferences::ShowSetCopyLocationBeforeCopy, QELPreferences::kShowSetCopyLocationBeforeCopy, true, false},
    WriterCase{"CheckForUpdate", QELPreferences::setCheckForUpdatesOnStartUp, QELPreferences::checkForUpdatesOnStartUp, QELPreferences::kCheckForUpdateOnStart, 1, 0},
    WriterCase{"ShowItemsInICloud", QELPreferences::setShowItemsInICloud, QELPreferences::showItemsInICloud, QELPreferences::kShowItemInICloud, 1, 0},
    WriterCase{"EjectIPod", QELPreferences::setEjectIPodOnExit, QELPreferences::ejectIPodOnExit, QELPreferences::kEjectIPodOnExit, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(Preferences, SettingsLiveInTheOrvaneDomain)
{
    QELPreferences::setEjectIPodOnExit(false);
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
    settings.sync();
    EXPECT_EQ(settings.fileName(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Orvane/Orvane.conf"));
    EXPECT_EQ(settings.value(QELPreferences::kEjectIPodOnExit).toInt(), 0);
    // The panes store through QSettings() with the application's names: the same store.
    EXPECT_EQ(QSettings().fileName(), settings.fileName());
}

} // namespace
