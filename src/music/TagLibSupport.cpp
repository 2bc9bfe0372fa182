// SPDX-License-Identifier: GPL-3.0-or-later
#include "TagLibSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringDecoder>

namespace TagLibSupport {

QByteArray fileName(const QString& path) { return QFile::encodeName(path); }

TagLib::String toTagLib(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

QString fromTagLib(const TagLib::String& value, Decoding decoding)
{
    const QString unicode = QString::fromStdWString(value.toWString());
    if (!value.isLatin1())
        return unicode;
    const QByteArray bytes = unicode.toLatin1();
    bool multiByte = false;
    for (const char byte : bytes)
        multiByte = multiByte || static_cast<unsigned char>(byte) >= 0x80;
    if (!multiByte)
        return unicode;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    if (!decoder.hasError())
        return decoded;
    return decoding == Decoding::WithFallback ? unicode : QString();
}

qint32 integerValue(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text.at(at) == QLatin1Char('+') || text.at(at) == QLatin1Char('-')))
        negative = text.at(at++) == QLatin1Char('-');
    qint64 value = 0;
    for (; at < text.size() && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9');
         ++at) {
        // Past 2^31 the answer is clamped anyway; stop growing.
        if (value <= qint64(std::numeric_limits<qint32>::max()) + 1)
            value = value * 10 + (text.at(at).unicode() - '0');
    }
    if (negative)
        value = -value;
    return static_cast<qint32>(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

SlashParts splitAtLastSlash(const QString& text)
{
    QString trimmed = text;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    SlashParts parts;
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return parts;
    parts.hasSlash = true;
    parts.before = trimmed.left(slash);
    parts.after = trimmed.mid(slash + 1);
    return parts;
}

std::optional<QString> mergedNumberText(const std::optional<double>& number,
                                        const std::optional<double>& total, const QString& existing)
{
    if (number && total)
        return QStringLiteral("%1/%2").arg(int32Value(*number)).arg(int32Value(*total));
    if (existing.isEmpty())
        return std::nullopt;
    const SlashParts parts = splitAtLastSlash(existing);
    if (number)
        return QString::number(int32Value(*number))
            + (parts.hasSlash ? QLatin1Char('/') + parts.after : QString());
    if (total)
        return (parts.hasSlash ? parts.before : QStringLiteral("0")) + QLatin1Char('/')
            + QString::number(int32Value(*total));
    return std::nullopt;
}

std::optional<std::pair<int, int>> mergedNumberPair(const std::optional<double>& number,
                                                    const std::optional<double>& total,
                                                    const QString& existing)
{
    if (number && total)
        return std::pair<int, int>(int32Value(*number), int32Value(*total));
    if (existing.isEmpty())
        return std::nullopt;
    const SlashParts parts = splitAtLastSlash(existing);
    if (number)
        return std::pair<int, int>(int32Value(*number),
                                   parts.hasSlash ? integerValue(parts.after) : 0);
    if (total)
        return std::pair<int, int>(parts.hasSlash ? integerValue(parts.before) : 0,
                                   int32Value(*total));
    return std::nullopt;
}

qint32 int32Value(double number)
{
    if (!std::isfinite(number))
        return 0;
    const double whole = std::trunc(number);
    constexpr double limit = 9.2e18;
    const qint64 wide = whole >= limit ? std::numeric_limits<qint64>::max()
        : whole <= -limit              ? std::numeric_limits<qint64>::min()
                                       : static_cast<qint64>(whole);
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(wide)));
}

quint32 uint32Value(double number) { return static_cast<quint32>(int32Value(number)); }

bool saveMPEGFile(TagLib::MPEG::File& file)
{
    int tags = TagLib::MPEG::File::ID3v2;
    if (file.hasID3v1Tag())
        tags |= TagLib::MPEG::File::ID3v1;
    if (file.hasAPETag())
        tags |= TagLib::MPEG::File::APE;
    return file.save(tags, TagLib::File::StripNone, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}

bool mp4AtomsFitFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 length = file.size();
    qint64 offset = 0;
    while (offset < length) {
        if (length - offset < 8 || !file.seek(offset))
            return false;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return false;
        const auto byte = [&header](int at) { return quint64(quint8(header.at(at))); };
        quint64 size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        if (size == 1) {
            // A 64-bit size follows the type.
            if (header.size() < 16)
                return false;
            size = 0;
            for (int at = 8; at < 16; ++at)
                size = size << 8 | byte(at);
            if (size < 16)
                return false;
        } else if (size == 0) {
            // The last atom, running to the end of the file.
            return true;
        } else if (size < 8) {
            return false;
        }
        if (size > quint64(length - offset))
            return false;
        offset += qint64(size);
    }
    return length > 0;
}

namespace {

quint32 be32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16
        | quint32(quint8(b[at + 2])) << 8 | quint32(quint8(b[at + 3]));
}

quint32 le32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8
        | quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

// The length of an ID3v2 tag at the start of `head` (header, body and any
// footer), or 0 when it starts with none.
qint64 id3v2Length(const QByteArray& head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    qint64 body = 0;
    for (int i = 6; i < 10; ++i)
        body = body << 7 | (quint8(head[i]) & 0x7F);
    return 10 + body + ((quint8(head[5]) & 0x10) ? 10 : 0);
}

