// verifyCRL: the CRL verification the verification service runs for each
// certificate of a path. It takes a CRL (from the cache or the directory),
// runs the checker's checks, compares the CRL's times with the reference time
// (the context's validation time, or now) and looks the certificate up.
//
//   CrlRevocation entry;
//   int rc = verifyCRL(call, crlBytes, issuerCertDer, subjectCertDer, entry);
//   if (rc != 0) return rc;             // code and composed message are in the context
//   if (entry.listed && entry.reason == 6) ... suspended (1214)
//   else if (entry.listed) ...          revoked (1215), crlReasonName(entry.reason)
//
// The CRL is read in place: nothing the size of its revoked list is copied.
#pragma once

#include <cstdint>
#include <span>

#include "api/api_call.h"

namespace qelt {

// The certificate's entry in a CRL.
struct CrlRevocation {
    bool listed = false;
    ByteString revocationDate;     // revocationDate exactly as written in the CRL, empty when not listed
    bool generalizedTime = false;  // revocationDate is a GeneralizedTime (else a UTCTime)
    int64_t revocationTime = 0;    // the same in seconds since 1970
    int reason = -1;               // CRLReason 0-10 of the entry, -1 when it states none
};

// verifyCRL's result for an indirect CRL whose checks failed.
inline constexpr int kCrlIndirectFailed = 101;

// 0 (the certificate is listed or not: `out`), kCrlIndirectFailed, or an API
// code: 1209 not a CRL, 1211 a CRL that fails its checks or names an unknown
// reason, 1212 past its nextUpdate, 1213 issued after the reference time, 1200
// a subject certificate that does not decode. Failures are recorded in `call`;
// the checker's detail travels as the detail of 1211 and 101.
int verifyCRL(ApiCall& call, std::span<const uint8_t> crl, const ByteString& issuerCert, const ByteString& subjectCert,
              CrlRevocation& out);

// The name of a CRL reason in messages ("keyCompromise" ...); "" for 7 and
// for anything outside 0-10.
const char* crlReasonName(int reason);

}  // namespace qelt
