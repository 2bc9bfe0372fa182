// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace FuzzSupport {

namespace {

QTemporaryDir* runHome()
{
    static QTemporaryDir* home =
        new QTemporaryDir(QDir::tempPath() + QStringLiteral("/orvane-fuzz-XXXXXX"));
    return home;
}

std::atomic<long> g_parsed{0};

} // namespace

void parsed() { g_parsed.fetch_add(1, std::memory_order_relaxed); }

void initialize(int* argc, char*** argv)
{
    QTemporaryDir* home = runHome();
    if (!home->isValid())
        fail("no temporary home could be made");
    const QString path = home->path();
    qputenv("HOME", path.toUtf8());
    qputenv("XDG_DATA_HOME", (path + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (path + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (path + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (path + QStringLiteral("/run")).toUtf8());
    // Readers log what they refuse; a fuzzer's output is for its findings.
    qputenv("QT_LOGGING_RULES", "*=false");
    static QCoreApplication* application = new QCoreApplication(*argc, *argv);
    (void)application;
    if (qEnvironmentVariableIsSet("ORVANE_FUZZ_EXPECT_PARSED")) {
        std::atexit([] {
            if (g_parsed.load() == 0) {
                std::fputs("fuzz harness: no seed reached the parser\n", stderr);
                std::_Exit(3);
            }
        });
    }
    // The home is removed at exit, after the last input.
    std::atexit([] { delete runHome(); });
}

QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(size));
}

Scratch::Scratch()
    : m_dir(std::make_unique<QTemporaryDir>(runHome()->filePath(QStringLiteral("input-XXXXXX"))))
{
    if (!m_dir->isValid())
        fail("no scratch folder could be made");
}

Scratch::~Scratch() = default;

QString Scratch::path() const { return m_dir->path(); }

QString Scratch::filePath(const QString& name) const { return m_dir->filePath(name); }

QString Scratch::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("an input could not be written to the scratch folder");
    return path;
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz harness: %s\n", what);
    std::abort();
}

} // namespace FuzzSupport

FuzzFileSource::FuzzFileSource(const FuzzSupport::Scratch& scratch, QByteArray bytes)
    : m_scratch(scratch)
    , m_bytes(std::move(bytes))
{
}

QString FuzzFileSource::copy()
{
    return m_scratch.write(QStringLiteral("copy-%1").arg(++m_copies), m_bytes);
}

QString FuzzFileSource::GetPathToDataOfType(int) { return copy(); }

QString FuzzFileSource::GetPathForDeviceFileNameInDomain(const QString&, const QString&)
{
    return copy();
}

QList<QELDeviceBackupListingItem> FuzzFileSource::GetAllFilesInDomain(const QString&) { return {}; }
