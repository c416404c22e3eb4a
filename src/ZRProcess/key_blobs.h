// Helpers shared by the key classes: public-key records out of certificates,
// and the bytes of BIT STRING and INTEGER components.
#pragma once

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/x509_certificate.h"

namespace qelt::keyblob {

// The SubjectPublicKeyInfo of a DER certificate (isCert) or the DER itself.
inline bool spkiFrom(const ByteString& der, bool isCert, RSubjectPublicKeyInfo& out) {
    if (!isCert) return out.fromASN1Object(der) == 0;
    RCertificate cert;
    if (cert.fromASN1Object(der) != 0) return false;
    out = cert.getTbsCertificate().getSubjectPublicKeyInfo();
    return true;
}

inline ByteString bitsOf(const ASN1BitString& b) {
    ASN1BitString copy = b;
    int unused = 0;
    return ByteString(copy.getBitString(unused));
}

inline ByteString magnitudeOf(const ASN1Integer& i) {
    ByteString out;
    i.getInteger(out, 0);
    return out;
}

inline std::string oidOf(const RAlgorithmIdentifier& alg) {
    ASN1ObjectIdentifier oid = alg.getAlgorithm();
    return oid.getOID().c_str();
}

}  // namespace qelt::keyblob
