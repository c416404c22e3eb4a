// The identity-verification client against the test server of
// ivs_test_server.h (OpenSSL on the other side), and its message reader on
// its own.
#include <chrono>
#include <fstream>

#include "../api/ident_test_data.h"
#include "net/ivs_message.h"
#include "net/ivs_test_server.h"
#include "net/slapd_fixture.h"

namespace qelt::test {
namespace {

using namespace std::chrono;

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

class IvsApi : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        server = std::make_unique<IvsTestServer>(signCert, identData("ivs_sign.p8"), identData("ivs_km.p8"));
        server->registerIdentity(user, "8001011234567");
        server->setOtherKey(identData("plain.p8"));
        writeConf(server->port(), 1);
    }
    void writeConf(int port, int timeOut, const std::string& extra = "") {
        conf = (workDir / "ivs.conf").string();
        std::ofstream(conf) << "[IVS]\nIP = 127.0.0.1\nPORT = " << port << "\nSVR_KM_CERT_URL = " << certUrl
                            << "\nTIME_OUT = " << timeOut << "\n"
                            << extra;
    }
    void seedCache(const Bytes& km, const Bytes& sign) {
        putFileMkdir(workDir / "cache" / "IVS" / "IVS_KmCert.der", km);
        putFileMkdir(workDir / "cache" / "IVS" / "IVS_SignCert.der", sign);
    }
    static void putFileMkdir(const std::filesystem::path& p, const Bytes& b) {
        std::filesystem::create_directories(p.parent_path());
        putFile(p, b);
    }
    int identity(const Bytes& cert, const char* idn, const Bytes& km = {}, const Bytes& sign = {}) {
        OwnedBinstr c(cert), mine(requester), k(km), s(sign);
        return QELT_VID_VerifyByIVS(ctx, conf.c_str(), &c, &mine, idn, &k, &s);
    }
    int validity(const Bytes& cert) {
        OwnedBinstr c(cert), mine(requester);
        return QELT_CERT_VerifyByIVS(ctx, conf.c_str(), &c, &mine);
    }
    bool says(const char* fragment) { return errInfo().find(fragment) != std::string::npos; }

    const Bytes user = identData("user.der"), requester = identData("biz.der");
    const Bytes signCert = identData("ivs_sign.der"), kmCert = identData("ivs_km.der");
    std::unique_ptr<IvsTestServer> server;
    std::string conf;
    // Nothing listens there unless a test starts a directory.
    std::string certUrl =
        "ldap://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()) + "/cn=ivs,o=Qelt Test,c=KR";
};

TEST_F(IvsApi, IdentityIsConfirmedOrDeniedByTheServer) {
    seedCache(kmCert, signCert);
    ASSERT_EQ(identity(user, "8001011234567"), 0) << errInfo();
    EXPECT_EQ(server->lastIdn(), "8001011234567");  // decrypted by the server with its own key

    EXPECT_EQ(identity(user, "8001011234568"), QELT_ERR_VID_NOT_OWNER);
    EXPECT_TRUE(says("주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다."_cp949)) << errInfo();
    EXPECT_TRUE(says("<ivs> respcode=20004,respdesc=not the owner")) << errInfo();
    EXPECT_EQ(identity(identData("plain.der"), "8001011234567"), QELT_ERR_IVS_UNSUPPORTED_CERT);
    EXPECT_EQ(server->requests().size(), 3u);
}

