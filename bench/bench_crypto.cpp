// Hashes and ciphers of the engine against OpenSSL doing the same job on the
// same data, in one run; compare the bytes_per_second of each Ours/OpenSSL pair.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_crypto && build-bench/bench/bench_crypto
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "bench_support.h"
#include "qeltapi.h"

namespace {

using qelt_bench::apiContext;
inline std::vector<uint8_t> data(size_t n) { return qelt_bench::patternBytes(n); }

constexpr size_t kHashBlock = 8192;
constexpr size_t kCipherBuffer = 64 * 1024;

void legacy() {
    static const bool loaded = [] {
        OSSL_PROVIDER_load(nullptr, "default");
        return OSSL_PROVIDER_load(nullptr, "legacy") != nullptr;
    }();
    (void)loaded;
}

// ---- hashes of 8 KiB blocks: QELT_CRYPT_Hash against EVP_Digest

void oursHash(benchmark::State& state, int apiCode) {
    const auto in = data(kHashBlock);
    BINSTR src{const_cast<uint8_t*>(in.data()), static_cast<int>(in.size())};
    BINSTR out{nullptr, 0};
    for (auto _ : state) {
        if (QELT_CRYPT_Hash(apiContext(), apiCode, &src, &out) != 0) state.SkipWithError("hash failed");
        benchmark::DoNotOptimize(out.pVal);
    }
    QELT_BINSTR_Delete(&out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kHashBlock));
}

void opensslHash(benchmark::State& state, const char* name) {
    qelt_bench::opensslDigestLoop(state, name, data(kHashBlock));
}

BENCHMARK_CAPTURE(oursHash, MD5, QELT_HASH_MD5);
BENCHMARK_CAPTURE(opensslHash, MD5, "MD5");
BENCHMARK_CAPTURE(oursHash, SHA1, QELT_HASH_SHA1);
BENCHMARK_CAPTURE(opensslHash, SHA1, "SHA1");
BENCHMARK_CAPTURE(oursHash, SHA256, QELT_HASH_SHA256);
BENCHMARK_CAPTURE(opensslHash, SHA256, "SHA256");
BENCHMARK_CAPTURE(oursHash, HAS160_vs_SHA1, QELT_HASH_HAS160);

// ---- CBC encryption of 64 KiB through the engine's staged calls against EVP

void oursCbc(benchmark::State& state, int id, size_t keyLen, bool decrypt) {
    const auto in = data(kCipherBuffer), key = data(keyLen);
    size_t bs = 0;
    qelt::zcapCipherInfo(id, &bs, nullptr, nullptr);
    const auto iv = data(bs);
    uint8_t expanded[qelt::GENKEY_MAX_LEN];
    int expandedLen = sizeof expanded;
    qelt::ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(keyLen));
    std::vector<uint8_t> out(in.size() + 64);
    for (auto _ : state) {
        qelt::ZcapContext ctx;
        int len = static_cast<int>(out.size()), fin = 0;
        int rc = decrypt ? qelt::ZCAP_DecryptInit(&ctx, expanded, expandedLen, id, qelt::ENGINE_MODE_CBC, iv.data(), static_cast<int>(bs))
                         : qelt::ZCAP_EncryptInit(&ctx, expanded, expandedLen, id, qelt::ENGINE_MODE_CBC, iv.data(), static_cast<int>(bs));
        rc |= decrypt ? qelt::ZCAP_DecryptUpdate(&ctx, out.data(), &len, in.data(), static_cast<int>(in.size()))
                      : qelt::ZCAP_EncryptUpdate(&ctx, out.data(), &len, in.data(), static_cast<int>(in.size()));
        fin = static_cast<int>(out.size()) - len;
        // Decryption of arbitrary bytes has no valid padding: finish without removal.
        rc |= decrypt ? qelt::ZCAP_DecryptFinal(&ctx, out.data() + len, &fin, qelt::ENGINE_PAD_NONE)
                      : qelt::ZCAP_EncryptFinal(&ctx, out.data() + len, &fin, qelt::ENGINE_PAD_NONE);
        if (rc != 0) state.SkipWithError("engine failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCipherBuffer));
}

void opensslCbc(benchmark::State& state, const char* name, size_t keyLen, bool decrypt) {
    legacy();
    const auto in = data(kCipherBuffer), key = data(keyLen), iv = data(16);
    std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> c(EVP_CIPHER_fetch(nullptr, name, nullptr), &EVP_CIPHER_free);
    if (!c) {
        state.SkipWithError("OpenSSL lacks the cipher");
        return;
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    std::vector<uint8_t> out(in.size() + 64);
    for (auto _ : state) {
        int len = 0, fin = 0;
        EVP_CipherInit_ex2(ctx.get(), c.get(), nullptr, nullptr, decrypt ? 0 : 1, nullptr);
        EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(keyLen));
        EVP_CipherInit_ex2(ctx.get(), nullptr, key.data(), iv.data(), decrypt ? 0 : 1, nullptr);
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
        EVP_CipherUpdate(ctx.get(), out.data(), &len, in.data(), static_cast<int>(in.size()));
        EVP_CipherFinal_ex(ctx.get(), out.data() + len, &fin);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCipherBuffer));
}

