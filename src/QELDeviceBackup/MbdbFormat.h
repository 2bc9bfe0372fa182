#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <optional>

class QELBinaryFileHandle;

// One record of a Manifest.mbdb file, with every field the format holds.
struct MbdbRecord {
    std::optional<QString> domain;      // absent: the FF FF length, or bytes that are not UTF-8
    std::optional<QString> path;
    std::optional<QString> linkTarget;
    std::optional<QByteArray> dataHash;
    std::optional<QByteArray> encryptionKey;
    uint16_t mode = 0;
    uint64_t inode = 0;
    uint32_t userID = 0;
    uint32_t groupID = 0;
    uint32_t modified = 0;              // seconds since 1970
    uint32_t accessed = 0;
    uint32_t created = 0;
    uint64_t size = 0;
    uint8_t protectionClass = 0;
    QList<QPair<QString, QByteArray>> properties;
};

// The Manifest.mbdb format: "mbdb", two version bytes, then records back to
// back. Numbers and lengths are big-endian; a string or data field is a 2-byte
// length and that many bytes, FF FF standing for an absent value.
namespace MbdbFormat {

constexpr int kHeaderSize = 6;
constexpr int kFixedFieldsSize = 40;
constexpr uint16_t kAbsentLength = 0xFFFF;

enum class ReadResult {
    Record,     // a whole record was read
    End,        // no bytes were left
    Truncated,  // a length or the fixed part runs past the end of the file
};

// Reads "mbdb" and the version bytes; false when the magic is wrong or missing.
bool readHeader(QELBinaryFileHandle& file);

// Reads one field. Absent fields give std::nullopt; `truncated` is set when
// the declared length is more than the file has left (nothing is read then).
std::optional<QByteArray> readField(QELBinaryFileHandle& file, bool* truncated);

// Reads one record at the reader's position. Every length is checked against
// the bytes left before anything is read, so a damaged file ends the reading
// instead of driving it past the end.
ReadResult readRecord(QELBinaryFileHandle& file, MbdbRecord* record);

// Text of a string field: UTF-8, or absent when the bytes are not valid UTF-8.
std::optional<QString> decodeString(const std::optional<QByteArray>& bytes);

} // namespace MbdbFormat
