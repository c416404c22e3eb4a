// The reference verification shared by the challenge-response and WAP message
// benchmarks: OpenSSL with a kept key object, as a server verifying many
// messages would.
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

namespace qelt_bench {

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
