#include <functional>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "AfcConnection.h"
#include "CopyFailure.h"
#include "DeviceEventRecorder.h"
#include "IPodFramework.h"
#include "QELDeviceInterface.h"
#include "SimulatedAfcConnection.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

constexpr qint64 kBlock = 4 * 1024 * 1024;

QByteArray randomBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
        const quint32 value = generator.generate();
        memcpy(bytes.data() + i, &value, 4);
    }
    return bytes;
}

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

// Every file and folder below `root`, with a hash of each file.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        tree.insert(relative,
                    it.fileInfo().isDir()
                        ? QByteArray("<dir>")
                        : QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1));
    }
    return tree;
}

enum class Mode { IOS, DiskMode };

// The same device tree, reached over the simulated file service or as a
// disk-mode iPod's volume.
class DeviceFileAccess : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_big = randomBytes(2 * kBlock + 12345, 7);
        m_exact = randomBytes(kBlock, 8);
        const QList<QPair<QString, QByteArray>> files = {
            {"Docs/a.txt", "hello device"},
            {"Docs/sub/b.bin", randomBytes(1000, 3)},
            {"Docs/.hidden", "dot"},
            {"zero.bin", QByteArray("")},
            {"big.bin", m_big},
            {"exact.bin", m_exact},
            {"iPod_Control/Device/SysInfo", "info"},
        };
        if (GetParam() == Mode::IOS) {
            SimulatedDeviceBuilder builder(path("phone"));
            for (const auto& [name, bytes] : files)
                builder.afcFile(name, bytes);
            builder.afcFolder("Empty").afcFolder("Docs/emptysub");
            builder.readError("/broken.bin", kBlock + 10)
                .afcFile("broken.bin", randomBytes(2 * kBlock, 9));
            m_root = builder.afcRoot();
            m_device = m_simulator->attach(builder.build());
        } else {
            m_root = path("IPOD");
            for (const auto& [name, bytes] : files)
                ASSERT_TRUE(writeFile(m_root + "/" + name, bytes));
            QDir().mkpath(m_root + "/Empty");
            QDir().mkpath(m_root + "/Docs/emptysub");
            m_iPods =
                std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {m_root}});
        }
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
        ASSERT_TRUE(m_events.waitForSuccess());
    }

    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
    }

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    bool ios() const { return GetParam() == Mode::IOS; }

    QTemporaryDir m_dir;
    QString m_root;
    QString m_device;
    QByteArray m_big;
    QByteArray m_exact;
    DeviceEventRecorder m_events;
    std::shared_ptr<SimulatedMobileDevice> m_simulator = std::make_shared<SimulatedMobileDevice>();
    std::shared_ptr<IPodFramework> m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    std::unique_ptr<QELDeviceInterface> m_interface;
};

TEST_P(DeviceFileAccess, PathsWithAndWithoutLeadingSlashNameTheSamePlace)
{
    for (const QString& p : {QStringLiteral("/Docs/a.txt"), QStringLiteral("Docs/a.txt"),
                             QStringLiteral("//Docs/./a.txt"), QStringLiteral("/../Docs/a.txt"),
                             QStringLiteral("Docs/sub/../a.txt")})
        EXPECT_TRUE(m_interface->fileExistsAtPath(p)) << p.toStdString();
    EXPECT_TRUE(m_interface->isDirectoryAtPath(QStringLiteral("")));
    EXPECT_TRUE(m_interface->isDirectoryAtPath(QStringLiteral("/")));
    EXPECT_EQ(m_interface->directoryContents(QStringLiteral("")),
              m_interface->directoryContents(QStringLiteral("/")));
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/missing")));
    EXPECT_FALSE(m_interface->fileExistsAtPath(QString()));
}

