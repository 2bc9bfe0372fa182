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
    m_currentRead.store(0);
    m_threads.joinAll();
}

void QELITunesLibrary::startReadingITunesLibrary()
{
    quint64 read = 0;
    {
        std::lock_guard<std::mutex> lock(m_startMutex);
        read = ++m_lastRead;
    }
    m_currentRead.store(read);
    // Ended reads are joined here; a running one is left to end by itself.
    m_threads.start([this, read] { _threadedWorker(read); });
}

void QELITunesLibrary::_threadedWorker(quint64 read)
{
    bool success = false;
    int trackCount = 0;
    const QString file = m_host ? QELITunesInformation::iTunesLibraryFilePath(*m_host) : QString();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        qCInfo(lcOrvane) << "No computer music library file found";
    } else {
        QString error;
        const QVariant library = Plist::readFile(file, &error);
        const QVariant tracks = library.toMap().value(QStringLiteral("Tracks"));
        if (tracks.typeId() == QMetaType::QVariantMap) {
            trackCount = int(tracks.toMap().size());
            success = true;
        } else {
            qCWarning(lcOrvane).noquote() << "The music library file" << file << "could not be read" << error;
        }
    }
    if (m_currentRead.load() != read)
        return;
    m_trackCount.store(trackCount);
    m_isLibraryReadSuccessful.store(success);
    if (QELITunesLibraryDelegate* d = m_delegate.load())
        d->OnITunesLibraryLoadCompleteWithArguments(QELITunesLibraryReadCompleteArguments(success));
}
