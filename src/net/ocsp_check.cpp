#include "net/ocsp_check.h"

#include <cstring>

#include "ZRProcess/PAuthorityInfoAccess.h"
#include "ZRProcess/PCertUtil.h"
#include "net/ocsp_client.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

namespace qelt {

namespace {

constexpr size_t kServerBuffer = 1024;

ByteString aiaOcspLocation(const ByteString& target) {
    PCertUtil cert;
    if (cert.parseCertificate(target) != 0) return ByteString();
    const ByteString aia(cert.getAuthorityInformationAccess());
    if (cert.errorCode() != 0) return ByteString();
    PAuthorityInfoAccess util;
    if (util.parseAuthorityInfoAccess(aia) != 0) return ByteString();
    return ByteString(util.getOcspLocation());
}

ByteString configuredServer(const ApiContext& ctx) {
    if (ctx.pszConfFilePath == nullptr || *ctx.pszConfFilePath == 0) return ByteString();
    Profile profile;
    if (profile.setPath(ctx.pszConfFilePath) != Profile::kPathOk) return ByteString();
    char server[kServerBuffer];
    profile.getString("VALIDATOIN_OPTION", "OCSP_SERVER", server, sizeof server, "");
    return ByteString(server);
}

}  // namespace

ByteString ocspResponderAddress(const ApiContext& ctx, const ByteString& target) {
    const char* url = ctx.pszOCSPURL != nullptr ? ctx.pszOCSPURL : "";
    const size_t prefix = std::strlen(kUseThisURLFirst);
    const bool first = std::strncmp(url, kUseThisURLFirst, prefix) == 0;
    if (first && url[prefix] != 0) return ByteString(url + prefix);
    if (ByteString aia = aiaOcspLocation(target); !aia.isEmpty()) return aia;
    // (A prefix with nothing after it names no address.)
    if (*url != 0 && !first) return ByteString(url);
    return configuredServer(ctx);
}

int checkTargetByOCSP(const ApiContext& ctx, const ByteString& target, const ByteString& issuer, bool sign,
                      const ByteString& myCert, const ByteString& myKey, ByteString& responderCert,
                      ServiceFailure& failure, int timeoutSeconds) {
    responderCert.clear();
    const ByteString address = ocspResponderAddress(ctx, target);
    if (address.isEmpty())
        return failure.set(QELT_ERR_OCSP_NO_URL,
                           "OCSP 서버 정보(IP, Port)가 부족하여 OCSP를 이용하여 폐지 여부를 확인할 수 없습니다."_cp949);
    return ocsp::checkStatusByOCSP(address.c_str(), target, &issuer, sign, myCert, myKey, responderCert, failure,
                                   timeoutSeconds);
}

}  // namespace qelt
