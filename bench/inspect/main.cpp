// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-inspect over generated files of a real size: a MediaLibrary.sqlitedb
// of TRACKS tracks (one playlist per hundred) and an sms.db of MESSAGES
// messages in conversations of a thousand. Prints, per subcommand, the
// seconds, the peak resident memory of the tool and the bytes it printed.
//
//   bench_inspect [TRACKS [MESSAGES [INSPECT]]]   INSPECT: the tool to run
//                                                 (default: the one beside this)
//
// The files are written by a second run of this program: the peak memory a
// child reports includes what its parent held when it started it (the
// kernel counts the image it replaces), so the parent stays small.
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "MediaLibraryFixture.h"
#include "SmsDbBuilder.h"

extern char** environ;

namespace {

bool writeLibrary(const QString& path, int trackCount)
{
    MediaLibraryFixture f;
    for (int i = 0; i < trackCount; ++i) {
        MediaLibraryFixture::Item it;
        it.pid = 1000000000000LL + i * 7919LL;
        it.title = QStringLiteral("Track title number %1").arg(i);
        it.artist = QStringLiteral("Artist %1").arg(i % 2000);
        it.album = QStringLiteral("Album %1").arg(i % 4000);
        it.genre = QStringLiteral("Genre %1").arg(i % 40);
        it.basePath =
            QStringLiteral("iTunes_Control/Music/F%1").arg(i % 50, 2, 10, QLatin1Char('0'));
        it.location = QStringLiteral("ABCD%1.m4a").arg(i);
        it.durationMs = 180000 + i % 120000;
        it.trackNumber = i % 12 + 1;
        it.year = 1960 + i % 60;
        f.items << it;
    }
    for (int p = 0; p < trackCount / 100; ++p) {
        MediaLibraryFixture::Container c;
        c.pid = 900000 + p;
        c.name = QStringLiteral("Playlist %1").arg(p);
        for (int k = 0; k < 50; ++k)
            c.items << f.items[(p * 97 + k * 13) % trackCount].pid;
        f.containers << c;
    }
    QString error;
    if (!f.write(path, &error)) {
        std::fprintf(stderr, "cannot write the media library: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

bool writeMessages(const QString& path, int messageCount)
{
    SmsDbBuilder db;
    qint64 chat = 0;
    qint64 handle = 0;
    for (int i = 0; i < messageCount; ++i) {
        if (i % 1000 == 0) {
            handle = db.handle(QStringLiteral("+1555%1").arg(i / 1000, 7, 10, QLatin1Char('0')));
            chat = db.chat({handle});
        }
        SmsDbBuilder::ChatMessage message;
        message.chat = chat;
        message.handle = handle;
        message.text =
            QStringLiteral("Message %1, a sentence of an ordinary length to read.").arg(i);
        message.date = 700000000 + i;
        message.fromMe = i % 2 == 0;
        db.chatMessage(message);
    }
    QString error;
    if (!db.write(path, &error)) {
        std::fprintf(stderr, "cannot write sms.db: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
    qint64 printed = 0;
};

// Runs the tool with its output into `output`; its peak memory from wait4.
Run run(const QString& tool, const QStringList& arguments, const QString& output)
{
    Run result;
    QList<QByteArray> owned{QFile::encodeName(tool)};
    for (const QString& argument : arguments)
        owned << QFile::encodeName(argument);
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, QFile::encodeName(output).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.peakKiB = usage.ru_maxrss;
    result.printed = QFileInfo(output).size();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--write") {
        const QString folder = QString::fromLocal8Bit(argv[2]);
        return writeLibrary(folder + QStringLiteral("/media/MediaLibrary.sqlitedb"),
                            QByteArray(argv[3]).toInt())
                && writeMessages(folder + QStringLiteral("/sms/sms.db"),
                                 QByteArray(argv[4]).toInt())
            ? 0
            : 1;
    }
    const int tracks = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const int messages = argc > 2 ? QByteArray(argv[2]).toInt() : 100000;
    const QString tool = argc > 3
        ? QString::fromLocal8Bit(argv[3])
        : QCoreApplication::applicationDirPath() + QStringLiteral("/orvane-inspect");
    QTemporaryDir work;
    if (!work.isValid() || tracks < 100 || messages < 1000) {
        std::fprintf(stderr, "usage: bench_inspect [TRACKS [MESSAGES [INSPECT]]]\n");
        return 2;
    }
    qputenv("XDG_CACHE_HOME", QFile::encodeName(work.filePath(QStringLiteral("cache"))));
    const QString media = work.filePath(QStringLiteral("media"));
    const QString sms = work.filePath(QStringLiteral("sms"));
    QDir().mkpath(media);
    QDir().mkpath(sms);
    if (QProcess::execute(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--write"), work.path(), QString::number(tracks),
                           QString::number(messages)})
        != 0)
        return 1;
    bool allOk = true;
    for (const auto& [subcommand, folder, count, unit] :
         {std::tuple{"media", media, tracks, "tracks"},
          std::tuple{"messages", sms, messages, "messages"}}) {
        const Run r = run(tool, {QString::fromLatin1(subcommand), folder},
                          work.filePath(QStringLiteral("out.json")));
        std::printf("%s, %d %s: %.2f s, peak %.1f MiB, %.1f MiB printed%s\n", subcommand, count,
                    unit, r.seconds, r.peakKiB / 1024.0, r.printed / 1048576.0,
                    r.ok ? "" : " (FAILED)");
        std::fflush(stdout);
        allOk = allOk && r.ok;
    }
    return allOk ? 0 : 1;
}
