// Signing and verification through QELT_CRYPT_Sign / QELT_CRYPT_Verify against
// OpenSSL's EVP_DigestSign / EVP_DigestVerify on the same key and data, in
// one run; compare the items_per_second of each Ours/OpenSSL pair.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_sign && build-bench/bench/bench_sign
#include <benchmark/benchmark.h>
#include <openssl/ec.h>
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

using Bytes = std::vector<uint8_t>;

struct Fixture : qelt_bench::BenchKey {
    Bytes data = Bytes(1024, 0x61);
    const EVP_MD* md = nullptr;
};

// RSA-2048 with SHA-256, or an EC key on secp160r1 with SHA-1.
Fixture makeFixture(bool rsa) {
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, rsa ? "RSA" : "EC", nullptr);
    EVP_PKEY_keygen_init(kctx);
    if (rsa) {
        EVP_PKEY_CTX_set_rsa_keygen_bits(kctx, 2048);
    } else {
        EVP_PKEY_CTX_set_ec_paramgen_curve_nid(kctx, NID_secp160r1);
        EVP_PKEY_CTX_set_ec_param_enc(kctx, OPENSSL_EC_NAMED_CURVE);
    }
    EVP_PKEY_keygen(kctx, &key);
    EVP_PKEY_CTX_free(kctx);
    Fixture f;
    static_cast<qelt_bench::BenchKey&>(f) = qelt_bench::selfSigned(key);
    f.md = rsa ? EVP_sha256() : EVP_sha1();
    return f;
}

const Fixture& fixture(bool rsa) {
    static const Fixture r = makeFixture(true), e = makeFixture(false);
    return rsa ? r : e;
}

BINSTR view(const Bytes& b) { return BINSTR{const_cast<uint8_t*>(b.data()), static_cast<int>(b.size())}; }

Bytes oursSignature(const Fixture& f, int hash) {
    BINSTR cert = view(f.certDer), key = view(f.keyDer), data = view(f.data), sig{nullptr, 0};
    QELT_CRYPT_Sign(apiContext(), &cert, &key, hash, &data, &sig);
    Bytes out(sig.pVal, sig.pVal + sig.nLen);
    QELT_BINSTR_Delete(&sig);
    return out;
}

void oursSign(benchmark::State& state, bool rsa) {
    const Fixture& f = fixture(rsa);
    const int hash = rsa ? QELT_HASH_SHA256 : QELT_HASH_SHA1;
    BINSTR cert = view(f.certDer), key = view(f.keyDer), data = view(f.data), sig{nullptr, 0};
    for (auto _ : state) {
        if (QELT_CRYPT_Sign(apiContext(), &cert, &key, hash, &data, &sig) != 0) state.SkipWithError("sign failed");
        QELT_BINSTR_Delete(&sig);
    }
    state.SetItemsProcessed(state.iterations());
}

void oursVerify(benchmark::State& state, bool rsa) {
    const Fixture& f = fixture(rsa);
    const int hash = rsa ? QELT_HASH_SHA256 : QELT_HASH_SHA1;
    const Bytes signature = oursSignature(f, hash);
    BINSTR cert = view(f.certDer), data = view(f.data), sig = view(signature);
    for (auto _ : state)
        if (QELT_CRYPT_Verify(apiContext(), &cert, hash, &data, &sig) != 0) state.SkipWithError("verify failed");
    state.SetItemsProcessed(state.iterations());
}

void opensslSign(benchmark::State& state, bool rsa) {
    const Fixture& f = fixture(rsa);
    std::vector<uint8_t> sig(512);
    for (auto _ : state) {
        EVP_MD_CTX* c = EVP_MD_CTX_new();
        size_t len = sig.size();
        if (EVP_DigestSignInit(c, nullptr, f.md, nullptr, f.key) != 1 ||
            EVP_DigestSign(c, sig.data(), &len, f.data.data(), f.data.size()) != 1)
            state.SkipWithError("EVP_DigestSign failed");
        EVP_MD_CTX_free(c);
    }
    state.SetItemsProcessed(state.iterations());
}

void opensslVerify(benchmark::State& state, bool rsa) {
    const Fixture& f = fixture(rsa);
    const Bytes signature = oursSignature(f, rsa ? QELT_HASH_SHA256 : QELT_HASH_SHA1);
    for (auto _ : state) {
        EVP_MD_CTX* c = EVP_MD_CTX_new();
        if (EVP_DigestVerifyInit(c, nullptr, f.md, nullptr, f.key) != 1 ||
            EVP_DigestVerify(c, signature.data(), signature.size(), f.data.data(), f.data.size()) != 1)
            state.SkipWithError("EVP_DigestVerify failed");
        EVP_MD_CTX_free(c);
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(oursSign, rsa2048_sha256, true);
BENCHMARK_CAPTURE(opensslSign, rsa2048_sha256, true);
BENCHMARK_CAPTURE(oursVerify, rsa2048_sha256, true);
BENCHMARK_CAPTURE(opensslVerify, rsa2048_sha256, true);
BENCHMARK_CAPTURE(oursSign, secp160r1_sha1, false);
BENCHMARK_CAPTURE(opensslSign, secp160r1_sha1, false);
BENCHMARK_CAPTURE(oursVerify, secp160r1_sha1, false);
BENCHMARK_CAPTURE(opensslVerify, secp160r1_sha1, false);

BENCHMARK_MAIN();
