// PTimeStampToken: reads and verifies an RFC 3161 time-stamp token, a
// ContentInfo holding a SignedData whose content is a TSTInfo: the
// SignedData's signature is verified with the signer certificate it
// carries (the TSA's), and the TSTInfo is decoded.
//
// parseToken returns 0 or one of the codes below, with a location record of
// class "PTimeStampToken" (the SignedData processor's chain inside).
#pragma once

#include <span>

#include "ASN1Pkix/tsp.h"
#include "util/error_holder.h"

namespace qelt {

class PTimeStampToken : public ErrorHolder {
public:
    static constexpr int kNotContentInfo = 1;  // the bytes are not a ContentInfo
    static constexpr int kNotSignedData = 2;   // its contentType is not signedData
    static constexpr int kNoTsaCert = 3;       // no certificate for the signer, or no signer
    static constexpr int kBadSignature = 4;    // the SignedData does not verify
    static constexpr int kNotTSTInfo = 5;      // the signed content is not a TSTInfo
    static constexpr int kBadTSTInfo = 6;      // the TSTInfo does not decode

    int parseToken(std::span<const uint8_t> token);

    // After a successful parse:
    const RTSTInfo& tstInfo() const { return m_TSTInfo; }
    const ByteString& tsaCert() const { return m_TsaCert; }
    const ByteString& hashedMessage() const { return m_TSTInfo.getMessageImprint().getHashedMessage().getValue(); }
    // The imprint's hash algorithm as an OID text.
    ByteString hashAlgorithmOid() const;
    // The policy as an OID text.
    ByteString policyOid() const;
    // The serial number and the nonce as the magnitude octets of their INTEGERs
    // (the nonce empty when the token has none).
    ByteString serialNumber() const;
    ByteString nonce() const;
    // The genTime text as carried ("YYYYMMDDhhmmss[.f]Z").
    const ByteString& genTime() const { return m_TSTInfo.getGenTime().getValue(); }

private:
    RTSTInfo m_TSTInfo;
    ByteString m_TsaCert;
};

}  // namespace qelt
