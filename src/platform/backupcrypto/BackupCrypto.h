#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

// The cryptography of device-encrypted backups, all of it through OpenSSL's
// libcrypto: password derivation, AES key wrap (RFC 3394) and AES-256-CBC
// with a zero IV, the cipher every file of such a backup is stored in.
namespace BackupCrypto {

enum class Digest { Sha1, Sha256 };

// PBKDF2-HMAC of `password` (bytes as given) over `salt`; an empty array when
// OpenSSL refuses the arguments.
QByteArray pbkdf2(Digest digest, const QByteArray& password, const QByteArray& salt, int rounds,
                  int length);

// Unwraps an RFC 3394 wrapped key under `kek` (16, 24 or 32 bytes).
// std::nullopt when the integrity check fails: the wrong key, or damaged bytes.
std::optional<QByteArray> unwrapKey(const QByteArray& kek, const QByteArray& wrapped);
// Wraps `key` (a multiple of 8 bytes, at least 16) under `kek`.
std::optional<QByteArray> wrapKey(const QByteArray& kek, const QByteArray& key);

// Bytes from OpenSSL's random generator.
QByteArray randomBytes(int count);

// AES-256-CBC with a zero IV over whole blocks, no padding added or removed.
// std::nullopt for a key that is not 32 bytes or data that is not whole blocks.
std::optional<QByteArray> decryptBlocks(const QByteArray& key, const QByteArray& data);
std::optional<QByteArray> encryptBlocks(const QByteArray& key, const QByteArray& data);

// `data` with PKCS#7 padding to a whole number of 16-byte blocks (always at
// least one byte, so a full block of padding follows an aligned input).
QByteArray addPadding(const QByteArray& data);
// The length of `data` without valid PKCS#7 padding, or std::nullopt.
std::optional<qsizetype> unpaddedLength(const QByteArray& data);

enum class FileResult {
    Ok,
    Damaged, // the stored bytes do not decrypt to a file of the expected size
    Failed,  // a file could not be read or written
};

// Decrypts the stored file `source` into `target` (created 0600; removed
// again on failure). With a `size`, the plain content is cut to it after the
// padding that follows it was checked: a size that does not fit the stored
// length or its padding is a damaged file. Without one, valid PKCS#7 padding
// is removed and anything else is kept as it is. Streams, so a file of any
// size is read in small pieces.
FileResult decryptFile(const QByteArray& key, const QString& source, const QString& target,
                       std::optional<int64_t> size, QString* error);

struct FileOutcome {
    FileResult result = FileResult::Failed;
    QString error; // why, when the result is not Ok
};

// Runs `decryptOne(i, &error)` for every i below `count` on up to `threads`
// threads (the calling one among them; one when `threads` is below 2), so
// that the files of a backup decrypt side by side. Each file succeeds or
// fails on its own: the outcomes are in the order of the indices, and every
// file is tried whatever befell the others. `decryptOne` must be safe to call
// from several threads at once, as decryptFile is.
std::vector<FileOutcome> decryptEach(size_t count, int threads,
                                     const std::function<FileResult(size_t, QString*)>& decryptOne);

} // namespace BackupCrypto
