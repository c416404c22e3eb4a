// ZRShare: splits a key into n shares (any k restore it) and unites shares
// again, framing the engine's GF(2^8) threshold sharing.
#pragma once

#include <vector>

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class ZRShare : public ErrorHolder {
public:
    // n shares of 2 * secret.length() bytes into `shares` (resized to n).
    // Returns 0, 1 (no memory) or 2 (engine failure, e.g. n above 64).
    [[nodiscard]] int Encode(const ByteString& secret, std::vector<ByteString>& shares, int n, int k);
    // The secret from m shares in the given order. Returns 0, 1 (no memory) or
    // 2 (engine failure: lengths that do not divide, damaged or repeated shares).
    [[nodiscard]] int Decode(const std::vector<ByteString>& shares, int m, ByteString& secret);
};

}  // namespace qelt
