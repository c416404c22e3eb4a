// Decoding one RSA-2048 certificate into RCertificate and reading its
// tbsCertificate fields, against OpenSSL's d2i_X509 + X509_free on the same
// bytes. The ratio (OpenSSL time / our time) is printed after the run.
#include <benchmark/benchmark.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ASN1Pkix/x509_certificate.h"

namespace {

// An RSA-2048 certificate made once by the openssl command.
const std::vector<uint8_t>& certificate() {
    static const std::vector<uint8_t> der = [] {
        const std::string dir = "/tmp/qelt-bench-cert-" + std::to_string(::getpid());
        const std::string cmd = "mkdir -p " + dir + " && cd " + dir +
                                " && openssl req -x509 -newkey rsa:2048 -nodes -keyout k.pem -out c.pem -days 365"
                                " -subj '/C=KR/O=Qelt Bench/CN=Bench' -addext 'subjectAltName=DNS:bench.example'"
                                " >/dev/null 2>&1 && openssl x509 -in c.pem -outform DER -out c.der";
        if (std::system(cmd.c_str()) != 0) std::abort();
        std::ifstream in(dir + "/c.der", std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::system(("rm -rf " + dir).c_str());
        return bytes;
    }();
    return der;
}

void BM_RCertificate(benchmark::State& state) {
    const auto& der = certificate();
    for (auto _ : state) {
        qelt::RCertificate cert;
        if (cert.fromASN1Object(der) != 0) state.SkipWithError("decode failed");
        const qelt::RTBSCertificate& tbs = cert.getTbsCertificate();
        benchmark::DoNotOptimize(tbs.getVersion());
        benchmark::DoNotOptimize(tbs.getSerialNumber().getValue().data());
        benchmark::DoNotOptimize(tbs.getIssuer().getElementCount());
        benchmark::DoNotOptimize(tbs.getSubject().getElementCount());
        benchmark::DoNotOptimize(tbs.getValidity().getNotAfter().getGMTTime());
        benchmark::DoNotOptimize(tbs.getSubjectPublicKeyInfo().getSubjectPublicKey().getValue().data());
        benchmark::DoNotOptimize(tbs.getExtensions().getElementCount());
    }
}
BENCHMARK(BM_RCertificate);

void BM_OpenSSL_d2i_X509(benchmark::State& state) {
    const auto& der = certificate();
    for (auto _ : state) {
        const unsigned char* p = der.data();
        X509* x = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
        if (x == nullptr) state.SkipWithError("d2i_X509 failed");
        X509_free(x);
    }
}
BENCHMARK(BM_OpenSSL_d2i_X509);

// Reports the ratio of the two mean times after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const double t = r.GetAdjustedRealTime();
            if (r.benchmark_name().find("RCertificate") != std::string::npos) ours = t;
            if (r.benchmark_name().find("d2i_X509") != std::string::npos) theirs = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (ours > 0 && theirs > 0) std::printf("ratio d2i_X509 / RCertificate: %.1f\n", theirs / ours);
    }

private:
    double ours = 0, theirs = 0;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
