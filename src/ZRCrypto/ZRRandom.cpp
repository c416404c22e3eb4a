#include "ZRCrypto/ZRRandom.h"

#include <climits>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_random.h"
#include "ZRCrypto/engine/zcap_result.h"

namespace qelt {

int ZRRandom::GenerateRandom(int nAlg, int nLen, ByteString& out) {
    const auto engineId = engineIdOf(nAlg);
    if (!engineId) {
        ByteString message;
        message.format("The AlgID(%d) does not supported.", nAlg);
        return fail("ZRRandom", "GenerateRandom", "nAlg", 1, message.c_str());
    }
    out.clear();
    if (nLen < 1) return 0;
    ByteString random;
    if (nLen == INT_MAX || random.allocZero(nLen + 1) != ByteString::kOk)
        return fail("ZRRandom", "GenerateRandom", "ucRandom", 3, "The memory allocation is failed.");
    const int rc = ZCAP_GenerateRandom(*engineId, random.data(), static_cast<size_t>(nLen));
    if (rc != ZCAP_OK) return fail("ZRRandom", "GenerateRandom", "ZCAP_GenerateRandom", 2, ZCAP_GetResultText(rc));
    if (out.set(random.data(), nLen) != ByteString::kOk)
        return fail("ZRRandom", "GenerateRandom", "ucRandom", 3, "The memory allocation is failed.");
    return 0;
}

}  // namespace qelt
