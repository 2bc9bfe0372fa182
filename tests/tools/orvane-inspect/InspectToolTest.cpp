// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-inspect run as a program: its subcommand table, and the two ways of
// naming its input (a folder of copies, or --backup UDID) reading the same files.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "EncryptedBackupWriter.h"
#include "Locations.h"
#include "MediaLibraryFixture.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "SmsDbBuilder.h"
#include "ToolRun.h"

namespace {

ToolRun inspect(const QStringList& arguments, const QProcessEnvironment& extra = {})
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments, extra);
}

QString sha1(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QJsonObject dataTypeRow(const QJsonObject& json, int type)
{
    for (const QJsonValue& row : json.value("dataTypes").toArray()) {
        if (row.toObject().value("type").toInt(-1) == type)
            return row.toObject();
    }
    return {};
}

const QString kNotesDomain = QStringLiteral("AppDomainGroup-group.com.apple.notes");
const QString kPicture = QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG");

// The device files every backup of these tests holds.
const QList<SimulatedBackupDevice::File> kFiles = {
    {QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"), QByteArray("messages")},
    {QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-wal"),
     QByteArray("wal of messages")},
    {kNotesDomain, QStringLiteral("NoteStore.sqlite"), QByteArray("notes")},
    {QStringLiteral("MediaDomain"), kPicture, QByteArray("picture")},
};

enum class Made { ByTheToolFromADevice, ByTheToolFromAnEncryptedDevice, AsAManifestDb };

class InspectBackup : public ::testing::TestWithParam<Made> {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Backs a device holding kFiles up into the backup folder; answers its UDID.
    QString makeBackup(Made made)
    {
        const QString udid = made == Made::AsAManifestDb ? QStringLiteral("inspect-manifest-db")
            : made == Made::ByTheToolFromADevice         ? QStringLiteral("inspect-plain")
                                                         : QStringLiteral("inspect-encrypted");
        if (made == Made::AsAManifestDb) {
            ManifestDbBackupBuilder builder(Locations::backupRoot() + QLatin1Char('/') + udid);
            for (const auto& file : kFiles)
                builder.file(file.domain, file.relativePath, file.content);
            builder.write();
            return udid;
        }
        SimulatedBackupDevice phone(m_dir.path() + QLatin1Char('/') + udid, udid);
        for (const auto& file : kFiles)
            phone.file(file.domain, file.relativePath, file.content);
        if (made == Made::ByTheToolFromAnEncryptedDevice)
            phone.password(QStringLiteral("s3cret"));
        phone.write();
        QProcessEnvironment devices;
        devices.insert(QStringLiteral("ORVANE_SIMULATED_DEVICES"), phone.folder());
        const ToolRun backup = runBackupTool({"--backup", "--target", udid}, devices);
        EXPECT_EQ(backup.exitCode, 0) << backup.output().constData();
        return udid;
    }

    QProcessEnvironment passwordFor(Made made) const
    {
        QProcessEnvironment environment;
        if (made == Made::ByTheToolFromAnEncryptedDevice)
            environment.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), QStringLiteral("s3cret"));
        return environment;
    }

    QTemporaryDir m_dir;
};

