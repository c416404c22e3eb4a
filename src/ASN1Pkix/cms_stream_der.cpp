#include "ASN1Pkix/cms_stream_der.h"

namespace qelt::der {

size_t lengthSize(long long len) {
    if (len < 0 || len > 0xFFFFFFFFLL) return 0;
    if (len < 0x80) return 1;
    size_t n = 0;
    for (long long v = len; v > 0; v >>= 8) ++n;
    return 1 + n;
}

size_t encodeLength(long long len, uint8_t* out) {
    const size_t total = lengthSize(len);
    if (total == 0) return 0;
    if (total == 1) {
        out[0] = static_cast<uint8_t>(len);
        return 1;
    }
    const size_t n = total - 1;
    out[0] = static_cast<uint8_t>(0x80 | n);
    for (size_t i = 0; i < n; ++i) out[1 + i] = static_cast<uint8_t>(len >> (8 * (n - 1 - i)));
    return total;
}

bool readLength(const uint8_t* buf, size_t& pos, size_t& remaining, size_t& len, size_t* consumed) {
    if (remaining == 0) return false;
    const uint8_t first = buf[pos];
    if (first < 0x80) {
        len = first;
        ++pos;
        --remaining;
        if (consumed != nullptr) *consumed = 1;
        return true;
    }
    const size_t n = first & 0x7F;
    // 0x80 is the indefinite form; more than four octets is more than any file here.
    if (n == 0 || n > 4 || n + 1 > remaining) return false;
    size_t value = 0;
    for (size_t i = 1; i <= n; ++i) value = (value << 8) | buf[pos + i];
    len = value;
    pos += n + 1;
    remaining -= n + 1;
    if (consumed != nullptr) *consumed = n + 1;
    return true;
}

}  // namespace qelt::der
