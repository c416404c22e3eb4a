// The OCSP client against the openssl responder over the test CA: what it
// asks (read back by openssl), what it concludes, and what it refuses.
#include "net/ocsp_client.h"

#include <gtest/gtest.h>
#include <openssl/ocsp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <chrono>
#include <memory>
#include <string>

#include "net/loopback_process.h"
#include "net/ocsp_responder.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt::test {
namespace {

using namespace std::chrono_literals;

ByteString bytes(const std::string& s) { return ByteString(s.data(), static_cast<int>(s.size())); }
std::string str(const ByteString& b) { return std::string(b.view()); }
ByteString der(const std::string& name) { return bytes(onlineFile(name + ".der")); }
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Query {
    int rc = 0;
    ServiceFailure failure;
    ByteString responderCert;
};

Query check(const std::string& url, const std::string& target, bool withIssuer = true, int timeout = 10) {
    Query q;
    const ByteString issuer = der("ca");
    q.rc = ocsp::checkStatusByOCSP(url.c_str(), der(target), withIssuer ? &issuer : nullptr, false, ByteString(),
                                   ByteString(), q.responderCert, q.failure, timeout);
    return q;
}

// The same OCSPResponse with one bit of the BasicOCSPResponse's signature
// flipped (through libcrypto, which re-encodes the rest unchanged).
std::string flipSignatureBit(const std::string& response) {
    const auto* p = reinterpret_cast<const unsigned char*>(response.data());
    std::unique_ptr<OCSP_RESPONSE, decltype(&OCSP_RESPONSE_free)> resp(
        d2i_OCSP_RESPONSE(nullptr, &p, static_cast<long>(response.size())), OCSP_RESPONSE_free);
    if (!resp) return "";
    std::unique_ptr<OCSP_BASICRESP, decltype(&OCSP_BASICRESP_free)> basic(OCSP_response_get1_basic(resp.get()),
                                                                          OCSP_BASICRESP_free);
    if (!basic) return "";
    auto* sig = const_cast<ASN1_OCTET_STRING*>(OCSP_resp_get0_signature(basic.get()));
    sig->data[sig->length / 2] ^= 0x01;
    std::unique_ptr<OCSP_RESPONSE, decltype(&OCSP_RESPONSE_free)> out(
        OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, basic.get()), OCSP_RESPONSE_free);
    unsigned char* der = nullptr;
    const int len = i2d_OCSP_RESPONSE(out.get(), &der);
    std::string result(reinterpret_cast<const char*>(der), static_cast<size_t>(len > 0 ? len : 0));
    OPENSSL_free(der);
    return result;
}

// The line of a text that starts (after blanks) with `label`.
std::string lineWith(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) return "";
    return text.substr(at, text.find('\n', at) - at);
}

TEST(OcspClient, StatusesFromBothResponders) {
    for (const auto signer : {OcspResponder::Signer::Delegated, OcspResponder::Signer::Ca}) {
        OcspResponder responder(OcspResponder::Options{signer});
        const std::string url = responder.url();
        const ByteString signerCert = der(signer == OcspResponder::Signer::Ca ? "ca" : "responder");

        Query q = check(url, "good");
        EXPECT_EQ(q.rc, 0) << str(q.failure.message) << " " << str(q.failure.libText);
        EXPECT_EQ(str(q.responderCert), str(signerCert));

        q = check(url, "revoked");
        EXPECT_EQ(q.rc, QELT_ERR_CERT_REVOKED);
        EXPECT_EQ(str(q.failure.message), "폐지된 인증서입니다. (폐지 사유 : keyCompromise)"_cp949);
        EXPECT_EQ(str(q.responderCert), str(signerCert));

        q = check(url, "hold");
        EXPECT_EQ(q.rc, QELT_ERR_CERT_SUSPENDED);
        EXPECT_EQ(str(q.failure.message), "효력정지된 인증서입니다."_cp949);

        q = check(url, "unknown");
        EXPECT_EQ(q.rc, QELT_ERR_OCSP_UNKNOWN_CERT);
        EXPECT_EQ(str(q.failure.message),
                  "OCSP 서버에서 해당 인증서에 대한 폐지 여부 확인 서비스를 지원하지 않습니다."_cp949);
        // The responder certificate is handed out whatever the status.
        EXPECT_EQ(str(q.responderCert), str(signerCert));

        // Without the issuer certificate the CertID comes from the target's
        // issuer name and Authority Key Identifier, and identifies the same.
        q = check(url, "revoked", false);
        EXPECT_EQ(q.rc, QELT_ERR_CERT_REVOKED);
    }
}

