// Arbitrary bytes as a WapEnvelopedData opened with a fixed RSA-1024
// recipient (the EnvelopedData target's certificate and key; the seeds are
// messages made for it): every input gives 0 or a code, never a crash; an
// opened message leaves its key as the context's session key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_cms_recipient_key.h"
#include "fuzz_support.h"
#include "qeltapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 17)) return 0;
    using namespace qelt::fuzz;
    void* ctx = qelt_fuzz::context();
    BINSTR cert = qelt_fuzz::view(kRecipientCert, sizeof kRecipientCert);
    BINSTR key = qelt_fuzz::view(kRecipientKey, sizeof kRecipientKey);
    BINSTR msg = qelt_fuzz::view(data, size);
    BINSTR out{nullptr, 0};
    if (QELT_WCMS_ProcessWapEnvelopedData(ctx, &cert, &key, &msg, &out) == 0) {
        int alg = 0;
        BINSTR cek{nullptr, 0}, iv{nullptr, 0};
        if (QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek, &iv) != 0 || cek.nLen <= 0) std::abort();
        QELT_BINSTR_Delete(&cek);
        QELT_BINSTR_Delete(&iv);
    }
    QELT_BINSTR_Delete(&out);
    return 0;
}
