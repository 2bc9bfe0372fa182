// SPDX-License-Identifier: GPL-3.0-or-later
// The note store reader over both layouts, the older databases' reader, and
// the choice between them.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "NotesTestSupport.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELIOS9NoteDetail.h"
#include "QELLegacyNoteDatabaseReader.h"
#include "QELLegacyNoteDetail.h"
#include "QELMediaNoteContent.h"
#include "SQLiteDamage.h"

using namespace NotesTest;
using namespace NoteStoreFixture;

namespace {

// "account/folder/title" per note, in the reader's order.
QStringList places(const QELNoteDatabaseReader::NoteList& notes)
{
    QStringList out;
    for (const auto& note : notes)
        out.append(QStringLiteral("%1/%2/%3")
                       .arg(note->accountDetail() ? note->accountDetail()->name() : QString(),
                            note->folderDetail() ? note->folderDetail()->name() : QString(),
                            note->title()));
    return out;
}

std::shared_ptr<QELNoteDetail> titled(const QELNoteDatabaseReader::NoteList& notes,
                                      const QString& title)
{
    for (const auto& note : notes)
        if (note->title() == title)
            return note;
    return nullptr;
}

Store sampleStore(Layout layout)
{
    Store store;
    store.layout = layout;
    store.accounts = {{1, QStringLiteral("iCloud")}, {2, QStringLiteral("On My iPhone")}};
    store.folders = {{20, QStringLiteral("Work")},
                     {21, QStringLiteral("Home")},
                     {22, QStringLiteral("Deleted"), true}};
    auto note = [](qint64 key, const char* title, qint64 account, QList<qint64> folders,
                   const QString& text) {
        Note n;
        n.key = key;
        n.title = QString::fromUtf8(title);
        n.created = referenceSeconds(2020, 1, int(key % 28) + 1) + 0.75;
        n.modified = referenceSeconds(2021, 2, int(key % 28) + 1) + 0.5;
        n.account = account;
        n.folders = folders;
        n.body = noteBody(text);
        return n;
    };
    store.notes = {
        note(100, "zebra", 1, {20}, QStringLiteral("zebra\nstripes")),
        note(101, "Apple", 1, {20}, QStringLiteral("Apple")),
        note(102, "home list", 1, {21}, QStringLiteral("home list\neggs")),
        note(103, "phone", 2, {}, QStringLiteral("phone")),
        note(104, "orphan", 2, {22}, QStringLiteral("orphan")),
    };
    // Two folder rows: the later one counts.
    if (layout == Layout::IOS9)
        store.notes[2].folders = {20, 21};
    Note locked = note(105, "secret", 1, {21}, QStringLiteral("never decoded"));
    locked.passwordProtected = 1;
    store.notes.append(locked);
    Note gone = note(106, "gone", 1, {20}, QStringLiteral("gone"));
    gone.markedForDeletion = true;
    store.notes.append(gone);
    Note empty = note(107, "empty body", 2, {}, QString());
    empty.body = QByteArray();
    store.notes.append(empty);
    return store;
}

class NoteStoreReaderTest : public ::testing::Test {
protected:
    QString write(const Store& store)
    {
        const QString path = m_dir.filePath(QStringLiteral("NoteStore.sqlite"));
        QString error;
        EXPECT_TRUE(writeNoteStore(path, store, &error)) << qPrintable(error);
        return path;
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(NoteStoreReaderTest, ReadsBothLayoutsAlike)
{
    for (Layout layout : {Layout::IOS9, Layout::Later}) {
        SCOPED_TRACE(layout == Layout::IOS9 ? "iOS 9" : "later");
        QELIOS9NoteDatabaseReader reader(write(sampleStore(layout)), QString());
        const QELNoteDatabaseReader::NoteList notes = reader.getAllNotes();
        EXPECT_EQ(reader.lastError(), QString());
        EXPECT_EQ(places(notes),
                  QStringList({"iCloud/Home/home list", "iCloud/Home/secret", "iCloud/Work/Apple",
                               "iCloud/Work/zebra", "On My iPhone//empty body",
                               "On My iPhone//orphan", "On My iPhone//phone"}));
        const auto zebra = titled(notes, QStringLiteral("zebra"));
        ASSERT_TRUE(zebra);
        EXPECT_EQ(zebra->summary(), QStringLiteral("zebra\nstripes"));
        EXPECT_EQ(zebra->noteId(), 100);
        // Fractions of a second are dropped; the later layout's ZCREATIONDATE3 wins.
        EXPECT_EQ(zebra->creationDate(), utc(2020, 1, 17));
        EXPECT_EQ(zebra->lastModified(), utc(2021, 2, 17));
        const auto secret = titled(notes, QStringLiteral("secret"));
        ASSERT_TRUE(secret);
        EXPECT_TRUE(secret->passwordProtected());
        EXPECT_EQ(secret->summary(), QString());
        EXPECT_TRUE(reader.extractMediaForNote(*secret));
        EXPECT_FALSE(std::static_pointer_cast<QELIOS9NoteDetail>(secret)->content());
        const auto empty = titled(notes, QStringLiteral("empty body"));
        EXPECT_EQ(empty->summary(), QString());
        EXPECT_TRUE(reader.extractMediaForNote(*empty));
        EXPECT_FALSE(std::static_pointer_cast<QELIOS9NoteDetail>(empty)->content());
    }
}

TEST_F(NoteStoreReaderTest, ExtractsTheBodyOnce)
{
    const QString store = write(sampleStore(Layout::IOS9));
    QELIOS9NoteDatabaseReader reader(store, QString());
    const auto notes = reader.getAllNotes();
    auto zebra =
        std::static_pointer_cast<QELIOS9NoteDetail>(titled(notes, QStringLiteral("zebra")));
    EXPECT_FALSE(zebra->mediaExtracted());
    EXPECT_TRUE(reader.extractMediaForNote(*zebra));
    EXPECT_TRUE(zebra->mediaExtracted());
    EXPECT_EQ(zebra->plainTextRepresentation(), QStringLiteral("zebra\nstripes"));
    // The second call does not open the store.
    QFile::remove(store);
    EXPECT_TRUE(reader.extractMediaForNote(*zebra));
    auto apple = titled(notes, QStringLiteral("Apple"));
    EXPECT_FALSE(reader.extractMediaForNote(*apple));
}

TEST_F(NoteStoreReaderTest, WithoutThePasswordColumnEveryNoteIsReadable)
{
    Store store = sampleStore(Layout::IOS9);
    store.passwordColumn = false;
    QELIOS9NoteDatabaseReader reader(write(store), QString());
    const auto secret = titled(reader.getAllNotes(), QStringLiteral("secret"));
    ASSERT_TRUE(secret);
    EXPECT_FALSE(secret->passwordProtected());
    EXPECT_EQ(secret->summary(), QStringLiteral("never decoded"));
}

TEST_F(NoteStoreReaderTest, ReadsNotesThatLiveOnlyInTheWal)
{
    Store store = sampleStore(Layout::Later);
    store.notesInWal = 3;
    const QString path = write(store);
    ASSERT_TRUE(QFileInfo::exists(path + QStringLiteral("-wal")));
    QELIOS9NoteDatabaseReader reader(path, QString());
    const auto notes = reader.getAllNotes();
    EXPECT_EQ(notes.size(), 7);
    const auto emptyBody = titled(notes, QStringLiteral("empty body"));
    ASSERT_TRUE(emptyBody);
    ASSERT_TRUE(titled(notes, QStringLiteral("secret")));
    EXPECT_EQ(titled(notes, QStringLiteral("orphan"))->summary(), QStringLiteral("orphan"));
}

TEST_F(NoteStoreReaderTest, EntityNumbersDefaultWithoutThePrimaryKeyTable)
{
    Store store = sampleStore(Layout::IOS9);
    store.primaryKeyTable = false;
    QELIOS9NoteDatabaseReader reader(write(store), QString());
    EXPECT_EQ(reader.getAllNotes().size(), 7);
}

TEST_F(NoteStoreReaderTest, AddsTheNonAppleAccountsNotes)
{
    for (bool stores : {false, true}) {
        SCOPED_TRACE(stores ? "with ZSTORE" : "without ZSTORE");
        LegacyDatabase legacy;
        legacy.accounts = {{1, QStringLiteral("Local")}, {3, QStringLiteral("Gmail")}};
        // The non-Apple note's body key (100) equals the note store's "zebra".
        const qint64 gmailRef = stores ? 7 : 3;
        const qint64 localRef = stores ? 6 : 1;
        if (stores)
            legacy.stores = {{6, 1}, {7, 3}};
        legacy.notes = {
            {1, 11, 100, QStringLiteral("Mail note"),
             QStringLiteral("<div>one</div><div><br></div><div>two &amp; three</div>"),
             referenceSeconds(2019, 3, 1), referenceSeconds(2019, 3, 2), gmailRef},
            {2, 12, 101, QStringLiteral("Local note"), QStringLiteral("local"), 0, 0, localRef},
        };
        const QString legacyPath = path("notes.sqlite");
        ASSERT_TRUE(writeNotesSqlite(legacyPath, legacy));
        QELIOS9NoteDatabaseReader reader(write(sampleStore(Layout::IOS9)), legacyPath);
        const auto notes = reader.getAllNotes();
        ASSERT_EQ(notes.size(), 8);
        const auto mail = notes.last();
        EXPECT_EQ(mail->title(), QStringLiteral("Mail note"));
        EXPECT_EQ(mail->noteId(), 100);
        EXPECT_EQ(mail->accountDetail()->accountId(), 256003);
        EXPECT_EQ(mail->accountDetail()->name(), QStringLiteral("Gmail"));
        EXPECT_EQ(mail->folderDetail()->folderId(), 256003);
        EXPECT_EQ(mail->folderDetail()->name(), QStringLiteral("Notes"));
        EXPECT_EQ(mail->summary(), QStringLiteral("one\r\n\r\ntwo & three"));
        EXPECT_EQ(mail->creationDate(), utc(2019, 3, 1));
        EXPECT_EQ(mail->plainTextRepresentation(), QStringLiteral("one\n\ntwo & three"));
        const auto zebra = titled(notes, QStringLiteral("zebra"));
        EXPECT_EQ(zebra->noteId(), mail->noteId());
        EXPECT_FALSE(zebra->rowKey() == mail->rowKey());
    }
}

TEST_F(NoteStoreReaderTest, LegacyReaderReadsBothGenerations)
{
    LegacyDatabase legacy;
    legacy.accounts = {{1, QStringLiteral("Local")}};
    legacy.notes = {
        {1, 41, 1, QStringLiteral("beta"), QStringLiteral("x&amp;nbsp;y"),
         referenceSeconds(2012, 5, 1) + 0.9, referenceSeconds(2012, 5, 2), 1},
        {2, 42, 2, QStringLiteral("Alpha"), QStringLiteral("<div>a</div>"), 0, 0, 1},
        {3, 43, 3, QStringLiteral("alpha"), QString(), 0, 0, 1},
    };
    legacy.alsoEarlierTables = true;
    ASSERT_TRUE(writeNotesSqlite(path("notes.sqlite"), legacy));
    QELLegacyNoteDatabaseReader reader(path("notes.sqlite"));
    const auto notes = reader.getAllNotes();
    EXPECT_EQ(places(notes), QStringList({"//Alpha", "//alpha", "//beta"}));
    EXPECT_EQ(notes.at(0)->noteId(), 42);
    const auto beta = std::static_pointer_cast<QELLegacyNoteDetail>(notes.at(2));
    // Decoded once: the "&nbsp;" that was typed stays as typed.
    EXPECT_EQ(beta->text(), QStringLiteral("x&nbsp;y"));
    EXPECT_EQ(beta->summary(), QStringLiteral("x&nbsp;y"));
    EXPECT_EQ(beta->creationDate(), utc(2012, 5, 1));
    EXPECT_FALSE(beta->accountDetail());

    ASSERT_TRUE(writeNotesDb(path("notes.db"),
                             {{5, QStringLiteral("Old"), QStringLiteral("<b>old</b> text"), 0}}));
    QELLegacyNoteDatabaseReader earlier(path("notes.db"));
    const auto old = earlier.getAllNotes();
    ASSERT_EQ(old.size(), 1);
    EXPECT_EQ(old.first()->noteId(), 5);
    EXPECT_EQ(old.first()->plainTextRepresentation(), QStringLiteral("old text"));
}

TEST_F(NoteStoreReaderTest, BadFilesReadAsNothingWithAReason)
{
    ASSERT_TRUE(writeFile(path("empty.sqlite"), QByteArray()));
    ASSERT_TRUE(writeFile(path("garbage.sqlite"), QByteArray(4096, 'g')));
    const QString whole = write(sampleStore(Layout::IOS9));
    QByteArray bytes = readFile(whole);
    ASSERT_TRUE(writeFile(path("truncated.sqlite"), bytes.left(bytes.size() / 3)));
    for (const char* name :
         {"empty.sqlite", "garbage.sqlite", "missing.sqlite", "truncated.sqlite"}) {
        SCOPED_TRACE(name);
        QELIOS9NoteDatabaseReader later(path(name), path(name));
        EXPECT_TRUE(later.getAllNotes().size() < 7);
        QELLegacyNoteDatabaseReader legacy(path(name));
        EXPECT_TRUE(legacy.getAllNotes().isEmpty());
        if (QByteArray(name) != "truncated.sqlite") {
            EXPECT_FALSE(later.lastError().isEmpty());
            EXPECT_FALSE(legacy.lastError().isEmpty());
        }
    }
}

// The sample store with enough notes to fill many pages of its tables.
Store manyNotes()
{
    Store store = sampleStore(Layout::Later);
    for (int i = 0; i < 400; ++i) {
        Note n;
        n.key = 1000 + i;
        n.title = QStringLiteral("note %1 ").arg(i) + QString(100, QLatin1Char('t'));
        n.account = 1;
        n.folders = {20};
        QString text;
        for (int word = 0; word < 40; ++word)
            text += QString::number((i + 1) * 7919 * (word + 3), 36) + QLatin1Char(' ');
        n.body = noteBody(text);
        store.notes.append(n);
    }
    return store;
}

// Notes that cannot be read to their end are not read at all: the list is
// empty and the reason says which database is damaged (never "not an
// error"). The older database of the other accounts is part of the read.
TEST_F(NoteStoreReaderTest, NotesThatCannotBeReadToTheirEndAreDamaged)
{
    auto neverAnswers = [](const QString& path, const QString& table) {
        return SQLiteDamage::slowDown(path, table, 1'000'000'000'000);
    };
    struct Case {
        const char* what;
        bool inOlderDatabase;
        const char* table;
        std::function<bool(const QString& path, const QString& table)> damage;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"objects that never answer", false, "ZICCLOUDSYNCINGOBJECT", neverAnswers,
         "the accounts could not be read: a query ran past its time limit"},
        {"bodies that never answer", false, "ZICNOTEDATA", neverAnswers,
         "the bodies of the notes could not be read: a query ran past its time limit"},
        {"entities that never answer", false, "Z_PRIMARYKEY", neverAnswers, "the entities"},
        {"endless objects", false, "ZICCLOUDSYNCINGOBJECT", SQLiteDamage::makeEndless, ""},
        {"a damaged page among the objects", false, "ZICCLOUDSYNCINGOBJECT",
         SQLiteDamage::damageMiddleOf, ""},
        {"a damaged page among the bodies", false, "ZICNOTEDATA", SQLiteDamage::damageMiddleOf,
         "the bodies of the notes"},
        {"other accounts' notes that never answer", true, "ZNOTE", neverAnswers,
         "the notes of the other accounts could not be read: a query ran past its time limit"},
    };
    LegacyDatabase legacy;
    legacy.accounts = {{1, QStringLiteral("Local")}, {3, QStringLiteral("Gmail")}};
    legacy.notes = {{1, 11, 100, QStringLiteral("Mail note"), QStringLiteral("mail"), 0, 0, 3}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString store = path("NoteStore.sqlite") + QString::number(++n);
        ASSERT_TRUE(writeNoteStore(store, manyNotes()));
        const QString older = path("notes.sqlite") + QString::number(n);
        ASSERT_TRUE(writeNotesSqlite(older, legacy));
        ASSERT_TRUE(c.damage(c.inOlderDatabase ? older : store, QLatin1String(c.table)));
        QELIOS9NoteDatabaseReader reader(store, older);
        reader.setReadBudget(std::chrono::milliseconds(300));
        EXPECT_TRUE(reader.getAllNotes().isEmpty());
        const QString error = reader.lastError();
        EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
    }
    // The older generation's reader alike.
    for (const bool endless : {false, true}) {
        SCOPED_TRACE(endless ? "endless older notes" : "older notes that never answer");
        const QString older = path(endless ? "endless.sqlite" : "never.sqlite");
        ASSERT_TRUE(writeNotesSqlite(older, legacy));
        ASSERT_TRUE(endless ? SQLiteDamage::makeEndless(older, QStringLiteral("ZNOTE"))
                            : neverAnswers(older, QStringLiteral("ZNOTE")));
        QELLegacyNoteDatabaseReader reader(older);
        reader.setReadBudget(std::chrono::milliseconds(300));
        EXPECT_TRUE(reader.getAllNotes().isEmpty());
        EXPECT_TRUE(reader.lastError().startsWith(
            QStringLiteral("this database is damaged: the notes could not be read: ")))
            << reader.lastError().toStdString();
    }
    // The same files whole read whole.
    ASSERT_TRUE(writeNoteStore(path("whole.sqlite"), manyNotes()));
    ASSERT_TRUE(writeNotesSqlite(path("whole-older.sqlite"), legacy));
    QELIOS9NoteDatabaseReader reader(path("whole.sqlite"), path("whole-older.sqlite"));
    EXPECT_EQ(reader.getAllNotes().size(), 7 + 400 + 1) << reader.lastError().toStdString();
}

// One budget for the whole read: the accounts, the notes and the folders are
// each a statement over the objects' table, and three statements that each
// fit the budget do not all run to their end.
TEST_F(NoteStoreReaderTest, TheStatementsOfOneReadShareOneBudget)
{
    const QString store = write(sampleStore(Layout::Later));
    const qint64 steps = 1'000'000;
    ASSERT_TRUE(SQLiteDamage::slowDown(store, QStringLiteral("ZICCLOUDSYNCINGOBJECT"), steps));
    QELIOS9NoteDatabaseReader reader(store, QString());
    reader.setReadBudget(SQLiteDamage::timeToCount(steps) * 2);
    EXPECT_TRUE(reader.getAllNotes().isEmpty());
    EXPECT_TRUE(reader.lastError().startsWith(QStringLiteral("this database is damaged: ")))
        << reader.lastError().toStdString();
    EXPECT_TRUE(reader.lastError().contains(QStringLiteral("time limit")))
        << reader.lastError().toStdString();
}

// A note's media is a read of its own: one whose statement cannot finish
// answers false and leaves the note to be read again, not taken for whole.
TEST_F(NoteStoreReaderTest, MediaThatCannotBeReadLeaveTheNoteIncomplete)
{
    for (const char* table : {"ZICNOTEDATA", "ZICCLOUDSYNCINGOBJECT"}) {
        SCOPED_TRACE(table);
        const QString store = path("media.sqlite") + QLatin1String(table);
        ASSERT_TRUE(writeNoteStore(store, sampleStore(Layout::Later)));
        QELIOS9NoteDatabaseReader reader(store, QString());
        const auto notes = reader.getAllNotes();
        const auto zebra = titled(notes, QStringLiteral("zebra"));
        ASSERT_TRUE(zebra);
        ASSERT_TRUE(SQLiteDamage::slowDown(store, QLatin1String(table), 1'000'000'000'000));
        reader.setReadBudget(std::chrono::milliseconds(300));
        EXPECT_FALSE(reader.extractMediaForNote(*zebra));
        EXPECT_FALSE(std::static_pointer_cast<QELIOS9NoteDetail>(zebra)->mediaExtracted());
    }
}

TEST_F(NoteStoreReaderTest, HostileBodiesNeverStopTheRead)
{
    Store store = sampleStore(Layout::Later);
    store.notes[0].body = QByteArray("\x1f\x8b garbage", 10);
    store.notes[1].body = compress(QByteArray("\x08\x00\x12\x7f", 4) + QByteArray(30, '\xff'));
    store.notes[2].body = noteBody(QStringLiteral("fine"));
    QELIOS9NoteDatabaseReader reader(write(store), QString());
    const auto notes = reader.getAllNotes();
    ASSERT_EQ(notes.size(), 7);
    for (const auto& note : notes)
        EXPECT_TRUE(reader.extractMediaForNote(*note));
    EXPECT_EQ(titled(notes, QStringLiteral("zebra"))->summary(), QString());
    EXPECT_EQ(titled(notes, QStringLiteral("home list"))->summary(), QStringLiteral("fine"));
}

TEST_F(NoteStoreReaderTest, ChoosesTheReaderByTheBackupsFiles)
{
    QTemporaryDir later;
    ASSERT_TRUE(writeNoteStore(later.filePath(QStringLiteral("NoteStore.sqlite")),
                               sampleStore(Layout::IOS9)));
    ASSERT_TRUE(writeNotesSqlite(later.filePath(QStringLiteral("notes.sqlite")), {}));
    FolderBackupFileSource withStore(later.path());
    auto reader = QELNoteDatabaseReader::makeReader(withStore);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->className(), QStringLiteral("QELIOS9NoteDatabaseReader"));

