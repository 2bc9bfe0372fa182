#include "PlayerFixtures.h"

#include <cmath>
#include <thread>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMetaObject>

bool writeWav(const QString& path, int ms, int rate)
{
    const int samples = rate * ms / 1000;
    QByteArray data;
    data.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const auto s = static_cast<qint16>(2000 * std::sin(i * 2 * M_PI * 440.0 / rate));
        data.append(static_cast<char>(s & 0xff));
        data.append(static_cast<char>((s >> 8) & 0xff));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    file.write("RIFF");
    out << quint32(36 + data.size());
    file.write("WAVEfmt ");
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2) << quint16(16);
    file.write("data");
    out << quint32(data.size());
    file.write(data);
    return file.error() == QFile::NoError;
}

bool LocalFolderSource::copyFileFromDeviceAtToLocalPath(
    const QString& devicePath, const QString& localPath, const std::atomic<bool>& cancel)
{
    {
        std::unique_lock lock(m_mutex);
        m_copied << devicePath;
        if (!m_hold.isEmpty() && devicePath == m_hold) {
            m_held = true;
            m_changed.notify_all();
            // The player sets the cancel flag without waking us: look at it often.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!m_hold.isEmpty() && !cancel && std::chrono::steady_clock::now() < deadline)
                m_changed.wait_for(lock, std::chrono::milliseconds(5));
            m_held = false;
        }
        if (devicePath == m_fail)
            return false;
    }
    QFile in(QDir(m_root).filePath(devicePath));
    QFile out(localPath);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd()) {
        if (cancel) {
            ++m_cancelled;
            return false;
        }
        const QByteArray block = in.read(4096);
        if (block.isEmpty() || out.write(block) != block.size())
            return false;
    }
    if (cancel) {
        ++m_cancelled;
        return false;
    }
    return true;
}

void LocalFolderSource::hold(const QString& devicePath)
{
    std::lock_guard lock(m_mutex);
    m_hold = devicePath;
    m_changed.notify_all();
}

void LocalFolderSource::release() { hold(QString()); }

bool LocalFolderSource::waitUntilHeld(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_held; });
}

bool LocalFolderSource::isHolding() const
{
    std::lock_guard lock(m_mutex);
    return m_held;
}

void LocalFolderSource::failCopiesOf(const QString& devicePath)
{
    std::lock_guard lock(m_mutex);
    m_fail = devicePath;
}

QStringList LocalFolderSource::copied() const
{
    std::lock_guard lock(m_mutex);
    return m_copied;
}

void FakeMovieBackend::load(const QString& path)
{
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly) && file.read(4) == "RIFF";
    m_loaded = ok ? path : QString();
    m_playing = false;
    // Loading finishes later, as with a real decoder.
    QMetaObject::invokeMethod(
        this, [this, ok] { ok ? emit loaded() : emit failed(QStringLiteral("not a movie")); }, Qt::QueuedConnection);
}
