// QELT_CRYPT_GenRandom: random bytes from the library's generator, with the
// continuous test that disables a context whose generator repeats itself.
#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

QELT_EXPORT int QELT_CRYPT_GenRandom(void* pCtx, int nLen, BINSTR* pRandom) {
    return api::run(pCtx, "QELT_CRYPT_GenRandom", [&](ApiCall& call) {
        if (nLen < 1) return call.invalid("생성할 랜덤키의 길이를 지정하세요."_cp949);
        ZRRandom rng;
        ByteString first, second;
        if (rng.GenerateRandom(ALG_RANDOM, nLen, first) != 0 || rng.GenerateRandom(ALG_RANDOM, nLen, second) != 0)
            return call.failCore(QELT_ERR_RANDOM, "랜덤값을 생성하는데 실패하였습니다."_cp949, rng);
        // Conditional test: two consecutive blocks must differ. A generator
        // that repeats itself is not trusted again through this context.
        if (first == second) {
            call.ctx().bInitialized = 0;
            return call.fail(QELT_ERR_RANDOM, "PRNG Conditional test failed.");
        }
        return call.putBytes(pRandom, second, "pRandom");
    });
}