TEST_P(DeviceFileAccess, FileInformation)
{
    const auto info = m_interface->getFileInfo(QStringLiteral("/big.bin"));
    ASSERT_TRUE(info.has_value());
    if (ios()) {
        EXPECT_EQ(info->value("st_size").userType(), QMetaType::LongLong);
        EXPECT_EQ(info->value("st_size").toLongLong(), m_big.size());
        EXPECT_EQ(info->value("st_ifmt").toString(), QStringLiteral("S_IFREG"));
        EXPECT_EQ(info->value("path").toString(), QStringLiteral("/big.bin"));
    } else {
        EXPECT_EQ(info->value("NSFileSize").toLongLong(), m_big.size());
        EXPECT_FALSE(info->contains("st_size"));
        EXPECT_EQ(info->value("NSFileType").toString(), QStringLiteral("NSFileTypeRegular"));
    }
    EXPECT_FALSE(m_interface->getFileInfo(QStringLiteral("/nothing")).has_value());
}

TEST_P(DeviceFileAccess, FoldersAndListings)
{
    EXPECT_TRUE(m_interface->isDirectoryAtPath(QStringLiteral("/Docs")));
    EXPECT_FALSE(m_interface->isDirectoryAtPath(QStringLiteral("/Docs/a.txt")));
    EXPECT_FALSE(m_interface->isDirectoryAtPath(QStringLiteral("/nothing")));
    const auto docs = m_interface->directoryContents(QStringLiteral("/Docs"));
    ASSERT_TRUE(docs.has_value());
    QStringList sorted = *docs;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{".hidden", "a.txt", "emptysub", "sub"}));
    EXPECT_FALSE(m_interface->directoryContents(QStringLiteral("/Docs/a.txt")).has_value());
    const auto empty = m_interface->directoryContents(QStringLiteral("/Empty"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());

    EXPECT_TRUE(m_interface->makeDir(QStringLiteral("/Made")));
    EXPECT_TRUE(m_interface->isDirectoryAtPath(QStringLiteral("Made")));
    EXPECT_TRUE(QFileInfo(m_root + "/Made").isDir());
}

TEST_P(DeviceFileAccess, RangeReads)
{
    const auto middle = m_interface->getDataContentsAtPathStartingAtPostisionForLength(
        QStringLiteral("/big.bin"), kBlock - 10, kBlock + 20);
    ASSERT_TRUE(middle.has_value());
    EXPECT_EQ(*middle, m_big.mid(kBlock - 10, kBlock + 20));
    const auto past = m_interface->getDataContentsAtPathStartingAtPostisionForLength(
        QStringLiteral("/Docs/a.txt"), 6, 100);
    if (ios()) {
        EXPECT_FALSE(past.has_value());
    } else {
        ASSERT_TRUE(past.has_value());
        EXPECT_EQ(*past, QByteArray("device"));
    }
    EXPECT_FALSE(
        m_interface
            ->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/nothing"), 0, 4)
            .has_value());
}

TEST_P(DeviceFileAccess, RangeReadBeyondFourGiB)
{
    // A sparse file whose last bytes lie past 2^32.
    const qint64 offset = (qint64(1) << 32) + 100;
    QFile sparse(m_root + "/huge.bin");
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.seek(offset));
    ASSERT_EQ(sparse.write("far away"), 8);
    sparse.close();
    const auto far = m_interface->getDataContentsAtPathStartingAtPostisionForLength(
        QStringLiteral("/huge.bin"), quint64(offset) + 4, 4);
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(*far, QByteArray("away"));
}

TEST_P(DeviceFileAccess, CopiesFilesExactlyInBlocks)
{
    for (const QString& name :
         {QStringLiteral("big.bin"), QStringLiteral("exact.bin"), QStringLiteral("zero.bin")}) {
        const QString local = path("out/nested/") + name;
        ASSERT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QLatin1Char('/') + name, local))
            << name.toStdString();
        EXPECT_EQ(
            QCryptographicHash::hash(readFile(local), QCryptographicHash::Sha1),
            QCryptographicHash::hash(readFile(m_root + "/" + name), QCryptographicHash::Sha1));
        EXPECT_EQ(QFileInfo(local).size(), QFileInfo(m_root + "/" + name).size());
    }
    if (ios()) {
        const auto events = m_events.communicating();
        ASSERT_GE(events.size(), 2);
        EXPECT_EQ(events.first(), qMakePair(true, QStringLiteral("/big.bin")));
        EXPECT_EQ(events.at(1), qMakePair(false, QStringLiteral("/big.bin")));
    }
}

