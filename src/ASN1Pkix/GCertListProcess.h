// GCertListProcess: the CRL checker. parseCertList decides whether a CRL may
// be used to judge a certificate (signature, issuer, extensions, issuing
// distribution point, authority key identifier); isRevoked then looks the
// certificate's serial number up in the raw revoked list.
//
// The CRL is read where it lies (GCertificateList::decodeInPlace): its bytes
// must stay unchanged until the processor is destroyed or parses another CRL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "ASN1Pkix/path_certificate.h"
#include "ASN1Pkix/x509_crl.h"
#include "util/error_holder.h"

namespace qelt {

class GCertListProcess : public ErrorHolder {
public:
    static constexpr int kNotCertificateList = 4114;
    static constexpr int CRL_EXTENSION_MAX_CNT = 15;

    // The CRL extensions the checker recognises, by kind.
    enum ExtensionKind : int {
        kAuthorityKeyIdentifier,    // 2 5 29 35
        kIssuerAltName,             // 2 5 29 18
        kCRLNumber,                 // 2 5 29 20
        kDeltaCRLIndicator,         // 2 5 29 27
        kIssuingDistributionPoint,  // 2 5 29 28
        kFreshestCRL,               // 2 5 29 46
        kCRLScope,                  // 2 5 29 44
        kStatusReferrals,           // 2 5 29 45
        kCRLStreamIdentifier,       // 2 5 29 40
        kOrderedList,               // 2 5 29 47
        kBaseUpdateTime,            // 2 5 29 51
        kDeltaInfo,                 // 2 5 29 53
        kExtensionKindCount
    };

    GCertListProcess();
    ~GCertListProcess() override;

    // 0, kNotCertificateList when `crl` is not a CertificateList, or the number
    // of the check that failed (2 the subject certificate, 3 the issuer, 4 the
    // signature, 5 cRLSign, 6 the issuer's key identifier, 7 nextUpdate, 8 the
    // extensions, 9 issuerAltName, 10 the issuing distribution point, 11 the
    // authority key identifier, 12 the extensions a mandatory check requires).
    // Both certificates may be empty; the checks that need one then fail.
    int parseCertList(std::span<const uint8_t> crl, const ByteString& issuerCert, const ByteString& subjectCert);

    // 0 with `found` and the entry's DER; 1 before a successful parse
    // ("First, use parseCertList"); 2 when the revoked list is malformed.
    int isRevoked(const ByteString& serialNumber, bool& found, std::span<const uint8_t>& entry);

    // Stores one recognised extension's value (an encoded OCTET STRING).
    // 1 when the table is full, 2 when the value is not an OCTET STRING, 3 when it cannot be stored.
    int setExtension(int kind, const ByteString& value);
    // The extnValue content of a stored extension; empty when the CRL has none.
    const ByteString& getExtension(int kind) const;

    // With the mandatory check, nextUpdate, the authority key identifier and
    // the CRL number must be present (the verification service leaves it off).
    void setMandatory(bool on) { m_bMandatory = on; }

    int64_t getThisUpdate() const { return m_tThisUpdate; }
    std::optional<int64_t> getNextUpdate() const { return m_tNextUpdate; }
    // Set when the CRL issuer matched a cRLIssuer of the certificate's distribution points.
    bool isIndirectCRL() const { return m_bIndirectCRL; }
    const GCertificateList& certificateList() const { return *m_pCertList; }
    // The subject certificate given to parseCertList, decoded (null when none was).
    const PathCertificate* subject() const { return m_pSubject.get(); }

private:
    int checkSubject();
    int checkIssuer();
    int checkKeyUsage();
    int makeIssuerKeyIdentifier();
    int collectExtensions();
    int checkIssuerAltName();
    int checkIssuingDistributionPoint();
    int checkAuthorityKeyIdentifier();
    bool distributionPointMatches(const RIssuingDistributionPoint& idp);

    std::unique_ptr<GCertificateList> m_pCertList;
    std::unique_ptr<PathCertificate> m_pIssuer, m_pSubject;
    struct StoredExtension {
        int kind = -1;
        ByteString value;
        bool critical = false;
    };
    std::array<StoredExtension, CRL_EXTENSION_MAX_CNT> m_Extensions;
    int m_nIndex = 0;
    ByteString m_IssuerKeyId;
    int64_t m_tThisUpdate = 0;
    std::optional<int64_t> m_tNextUpdate;
    bool m_bIndirectCRL = false;
    bool m_bSubjectIsCA = false;
    bool m_bMandatory = false;
    bool m_bParsed = false;
};

}  // namespace qelt
