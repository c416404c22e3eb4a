// The OCSP client's response processing over arbitrary bytes: decoding,
// signature verification with the included certificate, single responses and
// the nonce check. No crash; a success always hands out a responder certificate.
#include <cstdlib>

#include "net/ocsp_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qelt::ByteString response(data, static_cast<int>(size));
    qelt::ServiceFailure failure;
    qelt::ocsp::OcspRevocation revocation;
    qelt::ByteString responderCert;
    // Without a nonce (as for the seeds) and with one nobody answered.
    int rc = qelt::ocsp::processOCSPResponse(response, qelt::ByteString(), revocation, responderCert, failure);
    if (rc == 0 && responderCert.isEmpty()) std::abort();
    if (rc != 0 && rc != failure.code) std::abort();
    rc = qelt::ocsp::processOCSPResponse(response, qelt::ByteString("\x01\x02\x03\x04\x05\x06\x07\x08", 8), revocation,
                                         responderCert, failure);
    if (rc != 0 && rc != failure.code) std::abort();
    return 0;
}
