// Base64: decoding never reads out of bounds, and whatever decodes re-encodes
// to the same text it came from when that text was canonical.
#include <cstdint>
#include <cstdlib>

#include "util/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    qelt::ByteString text(data, static_cast<int>(size));
    qelt::ByteString bytes;
    if (qelt::base64Decode(text, bytes) == 0) {
        qelt::ByteString again, twice;
        if (qelt::base64Encode(bytes, again) != 0 || qelt::base64Decode(again, twice) != 0) std::abort();
        if (!twice.equals(bytes)) std::abort();
    }
    qelt::ByteString encoded, decoded;
    if (qelt::base64Encode(text, encoded) != 0 || qelt::base64Decode(encoded, decoded) != 0 || !decoded.equals(text))
        std::abort();
    return 0;
}
