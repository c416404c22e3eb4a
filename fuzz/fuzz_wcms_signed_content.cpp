// Arbitrary bytes as a WAP SignedContent through both processing functions:
// every input gives 0 or a code, never a crash or a leak, and the two forms
// agree on the verdict, the content, the signer and the signing time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "qeltapi.h"

namespace {
bool same(const BINSTR& a, const BINSTR& b) {
    return a.nLen == b.nLen && (a.nLen == 0 || std::memcmp(a.pVal, b.pVal, static_cast<size_t>(a.nLen)) == 0);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 18)) return 0;
    void* ctx = qelt_fuzz::context();
    BINSTR msg = qelt_fuzz::view(data, size);
    BINSTR d1{nullptr, 0}, s1{nullptr, 0}, d2{nullptr, 0}, s2{nullptr, 0};
    char text[32];
    int seconds = 0;
    const int rc1 = QELT_WCMS_ProcessSignedContent(ctx, &msg, &d1, &s1, text);
    const int rc2 = QELT_WCMS_ProcessSignedContent2(ctx, &msg, &d2, &s2, &seconds);
    // The seconds form alone refuses times past 2038 that the text form can give.
    if ((rc1 == 0) != (rc2 == 0) && rc2 != QELT_ERR_TIME_FORMAT) std::abort();
    if (rc1 == 0 && rc2 == 0) {
        if (!same(d1, d2) || !same(s1, s2) || s1.nLen <= 0 || std::strlen(text) != 14) std::abort();
    }
    QELT_BINSTR_Delete(&d1);
    QELT_BINSTR_Delete(&s1);
    QELT_BINSTR_Delete(&d2);
    QELT_BINSTR_Delete(&s2);
    return 0;
}
