// Every file operation of the device interface through its real backend
// (libimobiledevice's AFC client) against the fake device's AFC service.
#include "DeviceLayerFixture.h"

#include <QRandomGenerator>

namespace {

constexpr qsizetype kBlock = 4 * 1024 * 1024;
QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray readLocal(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// --- File access through the real backend ---

class DeviceFiles : public DeviceLayer {
protected:
    void SetUp() override
    {
        DeviceLayer::SetUp();
        pairInAdvance();
        startDetection();
        m_mux.attach(m_device.get());
        ASSERT_TRUE(m_events.waitForSuccess());
        m_local = m_folder.path() + QStringLiteral("/local");
        ASSERT_TRUE(QDir().mkpath(m_local));
    }
    QString m_local;
};

TEST_F(DeviceFiles, AnswersExistenceInformationAndFolders)
{
    writeLocal(QStringLiteral("iTunes_Control/iTunes/iTunesDB"), QByteArray(1234, 'd'));
    m_device->addFileInfo(QStringLiteral("/iTunes_Control/iTunes/iTunesDB"), QStringLiteral("st_text"), QStringLiteral("12a"));
    m_device->addFileInfo(QStringLiteral("/iTunes_Control/iTunes/iTunesDB"), QStringLiteral("st_empty"), QString());
    QDir().mkpath(afcPath(QStringLiteral("Empty")));

    EXPECT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/iTunes_Control/iTunes/iTunesDB")));
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/iTunes_Control/none")));
    const auto info = m_interface->getFileInfo(QStringLiteral("/iTunes_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->value("st_size"), QVariant(qint64(1234)));
    EXPECT_EQ(info->value("st_text"), QVariant(QStringLiteral("12a")));
    EXPECT_EQ(info->value("st_empty"), QVariant(qint64(0)));
    EXPECT_EQ(info->value("st_ifmt"), QVariant(QStringLiteral("S_IFREG")));
    EXPECT_EQ(info->value("path"), QVariant(QStringLiteral("/iTunes_Control/iTunes/iTunesDB")));
    EXPECT_FALSE(m_interface->getFileInfo(QStringLiteral("/none")).has_value());

    EXPECT_TRUE(m_interface->isDirectoryAtPath(QStringLiteral("/iTunes_Control")));
    EXPECT_FALSE(m_interface->isDirectoryAtPath(QStringLiteral("/iTunes_Control/iTunes/iTunesDB")));
    EXPECT_EQ(m_interface->directoryContents(QStringLiteral("/iTunes_Control")), QStringList{"iTunes"});
    EXPECT_EQ(m_interface->directoryContents(QStringLiteral("/Empty")), QStringList());
    EXPECT_FALSE(m_interface->directoryContents(QStringLiteral("/iTunes_Control/iTunes/iTunesDB")).has_value());

    EXPECT_TRUE(m_interface->makeDir(QStringLiteral("/Made")));
    EXPECT_TRUE(QFileInfo(afcPath(QStringLiteral("Made"))).isDir());
}

TEST_F(DeviceFiles, ReadsRanges)
{
    const QByteArray content = randomBytes(kBlock + 100, 7);
    writeLocal(QStringLiteral("data.bin"), content);
    EXPECT_EQ(m_interface->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/data.bin"), 10, 20),
              content.mid(10, 20));
    // More than one block.
    EXPECT_EQ(m_interface->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/data.bin"), 50, kBlock + 40),
              content.mid(50, kBlock + 40));
    // Past the end of the file: nothing.
    EXPECT_FALSE(m_interface->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/data.bin"), kBlock, 200)
                     .has_value());
    EXPECT_FALSE(m_interface->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/none"), 0, 1).has_value());
}

struct CopyCase {
    const char* name;
    qsizetype size;
};

class DeviceFileCopy : public DeviceFiles, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(DeviceFileCopy, CopiesEveryByteBothWays)
{
    const QByteArray content = randomBytes(GetParam().size, 11);
    writeLocal(QStringLiteral("DCIM/100APPLE/IMG_0001.MOV"), content);
    const QString local = m_local + QStringLiteral("/sub/IMG_0001.MOV");
    ASSERT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/DCIM/100APPLE/IMG_0001.MOV"), local));
    EXPECT_TRUE(readLocal(local) == content);
    // An existing local file is left alone.
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/DCIM/100APPLE/IMG_0001.MOV"), local));

    EXPECT_EQ(m_events.communicating(),
              (QList<QPair<bool, QString>>{{true, "/DCIM/100APPLE/IMG_0001.MOV"}, {false, "/DCIM/100APPLE/IMG_0001.MOV"}}));

    ASSERT_TRUE(m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("/DCIM/100APPLE/copy.mov")));
    EXPECT_TRUE(readLocal(afcPath(QStringLiteral("DCIM/100APPLE/copy.mov"))) == content);
    // Nothing but the two files is left in the folder (no temporary upload).
    EXPECT_EQ(m_interface->directoryContents(QStringLiteral("/DCIM/100APPLE")),
              (QStringList{"IMG_0001.MOV", "copy.mov"}));
    // An existing device file is not overwritten; a missing device folder is not made.
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("/DCIM/100APPLE/copy.mov")));
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("/NoFolder/copy.mov")));
}

