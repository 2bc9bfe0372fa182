// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

struct evp_md_ctx_st;

// The SHA-1 of a file's contents, fed block by block, through OpenSSL's
// libcrypto: it uses the processor's SHA instructions where there are any,
// more than twice as fast per byte as QCryptographicHash.
class Sha1Digest {
public:
    Sha1Digest();
    ~Sha1Digest();
    Sha1Digest(const Sha1Digest&) = delete;
    Sha1Digest& operator=(const Sha1Digest&) = delete;

    void addData(const char* data, qsizetype size);
    void addData(const QByteArray& data) { addData(data.constData(), data.size()); }
    // The 20-byte digest; empty when libcrypto failed, which callers treat as
    // a failed read.
    QByteArray result();

private:
    evp_md_ctx_st* m_context = nullptr;
    bool m_ok = false;
};
