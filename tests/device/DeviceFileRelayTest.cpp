#include "CpioArchiveExtractor.h"
#include "DeviceEventRecorder.h"
#include "DeviceFileRelay.h"
#include "DeviceFileRelayDelegate.h"
#include "IPodFramework.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RelayResult : public DeviceFileRelayDelegate {
public:
    void OnExtractComplete() override { m_result = 1; }
    void OnExtractCompleteOnErrors() override { m_result = 2; }
    std::atomic<int> m_result{0};
};

const QList<QPair<QString, QByteArray>> kHostileArchive = {
    {"var", QByteArray()},
    {"var/mobile/Library/SMS", QByteArray()},
    {"var/mobile/Library/SMS/sms.db", "sms database"},
    {"./var/mobile/Library/Notes/notes.sqlite", "notes"},
    {"../evil", "escaped"},
    {"/tmp/orvane-absolute-evil", "absolute"},
    {"var/../../evil2", "escaped too"},
};

class FileRelay : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
    }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    void connect(SimulatedDeviceBuilder& builder)
    {
        m_simulator->attach(builder.build());
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
        ASSERT_TRUE(m_events.waitForSuccess());
    }

    int extract(const QString& target)
    {
        DeviceFileRelay relay(m_interface.get());
        RelayResult result;
        relay.setDelegate(&result);
        relay.beginExtractData(target);
        EXPECT_TRUE(waitUntil([&] { return result.m_result.load() != 0; }));
        EXPECT_TRUE(relay.isExtractComplete());
        EXPECT_FALSE(relay.isExtractInProgress());
        EXPECT_EQ(relay.isFileRelayAvailable(), result.m_result.load() == 1);
        return result.m_result.load();
    }

    QTemporaryDir m_dir;
    DeviceEventRecorder m_events;
    std::shared_ptr<SimulatedMobileDevice> m_simulator = std::make_shared<SimulatedMobileDevice>();
    std::shared_ptr<IPodFramework> m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    std::unique_ptr<QELDeviceInterface> m_interface;
};

TEST_F(FileRelay, UnpacksTheArchiveInsideTheTargetOnly)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.fileRelayArchive(makeCpioGzArchive(kHostileArchive));
    connect(builder);
    const QString target = path("work/relay");
    EXPECT_EQ(extract(target), 1);
    EXPECT_EQ(readFile(target + "/var/mobile/Library/SMS/sms.db"), QByteArray("sms database"));
    EXPECT_EQ(readFile(target + "/var/mobile/Library/Notes/notes.sqlite"), QByteArray("notes"));
    EXPECT_FALSE(QFileInfo::exists(target + "/userdump.cpio.gz"));
    EXPECT_EQ(QDir(path("work")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"relay"});
    EXPECT_FALSE(QFileInfo::exists(path("evil2")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/orvane-absolute-evil")));
}

TEST_F(FileRelay, DeviceWithoutTheSourcesReportsErrors)
{
    SimulatedDeviceBuilder builder(path("phone"));
    connect(builder);
    EXPECT_EQ(extract(path("relay")), 2);
}

TEST_F(FileRelay, DamagedArchiveReportsErrors)
{
    QByteArray archive = makeCpioGzArchive(kHostileArchive);
    archive.chop(archive.size() / 2);
    SimulatedDeviceBuilder builder(path("phone"));
    builder.fileRelayArchive(archive);
    connect(builder);
    EXPECT_EQ(extract(path("relay")), 2);
}

TEST(CpioArchive, RejectsGarbageAndEmptyFiles)
{
    QTemporaryDir dir;
    for (const QByteArray& bytes : {QByteArray(), QByteArray("not gzip at all"), makeCpioGzArchive({}).left(10)}) {
        QFile file(dir.path() + "/archive.gz");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        QString error;
        EXPECT_FALSE(CpioArchiveExtractor::extract(file.fileName(), dir.path() + "/out", &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(CpioArchive, CountsRefusedEntries)
{
    QTemporaryDir dir;
    QFile file(dir.path() + "/archive.gz");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(makeCpioGzArchive(kHostileArchive));
    file.close();
    int refused = 0;
    EXPECT_TRUE(CpioArchiveExtractor::extract(file.fileName(), dir.path() + "/out/in", nullptr, &refused));
    EXPECT_EQ(refused, 3);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/out/evil"));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/out/evil2"));
}

// Entries the local file system cannot take cost only themselves: the
// archive's later entries are still unpacked, and the caller learns how many
// were lost.
TEST(CpioArchive, AnEntryThatCannotBeWrittenIsCountedAndTheRestUnpacked)
{
    QTemporaryDir dir;
    const QString tooLong(300, QLatin1Char('n'));
    const QList<QPair<QString, QByteArray>> entries = {
        {"var/" + tooLong, "a name longer than a file system allows"},
        {"var/plain", "a file"},
        {"var/plain/inside", "under a file, where the archive wants a folder"},
        {"var/folder", QByteArray()},
        {"var/folder", "a file where a folder already is"},
        {"var/last.db", "the last entry"},
    };
    QFile file(dir.path() + "/archive.gz");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(makeCpioGzArchive(entries));
    file.close();
    int refused = -1;
    int failed = -1;
    QString error;
    EXPECT_TRUE(CpioArchiveExtractor::extract(file.fileName(), dir.path() + "/out", &error, &refused,
                                              &failed))
        << error.toStdString();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(failed, 3);
    EXPECT_EQ(readFile(dir.path() + "/out/var/plain"), "a file");
    EXPECT_TRUE(QFileInfo(dir.path() + "/out/var/folder").isDir());
    EXPECT_EQ(readFile(dir.path() + "/out/var/last.db"), "the last entry");
}

} // namespace
