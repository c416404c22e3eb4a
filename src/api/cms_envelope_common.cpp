#include "api/cms_envelope_common.h"

#include "ZRProcess/PCertUtil.h"
#include "util/cp949_literal.h"

namespace qelt::cms {

namespace {
constexpr uint8_t kKeyEncipherment = 0x20;
constexpr uint8_t kKeyAgreement = 0x08;
}  // namespace

int storeSessionKey(ApiCall& call, int nAlg, int nMode, const ByteString& key, const ByteString& iv) {
    ApiContext& ctx = call.ctx();
    ByteString* k = ensureBytes(ctx.pSessionKey);
    if (k == nullptr) return call.noMemory("pApiCtx->pSessionKey");
    ByteString* v = ensureBytes(ctx.pSessionIv);
    if (v == nullptr) return call.noMemory("pApiCtx->pSessionIv");
    k->assign(key);
    v->assign(iv);
    ctx.nSymAlg = nAlg;
    ctx.nSymMode = nMode;
    return QELT_OK;
}

int checkEncryptionCert(const ByteString& cert, std::string& message, ByteString& detail) {
    PCertUtil util;
    if (const int rc = util.parseCertificate(cert); rc != 0) {
        detail.assign(util.errorChain());
        if (rc == PCertUtil::kNotCertificate) {
            message = "인증서가 아닙니다."_cp949;
            return QELT_ERR_CERT_NOT_CERT;
        }
        message = "잘못된 인증서 입니다."_cp949;
        return QELT_ERR_CERT_INVALID;
    }
    const ByteString bits = util.get_KeyUsage_value();
    if (util.errorCode() == PCertUtil::kAbsent) return QELT_OK;  // no keyUsage: any use is allowed
    if (util.errorCode() != 0 || bits.isEmpty()) {
        detail.assign(util.errorChain());
        message = "잘못된 인증서 입니다."_cp949;
        return QELT_ERR_CERT_INVALID;
    }
    if ((bits.data()[0] & (kKeyEncipherment | kKeyAgreement)) == 0) {
        message = "암호화용 인증서가 아닙니다."_cp949;
        return QELT_ERR_NOT_ENCRYPTION_CERT;
    }
    return QELT_OK;
}

}  // namespace qelt::cms
