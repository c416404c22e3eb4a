// Loading one RSA-2048 certificate with typical extensions and reading every
// field through the certificate getters, against OpenSSL reading the same
// facts: d2i_X509, the two names with X509_NAME_oneline, serial, validity,
// key and signature, and each extension with X509_get_ext_d2i. The ratio
// (OpenSSL time / our time) is printed after the run.
#include <benchmark/benchmark.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qeltapi.h"

namespace {

const std::vector<uint8_t>& certificate() {
    static const std::vector<uint8_t> der = [] {
        const std::string dir = "/tmp/qelt-bench-certinfo-" + std::to_string(::getpid());
        const std::string cmd =
            "mkdir -p " + dir + " && cd " + dir +
            " && printf '%s\\n' 'basicConstraints=CA:FALSE' 'keyUsage=critical,digitalSignature,nonRepudiation'"
            " 'extendedKeyUsage=clientAuth,emailProtection' 'subjectAltName=DNS:www.example.kr,email:a@example.kr'"
            " 'subjectKeyIdentifier=hash' 'authorityKeyIdentifier=keyid' "
            "'crlDistributionPoints=URI:http://crl.example.kr/1.crl'"
            " 'authorityInfoAccess=OCSP;URI:http://ocsp.example.kr' 'certificatePolicies=@p' '[p]'"
            " 'policyIdentifier=1.2.410.200004.5.1.1.7' 'CPS.1=http://ca.example.kr/cps' > e.ext"
            " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 365 -subj "
            "'/C=KR/O=Bench/CN=CA'"
            " >/dev/null 2>&1 && openssl req -new -newkey rsa:2048 -nodes -keyout k.pem -out r.csr"
            " -subj '/C=KR/O=Bench/OU=people/CN=Bench User' >/dev/null 2>&1"
            " && openssl x509 -req -in r.csr -CA ca.pem -CAkey ca.key -set_serial 12345 -days 365 -extfile e.ext"
            " -outform DER -out c.der >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) std::abort();
        std::ifstream in(dir + "/c.der", std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::system(("rm -rf " + dir).c_str());
        return bytes;
    }();
    return der;
}

using TextGetter = int (*)(void*, int, char*);
constexpr TextGetter kTextGetters[] = {
    QELT_CERT_GetUID,
    QELT_CERT_GetSerialNum,
    QELT_CERT_GetSignatureAlgorithm,
    QELT_CERT_GetIssuerName,
    QELT_CERT_GetSubjectName,
    QELT_CERT_GetValidity,
    QELT_CERT_GetPubKeyAlg,
    QELT_CERT_GetPubKeyLen,
    QELT_CERT_GetPubKey,
    QELT_CERT_GetSignature,
    QELT_CERT_GetKeyUsage,
    QELT_CERT_GetBasicConstraints,
    QELT_CERT_GetCertPolicy,
    QELT_CERT_GetCertPolicyID,
    QELT_CERT_GetExtKeyUsage,
    QELT_CERT_GetSubjectAltName,
    QELT_CERT_GetAuthKeyID,
    QELT_CERT_GetSubKeyID,
    QELT_CERT_GetCRLDP,
    QELT_CERT_GetAIA,
};

void BM_QeltCertInfo(benchmark::State& state) {
    const auto& der = certificate();
    void* ctx = nullptr;
    QELT_API_Init(&ctx, "/tmp");
    BINSTR in{const_cast<unsigned char*>(der.data()), static_cast<int>(der.size())};
    std::vector<char> buf(8192);
    for (auto _ : state) {
        if (QELT_CERT_Load(ctx, &in) != 0) state.SkipWithError("load failed");
        for (TextGetter fn : kTextGetters)
            if (fn(ctx, static_cast<int>(buf.size()), buf.data()) != 0) state.SkipWithError("getter failed");
        int version = 0;
        time_t t = 0;
        QELT_CERT_GetVersion(ctx, &version);
        QELT_CERT_GetNotBefore(ctx, &t);
        QELT_CERT_GetNotAfter(ctx, &t);
        benchmark::DoNotOptimize(buf.data());
    }
    QELT_CERT_Unload(ctx);
    QELT_API_Finish(&ctx);
}
BENCHMARK(BM_QeltCertInfo);

void BM_OpenSSL_CertInfo(benchmark::State& state) {
    const auto& der = certificate();
    char name[1024];
    for (auto _ : state) {
        const unsigned char* p = der.data();
        X509* x = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
        if (x == nullptr) state.SkipWithError("d2i_X509 failed");
        X509_NAME_oneline(X509_get_subject_name(x), name, sizeof name);
        X509_NAME_oneline(X509_get_issuer_name(x), name, sizeof name);
        benchmark::DoNotOptimize(X509_get_version(x));
        benchmark::DoNotOptimize(X509_get0_serialNumber(x));
        benchmark::DoNotOptimize(X509_get0_notBefore(x));
        benchmark::DoNotOptimize(X509_get0_notAfter(x));
        benchmark::DoNotOptimize(X509_get0_pubkey_bitstr(x));
        const ASN1_BIT_STRING* sig = nullptr;
        const X509_ALGOR* alg = nullptr;
        X509_get0_signature(&sig, &alg, x);
        benchmark::DoNotOptimize(sig);
        static constexpr int kNids[] = {
            NID_key_usage,        NID_basic_constraints,        NID_certificate_policies,   NID_ext_key_usage,
            NID_subject_alt_name, NID_authority_key_identifier, NID_subject_key_identifier, NID_crl_distribution_points,
            NID_info_access};
        static void (*const kFree[])(void*) = {
            [](void* v) { ASN1_BIT_STRING_free(static_cast<ASN1_BIT_STRING*>(v)); },
            [](void* v) { BASIC_CONSTRAINTS_free(static_cast<BASIC_CONSTRAINTS*>(v)); },
            [](void* v) { CERTIFICATEPOLICIES_free(static_cast<CERTIFICATEPOLICIES*>(v)); },
            [](void* v) { EXTENDED_KEY_USAGE_free(static_cast<EXTENDED_KEY_USAGE*>(v)); },
            [](void* v) { GENERAL_NAMES_free(static_cast<GENERAL_NAMES*>(v)); },
            [](void* v) { AUTHORITY_KEYID_free(static_cast<AUTHORITY_KEYID*>(v)); },
            [](void* v) { ASN1_OCTET_STRING_free(static_cast<ASN1_OCTET_STRING*>(v)); },
            [](void* v) { CRL_DIST_POINTS_free(static_cast<CRL_DIST_POINTS*>(v)); },
            [](void* v) { AUTHORITY_INFO_ACCESS_free(static_cast<AUTHORITY_INFO_ACCESS*>(v)); },
        };
        for (size_t i = 0; i < std::size(kNids); ++i) {
            void* ext = X509_get_ext_d2i(x, kNids[i], nullptr, nullptr);
            if (ext == nullptr) state.SkipWithError("extension missing");
            kFree[i](ext);
        }
        X509_free(x);
    }
}
BENCHMARK(BM_OpenSSL_CertInfo);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.benchmark_name().find("QeltCertInfo") != std::string::npos) ours = r.GetAdjustedRealTime();
            if (r.benchmark_name().find("OpenSSL_CertInfo") != std::string::npos) theirs = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (ours > 0 && theirs > 0) std::printf("ratio OpenSSL / QELT_CERT_Load+getters: %.2f\n", theirs / ours);
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
