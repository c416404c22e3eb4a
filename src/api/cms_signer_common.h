// Helpers shared by the CMS functions that sign: the hash a signer uses.
#pragma once

#include "ASN1Pkix/x509_certificate.h"
#include "api/api_call.h"

namespace qelt::cms {

// The hash a signer uses: the context's (QELT_API_SetHashAlgo) when set, else
// the one of the signer certificate's own signature algorithm. 0, or the
// recorded code (1200 unreadable certificate, 1803 unknown algorithm).
int chooseSignerHash(ApiCall& call, const ByteString& cert, int& hash);
// The same for a certificate the caller has decoded.
int chooseSignerHash(ApiCall& call, const RCertificate& cert, int& hash);

}  // namespace qelt::cms
