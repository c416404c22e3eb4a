// QELT_KEY_Share / QELT_KEY_Unite: threshold sharing of a key.
#include <new>
#include <vector>

#include "ZRCrypto/ZRShare.h"
#include "ZRCrypto/engine/zcap_share.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {
// A threshold is the number of coefficients drawn per key byte; beyond the
// field's 255 non-zero elements a larger one buys nothing and only costs time.
constexpr int kMaxThreshold = 255;
}  // namespace

QELT_EXPORT int QELT_KEY_Share(void* pCtx, BINSTR* pKey, int nShareCnt, int nRequireCnt, BINSTR* pSharedKey) {
    return api::run(pCtx, "QELT_KEY_Share", [&](ApiCall& call) {
        if (!hasBytes(pKey)) return call.invalid("분할할 키(pKey)를 지정하세요."_cp949);
        if (nShareCnt < 1) return call.invalid("총 분할할 키의 갯수(nShareCnt)를 지정하세요."_cp949);
        // Each share needs its own odd point in 1..127 at every byte: 64 at most.
        if (nShareCnt > kMaxSecretShares)
            return call.invalid("총 분할할 키의 갯수(nShareCnt)는 64 이하로 지정하세요."_cp949);
        if (nRequireCnt < 1) return call.invalid("키 복구 시 필요한 갯수(nRequireCnt)를 지정하세요."_cp949);
        if (nRequireCnt > kMaxThreshold)
            return call.invalid("키 복구 시 필요한 갯수(nRequireCnt)는 255 이하로 지정하세요."_cp949);
        if (pSharedKey == nullptr) return call.nullOutput("pSharedKey");
        std::vector<ByteString> shares;
        try {
            shares.reserve(static_cast<size_t>(nShareCnt));
        } catch (const std::bad_alloc&) {
            return call.noMemory("pOutKey");
        }
        ZRShare share;
        if (share.Encode(bytesOf(pKey), shares, nShareCnt, nRequireCnt) != 0)
            return call.failCore(QELT_ERR_KEY_SHARE, "키를 분할하는데 실패하였습니다."_cp949, share);
        for (int i = 0; i < nShareCnt; ++i)
            if (const int rc = call.putBytes(&pSharedKey[i], shares[static_cast<size_t>(i)], "pSharedKey"); rc != 0)
                return rc;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_KEY_Unite(void* pCtx, BINSTR* pSharedKey, int nSharedCnt, BINSTR* pKey) {
    return api::run(pCtx, "QELT_KEY_Unite", [&](ApiCall& call) {
        constexpr const char* kNoShare = "분할된 키(pKey)를 지정하세요."_cp949;
        if (pSharedKey == nullptr) return call.invalid(kNoShare);
        for (int i = 0; i < nSharedCnt; ++i)
            if (!hasBytes(&pSharedKey[i])) return call.invalid(kNoShare);
        if (nSharedCnt < 1) return call.invalid("키 갯수(nSharedCnt)를 지정하세요."_cp949);
        if (pKey == nullptr) return call.nullOutput("pKey");
        std::vector<ByteString> shares;
        try {
            shares.reserve(static_cast<size_t>(nSharedCnt));
            for (int i = 0; i < nSharedCnt; ++i) shares.push_back(bytesOf(&pSharedKey[i]));
        } catch (const std::bad_alloc&) {
            return call.noMemory("pInKey");
        }
        ZRShare share;
        ByteString key;
        if (share.Decode(shares, nSharedCnt, key) != 0)
            return call.failCore(QELT_ERR_KEY_UNITE, "분할된 키를 통합하는데 실패하였습니다."_cp949, share);
        return call.putBytes(pKey, key, "pKey");
    });
}
