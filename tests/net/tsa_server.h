// The loopback time-stamp authority of the tests. It speaks the library's
// TSA transport exactly: it accepts only "POST /TSAReq HTTP/1.0" with the
// fixed header lines and a lower-case hexadecimal body, unwraps a signed
// request (a SignedData over the TimeStampReq, whose signature it verifies),
// and answers, in hexadecimal text, with a TimeStampResp made by OpenSSL's
// time-stamp responder (TS_RESP_create_response) from the test TSA:
// tsa.pem (critical extendedKeyUsage timeStamping) and tsa.key, the chain
// ca.pem and root.pem, policy 1.2.410.200004.5.99.1 (also accepted:
// ...99.2), digests SHA-1, SHA-256 and MD5.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/loopback_server.h"

namespace qelt::test {

class LoopbackTsa {
public:
    // (TimeStampReq DER, TimeStampResp DER made for it) -> the DER to send.
    using Tamper = std::function<std::string(const std::string& request, const std::string& response)>;

    LoopbackTsa();
    ~LoopbackTsa();

    int port() const { return m_server->port(); }
    std::vector<HttpRequest> requests() const { return m_server->requests(); }
    // What was asked: every TimeStampReq DER (unwrapped), in order.
    std::vector<std::string> timeStampRequests() const;
    // How many requests came signed, and how many of those signatures verified.
    int signedRequests() const;
    int verifiedSignatures() const;
    // Requests whose transport was not the expected one (answered with 400).
    int transportErrors() const;
    void setTamper(Tamper tamper);

    // A DER TimeStampResp for a DER TimeStampReq ("" when OpenSSL fails).
    static std::string respond(const std::string& requestDer);
    // The same response with its PKIStatus replaced.
    static std::string withStatus(const std::string& responseDer, long status);

private:
    Reply handle(const HttpRequest& request);

    mutable std::mutex m_mutex;
    Tamper m_tamper;
    std::vector<std::string> m_requests;
    int m_signed = 0;
    int m_verified = 0;
    int m_transportErrors = 0;
    std::unique_ptr<LoopbackServer> m_server;
};

}  // namespace qelt::test
