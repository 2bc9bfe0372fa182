#include "TestEnvironment.h"

#include "Clock.h"

#include <QDir>

namespace {
QString g_home;
}

TestEnvironment::TestEnvironment()
{
    g_home = m_home.path();
    qputenv("HOME", g_home.toUtf8());
    qputenv("XDG_DATA_HOME", (g_home + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (g_home + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (g_home + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (g_home + QStringLiteral("/run")).toUtf8());
    QDir().mkpath(g_home + QStringLiteral("/run"));
    QFile::setPermissions(g_home + QStringLiteral("/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Clock::setScale(0.01);
}

TestEnvironment::~TestEnvironment() = default;

QString TestEnvironment::home() { return g_home; }