TEST_F(IvsApi, RequestsFollowTheProtocol) {
    seedCache(kmCert, signCert);
    ASSERT_EQ(identity(user, "8001011234567"), 0) << errInfo();
    ASSERT_EQ(validity(user), 0) << errInfo();
    const std::vector<HttpRequest> requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const HttpRequest& r : requests) {
        const std::string head =
            "POST /IVSReq HTTP/1.0\nContent-Type: application/IVS-query\n"
            "User-Agent: IVSClient/1.0\nHost: 127.0.0.1\nPort: " +
            std::to_string(server->port()) + "\nContent-Length: " + std::to_string(r.body.size()) +
            "\nConnection: Close\nPragma: no-cache\n\n";
        EXPECT_EQ(r.head, head);
        EXPECT_EQ(r.body.rfind("<?xml version=\"1.0\"?>\n<!DOCTYPE IVS SYSTEM \"./config/ivs.dtd\">\n<IVS>\n"
                               "<MessageHeader Header=\"Request\">\n<HeaderInfo>\n<GenerateDate>",
                               0),
                  0u)
            << r.body;
        EXPECT_EQ(xmlElement(r.body, "GenerateDate").size(), 14u);
        EXPECT_EQ(base64Bytes(xmlElement(r.body, "Nonce")).size(), 20u);
        EXPECT_EQ(base64Bytes(xmlElement(r.body, "RequestCert")), requester);
        EXPECT_EQ(base64Bytes(xmlElement(r.body, "Destination")), user);
    }
    const std::string& b1 = requests[0].body;
    EXPECT_NE(b1.find("<MessageType Type=\"B1\">\n<RequestInfo>\n<Destination>"), std::string::npos);
    EXPECT_NE(b1.find("</Destination>\n<PersonInfo>\n<EncryptedData Type=\"http://www.w3.org/2001/04/xmlenc#Element "
                      "xmlns=http://www.w3.org/2001/04/xmlenc#\">\n<EncryptedMethod "
                      "Algorithm=\"http://www.w3.org/2001/04/xmlenc##rsa-1_5\">\n<CipherData>\n<CipherValue>"),
              std::string::npos);
    EXPECT_NE(b1.find("</CipherValue>\n</CipherData>\n</EncryptedData>\n</EncryptedMethod Algorithm>\n</PersonInfo>\n"
                      "</RequestInfo>\n</MessageType>\n</IVS>\n"),
              std::string::npos);
    EXPECT_EQ(base64Bytes(xmlElement(b1, "CipherValue")).size(), 256u);  // RSA-2048 of the server's key
    const std::string& a1 = requests[1].body;
    EXPECT_NE(a1.find("</MessageHeader>\n<MessageType Type=\"A1\">\n<RequestInfo>\n<Destination>"), std::string::npos);
    const std::string a1End = "</Destination>\n</RequestInfo>\n</MessageType>\n</IVS>";
    ASSERT_GT(a1.size(), a1End.size());
    EXPECT_EQ(a1.substr(a1.size() - a1End.size()), a1End);
    // A fresh nonce for every request.
    EXPECT_NE(xmlElement(a1, "Nonce"), xmlElement(b1, "Nonce"));
}

TEST_F(IvsApi, CertificateValidityAndTheResponseCodeTable) {
    seedCache(kmCert, signCert);
    ASSERT_EQ(validity(user), 0) << errInfo();
    server->markRevoked(user);
    EXPECT_EQ(validity(user), QELT_ERR_CERT_REVOKED);
    EXPECT_TRUE(says("폐지된 인증서 입니다. <ivs> respcode=10001,respdesc=revoked"_cp949)) << errInfo();
    const std::pair<long, int> table[] = {
        {10002, QELT_ERR_OCSP_UNKNOWN_CERT},   {10003, QELT_ERR_CERT_EXPIRED},
        {20002, QELT_ERR_PATH_VALIDATION},     {10005, QELT_ERR_PATH_POLICY},
        {20006, QELT_ERR_PATH_FETCH},          {10008, QELT_ERR_CRL_FETCH},
        {20005, QELT_ERR_IVS_INTERNAL},        {20007, QELT_ERR_DECRYPT},
        {50001, QELT_ERR_CERT_INVALID},        {50002, QELT_ERR_IVS_REVOKED_REQUESTER},
        {50011, QELT_ERR_IVS_REQUESTER_TRUST}, {50004, QELT_ERR_IVS_NO_PERMISSION},
        {50009, QELT_ERR_IVS_BAD_REQUEST},     {50006, QELT_ERR_CERT_INVALID},
        {50012, QELT_ERR_IVS_UNKNOWN_CODE},    {1, QELT_ERR_IVS_UNKNOWN_CODE}};
    for (const auto& [respCode, code] : table) {
        server->forceAnswer(respCode, "forced");
        EXPECT_EQ(validity(user), code) << respCode;
        EXPECT_TRUE(says(("respcode=" + std::to_string(respCode) + ",respdesc=forced").c_str())) << errInfo();
    }
}

