// QELT_SIGEA_VerifyResponse on an RSA-2048 response against a bare OpenSSL
// verification (EVP_DigestVerify, SHA-1, kept key object) of the same signed
// bytes, in one run; compare the items_per_second of the two.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_sigea && build-bench/bench/bench_sigea --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench_keys.h"
#include "bench_support.h"
#include "ident_fixture.h"
#include "qeltapi.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qelt_bench::apiContext;

struct Exchange {
    qelt_bench::BenchKey signer = qelt_bench::rsa2048();
    Bytes challenge, response, signedData, signature;
};

BINSTR view(const Bytes& b) { return BINSTR{const_cast<uint8_t*>(b.data()), static_cast<int>(b.size())}; }

const Exchange& exchange() {
    static const Exchange e = [] {
        Exchange x;
        BINSTR ch{nullptr, 0}, resp{nullptr, 0};
        if (QELT_SIGEA_MakeChallenge(apiContext(), &ch) != 0) std::abort();
        x.challenge.assign(ch.pVal, ch.pVal + ch.nLen);
        BINSTR cert = view(x.signer.certDer), key = view(x.signer.keyDer);
        if (QELT_SIGEA_MakeResponse(apiContext(), &ch, &cert, &key, &resp) != 0) std::abort();
        x.response.assign(resp.pVal, resp.pVal + resp.nLen);
        QELT_BINSTR_Delete(&ch);
        QELT_BINSTR_Delete(&resp);
        // The response opens with 30 82 hi lo 04 10 <clientRandom>; the
        // signature is the 256 octets before the certificate, after the BIT
        // STRING's unused-bits octet.
        const Bytes clientRandom(x.response.begin() + 6, x.response.begin() + 22);
        x.signedData = clientRandom;
        x.signedData.insert(x.signedData.end(), x.challenge.begin() + 4, x.challenge.end());
        for (char c : {'c', 'l', 'i', 'e', 'n', 't'}) x.signedData.push_back(static_cast<uint8_t>(c));
        const size_t sigEnd = x.response.size() - x.signer.certDer.size();
        x.signature.assign(x.response.begin() + static_cast<long>(sigEnd - 256),
                           x.response.begin() + static_cast<long>(sigEnd));
        if (!qelt_bench::opensslVerify(x.signer.key, EVP_sha1(), x.signedData, x.signature.data(), x.signature.size()))
            std::abort();
        return x;
    }();
    return e;
}

void oursVerifyResponse(benchmark::State& state) {
    const Exchange& x = exchange();
    BINSTR resp = view(x.response), ch = view(x.challenge), cert{nullptr, 0};
    for (auto _ : state)
        if (QELT_SIGEA_VerifyResponse(apiContext(), &resp, &ch, &cert) != 0) state.SkipWithError("verify failed");
    QELT_BINSTR_Delete(&cert);
    state.SetItemsProcessed(state.iterations());
}

void opensslVerifySameBytes(benchmark::State& state) {
    const Exchange& x = exchange();
    for (auto _ : state)
        if (!qelt_bench::opensslVerify(x.signer.key, EVP_sha1(), x.signedData, x.signature.data(), x.signature.size()))
            state.SkipWithError("EVP_DigestVerify failed");
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(oursVerifyResponse);
BENCHMARK(opensslVerifySameBytes);

BENCHMARK_MAIN();
