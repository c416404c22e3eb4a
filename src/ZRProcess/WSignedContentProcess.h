// WSignedContentProcess: reads a SignedContent (layout in WSignedContent.h)
// and verifies its signature with the signer certificate it carries.
//
// The signature is checked over the signed attribute block first
// (getTBSContent). When that fails, the reader tries the form older browser
// signers produce, which sign what they show and send: the content followed by
// the authenticated attributes exactly as they stand in the message
// (getTBSContent_Ver05).
#pragma once

#include <cstdint>
#include <span>

#include "util/error_holder.h"

namespace qelt {

class WSignedContentProcess : public ErrorHolder {
public:
    // Reads every field with its length checks; 0, or a step number with the
    // reason in the error chain ("Signed Content length error.", ...).
    [[nodiscard]] int parseSignedContent(std::span<const uint8_t> in);

    // The 95-octet signed attribute block rebuilt from the content and the
    // time attribute.
    [[nodiscard]] int getTBSContent(ByteString& block);
    // The content followed by the authenticated attribute octets.
    [[nodiscard]] int getTBSContent_Ver05(ByteString& data);
    // Verifies the signature over `tbs` with the signer certificate's key.
    [[nodiscard]] int verifySignatureWithCert(const ByteString& tbs);

    uint8_t version() const { return m_ucVersion; }
    uint8_t signatureAlgorithm() const { return m_ucSignatureAlgorithm; }
    const ByteString& signature() const { return m_Signature; }
    uint8_t signerInfoType() const { return m_ucSignerInfoType; }
    const ByteString& certificate() const { return m_Certificate; }
    uint8_t contentType() const { return m_ucContentType; }
    bool contentPresent() const { return m_bContentPresent; }
    const ByteString& content() const { return m_Content; }
    uint8_t attributeType() const { return m_ucAttributeType; }
    // The octets after the attribute type (the twelve time digits for type 1).
    const ByteString& attributeValue() const { return m_AttributeValue; }
    // Seconds since 1970 of the time attribute (type 1 only).
    int64_t signingTime() const { return m_tSigningTime; }

private:
    void clear();

    uint8_t m_ucVersion = 0;
    uint8_t m_ucSignatureAlgorithm = 0;
    ByteString m_Signature;
    uint8_t m_ucSignerInfoType = 0;
    ByteString m_Certificate;
    uint8_t m_ucContentType = 0;
    bool m_bContentPresent = false;
    ByteString m_Content;
    uint8_t m_ucAttributeType = 0;
    ByteString m_AttributeValue;
    ByteString m_AttributeOctets;  // type and value as received
    int64_t m_tSigningTime = 0;
};

}  // namespace qelt
