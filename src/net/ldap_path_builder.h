// The CA bundle of a certificate built from the directory: starting with the
// certificate's issuer, each CA certificate is read from the directory that
// the configuration's LDAP_INFO section for that issuer names, until a
// self-signed root is reached. The bundle (a DER SEQUENCE OF Certificate)
// lists the CAs from the target's issuer up to the root.
#pragma once

#include "net/ldap_config.h"
#include "net/ldap_failure.h"

namespace qelt {

// At most this many issuers are fetched for one path.
inline constexpr int kMaxDirectoryIssuers = 5;

// 0 and the bundle, or the failing step's code and message: 1200 (a
// certificate cannot be decoded), 1243 (no root within five issuers), the
// codes of findLdapInfo, parseURL and the directory search, 2012 (the entry
// holds no certificate of the issuer).
int buildCertPathFromDirectory(const DirectorySettings& settings, const ByteString& cert, ByteString& bundle,
                               ServiceFailure& failure);

// True when the certificate's subject and issuer are the same name and its
// signature verifies with its own public key.
bool isSelfSignedCertificate(const ByteString& cert);

}  // namespace qelt