INSTANTIATE_TEST_SUITE_P(FakeDevice, DeviceFileCopy,
                         ::testing::Values(CopyCase{"Empty", 0}, CopyCase{"Small", 1000},
                                           CopyCase{"ExactBlocks", 2 * kBlock}, CopyCase{"Large", 2 * kBlock + 12345}),
                         [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST_F(DeviceFiles, CopiesAFolderWithoutLeavingTheTarget)
{
    writeLocal(QStringLiteral("Books/a.epub"), "a");
    writeLocal(QStringLiteral("Books/Sub/b.pdf"), "b");
    // What the hostile entries name on the device itself.
    writeLocal(QStringLiteral("evil"), "escaped");
    writeLocal(QStringLiteral("Books/etc/passwd"), "root:x:0:0");
    m_device->addDirectoryEntry(QStringLiteral("/Books"), QStringLiteral("../evil"));
    m_device->addDirectoryEntry(QStringLiteral("/Books"), QStringLiteral("/etc/passwd"));
    m_device->addDirectoryEntry(QStringLiteral("/Books"), QStringLiteral(".."));

    const QString target = m_local + QStringLiteral("/Books");
    m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/Books"), target);
    EXPECT_EQ(readLocal(target + QStringLiteral("/a.epub")), QByteArray("a"));
    EXPECT_EQ(readLocal(target + QStringLiteral("/Sub/b.pdf")), QByteArray("b"));
    EXPECT_FALSE(QFileInfo::exists(m_local + QStringLiteral("/evil")));
    EXPECT_FALSE(QFileInfo::exists(m_folder.path() + QStringLiteral("/evil")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/etc/passwd")) && readLocal(QStringLiteral("/etc/passwd")) == "root:x:0:0");
}

TEST_F(DeviceFiles, DeletesAndRenames)
{
    writeLocal(QStringLiteral("a.txt"), "a");
    QDir().mkpath(afcPath(QStringLiteral("Folder")));
    writeLocal(QStringLiteral("Full/x"), "x");
    EXPECT_TRUE(m_interface->renamePath(QStringLiteral("/a.txt"), QStringLiteral("/Folder/b.txt")));
    EXPECT_TRUE(QFile::exists(afcPath(QStringLiteral("Folder/b.txt"))));
    EXPECT_TRUE(m_interface->deletePath(QStringLiteral("/Folder/b.txt")));
    EXPECT_FALSE(QFile::exists(afcPath(QStringLiteral("Folder/b.txt"))));
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/Folder/b.txt")));
    EXPECT_TRUE(m_interface->deletePath(QStringLiteral("/Folder")));
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/Full")));
    EXPECT_TRUE(QFile::exists(afcPath(QStringLiteral("Full/x"))));
}

TEST_F(DeviceFiles, ACancelledCopyLeavesNoFile)
{
    writeLocal(QStringLiteral("big.bin"), randomBytes(2 * kBlock, 5));
    const std::atomic<bool> cancel{true};
    const QString local = m_local + QStringLiteral("/big.bin");
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local, &cancel));
    EXPECT_FALSE(QFileInfo::exists(local));
    // The next copy is not cancelled.
    EXPECT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local));
}

TEST_F(DeviceFiles, AnUnpluggedDeviceLeavesNoPartialCopy)
{
    writeLocal(QStringLiteral("big.bin"), randomBytes(2 * kBlock, 3));
    m_mux.detach(m_device.get());
    const QString local = m_local + QStringLiteral("/big.bin");
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local));
    EXPECT_FALSE(QFileInfo::exists(local));
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(m_folder.path() + QStringLiteral("/afc/big.bin"),
                                                          QStringLiteral("/again.bin")));
}

} // namespace
