// The time-stamp calls against the loopback TSA (OpenSSL's responder behind
// the library's hex-text transport), with openssl checking what comes back.
#include <openssl/ts.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "net/loopback_process.h"
#include "net/tsa_server.h"
#include "test_support.h"

namespace qelt::test {
namespace {

using namespace std::chrono_literals;

std::string str(const OwnedBinstr& b) { return b.str(); }
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The value after "<label>: " on its line of an openssl text.
std::string valueOf(const std::string& text, const std::string& label) {
    const size_t at = text.find(label + ": ");
    if (at == std::string::npos) return "";
    const size_t start = at + label.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class Tsp : public ApiTest {
protected:
    static constexpr const char* kDoc = "a document to stamp";

    // MakeReqMsg (SHA-256 unless told) and SendAndRecv: the response.
    int stamp(const std::string& doc, OwnedBinstr& response, int hashAlg = QELT_HASH_SHA256, const char* policy = "",
              bool sign = false) {
        OwnedBinstr data(doc), request;
        OwnedBinstr cert(onlineFile("good.der")), key(onlineFile("good.key.der"));
        int rc =
            QELT_TSP_MakeReqMsg(ctx, &data, hashAlg, const_cast<char*>(policy), sign ? 1 : 0, &cert, &key, &request);
        if (rc != 0) return rc;
        return QELT_TSP_SendAndRecv(ctx, const_cast<char*>("127.0.0.1"), tsa.port(), &request, &response);
    }
    int verifyResponse(OwnedBinstr& response, OwnedBinstr& token, OwnedBinstr& tsaCert) {
        return QELT_TSP_VerifyResMsg(ctx, &response, &tsaCert, &token);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const std::string path = (workDir / name).string();
        writeFile(path, bytes);
        return path;
    }
    std::string openssl(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"openssl"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        return runProcess(argv, 20s, &out, onlineDataDir()) == 0 ? out : "failed: " + out;
    }
    void useConfig(const std::string& text) {
        const std::string path = file("qelt.conf", text);
        ASSERT_EQ(QELT_API_SetConfFile(ctx, path.c_str()), 0);
    }

    LoopbackTsa tsa;
};

TEST_F(Tsp, StampVerifiesWithOpensslAndAgainstTheDocument) {
    OwnedBinstr response, token, tsaCert;
    ASSERT_EQ(stamp(kDoc, response), 0) << errInfo();
    ASSERT_EQ(verifyResponse(response, token, tsaCert), 0) << errInfo();
    EXPECT_EQ(tsa.transportErrors(), 0);
    EXPECT_EQ(str(tsaCert), onlineFile("tsa.der"));

    // What was asked: the SHA-256 of the document, a nonce, the certificate.
    const std::string query = openssl({"ts", "-query", "-in", file("req.tsq", tsa.timeStampRequests().at(0)), "-text"});
    EXPECT_EQ(valueOf(query, "Hash Algorithm"), "sha256") << query;
    EXPECT_EQ(valueOf(query, "Certificate required"), "yes") << query;
    EXPECT_EQ(valueOf(query, "Policy OID"), "unspecified") << query;
    const std::string nonce = valueOf(query, "Nonce");
    ASSERT_EQ(nonce.size(), 2u + 32u) << query;  // "0x" and 16 bytes
    EXPECT_NE(nonce.substr(2, 2), "00");
    EXPECT_NE(nonce.substr(2, 2), "FF");

    // openssl accepts the token for the document, up to the root.
    const std::string docPath = file("doc", kDoc), tokenPath = file("token.der", str(token));
    EXPECT_TRUE(contains(openssl({"ts", "-verify", "-data", docPath, "-in", tokenPath, "-token_in", "-CAfile",
                                  "root.pem", "-untrusted", "ca.pem"}),
                         "Verification: OK"));
    OwnedBinstr doc(kDoc), other("another document"), cert;
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &doc, &token), 0) << errInfo();
    EXPECT_EQ(QELT_TSP_VerifyToken2(ctx, &doc, &token, &cert), 0) << errInfo();
    EXPECT_EQ(str(cert), onlineFile("tsa.der"));
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &other, &token), QELT_ERR_TSP_WRONG_DOCUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyToken] 해당 문서에 대한 시점확인 토큰이 아닙니다."_cp949);
}

