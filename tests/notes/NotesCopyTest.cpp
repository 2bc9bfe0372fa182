// SPDX-License-Identifier: GPL-3.0-or-later
// The notes export: file names, HTML with its attachments, text, locked
// notes, and a restart while a run is writing.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "FolderBackupFileSource.h"
#include "LocalizedStrings.h"
#include "NotesTestSupport.h"
#include "QELCopyNotes.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELIOS9NoteDetail.h"
#include "QELLegacyNoteDetail.h"
#include "RecordingCopyDelegate.h"

using namespace NotesTest;

namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);

std::shared_ptr<QELLegacyNoteDetail> legacy(const QString& title, const QString& text = QString())
{
    auto note = std::make_shared<QELLegacyNoteDetail>();
    note->setTitle(title);
    note->setText(text.isNull() ? title : text);
    note->setCreationDate(utc(2024, 3, 5));
    note->setLastModified(utc(2024, 4, 6));
    return note;
}

QStringList filesIn(const QString& folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QStringList exportAll(const QELNoteDatabaseReader::NoteList& notes, const QString& folder,
                      int options, QELNoteDatabaseReader* reader = nullptr)
{
    SafePath::UniqueNamer namer = QELCopyNotes::namerForRun(folder);
    QStringList results;
    for (const auto& note : notes) {
        QString path;
        QString error;
        const auto result =
            QELCopyNotes::exportNote(*note, reader, options, namer, kBritish, &path, &error);
        results.append(result == QELCopyNotes::Result::Written ? QFileInfo(path).fileName()
                                                               : QStringLiteral("-"));
    }
    return results;
}

} // namespace