TEST_P(DeviceFileAccess, CopyOntoAnExistingTargetIsRefused)
{
    const QString local = path("existing.txt");
    ASSERT_TRUE(writeFile(local, "mine"));
    EXPECT_FALSE(
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/Docs/a.txt"), local));
    EXPECT_EQ(readFile(local), QByteArray("mine"));
    EXPECT_TRUE(m_events.communicating().isEmpty());
}

TEST_P(DeviceFileAccess, CancelledCopyFailsAndLeavesNothing)
{
    std::atomic<bool> cancel{true};
    const QString local = path("cancelled/big.bin");
    EXPECT_FALSE(
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local, &cancel));
    EXPECT_FALSE(QFileInfo::exists(local));
    EXPECT_TRUE(
        QDir(path("cancelled")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // A cancel of the copies running earlier does not touch a later copy, and
    // a copy's own token does not touch the interface's flag.
    m_interface->setCancelFileOperation(true);
    EXPECT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local));
    EXPECT_EQ(readFile(local), m_big);
}

TEST_P(DeviceFileAccess, CancelDuringACopyStopsOnlyThatCopy)
{
    std::atomic<bool> start{false};
    std::atomic<bool> cancelled{false};
    bool firstResult = true;
    std::thread first([&] {
        std::atomic<bool> token{false};
        std::thread canceller([&] {
            while (!start.load())
                std::this_thread::yield();
            token.store(true);
            cancelled.store(true);
        });
        start.store(true);
        while (!cancelled.load())
            std::this_thread::yield();
        firstResult = m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"),
                                                                   path("one.bin"), &token);
        canceller.join();
    });
    const bool second =
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), path("two.bin"));
    first.join();
    EXPECT_FALSE(firstResult);
    EXPECT_FALSE(QFileInfo::exists(path("one.bin")));
    EXPECT_TRUE(second);
    EXPECT_EQ(readFile(path("two.bin")), m_big);
}

TEST_P(DeviceFileAccess, ParallelCopiesShareTheConnection)
{
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            const QString local = path(QStringLiteral("parallel-%1.bin").arg(i));
            if (m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"), local)
                && readFile(local) == m_big)
                ++good;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), 4);
}

TEST_P(DeviceFileAccess, FolderTreeCopiesIdentically)
{
    const QString local = path("tree");
    EXPECT_TRUE(m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/Docs"), local));
    EXPECT_EQ(treeOf(local), treeOf(m_root + "/Docs"));
    // Copying again keeps what is there.
    EXPECT_TRUE(m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/Docs"), local));
    EXPECT_FALSE(m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/Docs/a.txt"),
                                                                   path("notfolder")));
}

TEST_P(DeviceFileAccess, UploadsNeverReplace)
{
    const QString local = path("upload.bin");
    ASSERT_TRUE(writeFile(local, m_big));
    EXPECT_TRUE(
        m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("Docs/uploaded.bin")));
    EXPECT_EQ(readFile(m_root + "/Docs/uploaded.bin"), m_big);
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("/Docs/a.txt")));
    EXPECT_EQ(readFile(m_root + "/Docs/a.txt"), QByteArray("hello device"));
    EXPECT_FALSE(
        m_interface->copyLocalFileAtToDevicePath(path("missing"), QStringLiteral("/Docs/x")));
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(local, QStringLiteral("/NoFolder/x")));
    // No temporary upload names are left behind.
    QStringList names = QDir(m_root + "/Docs").entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, (QStringList{".hidden", "a.txt", "uploaded.bin"}));
}

