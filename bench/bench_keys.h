// Keys and self-signed certificates made with OpenSSL for the benchmarks that
// sign, verify, encrypt or decrypt. The reference sides use OpenSSL's key and
// certificate objects, kept as a long-running server keeps them; our side gets
// the DER certificate and the PKCS#8 key as a caller hands them over. Made
// once per process and kept to its end.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdint>
#include <vector>

namespace qelt_bench {

struct BenchKey {
    EVP_PKEY* key = nullptr;
    X509* x509 = nullptr;
    std::vector<uint8_t> certDer, keyDer;
};

// A certificate for `key` (kept from here on) signed by itself with SHA-256,
// named CN=`commonName`, valid for a year from now.
inline BenchKey selfSigned(EVP_PKEY* key, const char* commonName = "bench", long serial = 1) {
    BenchKey b;
    b.key = key;
    b.x509 = X509_new();
    X509_set_version(b.x509, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(b.x509), serial);
    X509_NAME* name = X509_get_subject_name(b.x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(b.x509, name);
    X509_gmtime_adj(X509_getm_notBefore(b.x509), 0);
    X509_gmtime_adj(X509_getm_notAfter(b.x509), 86400L * 365);
    X509_set_pubkey(b.x509, key);
    X509_sign(b.x509, key, EVP_sha256());
    unsigned char* der = nullptr;
    int n = i2d_X509(b.x509, &der);
    b.certDer.assign(der, der + n);
    OPENSSL_free(der);
    PKCS8_PRIV_KEY_INFO* p8 = EVP_PKEY2PKCS8(key);
    der = nullptr;
    n = i2d_PKCS8_PRIV_KEY_INFO(p8, &der);
    b.keyDer.assign(der, der + n);
    OPENSSL_clear_free(der, static_cast<size_t>(n));
    PKCS8_PRIV_KEY_INFO_free(p8);
    return b;
}

// An RSA-2048 key (public exponent 65537) with its self-signed certificate.
inline BenchKey rsa2048(const char* commonName = "bench", long serial = 1) {
    return selfSigned(EVP_RSA_gen(2048), commonName, serial);
}

}  // namespace qelt_bench
