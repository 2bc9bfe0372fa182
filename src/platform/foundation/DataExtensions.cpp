#include "DataExtensions.h"

#include <algorithm>
#include <climits>
#include <limits>

#include <zlib.h>

#include "Log.h"

namespace {

// zlib counts in 32-bit units; larger buffers are offered in pieces.
constexpr qsizetype kMaxPiece = qsizetype(UINT_MAX / 2);

// A 32 KiB window; plus 32, the header (zlib or gzip) is detected.
constexpr int kZlibWindowBits = MAX_WBITS;
constexpr int kAutomaticHeaderWindowBits = MAX_WBITS + 32;

std::optional<QByteArray> inflateWithWindowBits(const QByteArray& data, qsizetype limit,
                                                int windowBits)
{
    if (data.isEmpty())
        return data;
    if (limit < 0)
        limit = 0;

    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return std::nullopt;

    // One byte beyond the limit is room enough to learn that a stream goes past it.
    const qsizetype ceiling = limit < std::numeric_limits<qsizetype>::max() ? limit + 1 : limit;
    QByteArray buffer;
    buffer.resize(std::min(ceiling, data.size() + data.size() / 2));
    qsizetype produced = 0;
    qsizetype consumed = 0;
    int status = Z_OK;
    bool tooLarge = false;
    for (;;) {
        if (produced == buffer.size()) {
            if (buffer.size() >= ceiling) {
                tooLarge = true;
                break;
            }
            // Grows geometrically (at least by half the input) so a highly
            // compressed stream is not copied over and over.
            const qsizetype step = std::max(data.size() / 2, buffer.size());
            buffer.resize(std::min(ceiling, buffer.size() + std::max<qsizetype>(step, 1)));
        }
        if (stream.avail_in == 0 && consumed < data.size()) {
            const qsizetype piece = std::min(kMaxPiece, data.size() - consumed);
            stream.next_in =
                reinterpret_cast<Bytef*>(const_cast<char*>(data.constData() + consumed));
            stream.avail_in = static_cast<uInt>(piece);
            consumed += piece;
        }
        const qsizetype room = std::min(kMaxPiece, buffer.size() - produced);
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        status = inflate(&stream, Z_SYNC_FLUSH);
        produced += room - static_cast<qsizetype>(stream.avail_out);
        if (status != Z_OK)
            break;
    }
    const bool released = inflateEnd(&stream) == Z_OK;

    if (tooLarge || produced > limit) {
        qCWarning(lcOrvane) << "Inflating refused: the stream expands beyond" << limit << "bytes";
        return std::nullopt;
    }
    if (status != Z_STREAM_END || !released) {
        qCDebug(lcOrvane) << "Inflating failed, zlib status" << status;
        return std::nullopt;
    }
    buffer.truncate(produced);
    buffer.squeeze();
    return buffer;
}

} // namespace

std::optional<QByteArray> DataExtensions::zlibInflate(const QByteArray& data, qsizetype limit)
{
    return inflateWithWindowBits(data, limit, kZlibWindowBits);
}

std::optional<QByteArray> DataExtensions::gzipOrZlibInflate(const QByteArray& data, qsizetype limit)
{
    return inflateWithWindowBits(data, limit, kAutomaticHeaderWindowBits);
}

std::optional<QByteArray> DataExtensions::zlibDeflate(const QByteArray& data)
{
    if (data.isEmpty())
        return data;
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
        return std::nullopt;

    QByteArray buffer;
    qsizetype produced = 0;
    qsizetype consumed = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == buffer.size()) {
            const qsizetype bound =
                static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size())));
            buffer.resize(buffer.size() + std::max<qsizetype>(bound / 2, 16384));
        }
        if (stream.avail_in == 0 && consumed < data.size()) {
            const qsizetype piece = std::min(kMaxPiece, data.size() - consumed);
            stream.next_in =
                reinterpret_cast<Bytef*>(const_cast<char*>(data.constData() + consumed));
            stream.avail_in = static_cast<uInt>(piece);
            consumed += piece;
        }
        const qsizetype room = std::min(kMaxPiece, buffer.size() - produced);
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        status = deflate(&stream, consumed < data.size() ? Z_NO_FLUSH : Z_FINISH);
        produced += room - static_cast<qsizetype>(stream.avail_out);
    }
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    buffer.truncate(produced);
    buffer.squeeze();
    return buffer;
}

QString StringAdditions::base64StringFromDataLength(const QByteArray& data, int /*length*/)
{
    return QString::fromLatin1(data.toBase64());
}
