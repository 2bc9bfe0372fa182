// SPDX-License-Identifier: GPL-3.0-or-later
#include "PairRecord.h"

#include <memory>

#include <openssl/bio.h>
#include <openssl/decoder.h>
#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <QUuid>

#include "Plist.h"

namespace PairRecord {

namespace {

template <auto Free> struct Deleter {
    template <class T> void operator()(T* p) const noexcept { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<&EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<&X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<&BIO_free>>;

constexpr long kTenYears = 60L * 60 * 24 * 365 * 10;

const char* const kDataKeys[] = {"DeviceCertificate", "HostCertificate", "HostPrivateKey",
                                 "RootCertificate", "RootPrivateKey"};

Key readPublicKey(const QByteArray& pem)
{
    EVP_PKEY* key = nullptr;
    // Devices give PKCS#1 ("RSA PUBLIC KEY"); a SubjectPublicKeyInfo PEM is read as well.
    OSSL_DECODER_CTX* ctx = OSSL_DECODER_CTX_new_for_pkey(
        &key, "PEM", nullptr, "RSA", OSSL_KEYMGMT_SELECT_PUBLIC_KEY, nullptr, nullptr);
    if (!ctx)
        return {};
    const auto* data = reinterpret_cast<const unsigned char*>(pem.constData());
    size_t length = static_cast<size_t>(pem.size());
    const bool ok = OSSL_DECODER_from_data(ctx, &data, &length) == 1;
    OSSL_DECODER_CTX_free(ctx);
    if (!ok) {
        EVP_PKEY_free(key);
        return {};
    }
    return Key(key);
}

QByteArray privateKeyPem(EVP_PKEY* key)
{
    // PKCS#1 "RSA PRIVATE KEY", the form every reader of the record knows.
    OSSL_ENCODER_CTX* ctx = OSSL_ENCODER_CTX_new_for_pkey(key, OSSL_KEYMGMT_SELECT_KEYPAIR, "PEM",
                                                          "type-specific", nullptr);
    QByteArray pem;
    unsigned char* data = nullptr;
    size_t length = 0;
    if (ctx && OSSL_ENCODER_to_data(ctx, &data, &length) == 1) {
        pem = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        OPENSSL_free(data);
    }
    OSSL_ENCODER_CTX_free(ctx);
    return pem;
}

QByteArray certificatePem(X509* certificate)
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? QByteArray(data, static_cast<qsizetype>(length)) : QByteArray();
}

bool addExtension(X509* certificate, X509V3_CTX* ctx, int nid, const char* value)
{
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, ctx, nid, value);
    if (!extension)
        return false;
    const bool ok = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return ok;
}

// A version 3 certificate on `subjectKey`, signed by `issuerKey` (and issued
// by `issuer`, or by itself when there is none).
Certificate makeCertificate(EVP_PKEY* subjectKey, EVP_PKEY* issuerKey, X509* issuer, bool authority)
{
    Certificate certificate(X509_new());
    if (!certificate)
        return {};
    X509* cert = certificate.get();
    if (X509_set_version(cert, 2) != 1 || ASN1_INTEGER_set(X509_get_serialNumber(cert), 0) != 1
        || !X509_gmtime_adj(X509_getm_notBefore(cert), 0)
        || !X509_gmtime_adj(X509_getm_notAfter(cert), kTenYears)
        || X509_set_pubkey(cert, subjectKey) != 1)
        return {};
    if (issuer && X509_set_issuer_name(cert, X509_get_subject_name(issuer)) != 1)
        return {};
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer ? issuer : cert, cert, nullptr, nullptr, 0);
    if (!addExtension(cert, &ctx, NID_basic_constraints,
                      authority ? "critical,CA:TRUE" : "critical,CA:FALSE")
        || !addExtension(cert, &ctx, NID_subject_key_identifier, "hash"))
        return {};
    if (!authority
        && !addExtension(cert, &ctx, NID_key_usage, "critical,digitalSignature,keyEncipherment"))
        return {};
    if (X509_sign(cert, issuerKey, EVP_sha256()) <= 0)
        return {};
    return certificate;
}

} // namespace

bool isUsable(const QVariantMap& record)
{
    const QVariant hostId = record.value(QStringLiteral("HostID"));
    if (hostId.typeId() != QMetaType::QString || hostId.toString().trimmed().isEmpty())
        return false;
    for (const char* key : kDataKeys) {
        const QVariant value = record.value(QLatin1String(key));
        if (value.typeId() != QMetaType::QByteArray || !value.toByteArray().contains("-----BEGIN"))
            return false;
    }
    return true;
}

QVariantMap parse(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const QVariant parsed = Plist::parse(bytes);
    return parsed.typeId() == QMetaType::QVariantMap ? parsed.toMap() : QVariantMap();
}

QVariantMap create(const QByteArray& devicePublicKeyPem, const QString& systemBuid, QString* error)
{
    const auto fail = [error](const char* why) {
        if (error)
            *error = QString::fromLatin1(why);
        return QVariantMap();
    };
    const Key deviceKey = readPublicKey(devicePublicKeyPem);
    if (!deviceKey)
        return fail("the device's public key cannot be read");
    const Key rootKey(EVP_RSA_gen(2048));
    const Key hostKey(EVP_RSA_gen(2048));
    if (!rootKey || !hostKey)
        return fail("no key could be made");
    const Certificate root = makeCertificate(rootKey.get(), rootKey.get(), nullptr, true);
    if (!root)
        return fail("the root certificate could not be made");
    const Certificate host = makeCertificate(hostKey.get(), rootKey.get(), root.get(), false);
    const Certificate device = makeCertificate(deviceKey.get(), rootKey.get(), root.get(), false);
    if (!host || !device)
        return fail("a certificate could not be made");
    QVariantMap record{
        {QStringLiteral("DeviceCertificate"), certificatePem(device.get())},
        {QStringLiteral("HostCertificate"), certificatePem(host.get())},
        {QStringLiteral("HostPrivateKey"), privateKeyPem(hostKey.get())},
        {QStringLiteral("RootCertificate"), certificatePem(root.get())},
        {QStringLiteral("RootPrivateKey"), privateKeyPem(rootKey.get())},
        {QStringLiteral("HostID"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
    };
    if (!systemBuid.isEmpty())
        record.insert(QStringLiteral("SystemBUID"), systemBuid);
    if (!isUsable(record))
        return fail("the record is incomplete");
    return record;
}

} // namespace PairRecord
