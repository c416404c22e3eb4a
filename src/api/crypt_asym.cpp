// Public-key encryption and decryption: nKeyType 1 is a decrypted private
// key, 2 a certificate (the functions ending in 2: a SubjectPublicKeyInfo).
// OAEP follows the context's RSA option group.
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr int kPrivateKey = 1;
constexpr int kPublicKey = 2;
constexpr unsigned kOptionOaep = 0x02;

bool oaepOf(ApiCall& call) { return (call.ctx().nOption & kOptionOaep) != 0; }

int asymEncrypt(ApiCall& call, bool withCert, int nKeyType, BINSTR* pKey, BINSTR* pTBEData, BINSTR* pEncData) {
    if (!hasBytes(pKey)) return call.invalid("암호화에 사용할 키(pKey)를 지정하세요."_cp949);
    if (!hasBytes(pTBEData)) return call.invalid("암호화할 데이터를(pTBEData) 지정하세요."_cp949);
    if (pEncData == nullptr) return call.nullOutput("pEncData");
    if (nKeyType != kPrivateKey && nKeyType != kPublicKey)
        return call.fail(QELT_ERR_KEY_TYPE, "지원되지 않는 키 종류 입니다."_cp949);
    const ByteString key = bytesOf(pKey), data = bytesOf(pTBEData);
    ByteString out;
    if (nKeyType == kPrivateKey) {
        PPrivateKey pk;
        if (pk.setPrivateKeyInfo(key) != 0)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        if (pk.encrypt(data, out) != 0)
            return call.failCore(QELT_ERR_ENCRYPT, "데이터를 암호화하는데 실패하였습니다."_cp949, pk);
    } else {
        PPublicKey pub;
        const int rc = withCert ? pub.encryptWithCert(key, data, out, oaepOf(call))
                                : (pub.setPublicKeyInfo(key) != 0 ? 1 : pub.encrypt(data, out, oaepOf(call)));
        if (rc != 0) {
            if (pub.failure() == PPublicKey::Failure::NotCertificate)
                return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
            return call.failCore(QELT_ERR_ENCRYPT, "데이터를 암호화하는데 실패하였습니다."_cp949, pub);
        }
    }
    return call.putBytes(pEncData, out, "encData");
}

int asymDecrypt(ApiCall& call, bool withCert, int nKeyType, BINSTR* pKey, BINSTR* pEncData, BINSTR* pData) {
    if (!hasBytes(pKey)) return call.invalid("복호화에 사용할 키(pKey)를 지정하세요."_cp949);
    if (!hasBytes(pEncData)) return call.invalid("암호화된 데이터(pEncData)를 지정하세요."_cp949);
    if (pData == nullptr) return call.nullOutput("pData");
    if (nKeyType != kPrivateKey && nKeyType != kPublicKey)
        return call.fail(QELT_ERR_KEY_TYPE, "지원되지 않는 키 종류 입니다."_cp949);
    const ByteString key = bytesOf(pKey), data = bytesOf(pEncData);
    ByteString out;
    bool mismatch = false;
    const ErrorHolder* failed = nullptr;
    PPrivateKey pk;
    PPublicKey pub;
    if (nKeyType == kPrivateKey) {
        if (pk.setPrivateKeyInfo(key) != 0)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        if (pk.decrypt(data, out, oaepOf(call)) != 0) {
            failed = &pk;
            mismatch = pk.failure() == PPrivateKey::Failure::KeyMismatch;
        }
    } else {
        const int rc = withCert ? pub.decryptWithCert(key, data, out)
                                : (pub.setPublicKeyInfo(key) != 0 ? 1 : pub.decrypt(data, out));
        if (rc != 0) {
            if (pub.failure() == PPublicKey::Failure::NotCertificate)
                return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
            failed = &pub;
            mismatch = pub.failure() == PPublicKey::Failure::KeyMismatch;
        }
    }
    if (failed != nullptr) {
        if (mismatch) return call.failCore(QELT_ERR_KEYPAIR_CHECK, "키쌍이 맞는지 확인하세요."_cp949, *failed);
        return call.failCore(QELT_ERR_DECRYPT, "데이터를 복호화하는데 실패하였습니다."_cp949, *failed);
    }
    return call.putBytes(pData, out, "data");
}

}  // namespace

QELT_EXPORT int QELT_CRYPT_AsymEncrypt(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pTBEData, BINSTR* pEncData) {
    return api::run(pCtx, "QELT_CRYPT_AsymEncrypt",
                    [&](ApiCall& call) { return asymEncrypt(call, true, nKeyType, pKey, pTBEData, pEncData); });
}
QELT_EXPORT int QELT_CRYPT_AsymEncrypt2(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pTBEData, BINSTR* pEncData) {
    return api::run(pCtx, "QELT_CRYPT_AsymEncrypt2",
                    [&](ApiCall& call) { return asymEncrypt(call, false, nKeyType, pKey, pTBEData, pEncData); });
}
QELT_EXPORT int QELT_CRYPT_AsymDecrypt(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pEncData, BINSTR* pData) {
    return api::run(pCtx, "QELT_CRYPT_AsymDecrypt",
                    [&](ApiCall& call) { return asymDecrypt(call, true, nKeyType, pKey, pEncData, pData); });
}
QELT_EXPORT int QELT_CRYPT_AsymDecrypt2(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pEncData, BINSTR* pData) {
    return api::run(pCtx, "QELT_CRYPT_AsymDecrypt2",
                    [&](ApiCall& call) { return asymDecrypt(call, false, nKeyType, pKey, pEncData, pData); });
}
