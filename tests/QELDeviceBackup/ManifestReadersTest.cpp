#include <gtest/gtest.h>

#include <functional>

#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "BackupManifest.h"
#include "BackupManifestCache.h"
#include "QELBinaryFileHandle.h"
#include "QELDeviceBackupBrowser.h"
#include "Plist.h"
#include "SQLiteFixtureWriter.h"

namespace {

class ManifestReaders : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString folder() const { return m_dir.path(); }
    void write(const QByteArray& manifest,
               const std::optional<QByteArray>& index = std::nullopt) const
    {
        ASSERT_TRUE(writeFixtureFile(folder() + QStringLiteral("/Manifest.mbdb"), manifest));
        if (index) {
            ASSERT_TRUE(writeFixtureFile(folder() + QStringLiteral("/Manifest.mbdx"), *index));
        }
    }
    QTemporaryDir m_dir;
    // The readers' cache of this test alone.
    BackupManifestCache m_manifests;
};

TEST_F(ManifestReaders, FileIdentifierOfTheMessageDatabase)
{
    EXPECT_EQ(QELDeviceBackupBrowser::_hashString(QStringLiteral("HomeDomain-Library/SMS/sms.db")),
              QStringLiteral("3D0D7E5FB2CE288813306E4D4636395E047A3D28"));
    EXPECT_EQ(QELDeviceBackupBrowser::fileIdentifier(QStringLiteral("HomeDomain"),
                                                     QStringLiteral("Library/SMS/sms.db")),
              QStringLiteral("3d0d7e5fb2ce288813306e4d4636395e047a3d28"));
    EXPECT_EQ(QELDeviceBackupBrowser::fileIdentifier(
                  QStringLiteral("HomeDomain"),
                  QStringLiteral("Library/AddressBook/AddressBook.sqlitedb")),
              QStringLiteral("31bb7ba8914766d4ba40d6dfb6113c8b614be442"));

    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    write(builder.manifest(), builder.index());
    const auto records = m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder());
    ASSERT_TRUE(records.has_value());
    ASSERT_TRUE(records->contains(QStringLiteral("sms.db")));
    const QELBackupFileRecord record = records->value(QStringLiteral("sms.db"));
    EXPECT_EQ(record.backupPath(), QStringLiteral("3d0d7e5fb2ce288813306e4d4636395e047a3d28"));
    EXPECT_EQ(record.domain(), QStringLiteral("HomeDomain"));
    EXPECT_EQ(record.sourcePath(), QStringLiteral("Library/SMS/sms.db"));
    EXPECT_EQ(record.offset(), 0);
    EXPECT_EQ(record.mode(), 0x81A4);
}

TEST_F(ManifestReaders, ManifestKeepsEmptyPathsAndSkipsAbsentOnes)
{
    const QByteArray longName(200, 'n');
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArray(""), 0x41ED)
        .record(QByteArrayLiteral("HomeDomain"), std::nullopt)
        .record(std::nullopt, QByteArrayLiteral("Library/x"))
        .record(QByteArrayLiteral("MediaDomain"), "Library/" + longName, 0x81A4, 10, 2)
        .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    write(builder.manifest());
    const auto table = m_manifests.ReadMBDBForBackUpSetAtPath(folder());
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table.value(QStringLiteral("HomeDomain")).size(), 2);
    EXPECT_TRUE(table.value(QStringLiteral("HomeDomain")).contains(QString()));
    EXPECT_EQ(table.value(QStringLiteral("HomeDomain")).value(QStringLiteral("Library/SMS/sms.db")),
              QStringLiteral("3D0D7E5FB2CE288813306E4D4636395E047A3D28"));
    // The 200-byte string and the properties after it are read whole.
    EXPECT_TRUE(table.value(QStringLiteral("MediaDomain"))
                    .contains(QStringLiteral("Library/") + QString::fromLatin1(longName)));
}

TEST_F(ManifestReaders, IndexKeepsTheFirstRegularFileOfEachName)
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/A/Contacts.sqlite"))
        .record(QByteArrayLiteral("AppDomain-x"), QByteArrayLiteral("Documents/Contacts.sqlite"))
        .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/Folder"), 0x41ED)
        .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("/var/absolute.db"))
        .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("plain.db"));
    write(builder.manifest(), builder.index());
    const auto records = m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder());
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(records->size(), 2);
    EXPECT_EQ(records->value(QStringLiteral("Contacts.sqlite")).domain(),
              QStringLiteral("HomeDomain"));
    EXPECT_FALSE(records->contains(QStringLiteral("Folder")));
    EXPECT_FALSE(records->contains(QStringLiteral("absolute.db")));
    EXPECT_TRUE(records->contains(QStringLiteral("plain.db")));
}

