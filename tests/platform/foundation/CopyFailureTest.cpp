#include <cerrno>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "CopyFailure.h"
#include "QtPrinters.h"

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
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

} // namespace

TEST(CopyFailures, ErrnoGivesTheReasonTheUserIsTold)
{
    struct Case {
        int code;
        CopyFailure want;
    };
    for (const Case& c :
         {Case{ENOSPC, CopyFailure::DiskFull}, Case{EDQUOT, CopyFailure::DiskFull},
          Case{EROFS, CopyFailure::ReadOnlyFolder}, Case{EACCES, CopyFailure::ReadOnlyFolder},
          Case{ENOENT, CopyFailure::MissingFolder}, Case{EIO, CopyFailure::Failed}}) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(CopyFailures::fromErrno(c.code), c.want);
    }
}

TEST(CopyFailures, AFullDiskStaysNotedAndEachThreadHasItsOwn)
{
    CopyFailures::clear();
    EXPECT_EQ(CopyFailures::last(), CopyFailure::None);
    CopyFailures::noteErrno(ENOSPC);
    CopyFailures::note(CopyFailure::Failed);
    EXPECT_EQ(CopyFailures::last(), CopyFailure::DiskFull);
    CopyFailure seenElsewhere = CopyFailure::Failed;
    std::unique_ptr<QThread> other(
        QThread::create([&seenElsewhere] { seenElsewhere = CopyFailures::last(); }));
    other->start();
    other->wait();
    EXPECT_EQ(seenElsewhere, CopyFailure::None);
    CopyFailures::clear();
    CopyFailures::note(CopyFailure::MissingOnDevice);
    EXPECT_EQ(CopyFailures::last(), CopyFailure::MissingOnDevice);
    CopyFailures::clear();
}

TEST(CopyFailures, AFolderIsCheckedBeforeTheFirstItem)
{
    QTemporaryDir dir;
    EXPECT_EQ(CopyFailures::checkFolder(dir.path()), CopyFailure::None);
    EXPECT_EQ(CopyFailures::checkFolder(dir.filePath("gone")), CopyFailure::MissingFolder);
    EXPECT_EQ(CopyFailures::checkFolder(QString()), CopyFailure::MissingFolder);
    {
        CopyFailures::ScopedInjectedWriteFailure readOnly(EROFS);
        EXPECT_EQ(CopyFailures::checkFolder(dir.path()), CopyFailure::ReadOnlyFolder);
    }
    EXPECT_EQ(CopyFailures::checkFolder(dir.path()), CopyFailure::None);
    if (::geteuid() != 0) {
        ASSERT_TRUE(QDir().mkdir(dir.filePath("locked")));
        ASSERT_TRUE(
            QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
        EXPECT_EQ(CopyFailures::checkFolder(dir.filePath("locked")), CopyFailure::ReadOnlyFolder);
        QFile::setPermissions(dir.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(CopyFailures, AFullDiskLeavesNoFileAndSaysSo)
{
    QTemporaryDir dir;
    CopyFailures::clear();
    {
        CopyFailures::ScopedInjectedWriteFailure full(ENOSPC, 4);
        QString error;
        EXPECT_FALSE(writeFileAtomically(dir.filePath("page.html"), "more than four", &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(CopyFailures::last(), CopyFailure::DiskFull);
        AtomicFileBatch batch;
        EXPECT_FALSE(batch.write(dir.filePath("card.vcf"), "BEGIN:VCARD"));
        batch.abandon();
    }
    EXPECT_EQ(entries(dir.path()), QStringList());
    CopyFailures::clear();
    EXPECT_TRUE(writeFileAtomically(dir.filePath("page.html"), "fits again"));
}

TEST(AtomicWriteModes, NewFilesFollowTheUmaskAndCarryTheItemsDate)
{
    const QDateTime when = QDateTime::fromString("2019-06-01T10:20:30.250Z", Qt::ISODateWithMs);
    struct Case {
        mode_t mask;
        QFile::Permissions want;
    };
    const QFile::Permissions owner =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    for (const Case& c :
         {Case{022, owner | QFile::ReadGroup | QFile::ReadOther}, Case{077, owner},
          Case{002, owner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther}}) {
        SCOPED_TRACE(c.mask);
        QTemporaryDir dir;
        ScopedUmask mask(c.mask);
        EXPECT_EQ(AtomicFile::newFileMode(), 0666u & ~unsigned(c.mask));
        ASSERT_TRUE(writeFileAtomically(dir.filePath("note.html"), "text", nullptr, when));
        EXPECT_EQ(QFile::permissions(dir.filePath("note.html")), c.want);
        EXPECT_EQ(QFileInfo(dir.filePath("note.html")).lastModified().toUTC(), when);
        AtomicFileBatch batch;
        ASSERT_TRUE(batch.write(dir.filePath("card.vcf"), "BEGIN:VCARD", nullptr, when));
        ASSERT_TRUE(batch.commit());
        EXPECT_EQ(QFile::permissions(dir.filePath("card.vcf")), c.want);
        EXPECT_EQ(QFileInfo(dir.filePath("card.vcf")).lastModified().toUTC(), when);
    }
}
