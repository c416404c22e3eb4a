// The OCSP client of the certificate verification service: asks a responder
// for the status of one certificate in four steps (request, exchange,
// response, decision) and hands back the responder's certificate so that the
// service can validate it in turn as an OCSP-signing certificate.
//
// Each step returns 0 or the API result code of its failure and fills a
// ServiceFailure with the code, the message and, where a core object failed,
// that object's error chain (recordFailure of api/cert_verify_failure.h
// turns it into the exported function's error). Nothing is cached between
// queries.
#pragma once

#include "net/http_client.h"
#include "net/ldap_failure.h"
#include "util/byte_string.h"

namespace qelt {

namespace ocsp {

// The OCSPRequest for `target`: CertID (with `issuerCert` when given, else
// from the target's Authority Key Identifier), an 8-byte nonce (returned in
// `nonce`), acceptable response types; signed with `signerKey` and carrying
// `signerCert` when `sign`. 0, 1219, 1815 or 1305.
int makeOCSPRequest(const ByteString& target, const ByteString* issuerCert, bool sign, const ByteString& signerCert,
                    const ByteString& signerKey, ByteString& nonce, ByteString& requestDer, ServiceFailure& failure);
// The same for every certificate of a SEQUENCE OF Certificate, each Request
// with a service locator; 1006 when the list is not one.
int makeOCSPRequestForList(const ByteString& targetList, bool sign, const ByteString& signerCert,
                           const ByteString& signerKey, ByteString& nonce, ByteString& requestDer,
                           ServiceFailure& failure);

// Posts the request to the responder URL ("http://host[:port][/path]") and
// returns the DER OCSPResponse. 0, 1216, 1217, 1218, 1008, or the URL
// parser's 2000/2001.
int sendOCSPRequest(const char* responderUrl, const ByteString& requestDer, ByteString& responseDer,
                    ServiceFailure& failure, int timeoutSeconds = HttpClient::kDefaultTimeout);

// What the first single response of an accepted response says.
struct OcspRevocation {
    bool revoked = false;
    ByteString time;  // GeneralizedTime text of the revocation
    int reason = -1;  // CRLReason, -1 when the response gives none
};

// Parses and verifies the response against the nonce sent (none when empty).
// 0 when the first single response says good or revoked (`revocation` tells
// which); 1222 unknown; 1220, 1221, 1241 or 1612 when the response is
// refused. `responderCert` receives the responder's certificate once the
// response's signature and nonce have been checked.
int processOCSPResponse(const ByteString& responseDer, const ByteString& nonce, OcspRevocation& revocation,
                        ByteString& responderCert, ServiceFailure& failure);

// Steps 1 to 3 and the decision: 0 good, 1214 on hold (certificateHold),
// 1215 revoked with the reason named in the message, 1222 unknown, or the
// failing step's code. `responderCert` as for processOCSPResponse.
int checkStatusByOCSP(const char* responderUrl, const ByteString& target, const ByteString* issuerCert, bool sign,
                      const ByteString& signerCert, const ByteString& signerKey, ByteString& responderCert,
                      ServiceFailure& failure, int timeoutSeconds = HttpClient::kDefaultTimeout);

// "폐지된 인증서입니다. (폐지 사유 : keyCompromise)" and the like.
ByteString revokedMessage(int reason);

}  // namespace ocsp
}  // namespace qelt