    QTemporaryDir earlier;
    ASSERT_TRUE(writeNotesDb(earlier.filePath(QStringLiteral("notes.db")),
                             {{1, QStringLiteral("x"), QStringLiteral("y"), 0}}));
    FolderBackupFileSource onlyDb(earlier.path());
    reader = QELNoteDatabaseReader::makeReader(onlyDb);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->className(), QStringLiteral("QELLegacyNoteDatabaseReader"));
    EXPECT_EQ(reader->getAllNotes().size(), 1);

    QTemporaryDir none;
    FolderBackupFileSource nothing(none.path());
    EXPECT_FALSE(QELNoteDatabaseReader::makeReader(nothing));
}

// Hashtags, mentions and links to notes are U+FFFC in the body, their text
// in the store (ZALTTEXT): the summary and the page read them as that text,
// inside a line or as a line of their own, and the pictures after them keep
// their places.
TEST_F(NoteStoreReaderTest, InlineAttachmentsReadAsTheirText)
{
    const QString fffc = objectReplacement();
    const QString hashtag = QStringLiteral("com.apple.notes.inlinetextattachment.hashtag");
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}};
    store.inlineAttachments = {
        {300, identifier(1), hashtag, QStringLiteral("#work")},
        {301, identifier(2), QStringLiteral("com.apple.notes.inlinetextattachment.mention"),
         QStringLiteral("@Ann")},
        {302, identifier(3), hashtag, QStringLiteral("#home")},
    };
    Note note;
    note.key = 100;
    note.title = QStringLiteral("Plans");
    note.account = 1;
    note.body =
        noteBody(QStringLiteral("Meet %1 about %1\n%1\n%1\nend %1").arg(fffc),
                 {{identifier(1), hashtag},
                  {identifier(2), QStringLiteral("com.apple.notes.inlinetextattachment.mention")},
                  {identifier(3), hashtag},
                  {identifier(4), QStringLiteral("public.jpeg")},
                  // No row names this one's text: it stays what it was.
                  {identifier(5), hashtag}});
    store.notes = {note};
    QELIOS9NoteDatabaseReader reader(write(store), QString());
    const auto notes = reader.getAllNotes();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.first()->summary(),
              QStringLiteral("Meet #work about @Ann\n#home\n\nend %1").arg(fffc));
    ASSERT_TRUE(reader.extractMediaForNote(*notes.first()));
    const auto content = std::static_pointer_cast<QELIOS9NoteDetail>(notes.first())->content();
    ASSERT_TRUE(content);
    ASSERT_EQ(content->size(), 4);
    EXPECT_EQ(content->at(0)->plainTextRepresentation(), QStringLiteral("Meet #work about @Ann"));
    EXPECT_EQ(content->at(1)->plainTextRepresentation(), QStringLiteral("#home"));
    const auto picture = std::dynamic_pointer_cast<QELMediaNoteContent>(content->at(2));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->contentFormat(), QELNoteContent::kImage);
    EXPECT_EQ(picture->identifier(), identifier(4));
    EXPECT_EQ(picture->exportName(), QStringLiteral("1"));
    EXPECT_EQ(content->at(3)->plainTextRepresentation(), QStringLiteral("end %1").arg(fffc));
}

