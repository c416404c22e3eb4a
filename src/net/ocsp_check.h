// The OCSP step of the certificate verification service: where to ask and
// the query itself, for one target certificate and its issuer.
//
// The responder address is the first found of: the context's OCSP address
// when it starts with "[UseThisURLFirst]" (the text after it); the target's
// Authority Information Access OCSP location; the context's OCSP address as
// it is; [VALIDATOIN_OPTION] OCSP_SERVER of the configuration file.
#pragma once

#include "api/api_context.h"
#include "net/http_client.h"
#include "net/ldap_failure.h"

namespace qelt {

inline constexpr const char* kUseThisURLFirst = "[UseThisURLFirst]";

// The responder address for `target` (empty when there is none).
ByteString ocspResponderAddress(const ApiContext& ctx, const ByteString& target);

// Asks the responder of `target` about it: 0 good; 1214 on hold, 1215
// revoked (message naming the reason), 1222 unknown to the responder; 1239
// when no responder address is known; or any other code of the OCSP client
// (the caller decides whether to fall back to the CRL). The request is
// signed with `myKey` and carries `myCert` when `sign`. `responderCert`
// receives the responder's certificate whenever its response was accepted
// (good, revoked or unknown): the caller validates it as an OCSP-signing
// certificate (type 3).
int checkTargetByOCSP(const ApiContext& ctx, const ByteString& target, const ByteString& issuer, bool sign,
                      const ByteString& myCert, const ByteString& myKey, ByteString& responderCert,
                      ServiceFailure& failure, int timeoutSeconds = HttpClient::kDefaultTimeout);

}  // namespace qelt
