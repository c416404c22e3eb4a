// QELT_CRYPT_Hash: the digest of a byte string with an API hash code.
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

QELT_EXPORT int QELT_CRYPT_Hash(void* pCtx, int nAlg, BINSTR* pTBHData, BINSTR* pDigest) {
    return api::run(pCtx, "QELT_CRYPT_Hash", [&](ApiCall& call) {
        if (!hasBytes(pTBHData)) return call.invalid("해쉬값을 생성할 데이터(pTBHData)를 지정해 주세요."_cp949);
        if (pDigest == nullptr) return call.nullOutput("pDigest");
        const auto alg = hashAlgOfApiCode(nAlg);
        if (!alg) return call.fail(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
        // Hash straight from the caller's record: no copy of a possibly large input.
        ZRHash hash;
        ByteString digest;
        if (hash.DigestData_Init(*alg) != 0 || hash.DigestData_Update(pTBHData->pVal, pTBHData->nLen) != 0 ||
            hash.DigestData_Final(digest) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hash);
        return call.putBytes(pDigest, digest, "digest");
    });
}
