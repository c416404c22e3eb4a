// WAP messages: QELT_WCMS_MakeSignedContent, QELT_WCMS_ProcessSignedContent(2),
// QELT_WCMS_MakeWapEnvelopedData and QELT_WCMS_ProcessWapEnvelopedData over
// the W classes.
#include <cstring>
#include <ctime>
#include <limits>
#include <span>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/WSignedContent.h"
#include "ZRProcess/WSignedContentProcess.h"
#include "ZRProcess/WWapEnvelopedData.h"
#include "ZRProcess/WWapEnvelopedDataProcess.h"
#include "api/api_call.h"
#include "api/cms_envelope_common.h"
#include "api/cms_key_usage.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

// The content type the exported maker writes.
constexpr int kContentType = 2;

constexpr auto kBadSignedContent = "잘못된 서명 메시지(SignedContent)입니다."_cp949;
constexpr auto kNoTbsContent = "원본 메시지를 획득하는데 실패하였습니다."_cp949;
constexpr auto kMakeFailed = "서명 메시지(SignedContent)를 구성하는데 실패하였습니다."_cp949;
constexpr auto kUnsupportedCipher = "지원되지 않는 대칭키 알고리즘입니다."_cp949;

std::span<const uint8_t> spanOf(const BINSTR* b) { return {b->pVal, static_cast<size_t>(b->nLen)}; }

int setSignerKey(ApiCall& call, WSignedContent& sc, const ByteString& priKey) {
    switch (sc.setPrivateKey(priKey)) {
        case 0:
            return 0;
        case WSignedContent::kUnknownSignatureAlgorithm:
            return call.failCore(QELT_ERR_ALGORITHM, "SignedContent에서 지원하지 않는 서명 알고리즘입니다."_cp949, sc);
        case WSignedContent::kNotPrivateKeyInfo:
            return call.failCore(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949, sc);
        default:
            return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, sc);
    }
}

// Signer info types other than the certificate, as the reader names them.
int unsupportedSignerInfo(ApiCall& call, uint8_t type) {
    static constexpr const char* kNames[] = {
        "서명자 정보 타입 implicit을 지원하지 않습니다."_cp949,
        "서명자 정보 타입 sha_key_hash를 지원하지 않습니다."_cp949,
        "서명자 정보 타입 wtls_certificate을 지원하지 않습니다."_cp949,
        nullptr,
        "서명자 정보 타입 x968_certificate을 지원하지 않습니다."_cp949,
        "서명자 정보 타입 certificate_url을 지원하지 않습니다."_cp949,
    };
    if (type < std::size(kNames) && kNames[type] != nullptr) return call.fail(QELT_ERR_SIGNER_INFO_TYPE, kNames[type]);
    return call.failf(QELT_ERR_SIGNER_INFO_TYPE, "알수 없는 서명자 정보 티입입니다. (타입 : %d)"_cp949, type);
}

// Reads and verifies a SignedContent, then hands out content and signer.
int processSignedContent(ApiCall& call, const BINSTR* pSignedContent, BINSTR* pData, BINSTR* pSignerCert,
                         WSignedContentProcess& proc) {
    if (!hasBytes(pSignedContent)) return call.invalid("서명 메시지(pSignedData)를 지정해 주세요."_cp949);
    if (pData == nullptr) return call.nullOutput("pData");
    if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");
    if (proc.parseSignedContent(spanOf(pSignedContent)) != 0)
        return call.failCore(QELT_ERR_WAP_SIGNED_INVALID, kBadSignedContent, proc);
    if (proc.signerInfoType() != WSignedContent::kX509Certificate)
        return unsupportedSignerInfo(call, proc.signerInfoType());

    ByteString tbs;
    if (proc.getTBSContent(tbs) != 0) return call.failCore(QELT_ERR_WAP_SIGNED_INVALID, kNoTbsContent, proc);
    if (proc.verifySignatureWithCert(tbs) != 0) {
        if (proc.getTBSContent_Ver05(tbs) != 0) return call.failCore(QELT_ERR_WAP_SIGNED_INVALID, kNoTbsContent, proc);
        if (proc.verifySignatureWithCert(tbs) != 0)
            return call.failCore(QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949, proc);
    }
    if (const int rc = call.putBytes(pData, proc.content(), "data")) return rc;
    return call.putBytes(pSignerCert, proc.certificate(), "signerCert");
}

}  // namespace

QELT_EXPORT int QELT_WCMS_MakeSignedContent(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pTBSData,
                                            char* pszSigningTime, BINSTR* pSignedContent) {
    return api::run(pCtx, "QELT_WCMS_MakeSignedContent", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("서명자의 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pTBSData)) return call.invalid("서명할 데이터(pTBSData)를 지정해 주세요."_cp949);
        if (pSignedContent == nullptr) return call.nullOutput("pSignedContent");
        const ByteString cert = bytesOf(pCert);
        if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Signing)) return rc;

        WSignedContent sc;
        if (const int rc = setSignerKey(call, sc, bytesOf(pPriKey))) return rc;
        sc.setCertificate(cert);
        if (sc.setContentType(kContentType) != 0) return call.failCore(QELT_ERR_WAP_SIGNED_MAKE, kMakeFailed, sc);
        sc.setContent(bytesOf(pTBSData));
        int64_t when = 0;  // 0: the current time
        if (hasText(pszSigningTime))
            if (const int rc = call.convertTime(pszSigningTime, TimeForm::LongYear, true, when)) return rc;

        ByteString out;
        if (sc.setAttributeGmtUtcTime(when) != 0 || sc.makeSignature() != 0 || sc.makeSignedContent(out) != 0)
            return call.failCore(QELT_ERR_WAP_SIGNED_MAKE, kMakeFailed, sc);
        return call.putBytes(pSignedContent, out, "signedContent");
    });
}

