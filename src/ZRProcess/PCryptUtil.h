// PCryptUtil: checks that combine a private key with a certificate.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PCryptUtil : public ErrorHolder {
public:
    // The key-pair test: signs a fixed text with the private key (SHA-1) and
    // verifies it with the certificate's key. 0 when they belong together;
    // 1 when signing fails (label "privateKey"), 2 when verifying fails
    // (label "publicKey").
    [[nodiscard]] int verifySignatureWithCert(const ByteString& cert, const ByteString& privateKeyInfo);
};

}  // namespace qelt