TEST_F(Tsp, HashAlgorithmsAndRefusals) {
    for (const int alg : {QELT_HASH_SHA1, QELT_HASH_MD5}) {
        OwnedBinstr response, token, cert, doc(kDoc);
        ASSERT_EQ(stamp(kDoc, response, alg), 0) << errInfo();
        ASSERT_EQ(verifyResponse(response, token, cert), 0) << alg << errInfo();
        EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &doc, &token), 0) << alg << errInfo();
    }
    // The TSA refuses HAS-160: the refusal and its free text come back.
    OwnedBinstr response, token, cert, text;
    ASSERT_EQ(stamp(kDoc, response, QELT_HASH_HAS160), 0) << errInfo();
    int status = -1;
    EXPECT_EQ(QELT_TSP_VerifyResMsg2(ctx, &response, &cert, &token, &status, &text), QELT_ERR_TSP_NOT_GRANTED);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(str(text), "Message digest algorithm is not supported.");
    EXPECT_EQ(errInfo(),
              "[QELT_TSP_VerifyResMsg2] TimeStamp 요청이 승인 되지 않았습니다. (사유 : Status = 2, "
              "FreeText = Message digest algorithm is not supported.)"_cp949);
    EXPECT_EQ(token.b.pVal, nullptr);

    OwnedBinstr data(kDoc), request;
    EXPECT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, 5, nullptr, 0, nullptr, nullptr, &request), QELT_ERR_HASH_ALGORITHM);
    EXPECT_EQ(errInfo(), "[QELT_TSP_MakeReqMsg] 지원되지 않는 HASH 알고리즘입니다."_cp949);
}

TEST_F(Tsp, Policies) {
    OwnedBinstr response, token, cert;
    ASSERT_EQ(stamp(kDoc, response, QELT_HASH_SHA256, "1.2.410.200004.5.99.2"), 0) << errInfo();
    EXPECT_EQ(verifyResponse(response, token, cert), 0) << errInfo();
    EXPECT_EQ(valueOf(openssl({"ts", "-query", "-in", file("req.tsq", tsa.timeStampRequests().at(0)), "-text"}),
                      "Policy OID"),
              "1.2.410.200004.5.99.2");

    // A policy the TSA does not serve is refused by it.
    OwnedBinstr refused;
    ASSERT_EQ(stamp(kDoc, refused, QELT_HASH_SHA256, "1.2.410.200004.5.99.3"), 0) << errInfo();
    EXPECT_EQ(verifyResponse(refused, token, cert), QELT_ERR_TSP_NOT_GRANTED);
    EXPECT_TRUE(contains(errInfo(), "Requested policy is not supported.")) << errInfo();

    // A token issued under another policy than the one asked for.
    tsa.setTamper([](const std::string& request, const std::string&) {
        const auto* p = reinterpret_cast<const unsigned char*>(request.data());
        std::unique_ptr<TS_REQ, decltype(&TS_REQ_free)> req(d2i_TS_REQ(nullptr, &p, static_cast<long>(request.size())),
                                                            TS_REQ_free);
        std::unique_ptr<ASN1_OBJECT, decltype(&ASN1_OBJECT_free)> policy(OBJ_txt2obj("1.2.410.200004.5.99.1", 1),
                                                                         ASN1_OBJECT_free);
        TS_REQ_set_policy_id(req.get(), policy.get());
        unsigned char* der = nullptr;
        const int len = i2d_TS_REQ(req.get(), &der);
        std::string changed(reinterpret_cast<const char*>(der), static_cast<size_t>(len));
        OPENSSL_free(der);
        return LoopbackTsa::respond(changed);
    });
    OwnedBinstr other;
    ASSERT_EQ(stamp(kDoc, other, QELT_HASH_SHA256, "1.2.410.200004.5.99.2"), 0) << errInfo();
    EXPECT_EQ(verifyResponse(other, token, cert), QELT_ERR_TSP_POLICY);
    EXPECT_EQ(
        errInfo(),
        "[QELT_TSP_VerifyResMsg] TimeStamp 응답메시지가 요청자가 허용하지 않는 인증서 정책으로 발급되었습니다."_cp949);
}

