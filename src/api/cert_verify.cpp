// The certificate verification service: QELT_CERT_SetVerifyEnv,
// QELT_CERT_AddTrustedCert, QELT_CERT_Verify, QELT_CERT_CheckStatByCRL and
// QELT_CERT_CheckStatByOCSP.
#include <cstring>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertificates.h"
#include "api/api_call.h"
#include "api/cert_verify_common.h"
#include "api/cert_verify_crl.h"
#include "api/cert_verify_engine.h"
#include "api/cert_verify_failure.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr size_t kRevokedTimeSize = 20;

// Both passes of the engine: pass 1 (a freshly fetched bundle) when pass 0
// says its cached bundle may be stale.
int verifyBothPasses(ApiContext& ctx, const VerifyRequest& request, ByteString& responderCert,
                     ServiceFailure& failure) {
    const int rc = runVerificationPass(ctx, request, 0, responderCert, failure);
    if (rc != kRetryWithFreshBundle) return rc;
    return runVerificationPass(ctx, request, 1, responderCert, failure);
}

bool isRevocationResult(int rc) {
    return rc == QELT_ERR_CERT_SUSPENDED || rc == QELT_ERR_CERT_REVOKED || rc == QELT_ERR_OCSP_UNKNOWN_CERT;
}

// The revocation time for the caller: 15 characters "YYYYMMDDhhmmssZ" for
// the Java binding (a UTCTime gets its century: "19" for years 50-99, else
// "20"), otherwise "%Y-%m-%d %H:%M:%S".
std::string revokedTimeText(const CrlRevocation& entry, bool javaForm) {
    if (!javaForm) return timeText(entry.revocationTime);
    std::string written(entry.revocationDate.c_str(), static_cast<size_t>(entry.revocationDate.length()));
    if (entry.generalizedTime) return written.substr(0, 15);
    const std::string century = (!written.empty() && written[0] >= '5' && written[0] <= '9') ? "19" : "20";
    return (century + written).substr(0, 15);
}

}  // namespace

