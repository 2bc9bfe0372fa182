// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QList>
#include <QString>

#include "BackupFileSource.h"

class QTemporaryDir;

// What every harness shares: a private home for the run, so the readers'
// stores and temporary folders never touch the user's, and a scratch folder
// per input.
namespace FuzzSupport {

// Points HOME and the XDG folders at a new temporary home and makes the
// application object; call once, from LLVMFuzzerInitialize.
void initialize(int* argc, char*** argv);

// The input as bytes, without a copy.
QByteArray bytes(const uint8_t* data, size_t size);

// A folder of its own for one input, removed with everything in it when the
// object goes.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    QString path() const;
    QString filePath(const QString& name) const;
    // Writes `bytes` as `name` inside the folder; answers its path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// Marks that an input got past opening the file into the parser and was read
// (a record, a list, a value). Run over its seeds with ORVANE_FUZZ_EXPECT_PARSED
// set (scripts/fuzz does, before fuzzing), a harness of which no seed was parsed
// fails at exit: one that never reaches its parser fuzzes nothing.
void parsed();

// Calls the harness when the reader under test broke its contract.
[[noreturn]] void fail(const char* what);

} // namespace FuzzSupport

// A backup that holds the fuzzer's bytes as every file asked of it: each
// request answers a fresh copy the caller owns, as a real backup's do.
class FuzzFileSource : public BackupFileSource {
public:
    FuzzFileSource(const FuzzSupport::Scratch& scratch, QByteArray bytes);

    QString GetPathToDataOfType(int type) override;
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override;
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) override;

private:
    QString copy();

    const FuzzSupport::Scratch& m_scratch;
    QByteArray m_bytes;
    int m_copies = 0;
};
