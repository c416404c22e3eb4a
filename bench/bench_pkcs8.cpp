// Password decryption of one PBES2 / PBKDF2-HMAC-SHA-1 / 3DES key (2048
// iterations): QELT_PRIKEY_Decrypt against OpenSSL's d2i + PKCS8_decrypt + i2d
// on the same bytes, in one run; compare the two times per iteration.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_pkcs8 && build-bench/bench/bench_pkcs8
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "bench_support.h"
#include "qeltapi.h"

namespace {

using qelt_bench::apiContext;

constexpr const char* kPassword = "bench-password";
constexpr int kIterations = 2048;

// The encrypted key, made once by OpenSSL.
const std::vector<uint8_t>& encryptedKey() {
    static const std::vector<uint8_t> der = [] {
        std::vector<uint8_t> out;
        EVP_PKEY* key = EVP_RSA_gen(2048);
        PKCS8_PRIV_KEY_INFO* info = key ? EVP_PKEY2PKCS8(key) : nullptr;
        X509_ALGOR* alg = PKCS5_pbe2_set_iv(EVP_des_ede3_cbc(), kIterations, nullptr, 0, nullptr, NID_hmacWithSHA1);
        X509_SIG* sig =
            info && alg ? PKCS8_set0_pbe(kPassword, static_cast<int>(std::strlen(kPassword)), info, alg) : nullptr;
        if (sig == nullptr) X509_ALGOR_free(alg);
        unsigned char* p = nullptr;
        const int len = sig ? i2d_X509_SIG(sig, &p) : 0;
        if (len > 0) out.assign(p, p + len);
        OPENSSL_free(p);
        X509_SIG_free(sig);
        PKCS8_PRIV_KEY_INFO_free(info);
        EVP_PKEY_free(key);
        return out;
    }();
    return der;
}

void oursDecrypt(benchmark::State& state) {
    const auto& der = encryptedKey();
    BINSTR in{const_cast<uint8_t*>(der.data()), static_cast<int>(der.size())};
    for (auto _ : state) {
        BINSTR out{nullptr, 0};
        if (QELT_PRIKEY_Decrypt(apiContext(), const_cast<char*>(kPassword), &in, &out) != 0)
            state.SkipWithError("QELT_PRIKEY_Decrypt failed");
        benchmark::DoNotOptimize(out.pVal);
        QELT_BINSTR_Delete(&out);
    }
}

void opensslDecrypt(benchmark::State& state) {
    const auto& der = encryptedKey();
    for (auto _ : state) {
        const unsigned char* p = der.data();
        X509_SIG* sig = d2i_X509_SIG(nullptr, &p, static_cast<long>(der.size()));
        PKCS8_PRIV_KEY_INFO* info =
            sig ? PKCS8_decrypt(sig, kPassword, static_cast<int>(std::strlen(kPassword))) : nullptr;
        unsigned char* out = nullptr;
        const int len = info ? i2d_PKCS8_PRIV_KEY_INFO(info, &out) : 0;
        if (len <= 0) state.SkipWithError("PKCS8_decrypt failed");
        benchmark::DoNotOptimize(out);
        OPENSSL_clear_free(out, static_cast<size_t>(len > 0 ? len : 0));
        PKCS8_PRIV_KEY_INFO_free(info);
        X509_SIG_free(sig);
    }
}

BENCHMARK(oursDecrypt)->Unit(benchmark::kMicrosecond);
BENCHMARK(opensslDecrypt)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
