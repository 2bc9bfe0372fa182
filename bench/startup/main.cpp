// Starts build/bin/orvane with the demo device (as scripts/run does) and a
// minimal Qt Widgets window, several times each and in turns, and prints
// for each the time from its start to the first paint of its window (and,
// for orvane, of the demo device's content page) and the CPU time it spent
// until then: min and median. The first paint is reported
// by the probe plugin of this folder, which ends the process there.
//
//   bench_startup [--runs N] [--app PATH]...
//
// Every --app is measured in the same run (say an older build's
// bin/orvane beside this one's); without one, the orvane beside this
// program. The platform is $QT_QPA_PLATFORM, offscreen when unset.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

extern char** environ;

namespace {

struct Program {
    QString name;
    QStringList command;
    std::vector<double> paintMs;
    std::vector<double> cpuMs;
    int failures = 0;
};

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// One start: the time to the first paint and the CPU time, or false.
bool runOnce(const QStringList& command, const std::vector<std::string>& environment,
             double* paintMs, double* cpuMs)
{
    std::vector<std::string> args;
    for (const QString& a : command)
        args.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const long long started = monotonicNs();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(spawned));
        return false;
    }
    // The probe's line; the program ends right after it (or by itself, or
    // after ORVANE_QUIT_AFTER_MS when it never paints).
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, std::size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    const std::size_t at = text.find("first-paint ");
    if (at == std::string::npos)
        return false;
    const long long painted = std::stoll(text.substr(at + 12));
    *paintMs = double(painted - started) / 1e6;
    *cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath();
    int runs = 10;
    QStringList apps;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--runs") && i + 1 < arguments.size())
            runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == QLatin1String("--app") && i + 1 < arguments.size())
            apps << QFileInfo(arguments.at(++i)).absoluteFilePath();
        else {
            std::fprintf(stderr, "usage: bench_startup [--runs N] [--app PATH]...\n");
            return 2;
        }
    }
    if (apps.isEmpty())
        apps << bin + QStringLiteral("/orvane");

    QTemporaryDir scratch;
    const QString demo = scratch.filePath(QStringLiteral("demo-device"));
    {
        const std::string tool = (bin + QStringLiteral("/orvane-demo-device")).toStdString();
        const std::string where = demo.toStdString();
        const std::string command = "'" + tool + "' '" + where + "' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "the demo device could not be written\n");
            return 1;
        }
    }
    const QString home = scratch.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    const QByteArray platform =
        qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? qgetenv("QT_QPA_PLATFORM") : "offscreen";
    const QByteArray pluginPath = qEnvironmentVariableIsSet("QT_PLUGIN_PATH")
        ? QByteArray(ORVANE_PROBE_PLUGIN_PATH) + ':' + qgetenv("QT_PLUGIN_PATH")
        : QByteArray(ORVANE_PROBE_PLUGIN_PATH);
    std::vector<std::string> environment;
    const char* replaced[] = {"HOME=",
                              "XDG_CONFIG_HOME=",
                              "XDG_CACHE_HOME=",
                              "XDG_DATA_HOME=",
                              "ORVANE_SIMULATED_DEVICES=",
                              "QTWEBENGINE_DISABLE_SANDBOX=",
                              "QT_QPA_PLATFORM=",
                              "QT_PLUGIN_PATH=",
                              "QT_QPA_GENERIC_PLUGINS=",
                              "ORVANE_QUIT_AFTER_MS="};
    for (char** e = environ; *e; ++e) {
        if (std::none_of(std::begin(replaced), std::end(replaced),
                         [e](const char* r) { return std::strncmp(*e, r, std::strlen(r)) == 0; }))
            environment.emplace_back(*e);
    }
    const std::string h = home.toStdString();
    environment.push_back("HOME=" + h);
    environment.push_back("XDG_CONFIG_HOME=" + h + "/.config");
    environment.push_back("XDG_CACHE_HOME=" + h + "/.cache");
    environment.push_back("XDG_DATA_HOME=" + h + "/.local/share");
    environment.push_back("ORVANE_SIMULATED_DEVICES=" + demo.toStdString());
    environment.push_back("QTWEBENGINE_DISABLE_SANDBOX=1");
    environment.push_back("QT_QPA_PLATFORM=" + platform.toStdString());
    environment.push_back("QT_PLUGIN_PATH=" + pluginPath.toStdString());
    environment.push_back("QT_QPA_GENERIC_PLUGINS=orvanefirstpaint");
    // A program that never paints still ends.
    environment.push_back("ORVANE_QUIT_AFTER_MS=30000");

    std::vector<Program> programs;
    const QString window = bin + QStringLiteral("/bench_startup_window");
    programs.push_back({QStringLiteral("minimal Qt Widgets window"), {window}, {}, {}});
    programs.push_back({QStringLiteral("minimal window, shared GL contexts"),
                        {window, QStringLiteral("--share-opengl-contexts")},
                        {},
                        {}});
    for (const QString& a : std::as_const(apps)) {
        programs.push_back({a, {a}, {}, {}});
        // The aim that matters: the demo device's content page on screen,
        // with usbmuxd watched behind the demo as scripts/run has it.
        programs.push_back({a + QStringLiteral(" (demo device's content page)"),
                            {QStringLiteral("/usr/bin/env"),
                             QStringLiteral("ORVANE_PROBE_WIDGET=QELDeviceContentView"),
                             QStringLiteral("ORVANE_DEMO_FALLBACK=1"), a},
                            {},
                            {}});
    }

    std::printf("platform %s, %d runs each in turns; load average %s\n", platform.constData(), runs,
                qPrintable(loadAverage()));
    // One start each first, not counted: the files are then in the page cache.
    for (Program& p : programs) {
        double paint = 0, cpu = 0;
        if (!runOnce(p.command, environment, &paint, &cpu)) {
            std::fprintf(stderr, "%s: no first paint\n", qPrintable(p.name));
            return 1;
        }
    }
    for (int run = 0; run < runs; ++run) {
        for (Program& p : programs) {
            double paint = 0, cpu = 0;
            if (runOnce(p.command, environment, &paint, &cpu)) {
                p.paintMs.push_back(paint);
                p.cpuMs.push_back(cpu);
            } else {
                ++p.failures;
            }
        }
    }
    for (const Program& p : programs) {
        if (p.paintMs.empty()) {
            std::printf("%s: never painted\n", qPrintable(p.name));
            continue;
        }
        std::printf("%s\n  first paint: min %.1f ms, median %.1f ms; CPU until then: min %.1f "
                    "ms, median %.1f ms (%zu runs%s)\n",
                    qPrintable(p.name), *std::min_element(p.paintMs.begin(), p.paintMs.end()),
                    median(p.paintMs), *std::min_element(p.cpuMs.begin(), p.cpuMs.end()),
                    median(p.cpuMs), p.paintMs.size(),
                    p.failures ? qPrintable(QStringLiteral(", %1 failed").arg(p.failures)) : "");
    }
    std::printf("load average %s\n", qPrintable(loadAverage()));
    return 0;
}
