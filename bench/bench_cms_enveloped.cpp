// EnvelopedData of 1 KiB to one RSA-2048 recipient with 3DES and PKCS#1 v1.5
// key transport: make + process through the exported functions against
// OpenSSL's CMS_encrypt + CMS_decrypt (each side encodes and decodes DER), in
// one run; compare the items_per_second of the Ours/OpenSSL pair.
// The RsaDecrypt pair is the key transport's private-key operation alone
// (QELT_CRYPT_AsymDecrypt with PKCS#1 v1.5 vs EVP_PKEY_decrypt with the key
// kept), so the rest of each side's cost can be read off; the Make and Process
// pairs split the round trip into its two halves.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_cms_enveloped && build-bench/bench/bench_cms_enveloped
#include <benchmark/benchmark.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "bench_keys.h"
#include "qeltapi.h"

namespace {

constexpr size_t kContent = 1024;

// One RSA-2048 key and a self-signed certificate for it, made once.
const qelt_bench::BenchKey& recipient() {
    static const qelt_bench::BenchKey r = qelt_bench::rsa2048("bench", 4242);
    return r;
}

std::vector<uint8_t> content() {
    std::vector<uint8_t> d(kContent);
    for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(i * 31 + 5);
    return d;
}

BINSTR view(const std::vector<uint8_t>& v) {
    return BINSTR{const_cast<uint8_t*>(v.data()), static_cast<int>(v.size())};
}

// A library context with PKCS#1 v1.5 key transport, its working directory
// under the temporary directory.
void* qeltEnvContext() {
    void* ctx = nullptr;
    const auto dir = std::filesystem::temp_directory_path() / "qelt-bench";
    std::filesystem::create_directories(dir);
    QELT_API_Init(&ctx, dir.c_str());
    QELT_API_SetOption(ctx, QELT_OPT_RSA_PKCS1);
    return ctx;
}

void Ours_MakeAndProcess(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    void* ctx = qeltEnvContext();
    BINSTR cert = view(r.certDer), key = view(r.keyDer), in = view(data);
    for (auto _ : state) {
        BINSTR msg{nullptr, 0}, back{nullptr, 0};
        if (QELT_CMS_MakeEnvelopedData(ctx, &cert, &in, QELT_SYM_3DES, &msg) != 0 ||
            QELT_CMS_ProcessEnvelopedData(ctx, &cert, &key, &msg, &back) != 0 || back.nLen != in.nLen)
            state.SkipWithError("ours failed");
        QELT_BINSTR_Delete(&msg);
        QELT_BINSTR_Delete(&back);
    }
    QELT_API_Finish(&ctx);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// fromDer: OpenSSL reads the certificate and the PKCS#8 key from DER in every
// iteration, as our functions do with the BINSTRs they are given; otherwise it
// keeps the parsed objects (and their cached RSA precomputation) across iterations.
void openssl(benchmark::State& state, bool fromDer) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    for (auto _ : state) {
        std::unique_ptr<X509, decltype(&X509_free)> certCopy(nullptr, &X509_free);
        std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> keyCopy(nullptr, &EVP_PKEY_free);
        X509* cert = r.x509;
        EVP_PKEY* pkey = r.key;
        if (fromDer) {
            const unsigned char* c = r.certDer.data();
            certCopy.reset(d2i_X509(nullptr, &c, static_cast<long>(r.certDer.size())));
            const unsigned char* k = r.keyDer.data();
            keyCopy.reset(d2i_AutoPrivateKey(nullptr, &k, static_cast<long>(r.keyDer.size())));
            cert = certCopy.get();
            pkey = keyCopy.get();
        }
        std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> certs(sk_X509_new_null(),
                                                                         [](STACK_OF(X509) * s) { sk_X509_free(s); });
        sk_X509_push(certs.get(), cert);
        std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())),
                                                     &BIO_free);
        std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)> cms(
            CMS_encrypt(certs.get(), in.get(), EVP_des_ede3_cbc(), CMS_BINARY), &CMS_ContentInfo_free);
        unsigned char* der = nullptr;
        const int len = cms ? i2d_CMS_ContentInfo(cms.get(), &der) : -1;
        const unsigned char* p = der;
        std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)> parsed(
            len > 0 ? d2i_CMS_ContentInfo(nullptr, &p, len) : nullptr, &CMS_ContentInfo_free);
        std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), &BIO_free);
        if (!parsed || CMS_decrypt(parsed.get(), pkey, cert, nullptr, out.get(), CMS_BINARY) != 1 ||
            BIO_ctrl_pending(out.get()) != data.size())
            state.SkipWithError("openssl failed");
        OPENSSL_free(der);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void Ours_Make(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    void* ctx = qeltEnvContext();
    BINSTR cert = view(r.certDer), in = view(data);
    for (auto _ : state) {
        BINSTR msg{nullptr, 0};
        if (QELT_CMS_MakeEnvelopedData(ctx, &cert, &in, QELT_SYM_3DES, &msg) != 0) state.SkipWithError("ours failed");
        QELT_BINSTR_Delete(&msg);
    }
    QELT_API_Finish(&ctx);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void Ours_Process(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    void* ctx = qeltEnvContext();
    BINSTR cert = view(r.certDer), key = view(r.keyDer), in = view(data), msg{nullptr, 0};
    if (QELT_CMS_MakeEnvelopedData(ctx, &cert, &in, QELT_SYM_3DES, &msg) != 0) state.SkipWithError("make failed");
    for (auto _ : state) {
        BINSTR back{nullptr, 0};
        if (QELT_CMS_ProcessEnvelopedData(ctx, &cert, &key, &msg, &back) != 0 || back.nLen != in.nLen)
            state.SkipWithError("ours failed");
        QELT_BINSTR_Delete(&back);
    }
    QELT_BINSTR_Delete(&msg);
    QELT_API_Finish(&ctx);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

using CmsPtr = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

// OpenSSL's half of the Make pair: CMS_encrypt to the kept certificate, then DER.
std::vector<uint8_t> opensslMake(const qelt_bench::BenchKey& r, const std::vector<uint8_t>& data) {
    std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> certs(sk_X509_new_null(),
                                                                     [](STACK_OF(X509) * s) { sk_X509_free(s); });
    sk_X509_push(certs.get(), r.x509);
    std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())),
                                                 &BIO_free);
    CmsPtr cms(CMS_encrypt(certs.get(), in.get(), EVP_des_ede3_cbc(), CMS_BINARY), &CMS_ContentInfo_free);
    unsigned char* der = nullptr;
    const int len = cms ? i2d_CMS_ContentInfo(cms.get(), &der) : -1;
    std::vector<uint8_t> out;
    if (len > 0) out.assign(der, der + len);
    OPENSSL_free(der);
    return out;
}

