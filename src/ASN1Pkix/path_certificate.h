// A certificate of a certification path, decoded once: the records, its
// extensions in the order they appear, the position of each extension the
// path engine reads, and the facts path building asks about again and again
// (self-issued, self-signed, authority and subject key identifiers).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "ASN1Pkix/x509_extensions.h"
#include "util/error_holder.h"

namespace qelt {

class PathCertificate : public ErrorHolder {
public:
    // The extensions the engine reads, one slot each.
    enum Slot : int {
        kAuthorityKeyIdentifier,  // 2 5 29 35
        kSubjectKeyIdentifier,    // 2 5 29 14
        kKeyUsage,                // 2 5 29 15
        kSubjectAltName,          // 2 5 29 17
        kBasicConstraints,        // 2 5 29 19
        kNameConstraints,         // 2 5 29 30
        kCRLDistributionPoints,   // 2 5 29 31
        kCertificatePolicies,     // 2 5 29 32
        kPolicyMappings,          // 2 5 29 33
        kPolicyConstraints,       // 2 5 29 36
        kExtKeyUsage,             // 2 5 29 37
        kInhibitAnyPolicy,        // 2 5 29 54
        kAuthorityInfoAccess,     // 1 3 6 1 5 5 7 1 1
        kSlotCount
    };

    // One extension where it lies in the decoded certificate.
    struct Extension {
        std::span<const uint8_t> id;  // the OID's content octets
        bool critical = false;
        std::span<const uint8_t> value;  // the extnValue content
        // The OID in text form ("2 5 29 19").
        ByteString oidText() const;
    };

    // 0; 1 when the bytes are not a certificate; 2 when an extension cannot be read.
    int decode(Asn1Input encoding);

    const RCertificate& record() const { return m_Cert; }
    const RTBSCertificate& tbs() const { return m_Cert.getTbsCertificate(); }
    // The certificate exactly as received.
    const ByteString& der() const { return m_Cert.getReceivedEncoding(); }
    // The key that verifies what this certificate issued.
    const RSubjectPublicKeyInfo& publicKeyInfo() const { return tbs().getSubjectPublicKeyInfo(); }

    // The extensions in the order they appear.
    const std::vector<Extension>& extensions() const { return m_Extensions; }
    // The extension of a slot, or null (a later duplicate replaces an earlier one).
    const Extension* extension(Slot slot) const;
    // Its extnValue content; empty when absent.
    std::span<const uint8_t> extensionValue(Slot slot) const;
    bool isCritical(Slot slot) const;

    // Subject and issuer names are equal (name comparison of the name utilities).
    bool isSelfIssued() const;
    // Self-issued and its signature verifies with its own key. A root is
    // checked once per thread: the same few roots top every path.
    bool isSelfSigned() const;

    // The OCSP responder address of the Authority Information Access extension
    // (first access description of method 1 3 6 1 5 5 7 48 1), empty when none.
    // 0; 1 when the extension cannot be read; 2 when that description does not
    // name a URI.
    int ocspUrl(ByteString& url) const;

    // The keyIdentifier of the Subject Key Identifier; nullopt when absent or unreadable.
    const std::optional<ByteString>& subjectKeyIdentifier() const;

private:
    RCertificate m_Cert;
    int readExtension(std::span<const uint8_t> element, Extension& out);

    std::vector<Extension> m_Extensions;
    // Extensions not in plain DER, decoded by their record: the views point into them.
    std::vector<std::unique_ptr<RExtension>> m_Decoded;
    std::array<int, kSlotCount> m_Slots{};
    mutable std::optional<bool> m_SelfIssued, m_SelfSigned;
    mutable bool m_bSkiRead = false;
    mutable std::optional<ByteString> m_Ski;
};

}  // namespace qelt
