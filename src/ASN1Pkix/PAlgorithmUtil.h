// PAlgorithmUtil: conversions between algorithm codes (with mode codes) and
// object identifiers, the OIDs written as decimal arcs separated by single
// blanks ("1 2 840 113549 2 5"). Methods return 0 or a small positive code and
// leave a location record of class "PAlgorithmUtil".
//
// The methods that build or parse AlgorithmIdentifier records (signature,
// digest and cipher identifiers) sit on the ASN.1 record classes and join this
// class with them.
#pragma once

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
};

}  // namespace qelt
