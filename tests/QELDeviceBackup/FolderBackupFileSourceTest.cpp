#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "FolderBackupFileSource.h"
#include "Locations.h"
#include "QtPrinters.h"

namespace {

// A folder of copies beside a folder that must stay out of reach.
class FolderSource : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(copies()));
        ASSERT_TRUE(writeFixtureFile(copies() + QStringLiteral("/sms.db"), "messages"));
        ASSERT_TRUE(writeFixtureFile(copies() + QStringLiteral("/sms.db-wal"), "wal of sms.db"));
        ASSERT_TRUE(writeFixtureFile(copies() + QStringLiteral("/sms.db-shm"), "shm of sms.db"));
        ASSERT_TRUE(writeFixtureFile(copies() + QStringLiteral("/NoteStore.sqlite"), "notes"));
        ASSERT_TRUE(writeFixtureFile(copies() + QStringLiteral("/CallHistory.storedata-wal"),
                                     "a companion alone"));
        ASSERT_TRUE(
            writeFixtureFile(copies() + QStringLiteral("/Library/SMS/Attachments/aa/IMG_0001.JPG"),
                             "picture in aa"));
        ASSERT_TRUE(
            writeFixtureFile(copies() + QStringLiteral("/IMG_0001.JPG"), "picture at the top"));
        ASSERT_TRUE(
            writeFixtureFile(outside() + QStringLiteral("/secret.db"), "not for the reader"));
        ASSERT_TRUE(QFile::link(outside() + QStringLiteral("/secret.db"),
                                copies() + QStringLiteral("/leak.db")));
        ASSERT_TRUE(QFile::link(outside(), copies() + QStringLiteral("/linked")));
        ASSERT_TRUE(QFile::link(copies() + QStringLiteral("/sms.db"),
                                copies() + QStringLiteral("/inner.db")));
        ASSERT_EQ(
            mkfifo(QFile::encodeName(copies() + QStringLiteral("/pipe.db")).constData(), 0600), 0);
    }

    QString copies() const { return m_dir.path() + QStringLiteral("/copies"); }
    QString outside() const { return m_dir.path() + QStringLiteral("/outside"); }

    QTemporaryDir m_dir;
};

struct Lookup {
    const char* name;
    int type;     // a data type, or -100 for a lookup by path
    QString path; // relative to a domain; "<outside>" is replaced by the outside folder
    QString domain;
    QByteArray content; // null: no answer
    QString copyName;
    QByteArray wal; // null: no "-wal" companion beside the copy
    QByteArray shm;
};

void PrintTo(const Lookup& c, std::ostream* os) { *os << c.name; }

constexpr int kByPath = -100;

class FolderSourceLookups : public FolderSource,
                            public ::testing::WithParamInterface<Lookup> {};

