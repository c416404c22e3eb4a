// PCertUtil2: a light certificate reader for the places that need only the
// names, the validity and the public key (remaining-days check, path
// building). It decodes the certificate but does not index its extensions.
#pragma once

#include <cstdint>
#include <memory>

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PCertUtil2 : public ErrorHolder {
public:
    static constexpr int kNotCertificate = 4107;

    // 0; 2 when the outer SEQUENCE does not decode; kNotCertificate when it is
    // not a certificate.
    int parse(Asn1Input encoding);

    const ByteString& getIssuerDN();
    const ByteString& getSubjectDN();
    // Seconds since 1970 UTC (64-bit: before 1970 and after 2038 included);
    // code 3 when the certificate's time text does not name a time.
    int getNotBefore(int64_t& time);
    int getNotAfter(int64_t& time);
    // The encoded SubjectPublicKeyInfo.
    const ByteString& getSubjectPublicKeyInfo();
    const RTBSCertificate* tbsCertificate() const { return m_pTBSCert; }

private:
    bool ready(const char* method);
    const ByteString& nameText(const RRDNSequence& name, const char* method, const char* label);

    std::unique_ptr<RCertificate> m_pCert;
    const RTBSCertificate* m_pTBSCert = nullptr;
};

}  // namespace qelt
