#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QPair>

// Writes a Manifest.mbdb and its Manifest.mbdx index, record by record, in the
// layout MbdbFormat reads. The backup tool writes simulated backups with it;
// tests write damaged and hostile manifests with it, so its text fields are
// raw bytes (not necessarily UTF-8) and a record may hold any values.
class MbdbWriter {
public:
    struct Record {
        std::optional<QByteArray> domain; // std::nullopt: the absent marker FF FF
        std::optional<QByteArray> path;
        std::optional<QByteArray> linkTarget;
        std::optional<QByteArray> dataHash;
        std::optional<QByteArray> encryptionKey;
        uint16_t mode = 0;
        uint64_t inode = 0;
        uint32_t userID = 0;
        uint32_t groupID = 0;
        uint32_t modified = 0; // seconds since 1970
        uint32_t accessed = 0;
        uint32_t created = 0;
        uint64_t size = 0;
        uint8_t protectionClass = 0;
        QList<QPair<QByteArray, QByteArray>> properties; // at most 255
    };

    // How the index orders its entries: as the device writes it (by file
    // identifier) or in the order the records were added.
    enum class IndexOrder { ByIdentifier, AsWritten };

    MbdbWriter();

    // Appends a record; its index entry names it by the SHA-1 of
    // "domain-path". False, with nothing written, when a field is longer than
    // the format's 2-byte length can say or there are too many properties.
    bool add(const Record& record);
    // Appends bytes as they are (a damaged tail).
    void addRaw(const QByteArray& bytes);

    QByteArray manifest() const { return m_manifest; }
    // "mbdx", the version (little-endian), the entry count, then per record
    // its 20-byte identifier, its offset from the end of the manifest's header
    // and its mode.
    QByteArray index(IndexOrder order = IndexOrder::ByIdentifier, uint16_t version = 2) const;

    struct Entry {
        QByteArray identifier; // 20 bytes
        uint32_t offset = 0;
        uint16_t mode = 0;
    };
    const std::vector<Entry>& entries() const { return m_entries; }

private:
    QByteArray m_manifest;
    std::vector<Entry> m_entries;
};