TEST_P(DeviceFileAccess, DeleteAndRename)
{
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/nothing")));
    EXPECT_TRUE(m_interface->deletePath(QStringLiteral("Docs/a.txt")));
    EXPECT_FALSE(QFileInfo::exists(m_root + "/Docs/a.txt"));
    EXPECT_TRUE(m_interface->renamePath(QStringLiteral("/Docs/sub/b.bin"),
                                        QStringLiteral("/Docs/b-renamed.bin")));
    EXPECT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/b-renamed.bin")));
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/sub/b.bin")));
    // Rename replaces an existing file, as a safe replacement needs.
    EXPECT_TRUE(m_interface->renamePath(QStringLiteral("/zero.bin"),
                                        QStringLiteral("/Docs/b-renamed.bin")));
    EXPECT_EQ(readFile(m_root + "/Docs/b-renamed.bin"), QByteArray());
    EXPECT_FALSE(m_interface->renamePath(QStringLiteral("/nothing"), QStringLiteral("/x")));
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/")));
}

TEST_P(DeviceFileAccess, DeleteRemovesOnlyAnEmptyFolder)
{
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/Docs")));
    EXPECT_EQ(readFile(m_root + "/Docs/a.txt"), QByteArray("hello device"));
    EXPECT_TRUE(QFileInfo::exists(m_root + "/Docs/sub/b.bin"));
    EXPECT_TRUE(m_interface->deletePath(QStringLiteral("/Docs/emptysub")));
    EXPECT_FALSE(QFileInfo::exists(m_root + "/Docs/emptysub"));
}

// A disk-mode volume is any file system: a symlink on it may point at the
// user's own files, which no device call may read, change or remove.
TEST_P(DeviceFileAccess, SymlinksOnTheVolumeNeverLeadOffIt)
{
    if (ios())
        GTEST_SKIP() << "the device's own file service confines its paths";
    const QString outside = path("outside");
    ASSERT_TRUE(writeFile(outside + "/secret.txt", "mine"));
    ASSERT_TRUE(QFile::link(outside, m_root + "/Linked"));
    ASSERT_TRUE(QFile::link(outside + "/secret.txt", m_root + "/Docs/secret-link"));
    ASSERT_TRUE(writeFile(path("upload.txt"), "upload"));

    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/Linked/secret.txt")));
    EXPECT_FALSE(m_interface->isDirectoryAtPath(QStringLiteral("/Linked")));
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/Linked/secret.txt"),
                                                              path("copied.txt")));
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/Docs/secret-link"),
                                                              path("copied.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("copied.txt")));
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(path("upload.txt"),
                                                          QStringLiteral("/Linked/new.txt")));
    EXPECT_FALSE(m_interface->deletePath(QStringLiteral("/Linked/secret.txt")));
    EXPECT_FALSE(
        m_interface->renamePath(QStringLiteral("/Docs/a.txt"), QStringLiteral("/Linked/a.txt")));
    EXPECT_FALSE(m_interface->makeDir(QStringLiteral("/Linked/made")));
    EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"secret.txt"});
    EXPECT_EQ(readFile(outside + "/secret.txt"), QByteArray("mine"));
    EXPECT_EQ(readFile(m_root + "/Docs/a.txt"), QByteArray("hello device"));
}

