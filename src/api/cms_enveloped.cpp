// CMS EnvelopedData: QELT_CMS_MakeEnvelopedData,
// QELT_CMS_MakeEnvelopedDataWithMultiRecipients, QELT_CMS_ProcessEnvelopedData,
// QELT_CMS_ProcessEnvelopedData2 and QELT_CMS_GetRecipient.
//
// Making and opening a message both leave its CEK and IV in the context as the
// current symmetric key. Listing the recipients leaves the recipient record
// list (a DER SEQUENCE OF OCTET STRING, one text per RecipientInfo) in the
// context for QELT_CMS_GetRecipient.
#include <string>

#include "ASN1Pkix/PEnvelopedData.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PCertificates.h"
#include "ZRProcess/UDNSettings.h"
#include "api/cms_envelope_common.h"
#include "api/cms_key_usage.h"
#include "api/cms_shared.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr auto kBadCert = "잘못된 인증서 입니다."_cp949;
constexpr auto kMakeFailed = "암호 메시지(EnvelopedData)를 구성하는데 실패하였습니다."_cp949;
constexpr auto kBadEnveloped = "잘못된 암호 메시지(EnvelopedData)입니다."_cp949;
constexpr auto kIndexText =
    "인증서 목록에는 %d개의 인증서를 포함하고 있으므로 %d번째(0-base) 인증서는 획득할 수 없습니다."_cp949;
constexpr auto kListCertError = "수신자의 인증서 목록 중 %d 번째 인증서 오류 : %s"_cp949;
constexpr const char* kIdSeparator = "##";

// A PEnvelopedData set up from the caller's algorithm and the context's option word.
bool prepare(ApiCall& call, int nSymAlg, PEnvelopedData& env) {
    const auto alg = symmetricAlgOfApiCode(nSymAlg);
    if (!alg) return false;
    env.setSymmetricAlgorithm(*alg, MODE_CBC);
    (void)env.choiceRecipientIdentifier(PEnvelopedData::kIssuerAndSerialNumber);
    unsigned bits = 0;
    if ((call.ctx().nOption & QELT_OPT_RSA_OAEP) != 0) bits |= PEnvelopedData::kOptOaep;
    if ((call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) != 0) bits |= PEnvelopedData::kOptContentInfo;
    env.setOption(bits);
    return true;
}

int unsupportedAlgorithm(ApiCall& call) {
    return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
}

// Builds the message, keeps its key in the context and hands it out.
int finish(ApiCall& call, PEnvelopedData& env, BINSTR* out) {
    ByteString der;
    if (env.makeEnvelopedData(der) != 0) return call.failCore(QELT_ERR_ENVELOPED_MAKE, kMakeFailed, env);
    int alg = 0, mode = 0;
    ByteString cek, iv;
    env.getSymmetricKey(alg, mode, cek, iv);
    if (const int rc = cms::storeSessionKey(call, alg, mode, cek, iv); rc != QELT_OK) return rc;
    return call.putBytes(out, der, "encryptedData");
}

int processFailure(ApiCall& call, const PEnvelopedDataProcess& proc) {
    switch (proc.errorCode()) {
        case PEnvelopedDataProcess::kNoRecipientInfo:
            return call.fail(QELT_ERR_CERT_CANNOT_DECRYPT, "해당 인증서로는 데이터를 풀 수 없습니다."_cp949);
        case PEnvelopedDataProcess::kKeyDecryptFailed:
            return call.failCore(QELT_ERR_KEYPAIR_CHECK, "키쌍이 맞는지 확인하세요."_cp949, proc);
        case PEnvelopedDataProcess::kNotEnvelopedData:
            return call.fail(QELT_ERR_NOT_ENVELOPED, "암호 메시지(EnvelopedData)가 아닙니다."_cp949);
        case PEnvelopedDataProcess::kNotPrivateKey:
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        default:
            return call.failCore(QELT_ERR_ENVELOPED_INVALID, kBadEnveloped, proc);
    }
}

