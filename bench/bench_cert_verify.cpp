// QELT_CERT_Verify of a three-certificate RSA-2048 chain (root, CA, end
// entity of tests/data/verify; bundle set, no revocation check), against
// OpenSSL's X509_verify_cert on the same chain: once with the certificates
// already parsed into an X509_STORE, once starting from the same DER bytes
// each time (d2i of the three certificates, a store, the verification). The
// ratios (OpenSSL time / our time, best of the repetitions on each side) are
// printed after the run; they compare processor time, which other programs
// running on the machine disturb less than elapsed time.
#include <benchmark/benchmark.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

std::vector<uint8_t> fixture(const char* name) {
    const auto path = std::filesystem::path(QELT_SOURCE_DIR) / "tests/data/verify/certs" / name;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.empty()) std::abort();
    return bytes;
}

struct Chain {
    std::vector<uint8_t> root = fixture("root.der"), ca = fixture("ca1.der"), ee = fixture("ee_good.der");
};
const Chain& chain() {
    static const Chain c;
    return c;
}

BINSTR view(const std::vector<uint8_t>& v) {
    return BINSTR{const_cast<uint8_t*>(v.data()), static_cast<int>(v.size())};
}

void BM_QeltCertVerify(benchmark::State& state) {
    const Chain& c = chain();
    void* ctx = nullptr;
    const auto dir = std::filesystem::temp_directory_path() / "qelt-bench-verify";
    std::filesystem::create_directories(dir);
    if (QELT_API_Init(&ctx, dir.c_str()) != QELT_OK) std::abort();
    BINSTR root = view(c.root), ca = view(c.ca), ee = view(c.ee);
    BINSTR bundle{nullptr, 0};
    if (QELT_CERT_AddTrustedCert(ctx, &root) != 0 || QELT_CERT_AddCert(ctx, &ca, &bundle) != 0 ||
        QELT_CERT_AddCert(ctx, &root, &bundle) != 0 || QELT_API_SetCaPubs(ctx, &bundle) != 0 ||
        QELT_CERT_SetVerifyEnv(ctx, 0, 16, 0, "", "") != 0)
        std::abort();
    for (auto _ : state) {
        if (QELT_CERT_Verify(ctx, &ee, 1, "", "/dev/null", 0, nullptr, nullptr) != 0)
            state.SkipWithError("QELT_CERT_Verify failed");
    }
    QELT_BINSTR_Delete(&bundle);
    QELT_API_Finish(&ctx);
}
BENCHMARK(BM_QeltCertVerify);

using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
X509Ptr parse(const std::vector<uint8_t>& der) {
    const unsigned char* p = der.data();
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())), &X509_free);
}

// One X509_verify_cert of `ee` over `store` with `ca` as untrusted intermediate.
bool opensslVerify(X509_STORE* store, X509* ee, X509* ca) {
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    sk_X509_push(untrusted, ca);
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    const bool ok = X509_STORE_CTX_init(ctx, store, ee, untrusted) == 1 && X509_verify_cert(ctx) == 1;
    X509_STORE_CTX_free(ctx);
    sk_X509_free(untrusted);
    return ok;
}

void BM_OpenSSL_VerifyParsedStore(benchmark::State& state) {
    const Chain& c = chain();
    X509Ptr root = parse(c.root), ca = parse(c.ca), ee = parse(c.ee);
    X509_STORE* store = X509_STORE_new();
    X509_STORE_add_cert(store, root.get());
    for (auto _ : state)
        if (!opensslVerify(store, ee.get(), ca.get())) state.SkipWithError("X509_verify_cert failed");
    X509_STORE_free(store);
}
BENCHMARK(BM_OpenSSL_VerifyParsedStore);

void BM_OpenSSL_VerifyFromDer(benchmark::State& state) {
    const Chain& c = chain();
    for (auto _ : state) {
        X509Ptr root = parse(c.root), ca = parse(c.ca), ee = parse(c.ee);
        X509_STORE* store = X509_STORE_new();
        X509_STORE_add_cert(store, root.get());
        if (!opensslVerify(store, ee.get(), ca.get())) state.SkipWithError("X509_verify_cert failed");
        X509_STORE_free(store);
    }
}
BENCHMARK(BM_OpenSSL_VerifyFromDer);

// Keeps the best time of each benchmark over the repetitions and prints the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration) continue;
            const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find('/'));
            auto& best = m_best.try_emplace(name, std::numeric_limits<double>::max()).first->second;
            best = std::min(best, r.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double ours = m_best["BM_QeltCertVerify"];
        if (ours <= 0) return;
        std::printf("ratio X509_verify_cert (parsed store) / QELT_CERT_Verify: %.2f\n",
                    m_best["BM_OpenSSL_VerifyParsedStore"] / ours);
        std::printf("ratio X509_verify_cert (from DER) / QELT_CERT_Verify: %.2f\n",
                    m_best["BM_OpenSSL_VerifyFromDer"] / ours);
    }

private:
    std::map<std::string, double> m_best;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