TEST_P(DeviceFileAccess, AFolderCopyWithAnEntryLeftBehindFails)
{
    // A name that is not UTF-8 cannot be named again once read as text, and a
    // link that leads nowhere has nothing to copy: the rest is copied, and the
    // copy says it is incomplete.
    const QByteArray folder = QFile::encodeName(m_root + "/Odd");
    ASSERT_TRUE(QDir().mkpath(m_root + "/Odd"));
    ASSERT_TRUE(writeFile(m_root + "/Odd/fine.txt", "fine"));
    const struct {
        const char* name;
        std::function<bool()> make;
    } cases[] = {
        {"a name that is not UTF-8",
         [&] {
             const int fd =
                 ::open((folder + "/bad\xff\xfe.txt").constData(), O_CREAT | O_WRONLY, 0644);
             return fd >= 0 && ::close(fd) == 0;
         }},
        {"a dangling link",
         [&] { return QFile::link(m_root + "/Odd/nowhere", m_root + "/Odd/dangling"); }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The simulated file service lists through Qt, which cannot see such
        // a name at all; a real device's service hands over its bytes.
        if (ios() && QByteArray(c.name).contains("UTF-8"))
            continue;
        ASSERT_TRUE(c.make());
        const QString target = path(QStringLiteral("odd-%1").arg(++n));
        EXPECT_FALSE(
            m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/Odd"), target));
        EXPECT_EQ(readFile(target + "/fine.txt"), QByteArray("fine"));
        ASSERT_EQ(::system(("rm -rf '" + folder + "'").constData()), 0);
        ASSERT_TRUE(QDir().mkpath(m_root + "/Odd"));
        ASSERT_TRUE(writeFile(m_root + "/Odd/fine.txt", "fine"));
    }
}

// Sets the process umask for one test and puts the old one back.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

void setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

TEST_P(DeviceFileAccess, CopiesFollowTheUmaskAndKeepTheDeviceFilesDate)
{
    const QDateTime onDevice = QDateTime::fromString("2015-03-04T05:06:07.000Z", Qt::ISODateWithMs);
    const QDateTime captured = QDateTime::fromString("2012-01-02T03:04:05.000Z", Qt::ISODateWithMs);
    setModified(m_root + "/Docs/a.txt", onDevice);
    setModified(m_root + "/big.bin", onDevice);
    const QFile::Permissions owner =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    struct Case {
        mode_t mask;
        QFile::Permissions want;
    };
    int run = 0;
    for (const Case& c :
         {Case{022, owner | QFile::ReadGroup | QFile::ReadOther}, Case{077, owner}}) {
        SCOPED_TRACE(c.mask);
        ScopedUmask mask(c.mask);
        const QString folder = path(QStringLiteral("umask%1/").arg(++run));
        ASSERT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath("/Docs/a.txt", folder + "a.txt"));
        EXPECT_EQ(QFile::permissions(folder + "a.txt"), c.want);
        EXPECT_EQ(QFileInfo(folder + "a.txt").lastModified().toUTC(), onDevice);
        ASSERT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath("/big.bin", folder + "big.bin",
                                                                 nullptr, captured));
        EXPECT_EQ(QFile::permissions(folder + "big.bin"), c.want);
        EXPECT_EQ(QFileInfo(folder + "big.bin").lastModified().toUTC(), captured);
    }
    // The other way, a volume's file keeps the date of the user's file.
    if (!ios()) {
        ASSERT_TRUE(writeFile(path("mine.txt"), "mine"));
        setModified(path("mine.txt"), captured);
        ASSERT_TRUE(m_interface->copyLocalFileAtToDevicePath(path("mine.txt"), "/Docs/mine.txt"));
        EXPECT_EQ(QFileInfo(m_root + "/Docs/mine.txt").lastModified().toUTC(), captured);
    }
}

TEST_P(DeviceFileAccess, AFullDiskFailsTheCopyLeavesNothingAndSaysWhy)
{
    CopyFailures::clear();
    {
        CopyFailures::ScopedInjectedWriteFailure full(ENOSPC, kBlock + 100);
        EXPECT_FALSE(
            m_interface->copyFileFromDeviceAtToLocalPath("/big.bin", path("full/big.bin")));
        EXPECT_EQ(CopyFailures::last(), CopyFailure::DiskFull);
        EXPECT_TRUE(
            QDir(path("full"))
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        CopyFailures::clear();
        ASSERT_TRUE(writeFile(path("upload.bin"), m_big));
        if (!ios()) {
            EXPECT_FALSE(
                m_interface->copyLocalFileAtToDevicePath(path("upload.bin"), "/Docs/upload.bin"));
            EXPECT_EQ(CopyFailures::last(), CopyFailure::DiskFull);
            QStringList names = QDir(m_root + "/Docs").entryList(QDir::Files | QDir::Hidden);
            names.sort();
            EXPECT_EQ(names, (QStringList{".hidden", "a.txt"}));
        }
    }
    CopyFailures::clear();
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath("/gone.bin", path("full/gone.bin")));
    EXPECT_EQ(CopyFailures::last(), CopyFailure::MissingOnDevice);
    CopyFailures::clear();
    EXPECT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath("/big.bin", path("full/big.bin")));
    EXPECT_EQ(readFile(path("full/big.bin")), m_big);
}

