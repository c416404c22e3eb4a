// PAlgorithmUtil: conversions between algorithm codes (with mode codes) and
// object identifiers, the OIDs written as decimal arcs separated by single
// blanks ("1 2 840 113549 2 5"). Methods return 0 or a small positive code and
// leave a location record of class "PAlgorithmUtil".
// The make*/parse* methods build and read AlgorithmIdentifier records for
// digests, signatures and ciphers with their parameters.
#pragma once

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PAlgorithmUtil : public ErrorHolder {
public:
    // Algorithm code and mode code -> OID.
    [[nodiscard]] int code2oid(int nAlg, ByteString& oid, int nMode);
    // OID -> algorithm code and, for ciphers, mode code. pMode may be null only
    // for hash and HMAC OIDs; nParamVer is the RC2 parameter version (160 for
    // 40-bit RC2, the only one accepted).
    [[nodiscard]] int oid2code(const char* oid, int* pAlg, int* pMode, int nParamVer);

    // Signature algorithm of a key algorithm OID with a hash algorithm code.
    [[nodiscard]] int makeSignAlgID(const char* keyAlgOid, int nHashAlg, RAlgorithmIdentifier& signAlg);
    // The signature algorithm field of a CMS SignerInfo.
    [[nodiscard]] int makeDigestEncAlgID(const char* keyAlgOid, int nHashAlg, RAlgorithmIdentifier& digestEncAlg);
    // Hash algorithm code that a signature algorithm identifier implies.
    [[nodiscard]] int getHashAlgFromSignAlg(const RAlgorithmIdentifier& signAlg, int& nHashAlg);
    // Digest identifier from a hash algorithm code.
    [[nodiscard]] int makeAlgorithmID(int nAlg, RAlgorithmIdentifier& digestAlg);
    // Digest identifier from a digest OID.
    [[nodiscard]] int makeDigestAlgID(const char* oid, RAlgorithmIdentifier& digestAlg);
    // Hash algorithm code of a digest identifier.
    [[nodiscard]] int parseHashAlgID(const RAlgorithmIdentifier& hashAlg, int& nHashAlg);
    // Cipher identifier with its parameters: the IV as an OCTET STRING, or an
    // RC2-CBC-Parameter (version 160) for RC2.
    [[nodiscard]] int makeSymmetricAlgID(int nAlg, int nMode, const ByteString& iv, RAlgorithmIdentifier& symAlg);
};

}  // namespace qelt
