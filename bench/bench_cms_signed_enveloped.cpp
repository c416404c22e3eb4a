// SignedAndEnvelopedData of 1 KiB, RSA-2048 signer and recipient, SHA-256,
// 3DES, PKCS#1 v1.5 key transport: make + process through the exported
// functions against OpenSSL's PKCS #7 code doing the same job with its keys
// kept in memory (PKCS7_dataInit/Final to make, i2d/d2i, PKCS7_dataDecode and
// PKCS7_signatureVerify to open). OpenSSL does not encrypt the signature under
// the content key, which is one symmetric operation less on its side.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_cms_signed_enveloped && build-bench/bench/bench_cms_signed_enveloped
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

#include "bench_keys.h"
#include "bench_support.h"
#include "qeltapi.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kContent = 1024;

const qelt_bench::BenchKey& signer() {
    static const qelt_bench::BenchKey p = qelt_bench::rsa2048("bench signer", 1);
    return p;
}
const qelt_bench::BenchKey& recipient() {
    static const qelt_bench::BenchKey p = qelt_bench::rsa2048("bench recipient", 2);
    return p;
}

BINSTR view(const Bytes& v) { return BINSTR{const_cast<uint8_t*>(v.data()), static_cast<int>(v.size())}; }

void Ours_MakeAndProcess(benchmark::State& state) {
    const Bytes content = qelt_bench::patternBytes(kContent);
    void* ctx = qelt_bench::apiContext();
    QELT_API_SetOption(ctx, QELT_OPT_RSA_PKCS1);
    BINSTR cert = view(signer().certDer), key = view(signer().keyDer), rec = view(recipient().certDer),
           recKey = view(recipient().keyDer), in = view(content);
    for (auto _ : state) {
        BINSTR msg{nullptr, 0}, back{nullptr, 0}, who{nullptr, 0};
        if (QELT_CMS_MakeSignedAndEnvData(ctx, &cert, &key, &rec, &in, QELT_SYM_3DES, &msg) != 0 ||
            QELT_CMS_ProcessSignedAndEnvData(ctx, &rec, &recKey, &msg, &back, &who) != 0 || back.nLen != in.nLen)
            state.SkipWithError("ours failed");
        QELT_BINSTR_Delete(&msg);
        QELT_BINSTR_Delete(&back);
        QELT_BINSTR_Delete(&who);
    }
    QELT_API_SetOption(ctx, QELT_OPT_RSA_OAEP);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void OpenSSL_MakeAndProcess(benchmark::State& state) {
    const Bytes content = qelt_bench::patternBytes(kContent);
    for (auto _ : state) {
        bool ok = false;
        std::unique_ptr<PKCS7, decltype(&PKCS7_free)> p7(PKCS7_new(), &PKCS7_free);
        if (PKCS7_set_type(p7.get(), NID_pkcs7_signedAndEnveloped) &&
            PKCS7_add_signature(p7.get(), signer().x509, signer().key, EVP_sha256()) &&
            PKCS7_add_certificate(p7.get(), signer().x509) && PKCS7_add_recipient(p7.get(), recipient().x509) &&
            PKCS7_set_cipher(p7.get(), EVP_des_ede3_cbc())) {
            BIO* data = PKCS7_dataInit(p7.get(), nullptr);
            ok = data != nullptr && BIO_write(data, content.data(), static_cast<int>(content.size())) > 0 &&
                 BIO_flush(data) == 1 && PKCS7_dataFinal(p7.get(), data) == 1;
            BIO_free_all(data);
        }
        unsigned char* der = nullptr;
        const int len = ok ? i2d_PKCS7(p7.get(), &der) : -1;
        const unsigned char* p = der;
        std::unique_ptr<PKCS7, decltype(&PKCS7_free)> parsed(len > 0 ? d2i_PKCS7(nullptr, &p, len) : nullptr,
                                                             &PKCS7_free);
        OPENSSL_free(der);
        ok = false;
        if (parsed) {
            BIO* in = PKCS7_dataDecode(parsed.get(), recipient().key, nullptr, recipient().x509);
            size_t got = 0;
            char buf[512];
            for (int n; in != nullptr && (n = BIO_read(in, buf, sizeof buf)) > 0;) got += static_cast<size_t>(n);
            STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(parsed.get());
            ok = in != nullptr && got == content.size() && sk_PKCS7_SIGNER_INFO_num(signers) == 1 &&
                 PKCS7_signatureVerify(in, parsed.get(), sk_PKCS7_SIGNER_INFO_value(signers, 0), signer().x509) == 1;
            BIO_free_all(in);
        }
        if (!ok) state.SkipWithError("openssl failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(Ours_MakeAndProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSL_MakeAndProcess)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