TEST_F(Tsp, ResponsesToOtherRequestsAndGrantedWithMods) {
    // Verifying before any request was made with this context.
    OwnedBinstr first, token, cert;
    {
        void* other = nullptr;
        ASSERT_EQ(QELT_API_Init(&other, workDir.c_str()), 0);
        OwnedBinstr data(kDoc), request;
        ASSERT_EQ(QELT_TSP_MakeReqMsg(other, &data, QELT_HASH_SHA256, nullptr, 0, nullptr, nullptr, &request), 0);
        ASSERT_EQ(QELT_TSP_SendAndRecv(other, const_cast<char*>("127.0.0.1"), tsa.port(), &request, &first), 0);
        QELT_API_Finish(&other);
    }
    EXPECT_EQ(verifyResponse(first, token, cert), QELT_ERR_TSP_NO_REQUEST);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyResMsg] TimeStamp 요청 정보를 확인할 수 없습니다."_cp949);

    // The same document asked again: the old answer carries the old nonce.
    OwnedBinstr second;
    ASSERT_EQ(stamp(kDoc, second), 0) << errInfo();
    EXPECT_EQ(verifyResponse(first, token, cert), QELT_ERR_TSP_NOT_OUR_RESPONSE);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyResMsg] TimeStamp 요청에 대한 응답 메시지가 아닙니다."_cp949);
    EXPECT_EQ(verifyResponse(second, token, cert), 0) << errInfo();

    // Another document asked: the old answer stamps a different imprint.
    OwnedBinstr third;
    ASSERT_EQ(stamp("something else", third), 0) << errInfo();
    EXPECT_EQ(verifyResponse(second, token, cert), QELT_ERR_TSP_IMPRINT_MISMATCH);

    // grantedWithMods is not granted.
    tsa.setTamper([](const std::string&, const std::string& response) { return LoopbackTsa::withStatus(response, 1); });
    OwnedBinstr modified, text;
    ASSERT_EQ(stamp(kDoc, modified), 0) << errInfo();
    int status = -1;
    EXPECT_EQ(QELT_TSP_VerifyResMsg2(ctx, &modified, &cert, &token, &status, &text), QELT_ERR_TSP_NOT_GRANTED)
        << errInfo();
    EXPECT_EQ(status, 1);
}

TEST_F(Tsp, SignedRequests) {
    OwnedBinstr response, token, cert;
    ASSERT_EQ(stamp(kDoc, response, QELT_HASH_SHA256, "", true), 0) << errInfo();
    EXPECT_EQ(tsa.signedRequests(), 1);
    EXPECT_EQ(tsa.verifiedSignatures(), 1);
    EXPECT_EQ(verifyResponse(response, token, cert), 0) << errInfo();

    OwnedBinstr data(kDoc), request, good(onlineFile("good.der")), key(onlineFile("good.key.der")),
        ca(onlineFile("ca.der"));
    EXPECT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 1, nullptr, &key, &request),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_MakeReqMsg] 요청자의 인증서를(pCert)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 1, &good, nullptr, &request),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_MakeReqMsg] 요청자의 개인키를(pPriKey)를 지정해 주세요."_cp949);
    // A CA certificate is no signing certificate; a certificate is no private key.
    EXPECT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 1, &ca, &key, &request),
              QELT_ERR_NOT_SIGNING_CERT);
    EXPECT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 1, &good, &good, &request),
              QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(errInfo(), "[QELT_TSP_MakeReqMsg] 복호화된 개인키가 아닙니다."_cp949);
    EXPECT_EQ(request.b.pVal, nullptr);
}