TEST(NotesCopyTest, FileNamesNeverReplaceAFile)
{
    QTemporaryDir dir;
    const QELNoteDatabaseReader::NoteList two{legacy(QStringLiteral("Shopping")),
                                              legacy(QStringLiteral("Shopping"))};
    EXPECT_EQ(exportAll(two, dir.path(), QELCopyNotes::kHTML),
              QStringList({"Shopping.html", "Shopping 1.html"}));
    EXPECT_EQ(exportAll(two, dir.path(), QELCopyNotes::kHTML),
              QStringList({"Shopping 2.html", "Shopping 3.html"}));

    struct Case {
        const char* title;
        int options;
        const char* name;
    };
    const QList<Case> cases{
        {"Plan: A?", QELCopyNotes::kHTML, "Plan_ A_.html"},
        {"a/b", 0, "a_b.txt"},
        {"", QELCopyNotes::kHTML, "Untitled Note.html"},
        {"  ", 0, "Untitled Note.txt"},
        {"../../up", 0, "___.._up.txt"},
        {"Dated", QELCopyNotes::kCreationDate | QELCopyNotes::kModifiedDate,
         "5 Mar 2024 - Dated.txt"},
        {"Changed", QELCopyNotes::kModifiedDate, "6 Apr 2024 - Changed.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        QTemporaryDir empty;
        EXPECT_EQ(exportAll({legacy(QString::fromUtf8(c.title), QStringLiteral("x"))}, empty.path(),
                            c.options),
                  QStringList({QString::fromUtf8(c.name)}));
        EXPECT_EQ(filesIn(empty.path()), QStringList({QString::fromUtf8(c.name)}));
    }
}

TEST(NotesCopyTest, HtmlExportLinksAttachmentsThatExist)
{
    using namespace NoteStoreFixture;
    QTemporaryDir backup;
    const QString F = objectReplacement();
    Store store;
    store.accounts = {{1, QStringLiteral("iCloud")}};
    Note n;
    n.key = 10;
    n.title = QStringLiteral("Trip: day #1");
    n.account = 1;
    n.body = noteBody(QStringLiteral("Trip\n") + F + QStringLiteral("\nend"),
                      {{identifier(1), QStringLiteral("public.png")}});
    store.notes = {n};
    store.attachments = {{20, identifier(1), QStringLiteral("public.png"), 21, 0, 96, 64}};
    store.media = {{21, identifier(2), QStringLiteral("shot.png")}};
    ASSERT_TRUE(writeNoteStore(backup.filePath(QStringLiteral("NoteStore.sqlite")), store));
    ASSERT_TRUE(writeFile(backup.filePath(QStringLiteral("Media/%1/shot.png").arg(identifier(2))),
                          encoded(uprightPicture(), "png")));
    FolderBackupFileSource source(backup.path());
    QELIOS9NoteDatabaseReader reader(source.GetPathToDataOfType(4), QString());
    reader.setDeviceBackup(&source);
    const auto notes = reader.getAllNotes();
    ASSERT_EQ(notes.size(), 1);

    QTemporaryDir out;
    EXPECT_EQ(exportAll(notes, out.path(), QELCopyNotes::kHTML, &reader),
              QStringList({"Trip_ day #1.html"}));
    const QString page = readFile(out.filePath(QStringLiteral("Trip_ day #1.html")));
    static const QRegularExpression kSources(QStringLiteral("src=\"([^\"]+)\""));
    QStringList sources;
    for (const auto& match : kSources.globalMatch(page))
        sources.append(match.captured(1));
    ASSERT_EQ(sources.size(), 1) << qPrintable(page);
    // The link resolves, relative to the page, to the copied picture.
    const QUrl resolved = QUrl::fromLocalFile(out.filePath(QStringLiteral("Trip_ day #1.html")))
                              .resolved(QUrl(sources.first()));
    EXPECT_EQ(readFile(resolved.toLocalFile()),
              readFile(out.filePath(QStringLiteral("Trip_ day #1 - Attachments/1.png"))));
    EXPECT_FALSE(readFile(resolved.toLocalFile()).isEmpty());

    // Plain text: the words, no attachments folder.
    QTemporaryDir text;
    EXPECT_EQ(exportAll(notes, text.path(), 0, &reader), QStringList({"Trip_ day #1.txt"}));
    EXPECT_EQ(filesIn(text.path()), QStringList({"Trip_ day #1.txt"}));
    EXPECT_EQ(readFile(text.filePath(QStringLiteral("Trip_ day #1.txt"))),
              QByteArray("Trip\n\nend"));
}

TEST(NotesCopyTest, TheJobWritesTheQueueAndCountsLockedNotes)
{
    QTemporaryDir dir;
    auto locked = legacy(QStringLiteral("Secret"));
    locked->setPasswordProtected(true);
    RecordingCopyDelegate delegate;
    QELCopyNotes job;
    job.setDelegate(&delegate);
    job.setLocale(kBritish);
    job.setExportOptions(QELCopyNotes::kHTML);
    job.setBaseCopyPath(dir.path());
    job.setItemQueue({QELCopyNotes::itemForNote(legacy(QStringLiteral("One"))),
                      QELCopyNotes::itemForNote(locked),
                      QELCopyNotes::itemForNote(legacy(QStringLiteral("Two")))});
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    EXPECT_EQ(delegate.order(),
              QStringList({"begin One", "begin Secret", "begin Two", "all done"}));
    EXPECT_EQ(job.failedItemCount(), 1u);
    EXPECT_EQ(filesIn(dir.path()), QStringList({"One.html", "Two.html"}));
}

TEST(NotesCopyTest, ARestartNeverLetsTwoRunsWriteOneQueue)
{
    QTemporaryDir dir;
    QVariantList first;
    QVariantList second;
    for (int i = 0; i < 40; ++i)
        first.append(QELCopyNotes::itemForNote(legacy(QStringLiteral("First%1").arg(i))));
    for (int i = 0; i < 3; ++i)
        second.append(QELCopyNotes::itemForNote(legacy(QStringLiteral("Second%1").arg(i))));
    RecordingCopyDelegate delegate;
    QELCopyNotes job;
    job.setDelegate(&delegate);
    job.setExportOptions(0);
    job.setBaseCopyPath(dir.path());
    job.setItemQueue(first);
    job.startCopy();
    job.cancelCopy();
    job.setItemQueue(second);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    const QStringList files = filesIn(dir.path());
    // The second run wrote its whole queue; the first stopped early; no note
    // was written twice (a second copy would be numbered "<title> 1.txt").
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(files.contains(QStringLiteral("Second%1.txt").arg(i)));
    EXPECT_LT(files.size(), 3 + 40);
    for (const QString& name : files)
        EXPECT_FALSE(name.contains(QLatin1Char(' '))) << qPrintable(name);
}

// The export job copies a PDF beside its page and links it; a table it cannot
// carry counts in the end message's number of what was not copied.
TEST(NotesCopyTest, TheJobCopiesOtherFilesAndCountsWhatItCouldNotExport)
{
    using namespace NoteStoreFixture;
    QTemporaryDir backup;
    const QString F = objectReplacement();
    Store store;
    store.accounts = {{1, QStringLiteral("iCloud")}};
    Note n;
    n.key = 10;
    n.title = QStringLiteral("Tickets");
    n.account = 1;
    n.body = noteBody(QStringLiteral("Tickets\n") + F + QStringLiteral("\n") + F,
                      {{identifier(1), QStringLiteral("com.adobe.pdf")},
                       {identifier(3), QStringLiteral("com.apple.notes.table")}});
    store.notes = {n};
    store.attachments = {{20, identifier(1), QStringLiteral("com.adobe.pdf"), 21, 0, 0, 0},
                         {22, identifier(3), QStringLiteral("com.apple.notes.table"), 0, 0, 0, 0}};
    store.media = {{21, identifier(2), QStringLiteral("ticket.pdf")}};
    ASSERT_TRUE(writeNoteStore(backup.filePath(QStringLiteral("NoteStore.sqlite")), store));
    const QByteArray pdf("%PDF-1.4\n1 0 obj <<>> endobj\ntrailer <<>>\n%%EOF\n");
    ASSERT_TRUE(
        writeFile(backup.filePath(QStringLiteral("Media/%1/ticket.pdf").arg(identifier(2))), pdf));
    FolderBackupFileSource source(backup.path());
    auto reader =
        std::make_shared<QELIOS9NoteDatabaseReader>(source.GetPathToDataOfType(4), QString());
    reader->setDeviceBackup(&source);
    const auto notes = reader->getAllNotes();
    ASSERT_EQ(notes.size(), 1);

    QTemporaryDir out;
    RecordingCopyDelegate delegate;
    QELCopyNotes job;
    job.setDelegate(&delegate);
    job.setExportOptions(QELCopyNotes::kHTML);
    job.setDatabaseReader(reader);
    job.setBaseCopyPath(out.path());
    job.setItemQueue({QELCopyNotes::itemForNote(notes.first())});
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    EXPECT_EQ(job.failedItemCount(), 1u);
    const QByteArray page = readFile(out.filePath(QStringLiteral("Tickets.html")));
    EXPECT_TRUE(page.contains("<a href=\"Tickets%20-%20Attachments/1.pdf\">ticket.pdf</a>"))
        << page.constData();
    EXPECT_EQ(readFile(out.filePath(QStringLiteral("Tickets - Attachments/1.pdf"))), pdf);
}
