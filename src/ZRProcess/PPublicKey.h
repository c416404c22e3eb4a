// PPublicKey: verification and RSA encryption with a public key, given as a
// DER SubjectPublicKeyInfo or taken from a DER certificate (the ...WithCert
// forms).
#pragma once

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PPublicKey : public ErrorHolder {
public:
    enum class Failure { None, NotPublicKey, NotCertificate, KeyMismatch };

    [[nodiscard]] int setPublicKeyInfo(const ByteString& der);
    // Takes the key of a certificate; "Unknown certificate type." when unreadable.
    [[nodiscard]] int setCertificate(const ByteString& der);

    // Encryption code (RSA: 36-38, 40-41 with OAEP) or signature code (KCDSA,
    // ECDSA) and the engine's key blob. nHashAlg 0 means SHA-1.
    [[nodiscard]] int GetPublicKeyAlgorithm(int nHashAlg, bool oaep, int& nAlg, ByteString& engineKey);
    // As above with RSA encryption codes turned into signature codes.
    [[nodiscard]] int getSignatureAlgorithm(int nHashAlg, int& nAlg, ByteString& engineKey);

    [[nodiscard]] int verifySignature(const ByteString& data, const ByteString& signature, int nHashAlg);
    [[nodiscard]] int verifySignatureWithCert(const ByteString& cert, const ByteString& data,
                                              const ByteString& signature, int nHashAlg);
    [[nodiscard]] int encrypt(const ByteString& data, ByteString& out, bool oaep);
    [[nodiscard]] int encryptWithCert(const ByteString& cert, const ByteString& data, ByteString& out, bool oaep);
    [[nodiscard]] int decrypt(const ByteString& data, ByteString& out);
    [[nodiscard]] int decryptWithCert(const ByteString& cert, const ByteString& data, ByteString& out);
    [[nodiscard]] int verifyWTLSSignature(const ByteString& data, const ByteString& signature, int nHashAlg);
    [[nodiscard]] int verifyWTLSSignatureWithCert(const ByteString& cert, const ByteString& data,
                                                  const ByteString& signature, int nHashAlg);

    Failure failure() const { return m_failure; }
    const char* algorithmOid() const { return m_oid.c_str(); }
    const RSubjectPublicKeyInfo& info() const { return m_info; }

private:
    RSubjectPublicKeyInfo m_info;
    ByteString m_oid;
    bool m_bLoaded = false;
    Failure m_failure = Failure::None;
};

}  // namespace qelt
