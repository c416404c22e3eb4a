// PFX import and export of a 2048-bit RSA pair (key bag PKCS#12 3DES,
// certificate bag RC2-40, SHA-1 MAC): QELT_PFX_Import against OpenSSL's
// d2i_PKCS12 + PKCS12_parse on the same file (made by OpenSSL, 2048
// iterations), QELT_PFX_Export (2000 encryption and 1024 MAC iterations)
// against PKCS12_create + i2d_PKCS12 with the same algorithms and counts
// (OpenSSL's legacy provider supplies RC2). Compare the two times of each pair.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_pfx && build-bench/bench/bench_pfx --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench_support.h"
#include "qeltapi.h"

namespace {

using qelt_bench::apiContext;
using Bytes = std::vector<uint8_t>;

char kPassword[] = "pfx-test-pass";
constexpr int kEncIterations = 2000;  // what QELT_PFX_Export writes
constexpr int kMacIterations = 1024;

Bytes dataFile(const char* name) {
    std::ifstream in(std::string(QELT_SOURCE_DIR) + "/tests/data/pfx/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// OpenSSL needs its legacy provider for RC2 (and the default one beside it).
void loadProviders() {
    static const bool loaded = [] {
        return OSSL_PROVIDER_load(nullptr, "legacy") != nullptr && OSSL_PROVIDER_load(nullptr, "default") != nullptr;
    }();
    if (!loaded) std::abort();
}

// The PFX both readers read: made by OpenSSL with the algorithms above.
const Bytes& pfxFile() {
    static const Bytes pfx = dataFile("legacy.p12");
    return pfx;
}

void oursImport(benchmark::State& state) {
    BINSTR in{const_cast<uint8_t*>(pfxFile().data()), static_cast<int>(pfxFile().size())};
    for (auto _ : state) {
        BINSTR sc{}, sk{}, kc{}, kk{};
        if (QELT_PFX_Import(apiContext(), kPassword, &in, &sc, &sk, &kc, &kk) != 0)
            state.SkipWithError("QELT_PFX_Import failed");
        benchmark::DoNotOptimize(sk.pVal);
        QELT_BINSTR_Delete(&sc);
        QELT_BINSTR_Delete(&sk);
        QELT_BINSTR_Delete(&kc);
        QELT_BINSTR_Delete(&kk);
    }
}

void opensslImport(benchmark::State& state) {
    loadProviders();
    for (auto _ : state) {
        const unsigned char* p = pfxFile().data();
        PKCS12* p12 = d2i_PKCS12(nullptr, &p, static_cast<long>(pfxFile().size()));
        EVP_PKEY* key = nullptr;
        X509* cert = nullptr;
        if (p12 == nullptr || PKCS12_parse(p12, kPassword, &key, &cert, nullptr) != 1)
            state.SkipWithError("PKCS12_parse failed");
        benchmark::DoNotOptimize(key);
        EVP_PKEY_free(key);
        X509_free(cert);
        PKCS12_free(p12);
    }
}

void oursExport(benchmark::State& state) {
    const Bytes cert = dataFile("sign.der"), key = dataFile("sign.key");
    BINSTR c{const_cast<uint8_t*>(cert.data()), static_cast<int>(cert.size())};
    BINSTR k{const_cast<uint8_t*>(key.data()), static_cast<int>(key.size())};
    for (auto _ : state) {
        BINSTR out{};
        if (QELT_PFX_Export(apiContext(), kPassword, &c, &k, nullptr, nullptr, &out) != 0)
            state.SkipWithError("QELT_PFX_Export failed");
        benchmark::DoNotOptimize(out.pVal);
        QELT_BINSTR_Delete(&out);
    }
}

void opensslExport(benchmark::State& state) {
    loadProviders();
    const Bytes certDer = dataFile("sign.der"), keyDer = dataFile("sign.key");
    const unsigned char* cp = certDer.data();
    X509* cert = d2i_X509(nullptr, &cp, static_cast<long>(certDer.size()));
    const unsigned char* kp = keyDer.data();
    EVP_PKEY* key = d2i_AutoPrivateKey(nullptr, &kp, static_cast<long>(keyDer.size()));
    for (auto _ : state) {
        PKCS12* p12 = PKCS12_create(kPassword, nullptr, key, cert, nullptr, NID_pbe_WithSHA1And3_Key_TripleDES_CBC,
                                    NID_pbe_WithSHA1And40BitRC2_CBC, kEncIterations, kMacIterations, 0);
        unsigned char* out = nullptr;
        const int len = p12 ? i2d_PKCS12(p12, &out) : 0;
        if (len <= 0) state.SkipWithError("PKCS12_create failed");
        benchmark::DoNotOptimize(out);
        OPENSSL_free(out);
        PKCS12_free(p12);
    }
    EVP_PKEY_free(key);
    X509_free(cert);
}

BENCHMARK(oursImport)->Unit(benchmark::kMicrosecond);
BENCHMARK(opensslImport)->Unit(benchmark::kMicrosecond);
BENCHMARK(oursExport)->Unit(benchmark::kMicrosecond);
BENCHMARK(opensslExport)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
