#include "TestEnvironment.h"

#include <mutex>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include "Clock.h"

namespace {

std::mutex g_homeMutex;
QString g_home;

// Points HOME, the XDG folders and the settings at `home`.
void useHome(const QString& home)
{
    {
        std::lock_guard lock(g_homeMutex);
        g_home = home;
    }
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (home + QStringLiteral("/run")).toUtf8());
    QDir().mkpath(home + QStringLiteral("/run"));
    QFile::setPermissions(home + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // QSettings looks its folder up once per process, not at each use.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, home + QStringLiteral("/.config"));
}

} // namespace

struct TestEnvironment::Saved {
    QProcessEnvironment environment;
};

TestEnvironment::TestEnvironment()
    : m_runHome(std::make_unique<QTemporaryDir>())
{
    useHome(m_runHome->path());
    Clock::setScale(kClockScale);
}

TestEnvironment::~TestEnvironment() = default;

QString TestEnvironment::home()
{
    std::lock_guard lock(g_homeMutex);
    return g_home;
}

void TestEnvironment::OnTestStart(const ::testing::TestInfo&)
{
    m_saved = std::make_unique<Saved>(Saved{QProcessEnvironment::systemEnvironment()});
    m_testHome = std::make_unique<QTemporaryDir>();
    useHome(m_testHome->path());
    Clock::setScale(kClockScale);
}

void TestEnvironment::OnTestEnd(const ::testing::TestInfo&)
{
    // Variables the test set (a simulated device list, PATH, a socket
    // address) go back to what they were, and those it added go.
    if (m_saved) {
        const QProcessEnvironment now = QProcessEnvironment::systemEnvironment();
        for (const QString& name : now.keys()) {
            if (!m_saved->environment.contains(name))
                qunsetenv(name.toLocal8Bit().constData());
        }
        for (const QString& name : m_saved->environment.keys()) {
            const QString value = m_saved->environment.value(name);
            if (!now.contains(name) || now.value(name) != value)
                qputenv(name.toLocal8Bit().constData(), value.toLocal8Bit());
        }
        m_saved.reset();
    }
    useHome(m_runHome->path());
    m_testHome.reset();
    Clock::setScale(kClockScale);
}
