// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated NoteStore.sqlite of 10,000 notes (bodies of about 1 KiB,
// 20 folders, 2 accounts) with getAllNotes(), as the notes view's load does:
// every note with its account, folder and summary decoded from its body;
// then exports every note as HTML as the export job does (one store session
// and one sync for the run); prints the seconds and the peak memory.
//   bench_notes [COUNT] [--keep FOLDER]
// --keep writes the store to FOLDER/NoteStore.sqlite and the pages to
// FOLDER/export, for the plain script beside this file:
//   bench/notes/notes_export.py FOLDER/NoteStore.sqlite FOLDER/script-export
#include <chrono>
#include <cstdio>
#include <random>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "AtomicFileBatch.h"
#include "NoteStoreFixture.h"
#include "QELCopyNotes.h"
#include "QELIOS9NoteDatabaseReader.h"

namespace {

// Peak resident memory (VmHWM) in MiB.
double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Starts a new peak measurement (Linux: writing 5 resets VmHWM).
void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    int noteCount = 10000;
    QString keep;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--keep") == 0 && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else
            noteCount = atoi(argv[i]);
    }
    const QString work = keep.isEmpty() ? home.path() : keep;
    QDir().mkpath(work);

    using namespace NoteStoreFixture;
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}, {2, QStringLiteral("On My iPhone")}};
    for (int i = 0; i < 20; ++i)
        store.folders.append({100 + i, QStringLiteral("Folder %1").arg(i)});
    std::mt19937 random(42);
    const QStringList words{QStringLiteral("milk"),   QStringLiteral("meeting"),
                            QStringLiteral("Lisbon"), QStringLiteral("call back"),
                            QStringLiteral("ideas"),  QStringLiteral("☕ coffee")};
    for (int i = 0; i < noteCount; ++i) {
        QString text = QStringLiteral("Note %1\n").arg(i);
        while (text.toUtf8().size() < 1024)
            text += words.at(int(random() % unsigned(words.size())))
                + QLatin1Char(random() % 8 ? ' ' : '\n');
        Note note;
        note.key = 1000 + i;
        note.title = QStringLiteral("Note %1").arg(i);
        note.created = 600000000 + double(i) * 3600;
        note.modified = note.created + 60;
        note.account = 1 + i % 2;
        note.folders = {100 + i % 20};
        note.body = noteBody(text);
        store.notes.append(note);
    }
    const QString path = work + QStringLiteral("/NoteStore.sqlite");
    QFile::remove(path);
    QString error;
    if (!writeNoteStore(path, store, &error)) {
        std::fprintf(stderr, "bench_notes: could not write the note store: %s\n",
                     qPrintable(error));
        return 1;
    }
    store.notes.clear();

    resetPeakMemory();
    const double before = peakMemoryMiB();
    const auto start = std::chrono::steady_clock::now();
    QELIOS9NoteDatabaseReader reader(path, QString());
    const QELNoteDatabaseReader::NoteList notes = reader.getAllNotes();
    const auto end = std::chrono::steady_clock::now();

    std::printf("notes: %d notes of about 1 KiB in 20 folders of 2 accounts\n", noteCount);
    std::printf("  getAllNotes              %.3f s (%lld notes; aim: under 1 s)\n",
                std::chrono::duration<double>(end - start).count(),
                static_cast<long long>(notes.size()));
    std::printf("  peak memory              %.1f MiB (%.1f MiB before the read)\n", peakMemoryMiB(),
                before);

    // The export job's loop: one session of the store, one batch of files.
    const QString out = work + QStringLiteral("/export");
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    resetPeakMemory();
    const auto exportStart = std::chrono::steady_clock::now();
    int written = 0;
    {
        SafePath::UniqueNamer namer = QELCopyNotes::namerForRun(out);
        const auto session = reader.openMediaSession();
        AtomicFileBatch files;
        for (const auto& note : notes) {
            QString written_path;
            if (QELCopyNotes::exportNote(*note, &reader, session.get(), &files, QELCopyNotes::kHTML,
                                         namer, QLocale(), &written_path, &error)
                == QELCopyNotes::Result::Written)
                ++written;
        }
        if (!files.commit(&error))
            written = 0;
    }
    const auto exportEnd = std::chrono::steady_clock::now();
    std::printf("  export as HTML           %.3f s (%d pages; aim: under 1 s)\n",
                std::chrono::duration<double>(exportEnd - exportStart).count(), written);
    std::printf("  peak memory              %.1f MiB\n", peakMemoryMiB());
    return notes.size() == noteCount && written == noteCount && reader.lastError().isEmpty() ? 0
                                                                                             : 1;
}