TEST_P(InspectBackup, ABackupAnswersTheViewsLookupsAndItsExportReadsBackTheSame)
{
    const Made made = GetParam();
    const QString udid = makeBackup(made);
    const QString exported = m_dir.path() + QStringLiteral("/exported");
    const QStringList lookups{"--domain", "MediaDomain", "--path", kPicture};
    const QStringList temporaryBefore = entries(Locations::temporaryFolder());

    const ToolRun fromBackup =
        inspect(QStringList{"lookups", "--backup", udid, "--export", exported} + lookups,
                passwordFor(made));
    ASSERT_EQ(fromBackup.exitCode, 0) << fromBackup.err.constData();
    const QJsonObject json = fromBackup.json();

    // The data types: the messages with their companion, the notes, nothing else.
    const QJsonObject messages = dataTypeRow(json, 5).value("file").toObject();
    EXPECT_EQ(messages.value("name").toString(), "sms.db");
    EXPECT_EQ(messages.value("bytes").toInt(), 8);
    EXPECT_EQ(messages.value("sha1").toString(), sha1("messages"));
    EXPECT_EQ(messages.value("companions").toArray(), QJsonArray{"-wal"});
    const QJsonObject notes = dataTypeRow(json, 4).value("file").toObject();
    EXPECT_EQ(notes.value("name").toString(), "NoteStore.sqlite");
    EXPECT_EQ(notes.value("sha1").toString(), sha1("notes"));
    EXPECT_EQ(dataTypeRow(json, 4).value("domain").toString(), kNotesDomain);
    EXPECT_EQ(json.value("dataTypes").toArray().size(), 15);
    for (int type : {0, 1, 2, 3, 6, 8, 9, 10, 11, 12, 13, 14, 15}) {
        EXPECT_TRUE(dataTypeRow(json, type).value("file").isNull()) << type;
        EXPECT_FALSE(dataTypeRow(json, type).value("relativePath").toString().isEmpty()) << type;
    }

    // The file by its path, and the domain's listing naming each file's backup file.
    const QJsonArray paths = json.value("paths").toArray();
    ASSERT_EQ(paths.size(), 1);
    EXPECT_EQ(paths.at(0).toObject().value("file").toObject().value("sha1").toString(),
              sha1("picture"));
    const QJsonArray listing = json.value("domainFiles").toArray();
    ASSERT_EQ(listing.size(), 1);
    EXPECT_EQ(listing.at(0).toObject().value("relativePath").toString(), kPicture);
    EXPECT_EQ(listing.at(0).toObject().value("domain").toString(), "MediaDomain");
    EXPECT_TRUE(listing.at(0)
                    .toObject()
                    .value("backupFile")
                    .toString()
                    .endsWith(backupFileIdentifier("MediaDomain", kPicture)));

    // The answers were private copies, and they are gone with the tool.
    EXPECT_EQ(entries(Locations::temporaryFolder()), temporaryBefore);

    // The export is a folder of copies that reads back as the same files.
    EXPECT_EQ(entries(exported),
              (QStringList{"IMG_0001.JPG", "NoteStore.sqlite", "sms.db", "sms.db-wal"}));
    EXPECT_EQ(readFixtureFile(exported + QStringLiteral("/sms.db-wal")),
              QByteArray("wal of messages"));
    const ToolRun fromFolder = inspect(QStringList{"lookups", exported} + lookups);
    ASSERT_EQ(fromFolder.exitCode, 0) << fromFolder.err.constData();
    EXPECT_EQ(fromFolder.json().value("dataTypes"), json.value("dataTypes"));
    EXPECT_EQ(fromFolder.json().value("paths"), json.value("paths"));

    // A second export into the same folder replaces nothing.
    ASSERT_TRUE(writeFixtureFile(exported + QStringLiteral("/sms.db"), "the user's edit"));
    const ToolRun again =
        inspect(QStringList{"lookups", "--backup", udid, "--export", exported} + lookups,
                passwordFor(made));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("nothing was exported")) << again.err.constData();
    EXPECT_EQ(readFixtureFile(exported + QStringLiteral("/sms.db")), QByteArray("the user's edit"));
}

