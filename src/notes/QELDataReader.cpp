// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDataReader.h"

#include <QtEndian>

void QELDataReader::setData(const QByteArray& data)
{
    m_data = data;
    m_position = 0;
}

void QELDataReader::seekToPosition(quint64 position) { m_position = qMin(position, length()); }

quint8 QELDataReader::readByte()
{
    if (!has(1))
        return 0;
    return quint8(m_data.at(qsizetype(m_position++)));
}

quint16 QELDataReader::readUInt16()
{
    if (!has(2))
        return 0;
    const quint16 value = qFromLittleEndian<quint16>(m_data.constData() + m_position);
    m_position += 2;
    return value;
}

qint16 QELDataReader::readInt16() { return qint16(readUInt16()); }

quint32 QELDataReader::readUInt32()
{
    if (!has(4))
        return 0;
    const quint32 value = qFromLittleEndian<quint32>(m_data.constData() + m_position);
    m_position += 4;
    return value;
}

qint32 QELDataReader::readInt32() { return qint32(readUInt32()); }

std::optional<QByteArray> QELDataReader::readBytes(quint64 count)
{
    if (!has(count))
        return std::nullopt;
    const QByteArray bytes = m_data.mid(qsizetype(m_position), qsizetype(count));
    m_position += count;
    return bytes;
}

std::optional<quint64> QELDataReader::readVarint()
{
    quint64 value = 0;
    quint64 at = m_position;
    for (int i = 0; i < 10; ++i) {
        if (at >= length())
            return std::nullopt;
        const quint8 byte = quint8(m_data.at(qsizetype(at++)));
        // The tenth byte carries bit 63 only.
        if (i == 9 && (byte & 0xFE) != 0)
            return std::nullopt;
        value |= quint64(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            m_position = at;
            return value;
        }
    }
    return std::nullopt;
}
