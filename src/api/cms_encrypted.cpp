// CMS EncryptedData: QELT_CMS_MakeEncryptedData encrypts under the context's
// current symmetric key (set by QELT_CRYPT_SetKeyAndIV or GenKeyAndIV, or left
// by an EnvelopedData call) and always writes the ContentInfo wrapper;
// QELT_CMS_ProcessEncryptedData opens a message with a caller's key and keeps
// that key as the current one.
#include "ASN1Pkix/PEncryptedData.h"
#include "api/cms_envelope_common.h"
#include "util/cp949_literal.h"

using namespace qelt;

QELT_EXPORT int QELT_CMS_MakeEncryptedData(void* pCtx, BINSTR* pTBEData, BINSTR* pEncryptedData) {
    return api::run(pCtx, "QELT_CMS_MakeEncryptedData", [&](ApiCall& call) {
        if (!hasBytes(pTBEData)) return call.invalid("암호화할 데이터(pTBEData)를 지정해 주세요."_cp949);
        if (pEncryptedData == nullptr) return call.nullOutput("pEncryptedData");
        const ApiContext& ctx = call.ctx();
        if (ctx.nSymAlg == 0 || ctx.nSymMode == 0 || ctx.pSessionKey == nullptr || ctx.pSessionKey->isEmpty() ||
            ctx.pSessionIv == nullptr || ctx.pSessionIv->isEmpty())
            return call.fail(QELT_ERR_NO_KEY_AND_IV, "대칭키 알고리즘의 Key와 IV가 설정되지 않았습니다."_cp949);
        PEncryptedData enc;
        enc.setOption(PEncryptedData::kOptContentInfo);
        enc.setSymmetricAlgorithm(ctx.nSymAlg, ctx.nSymMode);
        enc.setKeyAndIV(*ctx.pSessionKey, *ctx.pSessionIv);
        enc.setContent(bytesOf(pTBEData));
        ByteString der;
        if (enc.makeEncryptedData(der) != 0)
            return call.failCore(QELT_ERR_ENCRYPTED_MAKE,
                                 "대칭키 암호 메시지(EncryptedData)를 구성하는데 실패하였습니다."_cp949, enc);
        return call.putBytes(pEncryptedData, der, "encryptedData");
    });
}

QELT_EXPORT int QELT_CMS_ProcessEncryptedData(void* pCtx, BINSTR* pKey, BINSTR* pEncryptedData, BINSTR* pData) {
    return api::run(pCtx, "QELT_CMS_ProcessEncryptedData", [&](ApiCall& call) {
        if (!hasBytes(pKey)) return call.invalid("대칭키(pKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pEncryptedData)) return call.invalid("암호화된 메시지(pEncryptedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        PEncryptedDataProcess proc;
        proc.setKey(bytesOf(pKey));
        if (proc.parseEncryptedData(bytesOf(pEncryptedData)) != 0) {
            switch (proc.errorCode()) {
                case PEncryptedDataProcess::kNotEncryptedData:
                    return call.fail(QELT_ERR_NOT_ENCRYPTED, "암호화된 메시지(EncryptedData)가 아닙니다."_cp949);
                case PEncryptedDataProcess::kDecryptFailed:
                    return call.failCore(QELT_ERR_DECRYPT, "데이터를 복호화하는데 실패하였습니다."_cp949, proc);
                default:
                    return call.failCore(QELT_ERR_ENCRYPTED_INVALID,
                                         "잘못된 대칭키 암호 메시지(EncryptedData) 입니다."_cp949, proc);
            }
        }
        if (const int rc = call.putBytes(pData, proc.getContent(), "data"); rc != QELT_OK) return rc;
        int alg = 0, mode = 0;
        ByteString key, iv;
        proc.getSymmetricKey(alg, mode, key, iv);
        return cms::storeSessionKey(call, alg, mode, key, iv);
    });
}
