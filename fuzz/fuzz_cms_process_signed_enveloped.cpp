// Opening attacker-chosen SignedAndEnvelopedData with a fixed recipient
// certificate and key, through the exported function: every input gives 0 or
// a code, never a crash; what opens gives a signer certificate and leaves the
// message's key in the context.
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
    BINSTR out{nullptr, 0}, signer{nullptr, 0};
    if (QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &key, &msg, &out, &signer) == 0) {
        if (signer.nLen <= 0) std::abort();
        int alg = 0;
        BINSTR cek{nullptr, 0}, iv{nullptr, 0};
        if (QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek, &iv) != 0) std::abort();
        QELT_BINSTR_Delete(&cek);
        QELT_BINSTR_Delete(&iv);
    }
    QELT_BINSTR_Delete(&out);
    QELT_BINSTR_Delete(&signer);
    return 0;
}