TEST_F(IvsApi, ServersThatStallRefuseOrAnswerBadly) {
    seedCache(kmCert, signCert);
    server->misbehave(IvsTestServer::Misbehaviour::Stall);
    auto start = steady_clock::now();
    EXPECT_EQ(validity(user), QELT_ERR_SERVER_TIMEOUT);
    EXPECT_LT(steady_clock::now() - start, seconds(2));  // TIME_OUT (1) + 1 s
    EXPECT_TRUE(says("통합검증서버의 응답메시지 수신 실패"_cp949)) << errInfo();
    // TIME_OUT is read once per context: a longer one in the file changes nothing now.
    writeConf(server->port(), 30);
    start = steady_clock::now();
    EXPECT_EQ(identity(user, "8001011234567"), QELT_ERR_SERVER_TIMEOUT);
    EXPECT_LT(steady_clock::now() - start, seconds(2));

    const std::pair<IvsTestServer::Misbehaviour, const char*> cases[] = {
        {IvsTestServer::Misbehaviour::Garbage, "(메시지 타입(MessageType)을 가지고 오는데 실패)"_cp949},
        {IvsTestServer::Misbehaviour::OtherKey, "(응답 메시지의 서명값 검증 실패)"_cp949},
        {IvsTestServer::Misbehaviour::WrongNonce, "(요청 메시지에 대한 응답 메시지가 아님)"_cp949},
        {IvsTestServer::Misbehaviour::TamperAfterSigning, "(응답 메시지가 변조되었음)"_cp949},
        {IvsTestServer::Misbehaviour::WrongType, "(본인확인 결과 메시지가 아님)"_cp949},
    };
    for (const auto& [m, message] : cases) {
        server->misbehave(m);
        if (m == IvsTestServer::Misbehaviour::TamperAfterSigning) server->forceAnswer(20004, "not the owner");
        EXPECT_EQ(identity(user, "8001011234567"), QELT_ERR_IVS_BAD_RESPONSE) << static_cast<int>(m);
        EXPECT_TRUE(says("잘못된 통합검증서버의 응답 메시지 입니다. "_cp949)) << errInfo();
        EXPECT_TRUE(says(message)) << errInfo();
    }
    server->misbehave(IvsTestServer::Misbehaviour::WrongType);
    EXPECT_EQ(validity(user), QELT_ERR_IVS_BAD_RESPONSE);
    EXPECT_TRUE(says("(인증서 검증 결과 메시지가 아님)"_cp949)) << errInfo();

    writeConf(LoopbackServer::refusedPort(), 1);
    EXPECT_EQ(validity(user), QELT_ERR_IVS_CONNECT);
    EXPECT_TRUE(says("통합검증서버(IP : 127.0.0.1, Port : "_cp949)) << errInfo();
}

TEST_F(IvsApi, ServerCertificatesGivenByTheCaller) {
    // Nothing cached and no directory reachable: the caller's certificates serve.
    ASSERT_EQ(identity(user, "8001011234567", kmCert, signCert), 0) << errInfo();
    EXPECT_EQ(identity(user, "8001011234567", kmCert, identData("ivs_sign2.der")), QELT_ERR_IVS_SIGN_CERT_UNTRUSTED);
    EXPECT_TRUE(says("통합검증 서버의 서명용 인증서를 선뢰할 수 없습니다."_cp949)) << errInfo();
    // The key-management certificate must be a certificate.
    EXPECT_EQ(identity(user, "8001011234567", Bytes{0x30, 0x03, 0x02, 0x01, 0x01}, signCert), QELT_ERR_CERT_NOT_CERT);
    EXPECT_TRUE(says("잘못된 통합검증서버 인증서입니다."_cp949)) << errInfo();
    EXPECT_EQ(server->requests().size(), 2u);
}