TEST(OcspClient, RequestsAsOpensslReadsThem) {
    OcspResponder responder;
    ASSERT_EQ(check(responder.url("/path/x"), "good").rc, 0);
    // The same CertID openssl makes from the same certificates.
    const std::string dir = onlineDataDir();
    std::string reference;
    ASSERT_EQ(runProcess({"openssl", "ocsp", "-issuer", "ca.pem", "-cert", "good.pem", "-req_text", "-no_nonce"}, 20s,
                         &reference, dir),
              0);
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 1u);
    const HttpRequest& http = requests[0];
    EXPECT_EQ(http.requestLine(), "POST /path/x HTTP/1.0");
    EXPECT_EQ(http.field("Content-Type"), "application/ocsp-request");
    EXPECT_EQ(http.field("Content-Length"), std::to_string(http.body.size()));
    EXPECT_EQ(http.field("Host"), "");

    const std::string text = ocspRequestText(http.body);
    for (const char* label : {"Hash Algorithm:", "Issuer Name Hash:", "Issuer Key Hash:", "Serial Number:"}) {
        EXPECT_NE(lineWith(text, label), "") << label;
        EXPECT_EQ(lineWith(text, label), lineWith(reference, label)) << label;
    }
    EXPECT_TRUE(contains(text, "Hash Algorithm: sha1")) << text;
    EXPECT_TRUE(contains(text, "OCSP Nonce:")) << text;
    EXPECT_TRUE(contains(text, "Acceptable OCSP Responses:")) << text;
    EXPECT_TRUE(contains(text, "Basic OCSP Response")) << text;
    EXPECT_FALSE(contains(text, "Requestor Name")) << text;
    // The nonce is 8 bytes inside an OCTET STRING: 04 08 followed by them.
    const std::string nonceLine = text.substr(text.find("OCSP Nonce:"));
    EXPECT_TRUE(contains(nonceLine, "0408")) << nonceLine;

    // Two requests made one after the other carry different nonces.
    ASSERT_EQ(check(responder.url(), "good").rc, 0);
    const std::string second = ocspRequestText(responder.ocspRequests().at(1));
    EXPECT_NE(lineWith(second.substr(second.find("OCSP Nonce:")), "04"), lineWith(nonceLine, "04"));

    // A responder URL without a path is posted to "/".
    ASSERT_EQ(check("http://127.0.0.1:" + std::to_string(responder.port()), "good").rc, 0);
    EXPECT_EQ(responder.requests().back().requestLine(), "POST / HTTP/1.0");
}

TEST(OcspClient, SignedRequestsVerifyWithOpenssl) {
    OcspResponder responder;
    ByteString responderCert;
    ServiceFailure failure;
    const ByteString issuer = der("ca");
    const int rc = ocsp::checkStatusByOCSP(responder.url().c_str(), der("hold"), &issuer, true, der("good"),
                                           bytes(onlineFile("good.key.der")), responderCert, failure, 10);
    EXPECT_EQ(rc, QELT_ERR_CERT_SUSPENDED) << str(failure.message) << str(failure.libText);
    const std::string request = responder.ocspRequests().at(0);
    const std::string text = ocspRequestText(request);
    EXPECT_TRUE(contains(text, "Requestor Name: DirName:C = KR, O = Qelt Test, CN = good user")) << text;
    EXPECT_TRUE(contains(text, "Signature Algorithm: sha256WithRSAEncryption")) << text;

    // libcrypto verifies the signature and the requester's chain to the root.
    const auto* p = reinterpret_cast<const unsigned char*>(request.data());
    std::unique_ptr<OCSP_REQUEST, decltype(&OCSP_REQUEST_free)> req(
        d2i_OCSP_REQUEST(nullptr, &p, static_cast<long>(request.size())), OCSP_REQUEST_free);
    ASSERT_NE(req, nullptr);
    std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), X509_STORE_free);
    ASSERT_EQ(X509_STORE_load_file(store.get(), onlinePath("chain.pem").c_str()), 1);
    EXPECT_EQ(OCSP_request_verify(req.get(), nullptr, store.get(), 0), 1);

    // A key blob that is not a private key.
    ByteString nonce, requestDer;
    EXPECT_EQ(ocsp::makeOCSPRequest(der("good"), &issuer, true, der("good"), der("good"), nonce, requestDer, failure),
              QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(str(failure.message), "설정한 OCSP 요청자의 개인키 정보가 개인키가 아닙니다."_cp949);
}

