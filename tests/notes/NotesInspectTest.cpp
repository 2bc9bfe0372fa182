// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect notes` run as a program over folders of copies.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "NotesTestSupport.h"
#include "QELCopyNotes.h"
#include "QELNoteDatabaseReader.h"
#include "RecordingCopyDelegate.h"
#include "SQLiteDamage.h"
#include "ToolRun.h"

using namespace NotesTest;
using namespace NoteStoreFixture;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments, {{"TZ", "UTC"}});
}

QJsonValue nullValue() { return QJsonValue(QJsonValue::Null); }

QJsonObject attachment(const char* type, const QJsonValue& name)
{
    return QJsonObject{{QStringLiteral("type"), QString::fromLatin1(type)},
                       {QStringLiteral("name"), name}};
}

QJsonObject note(const char* id, const char* title, const QJsonValue& folder,
                 const QJsonValue& account, const char* created, const char* modified, bool locked,
                 const QJsonValue& text, const QJsonArray& attachments = {})
{
    return QJsonObject{
        {QStringLiteral("id"), QString::fromLatin1(id)},
        {QStringLiteral("title"), QString::fromUtf8(title)},
        {QStringLiteral("folder"), folder},
        {QStringLiteral("account"), account},
        {QStringLiteral("created"), QString::fromLatin1(created)},
        {QStringLiteral("modified"), QString::fromLatin1(modified)},
        {QStringLiteral("passwordProtected"), locked},
        {QStringLiteral("text"), text},
        {QStringLiteral("attachments"), attachments},
    };
}

// A later-layout store with a note of every attachment kind, a locked note
// and a non-Apple note, and the files of its attachments.
void writeLaterBackup(const QString& folder)
{
    const QString F = objectReplacement();
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}};
    store.folders = {{20, QStringLiteral("Notes")}};
    Note pictures;
    pictures.key = 30;
    pictures.title = QStringLiteral("Trip");
    pictures.created = referenceSeconds(2023, 7, 1);
    pictures.modified = referenceSeconds(2023, 7, 2) + 0.5;
    pictures.account = 1;
    pictures.folders = {20};
    pictures.body = noteBody(QStringLiteral("Trip\n") + F + "\n" + F + "\n" + F + "\n" + F,
                             {{identifier(1), QStringLiteral("public.jpeg")},
                              {identifier(2), QStringLiteral("com.apple.notes.table")},
                              {identifier(3), QStringLiteral("com.apple.drawing.2")},
                              {identifier(4), QStringLiteral("com.apple.quicktime-movie")}});
    Note locked;
    locked.key = 31;
    locked.title = QStringLiteral("PIN");
    locked.created = referenceSeconds(2023, 1, 1);
    locked.modified = referenceSeconds(2023, 1, 2);
    locked.account = 1;
    locked.folders = {20};
    locked.passwordProtected = 1;
    locked.body = QByteArray("encrypted");
    store.notes = {pictures, locked};
    store.attachments = {
        {40, identifier(1), QStringLiteral("public.jpeg"), 50, 0, 96, 64},
        {41, identifier(2), QStringLiteral("com.apple.notes.table"), 0},
        {42, identifier(3), QStringLiteral("com.apple.drawing.2"), 0},
        {43, identifier(4), QStringLiteral("com.apple.quicktime-movie"), 53, 0, 1080, 1920}};
    store.media = {{50, identifier(10), QStringLiteral("IMG_0007.JPG")},
                   {53, identifier(13), QStringLiteral("clip.MOV")}};
    store.notesInWal = 1;
    ASSERT_TRUE(writeNoteStore(folder + QStringLiteral("/NoteStore.sqlite"), store));
    ASSERT_TRUE(writeFile(folder
                              + QStringLiteral("/Accounts/LocalAccount/Media/%1/1_x/IMG_0007.JPG")
                                    .arg(identifier(10)),
                          withExifOrientation(encoded(storedPicture(-90), "jpeg"), 6)));
    ASSERT_TRUE(writeFile(
        folder + QStringLiteral("/Accounts/LocalAccount/Media/%1/1_x/clip.MOV").arg(identifier(13)),
        QByteArray("movie bytes")));
    ASSERT_TRUE(writeFile(folder
                              + QStringLiteral("/Accounts/LocalAccount/Previews/%1-1-768x1024.png")
                                    .arg(identifier(3)),
                          encoded(uprightPicture(), "png")));
    LegacyDatabase legacy;
    legacy.accounts = {{1, QStringLiteral("Local")}, {3, QStringLiteral("Gmail")}};
    legacy.notes = {{1, 11, 30, QStringLiteral("Mail note"), QStringLiteral("<div>hi</div>"),
                     referenceSeconds(2019, 3, 1), referenceSeconds(2019, 3, 2), 3}};
    ASSERT_TRUE(writeNotesSqlite(folder + QStringLiteral("/notes.sqlite"), legacy));
}

// Every file below a folder with its bytes, by relative path.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readFile(path));
    }
    return files;
}

} // namespace