TEST_P(DeviceFileAccess, CancelledUploadLeavesNothingOnTheDevice)
{
    std::atomic<bool> cancel{true};
    ASSERT_TRUE(writeFile(path("upload.bin"), m_big));
    EXPECT_FALSE(
        m_interface->copyLocalFileAtToDevicePath(path("upload.bin"), "/Docs/upload.bin", &cancel));
    QStringList names = QDir(m_root + "/Docs").entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, (QStringList{".hidden", "a.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Both, DeviceFileAccess, ::testing::Values(Mode::IOS, Mode::DiskMode),
                         [](const auto& info) {
                             return info.param == Mode::IOS ? "IOS" : "DiskMode";
                         });

// --- iOS only: what only a device can do ---

class DeviceFileAccessIOS : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
    }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    QString connect(SimulatedDeviceBuilder& builder)
    {
        const QString device = m_simulator->attach(builder.build());
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
        EXPECT_TRUE(m_events.waitForSuccess());
        return device;
    }

    QTemporaryDir m_dir;
    DeviceEventRecorder m_events;
    std::shared_ptr<SimulatedMobileDevice> m_simulator = std::make_shared<SimulatedMobileDevice>();
    std::shared_ptr<IPodFramework> m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    std::unique_ptr<QELDeviceInterface> m_interface;
};

// Cancels one copy from inside it: when the device reports that the copy of
// its file has begun.
class CancelWhenCommunicating : public DeviceEventRecorder {
public:
    std::atomic<bool> token{false};
    QString path;
    void OnDeviceCommunicatingWithSourceFile(bool communicating, const QString& devicePath) override
    {
        DeviceEventRecorder::OnDeviceCommunicatingWithSourceFile(communicating, devicePath);
        if (communicating && devicePath == path)
            token.store(true);
    }
};

TEST_F(DeviceFileAccessIOS, CancelOnceTheCopyHasBegunStopsItAndLeavesNothing)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("big.bin", randomBytes(3 * kBlock, 5));
    connect(builder);
    CancelWhenCommunicating cancelling;
    cancelling.path = QStringLiteral("/big.bin");
    m_interface->setDelegate(&cancelling);
    ASSERT_FALSE(cancelling.token.load());
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(
        QStringLiteral("/big.bin"), path("out/big.bin"), &cancelling.token));
    EXPECT_TRUE(cancelling.token.load());
    EXPECT_EQ(cancelling.communicating().size(), 2);
    EXPECT_TRUE(QDir(path("out")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    m_interface->setDelegate(&m_events);
    // The next copy, with a token of its own, is whole.
    std::atomic<bool> fresh{false};
    EXPECT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/big.bin"),
                                                             path("out/big.bin"), &fresh));
}

