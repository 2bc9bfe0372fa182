// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryITunesCDBConvertor.h"

#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include "Log.h"

QString QELMediaLibraryITunesCDBConvertor::convertedPathFor(const QString& cdbPath)
{
    return QFileInfo(cdbPath).absolutePath() + QStringLiteral("/iTunesDB.fromCDB");
}

std::optional<QByteArray> QELMediaLibraryITunesCDBConvertor::inflate(const QByteArray& stream, qsizetype limit)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return std::nullopt;
    QByteArray output;
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.constData()));
    z.avail_in = static_cast<uInt>(stream.size());
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        rc = ::inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&z);
            return std::nullopt;
        }
        const qsizetype produced = chunk.size() - static_cast<qsizetype>(z.avail_out);
        if (output.size() + produced > limit) {
            inflateEnd(&z);
            qCWarning(lcOrvane) << "iTunesCDB body inflates beyond" << limit << "bytes; refused";
            return std::nullopt;
        }
        output.append(chunk.constData(), produced);
        // No progress with input left over means a truncated stream.
        if (rc == Z_OK && produced == 0 && z.avail_in == 0) {
            inflateEnd(&z);
            return std::nullopt;
        }
    }
    inflateEnd(&z);
    return output;
}

bool QELMediaLibraryITunesCDBConvertor::ConvertITunesCDBToITunesDB(const QString& cdbPath, const QString& targetPath)
{
    const QString target = targetPath.isEmpty() ? convertedPathFor(cdbPath) : targetPath;
    QFile::remove(target);
    QFile source(cdbPath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = source.read(8);
    if (start.size() < 8 || !start.startsWith("mhbd"))
        return false;
    const qint32 headerLength = qFromLittleEndian<qint32>(start.constData() + 4);
    if (headerLength < 8 || headerLength > source.size()) {
        qCWarning(lcOrvane) << "iTunesCDB header length" << headerLength << "does not fit the file";
        return false;
    }
    if (source.size() - headerLength > kInflateLimit)
        return false;
    source.seek(0);
    const QByteArray header = source.read(headerLength);
    const QByteArray body = source.readAll();
    source.close();
    const std::optional<QByteArray> inflated = inflate(body);
    if (!inflated) {
        qCWarning(lcOrvane) << "iTunesCDB body does not inflate";
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(header);
    out.write(*inflated);
    return out.commit();
}
