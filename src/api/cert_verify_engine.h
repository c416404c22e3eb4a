// The verification service's engine: one pass of QELT_CERT_Verify (CA
// bundle, path composition, trust, policies, validation, revocation of every
// certificate of the path) and the CA bundle it starts from.
//
// A pass returns 0, the code of the check that failed (with its message in
// the ServiceFailure), or kRetryWithFreshBundle when the failure may come
// from a stale cached bundle: the caller then runs pass 1, which fetches the
// bundle afresh.
#pragma once

#include "api/api_context.h"
#include "net/ldap_failure.h"
#include "util/byte_string.h"

namespace qelt {

inline constexpr int kRetryWithFreshBundle = 100;

// Certificate types of QELT_CERT_Verify.
enum CertType : int {
    kCertTypeSign = 1,
    kCertTypeKeyManagement = 2,
    kCertTypeOcsp = 3,
    kCertTypeTsa = 4,
};

// Validation scope bits and revocation options of the context.
inline constexpr int kScopeFullPath = 1;
inline constexpr int kScopeStrictEndEntity = 8;
inline constexpr int kRevokeAll = 1;
inline constexpr int kRevokeCaByArl = 2;
inline constexpr int kRevokeTargetByCrl = 4;
inline constexpr int kRevokeTargetByOcsp = 8;
inline constexpr int kRevokeNone = 16;

// What one verification asks for.
struct VerifyRequest {
    ByteString cert;
    int certType = kCertTypeSign;
    const char* ips = nullptr;  // dotted OIDs joined by ";"; null or empty: the configuration's IPS
    bool signOcspRequest = false;
    ByteString requesterCert;
    ByteString requesterKey;
};

// The CA bundle for a target: the context's, else (cache flag on, pass 0) the
// cache file "<work>/cache/CaPubs/<issuer DN>.cpb" (then `fromCache`), else
// the one built from the directory, cached when the cache flag is on.
// 0; 1200 when the target does not decode; the builder's code with
// "인증서 경로 구축 - <message>"; 1223 when the cache cannot be written.
int getCaBundle(ApiContext& ctx, const ByteString& target, int certType, int pass, ByteString& bundle, bool& fromCache,
                ServiceFailure& failure);

// One pass. 0, kRetryWithFreshBundle, 1214 / 1215 / 1222 (revocation
// results), or another failure's code. `responderCert` receives the OCSP
// responder's certificate when the target's status came from an OCSP
// response.
int runVerificationPass(ApiContext& ctx, const VerifyRequest& request, int pass, ByteString& responderCert,
                        ServiceFailure& failure);

}  // namespace qelt
