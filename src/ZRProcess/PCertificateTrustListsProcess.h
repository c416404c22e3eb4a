// PCertificateTrustListsProcess: a certificate trust list (CTL), a signed
// list of certificate hashes carried in a CMS SignedData with content type
// "1 3 6 1 4 1 311 10 1". parseCTL() decodes the list and verifies its
// signature with the signer certificates supplied (and those of the
// message); the accessors then give its times, its signer, its hash
// algorithm and whether it lists a certificate.
//
// Methods return 0 or a small positive code with a location record of class
// "PCertificateTrustListsProcess"; kNotCTL when the input is not a CTL at
// all, kNoSignerCert when no certificate of its signer is known.
#pragma once

#include <cstdint>
#include <vector>

#include "ASN1Pkix/trust_and_identity.h"
#include "util/error_holder.h"

namespace qelt {

class PCertificateTrustListsProcess : public ErrorHolder {
public:
    static constexpr int kNotCTL = 4113;
    static constexpr int kNoSignerCert = 4121;
    static constexpr int64_t kNoNextUpdate = INT64_MAX;

    int addSignerCert(const ByteString& cert);
    int parseCTL(const ByteString& ctl);

    const RCertificateTrustList& list() const { return m_List; }
    int64_t thisUpdate() const { return m_tThisUpdate; }
    // kNoNextUpdate when the list has none.
    int64_t nextUpdate() const { return m_tNextUpdate; }
    // The certificate that signed the list (DER).
    const ByteString& signerCert() const { return m_SignerCert; }
    // The hash algorithm code (Part 3.1) of the subject identifiers, 0 when
    // the list's subjectAlgorithm is not one the library computes.
    int subjectHashAlgorithm() const;
    // Whether one of the trusted subjects is `digest` (a hash of a certificate
    // by subjectHashAlgorithm()).
    bool listsDigest(const ByteString& digest) const;

private:
    std::vector<ByteString> m_SignerCerts;
    RCertificateTrustList m_List;
    std::vector<ByteString> m_Subjects;  // the trusted subjects' hashes in order
    int64_t m_tThisUpdate = 0;
    int64_t m_tNextUpdate = kNoNextUpdate;
    ByteString m_SignerCert;
};

}  // namespace qelt
