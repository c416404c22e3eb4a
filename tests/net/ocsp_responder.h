// The OCSP responder of the tests: the "openssl ocsp" responder answering
// from the test CA's index.txt, behind a loopback HTTP front that records
// every request on its way in and can replace the answer on its way out.
//
// The openssl responder runs once per request on the request file
// ("-reqin"/"-respout"), so that it never listens on a network address
// itself; the front listens on 127.0.0.1 only.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/loopback_server.h"

namespace qelt::test {

class OcspResponder {
public:
    // Which key signs the responses.
    enum class Signer {
        Delegated,  // responder.pem: issued by the CA with id-kp-OCSPSigning
        Ca,         // the CA signs its own responses
        Rogue,      // rogue.pem: a self-signed responder nobody trusts
    };
    struct Options {
        Signer signer = Signer::Delegated;
        bool noCerts = false;  // "-resp_no_certs": the response carries no certificate
        LoopbackServer::Limits limits{};
    };
    // (request DER, response DER from openssl) -> the reply the client gets.
    using Tamper = std::function<Reply(const std::string& request, const std::string& response)>;

    OcspResponder();
    explicit OcspResponder(Options options);
    ~OcspResponder();

    std::string url(const std::string& path = "/ocsp") const { return m_server->url(path); }
    int port() const { return m_server->port(); }
    // Every HTTP request the front received, in order.
    std::vector<HttpRequest> requests() const { return m_server->requests(); }
    // The DER OCSPRequests received, in order.
    std::vector<std::string> ocspRequests() const;
    // Replaces the answers from now on; null restores them.
    void setTamper(Tamper tamper);
    // The DER response openssl makes for a DER request (no HTTP).
    std::string respond(const std::string& requestDer) const;

private:
    Reply handle(const HttpRequest& request);

    Options m_options;
    std::string m_dir;
    mutable std::mutex m_mutex;
    Tamper m_tamper;
    mutable int m_sequence = 0;
    std::unique_ptr<LoopbackServer> m_server;
};

// The text of "openssl ocsp -reqin <request> -req_text".
std::string ocspRequestText(const std::string& requestDer);
// The text of "openssl ocsp -respin <response> -resp_text -noverify".
std::string ocspResponseText(const std::string& responseDer);

}  // namespace qelt::test
