#include "FakeDeviceFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>

namespace {

constexpr uint32_t kBlock = 4 * 1024 * 1024;

QStringList strings(char** list)
{
    QStringList out;
    for (char** item = list; item && *item; ++item)
        out.append(QString::fromUtf8(*item));
    afc_dictionary_free(list);
    return out;
}

QMap<QString, QString> pairs(const QStringList& flat)
{
    QMap<QString, QString> out;
    for (qsizetype i = 0; i + 1 < flat.size(); i += 2)
        out.insert(flat[i], flat[i + 1]);
    return out;
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

class AfcService : public FakeDeviceFixture {
protected:
    void SetUp() override
    {
        FakeDeviceFixture::SetUp();
        m_mux.attach(m_device.get());
        pairInAdvance();
        m_idevice = openDevice();
        m_afc = openAfc(m_idevice.get(), &m_lockdown);
        ASSERT_TRUE(m_afc);
    }
    void TearDown() override
    {
        m_afc.reset();
        m_lockdown.reset();
        m_idevice.reset();
        FakeDeviceFixture::TearDown();
    }

    void writeLocal(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(afcPath(relative)).absolutePath());
        QFile file(afcPath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    afc_error_t info(const char* path, QMap<QString, QString>* out)
    {
        char** list = nullptr;
        const afc_error_t rc = afc_get_file_info(m_afc.get(), path, &list);
        *out = pairs(strings(list));
        return rc;
    }
    afc_error_t listing(const char* path, QStringList* out)
    {
        char** list = nullptr;
        const afc_error_t rc = afc_read_directory(m_afc.get(), path, &list);
        *out = strings(list);
        return rc;
    }

    Device m_idevice;
    Lockdown m_lockdown;
    Afc m_afc;
};

TEST_F(AfcService, GivesFileInformationInTheDevicesKeys)
{
    writeLocal(QStringLiteral("DCIM/100APPLE/IMG_0001.JPG"), QByteArray(1234, 'x'));
    m_device->addFileInfo(QStringLiteral("/DCIM/100APPLE/IMG_0001.JPG"), QStringLiteral("st_odd"), QStringLiteral("12a"));
    QMap<QString, QString> file;
    ASSERT_EQ(info("/DCIM/100APPLE/IMG_0001.JPG", &file), AFC_E_SUCCESS);
    EXPECT_EQ(file.value("st_size"), QStringLiteral("1234"));
    EXPECT_EQ(file.value("st_ifmt"), QStringLiteral("S_IFREG"));
    EXPECT_EQ(file.value("st_odd"), QStringLiteral("12a"));
    EXPECT_TRUE(file.contains("st_mtime"));

    QMap<QString, QString> folder;
    ASSERT_EQ(info("/DCIM", &folder), AFC_E_SUCCESS);
    EXPECT_EQ(folder.value("st_ifmt"), QStringLiteral("S_IFDIR"));

    QMap<QString, QString> missing;
    EXPECT_EQ(info("/DCIM/nothing", &missing), AFC_E_OBJECT_NOT_FOUND);
    EXPECT_TRUE(missing.isEmpty());
}

TEST_F(AfcService, ListsFoldersWithTheNamesTheDeviceSends)
{
    writeLocal(QStringLiteral("Books/a.epub"), "a");
    QDir().mkpath(afcPath(QStringLiteral("Books/Sub")));
    QDir().mkpath(afcPath(QStringLiteral("Empty")));
    m_device->addDirectoryEntry(QStringLiteral("/Books"), QStringLiteral("../evil"));
    m_device->addDirectoryEntry(QStringLiteral("/Books"), QStringLiteral("/etc/passwd"));

    QStringList names;
    ASSERT_EQ(listing("/Books", &names), AFC_E_SUCCESS);
    EXPECT_EQ(names, (QStringList{".", "..", "Sub", "a.epub", "../evil", "/etc/passwd"}));
    ASSERT_EQ(listing("/Empty", &names), AFC_E_SUCCESS);
    EXPECT_EQ(names, (QStringList{".", ".."}));
    EXPECT_NE(listing("/Books/a.epub", &names), AFC_E_SUCCESS);
    EXPECT_NE(listing("/Missing", &names), AFC_E_SUCCESS);
}

TEST_F(AfcService, KeepsHostilePathsInsideTheServedFolder)
{
    // The hostile entries of a listing, asked for as paths: they resolve inside the folder.
    QMap<QString, QString> found;
    EXPECT_EQ(info("/Books/../../../etc/passwd", &found), AFC_E_OBJECT_NOT_FOUND);
    EXPECT_EQ(info("//etc/passwd", &found), AFC_E_OBJECT_NOT_FOUND);

    uint64_t handle = 0;
    ASSERT_EQ(afc_file_open(m_afc.get(), "/../evil", AFC_FOPEN_WRONLY, &handle), AFC_E_SUCCESS);
    EXPECT_EQ(afc_file_close(m_afc.get(), handle), AFC_E_SUCCESS);
    EXPECT_TRUE(QFile::exists(afcPath(QStringLiteral("evil"))));
    EXPECT_FALSE(QFile::exists(m_folder.path() + QStringLiteral("/evil")));

    // A link out of the folder is refused.
    ASSERT_TRUE(QFile::link(m_folder.path(), afcPath(QStringLiteral("out"))));
    EXPECT_EQ(afc_file_open(m_afc.get(), "/out/secret", AFC_FOPEN_WRONLY, &handle), AFC_E_PERM_DENIED);
    EXPECT_FALSE(QFile::exists(m_folder.path() + QStringLiteral("/secret")));
}

TEST_F(AfcService, ReadsAndWritesALargeFileInBlocks)
{
    const QByteArray original = randomBytes(2 * kBlock + 12345);
    writeLocal(QStringLiteral("Media/big.bin"), original);

    uint64_t handle = 0;
    ASSERT_EQ(afc_file_open(m_afc.get(), "/Media/big.bin", AFC_FOPEN_RDONLY, &handle), AFC_E_SUCCESS);
    QByteArray copy;
    QByteArray block(kBlock, Qt::Uninitialized);
    for (;;) {
        uint32_t got = 0;
        ASSERT_EQ(afc_file_read(m_afc.get(), handle, block.data(), kBlock, &got), AFC_E_SUCCESS);
        copy.append(block.constData(), got);
        if (got < kBlock)
            break;
    }
    EXPECT_EQ(QCryptographicHash::hash(copy, QCryptographicHash::Sha1),
              QCryptographicHash::hash(original, QCryptographicHash::Sha1));

    // A range read from the file's start; the end of the file reads 0 bytes.
    ASSERT_EQ(afc_file_seek(m_afc.get(), handle, 5 * 1024 * 1024, SEEK_SET), AFC_E_SUCCESS);
    uint64_t position = 0;
    EXPECT_EQ(afc_file_tell(m_afc.get(), handle, &position), AFC_E_SUCCESS);
    EXPECT_EQ(position, 5u * 1024 * 1024);
    uint32_t got = 0;
    ASSERT_EQ(afc_file_read(m_afc.get(), handle, block.data(), 100, &got), AFC_E_SUCCESS);
    EXPECT_EQ(QByteArray(block.constData(), got), original.mid(5 * 1024 * 1024, 100));
    ASSERT_EQ(afc_file_seek(m_afc.get(), handle, 0, SEEK_END), AFC_E_SUCCESS);
    ASSERT_EQ(afc_file_read(m_afc.get(), handle, block.data(), kBlock, &got), AFC_E_SUCCESS);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(afc_file_close(m_afc.get(), handle), AFC_E_SUCCESS);

    ASSERT_EQ(afc_make_directory(m_afc.get(), "/Upload"), AFC_E_SUCCESS);
    ASSERT_EQ(afc_file_open(m_afc.get(), "/Upload/big.bin", AFC_FOPEN_WRONLY, &handle), AFC_E_SUCCESS);
    for (qsizetype offset = 0; offset < original.size(); offset += kBlock) {
        const QByteArray part = original.mid(offset, kBlock);
        uint32_t written = 0;
        ASSERT_EQ(afc_file_write(m_afc.get(), handle, part.constData(), static_cast<uint32_t>(part.size()), &written),
                  AFC_E_SUCCESS);
        EXPECT_EQ(written, static_cast<uint32_t>(part.size()));
    }
    EXPECT_EQ(afc_file_close(m_afc.get(), handle), AFC_E_SUCCESS);
    QFile uploaded(afcPath(QStringLiteral("Upload/big.bin")));
    ASSERT_TRUE(uploaded.open(QIODevice::ReadOnly));
    EXPECT_TRUE(uploaded.readAll() == original);
}

TEST_F(AfcService, OpensOnlyWhatExists)
{
    QDir().mkpath(afcPath(QStringLiteral("Folder")));
    uint64_t handle = 0;
    EXPECT_EQ(afc_file_open(m_afc.get(), "/missing.txt", AFC_FOPEN_RDONLY, &handle), AFC_E_OBJECT_NOT_FOUND);
    EXPECT_EQ(afc_file_open(m_afc.get(), "/Folder", AFC_FOPEN_RDONLY, &handle), AFC_E_OBJECT_IS_DIR);
    EXPECT_EQ(afc_file_open(m_afc.get(), "/No/Such/Folder/x", AFC_FOPEN_WRONLY, &handle), AFC_E_OBJECT_NOT_FOUND);
    char byte = 0;
    uint32_t got = 0;
    EXPECT_NE(afc_file_read(m_afc.get(), 77, &byte, 1, &got), AFC_E_SUCCESS);
}

TEST_F(AfcService, MakesRenamesAndRemoves)
{
    ASSERT_EQ(afc_make_directory(m_afc.get(), "/a/b/c"), AFC_E_SUCCESS);
    EXPECT_TRUE(QFileInfo(afcPath(QStringLiteral("a/b/c"))).isDir());
    EXPECT_EQ(afc_make_directory(m_afc.get(), "/a/b/c"), AFC_E_SUCCESS);
    writeLocal(QStringLiteral("a/file.txt"), "text");
    ASSERT_EQ(afc_rename_path(m_afc.get(), "/a/file.txt", "/a/b/renamed.txt"), AFC_E_SUCCESS);
    EXPECT_TRUE(QFile::exists(afcPath(QStringLiteral("a/b/renamed.txt"))));
    EXPECT_EQ(afc_rename_path(m_afc.get(), "/a/file.txt", "/a/again.txt"), AFC_E_OBJECT_NOT_FOUND);

    EXPECT_EQ(afc_remove_path(m_afc.get(), "/a/b"), AFC_E_DIR_NOT_EMPTY);
    EXPECT_EQ(afc_remove_path(m_afc.get(), "/a/b/renamed.txt"), AFC_E_SUCCESS);
    EXPECT_EQ(afc_remove_path(m_afc.get(), "/a/b/c"), AFC_E_SUCCESS);
    EXPECT_EQ(afc_remove_path(m_afc.get(), "/a/b/c"), AFC_E_OBJECT_NOT_FOUND);
    EXPECT_FALSE(QFileInfo::exists(afcPath(QStringLiteral("a/b/c"))));
}

TEST_F(AfcService, AnUnpluggedDeviceFailsTheNextCall)
{
    writeLocal(QStringLiteral("file.txt"), "x");
    m_mux.detach(m_device.get());
    QMap<QString, QString> found;
    EXPECT_NE(info("/file.txt", &found), AFC_E_SUCCESS);
}

TEST_F(AfcService, FailsLoudlyOnAnOperationItDoesNotKnow)
{
    writeLocal(QStringLiteral("file.txt"), "xyz");
    EXPECT_NE(afc_truncate(m_afc.get(), "/file.txt", 1), AFC_E_SUCCESS);
    ASSERT_EQ(m_mux.failures().size(), 1);
    EXPECT_TRUE(m_mux.failures().first().contains(QStringLiteral("unknown operation")));
    m_mux.log().clear();
}

} // namespace
