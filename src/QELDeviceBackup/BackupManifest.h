#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <iterator>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

// One file, folder or link that a backup holds.
struct BackupManifestEntry {
    enum class Kind { File, Directory, SymbolicLink, Other };

    QString domain;
    QString relativePath;
    QString fileID;     // 40 lower-case hexadecimal digits
    QString backupFile; // the stored file, relative to the device folder ("<id>" or "<2 hex>/<id>")
    Kind kind = Kind::Other;
    uint16_t mode = 0;
    int64_t size = 0;
    uint32_t userID = 0;
    uint32_t groupID = 0;
    int64_t modified = 0; // seconds since 1970
    int64_t accessed = 0;
    int64_t created = 0;
    uint8_t protectionClass = 0;
    QByteArray dataHash;
    QString linkTarget;
    // Of a device-encrypted backup: the file's key, a 4-byte little-endian
    // protection class and the wrapped key (Manifest.db "EncryptionKey", or
    // the Manifest.mbdb record's encryption key field).
    QByteArray encryptionKey;
};

// What one manifest may hold; more is refused as too large rather than
// ending the program for want of memory. A full phone lists one to two
// million files.
struct BackupManifestLimits {
    qsizetype maximumEntries = 5'000'000;
    // Paths, link targets, digests and keys together.
    qsizetype maximumNameBytes = qsizetype(2) << 30;
};

// The whole manifest of one device backup folder, in either generation:
// Manifest.mbdb (files stored flat under their identifiers) or Manifest.db
// (an SQLite "Files" table; files stored under a folder named by the
// identifier's first two digits), which devices on iOS 10 or later write.
//
// Entries whose domain or path could lead outside the backup (an empty,
// absolute or ".." path, a NUL or a line break; a domain with a "/", a ","
// or a line break; an identifier that is not 40 hexadecimal digits) are left
// out and counted.
//
// A full phone lists one to two million files, and the manifest stays in
// memory for as long as its backup is open, so it is held packed: the
// identifier as 20 bytes, each domain once, the path as UTF-8 beside the
// other fields in large blocks (about 150 bytes a file where an entry of
// QStrings took 600 and its index as much again). Entries are unpacked as
// they are asked for.
class BackupManifest {
public:
    enum class Generation { Mbdb, ManifestDb };

    using Limits = BackupManifestLimits;

    class Entries;

    // Reads the folder's manifest: Manifest.db when there is one, otherwise
    // Manifest.mbdb. A missing, damaged, unreadable or too large manifest
    // gives std::nullopt and, when `error` is given, a sentence saying why;
    // `tooLarge`, when given, tells a manifest past `limits` from a damaged one.
    static std::optional<BackupManifest> load(const QString& folder, QString* error = nullptr,
                                              const Limits& limits = Limits(),
                                              bool* tooLarge = nullptr);
    // Reads a Manifest.db kept elsewhere (the decrypted copy of an encrypted
    // backup's) as the manifest of `folder`.
    static std::optional<BackupManifest> loadDatabase(const QString& folder,
                                                      const QString& databasePath,
                                                      QString* error = nullptr,
                                                      const Limits& limits = Limits(),
                                                      bool* tooLarge = nullptr);

    // Which generation a folder holds, if any, without reading it.
    static std::optional<Generation> generationOf(const QString& folder);

    Generation generation() const { return m_generation; }
    QString folder() const { return m_folder; }
    // Every entry: of Manifest.db by domain and path (as their bytes
    // compare), of Manifest.mbdb in the file's order.
    Entries entries() const;
    size_t entryCount() const { return m_packed.size(); }
    int refusedEntryCount() const { return m_refused; }

    // The entry with exactly this domain and path (the first of several).
    std::optional<BackupManifestEntry> find(const QString& domain,
                                            const QString& relativePath) const;
    // The regular files of one domain, in the order of entries().
    std::vector<BackupManifestEntry> filesInDomain(const QString& domain) const;

    // The entry at a position of entries().
    BackupManifestEntry entry(size_t position) const { return unpack(at(position)); }

    // The stored file's full path.
    QString storedFilePath(const BackupManifestEntry& entry) const;

    // The bytes the manifest holds (its blocks, tables and index).
    qsizetype heldBytes() const;

private:
    struct Packed {
        quint64 bytes = 0; // where its path and fields start: block << 32 | offset
        int64_t size = 0;
        uint32_t domain = 0;
        uint32_t pathLength = 0;
        std::array<uint8_t, 20> id{};
        uint16_t mode = 0;
        uint8_t flags = 0; // the kind, and whether the path is kept as UTF-16
        uint8_t protectionClass = 0;
    };

    bool readMbdb(QString* error);
    bool readManifestDb(const QString& path, QString* error);
    // Fills the identifier and stored name and checks the names; false when refused.
    bool accept(BackupManifestEntry* entry);
    // Counts a row of `source`; false (and `error` says why) past the limit.
    bool countRow(const QString& source, QString* error);
    // Packs an accepted entry; false (and `error` says why) past the limits.
    bool add(BackupManifestEntry& entry, const QString& source, QString* error);
    void buildIndex();
    BackupManifestEntry unpack(const Packed& packed) const;
    QByteArrayView pathBytes(const Packed& packed) const;
    const Packed& at(size_t position) const
    {
        return m_packed[m_order.empty() ? position : m_order[position]];
    }

    Generation m_generation = Generation::Mbdb;
    QString m_folder;
    Limits m_limits;
    size_t m_rowsSeen = 0;
    bool m_tooLarge = false;
    // In chunks: growing never copies what was read (a vector's doubling
    // holds the old and the new array at once: 75 MiB more at 2 million).
    std::deque<Packed> m_packed;
    // Blocks of paths and fields; none moves once written, so growing the
    // manifest never copies what it holds.
    std::vector<QByteArray> m_blocks;
    qsizetype m_nameBytes = 0;
    QList<QString> m_domains;
    QHash<QString, uint32_t> m_domainIDs;
    // Of Manifest.db: m_packed's positions by domain and path; empty: in order.
    std::vector<uint32_t> m_order;
    // (domain, path) -> 1 + m_packed's position of the first entry with
    // them, open addressing: a view looks up hundreds of files in a manifest
    // of hundreds of thousands.
    std::vector<uint32_t> m_slots;
    int m_refused = 0;

    friend class Entries;
};

// The entries of a manifest, each unpacked as it is read.
class BackupManifest::Entries {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = BackupManifestEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = BackupManifestEntry;
        Iterator() = default;
        Iterator(const BackupManifest* manifest, size_t position)
            : m_manifest(manifest)
            , m_position(position)
        {
        }
        BackupManifestEntry operator*() const { return m_manifest->entry(m_position); }
        Iterator& operator++()
        {
            ++m_position;
            return *this;
        }
        bool operator==(const Iterator& other) const { return m_position == other.m_position; }

    private:
        const BackupManifest* m_manifest = nullptr;
        size_t m_position = 0;
    };

    explicit Entries(const BackupManifest& manifest)
        : m_manifest(&manifest)
    {
    }
    size_t size() const { return m_manifest->m_packed.size(); }
    bool empty() const { return size() == 0; }
    BackupManifestEntry operator[](size_t position) const { return m_manifest->entry(position); }
    Iterator begin() const { return Iterator(m_manifest, 0); }
    Iterator end() const { return Iterator(m_manifest, size()); }

private:
    const BackupManifest* m_manifest;
};
