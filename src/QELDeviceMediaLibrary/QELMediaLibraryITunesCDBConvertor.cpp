// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryITunesCDBConvertor.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include "DataExtensions.h"
#include "Log.h"

QString QELMediaLibraryITunesCDBConvertor::convertedPathFor(const QString& cdbPath)
{
    return QFileInfo(cdbPath).absolutePath() + QStringLiteral("/iTunesDB.fromCDB");
}

std::optional<QByteArray> QELMediaLibraryITunesCDBConvertor::inflate(const QByteArray& stream, qsizetype limit)
{
    // An empty body is no database: it would convert into a header alone.
    if (stream.isEmpty())
        return std::nullopt;
    std::optional<QByteArray> output = DataExtensions::zlibInflate(stream, limit);
    if (!output)
        qCWarning(lcOrvane) << "iTunesCDB body is damaged or inflates beyond" << limit << "bytes; refused";
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