TEST_F(Tsp, TokenInformationAsOpensslPrintsIt) {
    OwnedBinstr response, token, cert;
    ASSERT_EQ(stamp(kDoc, response, QELT_HASH_SHA256, "1.2.410.200004.5.99.2"), 0) << errInfo();
    ASSERT_EQ(verifyResponse(response, token, cert), 0) << errInfo();
    const std::string text = openssl({"ts", "-reply", "-in", file("resp.tsr", str(response)), "-text"});

    char cn[256], dn[256], policy[256], hashAlg[256], hashValue[256], serial[256], genTime[256], nonce[256];
    ASSERT_EQ(QELT_TSP_GetTokenInfo(ctx, &token, 256, cn, dn, policy, hashAlg, hashValue, serial, genTime, nonce), 0)
        << errInfo();
    EXPECT_STREQ(cn, "Qelt Online TSA");
    EXPECT_STREQ(dn, "cn=Qelt Online TSA,o=Qelt Test,c=KR");
    EXPECT_EQ(std::string(policy), "1 2 410 200004 5 99 2");
    EXPECT_EQ(valueOf(text, "Policy OID"), "1.2.410.200004.5.99.2") << text;
    EXPECT_STREQ(hashAlg, "2 16 840 1 101 3 4 2 1");
    EXPECT_EQ(valueOf(text, "Hash Algorithm"), "sha256");
    // "Serial number: 0x01", "Nonce: 0x4663...": the same numbers in hex.
    std::string serialText = valueOf(text, "Serial number").substr(2);
    if (serialText.size() % 2 != 0) serialText = "0" + serialText;
    EXPECT_EQ(upper(serial), serialText) << text;
    EXPECT_EQ("0x" + upper(nonce), valueOf(text, "Nonce")) << text;
    // "Message data:" is a hex dump of the hash.
    std::string dump;
    const size_t dumpEnd = text.find("Serial number");
    for (size_t at = text.find(" - ", text.find("Message data:")); at < dumpEnd; at = text.find(" - ", at + 1))
        for (char c : text.substr(at + 3, 47))
            if (std::isxdigit(static_cast<unsigned char>(c))) dump += static_cast<char>(std::tolower(c));
    EXPECT_EQ(std::string(hashValue), dump) << text;
    // "Time stamp: Dec  7 07:55:20 2026 GMT" and "20261207075520Z".
    struct tm parts {};
    ASSERT_NE(strptime(valueOf(text, "Time stamp").c_str(), "%b %d %H:%M:%S %Y GMT", &parts), nullptr) << text;
    char expected[32];
    std::strftime(expected, sizeof expected, "%Y%m%d%H%M%SZ", &parts);
    EXPECT_STREQ(genTime, expected);

    // Values that do not fit leave every buffer untouched.
    char small[16];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(QELT_TSP_GetTokenInfo(ctx, &token, 16, small, small, small, small, small, small, small, small),
              QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(errInfo(), "[QELT_TSP_GetTokenInfo] 할당된 메모리의 크기가 작습니다."_cp949);
    EXPECT_EQ(std::string(small, sizeof small), std::string(16, 'x'));
    EXPECT_EQ(QELT_TSP_GetTokenInfo(ctx, &token, 256, cn, dn, policy, nullptr, hashValue, serial, genTime, nonce),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_GetTokenInfo] pszHashAlg에 메모리 할당이 되어있지 않습니다."_cp949);

    OwnedBinstr hash, serialBytes, time, nonceBytes, tsaCert;
    char policy2[64], hashAlg2[64];
    ASSERT_EQ(
        QELT_TSP_GetTokenInfo2(ctx, &token, 64, policy2, hashAlg2, &hash, &serialBytes, &time, &nonceBytes, &tsaCert),
        0)
        << errInfo();
    EXPECT_STREQ(policy2, policy);
    EXPECT_STREQ(hashAlg2, hashAlg);
    EXPECT_EQ(hash.str().size(), 32u);
    EXPECT_EQ(time.str(), genTime);
    EXPECT_EQ(nonceBytes.str().size(), 16u);
    EXPECT_EQ(tsaCert.str(), onlineFile("tsa.der"));
}

TEST_F(Tsp, TokensThatAreNotGood) {
    OwnedBinstr response, token, cert, doc(kDoc);
    ASSERT_EQ(stamp(kDoc, response), 0) << errInfo();
    ASSERT_EQ(verifyResponse(response, token, cert), 0) << errInfo();
    // One bit flipped in the middle of the signed TSTInfo.
    std::string damaged = str(token);
    const size_t imprint = damaged.find(std::string("\x04\x20", 2));
    ASSERT_NE(imprint, std::string::npos);
    damaged[imprint + 5] ^= 0x01;
    OwnedBinstr bad(damaged), notToken(onlineFile("good.der"));
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &doc, &bad), QELT_ERR_TSP_BAD_TOKEN);
    EXPECT_TRUE(contains(errInfo(), "잘못된 TimeStamp 토큰입니다."_cp949)) << errInfo();
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &doc, &notToken), QELT_ERR_TSP_NOT_RESPONSE2);
    EXPECT_EQ(QELT_TSP_VerifyResMsg(ctx, &notToken, &cert, &token), QELT_ERR_TSP_NOT_RESPONSE);
    EXPECT_TRUE(contains(errInfo(), "TSA 응답 메시지가 아닙니다."_cp949)) << errInfo();
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, nullptr, &token), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyToken] TimeStamp를 요청했던 메시지(pDoc)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_TSP_VerifyToken(ctx, &doc, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyToken] TimeStamp 토큰(pToken)을 지정해 주세요."_cp949);
}