// The numbered columns move between systems and a column of another entity
// stays NULL on note rows: the creation date comes from whichever holds it,
// and folders from the join table when ZFOLDER is left NULL.
TEST_F(NoteStoreReaderTest, DatesAndFoldersComeFromTheColumnsThatHoldThem)
{
    Store later = sampleStore(Layout::Later);
    later.noteCreationColumn = QStringLiteral("ZCREATIONDATE1");
    QELIOS9NoteDatabaseReader fromFirst(write(later), QString());
    const auto zebra = titled(fromFirst.getAllNotes(), QStringLiteral("zebra"));
    ASSERT_TRUE(zebra);
    EXPECT_EQ(zebra->creationDate(), utc(2020, 1, 17));

    Store ios9 = sampleStore(Layout::IOS9);
    ios9.folderColumnLeftNull = true;
    QELIOS9NoteDatabaseReader throughJoin(write(ios9), QString());
    EXPECT_EQ(places(throughJoin.getAllNotes()),
              QStringList({"iCloud/Home/home list", "iCloud/Home/secret", "iCloud/Work/Apple",
                           "iCloud/Work/zebra", "On My iPhone//empty body", "On My iPhone//orphan",
                           "On My iPhone//phone"}));
}

// A folder the store names no title of is named as the notes app names it.
TEST_F(NoteStoreReaderTest, FoldersWithoutATitleGetTheAppsNames)
{
    Store store = sampleStore(Layout::Later);
    store.folders = {{20, QString()}, {21, QString()}, {22, QStringLiteral("Deleted"), true}};
    store.folderIdentifiers = {{20, QStringLiteral("DefaultFolder-CloudKit")},
                               {21, QStringLiteral("TrashFolder-CloudKit")}};
    store.folderTypes = {{21, 1}};
    QELIOS9NoteDatabaseReader reader(write(store), QString());
    EXPECT_EQ(
        places(reader.getAllNotes()),
        QStringList({"iCloud/Notes/Apple", "iCloud/Notes/zebra",
                     "iCloud/Recently Deleted/home list", "iCloud/Recently Deleted/secret",
                     "On My iPhone//empty body", "On My iPhone//orphan", "On My iPhone//phone"}));
}

