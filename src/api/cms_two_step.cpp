// Signing in two steps (QELT_CMS_MakeTBSData, QELT_CMS_ComposeSignedData)
// for keys the library cannot reach, and time-stamp tokens on the signers
// of a processed message (QELT_CMS_GetTBTData, QELT_CMS_SetTimeStampToken,
// QELT_CMS_GetTimeStampToken).
//
// Between the two signing steps the half-built message is the context's
// pending SignedData: made anew by every QELT_CMS_MakeTBSData, kept through
// any number of compositions, destroyed with the context.
#include <new>

#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "api/api_call.h"
#include "api/cms_shared.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr auto kMakeFailed = "서명 메시지(SignedData)를 구성하는데 실패하였습니다."_cp949;

// Item `index` of a signer record (an OCTET STRING's value); empty when absent.
ByteString recordItem(const RPlainText& record, int index) {
    ASN1OctetString octets;
    if (record.getElement(index, octets) != 0) return ByteString();
    return ByteString(octets.getValue());
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeTBSData(void* pCtx, BINSTR* pCert, BINSTR* pData, char* pszSigningTime, BINSTR* pTBSData) {
    return api::run(pCtx, "QELT_CMS_MakeTBSData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pData)) return call.invalid("서명할 데이터(pData)를 지정해 주세요."_cp949);
        if (pTBSData == nullptr) return call.nullOutput("pTBSData");
        ApiContext& ctx = call.ctx();
        delete ctx.pSignedData;
        ctx.pSignedData = nullptr;
        auto* sd = new (std::nothrow) PSignedData();
        if (sd == nullptr) return call.noMemory("pCtx->pSignedData");
        ctx.pSignedData = sd;
        sd->setOption(PSignedData::kPkcs7);
        (void)sd->setContent(bytesOf(pData), nullptr);
        if (hasText(pszSigningTime)) {
            int64_t t = 0;
            if (const int rc = call.convertTime(pszSigningTime, TimeForm::LongYear, true, t)) return rc;
            sd->setSigningTime(&t);
        } else {
            sd->setSigningTime(nullptr);
        }
        const ByteString cert = bytesOf(pCert);
        int hash = 0;
        if (const int rc = cms::chooseSignerHash(call, cert, hash)) return rc;
        sd->setHashAlgorithm(hash);
        ByteString tbs;
        if (sd->getTBSData(cert, tbs) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, *sd);
        return call.putBytes(pTBSData, tbs, "tbsData");
    });
}

QELT_EXPORT int QELT_CMS_ComposeSignedData(void* pCtx, BINSTR* pSignature, BINSTR* pSignedData) {
    return api::run(pCtx, "QELT_CMS_ComposeSignedData", [&](ApiCall& call) {
        if (!hasBytes(pSignature)) return call.invalid("서명값(pSignature)을 지정해 주세요."_cp949);
        if (pSignedData == nullptr) return call.nullOutput("pSignedData");
        auto* sd = dynamic_cast<PSignedData*>(call.ctx().pSignedData);
        if (sd == nullptr)
            return call.fail(QELT_ERR_TBS_NOT_MADE, "우선 서명 메시지를 위한 서명할 데이터를 생성해야 합니다."_cp949);
        ByteString der;
        if (sd->composeSignedData(bytesOf(pSignature), der) != 0)
            return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, *sd);
        return call.putBytes(pSignedData, der, "signedData");
    });
}

QELT_EXPORT int QELT_CMS_GetTBTData(void* pCtx, int nIndex, BINSTR* pTBTData) {
    return api::run(pCtx, "QELT_CMS_GetTBTData", [&](ApiCall& call) {
        if (pTBTData == nullptr) return call.nullOutput("pTBTData");
        RPlainText record;
        if (const int rc = cms::readSignerRecord(call, nIndex, record)) return rc;
        return call.putBytes(pTBTData, recordItem(record, 3), "tBTData");
    });
}

QELT_EXPORT int QELT_CMS_SetTimeStampToken(void* pCtx, BINSTR* pSignedData, int nIndex, BINSTR* pTST,
                                           BINSTR* pSignedDataWithTST) {
    return api::run(pCtx, "QELT_CMS_SetTimeStampToken", [&](ApiCall& call) {
        if (!hasBytes(pSignedData)) return call.invalid("서명 메시지(pSignedData)를 지정해 주세요."_cp949);
        if (!hasBytes(pTST)) return call.invalid("시점 확인 토큰(pTST)을 지정해 주세요."_cp949);
        if (pSignedDataWithTST == nullptr) return call.nullOutput("pSignedDataWithTST");
        PSignedData sd;
        ByteString out;
        if (sd.setTimeStampToken(bytesOf(pSignedData), nIndex, bytesOf(pTST), out) != 0)
            return call.failCore(QELT_ERR_SIGNED_INVALID, "잘못된 서명 메시지(SignedData)입니다."_cp949, sd);
        if (const int rc = QELT_BINSTR_SetData(out.data(), out.length(), pSignedDataWithTST); rc != QELT_OK)
            return call.failf(rc, "QELT_CMS_SetTimeStampToken : pSignedDataWithTST");
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CMS_GetTimeStampToken(void* pCtx, int nIndex, BINSTR* pTimeStampToken) {
    return api::run(pCtx, "QELT_CMS_GetTimeStampToken", [&](ApiCall& call) {
        if (pTimeStampToken == nullptr) return call.nullOutput("pTimeStampToken");
        RPlainText record;
        if (const int rc = cms::readSignerRecord(call, nIndex, record)) return rc;
        const ByteString token = recordItem(record, 4);
        if (token.isEmpty())
            return call.fail(QELT_ERR_NO_TIMESTAMP_TOKEN, "시점확인토큰 정보가 포함되어있지 않습니다."_cp949);
        return call.putBytes(pTimeStampToken, token, "timeStampToken");
    });
}
