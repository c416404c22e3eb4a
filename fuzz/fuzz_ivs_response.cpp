// Arbitrary bytes as an identity-verification server's answer to a request
// with a fixed nonce, through the reader of both message types: every input
// gives 0 or a code, never a crash. When the reading succeeds, the signature
// is checked against the certificate the answer presents and the response
// code is mapped. The seeds are answers signed as the test server signs them,
// with the nonce below.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/ivs_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 18)) return 0;
    using namespace qelt;
    static const ByteString nonce("bm9uY2Vub25jZW5vbmNlbm9uY2U=");
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    for (ivs::MessageType type : {ivs::MessageType::CertificateValidation, ivs::MessageType::IdentityVerification}) {
        ivs::Response response;
        ivs::Failure failure;
        const int rc = response.read(body, type, nonce, failure);
        if ((rc == 0) != (failure.code == 0)) std::abort();
        if (rc != 0) continue;
        if (response.verifySignature(response.certificate(), failure) == 0) {
            const int verdict = response.result(failure);
            if (verdict != 0 && failure.code != verdict) std::abort();
        }
    }
    return 0;
}