QELT_EXPORT int QELT_CERT_SetVerifyEnv(void* pCtx, int nScope, int nRevocationOption, unsigned char bUseCache,
                                       const char* pszValidationTime, const char* pszOCSPURL) {
    return api::run(pCtx, "QELT_CERT_SetVerifyEnv", [&](ApiCall& call) {
        ApiContext& ctx = call.ctx();
        int64_t validationTime = ctx.tVerifyTime;
        if (hasText(pszValidationTime)) {
            if (const int rc = call.convertTime(pszValidationTime, TimeForm::LongYear, true, validationTime); rc != 0)
                return rc;
        }
        if (hasText(pszOCSPURL)) {
            char* copy = duplicateText(pszOCSPURL);
            if (copy == nullptr) return call.noMemory("pApiCtx->pszOCSPURL");
            releaseText(ctx.pszOCSPURL);
            ctx.pszOCSPURL = copy;
        }
        if (nScope != 0) ctx.nVerifyType = nScope;
        if (nRevocationOption != 0) ctx.nVerifyCheck = nRevocationOption;
        ctx.bUseCache = bUseCache;
        ctx.tVerifyTime = validationTime;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_AddTrustedCert(void* pCtx, BINSTR* pTrustedCert) {
    return api::run(pCtx, "QELT_CERT_AddTrustedCert", [&](ApiCall& call) {
        if (!hasBytes(pTrustedCert))
            return call.invalid("신뢰하는 최상위 인증기관 인증서(pTrustedCert)를 지정하세요."_cp949);
        ApiContext& ctx = call.ctx();
        PCertificates list;
        if (ctx.pTrustedCerts != nullptr && !ctx.pTrustedCerts->isEmpty() && list.setCerts(*ctx.pTrustedCerts) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_FAILED, "인증서 목록 처리 중 실패하였습니다."_cp949, list);
        const ByteString cert = bytesOf(pTrustedCert);
        PCertUtil check;
        if (const int rc = check.parseCertificate(cert); rc != 0)
            return call.failCore(
                rc == PCertUtil::kNotCertificate ? QELT_ERR_CERT_NOT_CERT : QELT_ERR_CERT_INVALID,
                rc == PCertUtil::kNotCertificate ? "인증서가 아닙니다."_cp949 : "잘못된 인증서 입니다."_cp949, check);
        ByteString encoded;
        if (list.addCert(cert) != 0 || list.getCerts(encoded) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_FAILED, "인증서 목록 처리 중 실패하였습니다."_cp949, list);
        ByteString* field = ensureBytes(ctx.pTrustedCerts);
        if (field == nullptr) return call.noMemory("pApiCtx->pTrustedCerts");
        field->assign(encoded);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_Verify(void* pCtx, BINSTR* pCert, int nCertType, const char* pszIPS,
                                 const char* pszConfFilePath, unsigned char bSignOCSPReq, BINSTR* pMyCert,
                                 BINSTR* pMyPriKey) {
    return api::run(pCtx, "QELT_CERT_Verify", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("검증할 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasText(pszConfFilePath)) return call.invalid("환경 파일 위치(pszConfFilePath)를 지정해 주세요."_cp949);
        if (bSignOCSPReq == 1 && !hasBytes(pMyCert))
            return call.invalid("OCSP 요청자의 인증서(pMyCert)를 지정하세요."_cp949);
        if (bSignOCSPReq == 1 && !hasBytes(pMyPriKey))
            return call.invalid("OCSP 요청자의 개인키(pMyPriKey)를 지정하세요."_cp949);
        if (const int rc = storeConfPath(call, pszConfFilePath); rc != 0) return rc;

        ApiContext& ctx = call.ctx();
        VerifyRequest request;
        request.cert = bytesOf(pCert);
        request.certType = nCertType;
        request.ips = pszIPS;
        request.signOcspRequest = bSignOCSPReq == 1;
        if (request.signOcspRequest) {
            request.requesterCert = bytesOf(pMyCert);
            request.requesterKey = bytesOf(pMyPriKey);
        }
        ByteString responderCert;
        ServiceFailure revocation;
        const int rc = verifyBothPasses(ctx, request, responderCert, revocation);
        if (rc != 0 && !isRevocationResult(rc)) return recordFailure(call, revocation);

        // The status came from an OCSP response: its responder must be valid too.
        if (!responderCert.isEmpty()) {
            VerifyRequest responder;
            responder.cert = responderCert;
            responder.certType = kCertTypeOcsp;
            ByteString ignored;
            ServiceFailure failure;
            if (verifyBothPasses(ctx, responder, ignored, failure) != 0) return recordFailure(call, failure);
        }
        return rc == 0 ? QELT_OK : recordFailure(call, revocation);
    });
}

QELT_EXPORT int QELT_CERT_CheckStatByCRL(void* pCtx, BINSTR* pCert, char* pszRevokedTime, int* pnReason) {
    return api::run(pCtx, "QELT_CERT_CheckStatByCRL", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("상태를 확인할 인증서(pCert)를 지정해 주세요."_cp949);
        if (pszRevokedTime == nullptr) return call.nullOutput("pszRevokedTime");
        if (pnReason == nullptr) return call.nullOutput("pnReason");
        *pnReason = -1;
        ApiContext& ctx = call.ctx();
        // Failures of the path are reported as the verification's.
        ApiCall pathCall(ctx, "QELT_CERT_Verify");
        const ByteString target = bytesOf(pCert);
        ByteString bundle;
        bool fromCache = false;
        ServiceFailure failure;
        if (getCaBundle(ctx, target, kCertTypeSign, 0, bundle, fromCache, failure) != 0)
            return recordFailure(pathCall, failure);
        PRFC3280_PathValidation engine;
        if (engine.composeCertPath(target, bundle) != 0 || engine.getCertCount() < 2)
            return pathCall.failCore(QELT_ERR_PATH_BUILD, "인증서 경로 구성을 실패하였습니다."_cp949, engine);
        const ByteString issuer(engine.getCert(engine.getCertCount() - 2));
        PCertUtil cert;
        if (cert.parseCertificate(target) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, cert);
        const ByteString dps(cert.getCRLDistributionPoints());
        if (cert.errorCode() != 0)
            return call.fail(QELT_ERR_CERT_NO_CRL_DP, "인증서의 확장필드인 CRL 배포지점 정보가 없습니다."_cp949);

        CrlRevocation entry;
        const int rc = checkCRL(ctx, false, dps, issuer, target, entry, failure);
        if (rc != QELT_ERR_CERT_SUSPENDED && rc != QELT_ERR_CERT_REVOKED)
            return rc == 0 ? QELT_OK : recordFailure(call, failure);
        const bool javaForm = std::strncmp(pszRevokedTime, "java", 4) == 0;
        const std::string when = revokedTimeText(entry, javaForm);
        std::memset(pszRevokedTime, 0, kRevokedTimeSize);
        std::memcpy(pszRevokedTime, when.data(), std::min(when.size(), kRevokedTimeSize - 1));
        *pnReason = entry.reason;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_CheckStatByOCSP(void* pCtx, BINSTR* /*pCert*/, BINSTR* /*pIssuerCert*/,
                                          const char* /*pszOCSPURL*/, char* /*pszRevokedTime*/, int* /*pnReason*/) {
    return api::run(pCtx, "QELT_CERT_CheckStatByOCSP", [&](ApiCall& call) {
        return call.fail(QELT_ERR_NOT_SUPPORTED_FUNCTION,
                         "윈도우 클라이언트 모듈에서는 인증서 상태검증을 지원하지 않습니다."_cp949);
    });
}
