// PCertUtil: the certificate object. It decodes an encoded certificate once,
// indexes its extensions by OID, and answers field questions from the decoded
// records without decoding the certificate again.
//
// Getters reset the error code and the result buffer, then fill the result
// buffer (texts and bytes) or an out-parameter (numbers). A getter before a
// successful parse fails (1 before any parse; after a failed parse, the
// parse's code with its chain kept). An absent extension gives kAbsent with
// the extension's own message and leaves the object usable.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PCertUtil : public ErrorHolder {
public:
    static constexpr int kAbsent = 4096;          // the extension is not in the certificate
    static constexpr int kNotCertificate = 4107;  // the bytes do not decode as a certificate
    static constexpr int kMaxReservedExtensions = 10;

    // The extensions the object indexes by OID, one slot each.
    enum Extension : int {
        kAuthorityKeyIdentifier,      // 2 5 29 35
        kSubjectKeyIdentifier,        // 2 5 29 14
        kKeyUsage,                    // 2 5 29 15
        kPrivateKeyUsagePeriod,       // 2 5 29 16
        kCertificatePolicies,         // 2 5 29 32
        kPolicyMappingLegacy,         // 2 5 29 5
        kIssuerAltName,               // 2 5 29 18
        kSubjectAltName,              // 2 5 29 17
        kSubjectDirectoryAttributes,  // 2 5 29 9
        kBasicConstraints,            // 2 5 29 19
        kNameConstraints,             // 2 5 29 30
        kPolicyConstraints,           // 2 5 29 36
        kExtKeyUsage,                 // 2 5 29 37
        kCRLDistributionPoints,       // 2 5 29 31
        kAuthorityInfoAccess,         // 1 3 6 1 5 5 7 1 1
        kNationalPolicy,              // 1 2 410 200004 4 1 (indexed only)
        kWapExtension,                // 2 23 43 3 1 (indexed only)
        kInhibitAnyPolicy,            // 2 5 29 54
        kFreshestCRL,                 // 2 5 29 46
        kSubjectInfoAccess,           // 1 3 6 1 5 5 7 1 11
        kQcStatements,                // 1 3 6 1 5 5 7 1 3
        kNationalExtension,           // 1 2 410 200012 1 2 1 (indexed only)
        kKnownExtensionCount
    };

    PCertUtil();
    ~PCertUtil() override;

    // 0 on success; 2 when the outer SEQUENCE does not decode ("asnSeq");
    // kNotCertificate when the SEQUENCE is not a certificate ("m_pCert");
    // 9 when more than kMaxReservedExtensions extensions are unknown.
    int parseCertificate(Asn1Input encoding);
    bool isParsed() const { return m_nParseCode == 0; }
    // The certificate exactly as received.
    const ByteString& getEncoded() const;
    const RCertificate* certificate() const { return isParsed() ? m_pCert.get() : nullptr; }

    // raw 1: the INTEGER content; raw 0: one leading 00 octet dropped when longer than one octet.
    const ByteString& getSerialNumber(int raw);
    const ByteString& getIssuerDN();
    const ByteString& getSubjectDN();
    // The encoded names.
    const ByteString& getIssuer();
    const ByteString& getSubject();
    // The version field as stored (0 for v1, also when absent).
    int getVersion(int& version);
    // Seconds since 1970 UTC (64-bit: before 1970 and after 2038 included);
    // code 3 when the certificate's time text does not name a time.
    int getNotBefore(int64_t& time);
    int getNotAfter(int64_t& time);
    // The signature algorithm's display name.
    const ByteString& getCertSignatureAlgorithmValue();
    // The signature's bits (without the unused-bits octet).
    const ByteString& getCertSignatureValue();
    const ByteString& getSubjectPublicKeyInfo();
    // The public key algorithm's display name; optionally its OID text and the
    // encoded parameters (empty when absent).
    const ByteString& getSubjectPublicKeyAlgorithm(ByteString* oidText = nullptr, ByteString* parameters = nullptr);
    // The subjectPublicKey bits (without the unused-bits octet).
    const ByteString& getSubjectPublicKey();

    // Extension values: the extnValue content (the encoded value).
    const ByteString& getExtensionValue(Extension which);
    const ByteString& getAuthorityKeyIdentifier();
    const ByteString& getCertPolicy();
    const ByteString& getSubjectAltNames();
    const ByteString& getExtendedKeyUsage();
    const ByteString& getCRLDistributionPoints();
    const ByteString& getAuthorityInformationAccess();
    // The keyIdentifier octets.
    const ByteString& get_SubjectKeyIdentifier_value();
    // The key usage bits (one or two octets; the unused-bits octet dropped).
    const ByteString& get_KeyUsage_value();
    int getBasicConstraints_cA(int& isCA);
    int getBasicConstraints_pathLenConstraint(int& pathLen);
    int getcertPolicyCNT(int& count);
    // The index-th policy identifier in OID text form.
    const ByteString& getPolicyIdentifier(int index);

    // Position of an indexed extension in the list, or -1.
    int extensionPosition(Extension which) const { return m_nExtIndex[which]; }
    int reservedExtensionCount() const { return m_nReserveCount; }

private:
    bool ready(const char* method);
    // The decoded extension of a slot; null (with kAbsent and `absentMessage`) when absent.
    const RExtension* extension(Extension which, const char* method, const char* absentMessage);
    const ByteString& extensionValue(Extension which, const char* method, const char* absentMessage);
    void clear();

    std::unique_ptr<RCertificate> m_pCert;
    const RTBSCertificate* m_pTBSCert = nullptr;
    std::vector<RExtension> m_Extensions;
    std::array<int, kKnownExtensionCount> m_nExtIndex{};
    std::array<int, kMaxReservedExtensions> m_nExtReserve{};
    int m_nReserveCount = 0;
    int m_nParseCode = -1;  // -1 before any parse
    ByteString m_ParseChain;
};

}  // namespace qelt