TEST_F(DeviceFileAccessIOS, ReadErrorFailsTheCopyAndLeavesNothing)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("broken.bin", randomBytes(3 * kBlock, 1)).readError("/broken.bin", kBlock + 10);
    connect(builder);
    const QString local = path("out/broken.bin");
    EXPECT_FALSE(
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/broken.bin"), local));
    EXPECT_FALSE(QFileInfo::exists(local));
    EXPECT_TRUE(QDir(path("out")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_FALSE(m_interface
                     ->getDataContentsAtPathStartingAtPostisionForLength(
                         QStringLiteral("/broken.bin"), 0, 2 * kBlock)
                     .has_value());
}

TEST_F(DeviceFileAccessIOS, DigitsBecomeNumbersOtherTextStays)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("a.txt", "abc");
    connect(builder);
    const auto info = m_interface->getFileInfo(QStringLiteral("a.txt"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->value("st_size"), QVariant(qint64(3)));
    EXPECT_EQ(info->value("st_ifmt"), QVariant(QStringLiteral("S_IFREG")));
    EXPECT_EQ(info->value("path"), QVariant(QStringLiteral("a.txt")));
}

TEST_F(DeviceFileAccessIOS, UnpluggedDeviceFailsEveryOperation)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("a.txt", "abc");
    const QString device = connect(builder);
    m_simulator->detach(device);
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/a.txt")));
    EXPECT_FALSE(
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/a.txt"), path("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("a.txt")));
    EXPECT_FALSE(m_interface->directoryContents(QStringLiteral("/")).has_value());
}

// The simulated file service confines paths as a device does, wherever the
// links in its tree lead: a link out of the tree is not there, and nothing is
// read or written through it; a link that stays inside works.
TEST_F(DeviceFileAccessIOS, LinksInTheServedTreeNeverLeadOutOfIt)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("Docs/a.txt", "inside");
    connect(builder);
    const QString afc = builder.afcRoot();
    ASSERT_TRUE(writeFile(path("outside/secret.txt"), "secret"));
    ASSERT_TRUE(QFile::link(path("outside"), afc + "/out"));
    ASSERT_TRUE(QFile::link(path("outside/secret.txt"), afc + "/secret"));
    ASSERT_TRUE(QFile::link(path("outside/new.txt"), afc + "/dangling"));
    ASSERT_TRUE(QFile::link(QStringLiteral("../Docs"), afc + "/Docs/self"));

    for (const char* escape : {"/out/secret.txt", "/secret", "/out"}) {
        SCOPED_TRACE(escape);
        EXPECT_FALSE(m_interface->fileExistsAtPath(QString::fromLatin1(escape)));
        EXPECT_FALSE(m_interface
                         ->getDataContentsAtPathStartingAtPostisionForLength(
                             QString::fromLatin1(escape), 0, 6)
                         .has_value());
        EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QString::fromLatin1(escape),
                                                                  path("copied/file")));
        EXPECT_FALSE(QFileInfo::exists(path("copied/file")));
    }
    EXPECT_FALSE(m_interface->directoryContents(QStringLiteral("/out")).has_value());
    ASSERT_TRUE(writeFile(path("upload.txt"), "up"));
    EXPECT_FALSE(m_interface->copyLocalFileAtToDevicePath(path("upload.txt"),
                                                          QStringLiteral("/out/up.txt")));

    // Writing through a link that leads nowhere yet would create its target.
    SimulatedAfcConnection service(afc, std::make_shared<std::atomic<bool>>(true), {});
    uint64_t ref = 0;
    EXPECT_EQ(service.fileRefOpen(QStringLiteral("/dangling"), AfcFileMode::WriteOnly, &ref),
              AfcResult::kPermissionDenied);
    EXPECT_EQ(service.fileRefOpen(QStringLiteral("/out/new.txt"), AfcFileMode::WriteOnly, &ref),
              AfcResult::kPermissionDenied);
    EXPECT_EQ(QDir(path("outside")).entryList(QDir::Files), QStringList{"secret.txt"});

    EXPECT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/self/a.txt")));
    ASSERT_TRUE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/Docs/self/a.txt"),
                                                             path("copied/a.txt")));
    EXPECT_EQ(readFile(path("copied/a.txt")), QByteArray("inside"));
}

