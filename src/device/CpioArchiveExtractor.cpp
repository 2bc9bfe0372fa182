// SPDX-License-Identifier: GPL-3.0-or-later
#include "CpioArchiveExtractor.h"

#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Log.h"
#include "SafePath.h"

namespace {

constexpr quint32 kMaxNameLength = 4096;
constexpr qint64 kChunk = 1024 * 1024;

class GzReader {
public:
    explicit GzReader(const QString& path)
        : m_file(gzopen(QFile::encodeName(path).constData(), "rb"))
    {
    }
    ~GzReader()
    {
        if (m_file)
            gzclose(m_file);
    }
    bool isOpen() const { return m_file != nullptr; }
    // Reads exactly `length` bytes; false at a premature end or an error.
    bool read(char* data, qint64 length)
    {
        while (length > 0) {
            const int got =
                gzread(m_file, data, static_cast<unsigned>(std::min<qint64>(length, kChunk)));
            if (got <= 0)
                return false;
            data += got;
            length -= got;
            m_position += got;
        }
        return true;
    }
    bool skip(qint64 length)
    {
        QByteArray buffer(static_cast<qsizetype>(std::min<qint64>(length, kChunk)), '\0');
        while (length > 0) {
            const qint64 part = std::min<qint64>(length, buffer.size());
            if (!read(buffer.data(), part))
                return false;
            length -= part;
        }
        return true;
    }
    bool align(int to) { return skip((to - m_position % to) % to); }

private:
    gzFile m_file;
    qint64 m_position = 0;
};

bool parseNumber(const QByteArray& text, int base, quint64* value)
{
    bool ok = false;
    *value = text.toULongLong(&ok, base);
    return ok;
}

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

bool CpioArchiveExtractor::extract(const QString& archivePath, const QString& targetFolder,
                                   QString* error, int* skipped, int* failed)
{
    if (skipped)
        *skipped = 0;
    if (failed)
        *failed = 0;
    GzReader in(archivePath);
    if (!in.isOpen())
        return fail(error, QStringLiteral("cannot open the archive"));
    if (!QDir().mkpath(targetFolder))
        return fail(error, QStringLiteral("cannot make the target folder"));
    const QString root = QFileInfo(targetFolder).canonicalFilePath();

    for (;;) {
        char magic[6];
        if (!in.read(magic, 6))
            return fail(error, QStringLiteral("truncated archive"));
        const QByteArray kind(magic, 6);
        quint64 mode = 0, nameLength = 0, fileSize = 0;
        bool newc = false;
        if (kind == "070701" || kind == "070702") {
            newc = true;
            char header[104];
            if (!in.read(header, sizeof header))
                return fail(error, QStringLiteral("truncated header"));
            const QByteArray fields(header, sizeof header);
            if (!parseNumber(fields.mid(8, 8), 16, &mode)
                || !parseNumber(fields.mid(48, 8), 16, &fileSize)
                || !parseNumber(fields.mid(88, 8), 16, &nameLength))
                return fail(error, QStringLiteral("damaged header"));
        } else if (kind == "070707") {
            char header[70];
            if (!in.read(header, sizeof header))
                return fail(error, QStringLiteral("truncated header"));
            const QByteArray fields(header, sizeof header);
            if (!parseNumber(fields.mid(12, 6), 8, &mode)
                || !parseNumber(fields.mid(53, 6), 8, &nameLength)
                || !parseNumber(fields.mid(59, 11), 8, &fileSize))
                return fail(error, QStringLiteral("damaged header"));
        } else {
            return fail(error, QStringLiteral("not a cpio archive"));
        }
        if (nameLength == 0 || nameLength > kMaxNameLength)
            return fail(error, QStringLiteral("bad name length"));
        QByteArray nameBytes(static_cast<qsizetype>(nameLength), '\0');
        if (!in.read(nameBytes.data(), static_cast<qint64>(nameLength)) || (newc && !in.align(4)))
            return fail(error, QStringLiteral("truncated name"));
        if (nameBytes.endsWith('\0'))
            nameBytes.chop(1);
        const QString name = QString::fromUtf8(nameBytes);
        if (name == QLatin1String("TRAILER!!!"))
            return true;

        const quint64 type = mode & 0170000;
        const QString relative = SafePath::normalisedRelativePath(name);
        const QString local =
            relative.isEmpty() ? QString() : targetFolder + QLatin1Char('/') + relative;
        // The folder that would receive it must lie inside the target (no
        // symlink on the way leads out): checked before anything is made, and
        // again once it is.
        bool inside = !local.isEmpty();
        bool madeParent = true;
        if (inside) {
            QString parent = QFileInfo(local).absolutePath();
            if (type == 0040000)
                parent = local;
            inside = SafePath::isInside(root, parent);
            if (inside) {
                madeParent = QDir().mkpath(parent);
                inside = SafePath::isInside(root, parent);
            }
        }
        if (!inside || (type != 0100000 && type != 0040000)) {
            if (!inside)
                qCWarning(lcOrvane) << "Archive entry refused:" << name;
            if (skipped)
                ++*skipped;
            if (!in.skip(static_cast<qint64>(fileSize)) || (newc && !in.align(4)))
                return fail(error, QStringLiteral("truncated data"));
            continue;
        }
        // One entry that cannot be written (a name too long for this file
        // system, a file where the archive has a folder) costs that entry,
        // never the ones after it: its data is read past and it is counted.
        bool written = madeParent;
        quint64 left = fileSize;
        if (type == 0100000 && written) {
            const QFileInfo existing(local);
            QFile out(local);
            written = !existing.isSymLink() && !existing.isDir()
                && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            if (written) {
                QByteArray buffer(static_cast<qsizetype>(std::min<quint64>(fileSize, kChunk)),
                                  '\0');
                while (left > 0) {
                    const qint64 part = static_cast<qint64>(
                        std::min<quint64>(left, static_cast<quint64>(buffer.size())));
                    if (!in.read(buffer.data(), part))
                        return fail(error, QStringLiteral("truncated data"));
                    left -= static_cast<quint64>(part);
                    if (out.write(buffer.constData(), part) != part) {
                        written = false;
                        break;
                    }
                }
                if (!written || !out.flush()) {
                    out.close();
                    out.remove(); // never a part of a file that looks whole
                    written = false;
                }
            }
        }
        if (!written) {
            qCWarning(lcOrvane) << "Archive entry not written:" << name;
            if (failed)
                ++*failed;
        }
        if (left > 0 && !in.skip(static_cast<qint64>(left)))
            return fail(error, QStringLiteral("truncated data"));
        if (newc && !in.align(4))
            return fail(error, QStringLiteral("truncated data"));
    }
}