void OpenSSL_Make(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    for (auto _ : state)
        if (opensslMake(r, data).empty()) state.SkipWithError("openssl failed");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// OpenSSL's half of the Process pair: DER in, CMS_decrypt with the kept key.
void OpenSSL_Process(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    const auto data = content();
    const std::vector<uint8_t> der = opensslMake(r, data);
    for (auto _ : state) {
        const unsigned char* p = der.data();
        CmsPtr parsed(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())), &CMS_ContentInfo_free);
        std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), &BIO_free);
        if (!parsed || CMS_decrypt(parsed.get(), r.key, r.x509, nullptr, out.get(), CMS_BINARY) != 1 ||
            BIO_ctrl_pending(out.get()) != data.size())
            state.SkipWithError("openssl failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void Ours_RsaDecrypt(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    void* ctx = qeltEnvContext();
    std::vector<uint8_t> cek(24, 0x5A);
    BINSTR cert = view(r.certDer), key = view(r.keyDer), in = view(cek), enc{nullptr, 0};
    if (QELT_CRYPT_AsymEncrypt(ctx, QELT_KEYTYPE_PUBLIC, &cert, &in, &enc) != 0) state.SkipWithError("encrypt failed");
    for (auto _ : state) {
        BINSTR out{nullptr, 0};
        if (QELT_CRYPT_AsymDecrypt(ctx, QELT_KEYTYPE_PRIVATE, &key, &enc, &out) != 0 || out.nLen != 24)
            state.SkipWithError("decrypt failed");
        QELT_BINSTR_Delete(&out);
    }
    QELT_BINSTR_Delete(&enc);
    QELT_API_Finish(&ctx);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void OpenSSL_RsaDecrypt(benchmark::State& state) {
    const qelt_bench::BenchKey& r = recipient();
    std::vector<uint8_t> cek(24, 0x5A), enc(256), out(256);
    size_t encLen = enc.size();
    {
        std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> pc(EVP_PKEY_CTX_new(r.key, nullptr),
                                                                       &EVP_PKEY_CTX_free);
        if (EVP_PKEY_encrypt_init(pc.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(pc.get(), RSA_PKCS1_PADDING) != 1 ||
            EVP_PKEY_encrypt(pc.get(), enc.data(), &encLen, cek.data(), cek.size()) != 1)
            state.SkipWithError("encrypt failed");
    }
    for (auto _ : state) {
        std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> pc(EVP_PKEY_CTX_new(r.key, nullptr),
                                                                       &EVP_PKEY_CTX_free);
        size_t outLen = out.size();
        if (EVP_PKEY_decrypt_init(pc.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(pc.get(), RSA_PKCS1_PADDING) != 1 ||
            EVP_PKEY_decrypt(pc.get(), out.data(), &outLen, enc.data(), encLen) != 1 || outLen != 24)
            state.SkipWithError("decrypt failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(Ours_MakeAndProcess)->Unit(benchmark::kMicrosecond);
void OpenSSL_MakeAndProcess(benchmark::State& state) { openssl(state, false); }
void OpenSSL_MakeAndProcessFromDer(benchmark::State& state) { openssl(state, true); }

BENCHMARK(OpenSSL_MakeAndProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSL_MakeAndProcessFromDer)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_Make)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSL_Make)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_Process)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSL_Process)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_RsaDecrypt)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSL_RsaDecrypt)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