TEST_P(FolderSourceLookups, AnswerPrivateCopiesOfFilesInsideTheFolderOnly)
{
    const Lookup& c = GetParam();
    FolderBackupFileSource source(copies());
    QString path = c.path;
    path.replace(QStringLiteral("<outside>"), outside());
    const QString answer = c.type == kByPath
        ? source.GetPathForDeviceFileNameInDomain(path, c.domain)
        : source.GetPathToDataOfType(c.type);
    if (c.content.isNull()) {
        EXPECT_TRUE(answer.isNull()) << answer.toStdString();
        return;
    }
    ASSERT_FALSE(answer.isEmpty());
    EXPECT_TRUE(answer.startsWith(Locations::temporaryFolder() + QLatin1Char('/')))
        << answer.toStdString();
    EXPECT_EQ(QFileInfo(answer).fileName(), c.copyName);
    EXPECT_EQ(readFixtureFile(answer), c.content);
    EXPECT_EQ(QFileInfo::exists(answer + QStringLiteral("-wal")), !c.wal.isNull());
    EXPECT_EQ(QFileInfo::exists(answer + QStringLiteral("-shm")), !c.shm.isNull());
    if (!c.wal.isNull()) {
        EXPECT_EQ(readFixtureFile(answer + QStringLiteral("-wal")), c.wal);
    }
    if (!c.shm.isNull()) {
        EXPECT_EQ(readFixtureFile(answer + QStringLiteral("-shm")), c.shm);
    }

    // The copy is the caller's: changing it leaves the folder alone, and the next answer is another
    // file.
    ASSERT_TRUE(writeFixtureFile(answer, "changed by the caller"));
    const QString again = c.type == kByPath
        ? source.GetPathForDeviceFileNameInDomain(path, c.domain)
        : source.GetPathToDataOfType(c.type);
    EXPECT_NE(again, answer);
    EXPECT_EQ(readFixtureFile(again), c.content);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, FolderSourceLookups,
    ::testing::Values(
        Lookup{"TypeByFileNameWithCompanions",
               5,
               {},
               {},
               "messages",
               "sms.db",
               "wal of sms.db",
               "shm of sms.db"},
        // Types 4 and 15 have no file name in the table: their path's last component names them.
        Lookup{"TypeWithoutATableFileName", 4, {}, {}, "notes", "NoteStore.sqlite", {}, {}},
        Lookup{"TypeWhoseFileIsMissing", 1, {}, {}, {}, {}, {}, {}},
        Lookup{"OnlyACompanionIsNoAnswer", 15, {}, {}, {}, {}, {}, {}},
        Lookup{"TypeWithoutAFile", 7, {}, {}, {}, {}, {}, {}},
        Lookup{"UnknownType", 16, {}, {}, {}, {}, {}, {}},
        Lookup{"PathBelowTheFolder",
               kByPath,
               "Library/SMS/Attachments/aa/IMG_0001.JPG",
               "MediaDomain",
               "picture in aa",
               "IMG_0001.JPG",
               {},
               {}},
        Lookup{"PathMissingFallsBackToTheNameAtTheTop",
               kByPath,
               "Library/SMS/Attachments/bb/IMG_0001.JPG",
               "MediaDomain",
               "picture at the top",
               "IMG_0001.JPG",
               {},
               {}},
        Lookup{"PathInTheHomeDomainWithCompanions", kByPath, "Library/SMS/sms.db", QString(),
               "messages", "sms.db", "wal of sms.db", "shm of sms.db"},
        Lookup{"PathNowhere", kByPath, "Library/Nothing/here.db", QString(), {}, {}, {}, {}},
        Lookup{"SymlinkInsideTheFolder",
               kByPath,
               "inner.db",
               QString(),
               "messages",
               "inner.db",
               {},
               {}},
        Lookup{"EmptyPath", kByPath, "", QString(), {}, {}, {}, {}},
        Lookup{"ParentOfTheFolder", kByPath, "../outside/secret.db", QString(), {}, {}, {}, {}},
        Lookup{"ParentInsideAPath",
               kByPath,
               "Library/../../outside/secret.db",
               QString(),
               {},
               {},
               {},
               {}},
        Lookup{"DotDotToAFileInside", kByPath, "Library/../sms.db", QString(), {}, {}, {}, {}},
        Lookup{"AbsolutePath", kByPath, "<outside>/secret.db", QString(), {}, {}, {}, {}},
        Lookup{"SymlinkedFileOutOfTheFolder", kByPath, "leak.db", QString(), {}, {}, {}, {}},
        Lookup{
            "SymlinkedFileByNameAtTheTop", kByPath, "Library/leak.db", QString(), {}, {}, {}, {}},
        Lookup{"SymlinkedFolderOutOfTheFolder",
               kByPath,
               "linked/secret.db",
               QString(),
               {},
               {},
               {},
               {}},
        Lookup{"FifoIsNoFileAndDoesNotHang", kByPath, "pipe.db", QString(), {}, {}, {}, {}},
        Lookup{"FolderIsNoFile", kByPath, "Library", QString(), {}, {}, {}, {}},
        Lookup{"LineBreakInPath", kByPath, "sms.db\n", QString(), {}, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FolderSource, ListsEveryFileBelowTheFolderWithItsBackupIdentifier)
{
    FolderBackupFileSource source(copies());
    const QStringList expected{QStringLiteral("CallHistory.storedata-wal"),
                               QStringLiteral("IMG_0001.JPG"),
                               QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG"),
                               QStringLiteral("NoteStore.sqlite"),
                               QStringLiteral("inner.db"),
                               QStringLiteral("sms.db"),
                               QStringLiteral("sms.db-shm"),
                               QStringLiteral("sms.db-wal")};
    for (const QString& domain : {QStringLiteral("MediaDomain"), QString()}) {
        SCOPED_TRACE(domain.toStdString());
        const QString inDomain = domain.isNull() ? QStringLiteral("HomeDomain") : domain;
        QStringList paths;
        for (const QELDeviceBackupListingItem& item : source.GetAllFilesInDomain(domain)) {
            paths << item.relativePath();
            EXPECT_EQ(item.domain(), inDomain);
            EXPECT_EQ(item.backupFile(), backupFileIdentifier(inDomain, item.relativePath()))
                << item.relativePath().toStdString();
        }
        // Neither the symlinks out of the folder nor the FIFO are listed.
        EXPECT_EQ(paths, expected);
    }
}

TEST_F(FolderSource, AMissingFolderAnswersNothing)
{
    FolderBackupFileSource source(m_dir.path() + QStringLiteral("/missing"));
    EXPECT_TRUE(source.GetPathToDataOfType(5).isNull());
    EXPECT_TRUE(
        source.GetPathForDeviceFileNameInDomain(QStringLiteral("sms.db"), QString()).isNull());
    EXPECT_TRUE(source.GetAllFilesInDomain(QString()).isEmpty());
}

TEST_F(FolderSource, TheFolderIsOnlyRead)
{
    const QStringList before = QDir(copies()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                        | QDir::Hidden | QDir::System);
    FolderBackupFileSource source(copies());
    for (int type = 0; type <= 15; ++type)
        source.GetPathToDataOfType(type);
    source.GetAllFilesInDomain(QString());
    EXPECT_EQ(QDir(copies()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                       | QDir::System),
              before);
    EXPECT_EQ(readFixtureFile(copies() + QStringLiteral("/sms.db")), QByteArray("messages"));
}

} // namespace