TEST_F(Tsp, MisbehavingServers) {
    OwnedBinstr data(kDoc), request, response;
    ASSERT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 0, nullptr, nullptr, &request), 0);
    char host[] = "127.0.0.1";
    auto send = [&](int port) { return QELT_TSP_SendAndRecv(ctx, host, port, &request, &response); };

    const int refused = LoopbackServer::refusedPort();
    EXPECT_EQ(send(refused), QELT_ERR_TSP_CONNECT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] TSA 서버(IP : 127.0.0.1, Port : "_cp949 + std::to_string(refused) +
                             ")에 접속하는데 실패하였습니다. <socketlib> fnc=connect,code=0x6f"_cp949);

    useConfig("[TSA]\nTSA_TIME_OUT = 1\n");
    LoopbackServer silent([](const HttpRequest&) { return Reply::silent(); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send(silent.port()), QELT_ERR_SERVER_TIMEOUT);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] TSA 서버의 응답메시지 수신 실패(Recieve Header TimeOut!!)"_cp949);

    LoopbackServer trickle([](const HttpRequest&) {
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n";
        Reply r = Reply::trickled(head + std::string(100, 'a'), 100ms);
        r.atOnce = head.size();
        return r;
    });
    EXPECT_EQ(send(trickle.port()), QELT_ERR_SERVER_TIMEOUT);
    EXPECT_TRUE(contains(errInfo(), "Receive Body TimeOut!!")) << errInfo();

    LoopbackServer errorPage([](const HttpRequest&) { return Reply::http(503, "<html>busy</html>", "text/html"); });
    EXPECT_EQ(send(errorPage.port()), QELT_ERR_TSP_RECV);
    EXPECT_EQ(errInfo(),
              "[QELT_TSP_SendAndRecv] TimeStamp 응답 메시지를 받는데 실패하였습니다. "
              "The response is not hexadecimal text."_cp949);

    LoopbackServer garbage([](const HttpRequest&) { return Reply::http(200, "0badc0ffee"); });
    ASSERT_EQ(send(garbage.port()), 0) << errInfo();
    OwnedBinstr token, cert;
    EXPECT_EQ(QELT_TSP_VerifyResMsg(ctx, &response, &cert, &token), QELT_ERR_TSP_NOT_RESPONSE);

    LoopbackServer truncated(
        [](const HttpRequest&) { return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 64\r\n\r\n30"); });
    EXPECT_EQ(send(truncated.port()), QELT_ERR_TSP_RECV);
    EXPECT_EQ(errInfo(),
              "[QELT_TSP_SendAndRecv] TimeStamp 응답 메시지를 받는데 실패하였습니다. The connection closed..."_cp949);

    LoopbackServer huge(
        [](const HttpRequest&) { return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 9000000000\r\n\r\n3003"); });
    EXPECT_EQ(send(huge.port()), QELT_ERR_TSP_RECV);
    EXPECT_TRUE(contains(errInfo(), "is over the 67108864 bytes")) << errInfo();
}

TEST_F(Tsp, ArgumentsAndConfiguration) {
    OwnedBinstr data(kDoc), request, response;
    ASSERT_EQ(QELT_TSP_MakeReqMsg(ctx, &data, QELT_HASH_SHA256, nullptr, 0, nullptr, nullptr, &request), 0);
    char host[] = "127.0.0.1", empty[] = "";
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, empty, 80, &request, &response), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] TSA 서버의 IP를 지정하세요."_cp949);
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, host, 0, &request, &response), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] TSA 서버의 Port를 지정하세요."_cp949);
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, host, 80, nullptr, &response), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] TSA 요청 메시지(pReqMsg)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, host, 80, &request, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] pResMsg의 포인터가 NULL입니다."_cp949);

    ASSERT_EQ(QELT_API_SetConfFile(ctx, (workDir / "missing.conf").c_str()), 0);
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, host, tsa.port(), &request, &response), QELT_ERR_CONF_READ);
    EXPECT_EQ(errInfo(), "[QELT_TSP_SendAndRecv] 환경파일을 읽는데 실패하였습니다."_cp949);
    // A readable file without the key: the default time-out.
    useConfig("[OTHER]\nX = 1\n");
    EXPECT_EQ(QELT_TSP_SendAndRecv(ctx, host, tsa.port(), &request, &response), 0) << errInfo();

    OwnedBinstr cert, token;
    EXPECT_EQ(QELT_TSP_VerifyResMsg(ctx, nullptr, &cert, &token), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyResMsg] TSA 응답 메시지(pResMsg)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_TSP_VerifyResMsg(ctx, &response, nullptr, &token), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyResMsg] pTSACert의 포인터가 NULL입니다."_cp949);
    int status = 0;
    EXPECT_EQ(QELT_TSP_VerifyResMsg2(ctx, &response, &cert, &token, &status, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_TSP_VerifyResMsg2] pPkiFreeText의 포인터가 NULL입니다."_cp949);
}

}  // namespace
}  // namespace qelt::test