TEST(NotesInspectTest, ExportWritesWhatTheViewsExportOfAllNotesWrites)
{
    QTemporaryDir dir;
    writeLaterBackup(dir.path());
    for (bool text : {false, true}) {
        SCOPED_TRACE(text ? "text" : "html");
        QTemporaryDir tool;
        QStringList arguments{QStringLiteral("notes"), dir.path(), QStringLiteral("--export"),
                              tool.path()};
        if (text)
            arguments.append(QStringLiteral("--text"));
        const ToolRun run = inspect(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();

        FolderBackupFileSource source(dir.path());
        std::shared_ptr<QELNoteDatabaseReader> reader = QELNoteDatabaseReader::makeReader(source);
        ASSERT_TRUE(reader);
        QVariantList items;
        for (const auto& note : reader->getAllNotes())
            items.append(QELCopyNotes::itemForNote(note));
        QTemporaryDir view;
        RecordingCopyDelegate delegate;
        QELCopyNotes job;
        job.setDelegate(&delegate);
        job.setDatabaseReader(reader);
        job.setExportOptions(text ? 0 : QELCopyNotes::kHTML);
        job.setBaseCopyPath(view.path());
        job.setItemQueue(items);
        job.startCopy();
        ASSERT_TRUE(delegate.waitForAllItemsCopied());

        const QMap<QString, QByteArray> written = tree(tool.path());
        EXPECT_EQ(written, tree(view.path()));
        const QStringList expected = text
            ? QStringList{"Mail note.txt", "Trip.txt"}
            : QStringList{"Mail note.html", "Trip - Attachments/1.JPG", "Trip - Attachments/2.png",
                          "Trip - Attachments/3.MOV", "Trip.html"};
        EXPECT_EQ(written.keys(), expected);
    }
}

TEST(NotesInspectTest, PrintsTheNoteStoresNotes)
{
    QTemporaryDir dir;
    writeLaterBackup(dir.path());
    const ToolRun run = inspect({QStringLiteral("notes"), dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject expected{
        {QStringLiteral("reader"), QStringLiteral("QELIOS9NoteDatabaseReader")},
        {QStringLiteral("notes"),
         QJsonArray{
             note("31", "PIN", QStringLiteral("Notes"), QStringLiteral("iCloud"),
                  "2023-01-01T12:00:00Z", "2023-01-02T12:00:00Z", true, nullValue()),
             note("30", "Trip", QStringLiteral("Notes"), QStringLiteral("iCloud"),
                  "2023-07-01T12:00:00Z", "2023-07-02T12:00:00Z", false, QStringLiteral("Trip"),
                  QJsonArray{attachment("image", QStringLiteral("IMG_0007.JPG")),
                             attachment("other", nullValue()), attachment("sketch", nullValue()),
                             attachment("video", QStringLiteral("clip.MOV"))}),
             note("30", "Mail note", QStringLiteral("Notes"), QStringLiteral("Gmail"),
                  "2019-03-01T12:00:00Z", "2019-03-02T12:00:00Z", false, QStringLiteral("hi")),
         }},
    };
    EXPECT_EQ(run.json(), expected) << run.out.constData();
}

TEST(NotesInspectTest, PrintsTheOlderDatabasesNotes)
{
    QTemporaryDir sqlite;
    LegacyDatabase legacy;
    legacy.accounts = {{1, QStringLiteral("Local")}};
    legacy.notes = {{1, 7, 1, QStringLiteral("Old <one>"), QStringLiteral("a<br>b"),
                     referenceSeconds(2011, 1, 1), referenceSeconds(2011, 1, 2), 1}};
    ASSERT_TRUE(writeNotesSqlite(sqlite.filePath(QStringLiteral("notes.sqlite")), legacy));
    ToolRun run = inspect({QStringLiteral("notes"), sqlite.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(
        run.json(),
        (QJsonObject{
            {QStringLiteral("reader"), QStringLiteral("QELLegacyNoteDatabaseReader")},
            {QStringLiteral("notes"),
             QJsonArray{note("7", "Old <one>", nullValue(), nullValue(), "2011-01-01T12:00:00Z",
                             "2011-01-02T12:00:00Z", false, QStringLiteral("a\r\nb"))}}}));

    QTemporaryDir db;
    ASSERT_TRUE(writeNotesDb(
        db.filePath(QStringLiteral("notes.db")),
        {{3, QStringLiteral("Earliest"), QStringLiteral("text"), referenceSeconds(2009, 6, 1)}}));
    run = inspect({QStringLiteral("notes"), db.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray notes = run.json().value(QStringLiteral("notes")).toArray();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.at(0).toObject().value(QStringLiteral("id")), QStringLiteral("3"));
    EXPECT_EQ(notes.at(0).toObject().value(QStringLiteral("created")),
              QStringLiteral("2009-06-01T12:00:00Z"));
}

TEST(NotesInspectTest, RefusesAFolderWithoutANotesDatabase)
{
    QTemporaryDir empty;
    ToolRun run = inspect({QStringLiteral("notes"), empty.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("no notes database")) << run.err.constData();

    QTemporaryDir garbage;
    ASSERT_TRUE(
        writeFile(garbage.filePath(QStringLiteral("NoteStore.sqlite")), QByteArray(2048, 'x')));
    run = inspect({QStringLiteral("notes"), garbage.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("could not be read")) << run.err.constData();

    // Damaged among its objects: the messages' shape of damage, nothing printed.
    QTemporaryDir damaged;
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}};
    for (int i = 0; i < 400; ++i) {
        Note n;
        n.key = 100 + i;
        n.title = QStringLiteral("note %1 ").arg(i) + QString(100, QLatin1Char('t'));
        n.account = 1;
        store.notes.append(n);
    }
    const QString path = damaged.filePath(QStringLiteral("NoteStore.sqlite"));
    ASSERT_TRUE(writeNoteStore(path, store));
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(path, QStringLiteral("ZICCLOUDSYNCINGOBJECT")));
    run = inspect({QStringLiteral("notes"), damaged.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith("orvane-inspect: NoteStore.sqlite: this database is damaged: "))
        << run.err.constData();
}
