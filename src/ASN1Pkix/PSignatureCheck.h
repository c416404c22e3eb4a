// PSignatureCheck: verifies the signature of a signed DER structure (a
// certificate's or a CRL's to-be-signed part) with a SubjectPublicKeyInfo,
// through the crypto layer.
//
// The signature algorithm names the hash and the key family; a key of another
// family than the algorithm's is refused before any arithmetic. The signed
// octets are hashed where they lie (a CRL of several megabytes is not copied).
#pragma once

#include <span>

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PSignatureCheck : public ErrorHolder {
public:
    // 0 when `signature` is a valid signature of `signedBytes` under `publicKeyInfo`
    // (encoded SubjectPublicKeyInfo); 1 unknown signature algorithm; 2 the key
    // does not fit the algorithm or is not supported; 3 the signature does not verify.
    [[nodiscard]] int verify(const RSubjectPublicKeyInfo& publicKeyInfo, const RAlgorithmIdentifier& signatureAlgorithm,
                             std::span<const uint8_t> signedBytes, const ASN1BitString& signature);
    [[nodiscard]] int verify(const ByteString& publicKeyInfo, const RAlgorithmIdentifier& signatureAlgorithm,
                             std::span<const uint8_t> signedBytes, const ASN1BitString& signature);

private:
    // The algorithm code and engine key of `publicKeyInfo` for a signature of `row`.
    int engineKey(const RSubjectPublicKeyInfo& publicKeyInfo, const struct SignatureAlgorithmRow& row, int& alg,
                  ByteString& key);
};

}  // namespace qelt
