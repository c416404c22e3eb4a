// PEM: the any-label decoder and the typed decoder of every type on arbitrary
// text; a PEM text we produce always decodes back to its data.
#include <cstdint>
#include <cstdlib>

#include "util/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    qelt::ByteString text(data, static_cast<int>(size));
    qelt::ByteString out;
    qelt::pemDecode(text, out);
    for (int type = 0; type <= 10; ++type) qelt::pemDecodeTyped(type, text, out);

    const int type = size > 0 ? data[0] % 10 : 0;
    qelt::ByteString pem, back;
    if (size > 0) {
        if (qelt::pemEncode(type, text, pem) != 0) std::abort();
        if (qelt::pemDecodeTyped(type, pem, back) != 0 || !back.equals(text)) std::abort();
        if (qelt::pemDecode(pem, back) != 0 || !back.equals(text)) std::abort();
    }
    return 0;
}
