// Private-key protection: QELT_PRIKEY_Encrypt, QELT_PRIKEY_Decrypt,
// QELT_PRIKEY_ChangePasswd and QELT_VID_GetRandomFromPriKey.
#include "ASN1Pkix/PPKCS8.h"
#include "ZRProcess/PPrivateKey.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

// API symmetric code -> PBE scheme code: DES, 3DES, SEED and ARIA are written
// as PBES2, NEAT in the PBES1 shape with the PKCS#12 derivation.
int schemeOfApiCode(int nAlg) {
    switch (nAlg) {
        case QELT_SYM_DES:
            return PBES2_DES;
        case QELT_SYM_3DES:
            return PBES2_3DES;
        case QELT_SYM_SEED:
            return PBES2_SEED;
        case QELT_SYM_NEAT:
            return PBE_SHA1_NEAT;
        case QELT_SYM_ARIA:
            return PBES2_ARIA;
        default:
            return 0;
    }
}

constexpr auto kNoPassword = "개인키 비밀번호 정보가 없습니다."_cp949;
constexpr auto kWrongPassword = "비밀번호를 확인하세요."_cp949;
constexpr auto kBadEncKey = "잘못된 암호화된 개인키입니다."_cp949;
constexpr auto kNotDecryptedKey = "복호화된 개인키가 아닙니다."_cp949;
constexpr auto kEncryptFailed = "개인키를 암호화하는데 실패하였습니다."_cp949;

// Sets the key and encrypts it; failures recorded with their API codes.
int encryptInto(ApiCall& call, PPKCS8& pkcs8, const ByteString& priKey, BINSTR* out) {
    if (pkcs8.setPrivateKeyInfo(priKey) != 0) return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, kNotDecryptedKey);
    ByteString encrypted;
    if (pkcs8.getPKCS8Data(encrypted) != 0) return call.failCore(QELT_ERR_PRIKEY_ENCRYPT, kEncryptFailed, pkcs8);
    return call.putBytes(out, encrypted, "priKey");
}

}  // namespace

QELT_EXPORT int QELT_PRIKEY_Encrypt(void* pCtx, int nAlg, char* pszPasswd, BINSTR* pPriKey, BINSTR* pEncPriKey) {
    return api::run(pCtx, "QELT_PRIKEY_Encrypt", [&](ApiCall& call) {
        if (!hasText(pszPasswd)) return call.invalid(kNoPassword);
        if (!hasBytes(pPriKey)) return call.invalid("암호화할 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (pEncPriKey == nullptr) return call.invalid("pEncPriKey의 포인터가 NULL 입니다."_cp949);
        const int scheme = schemeOfApiCode(nAlg);
        if (scheme == 0) return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
        PPKCS8 pkcs8;
        pkcs8.setAlgorithm(scheme);
        pkcs8.setPassword(pszPasswd);
        return encryptInto(call, pkcs8, bytesOf(pPriKey), pEncPriKey);
    });
}

QELT_EXPORT int QELT_PRIKEY_Decrypt(void* pCtx, char* pszPasswd, BINSTR* pEncPriKey, BINSTR* pPriKey) {
    return api::run(pCtx, "QELT_PRIKEY_Decrypt", [&](ApiCall& call) {
        if (!hasText(pszPasswd)) return call.invalid(kNoPassword);
        if (!hasBytes(pEncPriKey)) return call.invalid("복호화할 개인키(pEncPriKey)를 지정해 주세요."_cp949);
        if (pPriKey == nullptr) return call.invalid("pPriKey의 포인터가 NULL 입니다."_cp949);
        PPKCS8 pkcs8;
        pkcs8.setPassword(pszPasswd);
        ByteString priKey;
        switch (pkcs8.getPrivateKeyInfo(bytesOf(pEncPriKey), priKey)) {
            case 0:
                return call.putBytes(pPriKey, priKey, "priKey");
            case PPKCS8::kNotEncryptedKey:
                return call.fail(QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY, "암호화된 개인키가 아닙니다."_cp949);
            case PPKCS8::kDecryptFailed:
                return call.fail(QELT_ERR_PRIKEY_PASSWORD, kWrongPassword);
            default:
                return call.failCore(QELT_ERR_ENCPRIKEY_INVALID, kBadEncKey, pkcs8);
        }
    });
}

QELT_EXPORT int QELT_PRIKEY_ChangePasswd(void* pCtx, char* pszOldPasswd, char* pszNewPasswd, BINSTR* pEncPriKey,
                                         BINSTR* pNewPriKey) {
    return api::run(pCtx, "QELT_PRIKEY_ChangePasswd", [&](ApiCall& call) {
        if (!hasText(pszOldPasswd)) return call.invalid("기존 개인키 비밀번호 정보가 없습니다."_cp949);
        if (!hasText(pszNewPasswd)) return call.invalid("새 개인키 비밀번호 정보가 없습니다."_cp949);
        if (!hasBytes(pEncPriKey)) return call.invalid("비밀번호를 변경할 개인키(pEncPriKey)를 지정해 주세요."_cp949);
        if (pNewPriKey == nullptr) return call.invalid("pNewPriKey의 포인터가 NULL 입니다."_cp949);
        // One object decrypts and re-encrypts, so the new key keeps the old
        // scheme, iteration count and (for PBES2) IV; only the salt changes.
        PPKCS8 pkcs8;
        pkcs8.setPassword(pszOldPasswd);
        ByteString priKey;
        switch (pkcs8.getPrivateKeyInfo(bytesOf(pEncPriKey), priKey)) {
            case 0:
                break;
            case PPKCS8::kNotEncryptedKey:
                return call.fail(QELT_ERR_ENCPRIKEY_INVALID, kBadEncKey);
            case PPKCS8::kDecryptFailed:
                return call.fail(QELT_ERR_PRIKEY_PASSWORD, kWrongPassword);
            default:
                return call.failCore(QELT_ERR_ENCPRIKEY_INVALID, kBadEncKey, pkcs8);
        }
        pkcs8.setPassword(pszNewPasswd);
        return encryptInto(call, pkcs8, priKey, pNewPriKey);
    });
}

QELT_EXPORT int QELT_VID_GetRandomFromPriKey(void* pCtx, BINSTR* pPriKey, BINSTR* pRandom) {
    return api::run(pCtx, "QELT_VID_GetRandomFromPriKey", [&](ApiCall& call) {
        if (!hasBytes(pPriKey)) return call.invalid("개인키를 지정해 주세요."_cp949);
        if (pRandom == nullptr) return call.invalid("pRandom의 포인터가 NULL입니다."_cp949);
        ByteString priKey = bytesOf(pPriKey), random;
        PPrivateKey key;
        switch (key.getRandomNumber(priKey, random, true)) {
            case 0:
                return call.putBytes(pRandom, random, "priKey");
            case PPrivateKey::kNoRandomNumber:
                return call.fail(QELT_ERR_VID_NO_RANDOM, "개인키에 랜덤정보가 없습니다."_cp949);
            case PPrivateKey::kNotPrivateKeyInfo:
                return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, kNotDecryptedKey);
            default:
                return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, key);
        }
    });
}