QELT_EXPORT int QELT_WCMS_ProcessSignedContent(void* pCtx, BINSTR* pSignedContent, BINSTR* pData, BINSTR* pSignerCert,
                                               char* pszSigningTime) {
    return api::run(pCtx, "QELT_WCMS_ProcessSignedContent", [&](ApiCall& call) {
        WSignedContentProcess proc;
        if (const int rc = processSignedContent(call, pSignedContent, pData, pSignerCert, proc)) return rc;
        if (pszSigningTime != nullptr) {
            // "%Y%m%d%H%M%S" in local time, as the CMS signer records give it.
            const time_t t = static_cast<time_t>(proc.signingTime());
            struct tm parts {};
            localtime_r(&t, &parts);
            char text[32];
            std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
            std::memcpy(pszSigningTime, text, std::strlen(text) + 1);
        }
        return 0;
    });
}

QELT_EXPORT int QELT_WCMS_ProcessSignedContent2(void* pCtx, BINSTR* pSignedContent, BINSTR* pData, BINSTR* pSignerCert,
                                                int* pSigningTime) {
    return api::run(pCtx, "QELT_WCMS_ProcessSignedContent2", [&](ApiCall& call) {
        WSignedContentProcess proc;
        if (const int rc = processSignedContent(call, pSignedContent, pData, pSignerCert, proc)) return rc;
        if (pSigningTime != nullptr) {
            // The attribute reaches 2049; an int of seconds ends in January 2038.
            const int64_t t = proc.signingTime();
            if (t > std::numeric_limits<int>::max() || t < std::numeric_limits<int>::min())
                return call.fail(QELT_ERR_TIME_FORMAT,
                                 "1970년 이전 시간이나 2038년 1월 19일 03:14:07이후 시간은 지원하지 않습니다."_cp949);
            *pSigningTime = static_cast<int>(t);
        }
        return 0;
    });
}

QELT_EXPORT int QELT_WCMS_MakeWapEnvelopedData(void* pCtx, BINSTR* pRecCert, BINSTR* pTBEData, int nSymAlg,
                                               BINSTR* pWapEnvelopedData) {
    return api::run(pCtx, "QELT_WCMS_MakeWapEnvelopedData", [&](ApiCall& call) {
        if (!hasBytes(pRecCert)) return call.invalid("수신자 인증서(pRecCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pTBEData)) return call.invalid("암호화할 데이터(pTBEData)를 지정해 주세요."_cp949);
        if (pWapEnvelopedData == nullptr) return call.nullOutput("pWapEnvelopedData");
        uint8_t algorithm = 0;
        switch (nSymAlg) {
            case QELT_SYM_3DES:
                algorithm = WWapEnvelopedData::k3DesCbc;
                break;
            case QELT_SYM_SEED:
                algorithm = WWapEnvelopedData::kSeedCbc;
                break;
            case QELT_SYM_NEAT:
                algorithm = WWapEnvelopedData::kNeatCbc;
                break;
            case QELT_SYM_DES:
                return call.fail(QELT_ERR_SYM_ALGORITHM, "DES 알고리즘을 지원하지 않습니다."_cp949);
            default:
                return call.fail(QELT_ERR_SYM_ALGORITHM, kUnsupportedCipher);
        }
        WWapEnvelopedData env;
        if (env.setContentEncryptionAlgorithm(algorithm) != 0)
            return call.failCore(QELT_ERR_SYM_ALGORITHM, kUnsupportedCipher, env);
        switch (env.setRecipientCertificate(bytesOf(pRecCert))) {
            case 0:
                break;
            case WWapEnvelopedData::kNotRsaRecipient:
                return call.fail(QELT_ERR_ALGORITHM, "RSA 알고리즘에 대해서만 지원합니다."_cp949);
            default:
                return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, env);
        }
        env.setContent(bytesOf(pTBEData));
        ByteString out;
        if (env.makeWapEnvelopedData(out) != 0)
            return call.failCore(QELT_ERR_WAP_ENVELOPED_MAKE,
                                 "암호 메시지(WapEnvelopedData)를 구성하는데 실패하였습니다."_cp949, env);
        return call.putBytes(pWapEnvelopedData, out, "wapEnvData");
    });
}

QELT_EXPORT int QELT_WCMS_ProcessWapEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pWapEnvelopedData,
                                                  BINSTR* pData) {
    return api::run(pCtx, "QELT_WCMS_ProcessWapEnvelopedData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pWapEnvelopedData)) return call.invalid("암호 메시지(pWapEnvelopedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        WWapEnvelopedDataProcess proc;
        ByteString content;
        switch (proc.parseWapEnvelopedData(spanOf(pWapEnvelopedData), bytesOf(pCert), bytesOf(pPriKey), content)) {
            case 0:
                break;
            case WWapEnvelopedDataProcess::kRecipientMismatch:
                return call.fail(QELT_ERR_CERT_CANNOT_DECRYPT, "해당 인증서로는 데이터를 풀 수 없습니다."_cp949);
            case WWapEnvelopedDataProcess::kUnsupportedCipher:
                return call.fail(QELT_ERR_SYM_ALGORITHM, kUnsupportedCipher);
            default:
                return call.failCore(QELT_ERR_WAP_ENVELOPED_INVALID,
                                     "잘못된 암호 메시지(WapEnvelopedData)입니다."_cp949, proc);
        }
        if (const int rc = cms::storeSessionKey(call, proc.cipherAlgorithm(), MODE_CBC, proc.key(), proc.iv()))
            return rc;
        return call.putBytes(pData, content, "data");
    });
}
