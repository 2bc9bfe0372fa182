// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sha1Digest.h"

#include <openssl/evp.h>

Sha1Digest::Sha1Digest()
    : m_context(EVP_MD_CTX_new())
{
    m_ok = m_context && EVP_DigestInit_ex(m_context, EVP_sha1(), nullptr) == 1;
}

Sha1Digest::~Sha1Digest() { EVP_MD_CTX_free(m_context); }

void Sha1Digest::addData(const char* data, qsizetype size)
{
    if (m_ok && size > 0)
        m_ok = EVP_DigestUpdate(m_context, data, static_cast<size_t>(size)) == 1;
}

QByteArray Sha1Digest::result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_ok || EVP_DigestFinal_ex(m_context, digest, &length) != 1 || length != 20) {
        m_ok = false;
        return {};
    }
    m_ok = false;
    return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length));
}
