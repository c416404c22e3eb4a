// Opening attacker-chosen EnvelopedData with a fixed recipient certificate and
// key, through the exported functions: every input gives 0 or a code, never a
// crash; what opens gives a non-empty content and the message's key is left in
// the context; listing the recipients of any accepted message works.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_cms_recipient_key.h"
#include "fuzz_support.h"
#include "qeltapi.h"

namespace {

using qelt_fuzz::context;
using qelt_fuzz::view;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt::fuzz;
    void* ctx = context();
    BINSTR cert = view(kRecipientCert, sizeof kRecipientCert);
    BINSTR key = view(kRecipientKey, sizeof kRecipientKey);
    BINSTR msg = view(data, size);
    BINSTR out{nullptr, 0};
    if (QELT_CMS_ProcessEnvelopedData(ctx, &cert, &key, &msg, &out) == 0) {
        if (out.nLen <= 0) std::abort();
        int alg = 0;
        BINSTR cek{nullptr, 0}, iv{nullptr, 0};
        if (QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek, &iv) != 0) std::abort();
        QELT_BINSTR_Delete(&cek);
        QELT_BINSTR_Delete(&iv);
    }
    QELT_BINSTR_Delete(&out);
    int count = 0;
    if (QELT_CMS_ProcessEnvelopedData2(ctx, &msg, &count) == 0) {
        char a[512], b[512], c[512];
        for (int i = 0; i < count; ++i) {
            const int rc = QELT_CMS_GetRecipient(ctx, i, sizeof a, a, b, c);
            if (rc != 0 && rc != QELT_ERR_BUFFER_TOO_SMALL) std::abort();
        }
    }
    return 0;
}