// Some stores link a body only from the note's side: ZICNOTEDATA.ZNOTE is
// NULL and the note's ZNOTEDATA names the body row.
TEST_F(NoteStoreReaderTest, BodiesLinkedOnlyFromTheNoteAreRead)
{
    for (Layout layout : {Layout::IOS9, Layout::Later}) {
        SCOPED_TRACE(layout == Layout::IOS9 ? "iOS 9" : "later");
        Store store = sampleStore(layout);
        store.notes[0].noteDataKey = 901; // zebra (the rows after it take 902 on)
        store.notes[3].noteDataKey = 900; // phone
        store.notes[3].body = noteBody(QStringLiteral("phone\n%1").arg(objectReplacement()),
                                       {{identifier(1), QStringLiteral("public.jpeg")}});
        QELIOS9NoteDatabaseReader reader(write(store), QString());
        const auto notes = reader.getAllNotes();
        const auto zebra = titled(notes, QStringLiteral("zebra"));
        ASSERT_TRUE(zebra);
        EXPECT_EQ(zebra->summary(), QStringLiteral("zebra\nstripes"));
        EXPECT_EQ(titled(notes, QStringLiteral("Apple"))->summary(), QStringLiteral("Apple"));
        const auto phone = titled(notes, QStringLiteral("phone"));
        ASSERT_TRUE(phone);
        EXPECT_EQ(phone->summary(), QStringLiteral("phone\n"));
        ASSERT_TRUE(reader.extractMediaForNote(*phone));
        const auto content = std::static_pointer_cast<QELIOS9NoteDetail>(phone)->content();
        ASSERT_TRUE(content);
        ASSERT_EQ(content->size(), 2);
        EXPECT_EQ(content->at(1)->contentFormat(), QELNoteContent::kImage);
    }
}