// An MPEG audio frame header: sync, a version, a layer, a bit rate and a
// sample rate that are not reserved.
bool isMPEGFrameHeader(const char* p)
{
    const auto b1 = quint8(p[1]);
    const auto b2 = quint8(p[2]);
    return quint8(p[0]) == 0xFF && (b1 & 0xE0) == 0xE0 && ((b1 >> 3) & 3) != 1
        && ((b1 >> 1) & 3) != 0 && (b2 >> 4) != 0x0F && (b2 >> 4) != 0 && ((b2 >> 2) & 3) != 3;
}

bool hasMPEGFrameNear(QFile& file, qint64 from)
{
    if (!file.seek(from))
        return false;
    const QByteArray block = file.read(kMP3SyncSearch + 4);
    for (qsizetype i = 0; i + 4 <= block.size(); ++i) {
        if (isMPEGFrameHeader(block.constData() + i))
            return true;
    }
    return false;
}

// Whether RIFF or FORM chunks run exactly from `from` to the declared end.
QString chunkProblem(QFile& file, bool littleEndian)
{
    const qint64 size = file.size();
    file.seek(0);
    const QByteArray head = file.read(12);
    if (head.size() < 12)
        return QStringLiteral("the file is shorter than its header");
    const quint32 declared = littleEndian ? le32(head, 4) : be32(head, 4);
    if (qint64(declared) + 8 != size)
        return QStringLiteral("its header gives %1 bytes, the file has %2")
            .arg(qint64(declared) + 8)
            .arg(size);
    qint64 at = 12;
    while (at + 8 <= size) {
        file.seek(at);
        const QByteArray chunk = file.read(8);
        const quint32 length = littleEndian ? le32(chunk, 4) : be32(chunk, 4);
        at += 8 + qint64(length) + (length & 1);
    }
    // TagLib pads the last chunk to an even length as the format asks; an
    // odd file end that the header counts is sound too.
    if (at != size && at != size + 1)
        return QStringLiteral("its chunks end at %1 of %2 bytes").arg(at).arg(size);
    return QString();
}

} // namespace

AudioKind audioKindOf(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return AudioKind::Unknown;
    const QByteArray head = file.read(64);
    if (head.isEmpty())
        return AudioKind::Unknown;
    if (extension == QLatin1String("mp3")) {
        // TagLib looks for a tag until the first frame and would read a
        // file without one to its end: the frame must be near the start.
        const qint64 tag = id3v2Length(head);
        if (tag > file.size())
            return AudioKind::Unknown;
        if (head.startsWith("RIFF") || head.startsWith("FORM") || head.startsWith("fLaC")
            || head.startsWith("OggS") || head.mid(4, 4) == "ftyp")
            return AudioKind::Unknown;
        // A short file is searched whole quickly, frame or not.
        if (file.size() - tag <= kMP3SyncSearch)
            return AudioKind::MP3;
        return hasMPEGFrameNear(file, tag) ? AudioKind::MP3 : AudioKind::Unknown;
    }
    if (extension == QLatin1String("m4a") || extension == QLatin1String("mp4")
        || extension == QLatin1String("m4p") || extension == QLatin1String("m4b"))
        return head.mid(4, 4) == "ftyp" ? AudioKind::MP4 : AudioKind::Unknown;
    if (extension == QLatin1String("wav"))
        return head.startsWith("RIFF") && head.mid(8, 4) == "WAVE" ? AudioKind::WAV
                                                                   : AudioKind::Unknown;
    if (extension == QLatin1String("aif") || extension == QLatin1String("aiff")
        || extension == QLatin1String("aifc"))
        return head.startsWith("FORM") && (head.mid(8, 4) == "AIFF" || head.mid(8, 4) == "AIFC")
            ? AudioKind::AIFF
            : AudioKind::Unknown;
    if (extension == QLatin1String("flac")) {
        const qint64 tag = id3v2Length(head);
        if (tag == 0)
            return head.startsWith("fLaC") ? AudioKind::FLAC : AudioKind::Unknown;
        file.seek(tag);
        return file.read(4) == "fLaC" ? AudioKind::FLAC : AudioKind::Unknown;
    }
    if (extension == QLatin1String("ogg") || extension == QLatin1String("oga")
        || extension == QLatin1String("opus"))
        return head.startsWith("OggS") ? AudioKind::Ogg : AudioKind::Unknown;
    return AudioKind::Unknown;
}

QString writtenFileProblem(const QString& path, AudioKind kind, const QString& expectedTitle)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return QStringLiteral("it cannot be read back");
    if (audioKindOf(path) != kind)
        return QStringLiteral("it no longer reads as the kind of file it was");
    QString framing;
    switch (kind) {
    case AudioKind::WAV:
        framing = chunkProblem(file, true);
        break;
    case AudioKind::AIFF:
        framing = chunkProblem(file, false);
        break;
    case AudioKind::MP4:
        if (!mp4AtomsFitFile(path))
            framing = QStringLiteral("its atoms do not fit the file");
        break;
    default:
        break;
    }
    if (!framing.isEmpty())
        return framing;
    return guarded("Reading back", path, QStringLiteral("TagLib failed on it"), [&] {
        const QByteArray name = fileName(path);
        const TagLib::FileRef ref(name.constData(), false);
        if (ref.isNull() || !ref.tag())
            return QStringLiteral("TagLib does not open it");
        if (!expectedTitle.isEmpty()
            && fromTagLib(ref.tag()->title(), Decoding::WithFallback) != expectedTitle)
            return QStringLiteral("its title does not read back");
        return QString();
    });
}

QString sniffedImageMimeType(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    const QByteArray format = QImageReader::imageFormat(&buffer);
    return format.isEmpty() ? QString() : QStringLiteral("image/") + QString::fromLatin1(format);
}

} // namespace TagLibSupport