TEST_F(IvsApi, WithoutCacheOrDirectoryTheServerCertificateIsMissing) {
    EXPECT_EQ(identity(user, "8001011234567"), QELT_ERR_IVS_KM_CERT);
    EXPECT_TRUE(says(("통합검증서버 키분배용 인증서 획득("_cp949 + certUrl + "?usercertificate) - ").c_str()))
        << errInfo();
    // The answer arrives, but its signer cannot be trusted without a certificate.
    EXPECT_EQ(validity(user), QELT_ERR_IVS_SIGN_CERT);
    EXPECT_TRUE(says(("통합검증서버의 서명용 인증서 획득("_cp949 + certUrl + "?signcertificate) - ").c_str()))
        << errInfo();
    EXPECT_EQ(server->requests().size(), 1u);
}

TEST_F(IvsApi, OversizedRequestsAreNotSent) {
    seedCache(kmCert, signCert);
    OwnedBinstr c(user), big(Bytes(6000, 0x30));
    EXPECT_EQ(QELT_CERT_VerifyByIVS(ctx, conf.c_str(), &c, &big), QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_TRUE(says("pszReqMsg에 할당된 메모리의 사이즈가 부족합니다."_cp949)) << errInfo();
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(IvsApi, ConfigurationAndArguments) {
    seedCache(kmCert, signCert);
    OwnedBinstr c(user), mine(requester), empty;
    EXPECT_EQ(QELT_CERT_VerifyByIVS(ctx, (workDir / "missing.conf").c_str(), &c, &mine), QELT_ERR_CONF_READ);
    EXPECT_TRUE(says("환경파일을 읽는데 실패하였습니다."_cp949));
    const std::pair<std::string, int> partial[] = {
        {"[IVS]\nPORT = 1\nSVR_KM_CERT_URL = ldap://h/cn=x\n", QELT_ERR_IVS_NO_IP},
        {"[IVS]\nIP = 127.0.0.1\nSVR_KM_CERT_URL = ldap://h/cn=x\n", QELT_ERR_IVS_NO_PORT},
        {"[IVS]\nIP = 127.0.0.1\nPORT = 1\n", QELT_ERR_IVS_NO_CERT_LOCATION},
    };
    for (const auto& [body, code] : partial) {
        std::ofstream(conf) << body;
        EXPECT_EQ(QELT_CERT_VerifyByIVS(ctx, conf.c_str(), &c, &mine), code) << body;
    }
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, "", &c, &mine, "1", nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(says("환경파일 위치(pszConfFilePath)를 지정하세요."_cp949));
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, conf.c_str(), &c, &mine, nullptr, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(says("주민(사업자)등록번호(IDN)를 지정해 주세요."_cp949));
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, conf.c_str(), &empty, &mine, "1", nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(says("본인확인 할 인증서(pCert)를 지정하세요."_cp949));
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, conf.c_str(), &c, nullptr, "1", nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(says("검증 요청자의 인증서(pMyCert)를 지정하세요."_cp949));
    OwnedBinstr notCert(Bytes{0x30, 0x03, 0x02, 0x01, 0x01}), garbage(std::string("garbage"));
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, conf.c_str(), &notCert, &mine, "1", nullptr, nullptr), QELT_ERR_CERT_NOT_CERT);
    EXPECT_TRUE(says("지정한 본인확인 할 인증서는 인증서가 아닙니다."_cp949));
    EXPECT_EQ(QELT_VID_VerifyByIVS(ctx, conf.c_str(), &garbage, &mine, "1", nullptr, nullptr), QELT_ERR_CERT_INVALID);
    EXPECT_TRUE(says("잘못된 본인확인 할 인증서입니다."_cp949));
    EXPECT_EQ(QELT_CERT_VerifyByIVS(ctx, conf.c_str(), &empty, &mine), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(says("검증할 인증서(pCert)를 지정하세요."_cp949));
    EXPECT_TRUE(server->requests().empty());
}

// The server's certificates published in a directory: cache files are filled
// from it, and a renewed signing certificate is fetched once.
class IvsDirectory : public IvsApi {
protected:
    void SetUp() override {
        IvsApi::SetUp();
        const int port = freeLoopbackPort();
        const auto cert = [](const char* name) {
            const Bytes b = identData(name);
            return std::string(b.begin(), b.end());
        };
        const std::vector<LdifEntry> entries = {
            {"c=KR", {{"objectClass", "country"}, {"c", "KR"}}},
            {"o=Qelt Test,c=KR", {{"objectClass", "organization"}, {"o", "Qelt Test"}}},
            // The entry carries the server's key-management certificate and,
            // under the signing attribute, its renewed signing certificate.
            {"cn=ivs,o=Qelt Test,c=KR",
             {{"objectClass", "applicationProcess"},
              {"cn", "ivs"},
              {"userCertificate;binary", cert("ivs_km.der")},
              {"signCertificate", cert("ivs_sign2.der")}}},
        };
        std::string error;
        ASSERT_TRUE(slapd.start(processDir("ivs-slapd"), port, toLdif(entries), error)) << error;
        certUrl = "ldap://127.0.0.1:" + std::to_string(port) + "/cn=ivs,o=Qelt Test,c=KR";
        writeConf(server->port(), 2);
        server->changeSigner(identData("ivs_sign2.der"), identData("ivs_sign2.p8"));
    }
    Bytes cached(const char* name) { return fileBytes(workDir / "cache" / "IVS" / name); }
    Slapd slapd;
};

TEST_F(IvsDirectory, EmptyCacheIsFilledFromTheDirectory) {
    ASSERT_EQ(identity(user, "8001011234567"), 0) << errInfo();
    EXPECT_EQ(cached("IVS_KmCert.der"), kmCert);
    EXPECT_EQ(cached("IVS_SignCert.der"), identData("ivs_sign2.der"));
    // Later calls read the cache: they work with the directory gone.
    slapd.stop();
    EXPECT_EQ(validity(user), 0) << errInfo();
}

TEST_F(IvsDirectory, RenewedSigningCertificateIsFetchedOnce) {
    seedCache(kmCert, signCert);  // the certificate the server signed with before
    ASSERT_EQ(validity(user), 0) << errInfo();
    EXPECT_EQ(cached("IVS_SignCert.der"), identData("ivs_sign2.der"));
    // A signer the directory does not publish is not trusted.
    server->changeSigner(identData("plain.der"), identData("plain.p8"));
    EXPECT_EQ(validity(user), QELT_ERR_IVS_SIGN_CERT_UNTRUSTED);
    EXPECT_TRUE(says("통합검증 서버의 서명용 인증서를 선뢰할 수 없습니다."_cp949)) << errInfo();
}

// The reader alone, on answers of the test server.
class IvsReader : public ::testing::Test {
protected:
    IvsTestServer server{identData("ivs_sign.der"), identData("ivs_sign.p8"), identData("ivs_km.p8")};
    const ByteString nonce{"bm9uY2Vub25jZW5vbmNlbm9uY2U="};
};

TEST_F(IvsReader, ElementsAreFoundByTheirTags) {
    std::string_view out;
    const std::string_view doc = "<a><IVS>x<Nonce>n1</Nonce></IVS><Nonce>n2</Nonce><Open>";
    ASSERT_TRUE(ivs::findElement(doc, "IVS", true, out));
    EXPECT_EQ(out, "<IVS>x<Nonce>n1</Nonce></IVS>");
    ASSERT_TRUE(ivs::findElement(doc, "Nonce", false, out));
    EXPECT_EQ(out, "n1");
    EXPECT_FALSE(ivs::findElement(doc, "Open", false, out));
    EXPECT_FALSE(ivs::findElement(doc, "Missing", false, out));
    ASSERT_TRUE(ivs::findMessageType("<MessageType Type=\"B1\">", out));
    EXPECT_EQ(out, "B1");
    EXPECT_FALSE(ivs::findMessageType("<MessageType Type=\"B1", out));
}

TEST_F(IvsReader, AnswersAreCheckedStepByStep) {
    const std::string good = server.answer("B1", std::string(nonce.view()), 0, "OK");
    ivs::Response r;
    ivs::Failure f;
    ASSERT_EQ(r.read(good, ivs::MessageType::IdentityVerification, nonce, f), 0) << f.message.c_str();
    EXPECT_EQ(r.certificate(), bs(identData("ivs_sign.der")));
    EXPECT_EQ(r.verifySignature(bs(identData("ivs_sign.der")), f), 0) << f.libText.c_str();
    EXPECT_EQ(r.result(f), 0);
    EXPECT_EQ(r.verifySignature(bs(identData("ivs_sign2.der")), f), QELT_ERR_IVS_BAD_RESPONSE);

    auto fails = [&](std::string answer, int code, const char* message) {
        ivs::Response x;
        ivs::Failure g;
        int rc = x.read(answer, ivs::MessageType::IdentityVerification, nonce, g);
        if (rc == 0) rc = x.verifySignature(bs(identData("ivs_sign.der")), g);
        if (rc == 0) rc = x.result(g);
        EXPECT_EQ(rc, code) << answer;
        EXPECT_NE(g.message.view().find(message), std::string::npos) << g.message.c_str();
    };
    auto without = [&](const std::string& name) {
        std::string a = good;
        a.erase(a.find("</" + name + ">"), name.size() + 3);
        return a;
    };
    fails(without("Nonce"), QELT_ERR_IVS_BAD_RESPONSE, "(난수(Nonce)를 가지고 오는데 실패)"_cp949);
    fails(without("IVS"), QELT_ERR_IVS_BAD_RESPONSE, "(IVS를 가지고 오는데 실패)"_cp949);
    fails(without("DigestValue"), QELT_ERR_IVS_BAD_RESPONSE, "(해쉬값(DigestValue)을 가지고 오는데 실패)"_cp949);
    fails(without("SignatureValue"), QELT_ERR_IVS_BAD_RESPONSE, "(서명값(SignatureValue)을 가지고 오는데 실패)"_cp949);
    fails(without("X509Certificate"), QELT_ERR_IVS_BAD_RESPONSE,
          "(통합검증서버의 인증서(X509Certificate)를 가지고 오는데 실패)"_cp949);
    std::string badBase64 = good;
    badBase64.insert(badBase64.find("<DigestValue>") + 13, "*");
    fails(badBase64, QELT_ERR_BASE64_DECODE, "BASE64 디코딩 실패"_cp949);
    // Code and description are read only from a signed, untampered answer.
    const std::string refused = server.answer("B1", std::string(nonce.view()), 20004, "no");
    std::string noDesc = refused;
    noDesc.erase(noDesc.find("<RespDesc>"), 10);
    fails(noDesc, QELT_ERR_IVS_BAD_RESPONSE, "(응답 메시지가 변조되었음)"_cp949);
    fails(server.answer("B1", std::string(nonce.view()), 20004, "no"), QELT_ERR_VID_NOT_OWNER,
          "주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다."_cp949);
}

TEST_F(IvsReader, RequestTemplatesAndTheirLimit) {
    ivs::RequestFields fields;
    fields.generateDate.assign("20240102030405");
    fields.nonce.assign("Tk9OQ0U=");
    fields.requestCert.assign("UkVR");
    fields.destination.assign("REVTVA==");
    ByteString xml;
    ivs::Failure f;
    ASSERT_EQ(ivs::makeRequest(ivs::MessageType::CertificateValidation, fields, xml, f), 0);
    EXPECT_EQ(
        xml.view(),
        "<?xml version=\"1.0\"?>\n<!DOCTYPE IVS SYSTEM \"./config/ivs.dtd\">\n<IVS>\n<MessageHeader "
        "Header=\"Request\">\n<HeaderInfo>\n<GenerateDate>20240102030405</GenerateDate>\n<Nonce>Tk9OQ0U=</Nonce>\n"
        "<RequestCert>UkVR</RequestCert>\n</HeaderInfo>\n</MessageHeader>\n<MessageType Type=\"A1\">\n"
        "<RequestInfo>\n<Destination>REVTVA==</Destination>\n</RequestInfo>\n</MessageType>\n</IVS>");
    // 8192 octets are the most a request may have.
    const int fixed = xml.length() - fields.requestCert.length();
    fields.requestCert.assign(std::string(static_cast<size_t>(ivs::kMaxRequest - fixed), 'A').c_str());
    ASSERT_EQ(ivs::makeRequest(ivs::MessageType::CertificateValidation, fields, xml, f), 0);
    EXPECT_EQ(xml.length(), ivs::kMaxRequest);
    fields.requestCert.append("A");
    EXPECT_EQ(ivs::makeRequest(ivs::MessageType::CertificateValidation, fields, xml, f), QELT_ERR_BUFFER_TOO_SMALL);
}

}  // namespace
}  // namespace qelt::test