TEST_F(ManifestReaders, MalformedIndexAnswersNothingThenEmpty)
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    write(builder.manifest(), builder.index(1));
    EXPECT_FALSE(m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder()).has_value());
    const auto again = m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder());
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isEmpty());
    // What one cache keeps never reaches another: a new one reads for itself.
    BackupManifestCache fresh;
    EXPECT_FALSE(fresh.ReadMBDBWithMBDXForBackUpSetAtPath(folder()).has_value());
}

TEST_F(ManifestReaders, CachesAreKeptPerFolderAndFollowANewBackup)
{
    QTemporaryDir other;
    MbdbBuilder first;
    first.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("first.db"));
    write(first.manifest(), first.index());
    MbdbBuilder second;
    second.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("second.db"));
    ASSERT_TRUE(
        writeFixtureFile(other.path() + QStringLiteral("/Manifest.mbdb"), second.manifest()));
    ASSERT_TRUE(writeFixtureFile(other.path() + QStringLiteral("/Manifest.mbdx"), second.index()));

    EXPECT_TRUE(m_manifests.ReadMBDBForBackUpSetAtPath(folder())
                    .value(QStringLiteral("HomeDomain"))
                    .contains(QStringLiteral("first.db")));
    EXPECT_TRUE(m_manifests.ReadMBDBForBackUpSetAtPath(other.path())
                    .value(QStringLiteral("HomeDomain"))
                    .contains(QStringLiteral("second.db")));
    EXPECT_TRUE(m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(other.path())
                    ->contains(QStringLiteral("second.db")));
    EXPECT_TRUE(m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder())->contains(
        QStringLiteral("first.db")));

    // A new backup in the same folder replaces the manifest: it is read again.
    QFile::remove(folder() + QStringLiteral("/Manifest.mbdb"));
    MbdbBuilder replaced;
    replaced.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("replaced.db"));
    write(replaced.manifest(), replaced.index());
    EXPECT_TRUE(m_manifests.ReadMBDBForBackUpSetAtPath(folder())
                    .value(QStringLiteral("HomeDomain"))
                    .contains(QStringLiteral("replaced.db")));
    EXPECT_TRUE(m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder())->contains(
        QStringLiteral("replaced.db")));
}

TEST_F(ManifestReaders, FieldReadersOfTheManifest)
{
    ASSERT_TRUE(writeFixtureFile(folder() + QStringLiteral("/fields"),
                                 QByteArray("\xFF\xFF\x00\x00\x00\x03"
                                            "abc"
                                            "\x00\x02"
                                            "zz"
                                            "\xFF\xFF",
                                            15)));
    QELBinaryFileHandle file(folder() + QStringLiteral("/fields"));
    EXPECT_TRUE(QELDeviceBackupBrowser::_readStringFromFileHandle(file).isNull());
    const QString empty = QELDeviceBackupBrowser::_readStringFromFileHandle(file);
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(QELDeviceBackupBrowser::_readStringFromFileHandle(file), QStringLiteral("abc"));
    EXPECT_EQ(QELDeviceBackupBrowser::_readDataHashFromFileHandle(file), QString(""));
    EXPECT_EQ(QELDeviceBackupBrowser::_getStringFromFileHandle(file), QStringLiteral("n/a"));
}

// Damaged files: each ends the reading cleanly with what came before.
struct DamageCase {
    const char* name;
    QByteArray manifest;
    std::optional<QByteArray> index;
    int manifestPaths; // paths that ReadMBDBForBackUpSetAtPath keeps
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedManifests : public ManifestReaders,
                         public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedManifests, EndCleanly)
{
    const DamageCase& damage = GetParam();
    SCOPED_TRACE(damage.name);
    write(damage.manifest, damage.index);
    const auto table = m_manifests.ReadMBDBForBackUpSetAtPath(folder());
    int paths = 0;
    for (const auto& domain : table)
        paths += int(domain.size());
    EXPECT_EQ(paths, damage.manifestPaths);
    const auto records = m_manifests.ReadMBDBWithMBDXForBackUpSetAtPath(folder());
    if (records) {
        for (const QELBackupFileRecord& record : *records)
            EXPECT_EQ(record.backupPath().size(), 40);
    }
}

