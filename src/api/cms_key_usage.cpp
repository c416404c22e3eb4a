#include "api/cms_key_usage.h"

#include "ZRProcess/PCertUtil.h"
#include "util/cp949_literal.h"

namespace qelt::api {

namespace {
constexpr uint8_t kDigitalSignature = 0x80;
constexpr uint8_t kKeyEncipherment = 0x20;
constexpr uint8_t kKeyAgreement = 0x08;
}  // namespace

namespace {

int keyUsageProblem(PCertUtil& util, int parseResult, KeyUse use, std::string& message, ByteString& detail) {
    if (parseResult != 0) {
        detail.assign(util.errorChain());
        if (parseResult == PCertUtil::kNotCertificate) {
            message = "인증서가 아닙니다."_cp949;
            return QELT_ERR_CERT_NOT_CERT;
        }
        message = "잘못된 인증서 입니다."_cp949;
        return QELT_ERR_CERT_INVALID;
    }
    const ByteString bits = util.get_KeyUsage_value();
    if (util.errorCode() == PCertUtil::kAbsent) return QELT_OK;
    if (util.errorCode() != 0 || bits.isEmpty()) {
        detail.assign(util.errorChain());
        message = "잘못된 인증서 입니다."_cp949;
        return QELT_ERR_CERT_INVALID;
    }
    const uint8_t first = bits.data()[0];
    if (use == KeyUse::Signing && (first & kDigitalSignature) == 0) {
        message = "서명용 인증서가 아닙니다."_cp949;
        return QELT_ERR_NOT_SIGNING_CERT;
    }
    if (use == KeyUse::Encryption && (first & (kKeyEncipherment | kKeyAgreement)) == 0) {
        message = "암호화용 인증서가 아닙니다."_cp949;
        return QELT_ERR_NOT_ENCRYPTION_CERT;
    }
    return QELT_OK;
}

int recorded(ApiCall& call, int code, const std::string& message, const ByteString& detail) {
    if (code == QELT_OK) return 0;
    return detail.isEmpty() ? call.fail(code, message.c_str()) : call.failCore(code, message.c_str(), detail.c_str());
}

}  // namespace

int cmsKeyUsageProblem(const ByteString& cert, KeyUse use, std::string& message, ByteString& detail) {
    PCertUtil util;
    const int rc = util.parseCertificate(cert);
    return keyUsageProblem(util, rc, use, message, detail);
}

int checkCmsKeyUsage(ApiCall& call, const ByteString& cert, KeyUse use) {
    std::string message;
    ByteString detail;
    const int code = cmsKeyUsageProblem(cert, use, message, detail);
    return recorded(call, code, message, detail);
}

int checkCmsKeyUsage(ApiCall& call, PCertUtil& util, int parseResult, KeyUse use) {
    std::string message;
    ByteString detail;
    const int code = keyUsageProblem(util, parseResult, use, message, detail);
    return recorded(call, code, message, detail);
}

}  // namespace qelt::api
