// The exported OCSP family. OCSP is offered through the certificate
// verification service (QELT_CERT_Verify with the OCSP revocation option),
// which runs the OCSP client itself; these calls are not supported in this
// build and answer 1007 after the common prologue.
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

int unsupported(void* pCtx, const char* function) {
    return api::run(pCtx, function, [](ApiCall& call) {
        return call.fail(QELT_ERR_NOT_SUPPORTED_FUNCTION,
                         "윈도우 클라이언트 모듈에서는 인증서 상태검증을 지원하지 않습니다."_cp949);
    });
}

}  // namespace

QELT_EXPORT int QELT_OCSP_MakeOCSPReq2(void* pCtx, BINSTR*, BINSTR*, unsigned char, BINSTR*, BINSTR*, BINSTR*,
                                       BINSTR*) {
    // Reported under the name of the first request builder, like its caller.
    return unsupported(pCtx, "QELT_OCSP_MakeOCSPReq");
}

QELT_EXPORT int QELT_OCSP_MakeOCSPReq(void* pCtx, BINSTR* pCert, BINSTR* pIssuerCert, unsigned char bSign,
                                      BINSTR* pSignerCert, BINSTR* pSignerPriKey, BINSTR* pReqMsg) {
    return QELT_OCSP_MakeOCSPReq2(pCtx, pCert, pIssuerCert, bSign, pSignerCert, pSignerPriKey, pReqMsg, nullptr);
}

QELT_EXPORT int QELT_OCSP_SendAndRecv(void* pCtx, const char*, BINSTR*, BINSTR*) {
    return unsupported(pCtx, "QELT_OCSP_SendAndRecv");
}

QELT_EXPORT int QELT_OCSP_ProcessResMsg(void* pCtx, BINSTR*, BINSTR*) {
    return unsupported(pCtx, "QELT_OCSP_ProcessResMsg");
}

QELT_EXPORT int QELT_OCSP_VerifyResMsg(void* pCtx, BINSTR*, BINSTR*) {
    return unsupported(pCtx, "QELT_OCSP_VerifyResMsg");
}

QELT_EXPORT int QELT_OCSP_GetCertStatus(void* pCtx, BINSTR*, int*, char*, int*) {
    return unsupported(pCtx, "QELT_OCSP_GetCertStatus");
}
