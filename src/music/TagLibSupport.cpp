// SPDX-License-Identifier: GPL-3.0-or-later
#include "TagLibSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <taglib/mpegfile.h>

#include <QBuffer>
#include <QFile>
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
