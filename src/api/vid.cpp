// Identity verification: QELT_VID_Verify, the local check of an
// identification number against the identification data of a certificate and
// the random number kept with its private key, and the checks asked of the
// identity-verification server, QELT_VID_VerifyByIVS and QELT_CERT_VerifyByIVS.
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PIdentifyData.h"
#include "api/api_call.h"
#include "net/ivs_client.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

int record(ApiCall& call, const ivs::Failure& f) {
    switch (f.kind) {
        case ErrKind::Core:
            return call.failCore(f.code, f.message.c_str(), f.libText.c_str());
        case ErrKind::Ivs:
            return call.failIvs(f.code, f.message.c_str(), f.libCode, f.libText.c_str());
        case ErrKind::Ldap:
            return call.failLdap(f.code, f.message.c_str(), f.libCode, f.libText.c_str());
        default:
            return call.fail(f.code, f.message.c_str());
    }
}

const ByteString* optional(const BINSTR* b, ByteString& holder) {
    if (!hasBytes(b)) return nullptr;
    holder = bytesOf(b);
    return &holder;
}

}  // namespace

QELT_EXPORT int QELT_VID_Verify(void* pCtx, BINSTR* pCert, BINSTR* pRandom, const char* pszIDN) {
    return api::run(pCtx, "QELT_VID_Verify", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서를 지정해 주세요."_cp949);
        if (!hasBytes(pRandom)) return call.invalid("랜덤값을 지정해 주세요."_cp949);
        if (!hasText(pszIDN)) return call.invalid("주민(사업자)등록번호(IDN)를 지정해 주세요."_cp949);
        PIdentifyData data;
        switch (data.parseCertificate(bytesOf(pCert))) {
            case 0:
                break;
            case PIdentifyData::kNotCertificate:
                return call.failCore(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949, data);
            case PIdentifyData::kNoIdentifyData:
                return call.failCore(QELT_ERR_VID_NO_INFO, "인증서 안에 본인확인 정보가 없습니다."_cp949, data);
            default:
                return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, data);
        }
        switch (data.verifyVID(pszIDN, bytesOf(pRandom))) {
            case 0:
                return 0;
            case PIdentifyData::kVidDifferent:
                return call.failCore(QELT_ERR_VID_NOT_OWNER,
                                     "주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다."_cp949, data);
            default:
                return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, data);
        }
    });
}

QELT_EXPORT int QELT_VID_VerifyByIVS(void* pCtx, const char* pszConfFilePath, BINSTR* pCert, BINSTR* pMyCert,
                                     const char* pszIDN, BINSTR* pSvrKmCert, BINSTR* pSvrSignCert) {
    return api::run(pCtx, "QELT_VID_VerifyByIVS", [&](ApiCall& call) {
        if (!hasText(pszConfFilePath)) return call.invalid("환경파일 위치(pszConfFilePath)를 지정하세요."_cp949);
        if (!hasText(pszIDN)) return call.invalid("주민(사업자)등록번호(IDN)를 지정해 주세요."_cp949);
        if (!hasBytes(pCert)) return call.invalid("본인확인 할 인증서(pCert)를 지정하세요."_cp949);
        if (!hasBytes(pMyCert)) return call.invalid("검증 요청자의 인증서(pMyCert)를 지정하세요."_cp949);
        const ByteString cert = bytesOf(pCert);
        PCertUtil target;
        if (const int rc = target.parseCertificate(cert); rc != 0) {
            if (rc == PCertUtil::kNotCertificate)
                return call.failCore(QELT_ERR_CERT_NOT_CERT, "지정한 본인확인 할 인증서는 인증서가 아닙니다."_cp949,
                                     target);
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 본인확인 할 인증서입니다."_cp949, target);
        }
        ivs::Client client(call.ctx().pszWorkDir, call.ctx().nIVSTimeOut, call.ctx().nLDAPTimeOut);
        ivs::Failure failure;
        ByteString km, sign;
        if (client.loadConfig(pszConfFilePath, failure) != 0 ||
            client.verifyIdentity(cert, bytesOf(pMyCert), pszIDN, optional(pSvrKmCert, km),
                                  optional(pSvrSignCert, sign), failure) != 0)
            return record(call, failure);
        return 0;
    });
}

QELT_EXPORT int QELT_CERT_VerifyByIVS(void* pCtx, const char* pszConfFilePath, BINSTR* pCert, BINSTR* pMyCert) {
    return api::run(pCtx, "QELT_CERT_VerifyByIVS", [&](ApiCall& call) {
        if (!hasText(pszConfFilePath)) return call.invalid("환경파일 위치(pszConfFilePath)를 지정하세요."_cp949);
        if (!hasBytes(pCert)) return call.invalid("검증할 인증서(pCert)를 지정하세요."_cp949);
        if (!hasBytes(pMyCert)) return call.invalid("검증 요청자의 인증서(pMyCert)를 지정하세요."_cp949);
        ivs::Client client(call.ctx().pszWorkDir, call.ctx().nIVSTimeOut, call.ctx().nLDAPTimeOut);
        ivs::Failure failure;
        if (client.loadConfig(pszConfFilePath, failure) != 0 ||
            client.verifyCertificate(bytesOf(pCert), bytesOf(pMyCert), nullptr, failure) != 0)
            return record(call, failure);
        return 0;
    });
}
