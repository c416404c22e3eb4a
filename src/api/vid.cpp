// Identity verification: QELT_VID_Verify, the local check of an
// identification number against the identification data of a certificate and
// the random number kept with its private key.
#include "ZRProcess/PIdentifyData.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

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
