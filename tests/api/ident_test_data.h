// The certificates and keys of tests/data/ident (made by its
// make_ident_data.sh with the openssl command) and small OpenSSL helpers for
// checking what the identity, challenge-response and WAP functions produce.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pkey_test_keys.h"

namespace qelt::test {

inline Bytes identData(const std::string& name) {
    const Bytes b = fileBytes(std::filesystem::path(QELT_TEST_DATA_DIR) / "ident" / name);
    EXPECT_FALSE(b.empty()) << "missing test data " << name;
    return b;
}

// True when `signature` over `data` verifies with the key of the DER
// certificate under `md`, checked by OpenSSL alone.
inline bool opensslVerifies(const Bytes& certDer, const EVP_MD* md, const Bytes& data, const Bytes& signature) {
    const unsigned char* p = certDer.data();
    std::unique_ptr<X509, decltype(&X509_free)> cert(d2i_X509(nullptr, &p, static_cast<long>(certDer.size())),
                                                     X509_free);
    if (!cert) return false;
    EVP_PKEY* key = X509_get0_pubkey(cert.get());
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return key != nullptr && EVP_DigestVerifyInit(ctx.get(), nullptr, md, nullptr, key) == 1 &&
           EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), data.data(), data.size()) == 1;
}

// The signature of `data` with a DER PKCS#8 key, made by OpenSSL.
inline Bytes opensslSign(const Bytes& pkcs8, const EVP_MD* md, const Bytes& data) {
    const unsigned char* p = pkcs8.data();
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size())), EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    size_t len = 0;
    if (!key || EVP_DigestSignInit(ctx.get(), nullptr, md, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &len, data.data(), data.size()) != 1)
        return {};
    Bytes sig(len);
    if (EVP_DigestSign(ctx.get(), sig.data(), &len, data.data(), data.size()) != 1) return {};
    sig.resize(len);
    return sig;
}

// The output of an openssl command run in the directory of the test data.
inline std::string opensslOutputOf(const std::string& args) {
    const std::string cmd = "cd '" QELT_TEST_DATA_DIR "/ident' && openssl " + args + " 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts) out.insert(out.end(), b.begin(), b.end());
    return out;
}
inline Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace qelt::test
