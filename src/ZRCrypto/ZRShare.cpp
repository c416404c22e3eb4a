#include "ZRCrypto/ZRShare.h"

#include <algorithm>
#include <new>

#include "ZRCrypto/engine/zcap_result.h"
#include "ZRCrypto/engine/zcap_share.h"

namespace qelt {

int ZRShare::Encode(const ByteString& secret, std::vector<ByteString>& shares, int n, int k) {
    const long long shareLen = 2LL * secret.length();
    const long long total = (shareLen + 1) * (n > 0 ? n : 0);
    ByteString out;
    if (total > 0x7FFFFFFF || out.allocZero(static_cast<int>(total)) != ByteString::kOk)
        return fail("ZRShare", "Encode", "pOutKey", 1, "The memory allocation is failed.");
    const int rc = ZCAP_SecretShareEncode(secret.data(), static_cast<size_t>(secret.length()), n, k, out.data(),
                                          static_cast<size_t>(out.capacity()));
    if (rc != ZCAP_OK) return fail("ZRShare", "Encode", "ZCAP_SecretShareEncode", 2, ZCAP_GetResultText(rc));
    try {
        shares.assign(static_cast<size_t>(n), ByteString());
    } catch (const std::bad_alloc&) {
        return fail("ZRShare", "Encode", "pOutKey", 1, "The memory allocation is failed.");
    }
    for (int i = 0; i < n; ++i)
        if (shares[i].set(out.data() + i * shareLen, static_cast<int>(shareLen)) != ByteString::kOk)
            return fail("ZRShare", "Encode", "pOutKey", 1, "The memory allocation is failed.");
    return 0;
}

int ZRShare::Decode(const std::vector<ByteString>& shares, int m, ByteString& secret) {
    ByteString joined;
    const int count = m < 0 ? 0 : std::min<int>(m, static_cast<int>(shares.size()));
    for (int i = 0; i < count; ++i) {
        joined.append(shares[i]);
        if (joined.status() != ByteString::kOk)
            return fail("ZRShare", "Decode", "pOutKey", 1, "The memory allocation is failed.");
    }
    ByteString out;
    const int firstLen = count > 0 ? shares[0].length() : 0;
    if (out.allocZero(firstLen) != ByteString::kOk)
        return fail("ZRShare", "Decode", "pOutKey", 1, "The memory allocation is failed.");
    size_t outLen = 0;
    const int rc = ZCAP_SecretShareDecode(joined.data(), static_cast<size_t>(joined.length()), count, out.data(),
                                          static_cast<size_t>(out.capacity()), &outLen);
    if (rc != ZCAP_OK) return fail("ZRShare", "Decode", "ZCAP_SecretShareDecode", 2, ZCAP_GetResultText(rc));
    if (secret.set(out.data(), static_cast<int>(outLen)) != ByteString::kOk)
        return fail("ZRShare", "Decode", "pOutKey", 1, "The memory allocation is failed.");
    return 0;
}

}  // namespace qelt
