#include "ZRCrypto/ZRMac.h"

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_mac.h"
#include "ZRCrypto/engine/zcap_result.h"

namespace qelt {

namespace {
int unsupported(ErrorHolder& self, const char* method, int nAlg) {
    ByteString message;
    message.format("The AlgID(%d) does not supported.", nAlg);
    return self.fail("ZRMac", method, "nAlg", 1, message.c_str());
}
}  // namespace

int ZRMac::GenerateMAC(int nAlg, const ByteString& key, const ByteString& data, ByteString& mac) {
    const auto engineId = engineIdOf(nAlg);
    if (!engineId) return unsupported(*this, "GenerateMAC", nAlg);
    uint8_t out[64];  // larger than any MAC the engine makes
    size_t outLen = sizeof out;
    const int rc = ZCAP_GenerateMAC(key.data(), static_cast<size_t>(key.length()), *engineId, out, &outLen, data.data(),
                                    static_cast<size_t>(data.length()));
    if (rc != ZCAP_OK) return fail("ZRMac", "GenerateMAC", "ZCAP_GenerateMAC", 2, ZCAP_GetResultText(rc));
    const int stored = mac.set(out, static_cast<int>(outLen));
    secureWipe(out, sizeof out);
    if (stored != ByteString::kOk) return fail("ZRMac", "GenerateMAC", "mac", 2, "The memory allocation is failed.");
    return 0;
}

int ZRMac::VerifyMAC(int nAlg, const ByteString& key, const ByteString& data, const ByteString& mac) {
    const auto engineId = engineIdOf(nAlg);
    if (!engineId) return unsupported(*this, "VerifyMAC", nAlg);
    const int rc = ZCAP_VerifyMAC(key.data(), static_cast<size_t>(key.length()), *engineId, mac.data(),
                                  static_cast<size_t>(mac.length()), data.data(), static_cast<size_t>(data.length()));
    if (rc != ZCAP_OK) return fail("ZRMac", "VerifyMAC", "ZCAP_VerifyMAC", 2, ZCAP_GetResultText(rc));
    return 0;
}

}  // namespace qelt
