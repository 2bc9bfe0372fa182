#include "BackupCipher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>

#include "Sha1Digest.h"

namespace {

constexpr int kIterations = 20000;
constexpr int kMinIterations = 1000;
constexpr int kMaxIterations = 5000000;
constexpr int kSaltSize = 16;
constexpr int kKeySize = 32;
constexpr int kNonceSize = 16;
constexpr int kTagSize = 32;
constexpr qint64 kChunk = 1 << 20;
const QByteArray kMagic = QByteArrayLiteral("OVBE\x01");

QByteArray hmac(const QByteArray& key, const QByteArray& message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(bytes.data()),
                                         reinterpret_cast<quint32*>(bytes.data()) + count / 4);
    return bytes;
}

bool constantTimeEquals(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

// XORs `data` with the key stream from byte `offset` on.
void applyKeyStream(const QByteArray& key, const QByteArray& nonce, quint64 offset, QByteArray* data)
{
    QCryptographicHash hash(QCryptographicHash::Sha512);
    const QByteArray prefix = key + nonce;
    char counterBytes[8];
    qsizetype position = 0;
    while (position < data->size()) {
        const quint64 absolute = offset + quint64(position);
        qToBigEndian<quint64>(absolute / 64, counterBytes);
        hash.reset();
        hash.addData(prefix);
        hash.addData(QByteArrayView(counterBytes, 8));
        const QByteArray block = hash.result();
        const qsizetype within = static_cast<qsizetype>(absolute % 64);
        const qsizetype length = std::min<qsizetype>(64 - within, data->size() - position);
        char* out = data->data() + position;
        for (qsizetype i = 0; i < length; ++i)
            out[i] = static_cast<char>(out[i] ^ block.at(within + i));
        position += length;
    }
}

} // namespace

BackupCipher::BackupCipher(const QByteArray& salt, int iterations, const QByteArray& masterKey)
    : m_salt(salt)
    , m_iterations(iterations)
    , m_verifier(hmac(masterKey, QByteArrayLiteral("orvane-backup-verifier")))
    , m_encryptionKey(hmac(masterKey, QByteArrayLiteral("orvane-backup-encryption")))
    , m_authenticationKey(hmac(masterKey, QByteArrayLiteral("orvane-backup-authentication")))
{
}

BackupCipher BackupCipher::create(const QString& password)
{
    const QByteArray salt = randomBytes(kSaltSize);
    const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, kIterations, kKeySize);
    return BackupCipher(salt, kIterations, key);
}

std::optional<BackupCipher> BackupCipher::unlock(const QVariantMap& description, const QString& password, QString* error,
                                                 bool* wrongPassword)
{
    const QByteArray salt = description.value(QStringLiteral("Salt")).toByteArray();
    const QByteArray verifier = description.value(QStringLiteral("Verifier")).toByteArray();
    const qint64 iterations = description.value(QStringLiteral("Iterations")).toLongLong();
    if (salt.size() != kSaltSize || verifier.size() != kTagSize || iterations < kMinIterations || iterations > kMaxIterations) {
        *error = QStringLiteral("The backup's encryption description in Manifest.plist is damaged.");
        return std::nullopt;
    }
    const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, static_cast<int>(iterations), kKeySize);
    BackupCipher cipher(salt, static_cast<int>(iterations), key);
    if (!constantTimeEquals(cipher.m_verifier, verifier)) {
        if (wrongPassword)
            *wrongPassword = true;
        *error = QStringLiteral("The backup password is not correct.");
        return std::nullopt;
    }
    return cipher;
}

QVariantMap BackupCipher::description() const
{
    return {
        {QStringLiteral("Scheme"), QStringLiteral("PBKDF2-SHA256/SHA512-CTR/HMAC-SHA256")},
        {QStringLiteral("Salt"), m_salt},
        {QStringLiteral("Iterations"), qint64(m_iterations)},
        {QStringLiteral("Verifier"), m_verifier},
    };
}

bool BackupCipher::encryptFile(const QString& source, const QString& target, const QString& fileID, QByteArray* plainSha1, QString* error) const
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(source, in.errorString());
        return false;
    }
    // Written unflushed into the staging folder, which is flushed once, whole.
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    const QByteArray nonce = randomBytes(kNonceSize);
    QMessageAuthenticationCode tag(QCryptographicHash::Sha256, m_authenticationKey);
    Sha1Digest sha1;
    const QByteArray header = kMagic + nonce;
    tag.addData(fileID.toLatin1());
    tag.addData(header);
    bool ok = out.write(header) == header.size();
    quint64 offset = 0;
    while (ok && !in.atEnd()) {
        QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFile::NoError)
            ok = false;
        sha1.addData(chunk);
        applyKeyStream(m_encryptionKey, nonce, offset, &chunk);
        offset += quint64(chunk.size());
        tag.addData(chunk);
        ok = ok && out.write(chunk) == chunk.size();
    }
    ok = ok && out.write(tag.result()) == kTagSize && out.flush();
    out.close();
    ok = ok && out.error() == QFileDevice::NoError;
    *plainSha1 = sha1.result();
    if (!ok || plainSha1->isEmpty()) {
        out.remove();
        *error = QStringLiteral("Cannot encrypt %1 into %2.").arg(source, target);
        return false;
    }
    return true;
}

bool BackupCipher::decryptFile(const QString& source, const QString& target, const QString& fileID, QString* error) const
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(source, in.errorString());
        return false;
    }
    const qint64 headerSize = kMagic.size() + kNonceSize;
    if (in.size() < headerSize + kTagSize) {
        *error = QStringLiteral("The backup file %1 is too short to be an encrypted file.").arg(source);
        return false;
    }
    const QByteArray header = in.read(headerSize);
    if (!header.startsWith(kMagic)) {
        *error = QStringLiteral("The backup file %1 is not an encrypted file of this backup.").arg(source);
        return false;
    }
    const QByteArray nonce = header.mid(kMagic.size());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    QMessageAuthenticationCode tag(QCryptographicHash::Sha256, m_authenticationKey);
    tag.addData(fileID.toLatin1());
    tag.addData(header);
    qint64 left = in.size() - headerSize - kTagSize;
    quint64 offset = 0;
    bool ok = true;
    while (ok && left > 0) {
        QByteArray chunk = in.read(std::min(left, kChunk));
        if (chunk.isEmpty()) {
            ok = false;
            break;
        }
        left -= chunk.size();
        tag.addData(chunk);
        applyKeyStream(m_encryptionKey, nonce, offset, &chunk);
        offset += quint64(chunk.size());
        ok = out.write(chunk) == chunk.size();
    }
    const QByteArray storedTag = in.read(kTagSize);
    if (!ok || !constantTimeEquals(tag.result(), storedTag)) {
        out.cancelWriting();
        *error = ok ? QStringLiteral("The backup file %1 is damaged or does not belong to this backup.").arg(source)
                    : QStringLiteral("Cannot decrypt %1 into %2.").arg(source, target);
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    return true;
}