TEST(OcspClient, RequestForAListCarriesServiceLocators) {
    ServiceFailure failure;
    ByteString nonce, request;
    // A SEQUENCE OF the good and revoked certificates.
    const std::string good = onlineFile("good.der"), revoked = onlineFile("revoked.der");
    const size_t len = good.size() + revoked.size();
    std::string list = "\x30\x82";
    list += static_cast<char>(len >> 8);
    list += static_cast<char>(len & 0xFF);
    list += good + revoked;
    ASSERT_EQ(ocsp::makeOCSPRequestForList(bytes(list), false, ByteString(), ByteString(), nonce, request, failure), 0)
        << str(failure.libText);
    const std::string text = ocspRequestText(str(request));
    EXPECT_TRUE(contains(text, "Serial Number: 1002")) << text;
    EXPECT_TRUE(contains(text, "Serial Number: 1003")) << text;
    size_t locators = 0;
    for (size_t at = text.find("Service Locator"); at != std::string::npos; at = text.find("Service Locator", at + 1))
        ++locators;
    EXPECT_EQ(locators, 2u) << text;
    EXPECT_TRUE(contains(text, "http://127.0.0.1:1/ocsp")) << text;

    EXPECT_EQ(
        ocsp::makeOCSPRequestForList(bytes("not a list"), false, ByteString(), ByteString(), nonce, request, failure),
        QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(str(failure.message), "상태 확인하고자 하는 인증서 정보가 잘못되었습니다."_cp949);
}

TEST(OcspClient, TargetsThatCannotBeQueried) {
    ServiceFailure failure;
    ByteString nonce, request;
    // Without the issuer certificate a 16-byte key identifier cannot stand in for the key hash.
    EXPECT_EQ(
        ocsp::makeOCSPRequest(der("shortaki"), nullptr, false, ByteString(), ByteString(), nonce, request, failure),
        QELT_ERR_OCSP_MAKE_REQUEST);
    EXPECT_EQ(str(failure.message), "OCSP 요청 메시지를 구성하는데 실패하였습니다."_cp949);
    EXPECT_TRUE(contains(str(failure.libText), "Issuer Key Id's length is not 20.")) << str(failure.libText);
    EXPECT_EQ(
        ocsp::makeOCSPRequest(bytes("garbage"), nullptr, false, ByteString(), ByteString(), nonce, request, failure),
        QELT_ERR_OCSP_MAKE_REQUEST);
}

TEST(OcspClient, AnswersThatAreNotForThisQuestion) {
    OcspResponder responder;
    // The responder's answer about the revoked certificate, replayed later.
    ASSERT_EQ(check(responder.url(), "revoked").rc, QELT_ERR_CERT_REVOKED);
    const std::string revokedAnswer = responder.respond(responder.ocspRequests().at(0));
    ASSERT_FALSE(revokedAnswer.empty());
    responder.setTamper([&](const std::string&, const std::string&) {
        return Reply::http(200, revokedAnswer, "application/ocsp-response");
    });
    Query q = check(responder.url(), "good");
    EXPECT_EQ(q.rc, QELT_ERR_TSP_NOT_OUR_RESPONSE);
    EXPECT_EQ(str(q.failure.message), "요청메시지에 대한 응답 메시지가 아닙니다."_cp949);
    EXPECT_TRUE(q.responderCert.isEmpty());
}

TEST(OcspClient, ResponsesThatAreRefused) {
    OcspResponder responder;
    OcspResponder rogue(OcspResponder::Options{OcspResponder::Signer::Rogue});
    OcspResponder bare(OcspResponder::Options{OcspResponder::Signer::Delegated, true});

    // Signed by a key nobody vouches for: the client itself accepts the
    // signature of the certificate included and hands that certificate out,
    // for the verification service to refuse.
    Query q = check(rogue.url(), "good");
    EXPECT_EQ(q.rc, 0);
    EXPECT_EQ(str(q.responderCert), onlineFile("rogue.der"));

    // The delegated responder's answer with one bit of its signature flipped.
    responder.setTamper(
        [](const std::string&, const std::string& answer) { return Reply::http(200, flipSignatureBit(answer)); });
    q = check(responder.url(), "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_BAD_RESPONSE);
    EXPECT_EQ(str(q.failure.message), "잘못된 OCSP 응답 메시지 입니다."_cp949);
    EXPECT_TRUE(contains(str(q.failure.libText), "signature")) << str(q.failure.libText);
    responder.setTamper(nullptr);
    EXPECT_EQ(check(responder.url(), "good").rc, 0);

    q = check(bare.url(), "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_NO_CERT);
    EXPECT_EQ(str(q.failure.message), "OCSP 서버 인증서가 없습니다."_cp949);

    // OCSPResponse { responseStatus tryLater } and an undefined status 4.
    responder.setTamper([](const std::string&, const std::string&) {
        return Reply::http(200, std::string("\x30\x03\x0a\x01\x03", 5));
    });
    q = check(responder.url(), "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_NOT_SUCCESSFUL);
    EXPECT_EQ(str(q.failure.message),
              "OCSP요청이 다음 사유로 거절 되었습니다. (사유 : 다음에 다시 요청 요망 - tryLater)"_cp949);
    responder.setTamper([](const std::string&, const std::string&) {
        return Reply::http(200, std::string("\x30\x03\x0a\x01\x04", 5));
    });
    q = check(responder.url(), "good");
    EXPECT_EQ(str(q.failure.message),
              "OCSP요청이 다음 사유로 거절 되었습니다. (사유 : 알수없음 - Unknown status)"_cp949);

    // Not an OCSPResponse at all, even with a 200.
    responder.setTamper(
        [](const std::string&, const std::string&) { return Reply::http(404, "<html>not found</html>", "text/html"); });
    q = check(responder.url(), "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_BAD_RESPONSE);
    EXPECT_FALSE(q.failure.libText.isEmpty());
}

TEST(OcspClient, TransportFailures) {
    Query q = check("http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()) + "/ocsp", "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_CONNECT);
    EXPECT_TRUE(contains(str(q.failure.message), "OCSP 서버(IP : 127.0.0.1, Port : "_cp949));
    EXPECT_TRUE(contains(str(q.failure.message), "(<socketlib> fnc=connect,code=0x6f)")) << str(q.failure.message);

    LoopbackServer silent([](const HttpRequest&) { return Reply::silent(); });
    const auto start = std::chrono::steady_clock::now();
    q = check(silent.url("/ocsp"), "good", true, 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(q.rc, QELT_ERR_SERVER_TIMEOUT);
    EXPECT_EQ(str(q.failure.message), "OCSP 서버의 응답메시지 수신 실패(Recieve Header TimeOut!!)"_cp949);
    EXPECT_LT(seconds, 2.0);

    LoopbackServer truncated(
        [](const HttpRequest&) { return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 900\r\n\r\n0\x82"); });
    q = check(truncated.url("/ocsp"), "good");
    EXPECT_EQ(q.rc, QELT_ERR_OCSP_RECV);
    EXPECT_EQ(str(q.failure.message), "OCSP 응답 메시지를 받는데 실패하였습니다. (The connection closed...)"_cp949);

    q = check("ldap://127.0.0.1/ocsp", "good");
    EXPECT_EQ(q.rc, QELT_ERR_LDAP_URL_PROTOCOL);
    q = check("127.0.0.1/ocsp", "good");
    EXPECT_EQ(q.rc, QELT_ERR_LDAP_URL_SCHEME);
}

}  // namespace
}  // namespace qelt::test
