#include "QELBinaryFileHandle.h"

#include <QtEndian>

#include <cstring>

QELBinaryFileHandle::QELBinaryFileHandle(const QString& filePath)
    : m_file(filePath)
{
    if (m_file.open(QIODevice::ReadOnly))
        m_size = static_cast<uint64_t>(m_file.size());
}

QELBinaryFileHandle::~QELBinaryFileHandle() = default;

bool QELBinaryFileHandle::isOpen() const { return m_file.isOpen(); }

QByteArray QELBinaryFileHandle::readExactly(int length)
{
    if (length <= 0)
        return {};
    m_byteCount += static_cast<uint32_t>(length);
    const uint64_t left = bytesLeft();
    const qint64 wanted = static_cast<qint64>(std::min<uint64_t>(static_cast<uint64_t>(length), left));
    if (static_cast<uint64_t>(length) > left)
        m_hitEnd = true;
    if (wanted <= 0)
        return {};
    QByteArray bytes = m_file.read(wanted);
    if (bytes.size() < wanted)
        m_hitEnd = true;
    return bytes;
}

template <typename T> T QELBinaryFileHandle::readInteger()
{
    const QByteArray bytes = readExactly(static_cast<int>(sizeof(T)));
    if (bytes.size() != static_cast<qsizetype>(sizeof(T)))
        return T(0);
    return qFromLittleEndian<T>(bytes.constData());
}

int8_t QELBinaryFileHandle::readByte() { return readInteger<int8_t>(); }
uint8_t QELBinaryFileHandle::readUnsignedByte() { return readInteger<uint8_t>(); }
int16_t QELBinaryFileHandle::readInt16() { return readInteger<int16_t>(); }
uint16_t QELBinaryFileHandle::readUInt16() { return readInteger<uint16_t>(); }
int32_t QELBinaryFileHandle::readInt32() { return readInteger<int32_t>(); }
uint32_t QELBinaryFileHandle::readUInt32() { return readInteger<uint32_t>(); }
int64_t QELBinaryFileHandle::readInt64() { return readInteger<int64_t>(); }
uint64_t QELBinaryFileHandle::readUInt64() { return readInteger<uint64_t>(); }

QString QELBinaryFileHandle::readStringOfLength(int length)
{
    return QString::fromLatin1(readExactly(length));
}

QString QELBinaryFileHandle::readUTF16StringOfLength(int length)
{
    const QByteArray bytes = readExactly(length);
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<uint16_t>(bytes.constData() + 2 * i));
    return text;
}

QByteArray QELBinaryFileHandle::readDataOfLength(int length) { return readExactly(length); }

QByteArray QELBinaryFileHandle::readDataToEndOfFile()
{
    if (!isOpen())
        return {};
    return m_file.readAll();
}

void QELBinaryFileHandle::skipBytes(int count)
{
    if (count <= 0)
        return;
    m_byteCount += static_cast<uint32_t>(count);
    const uint64_t left = bytesLeft();
    if (static_cast<uint64_t>(count) > left)
        m_hitEnd = true;
    if (!isOpen())
        return;
    const uint64_t distance = std::min<uint64_t>(static_cast<uint64_t>(count), left);
    // Short skips are read through the file's buffer: a seek costs a system
    // call each time, and format readers skip a few bytes at a time.
    if (distance <= 4096) {
        char discard[4096];
        m_file.read(discard, static_cast<qint64>(distance));
        return;
    }
    m_file.seek(static_cast<qint64>(position() + distance));
}

void QELBinaryFileHandle::setPosition(uint64_t offset)
{
    // An offset beyond the file comes only from a corrupt field: stop at the end.
    if (offset > size())
        m_hitEnd = true;
    if (isOpen())
        m_file.seek(static_cast<qint64>(std::min<uint64_t>(offset, size())));
}

uint64_t QELBinaryFileHandle::position() const
{
    return isOpen() ? static_cast<uint64_t>(m_file.pos()) : 0;
}

uint64_t QELBinaryFileHandle::size() const
{
    // Taken once at open: asking the file each time costs a system call on
    // every read, and the local copies being read do not change.
    return isOpen() ? m_size : 0;
}

uint64_t QELBinaryFileHandle::bytesLeft() const
{
    const uint64_t pos = position();
    const uint64_t total = size();
    return total > pos ? total - pos : 0;
}

void QELBinaryFileHandle::byteAlignEven()
{
    // Skips (offset mod 4) bytes, which always lands on an even offset.
    const auto remainder = static_cast<int>(static_cast<uint32_t>(position()) % 4);
    if (remainder != 0)
        skipBytes(remainder);
}

void QELBinaryFileHandle::closeFile()
{
    m_file.close();
    m_byteCount = 0;
}

QString QELBinaryFileHandle::description() const
{
    return QStringLiteral("Position:%1 ByteCount:%2").arg(position()).arg(static_cast<int>(m_byteCount));
}
