// SPDX-License-Identifier: GPL-3.0-or-later
#include "ITunesDBWriter.h"

#include <zlib.h>

#include <QtEndian>

namespace {

void put32(QByteArray& data, qsizetype offset, quint32 value)
{
    qToLittleEndian<quint32>(value, data.data() + offset);
}

QByteArray chunkHeader(const char* tag, quint32 headerLength)
{
    QByteArray header(headerLength, '\0');
    memcpy(header.data(), tag, 4);
    put32(header, 4, headerLength);
    return header;
}

QByteArray utf16(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        char pair[2];
        qToLittleEndian<quint16>(c.unicode(), pair);
        bytes.append(pair, 2);
    }
    return bytes;
}

QByteArray stringObject(quint32 type, const QString& text)
{
    const QByteArray body = utf16(text);
    QByteArray mhod = chunkHeader("mhod", 24);
    put32(mhod, 8, 40 + body.size());
    put32(mhod, 12, type);
    QByteArray tail(16, '\0');
    put32(tail, 0, 1);
    put32(tail, 4, body.size());
    return mhod + tail + body;
}

QByteArray asciiObject(quint32 type, const QByteArray& text)
{
    QByteArray mhod = chunkHeader("mhod", 24);
    put32(mhod, 8, 24 + text.size());
    put32(mhod, 12, type);
    return mhod + text;
}

QByteArray opaqueObject(quint32 type, qsizetype size)
{
    QByteArray mhod = chunkHeader("mhod", 24);
    mhod.append(QByteArray(size - 24, '\x11'));
    put32(mhod, 8, static_cast<quint32>(size));
    put32(mhod, 12, type);
    return mhod;
}

// Collects the file and the start of every chunk.
struct Builder {
    QByteArray out;
    std::vector<qsizetype> starts;
    void chunk(const QByteArray& bytes) { starts.push_back(out.size()); out.append(bytes); }
};

} // namespace

