// Certificate lists: a DER SEQUENCE OF Certificate built and read by callers
// (trusted roots, CA bundles).
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertificates.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {
const char* notListText() { return "인증서 목록이 아닙니다."_cp949; }
}  // namespace

QELT_EXPORT int QELT_CERT_AddCert(void* pCtx, BINSTR* pCert, BINSTR* pCerts) {
    return api::run(pCtx, "QELT_CERT_AddCert", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (pCerts == nullptr) return call.nullOutput("pCerts");
        PCertificates list;
        if (hasBytes(pCerts) && list.setCerts(bytesOf(pCerts)) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_NOT_LIST, notListText(), list);
        const ByteString cert = bytesOf(pCert);
        PCertUtil check;
        if (const int rc = check.parseCertificate(cert); rc != 0)
            return call.failCore(
                rc == PCertUtil::kNotCertificate ? QELT_ERR_CERT_NOT_CERT : QELT_ERR_CERT_INVALID,
                rc == PCertUtil::kNotCertificate ? "인증서가 아닙니다."_cp949 : "잘못된 인증서 입니다."_cp949, check);
        if (list.addCert(cert) != 0) return call.noMemory("m_pCerts");
        ByteString encoded;
        if (list.getCerts(encoded) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_FAILED, "인증서 목록 처리 중 실패하였습니다."_cp949, list);
        return call.putBytes(pCerts, encoded, "pCerts");
    });
}

QELT_EXPORT int QELT_CERT_GetCertCount(void* pCtx, BINSTR* pCerts, int* pCnt) {
    return api::run(pCtx, "QELT_CERT_GetCertCount", [&](ApiCall& call) {
        if (!hasBytes(pCerts)) return call.invalid("인증서 목록(pCerts)을 지정해 주세요."_cp949);
        if (pCnt == nullptr) return call.nullOutput("pCnt");
        PCertificates list;
        if (list.setCerts(bytesOf(pCerts)) != 0) return call.failCore(QELT_ERR_CERT_LIST_NOT_LIST, notListText(), list);
        *pCnt = list.count();
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_GetCert(void* pCtx, BINSTR* pCerts, int nIndex, BINSTR* pCert) {
    return api::run(pCtx, "QELT_CERT_GetCert", [&](ApiCall& call) {
        if (!hasBytes(pCerts)) return call.invalid("인증서 목록(pCerts)을 지정해 주세요."_cp949);
        if (pCert == nullptr) return call.nullOutput("pCert");
        if (nIndex < 0) return call.invalid("nIndex가 0보다 작습니다."_cp949);
        PCertificates list;
        if (list.setCerts(bytesOf(pCerts)) != 0) return call.failCore(QELT_ERR_CERT_LIST_NOT_LIST, notListText(), list);
        if (nIndex >= list.count())
            return call.failf(
                QELT_ERR_CERT_INDEX_RANGE,
                "인증서 목록에는 %d개의 인증서를 포함하고 있으므로 %d번째(0-base) 인증서는 획득할 수 없습니다."_cp949,
                list.count(), nIndex);
        ByteString cert;
        if (list.getCert(nIndex, cert) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_FAILED, "인증서 목록 처리 중 실패하였습니다."_cp949, list);
        return call.putBytes(pCert, cert, "pCert");
    });
}
