// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>

// Result codes of the file service; 0 is success. The numbers are those of the
// AFC protocol, so the real backend passes the device's own codes through.
namespace AfcResult {
constexpr int kSuccess = 0;
constexpr int kUnknown = 1;
constexpr int kReadError = 4;
constexpr int kWriteError = 5;
constexpr int kInvalidArgument = 7;
constexpr int kNotFound = 8;
constexpr int kIsDirectory = 9;
constexpr int kPermissionDenied = 10;
constexpr int kNotConnected = 11;
constexpr int kNotSupported = 15;
constexpr int kExists = 16;
constexpr int kIoError = 20;
constexpr int kDirectoryNotEmpty = 33;
} // namespace AfcResult

// AFC open modes: 1 read only, 3 write only (created or truncated).
enum class AfcFileMode : uint32_t { ReadOnly = 1, WriteOnly = 3 };

// The device's file service (AFC). Device paths are absolute paths of the
// service's file system. Every call is serialised on the connection, so
// several threads may use one connection; open files are independent.
class AfcConnection {
public:
    using KeyValues = QList<QPair<QString, QString>>;

    virtual ~AfcConnection();

    // The item's information as key/value texts ("st_size", "st_ifmt", ...).
    virtual int fileInfo(const QString& path, KeyValues* info) = 0;
    virtual int fileRefOpen(const QString& path, AfcFileMode mode, uint64_t* ref) = 0;
    // Reads up to `length` bytes; 0 bytes read means the end of the file.
    virtual int fileRefRead(uint64_t ref, char* data, uint32_t length, uint32_t* read) = 0;
    virtual int fileRefWrite(uint64_t ref, const char* data, uint32_t length, uint32_t* written) = 0;
    // Positions the file at `offset` bytes from its start.
    virtual int fileRefSeek(uint64_t ref, uint64_t offset) = 0;
    virtual int fileRefClose(uint64_t ref) = 0;
    // Copies up to `length` bytes from the open file's position to the local
    // file `descriptor` at its position, inside the kernel, where the
    // service's files are local; 0 bytes copied means the end of the file.
    // kNotSupported where the bytes must travel (a real device): read them.
    virtual int fileRefCopyToDescriptor(uint64_t ref, int descriptor, uint32_t length,
                                        uint32_t* copied);
    // The folder's entry names as the device lists them, "." and ".." included.
    virtual int directoryRead(const QString& path, QStringList* entries) = 0;
    virtual int directoryCreate(const QString& path) = 0;
    virtual int removePath(const QString& path) = 0;
    virtual int renamePath(const QString& from, const QString& to) = 0;
};
