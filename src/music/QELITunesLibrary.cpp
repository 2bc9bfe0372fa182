// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELITunesLibrary.h"

#include <cstdlib>
#include <limits>
#include <vector>

#include <plist/plist.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "Log.h"
#include "MediaLibraryHost.h"
#include "QELITunesInformation.h"

// One entry per track of the file, in file order. Texts are case-folded; a
// null text is an attribute the entry does not have.
struct QELITunesLibrary::Index {
    struct Entry {
        QString title;
        QString artist;
        QString album;
        bool remote = false;
    };
    std::vector<Entry> entries;
    // The first entry with all three texts, by the three folded texts.
    QHash<QString, qsizetype> byKey;

    static QString key(const QString& title, const QString& artist, const QString& album)
    {
        // A NUL cannot occur in XML text, so it keeps the three apart.
        return title + QChar(0) + artist + QChar(0) + album;
    }
};

namespace {

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

QString folded(const QString& text)
{
    if (text.isNull())
        return QString();
    const QString value = text.toCaseFolded();
    return value.isNull() ? QStringLiteral("") : value;
}

// A string value of a track's dictionary; null when absent or not a string.
QString stringValue(plist_t dict, const char* key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return QString();
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text)
        return QString();
    const QString value = QString::fromUtf8(text, qsizetype(length));
    // An empty text is there, and differs from an absent one.
    return value.isNull() ? QStringLiteral("") : value;
}

bool equalWhenGiven(const QString& asked, const QString& entry)
{
    return asked.isNull() || (!entry.isNull() && entry == asked);
}

} // namespace

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

bool QELITunesLibrary::readITunesLibraryNow()
{
    quint64 read = 0;
    {
        std::lock_guard<std::mutex> lock(m_startMutex);
        read = ++m_lastRead;
    }
    m_currentRead.store(read);
    _threadedWorker(read);
    return isLibraryReadSuccessful();
}

std::shared_ptr<const QELITunesLibrary::Index> QELITunesLibrary::readIndex(const QString& file,
                                                                           QString* why)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        *why = input.errorString();
        return nullptr;
    }
    if (input.size() > qint64(std::numeric_limits<uint32_t>::max())) {
        *why = QStringLiteral("the file is too large");
        return nullptr;
    }
    const QByteArray bytes = input.readAll();
    if (bytes.isEmpty()) {
        *why = QStringLiteral("the file is empty");
        return nullptr;
    }
    // Read with libplist itself, not through the QVariant bridge: a map would
    // lose the file's order of the tracks, which decides between duplicates.
    plist_t root = nullptr;
    if (plist_is_binary(bytes.constData(), uint32_t(bytes.size())))
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
    else
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    const NodePtr owner(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT) {
        *why = QStringLiteral("the file is no property list");
        return nullptr;
    }
    plist_t tracks = plist_dict_get_item(root, "Tracks");
    if (!tracks || plist_get_node_type(tracks) != PLIST_DICT) {
        *why = QStringLiteral("the file lists no \"Tracks\"");
        return nullptr;
    }
    auto index = std::make_shared<Index>();
    index->entries.reserve(plist_dict_get_size(tracks));
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(tracks, &it);
    while (it) {
        char* key = nullptr;
        plist_t track = nullptr;
        plist_dict_next_item(tracks, it, &key, &track);
        if (!key)
            break;
        std::free(key);
        if (!track || plist_get_node_type(track) != PLIST_DICT) {
            qCInfo(lcOrvane) << "A music library entry that is no track was left out";
            continue;
        }
        Index::Entry entry;
        entry.title = folded(stringValue(track, "Name"));
        entry.artist = folded(stringValue(track, "Artist"));
        entry.album = folded(stringValue(track, "Album"));
        entry.remote = stringValue(track, "Track Type") == QLatin1String("Remote");
        index->entries.push_back(std::move(entry));
    }
    std::free(it);
    // The first entry of the file wins: filled in reverse, since QHash keeps
    // the last value inserted for a key.
    for (qsizetype i = qsizetype(index->entries.size()) - 1; i >= 0; --i) {
        const Index::Entry& entry = index->entries[size_t(i)];
        if (!entry.title.isNull() && !entry.artist.isNull() && !entry.album.isNull())
            index->byKey.insert(Index::key(entry.title, entry.artist, entry.album), i);
    }
    return index;
}

int QELITunesLibrary::IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
    const QString& title, const QString& artist, const QString& album, const QString& /*genre*/,
    const QVariant& /*totalTime*/) const
{
    std::shared_ptr<const Index> index;
    {
        std::lock_guard lock(m_indexMutex);
        index = m_index;
    }
    if (!index)
        return 0;
    const QString t = folded(title);
    const QString ar = folded(artist);
    const QString al = folded(album);
    const Index::Entry* found = nullptr;
    if (!t.isNull() && !ar.isNull() && !al.isNull()) {
        const auto it = index->byKey.constFind(Index::key(t, ar, al));
        if (it != index->byKey.constEnd())
            found = &index->entries[size_t(it.value())];
    } else {
        for (const Index::Entry& entry : index->entries) {
            if (equalWhenGiven(t, entry.title) && equalWhenGiven(ar, entry.artist)
                && equalWhenGiven(al, entry.album)) {
                found = &entry;
                break;
            }
        }
    }
    if (!found)
        return 0;
    return found->remote ? 2 : 1;
}

void QELITunesLibrary::_threadedWorker(quint64 read)
{
    bool success = false;
    std::shared_ptr<const Index> index;
    {
        // One read at a time, each swapping in what it built; the event is
        // sent outside, since its receiver may wait for another thread.
        std::lock_guard serial(m_readMutex);
        QString file = m_host ? m_host->indexFile() : QString();
        if (m_host && (file.isEmpty() || !QFileInfo(file).isFile()))
            file = QELITunesInformation::iTunesLibraryFilePath(*m_host);
        if (file.isEmpty() || !QFileInfo(file).isFile()) {
            qCInfo(lcOrvane) << "No computer music library file found";
        } else {
            QString error;
            index = readIndex(file, &error);
            success = index != nullptr;
            if (!success)
                qCWarning(lcOrvane).noquote()
                    << "The music library file" << file << "could not be read:" << error;
        }
        if (m_currentRead.load() != read)
            return;
        // A library that cannot be read answers nothing, as one never read.
        std::lock_guard lock(m_indexMutex);
        m_index = index;
    }
    m_trackCount.store(index ? int(std::min<size_t>(index->entries.size(),
                                                    size_t(std::numeric_limits<int>::max())))
                             : 0);
    m_isLibraryReadSuccessful.store(success);
    if (QELITunesLibraryDelegate* d = m_delegate.load())
        d->OnITunesLibraryLoadCompleteWithArguments(QELITunesLibraryReadCompleteArguments(success));
}