BENCHMARK_CAPTURE(oursCbc, SEED_enc, qelt::ENGINE_SEED, 16, false);
BENCHMARK_CAPTURE(opensslCbc, SEED_enc, "SEED-CBC", 16, false);
BENCHMARK_CAPTURE(oursCbc, SEED_dec, qelt::ENGINE_SEED, 16, true);
BENCHMARK_CAPTURE(opensslCbc, SEED_dec, "SEED-CBC", 16, true);
BENCHMARK_CAPTURE(oursCbc, DES_enc, qelt::ENGINE_DES, 8, false);
BENCHMARK_CAPTURE(opensslCbc, DES_enc, "DES-CBC", 8, false);
BENCHMARK_CAPTURE(oursCbc, DES_dec, qelt::ENGINE_DES, 8, true);
BENCHMARK_CAPTURE(opensslCbc, DES_dec, "DES-CBC", 8, true);
BENCHMARK_CAPTURE(oursCbc, 3DES_enc, qelt::ENGINE_3DES, 24, false);
BENCHMARK_CAPTURE(opensslCbc, 3DES_enc, "DES-EDE3-CBC", 24, false);
BENCHMARK_CAPTURE(oursCbc, 3DES_dec, qelt::ENGINE_3DES, 24, true);
BENCHMARK_CAPTURE(opensslCbc, 3DES_dec, "DES-EDE3-CBC", 24, true);
BENCHMARK_CAPTURE(oursCbc, RC2_enc, qelt::ENGINE_RC2_128, 16, false);
BENCHMARK_CAPTURE(opensslCbc, RC2_enc, "RC2-CBC", 16, false);
BENCHMARK_CAPTURE(oursCbc, ARIA128_enc, qelt::ENGINE_ARIA128, 16, false);
BENCHMARK_CAPTURE(opensslCbc, ARIA128_enc, "ARIA-128-CBC", 16, false);

// ---- 3DES key set-up: a new key each time, made ready to encrypt. Ours is the
// key expansion and the engine's init; OpenSSL's is EVP_CipherInit_ex on a kept
// context, which schedules the key inside it.

void oursKeySetup3Des(benchmark::State& state) {
    auto key = data(24);
    const auto iv = data(8);
    uint8_t expanded[qelt::GENKEY_MAX_LEN];
    size_t n = 0;
    for (auto _ : state) {
        ++key[n++ % 24];
        int expandedLen = sizeof expanded;
        qelt::ZcapContext ctx;
        int rc = qelt::ZCAP_GenerateKey(expanded, &expandedLen, qelt::ENGINE_3DES, key.data(), 24);
        rc |= qelt::ZCAP_EncryptInit(&ctx, expanded, expandedLen, qelt::ENGINE_3DES, qelt::ENGINE_MODE_CBC, iv.data(), 8);
        if (rc != 0) state.SkipWithError("engine failed");
        benchmark::DoNotOptimize(expanded);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void opensslKeySetup3Des(benchmark::State& state) {
    auto key = data(24);
    const auto iv = data(8);
    std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> c(EVP_CIPHER_fetch(nullptr, "DES-EDE3-CBC", nullptr),
                                                              &EVP_CIPHER_free);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    size_t n = 0;
    for (auto _ : state) {
        ++key[n++ % 24];
        if (EVP_CipherInit_ex(ctx.get(), c.get(), nullptr, key.data(), iv.data(), 1) != 1)
            state.SkipWithError("OpenSSL failed");
        benchmark::DoNotOptimize(ctx.get());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(oursKeySetup3Des);
BENCHMARK(opensslKeySetup3Des);

// ---- QELT_CRYPT_Encrypt_File on a 256 MiB file against QELT_CRYPT_Encrypt in
// memory (SEED session); the file run also reports the growth of peak memory.

constexpr size_t kFileSize = 256u << 20;
constexpr size_t kMemorySize = 16u << 20;

void setSeedSession() {
    const auto key = data(16);
    BINSTR k{const_cast<uint8_t*>(key.data()), 16}, v{const_cast<uint8_t*>(key.data()), 16};
    QELT_CRYPT_SetKeyAndIV(apiContext(), QELT_SYM_SEED, &k, &v);
}

void oursFile(benchmark::State& state) {
    setSeedSession();
    const auto dir = std::filesystem::temp_directory_path() / "qelt-bench";
    const auto plain = dir / "plain.bin", cipher = dir / "cipher.bin";
    {
        const auto chunk = data(1 << 20);
        std::FILE* f = std::fopen(plain.c_str(), "wb");
        for (size_t i = 0; i < kFileSize; i += chunk.size()) std::fwrite(chunk.data(), 1, chunk.size(), f);
        std::fclose(f);
    }
    const long before = qelt_bench::statusKiB("VmHWM:");
    for (auto _ : state)
        if (QELT_CRYPT_Encrypt_File(apiContext(), plain.c_str(), cipher.c_str()) != 0) state.SkipWithError("file failed");
    state.counters["peak_growth_KiB"] = static_cast<double>(qelt_bench::statusKiB("VmHWM:") - before);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
    std::filesystem::remove(plain);
    std::filesystem::remove(cipher);
}

void oursMemory(benchmark::State& state) {
    setSeedSession();
    const auto in = data(kMemorySize);
    BINSTR src{const_cast<uint8_t*>(in.data()), static_cast<int>(in.size())}, out{nullptr, 0};
    for (auto _ : state)
        if (QELT_CRYPT_Encrypt(apiContext(), &src, &out) != 0) state.SkipWithError("encrypt failed");
    QELT_BINSTR_Delete(&out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMemorySize));
}

// The file run goes first so that its peak-memory growth is not hidden by the
// in-memory run's buffers.
BENCHMARK(oursFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(oursMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