QByteArray goodManifest()
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    return builder.manifest();
}

QByteArray withPastEndOffset()
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    QByteArray index = builder.index();
    index[10 + 20] = '\x7F'; // the entry's offset now points far past the manifest
    return index;
}

QByteArray withHugeCount()
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    QByteArray index = builder.index();
    index.replace(6, 4, QByteArray("\xFF\xFF\xFF\xFF", 4));
    return index;
}

QByteArray withNegativeOffset()
{
    MbdbBuilder builder;
    builder.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"));
    QByteArray index = builder.index();
    index.replace(30, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
    return index;
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, DamagedManifests,
    ::testing::Values(
        DamageCase{"empty files", QByteArray(), QByteArray(), 0},
        DamageCase{"wrong magic", QByteArray("mbdz\x05\x00", 6) + goodManifest().mid(6),
                   QByteArray("mbdx\x02\x00\x00\x00\x00\x00", 10), 0},
        DamageCase{"header only", QByteArray("mbdb\x05\x00", 6), QByteArray("mbdx\x02\x00", 6), 0},
        DamageCase{"record cut in its fixed part", goodManifest().left(goodManifest().size() - 5),
                   std::nullopt, 0},
        DamageCase{"record cut in its path", goodManifest().left(20), std::nullopt, 0},
        DamageCase{"length past the end",
                   goodManifest()
                       + QByteArray("\x00\x0A"
                                    "Home",
                                    6)
                       + QByteArray("\x7F\xFF", 2),
                   std::nullopt, 1},
        DamageCase{"property count past the end",
                   goodManifest().left(goodManifest().size() - 1) + QByteArray("\xFF", 1),
                   std::nullopt, 0},
        DamageCase{
            "index entry cut", goodManifest(),
            MbdbBuilder()
                .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"))
                .index()
                .left(30),
            1},
        DamageCase{"index offset past the manifest", goodManifest(), withPastEndOffset(), 1},
        DamageCase{"index offset negative", goodManifest(), withNegativeOffset(), 1},
        DamageCase{"index count larger than its entries", goodManifest(), withHugeCount(), 1}));

} // namespace

namespace {

// A Manifest.db that cannot be read says what is wrong with it, so a damaged
// backup is not taken for an encrypted one.
TEST(ManifestDatabaseErrors, SayWhatIsWrong)
{
    struct Case {
        const char* name;
        std::function<void(const QString& folder)> make;
        const char* says;
    };
    const auto database = [](const QString& sql) {
        return [sql](const QString& folder) {
            SQLiteFixtureWriter db(folder + QStringLiteral("/Manifest.db"));
            db.exec(sql);
            ASSERT_TRUE(db.commit());
        };
    };
    const auto bytes = [](const QByteArray& content, bool encrypted) {
        return [content, encrypted](const QString& folder) {
            ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Manifest.db"), content));
            if (encrypted) {
                ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Manifest.plist"),
                                             Plist::serialize(QVariantMap{{"IsEncrypted", true}},
                                                              Plist::Format::Xml)));
            }
        };
    };
    const QList<Case> cases = {
        {"garbage", bytes(QByteArray(4096, '\x5A'), false), "is not an SQLite database: the file is damaged"},
        {"empty", bytes(QByteArray(), false), "is not an SQLite database: the file is damaged"},
        {"cut after the header", bytes(QByteArray("SQLite format 3\0garbage", 23), false),
         "is not an SQLite database: the file is damaged"},
        {"encrypted", bytes(QByteArray(4096, '\x5A'), true), "is encrypted: the backup was made with a password"},
        {"no Files table", database(QStringLiteral("CREATE TABLE Other (x)")), "it has no \"Files\" table"},
        {"Files as a view", database(QStringLiteral("CREATE VIEW Files AS SELECT 1 AS fileID")),
         "it has no \"Files\" table"},
        {"a column missing",
         database(QStringLiteral("CREATE TABLE Files (fileID, domain, relativePath, file)")),
         "its \"Files\" table has no \"flags\" column"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        c.make(dir.path());
        QString error;
        EXPECT_FALSE(BackupManifest::load(dir.path(), &error).has_value());
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String("Manifest.db"))) << error.toStdString();
    }
}

} // namespace
