// QELT_CRYPT_GenMAC / QELT_CRYPT_VerifyMAC: HMAC keyed by a text (its bytes
// without the terminating NUL).
#include <cstring>

#include "ZRCrypto/ZRMac.h"
#include "ZRCrypto/algorithm_ids.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {
constexpr const char* kNoKey = "비밀키 정보를 넣어주세요"_cp949;
constexpr const char* kBadAlg = "지원되지 않는 MAC 알고리즘입니다."_cp949;

ByteString keyOf(const char* pszKey) { return ByteString(pszKey, static_cast<int>(std::strlen(pszKey))); }
}  // namespace

QELT_EXPORT int QELT_CRYPT_GenMAC(void* pCtx, int nAlg, const char* pszKey, BINSTR* pTBMData, BINSTR* pMAC) {
    return api::run(pCtx, "QELT_CRYPT_GenMAC", [&](ApiCall& call) {
        if (!hasText(pszKey)) return call.invalid(kNoKey);
        if (!hasBytes(pTBMData)) return call.invalid("MAC 값을 생성할 데이터(pTBMData)를 지정해 주세요."_cp949);
        if (pMAC == nullptr) return call.nullOutput("pMAC");
        const auto alg = macAlgOfApiCode(nAlg);
        if (!alg) return call.fail(QELT_ERR_MAC_ALGORITHM, kBadAlg);
        ZRMac mac;
        ByteString out;
        if (mac.GenerateMAC(*alg, keyOf(pszKey), bytesOf(pTBMData), out) != 0)
            return call.failCore(QELT_ERR_MAC_GENERATE, "MAC값을 생성하는데 실패하였습니다."_cp949, mac);
        return call.putBytes(pMAC, out, "mac");
    });
}

QELT_EXPORT int QELT_CRYPT_VerifyMAC(void* pCtx, int nAlg, const char* pszKey, BINSTR* pData, BINSTR* pMAC) {
    return api::run(pCtx, "QELT_CRYPT_VerifyMAC", [&](ApiCall& call) {
        if (!hasText(pszKey)) return call.invalid(kNoKey);
        if (!hasBytes(pData)) return call.invalid("MAC 생성 시 사용되었던 원본 데이터(pData)를 지정해 주세요."_cp949);
        if (!hasBytes(pMAC)) return call.invalid("MAC 값(pMAC)을 지정해 주세요."_cp949);
        const auto alg = macAlgOfApiCode(nAlg);
        if (!alg) return call.fail(QELT_ERR_MAC_ALGORITHM, kBadAlg);
        ZRMac mac;
        if (mac.VerifyMAC(*alg, keyOf(pszKey), bytesOf(pData), bytesOf(pMAC)) != 0)
            return call.failCore(QELT_ERR_MAC_VERIFY, "MAC값을 검증하는데 실패하였습니다."_cp949, mac);
        return QELT_OK;
    });
}
