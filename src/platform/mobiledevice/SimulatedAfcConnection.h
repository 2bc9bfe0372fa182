// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AfcConnection.h"

#include <QHash>
#include <QVariantMap>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

class QFile;

// The file service of a simulated device: the device folder's "afc" tree is
// the root. Paths are resolved inside the root ("/.." stays at the root), as
// a device confines its media file system. The Simulation dictionary may add
// hostile directory entries ("ExtraDirectoryEntries"), read errors
// ("ReadErrors") and held listings ("ListingHoldFile"); see
// docs/simulated-devices.md.
class SimulatedAfcConnection : public AfcConnection {
public:
    SimulatedAfcConnection(const QString& root, std::shared_ptr<std::atomic<bool>> present,
                           const QVariantMap& simulation);
    ~SimulatedAfcConnection() override;

    // "/a/../b//c" -> "/b/c"; never above "/".
    static QString normalise(const QString& devicePath);

    int fileInfo(const QString& path, KeyValues* info) override;
    int fileRefOpen(const QString& path, AfcFileMode mode, uint64_t* ref) override;
    int fileRefRead(uint64_t ref, char* data, uint32_t length, uint32_t* read) override;
    int fileRefWrite(uint64_t ref, const char* data, uint32_t length, uint32_t* written) override;
    int fileRefSeek(uint64_t ref, uint64_t offset) override;
    int fileRefClose(uint64_t ref) override;
    int fileRefCopyToDescriptor(uint64_t ref, int descriptor, uint32_t length,
                                uint32_t* copied) override;
    int directoryRead(const QString& path, QStringList* entries) override;
    int directoryCreate(const QString& path) override;
    int removePath(const QString& path) override;
    int renamePath(const QString& from, const QString& to) override;

private:
    struct OpenFile;

    // The local path of a device path, or empty when it would leave the root.
    QString local(const QString& devicePath) const;
    // A normalised device path as a path relative to the root ("." for "/").
    static QByteArray relative(const QString& normalisedPath);
    bool connected() const { return m_present->load(); }
    // Waits while the hold file of the simulation exists (and the device is there).
    void waitWhileListingsAreHeld() const;

    QString m_root;
    QString m_canonicalRoot;
    // The root, held open: paths are opened below it, confined by the kernel.
    int m_rootFd = -1;
    bool m_beneath = false;
    std::shared_ptr<std::atomic<bool>> m_present;
    QHash<QString, QStringList> m_extraEntries;
    QHash<QString, qint64> m_readErrors;
    QString m_listingHoldFile;
    std::mutex m_mutex;
    std::map<uint64_t, std::unique_ptr<OpenFile>> m_files;
    uint64_t m_nextRef = 1;
};
