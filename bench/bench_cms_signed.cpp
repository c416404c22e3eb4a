// SignedData making and processing against OpenSSL doing the same job in the
// same run (RSA-2048, SHA-256, signed attributes, signer certificate included):
//   Make1K:    QELT_CMS_MakeSignedData      vs CMS_sign + i2d
//   Process1K: QELT_CMS_ProcessSignedData2  vs d2i + CMS_verify (CMS_NO_SIGNER_CERT_VERIFY),
//              both over the same OpenSSL-made message
//   16 MiB:    make and process throughput  vs plain SHA-256 of the content (make into the
//              same output record each time, and into a freshly emptied one)
//   RawSign1K: QELT_CRYPT_Sign              vs EVP_DigestSign with the key kept, over the
//              same 1 KiB: the signature alone, so Make1K minus RawSign1K on each side is
//              what the message around the signature costs
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_cms_signed && build-bench/bench/bench_cms_signed
#include <benchmark/benchmark.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "bench_keys.h"
#include "bench_support.h"
#include "qeltapi.h"

namespace {

using qelt_bench::apiContext;
inline std::vector<uint8_t> data(size_t n) { return qelt_bench::patternBytes(n); }

using Bytes = std::vector<uint8_t>;

// One RSA-2048 key and a self-signed sha256WithRSAEncryption certificate.
const qelt_bench::BenchKey& pki() {
    static const qelt_bench::BenchKey p = qelt_bench::rsa2048("bench", 7);
    return p;
}

BINSTR view(const Bytes& b) { return BINSTR{const_cast<uint8_t*>(b.data()), static_cast<int>(b.size())}; }

Bytes opensslSign(const Bytes& content) {
    std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_mem_buf(content.data(), static_cast<int>(content.size())),
                                                 &BIO_free);
    CMS_ContentInfo* cms = CMS_sign(pki().x509, pki().key, nullptr, in.get(), CMS_BINARY);
    unsigned char* p = nullptr;
    const int n = cms != nullptr ? i2d_CMS_ContentInfo(cms, &p) : 0;
    Bytes out(p, p + (n > 0 ? n : 0));
    OPENSSL_free(p);
    CMS_ContentInfo_free(cms);
    return out;
}

void oursMake(benchmark::State& state, size_t size) {
    const Bytes content = data(size);
    BINSTR cert = view(pki().certDer), key = view(pki().keyDer), tbs = view(content), out{nullptr, 0};
    // One untimed call first: the output record then already holds a message
    // of this size, as for a caller signing in a loop, and a short run is not
    // dominated by the first call's page faults on fresh memory.
    if (QELT_CMS_MakeSignedData(apiContext(), &cert, &key, &tbs, nullptr, &out) != 0)
        state.SkipWithError("make failed");
    for (auto _ : state) {
        if (QELT_CMS_MakeSignedData(apiContext(), &cert, &key, &tbs, nullptr, &out) != 0)
            state.SkipWithError("make failed");
        benchmark::DoNotOptimize(out.pVal);
    }
    QELT_BINSTR_Delete(&out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The same with the output record emptied before every call (its old value
// wiped and freed), as for a caller that does not reuse output records: the
// message then always goes to new memory.
void oursMakeFreshOutput(benchmark::State& state, size_t size) {
    const Bytes content = data(size);
    BINSTR cert = view(pki().certDer), key = view(pki().keyDer), tbs = view(content), out{nullptr, 0};
    for (auto _ : state) {
        QELT_BINSTR_Delete(&out);
        if (QELT_CMS_MakeSignedData(apiContext(), &cert, &key, &tbs, nullptr, &out) != 0)
            state.SkipWithError("make failed");
        benchmark::DoNotOptimize(out.pVal);
    }
    QELT_BINSTR_Delete(&out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void opensslMake(benchmark::State& state, size_t size) {
    const Bytes content = data(size);
    for (auto _ : state) {
        Bytes out = opensslSign(content);
        if (out.empty()) state.SkipWithError("CMS_sign failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void oursProcess(benchmark::State& state, size_t size) {
    const Bytes message = opensslSign(data(size));
    BINSTR in = view(message);
    for (auto _ : state) {
        BINSTR content{nullptr, 0};
        int count = 0;
        if (QELT_CMS_ProcessSignedData2(apiContext(), &in, &content, &count) != 0 || count != 1)
            state.SkipWithError("process failed");
        QELT_BINSTR_Delete(&content);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void opensslProcess(benchmark::State& state, size_t size) {
    const Bytes message = opensslSign(data(size));
    for (auto _ : state) {
        const unsigned char* p = message.data();
        CMS_ContentInfo* cms = d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(message.size()));
        std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), &BIO_free);
        if (cms == nullptr ||
            CMS_verify(cms, nullptr, nullptr, nullptr, out.get(), CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) != 1)
            state.SkipWithError("CMS_verify failed");
        CMS_ContentInfo_free(cms);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void plainSha256(benchmark::State& state, size_t size) { qelt_bench::opensslDigestLoop(state, "SHA256", data(size)); }

void oursRawSign(benchmark::State& state, size_t size) {
    const Bytes content = data(size);
    BINSTR cert = view(pki().certDer), key = view(pki().keyDer), tbs = view(content), out{nullptr, 0};
    for (auto _ : state) {
        if (QELT_CRYPT_Sign(apiContext(), &cert, &key, QELT_HASH_SHA256, &tbs, &out) != 0)
            state.SkipWithError("sign failed");
        benchmark::DoNotOptimize(out.pVal);
    }
    QELT_BINSTR_Delete(&out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void opensslRawSign(benchmark::State& state, size_t size) {
    const Bytes content = data(size);
    std::vector<uint8_t> sig(512);
    for (auto _ : state) {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        size_t len = sig.size();
        if (EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, pki().key) != 1 ||
            EVP_DigestSign(md.get(), sig.data(), &len, content.data(), content.size()) != 1)
            state.SkipWithError("EVP_DigestSign failed");
        benchmark::DoNotOptimize(sig.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

constexpr size_t k1K = 1024;
constexpr size_t k16M = 16u << 20;

BENCHMARK_CAPTURE(oursMake, 1K, k1K);
BENCHMARK_CAPTURE(opensslMake, 1K, k1K);
BENCHMARK_CAPTURE(oursRawSign, 1K, k1K);
BENCHMARK_CAPTURE(opensslRawSign, 1K, k1K);
BENCHMARK_CAPTURE(oursProcess, 1K, k1K);
BENCHMARK_CAPTURE(opensslProcess, 1K, k1K);
BENCHMARK_CAPTURE(oursMake, 16M, k16M)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(oursMakeFreshOutput, 16M, k16M)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(oursProcess, 16M, k16M)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(plainSha256, 16M, k16M)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
