// PTimeStampRequest: builds an RFC 3161 TimeStampReq: the message imprint
// of the document, the requested policy, the nonce and certReq.
//
// Methods return 0 or a small positive code with a location record of class
// "PTimeStampRequest".
#pragma once

#include "ASN1Pkix/tsp.h"
#include "util/error_holder.h"

namespace qelt {

// The hash algorithms of the time-stamp calls: the caller's selector (1-4),
// the algorithm code and the OID of the message imprint.
struct TspHashAlgorithm {
    int selector;
    int alg;
    const char* oid;
};
// By selector; null for one outside 1-4.
const TspHashAlgorithm* tspHashBySelector(int selector);
// By the OID text of a message imprint; null for another algorithm.
const TspHashAlgorithm* tspHashByOid(const ASN1ObjectIdentifier& oid);

inline constexpr const char* kOidTSTInfo = "1 2 840 113549 1 9 16 1 4";

class PTimeStampRequest : public ErrorHolder {
public:
    int setMessageImprint(const char* hashOid, const ByteString& hashedMessage);
    // The policy as an OID text (dotted or blank-separated arcs).
    int setReqPolicy(const char* policy);
    // The nonce as the magnitude of a non-negative INTEGER.
    int setNonce(const ByteString& nonce);
    void setCertReq(bool on) { m_bCertReq = on; }
    int makeTimeStampReq(ByteString& der);

private:
    RTimeStampReq m_Req;
    bool m_bImprint = false;
    bool m_bCertReq = false;
};

}  // namespace qelt
