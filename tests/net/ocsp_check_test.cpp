// The verification service's OCSP step: which responder it asks, in which
// order, and what it answers, against the openssl responder.
#include "net/ocsp_check.h"

#include <gtest/gtest.h>

#include <string>

#include "api/api_context.h"
#include "net/loopback_process.h"
#include "net/ocsp_responder.h"
#include "test_support.h"

namespace qelt::test {
namespace {

ByteString der(const std::string& name) {
    const std::string bytes = onlineFile(name + ".der");
    return ByteString(bytes.data(), static_cast<int>(bytes.size()));
}
std::string str(const ByteString& b) { return std::string(b.view()); }

class OcspStep : public ApiTest {
protected:
    ApiContext& context() { return *static_cast<ApiContext*>(ctx); }
    void setUrl(const std::string& url) {
        releaseText(context().pszOCSPURL);
        context().pszOCSPURL = duplicateText(url.c_str());
    }
    void setServer(const std::string& url) {
        const std::string path = (workDir / "qelt.conf").string();
        writeFile(path, "[VALIDATOIN_OPTION]\nOCSP_SERVER = " + url + "\n");
        releaseText(context().pszConfFilePath);
        context().pszConfFilePath = duplicateText(path.c_str());
    }
    int check(const std::string& target, ByteString& responderCert, ServiceFailure& failure) {
        return checkTargetByOCSP(context(), der(target), der("ca"), false, ByteString(), ByteString(), responderCert,
                                 failure, 10);
    }
    OcspResponder responder;
};

TEST_F(OcspStep, AddressOrder) {
    const std::string url = responder.url();
    // good.pem names http://127.0.0.1:1/ocsp in its Authority Information Access.
    EXPECT_EQ(str(ocspResponderAddress(context(), der("good"))), "http://127.0.0.1:1/ocsp");
    setServer("http://127.0.0.1:7/configured");
    EXPECT_EQ(str(ocspResponderAddress(context(), der("good"))), "http://127.0.0.1:1/ocsp");
    EXPECT_EQ(str(ocspResponderAddress(context(), der("noaia"))), "http://127.0.0.1:7/configured");
    setUrl(url);
    EXPECT_EQ(str(ocspResponderAddress(context(), der("good"))), "http://127.0.0.1:1/ocsp");
    EXPECT_EQ(str(ocspResponderAddress(context(), der("noaia"))), url);
    setUrl("[UseThisURLFirst]" + url);
    EXPECT_EQ(str(ocspResponderAddress(context(), der("good"))), url);
    setUrl("[UseThisURLFirst]");
    EXPECT_EQ(str(ocspResponderAddress(context(), der("noaia"))), "http://127.0.0.1:7/configured");
}

TEST_F(OcspStep, QueriesTheChosenResponder) {
    ByteString responderCert;
    ServiceFailure failure;
    // The certificate's own address refuses connections; the prefixed one answers.
    setUrl(responder.url());
    EXPECT_EQ(check("good", responderCert, failure), QELT_ERR_OCSP_CONNECT);
    EXPECT_NE(str(failure.message).find("Port : 1)"), std::string::npos) << str(failure.message);
    EXPECT_EQ(check("noaia", responderCert, failure), 0) << str(failure.message);
    EXPECT_EQ(str(responderCert), onlineFile("responder.der"));

    setUrl("[UseThisURLFirst]" + responder.url());
    EXPECT_EQ(check("good", responderCert, failure), 0) << str(failure.message);
    EXPECT_EQ(check("hold", responderCert, failure), QELT_ERR_CERT_SUSPENDED);
    EXPECT_EQ(check("revoked", responderCert, failure), QELT_ERR_CERT_REVOKED);
    EXPECT_EQ(str(responderCert), onlineFile("responder.der"));
    EXPECT_EQ(check("unknown", responderCert, failure), QELT_ERR_OCSP_UNKNOWN_CERT);
    EXPECT_EQ(responder.ocspRequests().size(), 5u);

    setUrl("");
    EXPECT_EQ(check("noaia", responderCert, failure), QELT_ERR_OCSP_NO_URL);
    EXPECT_EQ(str(failure.message),
              "OCSP 서버 정보(IP, Port)가 부족하여 OCSP를 이용하여 폐지 여부를 확인할 수 없습니다."_cp949);
    EXPECT_TRUE(responderCert.isEmpty());
    setServer(responder.url());
    EXPECT_EQ(check("noaia", responderCert, failure), 0) << str(failure.message);
}

}  // namespace
}  // namespace qelt::test
