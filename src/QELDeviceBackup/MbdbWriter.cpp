#include "MbdbWriter.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QtEndian>

#include "MbdbFormat.h"

namespace {

template <class T> void appendBigEndian(QByteArray* out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out->append(bytes, sizeof(T));
}

bool fits(const std::optional<QByteArray>& field)
{
    return !field || field->size() < MbdbFormat::kAbsentLength;
}

void appendField(QByteArray* out, const std::optional<QByteArray>& value)
{
    if (!value) {
        appendBigEndian(out, MbdbFormat::kAbsentLength);
        return;
    }
    appendBigEndian(out, static_cast<uint16_t>(value->size()));
    out->append(*value);
}

} // namespace

MbdbWriter::MbdbWriter()
    : m_manifest("mbdb\x05\x00", MbdbFormat::kHeaderSize)
{
}

bool MbdbWriter::add(const Record& record)
{
    if (record.properties.size() > 255)
        return false;
    bool allFit = fits(record.domain) && fits(record.path) && fits(record.linkTarget)
        && fits(record.dataHash) && fits(record.encryptionKey);
    for (const auto& property : record.properties)
        allFit = allFit && fits(property.first) && fits(property.second);
    if (!allFit)
        return false;

    const QByteArray name =
        record.domain.value_or(QByteArray()) + '-' + record.path.value_or(QByteArray());
    m_entries.push_back({QCryptographicHash::hash(name, QCryptographicHash::Sha1),
                         static_cast<uint32_t>(m_manifest.size() - MbdbFormat::kHeaderSize),
                         record.mode});
    appendField(&m_manifest, record.domain);
    appendField(&m_manifest, record.path);
    appendField(&m_manifest, record.linkTarget);
    appendField(&m_manifest, record.dataHash);
    appendField(&m_manifest, record.encryptionKey);
    appendBigEndian(&m_manifest, record.mode);
    appendBigEndian(&m_manifest, record.inode);
    appendBigEndian(&m_manifest, record.userID);
    appendBigEndian(&m_manifest, record.groupID);
    appendBigEndian(&m_manifest, record.modified);
    appendBigEndian(&m_manifest, record.accessed);
    appendBigEndian(&m_manifest, record.created);
    appendBigEndian(&m_manifest, record.size);
    m_manifest.append(char(record.protectionClass));
    m_manifest.append(char(record.properties.size()));
    for (const auto& property : record.properties) {
        appendField(&m_manifest, property.first);
        appendField(&m_manifest, property.second);
    }
    return true;
}

void MbdbWriter::addRaw(const QByteArray& bytes) { m_manifest.append(bytes); }

QByteArray MbdbWriter::index(IndexOrder order, uint16_t version) const
{
    std::vector<Entry> entries = m_entries;
    if (order == IndexOrder::ByIdentifier)
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.identifier < b.identifier;
        });
    QByteArray bytes("mbdx", 4);
    char versionBytes[2];
    qToLittleEndian(version, versionBytes);
    bytes.append(versionBytes, 2);
    appendBigEndian(&bytes, static_cast<uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
        bytes.append(entry.identifier);
        appendBigEndian(&bytes, entry.offset);
        appendBigEndian(&bytes, entry.mode);
    }
    return bytes;
}
