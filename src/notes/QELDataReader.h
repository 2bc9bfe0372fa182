// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QtGlobal>

// A byte cursor over a buffer that never reads past its end: a single read
// short of bytes gives 0 and leaves the cursor where it was, readBytes() and
// readVarint() give nothing.
class QELDataReader {
public:
    QELDataReader() = default;
    explicit QELDataReader(const QByteArray& data)
        : m_data(data)
    {
    }

    QByteArray data() const { return m_data; }
    void setData(const QByteArray& data);

    quint64 length() const { return quint64(m_data.size()); }
    quint64 position() const { return m_position; }
    quint64 bytesLeft() const { return length() - m_position; }
    bool atEnd() const { return m_position >= length(); }
    // A target beyond the end puts the cursor at the end.
    void seekToPosition(quint64 position);

    quint8 readByte();
    // Little-endian.
    quint16 readUInt16();
    qint16 readInt16();
    quint32 readUInt32();
    qint32 readInt32();
    std::optional<QByteArray> readBytes(quint64 count);
    // A base-128 varint of at most 10 bytes whose value fits 64 bits; nothing
    // (cursor unchanged) when it is longer, overflows or the data ends inside it.
    std::optional<quint64> readVarint();

private:
    bool has(quint64 count) const { return count <= bytesLeft(); }

    QByteArray m_data;
    quint64 m_position = 0;
};
