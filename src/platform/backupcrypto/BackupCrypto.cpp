#include "BackupCrypto.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "ParallelFor.h"

namespace BackupCrypto {

namespace {

constexpr int kBlock = 16;
constexpr int kKeySize = 32;
constexpr size_t kChunk = 1 << 20;

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

// A cipher fetched from the default provider once for the program's run, or
// the built-in one should the fetch fail. Passing a built-in cipher to
// EVP_CipherInit_ex fetches it again on every call, under a lock of the
// provider store that all threads share; a backup opens a key and a file
// context for each of its thousands of files.
const EVP_CIPHER* fetchedCipher(const char* name, const EVP_CIPHER* builtIn)
{
    EVP_CIPHER* fetched = EVP_CIPHER_fetch(nullptr, name, nullptr);
    return fetched ? fetched : builtIn;
}

const EVP_CIPHER* cbcCipher()
{
    static const EVP_CIPHER* const cipher = fetchedCipher("AES-256-CBC", EVP_aes_256_cbc());
    return cipher;
}

const EVP_CIPHER* wrapCipher(qsizetype kekSize)
{
    static const EVP_CIPHER* const wrap128 = fetchedCipher("AES-128-WRAP", EVP_aes_128_wrap());
    static const EVP_CIPHER* const wrap192 = fetchedCipher("AES-192-WRAP", EVP_aes_192_wrap());
    static const EVP_CIPHER* const wrap256 = fetchedCipher("AES-256-WRAP", EVP_aes_256_wrap());
    switch (kekSize) {
    case 16:
        return wrap128;
    case 24:
        return wrap192;
    case 32:
        return wrap256;
    default:
        return nullptr;
    }
}

std::optional<QByteArray> runWrap(const QByteArray& kek, const QByteArray& input, bool wrap)
{
    const EVP_CIPHER* cipher = wrapCipher(kek.size());
    if (!cipher || input.size() < 16 || input.size() % 8 != 0 || input.size() > (1 << 16))
        return std::nullopt;
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return std::nullopt;
    EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    const auto* key = reinterpret_cast<const unsigned char*>(kek.constData());
    if (EVP_CipherInit_ex(context.get(), cipher, nullptr, key, nullptr, wrap ? 1 : 0) != 1)
        return std::nullopt;
    QByteArray output(input.size() + 16, Qt::Uninitialized);
    int length = 0;
    int last = 0;
    if (EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(output.data()), &length,
                         reinterpret_cast<const unsigned char*>(input.constData()),
                         static_cast<int>(input.size()))
            != 1
        || length <= 0)
        return std::nullopt;
    if (EVP_CipherFinal_ex(context.get(), reinterpret_cast<unsigned char*>(output.data()) + length,
                           &last)
        != 1)
        return std::nullopt;
    output.resize(length + last);
    return output;
}

std::optional<QByteArray> runCbc(const QByteArray& key, const QByteArray& data, bool encrypt)
{
    if (key.size() != kKeySize || data.size() % kBlock != 0)
        return std::nullopt;
    CipherContext context(EVP_CIPHER_CTX_new());
    const unsigned char iv[kBlock] = {};
    if (!context
        || EVP_CipherInit_ex(context.get(), cbcCipher(), nullptr,
                             reinterpret_cast<const unsigned char*>(key.constData()), iv,
                             encrypt ? 1 : 0)
            != 1)
        return std::nullopt;
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    QByteArray output(data.size() + kBlock, Qt::Uninitialized);
    int length = 0;
    int last = 0;
    if (EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(output.data()), &length,
                         reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<int>(data.size()))
            != 1
        || EVP_CipherFinal_ex(context.get(),
                              reinterpret_cast<unsigned char*>(output.data()) + length, &last)
            != 1)
        return std::nullopt;
    output.resize(length + last);
    return output;
}

// A file descriptor that is closed when it goes.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int value)
        : fd(value)
    {
    }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

