// Arbitrary challenge-response pairs through QELT_SIGEA_VerifyResponse: the
// first octet gives the length of the challenge that follows, the rest is the
// response. Every input gives 0 or a code; an accepted response hands back a
// certificate, and the same response is refused for any other challenge.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "qeltapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 16)) return 0;
    const size_t challengeLen = data[0];
    if (size < 1 + challengeLen) return 0;
    void* ctx = qelt_fuzz::context();
    BINSTR challenge = qelt_fuzz::view(data + 1, challengeLen);
    BINSTR response = qelt_fuzz::view(data + 1 + challengeLen, size - 1 - challengeLen);
    BINSTR cert{nullptr, 0};
    if (QELT_SIGEA_VerifyResponse(ctx, &response, &challenge, &cert) == 0) {
        if (cert.nLen <= 0) std::abort();
        // A fresh challenge: the response cannot have been made for it.
        BINSTR other{nullptr, 0}, again{nullptr, 0};
        if (QELT_SIGEA_MakeChallenge(ctx, &other) != 0) std::abort();
        if (QELT_SIGEA_VerifyResponse(ctx, &response, &other, &again) == 0) std::abort();
        QELT_BINSTR_Delete(&other);
        QELT_BINSTR_Delete(&again);
    }
    QELT_BINSTR_Delete(&cert);
    return 0;
}
