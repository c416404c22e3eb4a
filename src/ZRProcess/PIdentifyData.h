// PIdentifyData: the identification data a certificate may carry and the
// local check of an identification number (IDN) against it.
//
// The data is a subjectAltName otherName of type "1 2 410 200004 10 1 1":
//   IdentifyData ::= SEQUENCE { realName UTF8String,
//                               userInfo SEQUENCE OF SEQUENCE { type OID, value VID } }
//   VID ::= SEQUENCE { hashAlg AlgorithmIdentifier, virtualID [0] EXPLICIT OCTET STRING }
// with type "1 2 410 200004 10 1 1 1". The virtual identifier binds the
// certificate to the IDN through the random number kept with the private key:
//   virtualID = H(H(DER(HashContent { idn PrintableString, randomNum BIT STRING })))
// with H the VID's hash algorithm.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PIdentifyData : public ErrorHolder {
public:
    static constexpr int kNotCertificate = 4107;  // the bytes are not a certificate
    static constexpr int kNoIdentifyData = 4096;  // no identification data, or no VID in it
    static constexpr int kVidDifferent = 4097;    // the IDN and random number give another VID

    // Finds the identification data of a DER certificate and reads its VID.
    // 0, kNotCertificate, kNoIdentifyData, or a step number for data that does
    // not decode.
    [[nodiscard]] int parseCertificate(const ByteString& cert);
    // 0 when the IDN and the random number give the certificate's virtual
    // identifier; kVidDifferent ("VID is different.") when they do not.
    [[nodiscard]] int verifyVID(const char* idn, const ByteString& random);

    const ByteString& realName() const { return m_RealName; }  // UTF-8
    int hashAlgorithm() const { return m_nHashAlg; }
    const ByteString& virtualID() const { return m_VirtualID; }

private:
    int readIdentifyData(const ByteString& value);

    ByteString m_RealName;
    int m_nHashAlg = 0;
    ByteString m_VirtualID;
};

}  // namespace qelt