// A manifest that cannot be read is a damaged backup, not one without files:
// every subcommand that reads the backup says so instead of answering nothing.
TEST(InspectLookups, ADamagedManifestIsReportedAsDamage)
{
    const QString udid = QStringLiteral("inspect-damaged-manifest");
    const QString folder = Locations::backupRoot() + QLatin1Char('/') + udid;
    ManifestDbBackupBuilder builder(folder);
    builder.file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"), "messages");
    builder.write();
    const QByteArray whole = readFixtureFile(folder + QStringLiteral("/Manifest.db"));
    ASSERT_GT(whole.size(), 1024);
    const struct {
        const char* name;
        QByteArray bytes;
    } damage[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray(4096, 'x')},
        {"cut short", whole.left(whole.size() / 2)},
    };
    for (const auto& d : damage) {
        SCOPED_TRACE(d.name);
        ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Manifest.db"), d.bytes));
        for (const char* subcommand : {"lookups", "calendars", "messages"}) {
            SCOPED_TRACE(subcommand);
            const ToolRun run = inspect({subcommand, "--backup", udid});
            EXPECT_EQ(run.exitCode, 2) << run.output().constData();
            EXPECT_TRUE(run.err.contains("is damaged")) << run.err.constData();
            EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
        }
    }
}

// A backup names its files as the device did; an export names them as every
// copy is named, so no control character or blank name reaches the folder.
TEST(InspectLookups, AnExportNamesHostileFilesSafely)
{
    QTemporaryDir dir;
    const QString udid = QStringLiteral("inspect-hostile-names");
    ManifestDbBackupBuilder builder(Locations::backupRoot() + QLatin1Char('/') + udid);
    const QString escape = QStringLiteral("Library/odd\x1b[31mname.txt");
    const QString blank = QStringLiteral("Library/   ");
    builder.file(QStringLiteral("HomeDomain"), escape, "escape");
    builder.file(QStringLiteral("HomeDomain"), blank, "blank");
    builder.write();
    const QString exported = dir.filePath(QStringLiteral("exported"));
    const ToolRun run = inspect(
        {"lookups", "--backup", udid, "--export", exported, "--path", escape, "--path", blank});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(entries(exported), (QStringList{"odd_[31mname.txt", "unnamed"}));
    EXPECT_EQ(readFixtureFile(exported + QStringLiteral("/odd_[31mname.txt")),
              QByteArray("escape"));
    EXPECT_EQ(readFixtureFile(exported + QStringLiteral("/unnamed")), QByteArray("blank"));
}

INSTANTIATE_TEST_SUITE_P(Backups, InspectBackup,
                         ::testing::Values(Made::ByTheToolFromADevice,
                                           Made::ByTheToolFromAnEncryptedDevice,
                                           Made::AsAManifestDb),
                         [](const auto& info) {
                             switch (info.param) {
                             case Made::ByTheToolFromADevice:
                                 return "MadeByTheTool";
                             case Made::ByTheToolFromAnEncryptedDevice:
                                 return "MadeByTheToolEncrypted";
                             case Made::AsAManifestDb:
                                 return "ManifestDb";
                             }
                             return "unknown";
                         });

TEST_F(InspectBackup, AnEncryptedBackupWithoutItsPasswordIsRefused)
{
    const QString udid = makeBackup(Made::ByTheToolFromAnEncryptedDevice);
    const ToolRun run = inspect({"lookups", "--backup", udid});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("encrypted")) << run.err.constData();
    EXPECT_TRUE(run.out.isEmpty());
}

