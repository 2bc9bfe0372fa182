// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELITunesLibrary.h"

#include <QFileInfo>
#include <QVariantMap>

#include "Log.h"
#include "MediaLibraryHost.h"
#include "Plist.h"
#include "QELITunesInformation.h"

QELITunesLibrary::QELITunesLibrary(std::shared_ptr<MediaLibraryHost> host)
    : m_host(std::move(host))
{
}

QELITunesLibrary::~QELITunesLibrary() { stop(); }

void QELITunesLibrary::stop()
{
    m_stop.store(true);
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void QELITunesLibrary::startReadingITunesLibrary()
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    // One read at a time: a read is short and the previous one's event has
    // been handled by the time the next device is read.
    if (m_thread.joinable())
        m_thread.join();
    m_stop.store(false);
    m_thread = std::thread([this] { _threadedWorker(); });
}

void QELITunesLibrary::_threadedWorker()
{
    bool success = false;
    const QString file = m_host ? QELITunesInformation::iTunesLibraryFilePath(*m_host) : QString();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        qCInfo(lcOrvane) << "No computer music library file found";
    } else {
        QString error;
        const QVariant library = Plist::readFile(file, &error);
        const QVariant tracks = library.toMap().value(QStringLiteral("Tracks"));
        if (tracks.typeId() == QMetaType::QVariantMap) {
            m_trackCount.store(int(tracks.toMap().size()));
            success = true;
        } else {
            qCWarning(lcOrvane).noquote() << "The music library file" << file << "could not be read" << error;
        }
    }
    m_isLibraryReadSuccessful.store(success);
    if (m_stop.load())
        return;
    if (QELITunesLibraryDelegate* d = m_delegate.load())
        d->OnITunesLibraryLoadCompleteWithArguments(QELITunesLibraryReadCompleteArguments(success));
}