// The text of one RecipientInfo in the recipient record list: issuer DN "##"
// serial (lowercase hex of the INTEGER contents), or the hex of a subject key
// identifier. A KEK recipient is listed by the hex of its key identifier, like
// a subject key identifier; key agreement recipients cannot be listed.
int recipientText(PEnvelopedDataProcess& proc, int index, ByteString& text) {
    ByteString a, b;
    switch (proc.getRecipientInfoType(index)) {
        case PEnvelopedDataProcess::kKtri:
            if (proc.getRecipientInfo_ktri_IssAndSerialNum(index, a, b) == 0) {
                if (UDNSettings::RDN2Str(a, text) != 0)
                    return proc.fail("PEnvelopedDataProcess", "getRecipientInfo", "issuer", 5,
                                     "Make DN String failed.");
                text.append(kIdSeparator);
                text.append(b.toHex());
                return 0;
            }
            if (proc.getRecipientInfo_ktri_SubjectKeyID(index, a) != 0) return proc.errorCode();
            text.assign(a.toHex());
            return 0;
        case PEnvelopedDataProcess::kKekri:
            if (proc.getRecipientInfo_kekri_KeyID(index, a) != 0) return proc.errorCode();
            text.assign(a.toHex());
            return 0;
        default:
            return proc.fail("PEnvelopedDataProcess", "getRecipientInfo", "recipientInfo", 6,
                             "The recipientInfo type can not be listed.");
    }
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pTBEData, int nSymAlg,
                                           BINSTR* pEnvelopedData) {
    return api::run(pCtx, "QELT_CMS_MakeEnvelopedData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("수신자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pTBEData)) return call.invalid("암호화할 데이터(pTBEData)를 지정해 주세요."_cp949);
        if (pEnvelopedData == nullptr) return call.nullOutput("pEnvelopedData");
        PEnvelopedData env;
        if (!prepare(call, nSymAlg, env)) return unsupportedAlgorithm(call);
        const ByteString cert = bytesOf(pCert);
        if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Encryption)) return rc;
        env.setContent(bytesOf(pTBEData));
        if (env.addRecipientByCert(cert) != 0) return call.failCore(QELT_ERR_CERT_INVALID, kBadCert, env);
        return finish(call, env, pEnvelopedData);
    });
}

QELT_EXPORT int QELT_CMS_MakeEnvelopedDataWithMultiRecipients(void* pCtx, BINSTR* pCerts, BINSTR* pTBEData, int nSymAlg,
                                                              BINSTR* pEnvelopedData) {
    return api::run(pCtx, "QELT_CMS_MakeEnvelopedDataWithMultiRecipients", [&](ApiCall& call) {
        if (!hasBytes(pCerts)) return call.invalid("수신자 인증서 목록(pCerts)을 지정해 주세요."_cp949);
        if (!hasBytes(pTBEData)) return call.invalid("암호화할 데이터(pTBEData)를 지정해 주세요."_cp949);
        if (pEnvelopedData == nullptr) return call.nullOutput("pEnvelopedData");
        PEnvelopedData env;
        if (!prepare(call, nSymAlg, env)) return unsupportedAlgorithm(call);
        PCertificates list;
        if (list.setCerts(bytesOf(pCerts)) != 0)
            return call.failCore(QELT_ERR_CERT_LIST_NOT_LIST, "인증서 목록이 아닙니다."_cp949, list);
        env.setContent(bytesOf(pTBEData));
        // Every recipient gets the one CEK the first addRecipientByCert draws.
        for (int i = 0; i < list.count(); ++i) {
            ByteString cert;
            if (list.getCert(i, cert) != 0) return call.failf(QELT_ERR_CERT_INDEX_RANGE, kIndexText, list.count(), i);
            std::string message;
            ByteString detail;
            if (api::cmsKeyUsageProblem(cert, api::KeyUse::Encryption, message, detail) != QELT_OK)
                return call.failf(QELT_ERR_CERT_LIST_BAD_CERT, kListCertError, i, message.c_str());
            if (env.addRecipientByCert(cert) != 0) {
                ByteString inner;
                inner.format("<zorinlib> %s", env.errorText());
                return call.failf(QELT_ERR_CERT_LIST_BAD_CERT, kListCertError, i, inner.c_str());
            }
        }
        if (list.count() == 0) return call.failf(QELT_ERR_CERT_INDEX_RANGE, kIndexText, 0, 0);
        return finish(call, env, pEnvelopedData);
    });
}