// A backup its device encrypted opens with its password, an empty one too;
// only the key bag's check says a password is wrong, and then the tool says so.
TEST(InspectDeviceEncryptedBackup, OpensWithAnyPasswordItHasAndSaysWhenOneIsWrong)
{
    for (const QString& password : {QString(""), QStringLiteral("pässwörd 🔑")}) {
        SCOPED_TRACE(password.toStdString());
        const QString udid = QStringLiteral("inspect-device-encrypted");
        const QString folder = Locations::backupRoot() + QLatin1Char('/') + udid;
        QDir(folder).removeRecursively();
        EncryptedBackupWriter writer(folder, password);
        for (const auto& file : kFiles)
            writer.file(file.domain, file.relativePath, file.content);
        ASSERT_TRUE(writer.write());
        const QStringList arguments{"lookups",     "--backup", udid,    "--domain",
                                    "MediaDomain", "--path",   kPicture};
        QProcessEnvironment given;
        given.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), password);

        const ToolRun run = inspect(arguments, given);
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        const QJsonObject json = run.json();
        const QJsonObject messages = dataTypeRow(json, 5).value("file").toObject();
        EXPECT_EQ(messages.value("sha1").toString(), sha1("messages"));
        EXPECT_EQ(messages.value("companions").toArray(), QJsonArray{"-wal"});
        EXPECT_EQ(
            json.value("paths").toArray().at(0).toObject().value("file").toObject().value("sha1"),
            sha1("picture"));
        const QJsonArray listing = json.value("domainFiles").toArray();
        ASSERT_EQ(listing.size(), 1);
        EXPECT_EQ(listing.at(0).toObject().value("relativePath").toString(), kPicture);

        QProcessEnvironment wrong;
        wrong.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), password + QStringLiteral("x"));
        const ToolRun refused = inspect(arguments, wrong);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.err.contains("does not open the backup")) << refused.err.constData();
        EXPECT_TRUE(refused.out.isEmpty());

        const ToolRun none = inspect(arguments);
        EXPECT_EQ(none.exitCode, 2);
        EXPECT_TRUE(none.err.contains("give its password")) << none.err.constData();
    }
}

