#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

// Reads a local file front to back as little-endian integers, fixed-length
// strings and byte runs. The byte counter grows by what each read or skip asks
// for; format readers reset it at the start of each chunk to learn how far into
// the chunk they are.
//
// No read goes outside the file: a read with fewer bytes left than asked for
// gives 0 / an empty string / the bytes that were there, marks the reader as
// having hit the end (hitEnd()), and still moves the counter by the length
// asked. A negative length reads and skips nothing and leaves the counter. Callers check a length a
// file declares against bytesLeft() before trusting it.
class QELBinaryFileHandle {
public:
    explicit QELBinaryFileHandle(const QString& filePath);
    ~QELBinaryFileHandle();
    QELBinaryFileHandle(const QELBinaryFileHandle&) = delete;
    QELBinaryFileHandle& operator=(const QELBinaryFileHandle&) = delete;

    bool isOpen() const;

    int8_t readByte();
    uint8_t readUnsignedByte();
    int16_t readInt16();
    uint16_t readUInt16();
    int32_t readInt32();
    uint32_t readUInt32();
    int64_t readInt64();
    uint64_t readUInt64();

    QString readStringOfLength(int length);        // ASCII; other bytes as Latin-1
    QString readUTF16StringOfLength(int length);   // length in bytes, UTF-16LE, no BOM
    QByteArray readDataOfLength(int length);
    QByteArray readDataToEndOfFile();              // counter unchanged
    void skipBytes(int count);

    void resetByteCount() { m_byteCount = 0; }
    uint32_t byteCount() const { return m_byteCount; }

    void setPosition(uint64_t offset);             // counter unchanged; stops at the end
    uint64_t position() const;                     // 0 when no file is open
    uint64_t size() const;                         // 0 when no file is open
    uint64_t bytesLeft() const;
    void byteAlignEven();
    void closeFile();

    // True once a read or skip asked for more than the file had left, or a
    // seek went beyond the end.
    bool hitEnd() const { return m_hitEnd; }

    QString description() const;

private:
    // Reads up to `length` bytes; the counter moves by `length` all the same.
    QByteArray readExactly(int length);
    template <typename T> T readInteger();

    QFile m_file;
    uint32_t m_byteCount = 0;
    uint64_t m_size = 0;
    bool m_hitEnd = false;
};
