// An RSA-2048 key and a self-signed certificate made with OpenSSL, shared by
// the challenge-response and WAP message benchmarks. The reference side keeps
// OpenSSL's key object, as a server verifying many messages would.
#pragma once

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdint>
#include <vector>

namespace qelt_bench {

struct RsaSigner {
    EVP_PKEY* key = nullptr;
    std::vector<uint8_t> pkcs8, cert;
};

inline RsaSigner makeRsaSigner() {
    RsaSigner f;
    EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    EVP_PKEY_keygen_init(kctx);
    EVP_PKEY_CTX_set_rsa_keygen_bits(kctx, 2048);
    EVP_PKEY_keygen(kctx, &f.key);
    EVP_PKEY_CTX_free(kctx);
    PKCS8_PRIV_KEY_INFO* p8 = EVP_PKEY2PKCS8(f.key);
    unsigned char* der = nullptr;
    int n = i2d_PKCS8_PRIV_KEY_INFO(p8, &der);
    f.pkcs8.assign(der, der + n);
    OPENSSL_free(der);
    PKCS8_PRIV_KEY_INFO_free(p8);
    X509* x = X509_new();
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), 1);
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("bench"), -1, -1, 0);
    X509_set_issuer_name(x, name);
    X509_gmtime_adj(X509_getm_notBefore(x), 0);
    X509_gmtime_adj(X509_getm_notAfter(x), 86400);
    X509_set_pubkey(x, f.key);
    X509_sign(x, f.key, EVP_sha256());
    der = nullptr;
    n = i2d_X509(x, &der);
    f.cert.assign(der, der + n);
    OPENSSL_free(der);
    X509_free(x);
    return f;
}

// One bare verification with a kept key object: context, init, verify.
inline bool opensslVerify(EVP_PKEY* key, const EVP_MD* md, const std::vector<uint8_t>& data, const uint8_t* sig,
                          size_t sigLen) {
    EVP_MD_CTX* c = EVP_MD_CTX_new();
    const bool ok = EVP_DigestVerifyInit(c, nullptr, md, nullptr, key) == 1 &&
                    EVP_DigestVerify(c, sig, sigLen, data.data(), data.size()) == 1;
    EVP_MD_CTX_free(c);
    return ok;
}

}  // namespace qelt_bench
