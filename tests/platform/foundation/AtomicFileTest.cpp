#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "QtPrinters.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(data), data.size());
}

// Everything in the folder, hidden files included: what a failed write must not leave.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Writes half of its data, then fails as a full disk or a lost device would.
bool failHalfway(QIODevice& out, QString* why)
{
    out.write("partial");
    *why = QStringLiteral("the device went away");
    return false;
}

class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QString folder() const { return m_dir.path(); }

    QTemporaryDir m_dir;
};

TEST_F(AtomicWrite, WritesAndReplacesKeepingPermissions)
{
    QString error;
    ASSERT_TRUE(writeFileAtomically(path("a.txt"), "first", &error)) << error.toStdString();
    EXPECT_EQ(readAll(path("a.txt")), "first");
    ASSERT_TRUE(QFile::setPermissions(path("a.txt"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(writeFileAtomically(path("a.txt"), "second"));
    EXPECT_EQ(readAll(path("a.txt")), "second");
    EXPECT_EQ(QFile::permissions(path("a.txt")),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                  | QFile::ReadGroup);
    ASSERT_TRUE(writeFileAtomically(path("empty"), QByteArray()));
    EXPECT_EQ(readAll(path("empty")), "");
    EXPECT_EQ(entries(folder()), (QStringList{"a.txt", "empty"}));
}

TEST_F(AtomicWrite, FailuresLeaveTheOldFileWholeAndNoTemporaries)
{
    put(path("keep.txt"), "old contents");
    ASSERT_TRUE(QDir().mkdir(path("folder")));
    put(path("folder/inner"), "x");
    struct Case {
        const char* why;
        QString target;
        AtomicFile::Producer produce;
    };
    const AtomicFile::Producer fine = [](QIODevice& out, QString*) {
        return out.write("new") == 3;
    };
    const std::vector<Case> cases{
        {"the producer fails", path("keep.txt"), &failHalfway},
        {"the target is a folder", path("folder"), fine},
        {"the folder does not exist", path("missing/keep.txt"), fine},
        {"no file name", folder() + "/", fine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        QString error;
        EXPECT_FALSE(writeFileAtomically(c.target, c.produce, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readAll(path("keep.txt")), "old contents");
        EXPECT_EQ(readAll(path("folder/inner")), "x");
        EXPECT_EQ(entries(folder()), (QStringList{"folder", "keep.txt"}));
    }
}

TEST_F(AtomicWrite, AFolderThatIsNotWritableKeepsItsFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    ASSERT_TRUE(QDir().mkdir(path("locked")));
    put(path("locked/keep.txt"), "old contents");
    ASSERT_TRUE(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    QString error;
    EXPECT_FALSE(writeFileAtomically(path("locked/keep.txt"), "new", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(path("locked/keep.txt")), "old contents");
    EXPECT_EQ(entries(path("locked")), QStringList{"keep.txt"});
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(AtomicWrite, ALinkIsReplacedNotWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath("victim");
    put(outside, "not yours");
    ASSERT_TRUE(QFile::link(outside, path("link")));
    ASSERT_TRUE(writeFileAtomically(path("link"), "mine"));
    EXPECT_EQ(readAll(outside), "not yours");
    EXPECT_FALSE(QFileInfo(path("link")).isSymLink());
    EXPECT_EQ(readAll(path("link")), "mine");
}

TEST_F(AtomicWrite, ACommittedBatchPlacesEveryFile)
{
    put(path("b.txt"), "old b");
    AtomicFileBatch batch;
    QString error;
    ASSERT_TRUE(batch.write(path("a.txt"), "new a", &error)) << error.toStdString();
    ASSERT_TRUE(batch.write(path("b.txt"), "new b"));
    // A file the caller fills itself, as a copy from the device does.
    const QString temporary = batch.temporaryPathFor(path("c.bin"));
    EXPECT_FALSE(QFileInfo::exists(temporary));
    put(temporary, "copied");
    ASSERT_TRUE(batch.place(temporary, path("c.bin")));
    EXPECT_EQ(batch.placedFiles(), (QStringList{path("a.txt"), path("b.txt"), path("c.bin")}));
    ASSERT_TRUE(batch.commit(&error)) << error.toStdString();
    EXPECT_EQ(readAll(path("a.txt")), "new a");
    EXPECT_EQ(readAll(path("b.txt")), "new b");
    EXPECT_EQ(readAll(path("c.bin")), "copied");
    EXPECT_EQ(entries(folder()), (QStringList{"a.txt", "b.txt", "c.bin"}));
    // Committed files stay when the batch goes.
    batch.abandon();
    EXPECT_EQ(entries(folder()), (QStringList{"a.txt", "b.txt", "c.bin"}));
}

// A large batch is synced by file system, not file by file: it must still
// place every file in every folder and leave nothing of the old ones.
TEST_F(AtomicWrite, ALargeBatchInTwoFoldersPlacesEveryFile)
{
    ASSERT_TRUE(QDir(folder()).mkpath(QStringLiteral("sub")));
    put(path("f4.txt"), "old");
    AtomicFileBatch batch;
    QStringList expected;
    for (int i = 0; i < 40; ++i) {
        const QString name =
            (i % 2 ? QStringLiteral("sub/f%1.txt") : QStringLiteral("f%1.txt")).arg(i);
        ASSERT_TRUE(batch.write(path(name.toUtf8().constData()), QByteArray::number(i)));
    }
    QString error;
    ASSERT_TRUE(batch.commit(&error)) << error.toStdString();
    for (int i = 0; i < 40; ++i) {
        const QString name =
            (i % 2 ? QStringLiteral("sub/f%1.txt") : QStringLiteral("f%1.txt")).arg(i);
        EXPECT_EQ(readAll(path(name.toUtf8().constData())), QByteArray::number(i)) << i;
    }
    EXPECT_EQ(entries(folder()).size(), 20 + 1); // the files and "sub"
    EXPECT_EQ(entries(folder() + QStringLiteral("/sub")).size(), 20);
}

TEST_F(AtomicWrite, AnAbandonedBatchRemovesItsFilesAndRestoresReplacedOnes)
{
    put(path("b.txt"), "old b");
    ASSERT_TRUE(QDir().mkdir(path("folder")));
    {
        AtomicFileBatch batch;
        ASSERT_TRUE(batch.write(path("a.txt"), "new a"));
        ASSERT_TRUE(batch.write(path("b.txt"), "new b"));
        ASSERT_TRUE(batch.write(path("b.txt"), "newer b"));
        EXPECT_EQ(readAll(path("b.txt")), "newer b");
        QString error;
        EXPECT_FALSE(batch.write(path("folder"), "x", &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(batch.write(path("c.txt"), &failHalfway, &error));
        EXPECT_TRUE(error.contains(QLatin1String("the device went away"))) << error.toStdString();
        const QString unplaced = batch.temporaryPathFor(path("d.bin"));
        put(unplaced, "half a copy");
        // Never committed: the batch undoes itself as it goes.
    }
    EXPECT_EQ(readAll(path("b.txt")), "old b");
    EXPECT_EQ(entries(folder()), (QStringList{"b.txt", "folder"}));
}

TEST_F(AtomicWrite, ABatchIntoAMissingFolderOrOverALinkKeepsEverythingElse)
{
    AtomicFileBatch batch;
    QString error;
    EXPECT_FALSE(batch.write(path("missing/a.txt"), "a", &error));
    EXPECT_TRUE(error.contains(QLatin1String("missing"))) << error.toStdString();
    // A link at the name is set aside, never written through.
    put(path("outside.txt"), "not yours");
    ASSERT_TRUE(QFile::link(path("outside.txt"), path("link.txt")));
    ASSERT_TRUE(batch.write(path("link.txt"), "mine", &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(path("link.txt")).isSymLink());
    batch.abandon();
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_EQ(readAll(path("outside.txt")), "not yours");
    EXPECT_EQ(entries(folder()), (QStringList{"link.txt", "outside.txt"}));
}

} // namespace