TEST(InspectTool, CommandLinesItCannotUseSayWhyAndExitTwo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeFixtureFile(dir.filePath("copies/sms.db"), "messages"));
    const QString copies = dir.filePath("copies");
    struct Case {
        const char* name;
        QStringList arguments;
        QStringList saying; // each must be in the message
        bool oneLine;
    };
    const Case cases[] = {
        {"unknown device",
         {"lookups", "--backup", "no-such-phone"},
         {"no backup of device no-such-phone", Locations::backupRoot()},
         true},
        {"hostile device", {"lookups", "--backup", "../Backup"}, {"not a device identifier"}, true},
        {"no input", {"lookups"}, {"give a FOLDER or --backup UDID"}, true},
        {"missing folder", {"lookups", dir.filePath("missing")}, {"not a folder"}, true},
        {"unknown subcommand",
         {"photographs", copies},
         // Every subcommand is named; a category that adds one does not change this row.
         {"unknown subcommand \"photographs\"", "known: ", "lookups, media"},
         false},
        {"media from a backup",
         {"media", "--backup", "some-phone"},
         {"media reads a folder of device files"},
         true},
        {"media export without tracks",
         {"media", copies, "--export", dir.filePath("out")},
         {"holds no tracks to copy"},
         true},
        {"extra argument", {"lookups", copies, "more"}, {"unexpected argument \"more\""}, true},
        {"unknown option", {"lookups", copies, "--colour"}, {"colour"}, true},
        {"nothing at all", {}, {"usage: orvane-inspect SUBCOMMAND", "lookups", "media"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = inspect(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
        for (const QString& text : c.saying)
            EXPECT_TRUE(QString::fromLocal8Bit(run.err).contains(text)) << run.err.constData();
        if (c.oneLine) {
            EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out")));
}

// The JSON is printed record by record in blocks; a document of many blocks
// is still byte for byte the one QJsonDocument writes of it.
TEST(InspectTool, ADocumentOfManyBlocksIsTheOneQJsonDocumentWrites)
{
    QTemporaryDir dir;
    MediaLibraryFixture library;
    for (int i = 0; i < 1500; ++i) {
        MediaLibraryFixture::Item item;
        item.pid = 5000000000LL + i;
        item.title = QStringLiteral("Track \"%1\" \u00e9\t").arg(i);
        item.location = QStringLiteral("T%1.m4a").arg(i);
        item.durationMs = 1000 * i;
        library.items << item;
    }
    for (int p = 0; p < 15; ++p) {
        MediaLibraryFixture::Container playlist;
        playlist.pid = 900 + p;
        playlist.name = QStringLiteral("List %1").arg(p);
        for (int k = 0; k < 40; ++k)
            playlist.items << library.items[(p * 31 + k * 7) % 1500].pid;
        library.containers << playlist;
    }
    ASSERT_TRUE(QDir().mkpath(dir.filePath("media")) && QDir().mkpath(dir.filePath("sms")));
    QString error;
    ASSERT_TRUE(library.write(dir.filePath("media/MediaLibrary.sqlitedb"), &error))
        << error.toStdString();
    SmsDbBuilder sms;
    for (int c = 0; c < 3; ++c) {
        const qint64 handle = sms.handle(QStringLiteral("+1555010%1").arg(c));
        const qint64 chat = sms.chat({handle});
        for (int i = 0; i < 600; ++i) {
            SmsDbBuilder::ChatMessage message;
            message.chat = chat;
            message.handle = handle;
            message.text = QStringLiteral("message %1 of chat %2 \U0001F600").arg(i).arg(c);
            message.date = 700000000 + i;
            message.fromMe = i % 3 == 0;
            sms.chatMessage(message);
        }
    }
    ASSERT_TRUE(sms.write(dir.filePath("sms/sms.db"), &error)) << error.toStdString();

    for (const char* subcommand : {"media", "messages"}) {
        SCOPED_TRACE(subcommand);
        const QString folder =
            dir.filePath(QString::fromLatin1(subcommand) == "media" ? "media" : "sms");
        const ToolRun run = inspect({subcommand, folder});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_GT(run.out.size(), 4 * 64 * 1024);
        QJsonParseError parsed{};
        const QJsonDocument document = QJsonDocument::fromJson(run.out, &parsed);
        ASSERT_EQ(parsed.error, QJsonParseError::NoError) << parsed.errorString().toStdString();
        EXPECT_TRUE(run.out == document.toJson(QJsonDocument::Indented));
    }
}

// A database damaged part-way is found only while its messages are printed:
// the run fails with the reason, and what it printed is never taken for a
// whole document.
TEST(InspectTool, AReadThatFailsWhilePrintingLeavesNoWholeDocument)
{
    QTemporaryDir dir;
    SmsDbBuilder sms;
    for (int c = 0; c < 3; ++c) {
        const qint64 handle = sms.handle(QStringLiteral("+1555020%1").arg(c));
        const qint64 chat = sms.chat({handle});
        for (int i = 0; i < 600; ++i) {
            SmsDbBuilder::ChatMessage message;
            message.chat = chat;
            message.handle = handle;
            message.text =
                QStringLiteral("message %1 of chat %2, long enough to fill pages").arg(i).arg(c);
            message.date = 700000000 + c * 1000 + i;
            message.attachments = {
                {QStringLiteral("~/Library/SMS/Attachments/%1-%2.jpg").arg(c).arg(i),
                 QStringLiteral("image/jpeg")}};
            sms.chatMessage(message);
        }
    }
    const QString database = dir.filePath("sms/sms.db");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sms")));
    QString error;
    ASSERT_TRUE(sms.write(database, &error)) << error.toStdString();
    // The attachments are read conversation by conversation, after the list.
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(database, "attachment"));

    const ToolRun run = inspect({"messages", dir.filePath("sms")});
    EXPECT_EQ(run.exitCode, 2) << run.out.size();
    EXPECT_TRUE(run.err.contains("sms.db")) << run.err.constData();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
    // The first conversation was whole and printed before the damage was met.
    EXPECT_GT(run.out.size(), 64 * 1024) << run.err.constData();
    QJsonParseError parsed{};
    QJsonDocument::fromJson(run.out, &parsed);
    EXPECT_NE(parsed.error, QJsonParseError::NoError);
}

TEST(InspectTool, HelpListsTheSubcommandsAndTheirOptions)
{
    const ToolRun all = inspect({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_TRUE(all.out.contains("lookups")) << all.out.constData();
    EXPECT_TRUE(all.out.contains("media"));
    const ToolRun one = inspect({"lookups", "--help"});
    EXPECT_EQ(one.exitCode, 0);
    for (const char* option : {"--backup", "--export", "--path", "--domain"})
        EXPECT_TRUE(one.out.contains(option)) << option;
}

} // namespace