QByteArray ITunesDBWriter::build(std::vector<qsizetype>* chunkStarts) const
{
    // Each section is built apart first, so its total length is known.
    std::vector<std::pair<QByteArray, std::vector<qsizetype>>> sections;
    auto finishSection = [&sections](quint32 type, Builder& body) {
        QByteArray mhsd = chunkHeader("mhsd", 96);
        put32(mhsd, 8, 96 + body.out.size());
        put32(mhsd, 12, type);
        std::vector<qsizetype> starts{0};
        for (qsizetype s : body.starts)
            starts.push_back(96 + s);
        sections.emplace_back(mhsd + body.out, starts);
    };

    {
        Builder b;
        QByteArray mhlt = chunkHeader("mhlt", 92);
        put32(mhlt, 8, static_cast<quint32>(tracks.size()));
        b.chunk(mhlt);
        for (const Track& t : tracks) {
            QList<QByteArray> objects;
            auto add = [&objects](quint32 type, const QString& text) {
                if (!text.isNull())
                    objects.append(stringObject(type, text));
            };
            add(1, t.title);
            add(2, t.path);
            add(3, t.album);
            add(4, t.artist);
            add(5, t.genre);
            add(12, t.composer);
            add(14, t.descriptionLong);
            add(22, t.albumArtist);
            if (!t.podcastURL.isNull())
                objects.append(asciiObject(15, t.podcastURL));
            for (quint32 type : t.extraTypes)
                objects.append(type == 6 || type == 8 || type == 13 ? stringObject(type, QStringLiteral("dropped")) : opaqueObject(type, 60));
            QByteArray mhit = chunkHeader("mhit", t.headerLength);
            qsizetype total = mhit.size();
            for (const QByteArray& o : objects)
                total += o.size();
            put32(mhit, 8, static_cast<quint32>(total));
            put32(mhit, 12, static_cast<quint32>(objects.size()));
            put32(mhit, 16, t.id);
            mhit[31] = static_cast<char>(t.rating);
            put32(mhit, 32, t.dateAdded);
            put32(mhit, 36, t.fileSize);
            put32(mhit, 40, t.durationMs);
            put32(mhit, 44, t.trackNumber);
            put32(mhit, 48, t.trackCount);
            put32(mhit, 52, t.year);
            put32(mhit, 56, t.bitRate);
            put32(mhit, 80, t.playCount);
            put32(mhit, 88, t.lastPlayed);
            put32(mhit, 112, 0xDEADBEEF);
            if (t.headerLength >= 356) {
                put32(mhit, 208, t.mediaKind);
                put32(mhit, 352, t.artworkID);
            }
            b.chunk(mhit);
            for (const QByteArray& o : objects)
                b.chunk(o);
        }
        finishSection(trackSectionType, b);
    }
    for (quint32 type : extraSectionTypes) {
        Builder b;
        b.chunk(QByteArray("mhla") + QByteArray(60, '\x22'));   // contents never read
        finishSection(type, b);
    }
    if (playlistSection) {
        Builder b;
        QByteArray mhlp = chunkHeader("mhlp", 92);
        put32(mhlp, 8, static_cast<quint32>(playlists.size()));
        b.chunk(mhlp);
        for (const Playlist& p : playlists) {
            const QByteArray titleText = utf16(p.title);
            QByteArray title = chunkHeader("mhod", 24);
            title.append(QByteArray(16, '\0'));
            put32(title, 8, 40 + titleText.size());
            put32(title, 12, 1);
            put32(title, 28, titleText.size());
            title.append(titleText);
            QList<QByteArray> parts{title};
            for (quint32 i = 1; i < p.dataObjects; ++i)
                parts.append(opaqueObject(50 + i, 48));
            for (const Item& item : p.items) {
                QByteArray mhip = chunkHeader("mhip", 76);
                const QByteArray child = opaqueObject(100, 44);
                put32(mhip, 8, 76 + child.size());
                put32(mhip, 16, item.podcastGrouping);
                put32(mhip, 24, item.trackID);
                put32(mhip, 28, item.member);
                parts.append(mhip);
                parts.append(child);
            }
            QByteArray mhyp = chunkHeader("mhyp", 108);
            qsizetype total = mhyp.size();
            for (const QByteArray& part : parts)
                total += part.size();
            put32(mhyp, 8, static_cast<quint32>(total));
            put32(mhyp, 12, p.dataObjects);
            put32(mhyp, 16, static_cast<quint32>(p.items.size()));
            put32(mhyp, 20, p.master ? 1 : 0);
            b.chunk(mhyp);
            for (const QByteArray& part : parts)
                b.chunk(part);
        }
        finishSection(3, b);
    }

    Builder file;
    QByteArray mhbd = chunkHeader("mhbd", 104);
    put32(mhbd, 16, 0x75);
    put32(mhbd, 20, static_cast<quint32>(sections.size()));
    file.chunk(mhbd);
    for (const auto& [bytes, starts] : sections) {
        const qsizetype base = file.out.size();
        file.out.append(bytes);
        for (qsizetype s : starts)
            file.starts.push_back(base + s);
    }
    put32(file.out, 8, static_cast<quint32>(file.out.size()));
    if (chunkStarts)
        *chunkStarts = file.starts;
    return file.out;
}

QByteArray ITunesDBWriter::toCDB(const QByteArray& iTunesDB)
{
    const quint32 headerLength = qFromLittleEndian<quint32>(iTunesDB.constData() + 4);
    const QByteArray body = iTunesDB.mid(headerLength);
    uLongf size = compressBound(static_cast<uLong>(body.size()));
    QByteArray compressed(static_cast<qsizetype>(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(compressed.data()), &size, reinterpret_cast<const Bytef*>(body.constData()),
              static_cast<uLong>(body.size()), Z_BEST_COMPRESSION);
    compressed.resize(static_cast<qsizetype>(size));
    return iTunesDB.left(headerLength) + compressed;
}
