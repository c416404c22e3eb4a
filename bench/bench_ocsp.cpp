// OCSP against OpenSSL doing the same job in the same run:
//   Process: the OCSP client's response processing and verification of a
//            response captured from the openssl responder (delegated
//            responder, RSA-2048, a nonce), ocsp::processOCSPResponse,
//            vs d2i_OCSP_RESPONSE + OCSP_basic_verify (responder chain to the
//            root) + OCSP_resp_find_status;
//            and vs the same with OCSP_NOVERIFY, which skips the responder's
//            chain as the client does (the verification service validates
//            the responder certificate separately).
//   RoundTrip: one whole query (request, HTTP exchange, response) against
//            the openssl responder behind the tests' loopback front, vs the
//            "openssl ocsp -issuer -cert -url" command doing the same query.
//            Both wait for the same responder, which runs openssl once per
//            request; this one is reported, not a ratio target.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_ocsp && build-bench/bench/bench_ocsp --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <openssl/ocsp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "net/loopback_process.h"
#include "net/ocsp_client.h"
#include "net/ocsp_responder.h"

namespace {

using namespace std::chrono_literals;
using qelt::ByteString;
using qelt::test::onlineFile;
using qelt::test::onlinePath;

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

ByteString bytes(const std::string& s) { return ByteString(s.data(), static_cast<int>(s.size())); }

X509* loadCert(const std::string& name) {
    Owned<BIO, BIO_free_all> bio(BIO_new_file(onlinePath(name).c_str(), "r"));
    return bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
}

// One response of the delegated responder about the good certificate, the
// nonce its request carried, and what OpenSSL needs to check it.
struct Captured {
    std::string response;
    ByteString nonce;
    Owned<X509, X509_free> good{loadCert("good.pem")}, ca{loadCert("ca.pem")}, root{loadCert("root.pem")};
    Owned<X509_STORE, X509_STORE_free> store{X509_STORE_new()};

    Captured() {
        qelt::test::OcspResponder responder;
        ByteString request, responderCert;
        const ByteString issuer = bytes(onlineFile("ca.der"));
        qelt::ServiceFailure failure;
        if (qelt::ocsp::makeOCSPRequest(bytes(onlineFile("good.der")), &issuer, false, ByteString(), ByteString(),
                                        nonce, request, failure) != 0)
            std::abort();
        response = responder.respond(std::string(request.view()));
        if (response.empty() || !good || !ca || !root) std::abort();
        X509_STORE_add_cert(store.get(), root.get());
        X509_STORE_add_cert(store.get(), ca.get());
    }
};

const Captured& captured() {
    static const Captured c;
    return c;
}

void Process_Qelt(benchmark::State& state) {
    const Captured& c = captured();
    const ByteString response = bytes(c.response);
    for (auto _ : state) {
        qelt::ServiceFailure failure;
        qelt::ocsp::OcspRevocation revocation;
        ByteString responderCert;
        if (qelt::ocsp::processOCSPResponse(response, c.nonce, revocation, responderCert, failure) != 0 ||
            revocation.revoked)
            state.SkipWithError("not good");
        benchmark::DoNotOptimize(responderCert.data());
    }
}

void opensslProcess(benchmark::State& state, unsigned long flags) {
    const Captured& c = captured();
    Owned<OCSP_CERTID, OCSP_CERTID_free> id(OCSP_cert_to_id(EVP_sha1(), c.good.get(), c.ca.get()));
    for (auto _ : state) {
        const auto* p = reinterpret_cast<const unsigned char*>(c.response.data());
        Owned<OCSP_RESPONSE, OCSP_RESPONSE_free> resp(
            d2i_OCSP_RESPONSE(nullptr, &p, static_cast<long>(c.response.size())));
        Owned<OCSP_BASICRESP, OCSP_BASICRESP_free> basic(resp ? OCSP_response_get1_basic(resp.get()) : nullptr);
        int status = -1, reason = -1;
        ASN1_GENERALIZEDTIME *revoked = nullptr, *thisUpdate = nullptr, *nextUpdate = nullptr;
        if (!basic || OCSP_basic_verify(basic.get(), nullptr, c.store.get(), flags) != 1 ||
            OCSP_resp_find_status(basic.get(), id.get(), &status, &reason, &revoked, &thisUpdate, &nextUpdate) != 1 ||
            status != V_OCSP_CERTSTATUS_GOOD)
            state.SkipWithError("not good");
        benchmark::DoNotOptimize(status);
    }
}
void Process_OpenSSL(benchmark::State& state) { opensslProcess(state, 0); }
void Process_OpenSSL_NoChain(benchmark::State& state) { opensslProcess(state, OCSP_NOVERIFY); }

// A responder that serves every repetition of the round trips.
qelt::test::OcspResponder& responder() {
    static qelt::test::OcspResponder r([] {
        qelt::test::OcspResponder::Options options;
        options.limits.connections = 100000;
        options.limits.lifetime = std::chrono::hours(1);
        return options;
    }());
    return r;
}

void RoundTrip_Qelt(benchmark::State& state) {
    const std::string url = responder().url();
    const ByteString target = bytes(onlineFile("good.der")), issuer = bytes(onlineFile("ca.der"));
    for (auto _ : state) {
        qelt::ServiceFailure failure;
        ByteString responderCert;
        if (qelt::ocsp::checkStatusByOCSP(url.c_str(), target, &issuer, false, ByteString(), ByteString(),
                                          responderCert, failure, 10) != 0)
            state.SkipWithError("query failed");
    }
}

void RoundTrip_OpensslCommand(benchmark::State& state) {
    const std::string url = responder().url();
    for (auto _ : state) {
        std::string out;
        if (qelt::test::runProcess(
                {"openssl", "ocsp", "-issuer", "ca.pem", "-cert", "good.pem", "-url", url, "-CAfile", "chain.pem"}, 20s,
                &out, qelt::test::onlineDataDir()) != 0 ||
            out.find(": good") == std::string::npos)
            state.SkipWithError("query failed");
    }
}

}  // namespace

BENCHMARK(Process_Qelt);
BENCHMARK(Process_OpenSSL);
BENCHMARK(Process_OpenSSL_NoChain);
BENCHMARK(RoundTrip_Qelt)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(RoundTrip_OpensslCommand)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();
