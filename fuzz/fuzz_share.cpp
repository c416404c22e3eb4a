// Key sharing: uniting arbitrary share bytes must never read out of bounds,
// and splitting a short input and uniting the first k shares must give it back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ZRCrypto/engine/zcap_result.h"
#include "ZRCrypto/engine/zcap_share.h"

using namespace qelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int m = data[0] % 8 + 1;
    const int n = data[1] % kMaxSecretShares + 1;
    const int k = data[2] % n + 1;
    data += 3;
    size -= 3;

    std::vector<uint8_t> out(size / 2 + 1);
    size_t outLen = 0;
    ZCAP_SecretShareDecode(data, size, m, out.data(), out.size(), &outLen);

    const size_t secretLen = size < 32 ? size : 32;
    if (secretLen == 0) return 0;
    std::vector<uint8_t> shares(static_cast<size_t>(n) * 2 * secretLen);
    if (ZCAP_SecretShareEncode(data, secretLen, n, k, shares.data(), shares.size()) != ZCAP_OK) abort();
    std::vector<uint8_t> restored(secretLen);
    if (ZCAP_SecretShareDecode(shares.data(), static_cast<size_t>(k) * 2 * secretLen, k, restored.data(),
                               restored.size(), &outLen) != ZCAP_OK ||
        outLen != secretLen || std::memcmp(restored.data(), data, secretLen) != 0)
        abort();
    return 0;
}
