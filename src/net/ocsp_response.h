// POCSPResProcess: parses an OCSPResponse (RFC 6960, section 4.2) and
// verifies the signature of its BasicOCSPResponse with the first certificate
// the response carries, which is taken as the responder's. Whether that
// certificate may speak for the target's issuer is for the caller to decide
// (the verification service validates it as an OCSP-signing certificate).
//
// parseOcspResponse returns 0 or one of the codes below, with a location
// record of class "POCSPResProcess":
//   kBadResponse       the bytes are not a usable OCSPResponse (any decoding
//                      failure, response type, version, responder id, too
//                      many single responses, a signature that does not verify)
//   kNotSuccessful     responseStatus is not successful (responseStatus() says which)
//   kNoResponderCert   the response carries no certificate
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ASN1Pkix/ocsp.h"
#include "util/error_holder.h"

namespace qelt {

class POCSPResProcess : public ErrorHolder {
public:
    static constexpr int kBadResponse = 1;
    static constexpr int kNotSuccessful = 2;
    static constexpr int kNoResponderCert = 3;
    static constexpr int kMaxSingleResponses = 128;

    enum class CertStatus { Good = 0, Revoked = 1, Unknown = 2 };

    struct SingleResponse {
        ROCSPCertID certID;
        CertStatus status = CertStatus::Unknown;
        ByteString revocationTime;  // GeneralizedTime text, revoked only
        int reason = -1;            // CRLReason, -1 when absent
        ByteString thisUpdate;      // GeneralizedTime text
        ByteString nextUpdate;      // "" when absent
        ByteString extensions;      // DER Extensions, "" when absent
    };

    int parseOcspResponse(std::span<const uint8_t> der);

    // OCSPResponseStatus (0 successful, 1 malformedRequest, 2 internalError,
    // 3 tryLater, 5 sigRequired, 6 unauthorized).
    int responseStatus() const { return m_nStatus; }
    // The certificates of the BasicOCSPResponse, the responder's first.
    const std::vector<ByteString>& certs() const { return m_pCerts; }
    // The nonce extension of the response: the value inside its OCTET STRING.
    bool hasNonce() const { return m_bHasNonce; }
    const ByteString& nonce() const { return m_Nonce; }
    const std::vector<SingleResponse>& singleResponses() const { return m_stSingleRes; }

private:
    int parseBasicResponse(const ByteString& basicDer);
    int parseSingleResponse(std::span<const uint8_t> der, SingleResponse& out);
    void readNonce(const RExtensions& extensions);

    int m_nStatus = -1;
    std::vector<ByteString> m_pCerts;
    bool m_bHasNonce = false;
    ByteString m_Nonce;
    std::vector<SingleResponse> m_stSingleRes;
};

}  // namespace qelt
