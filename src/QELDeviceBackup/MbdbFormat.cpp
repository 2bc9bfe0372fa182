#include "MbdbFormat.h"

#include "QELBinaryFileHandle.h"

#include <QStringDecoder>
#include <QtEndian>

namespace MbdbFormat {

bool readHeader(QELBinaryFileHandle& file)
{
    if (file.bytesLeft() < static_cast<uint64_t>(kHeaderSize))
        return false;
    if (file.readStringOfLength(4) != QLatin1String("mbdb"))
        return false;
    file.skipBytes(2);
    return true;
}

std::optional<QByteArray> readField(QELBinaryFileHandle& file, bool* truncated)
{
    if (file.bytesLeft() < 2) {
        *truncated = true;
        return std::nullopt;
    }
    const uint8_t hi = file.readUnsignedByte();
    const uint8_t lo = file.readUnsignedByte();
    if (hi == 0xFF && lo == 0xFF)
        return std::nullopt;
    const int length = hi * 256 + lo;
    if (static_cast<uint64_t>(length) > file.bytesLeft()) {
        *truncated = true;
        return std::nullopt;
    }
    return file.readDataOfLength(length);
}

std::optional<QString> decodeString(const std::optional<QByteArray>& bytes)
{
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

ReadResult readRecord(QELBinaryFileHandle& file, MbdbRecord* record)
{
    *record = MbdbRecord();
    if (file.bytesLeft() == 0)
        return ReadResult::End;
    bool truncated = false;
    record->domain = decodeString(readField(file, &truncated));
    if (!truncated)
        record->path = decodeString(readField(file, &truncated));
    if (!truncated)
        record->linkTarget = decodeString(readField(file, &truncated));
    if (!truncated)
        record->dataHash = readField(file, &truncated);
    if (!truncated)
        record->encryptionKey = readField(file, &truncated);
    if (truncated || file.bytesLeft() < static_cast<uint64_t>(kFixedFieldsSize))
        return ReadResult::Truncated;

    const QByteArray fixed = file.readDataOfLength(kFixedFieldsSize);
    const auto* bytes = reinterpret_cast<const uchar*>(fixed.constData());
    record->mode = qFromBigEndian<uint16_t>(bytes);
    record->inode = qFromBigEndian<uint64_t>(bytes + 2);
    record->userID = qFromBigEndian<uint32_t>(bytes + 10);
    record->groupID = qFromBigEndian<uint32_t>(bytes + 14);
    record->modified = qFromBigEndian<uint32_t>(bytes + 18);
    record->accessed = qFromBigEndian<uint32_t>(bytes + 22);
    record->created = qFromBigEndian<uint32_t>(bytes + 26);
    record->size = qFromBigEndian<uint64_t>(bytes + 30);
    record->protectionClass = bytes[38];
    const int propertyCount = bytes[39];
    for (int i = 0; i < propertyCount; ++i) {
        const std::optional<QString> name = decodeString(readField(file, &truncated));
        if (truncated)
            return ReadResult::Truncated;
        const std::optional<QByteArray> value = readField(file, &truncated);
        if (truncated)
            return ReadResult::Truncated;
        record->properties.append({name.value_or(QString()), value.value_or(QByteArray())});
    }
    return ReadResult::Record;
}

} // namespace MbdbFormat
