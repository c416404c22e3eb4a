// Time-stamp token verification against OpenSSL doing the same job in the
// same run, on the same token (OpenSSL's time-stamp responder, RSA-2048
// TSA, SHA-256 imprint) and the same 1 KiB document:
//   QELT_TSP_VerifyToken (signature, TSTInfo, the document's hash against the
//   imprint) vs TS_RESP_verify_token with TS_VFY_VERSION | TS_VFY_SIGNATURE |
//   TS_VFY_DATA (which also builds and verifies the TSA's chain to the root:
//   the library leaves that to QELT_CERT_Verify).
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_tsp && build-bench/bench/bench_tsp --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "net/loopback_process.h"
#include "net/tsa_server.h"
#include "qeltapi.h"

namespace {

using qelt::test::onlinePath;
using Bytes = std::vector<uint8_t>;

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

struct Token {
    Bytes doc = qelt_bench::patternBytes(1024);
    std::string token;
    Owned<X509_STORE, X509_STORE_free> store{X509_STORE_new()};

    Token() {
        void* ctx = qelt_bench::apiContext();
        BINSTR in{doc.data(), static_cast<int>(doc.size())}, request{nullptr, 0}, response{nullptr, 0},
            cert{nullptr, 0}, tok{nullptr, 0};
        if (QELT_TSP_MakeReqMsg(ctx, &in, QELT_HASH_SHA256, nullptr, 0, nullptr, nullptr, &request) != 0) std::abort();
        const std::string resp = qelt::test::LoopbackTsa::respond(
            std::string(reinterpret_cast<const char*>(request.pVal), static_cast<size_t>(request.nLen)));
        BINSTR r{reinterpret_cast<unsigned char*>(const_cast<char*>(resp.data())), static_cast<int>(resp.size())};
        if (QELT_TSP_VerifyResMsg(ctx, &r, &cert, &tok) != 0) std::abort();
        token.assign(reinterpret_cast<const char*>(tok.pVal), static_cast<size_t>(tok.nLen));
        QELT_BINSTR_Delete(&request);
        QELT_BINSTR_Delete(&cert);
        QELT_BINSTR_Delete(&tok);
        if (X509_STORE_load_file(store.get(), onlinePath("root.pem").c_str()) != 1) std::abort();
    }
};

const Token& fixture() {
    static const Token t;
    return t;
}

void VerifyToken_Qelt(benchmark::State& state) {
    const Token& t = fixture();
    void* ctx = qelt_bench::apiContext();
    BINSTR doc{const_cast<uint8_t*>(t.doc.data()), static_cast<int>(t.doc.size())};
    BINSTR token{reinterpret_cast<unsigned char*>(const_cast<char*>(t.token.data())), static_cast<int>(t.token.size())};
    for (auto _ : state)
        if (QELT_TSP_VerifyToken(ctx, &doc, &token) != 0) state.SkipWithError("token refused");
}

void VerifyToken_OpenSSL(benchmark::State& state) {
    const Token& t = fixture();
    for (auto _ : state) {
        const auto* p = reinterpret_cast<const unsigned char*>(t.token.data());
        Owned<PKCS7, PKCS7_free> token(d2i_PKCS7(nullptr, &p, static_cast<long>(t.token.size())));
        Owned<TS_VERIFY_CTX, TS_VERIFY_CTX_free> vctx(TS_VERIFY_CTX_new());
        TS_VERIFY_CTX_set_flags(vctx.get(), TS_VFY_VERSION | TS_VFY_SIGNATURE | TS_VFY_DATA);
        TS_VERIFY_CTX_set_data(vctx.get(), BIO_new_mem_buf(t.doc.data(), static_cast<int>(t.doc.size())));
        X509_STORE_up_ref(t.store.get());
        TS_VERIFY_CTX_set_store(vctx.get(), t.store.get());
        if (!token || TS_RESP_verify_token(vctx.get(), token.get()) != 1) state.SkipWithError("token refused");
    }
}

}  // namespace

BENCHMARK(VerifyToken_Qelt);
BENCHMARK(VerifyToken_OpenSSL);
BENCHMARK_MAIN();
