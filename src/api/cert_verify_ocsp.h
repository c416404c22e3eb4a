// The OCSP step of the verification service (the target's status from an
// OCSP responder), kept behind one function so that the service does not
// depend on how the query is made.
#pragma once

#include "api/api_context.h"
#include "api/cert_verify_engine.h"
#include "net/ldap_failure.h"

namespace qelt {

// Asks the responder at `responderUrl` about `target` (issued by
// `issuerCert`), signing the request with the requester's certificate and key
// when the request asks for it. 0 good, 1214 on hold, 1215 revoked, 1222
// unknown to the responder, or the query's failure. `responderCert` receives
// the responder's certificate whenever a response was accepted.
int checkTargetByOcsp(ApiContext& ctx, const char* responderUrl, const ByteString& target, const ByteString& issuerCert,
                      const VerifyRequest& request, ByteString& responderCert, ServiceFailure& failure);

}  // namespace qelt
