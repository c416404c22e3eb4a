// Arbitrary bytes processed as a SignedData, with and without external
// content: every call must answer 0 or a code, never crash or leak; after a
// success the signer getters read back what the processing left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "qeltapi.h"

using qelt_fuzz::context;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1 << 20)) return 0;
    void* ctx = context();
    BINSTR in{nullptr, 0};
    if (QELT_BINSTR_SetData(data, static_cast<int>(size), &in) != 0) return 0;
    for (int detached = 0; detached < 2; ++detached) {
        BINSTR content{nullptr, 0}, cert{nullptr, 0};
        if (detached) QELT_BINSTR_SetData(reinterpret_cast<const unsigned char*>("content"), 7, &content);
        char when[32];
        const int rc = QELT_CMS_ProcessSignedData(ctx, &in, &content, &cert, when);
        if (rc == 0) {
            int count = 0;
            BINSTR again{nullptr, 0};
            if (QELT_CMS_ProcessSignedData2(ctx, &in, &again, &count) != 0 || count < 1) std::abort();
            for (int i = 0; i <= count; ++i) {
                BINSTR c{nullptr, 0};
                int t = 0;
                const int g = QELT_CMS_GetSigner2(ctx, i, &c, &t);
                if ((g == 0) != (i < count)) std::abort();
                QELT_BINSTR_Delete(&c);
            }
            BINSTR caPubs{nullptr, 0};
            (void)QELT_CMS_GetSignerCaPubs(ctx, &caPubs);
            QELT_BINSTR_Delete(&caPubs);
            QELT_BINSTR_Delete(&again);
        }
        QELT_BINSTR_Delete(&content);
        QELT_BINSTR_Delete(&cert);
    }
    QELT_BINSTR_Delete(&in);
    return 0;
}
