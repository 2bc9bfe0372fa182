// SPDX-License-Identifier: GPL-3.0-or-later
// The manifest as it is held: packed, it must give back every field of every
// entry as it was read, in the order it was listed, and find each by its
// domain and path; past its limits it is refused as too large.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "BackupManifest.h"
#include "MbdbWriter.h"
#include "QELDeviceBackupBrowser.h"

namespace {

using Kind = BackupManifestEntry::Kind;

QString manifestDb(const QString& folder) { return folder + QStringLiteral("/Manifest.db"); }

// Runs SQL on a fixture's Manifest.db.
void exec(const QString& folder, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(manifestDb(folder)).constData(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << message;
    sqlite3_free(message);
    sqlite3_close(db);
}

// (domain, path) of every row as SQLite orders them.
QList<QPair<QString, QString>> sqliteOrder(const QString& folder)
{
    QList<QPair<QString, QString>> rows;
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(manifestDb(folder)).constData(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT domain, relativePath FROM Files ORDER BY domain, relativePath",
                       -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        auto text = [&](int column) {
            return QString::fromUtf16(
                static_cast<const char16_t*>(sqlite3_column_text16(statement, column)),
                sqlite3_column_bytes16(statement, column) / 2);
        };
        rows.append({text(0), text(1)});
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

TEST(BackupManifest, AnMbdbEntryGivesBackEveryFieldInTheFilesOrder)
{
    QTemporaryDir dir;
    MbdbWriter writer;
    MbdbWriter::Record link;
    link.domain = "HomeDomain";
    link.path = "Library/Ünïcødé/🎵 link";
    link.linkTarget = "../Åim/target";
    link.mode = 0xA1ED;
    link.userID = 501;
    link.groupID = 20;
    link.modified = 1700000001;
    link.accessed = 1700000002;
    link.created = 1700000003;
    link.protectionClass = 4;
    MbdbWriter::Record file;
    file.domain = "AppDomain-com.example.app";
    file.path = "Documents/z.bin";
    file.dataHash = QByteArray(20, '\x7f');
    file.encryptionKey = QByteArray("\x03\x00\x00\x00wrapped-key-bytes", 21);
    file.mode = 0x81A4;
    file.size = 5'000'000'000;
    MbdbWriter::Record folder;
    folder.domain = "HomeDomain";
    folder.path = "Library/Ünïcødé";
    folder.mode = 0x41ED;
    // The same domain and path again: the first is the one found.
    MbdbWriter::Record again = file;
    again.size = 7;
    for (const MbdbWriter::Record& record : {link, file, folder, again})
        ASSERT_TRUE(writer.add(record));
    ASSERT_TRUE(writeFixtureFile(dir.filePath(QStringLiteral("Manifest.mbdb")), writer.manifest()));

    QString error;
    const std::optional<BackupManifest> manifest = BackupManifest::load(dir.path(), &error);
    ASSERT_TRUE(manifest) << error.toStdString();
    ASSERT_EQ(manifest->entries().size(), 4u);
    const BackupManifestEntry first = manifest->entries()[0];
    EXPECT_EQ(first.domain, QStringLiteral("HomeDomain"));
    EXPECT_EQ(first.relativePath, QStringLiteral("Library/Ünïcødé/🎵 link"));
    EXPECT_EQ(first.kind, Kind::SymbolicLink);
    EXPECT_EQ(first.linkTarget, QStringLiteral("../Åim/target"));
    EXPECT_EQ(first.mode, 0xA1ED);
    EXPECT_EQ(first.userID, 501u);
    EXPECT_EQ(first.groupID, 20u);
    EXPECT_EQ(first.modified, 1700000001);
    EXPECT_EQ(first.accessed, 1700000002);
    EXPECT_EQ(first.created, 1700000003);
    EXPECT_EQ(first.protectionClass, 4);
    EXPECT_EQ(first.fileID,
              QELDeviceBackupBrowser::fileIdentifier(first.domain, first.relativePath));
    EXPECT_EQ(first.backupFile, first.fileID);
    const BackupManifestEntry second = manifest->entries()[1];
    EXPECT_EQ(second.kind, Kind::File);
    EXPECT_EQ(second.size, 5'000'000'000);
    EXPECT_EQ(second.dataHash, QByteArray(20, '\x7f'));
    EXPECT_EQ(second.encryptionKey, file.encryptionKey.value());
    EXPECT_TRUE(second.linkTarget.isEmpty());
    EXPECT_EQ(manifest->entries()[2].kind, Kind::Directory);

    int listed = 0;
    for (const BackupManifestEntry& entry : manifest->entries()) {
        const std::optional<BackupManifestEntry> found =
            manifest->find(entry.domain, entry.relativePath);
        ASSERT_TRUE(found) << entry.relativePath.toStdString();
        EXPECT_EQ(found->fileID, entry.fileID);
        ++listed;
    }
    EXPECT_EQ(listed, 4);
    EXPECT_EQ(
        manifest
            ->find(QStringLiteral("AppDomain-com.example.app"), QStringLiteral("Documents/z.bin"))
            ->size,
        5'000'000'000);
    EXPECT_FALSE(manifest->find(QStringLiteral("HomeDomain"), QStringLiteral("Documents/z.bin")));
    EXPECT_FALSE(manifest->find(QStringLiteral("NoDomain"), QStringLiteral("Documents/z.bin")));
    EXPECT_FALSE(manifest->find(QStringLiteral("HomeDomain"), QStringLiteral("library/ünïcødé")));
}

TEST(BackupManifest, ManifestDbRowsAreListedAsSQLiteSortsThemAndFoundByName)
{
    QTemporaryDir dir;
    ManifestDbBackupBuilder builder(dir.path());
    // Out of order on purpose: case, prefixes, non-ASCII and a second domain.
    const QList<QPair<QString, QString>> files{
        {"MediaDomain", "Library/SMS/Attachments/b.jpg"},
        {"HomeDomain", "Library/SMS/sms.db-wal"},
        {"HomeDomain", "library/lower"},
        {"HomeDomain", "Library/SMS/sms.db"},
        {"HomeDomain", "Library/Ü"},
        {"HomeDomain", "Library/Z"},
        {"HomeDomain", "Library/SMS"},
        {"AppDomain-z", "a"},
        {"MediaDomain", "Library/SMS/Attachments/a.jpg"},
    };
    for (const auto& [domain, path] : files)
        builder.file(domain, path, path.toUtf8());
    builder.directory(QStringLiteral("HomeDomain"), QStringLiteral("Library/Folder"));
    builder.write();
    // Bytes that are no UTF-8 (an encoded U+D800): SQLite reads them as U+FFFD.
    exec(dir.path(),
         "INSERT INTO Files VALUES ('0123456789abcdef0123456789abcdef01234567', "
         "'HomeDomain', CAST(X'4C6962726172792FEDA080' AS TEXT), 1, NULL)");

    QString error;
    const std::optional<BackupManifest> manifest = BackupManifest::load(dir.path(), &error);
    ASSERT_TRUE(manifest) << error.toStdString();
    QList<QPair<QString, QString>> listed;
    for (const BackupManifestEntry& entry : manifest->entries())
        listed.append({entry.domain, entry.relativePath});
    EXPECT_EQ(listed, sqliteOrder(dir.path()));
    ASSERT_EQ(listed.size(), files.size() + 2);

    for (const auto& [domain, path] : std::as_const(listed)) {
        SCOPED_TRACE(path.toStdString());
        const std::optional<BackupManifestEntry> found = manifest->find(domain, path);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->relativePath, path);
        EXPECT_EQ(found->backupFile, found->fileID.left(2) + QLatin1Char('/') + found->fileID);
        if (found->kind == Kind::File
            && found->fileID != "0123456789abcdef0123456789abcdef01234567") {
            EXPECT_EQ(found->size, path.toUtf8().size());
        }
    }
    const std::optional<BackupManifestEntry> folder =
        manifest->find(QStringLiteral("HomeDomain"), QStringLiteral("Library/Folder"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, Kind::Directory);
    EXPECT_TRUE(manifest->find(QStringLiteral("HomeDomain"), QStringLiteral("Library/\uFFFD")));
    // A name UTF-8 cannot say is another name, not the one it would be turned into.
    EXPECT_FALSE(
        manifest->find(QStringLiteral("HomeDomain"), QStringLiteral("Library/") + QChar(0xD800)));

    std::vector<QString> media;
    for (const BackupManifestEntry& entry : manifest->filesInDomain(QStringLiteral("MediaDomain")))
        media.push_back(entry.relativePath);
    EXPECT_EQ(
        media,
        (std::vector<QString>{"Library/SMS/Attachments/a.jpg", "Library/SMS/Attachments/b.jpg"}));
    EXPECT_EQ(manifest->filesInDomain(QStringLiteral("HomeDomain")).size(), 7u);
    EXPECT_TRUE(manifest->filesInDomain(QStringLiteral("NoDomain")).empty());
}

// A manifest past the stated size is refused with a reason, in both
// generations, instead of being held until memory runs out.
TEST(BackupManifest, AManifestPastItsLimitsIsRefusedAsTooLarge)
{
    constexpr int kFiles = 30;
    QTemporaryDir mbdbFolder;
    MbdbBuilder mbdb;
    QTemporaryDir databaseFolder;
    ManifestDbBackupBuilder database(databaseFolder.path());
    for (int i = 0; i < kFiles; ++i) {
        const QString path = QStringLiteral("Library/file-%1").arg(i);
        mbdb.record(QByteArrayLiteral("HomeDomain"), path.toUtf8());
        database.file(QStringLiteral("HomeDomain"), path, "x");
    }
    ASSERT_TRUE(
        writeFixtureFile(mbdbFolder.filePath(QStringLiteral("Manifest.mbdb")), mbdb.manifest()));
    database.write();

    struct Case {
        const char* name;
        BackupManifest::Limits limits;
        const char* says; // empty: read
    };
    const Case cases[] = {
        {"at the limit", {kFiles, 1 << 20}, ""},
        {"one file past it", {kFiles - 1, 1 << 20}, "lists more than 29 files"},
        {"names past their bytes", {kFiles, 200}, "take more than"},
    };
    for (const QString& folder : {mbdbFolder.path(), databaseFolder.path()}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(folder.toStdString());
            QString error;
            bool tooLarge = false;
            const std::optional<BackupManifest> manifest =
                BackupManifest::load(folder, &error, c.limits, &tooLarge);
            EXPECT_EQ(tooLarge, *c.says != '\0');
            if (*c.says == '\0') {
                ASSERT_TRUE(manifest) << error.toStdString();
                EXPECT_EQ(manifest->entryCount(), size_t(kFiles));
            } else {
                EXPECT_FALSE(manifest);
                EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
                EXPECT_TRUE(error.contains(QLatin1String("too large"))) << error.toStdString();
            }
        }
    }
}

// What a large manifest holds per file is its packed form, not an entry
// of strings and its index.
TEST(BackupManifest, AManifestOfManyFilesIsHeldPacked)
{
    constexpr int kFiles = 20000;
    QTemporaryDir dir;
    ManifestDbBackupBuilder builder(dir.path());
    for (int i = 0; i < kFiles; ++i)
        builder.row(QELDeviceBackupBrowser::fileIdentifier(
                        QStringLiteral("CameraRollDomain"),
                        QStringLiteral("Media/DCIM/100APPLE/IMG_%1.HEIC").arg(i)),
                    QStringLiteral("CameraRollDomain"),
                    QStringLiteral("Media/DCIM/100APPLE/IMG_%1.HEIC").arg(i), 1);
    builder.write();
    QString error;
    const std::optional<BackupManifest> manifest = BackupManifest::load(dir.path(), &error);
    ASSERT_TRUE(manifest) << error.toStdString();
    ASSERT_EQ(manifest->entryCount(), size_t(kFiles));
    // 48 bytes of fixed fields, the path and a few bytes of numbers, four
    // index slots at most.
    EXPECT_LT(manifest->heldBytes() / kFiles, 130);
    EXPECT_TRUE(manifest->find(QStringLiteral("CameraRollDomain"),
                               QStringLiteral("Media/DCIM/100APPLE/IMG_12345.HEIC")));
}

} // namespace
