// PKCS #7 SignedAndEnvelopedData: QELT_CMS_MakeSignedAndEnvData signs a
// content for one recipient and encrypts content and signature under one
// fresh key; QELT_CMS_ProcessSignedAndEnvData opens it with the recipient's
// certificate and key and verifies every signer.
//
// Both leave the message's CEK and IV in the context as the current symmetric
// key, as the EnvelopedData functions do. The RSA key transport follows the
// option word like an EnvelopedData (RSAES-OAEP while QELT_OPT_RSA_OAEP is
// set); the receiving side reads the choice from the message.
#include "ASN1Pkix/PSignedAndEnvelopedData.h"
#include "ZRCrypto/algorithm_ids.h"
#include "api/cms_envelope_common.h"
#include "api/cms_key_usage.h"
#include "api/cms_signer_common.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr auto kMakeFailed = "서명 및 암호 메시지(SignedAndEnvelopedData)를 구성하는데 실패하였습니다."_cp949;
constexpr auto kBadMessage = "잘못된 서명 및 암호 메시지(SignedAndEnvelopedData)입니다."_cp949;
constexpr auto kNotMessage = "서명 및 암호 메시지(SignedAndEnvelopedData)가 아닙니다."_cp949;

int makeFailure(ApiCall& call, const PSignedAndEnvelopedData& sed) {
    switch (sed.errorCode()) {
        case PSignedAndEnvelopedData::kBadRecipient:
            return call.failCore(QELT_ERR_BAD_RECIPIENT_CERT, "잘못된 수신자의 인증서입니다."_cp949, sed);
        case PSignedAndEnvelopedData::kNotPrivateKey:
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        default:
            return call.failCore(QELT_ERR_SIGNENV_MAKE, kMakeFailed, sed);
    }
}

int processFailure(ApiCall& call, const PSignedAndEnvelopedDataProcess& proc) {
    switch (proc.errorCode()) {
        case PSignedAndEnvelopedDataProcess::kNotSignedAndEnveloped:
            return call.fail(QELT_ERR_NOT_SIGNENV, kNotMessage);
        case PSignedAndEnvelopedDataProcess::kNotPrivateKey:
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        case PSignedAndEnvelopedDataProcess::kKeyDecryptFailed:
            return call.failCore(QELT_ERR_KEYPAIR_CHECK, "키쌍이 맞는지 확인하세요."_cp949, proc);
        default:
            return call.failCore(QELT_ERR_SIGNENV_INVALID, kBadMessage, proc);
    }
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeSignedAndEnvData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pRecCert,
                                              BINSTR* pData, int nSymAlg, BINSTR* pSignedAndEnvlopedData) {
    return api::run(pCtx, "QELT_CMS_MakeSignedAndEnvData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("서명자의 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pRecCert)) return call.invalid("수신자의 인증서(pRecCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pData)) return call.invalid("서명 및 암호화할 데이터(pData)를 지정해 주세요."_cp949);
        if (pSignedAndEnvlopedData == nullptr) return call.nullOutput("pSignedAndEnvlopedData");
        const ByteString cert = bytesOf(pCert);
        const ByteString recCert = bytesOf(pRecCert);
        if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Signing)) return rc;
        if (const int rc = api::checkCmsKeyUsage(call, recCert, api::KeyUse::Encryption)) return rc;

        PSignedAndEnvelopedData sed;
        unsigned bits = 0;
        if ((call.ctx().nOption & QELT_OPT_RSA_OAEP) != 0) bits |= PSignedAndEnvelopedData::kOptOaep;
        if ((call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) != 0) bits |= PSignedAndEnvelopedData::kOptContentInfo;
        sed.setOption(bits);
        sed.setContent(bytesOf(pData));
        if (sed.addRecipient(recCert) != 0) return call.failCore(QELT_ERR_SIGNENV_MAKE, kMakeFailed, sed);
        int hash = 0;
        if (const int rc = cms::chooseSignerHash(call, cert, hash)) return rc;
        if (sed.addSigner(cert, bytesOf(pPriKey), hash) != 0)
            return call.failCore(QELT_ERR_BAD_SIGNER_CERT, "잘못된 서명자의 인증서입니다."_cp949, sed);
        const auto alg = symmetricAlgOfApiCode(nSymAlg);
        if (!alg) return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
        sed.setSymmetricAlgorithm(*alg, MODE_CBC);

        ByteString der;
        if (sed.makeSignedAndEnvelopedData(der) != 0) return makeFailure(call, sed);
        int symAlg = 0, mode = 0;
        ByteString cek, iv;
        sed.getSymmetricKey(symAlg, mode, cek, iv);
        if (const int rc = cms::storeSessionKey(call, symAlg, mode, cek, iv); rc != QELT_OK) return rc;
        return call.putBytes(pSignedAndEnvlopedData, der, "signedAndEnvelopedData");
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedAndEnvData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                 BINSTR* pSignedAndEnvlopedData, BINSTR* pData, BINSTR* pSignerCert) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedAndEnvData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("수신자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("수신자의 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pSignedAndEnvlopedData))
            return call.invalid("서명 및 암호 메시지(pSignedAndEnvlopedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");

        PSignedAndEnvelopedDataProcess proc;
        ByteString bare;
        if (proc.getPureSignedAndEnvData(bytesOf(pSignedAndEnvlopedData), bare) != 0) return processFailure(call, proc);
        if (const int rc = proc.setReceiverInfo(bytesOf(pCert), bytesOf(pPriKey)); rc != 0) {
            if (rc == PSignedAndEnvelopedDataProcess::kNotCertificate)
                return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, proc);
        }
        if (proc.parseSignedAndEnvelopedData(bare) != 0) return processFailure(call, proc);
        if (proc.getSignerCount() == 0)
            return call.fail(QELT_ERR_NO_SIGNER_CERT, "서명한 사람의 인증서가 없습니다."_cp949);

        int alg = 0, mode = 0;
        ByteString cek, iv;
        proc.getSymmetricKey(alg, mode, cek, iv);
        if (const int rc = cms::storeSessionKey(call, alg, mode, cek, iv); rc != QELT_OK) return rc;
        if (const int rc = call.putBytes(pData, proc.getContent(), "data"); rc != QELT_OK) return rc;
        ByteString signerCert;
        if (proc.getSignerCert(0, signerCert) != 0) return call.failCore(QELT_ERR_SIGNENV_INVALID, kBadMessage, proc);
        return call.putBytes(pSignerCert, signerCert, "signerCert");
    });
}