QELT_EXPORT int QELT_CMS_ProcessEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pEnvelopedData,
                                              BINSTR* pData) {
    return api::run(pCtx, "QELT_CMS_ProcessEnvelopedData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pEnvelopedData)) return call.invalid("암호 메시지(pEnvelopedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        PEnvelopedDataProcess proc;
        if (proc.setRecipientIdentifier(bytesOf(pCert), bytesOf(pPriKey)) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, kBadCert, proc);
        if (proc.parseEnvelopedData(bytesOf(pEnvelopedData)) != 0) return processFailure(call, proc);
        ByteString content;
        if (proc.getContent(content) != 0)
            return call.failCore(QELT_ERR_DECRYPT, "데이터를 복호화하는데 실패하였습니다."_cp949, proc);
        int alg = 0, mode = 0;
        ByteString cek, iv;
        proc.getSymmetricKey(alg, mode, cek, iv);
        if (const int rc = cms::storeSessionKey(call, alg, mode, cek, iv); rc != QELT_OK) return rc;
        return call.putBytes(pData, content, "data");
    });
}

QELT_EXPORT int QELT_CMS_ProcessEnvelopedData2(void* pCtx, BINSTR* pEnvelopedData, int* pRecipientCnt) {
    return api::run(pCtx, "QELT_CMS_ProcessEnvelopedData2", [&](ApiCall& call) {
        if (!hasBytes(pEnvelopedData)) return call.invalid("암호 메시지(pEnvelopedData)를 지정해 주세요."_cp949);
        if (pRecipientCnt == nullptr) return call.nullOutput("pRecipientCnt");
        PEnvelopedDataProcess proc;
        if (proc.parseRecipientInfos(bytesOf(pEnvelopedData)) != 0)
            return call.failCore(QELT_ERR_ENVELOPED_INVALID, kBadEnveloped, proc);
        const int count = proc.getRecipientCnt();
        *pRecipientCnt = count;
        if (count == 0) return call.fail(QELT_ERR_NO_SIGNER_CERT, "수신자 정보가 없습니다."_cp949);
        ASN1Sequence list;
        for (int i = 0; i < count; ++i) {
            ByteString text;
            if (recipientText(proc, i, text) != 0)
                return call.failCore(QELT_ERR_ENVELOPED_INVALID, kBadEnveloped, proc);
            ASN1OctetString element;
            (void)element.setValue(text);
            if (list.addComponent(element.toASN1Object()) != 0) return call.noMemory("pApiCtx->pRecInfos");
        }
        ByteString* stored = ensureBytes(call.ctx().pRecInfos);
        if (stored == nullptr) return call.noMemory("pApiCtx->pRecInfos");
        stored->assign(list.toASN1Object());
        if (stored->isEmpty()) return call.noMemory("pApiCtx->pRecInfos");
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CMS_GetRecipient(void* pCtx, int nIndex, int nBufLen, char* pszIssuerName, char* pszSerialNum,
                                      char* pszSubjectKeyID) {
    return api::run(pCtx, "QELT_CMS_GetRecipient", [&](ApiCall& call) {
        constexpr auto kBadRecipient = "잘못된 수신자의 인증서입니다."_cp949;
        const ByteString* stored = call.ctx().pRecInfos;
        if (stored == nullptr || stored->isEmpty()) return call.fail(QELT_ERR_BAD_RECIPIENT_CERT, kBadRecipient);
        ASN1Sequence list;
        if (list.fromASN1Object(*stored) != 0) return call.failCore(QELT_ERR_BAD_RECIPIENT_CERT, kBadRecipient, list);
        if (nIndex < 0 || nIndex >= list.getComponentCount())
            return call.failf(QELT_ERR_CERT_INDEX_RANGE, kIndexText, list.getComponentCount(), nIndex);
        ASN1OctetString element;
        if (element.fromASN1Object(list.componentBytes(nIndex)) != 0)
            return call.failCore(QELT_ERR_BAD_RECIPIENT_CERT, kBadRecipient, element);
        // The buffers that this recipient does not fill read as empty texts.
        for (char* buf : {pszIssuerName, pszSerialNum, pszSubjectKeyID})
            if (buf != nullptr && nBufLen > 0) buf[0] = 0;
        const std::string_view text = element.getValue().view();
        const size_t split = text.find(kIdSeparator);
        if (split == std::string_view::npos) return call.putText(text, nBufLen, pszSubjectKeyID, "pszSubjectKeyID");
        if (const int rc = call.putText(text.substr(0, split), nBufLen, pszIssuerName, "pszIssuerName"); rc != QELT_OK)
            return rc;
        return call.putText(text.substr(split + 2), nBufLen, pszSerialNum, "pszSerialNum");
    });
}

// ---- shared with the file-streaming functions (cms_shared.h)
namespace qelt::cms {

int envelopedProcessFailure(ApiCall& call, const PEnvelopedDataProcess& proc) { return processFailure(call, proc); }

}  // namespace qelt::cms