// A note stored without a title shows its first line of text, as the notes
// app lists it.
TEST_F(NoteStoreReaderTest, UntitledNotesAreNamedByTheirFirstLine)
{
    struct Case {
        const char* what;
        QString title;
        bool titleNull;
        QString text;
        QString expected;
    };
    const QString fffc = objectReplacement();
    const QList<Case> cases{
        {"NULL", QString(), true, QStringLiteral("Groceries\nmilk"), QStringLiteral("Groceries")},
        {"empty", QStringLiteral(""), false, QStringLiteral("\n  \n\tTrip plans \nday 1"),
         QStringLiteral("Trip plans")},
        {"spaces", QStringLiteral("  "), false, QStringLiteral("%1\nAfter the picture").arg(fffc),
         QStringLiteral("After the picture")},
        {"kept", QStringLiteral("Own title"), false, QStringLiteral("first line"),
         QStringLiteral("Own title")},
        {"no text", QString(), true, QString(), QString()},
    };
    for (Layout layout : {Layout::IOS9, Layout::Later}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            Store store;
            store.layout = layout;
            store.accounts = {{1, QStringLiteral("iCloud")}};
            Note note;
            note.key = 100;
            note.title = c.title;
            note.titleNull = c.titleNull;
            note.account = 1;
            note.body = noteBody(c.text, {{identifier(1), QStringLiteral("public.jpeg")}});
            Note locked = note;
            locked.key = 101;
            locked.passwordProtected = 1;
            store.notes = {note, locked};
            QELIOS9NoteDatabaseReader reader(write(store), QString());
            const auto notes = reader.getAllNotes();
            ASSERT_EQ(notes.size(), 2);
            for (const auto& read : notes) {
                if (read->passwordProtected())
                    EXPECT_EQ(read->title().trimmed(), c.titleNull ? QString() : c.title.trimmed());
                else
                    EXPECT_EQ(read->title(), c.expected);
            }
        }
    }
}