bool writeAll(int fd, const unsigned char* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// Reads up to `count` bytes, fewer only at the end of the file; -1 on an error.
ssize_t readFully(int fd, unsigned char* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, bytes + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool isPadding(const unsigned char* bytes, int count)
{
    if (count < 1 || count > kBlock)
        return false;
    for (int i = 0; i < count; ++i) {
        if (bytes[i] != count)
            return false;
    }
    return true;
}

} // namespace

QByteArray pbkdf2(Digest digest, const QByteArray& password, const QByteArray& salt, int rounds,
                  int length)
{
    if (rounds < 1 || length < 1)
        return {};
    QByteArray key(length, Qt::Uninitialized);
    const EVP_MD* md = digest == Digest::Sha1 ? EVP_sha1() : EVP_sha256();
    if (PKCS5_PBKDF2_HMAC(password.constData(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()),
                          static_cast<int>(salt.size()), rounds, md, length,
                          reinterpret_cast<unsigned char*>(key.data()))
        != 1)
        return {};
    return key;
}

std::optional<QByteArray> unwrapKey(const QByteArray& kek, const QByteArray& wrapped)
{
    if (wrapped.size() < 24)
        return std::nullopt;
    return runWrap(kek, wrapped, false);
}

std::optional<QByteArray> wrapKey(const QByteArray& kek, const QByteArray& key)
{
    return runWrap(kek, key, true);
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        return {};
    return bytes;
}

std::optional<QByteArray> decryptBlocks(const QByteArray& key, const QByteArray& data)
{
    return runCbc(key, data, false);
}

std::optional<QByteArray> encryptBlocks(const QByteArray& key, const QByteArray& data)
{
    return runCbc(key, data, true);
}

QByteArray addPadding(const QByteArray& data)
{
    const int pad = kBlock - static_cast<int>(data.size() % kBlock);
    return data + QByteArray(pad, static_cast<char>(pad));
}

std::optional<qsizetype> unpaddedLength(const QByteArray& data)
{
    if (data.isEmpty() || data.size() % kBlock != 0)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const int pad = bytes[data.size() - 1];
    if (!isPadding(bytes + data.size() - std::min<qsizetype>(pad, data.size()), pad))
        return std::nullopt;
    return data.size() - pad;
}

FileResult decryptFile(const QByteArray& key, const QString& source, const QString& target,
                       std::optional<int64_t> size, QString* error)
{
    if (key.size() != kKeySize) {
        *error = QStringLiteral("The key of %1 is not an AES-256 key.").arg(source);
        return FileResult::Damaged;
    }
    Descriptor in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (in.fd < 0 || fstat(in.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("Cannot read %1: %2")
                     .arg(source, QString::fromLocal8Bit(strerror(errno)));
        return FileResult::Failed;
    }
    const int64_t stored = info.st_size;
    if (stored % kBlock != 0) {
        *error = QStringLiteral("%1 is damaged: its length (%2 bytes) is not a whole number of "
                                "cipher blocks.")
                     .arg(source)
                     .arg(stored);
        return FileResult::Damaged;
    }
    if (size && !(*size == 0 && stored == 0)
        && (*size < 0 || stored - *size < 1 || stored - *size > kBlock)) {
        *error = QStringLiteral("%1 is damaged: %2 bytes are stored for a file of %3 bytes.")
                     .arg(source)
                     .arg(stored)
                     .arg(*size);
        return FileResult::Damaged;
    }

    QByteArray temporary = QFile::encodeName(target) + ".part-XXXXXX";
    Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.fd < 0) {
        *error = QStringLiteral("Cannot write %1: %2")
                     .arg(target, QString::fromLocal8Bit(strerror(errno)));
        return FileResult::Failed;
    }
    fchmod(out.fd, 0600);
    auto fail = [&](FileResult result, const QString& reason) {
        ::unlink(temporary.constData());
        *error = reason;
        return result;
    };

    // One context per thread, set to each file's key in turn.
    thread_local const CipherContext fileContext(EVP_CIPHER_CTX_new());
    EVP_CIPHER_CTX* const context = fileContext.get();
    const unsigned char iv[kBlock] = {};
    if (!context
        || EVP_DecryptInit_ex(context, cbcCipher(), nullptr,
                              reinterpret_cast<const unsigned char*>(key.constData()), iv)
            != 1)
        return fail(FileResult::Failed, QStringLiteral("OpenSSL cannot decrypt %1.").arg(source));
    EVP_CIPHER_CTX_set_padding(context, 0);

    // Plain bytes are written as they come, except the ones that may be
    // padding: the last block (no size given) or everything past the size.
    // One pair of buffers per thread, not zero-filled: a backup decrypts
    // thousands of small files, and filling two fresh megabytes for each cost
    // more than decrypting it.
    thread_local const std::unique_ptr<unsigned char[]> cipherBuffer(new unsigned char[kChunk]);
    thread_local const std::unique_ptr<unsigned char[]> plainBuffer(
        new unsigned char[kChunk + kBlock]);
    unsigned char* const cipherText = cipherBuffer.get();
    unsigned char* const plain = plainBuffer.get();
    int64_t readSoFar = 0;
    unsigned char tail[kBlock];
    int tailLength = 0;
    const int64_t keep = size ? *size : std::max<int64_t>(0, stored - kBlock);
    while (readSoFar < stored) {
        const ssize_t got = readFully(in.fd, cipherText, kChunk);
        if (got < 0)
            return fail(FileResult::Failed,
                        QStringLiteral("Cannot read %1: %2")
                            .arg(source, QString::fromLocal8Bit(strerror(errno))));
        if (got == 0 || got % kBlock != 0)
            return fail(FileResult::Damaged,
                        QStringLiteral("%1 changed while it was read.").arg(source));
        readSoFar += got;
        int length = 0;
        if (EVP_DecryptUpdate(context, plain, &length, cipherText, static_cast<int>(got)) != 1)
            return fail(FileResult::Failed,
                        QStringLiteral("OpenSSL cannot decrypt %1.").arg(source));
        const int64_t chunkStart = readSoFar - got;
        const int64_t toWrite = std::clamp<int64_t>(keep - chunkStart, 0, length);
        if (toWrite > 0 && !writeAll(out.fd, plain, static_cast<size_t>(toWrite)))
            return fail(FileResult::Failed,
                        QStringLiteral("Cannot write %1: %2")
                            .arg(target, QString::fromLocal8Bit(strerror(errno))));
        // What lies past `keep` is at most one block plus (without a size)
        // nothing else, since `keep` is then the start of the last block.
        for (int64_t i = toWrite; i < length && tailLength < kBlock; ++i)
            tail[tailLength++] = plain[i];
    }
    if (readSoFar != stored)
        return fail(FileResult::Damaged,
                    QStringLiteral("%1 changed while it was read.").arg(source));
    if (size) {
        if (*size > 0 || stored > 0) {
            if (!isPadding(tail, tailLength))
                return fail(FileResult::Damaged,
                            QStringLiteral("%1 is damaged: the padding after its %2 bytes is wrong "
                                           "(a wrong key or a wrong size).")
                                .arg(source)
                                .arg(*size));
        }
    } else if (tailLength > 0
               && !isPadding(tail + tailLength - std::min<int>(tail[tailLength - 1], tailLength),
                             tail[tailLength - 1])) {
        // Not padded: the last block is content.
        if (!writeAll(out.fd, tail, static_cast<size_t>(tailLength)))
            return fail(FileResult::Failed,
                        QStringLiteral("Cannot write %1: %2")
                            .arg(target, QString::fromLocal8Bit(strerror(errno))));
    } else if (tailLength > 0) {
        const int pad = tail[tailLength - 1];
        if (!writeAll(out.fd, tail, static_cast<size_t>(tailLength - pad)))
            return fail(FileResult::Failed,
                        QStringLiteral("Cannot write %1: %2")
                            .arg(target, QString::fromLocal8Bit(strerror(errno))));
    }
    if (::close(out.fd) != 0) {
        out.fd = -1;
        return fail(FileResult::Failed,
                    QStringLiteral("Cannot write %1: %2")
                        .arg(target, QString::fromLocal8Bit(strerror(errno))));
    }
    out.fd = -1;
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(FileResult::Failed,
                    QStringLiteral("Cannot write %1: %2")
                        .arg(target, QString::fromLocal8Bit(strerror(errno))));
    return FileResult::Ok;
}

std::vector<FileOutcome> decryptEach(size_t count, int threads,
                                     const std::function<FileResult(size_t, QString*)>& decryptOne)
{
    std::vector<FileOutcome> outcomes(count);
    parallelFor(count, threads, [&](size_t i) {
        FileOutcome& outcome = outcomes[i];
        outcome.result = decryptOne(i, &outcome.error);
        if (outcome.result == FileResult::Ok)
            outcome.error.clear();
        return true; // every file is tried, whatever befell the others
    });
    return outcomes;
}

} // namespace BackupCrypto