// Every failing file-service call leaves its raw code, call and path behind;
// asking whether something is there is answered, not failed.
TEST_F(DeviceFileAccessIOS, AFailedFileCallKeepsItsAfcError)
{
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("broken.bin", randomBytes(3 * kBlock, 2))
        .readError("/broken.bin", kBlock + 10)
        .afcFile("a.txt", "abc");
    connect(builder);
    struct Case {
        const char* name;
        std::function<bool()> call;
        int code;
        const char* operation;
        const char* path;
    };
    const std::vector<Case> cases{
        {"copy meets a read error",
         [&] {
             return m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("broken.bin"),
                                                                 path("1/broken.bin"));
         },
         AfcResult::kReadError, "fileRefRead", "/broken.bin"},
        {"range read meets a read error",
         [&] {
             return m_interface
                 ->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/broken.bin"),
                                                                     0, 2 * kBlock)
                 .has_value();
         },
         AfcResult::kReadError, "fileRefRead", "/broken.bin"},
        {"copy of a missing file",
         [&] {
             return m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/gone.bin"),
                                                                 path("2/gone.bin"));
         },
         AfcResult::kNotFound, "fileRefOpen", "/gone.bin"},
        {"range read of a missing file",
         [&] {
             return m_interface
                 ->getDataContentsAtPathStartingAtPostisionForLength(QStringLiteral("/x/../gone"),
                                                                     0, 1)
                 .has_value();
         },
         AfcResult::kNotFound, "fileRefOpen", "/gone"},
        {"existence of a missing file",
         [&] { return m_interface->fileExistsAtPath(QStringLiteral("/gone.bin")); }, 0, "", ""},
        {"folder test of a missing file",
         [&] { return m_interface->isDirectoryAtPath(QStringLiteral("/gone")); }, 0, "", ""},
        {"information of a missing file",
         [&] { return m_interface->getFileInfo(QStringLiteral("/gone")).has_value(); }, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_interface->clearLastAfcError();
        EXPECT_FALSE(c.call());
        const QELDeviceInterface::AfcError error = m_interface->lastAfcError();
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(error.operation, QLatin1String(c.operation));
        EXPECT_EQ(error.path, QLatin1String(c.path));
    }
    // A later success does not hide the failure before it.
    m_interface->clearLastAfcError();
    EXPECT_FALSE(m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/broken.bin"),
                                                              path("3/broken.bin")));
    EXPECT_TRUE(
        m_interface->copyFileFromDeviceAtToLocalPath(QStringLiteral("/a.txt"), path("3/a.txt")));
    EXPECT_EQ(m_interface->lastAfcError().code, AfcResult::kReadError);
}

struct HostileCase {
    const char* name;
    // "." and ".." are in every listing; any other such name is an entry the
    // copy could not take, so the copy reports itself incomplete.
    bool copyComplete;
};

class HostileEntries : public DeviceFileAccessIOS,
                       public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileEntries, NeverLeaveTheTargetFolder)
{
    const QString hostile = QString::fromUtf8(GetParam().name);
    SimulatedDeviceBuilder builder(path("phone"));
    builder.afcFile("DCIM/photo.jpg", "jpeg").extraDirectoryEntries("/DCIM", {hostile});
    connect(builder);

    const auto names = m_interface->directoryContents(QStringLiteral("/DCIM"));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, QStringList{"photo.jpg"});

    const QString target = path("work/target");
    EXPECT_EQ(m_interface->copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/DCIM"), target),
              GetParam().copyComplete);
    EXPECT_EQ(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"photo.jpg"});
    EXPECT_EQ(QDir(path("work")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"target"});
}

INSTANTIATE_TEST_SUITE_P(Names, HostileEntries,
                         ::testing::Values(HostileCase{"..", true}, HostileCase{".", true},
                                           HostileCase{"../evil", false},
                                           HostileCase{"../../evil", false},
                                           HostileCase{"/etc/passwd", false},
                                           HostileCase{"sub/../../x", false},
                                           HostileCase{"", false}, HostileCase{"a/b", false}));

} // namespace
