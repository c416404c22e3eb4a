// QELT_WCMS_ProcessSignedContent on a SignedContent of 1 KiB signed with
// RSA-2048 against a bare OpenSSL verification (EVP_DigestVerify, SHA-1, kept
// key object) of the same content, in one run; compare the items_per_second.
// Both hash the kilobyte once and make one RSA verification; ours also reads
// the message and the certificate and rebuilds the signed attribute block.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_wcms && build-bench/bench/bench_wcms --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench_keys.h"
#include "bench_support.h"
#include "ident_fixture.h"
#include "qeltapi.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qelt_bench::apiContext;

struct Message {
    qelt_bench::BenchKey signer = qelt_bench::rsa2048();
    Bytes content = qelt_bench::patternBytes(1024), signedContent, contentSignature;
};

BINSTR view(const Bytes& b) { return BINSTR{const_cast<uint8_t*>(b.data()), static_cast<int>(b.size())}; }

const Message& message() {
    static const Message m = [] {
        Message x;
        BINSTR cert = view(x.signer.certDer), key = view(x.signer.keyDer), data = view(x.content), out{nullptr, 0};
        if (QELT_WCMS_MakeSignedContent(apiContext(), &cert, &key, &data, nullptr, &out) != 0) std::abort();
        x.signedContent.assign(out.pVal, out.pVal + out.nLen);
        QELT_BINSTR_Delete(&out);
        // The reference verifies an OpenSSL signature over the content itself.
        EVP_MD_CTX* c = EVP_MD_CTX_new();
        size_t len = 512;
        x.contentSignature.resize(len);
        if (EVP_DigestSignInit(c, nullptr, EVP_sha1(), nullptr, x.signer.key) != 1 ||
            EVP_DigestSign(c, x.contentSignature.data(), &len, x.content.data(), x.content.size()) != 1)
            std::abort();
        x.contentSignature.resize(len);
        EVP_MD_CTX_free(c);
        return x;
    }();
    return m;
}

void oursProcessSignedContent(benchmark::State& state) {
    const Message& m = message();
    BINSTR in = view(m.signedContent), data{nullptr, 0}, signer{nullptr, 0};
    char when[32];
    for (auto _ : state) {
        if (QELT_WCMS_ProcessSignedContent(apiContext(), &in, &data, &signer, when) != 0)
            state.SkipWithError("process failed");
    }
    QELT_BINSTR_Delete(&data);
    QELT_BINSTR_Delete(&signer);
    state.SetItemsProcessed(state.iterations());
}

void opensslVerifyContent(benchmark::State& state) {
    const Message& m = message();
    for (auto _ : state)
        if (!qelt_bench::opensslVerify(m.signer.key, EVP_sha1(), m.content, m.contentSignature.data(),
                                       m.contentSignature.size()))
            state.SkipWithError("EVP_DigestVerify failed");
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(oursProcessSignedContent);
BENCHMARK(opensslVerifyContent);

BENCHMARK_MAIN();
