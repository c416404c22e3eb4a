// The service-level CRL and ARL check of the verification service: the
// certificate's CRL distribution points name where its issuer's CRL (ARL for
// a CA certificate) is published; the list is taken from the cache
// "<work>/cache/CRL/<dn>.crl" ("cache/ARL/...") or fetched from the
// directory, checked (verifyCRL) and the certificate's serial number looked
// up in it.
#pragma once

#include <string>
#include <vector>

#include "ASN1Pkix/x509_certificate.h"
#include "api/api_context.h"
#include "api/crl_verify.h"
#include "net/ldap_config.h"
#include "net/ldap_failure.h"

namespace qelt {

inline constexpr const char* kCrlAttribute = "certificaterevocationlist";
inline constexpr const char* kArlAttribute = "authorityrevocationlist";

// The names of a CRLDistributionPoints extension value in order: every
// uniformResourceIdentifier as its text and every directoryName as its DN
// text, distribution point after distribution point; a name relative to the
// CRL issuer becomes the DN of that issuer (the cRLIssuer named, else
// `certIssuer`, the certificate's issuer) with the relative name added.
// 0, or 1208 when the value cannot be read or names no point.
int distributionPointEntries(const ByteString& extnValue, const RRDNSequence& certIssuer, std::vector<ByteString>& out,
                             ServiceFailure& failure);

// The DN part of an entry: the DN of an LDAP URL, or the entry itself when it
// holds no "://". Empty when an LDAP URL cannot be parsed.
ByteString distributionPointDN(const ByteString& entry);

// Reads `attribute` ("certificaterevocationlist" or
// "authorityrevocationlist") from the first distribution point that answers.
// An entry with "://" is an LDAP URL; an entry without is a DN, searched on
// the directory of the URL that follows it. 0 with the list (DER) and the DN
// that served it; 2010 with a report of every point's failure.
int fetchCRLFromDistributionPoints(const DirectorySettings& settings, const char* attribute,
                                   const std::vector<ByteString>& entries, ByteString& crl, ByteString& dn,
                                   ServiceFailure& failure);

// The check of one certificate against its issuer's CRL (`forCA`: the ARL)
// found through `dpsExtValue`, the certificate's CRLDistributionPoints
// extension value. With the cache flag on, the cached list named by the
// first distribution point is used when it passes verifyCRL; one that fails
// is dropped and the list fetched afresh (and cached once it passes).
// 0 (not listed), 1214 (suspended), 1215 (revoked) with their messages, or
// the failure of the fetch (1208, 2010), of the cache (1240) or of verifyCRL.
// `entry` holds the certificate's entry when it is listed.
int checkCRL(ApiContext& ctx, bool forCA, const ByteString& dpsExtValue, const ByteString& issuerCert,
             const ByteString& subjectCert, CrlRevocation& entry, ServiceFailure& failure);

}  // namespace qelt
