// PPrivateKey: signing and RSA encryption with a decrypted private key (DER
// PrivateKeyInfo). It chooses the algorithm code from the key algorithm, the
// key size and the hash, builds the engine's key blob and calls ZRSign or
// ZREncrypt.
#pragma once

#include "ASN1Pkix/pkcs_keys.h"
#include "util/error_holder.h"

namespace qelt {

class PPrivateKey : public ErrorHolder {
public:
    // Why the last operation failed, for callers that map failures to codes.
    enum class Failure { None, NotPrivateKey, NeedPublicKey, NotCertificate, KeyMismatch };

    // 0, or 4108 when `der` is not a PrivateKeyInfo.
    [[nodiscard]] int setPrivateKeyInfo(const ByteString& der);

    // Algorithm code and engine key blob for a hash (algorithm code, 0 for
    // none) and the OAEP request. KCDSA needs the public key: `pub` is a DER
    // certificate (isCert) or SubjectPublicKeyInfo.
    [[nodiscard]] int GetPrivateKeyAlgorithm(int nHashAlg, bool oaep, const ByteString* pub, bool isCert, int& nAlg,
                                             ByteString& engineKey);
    [[nodiscard]] int genSignature(int nHashAlg, const ByteString& data, ByteString& signature, const ByteString* pub,
                                   bool isCert);
    [[nodiscard]] int encrypt(const ByteString& data, ByteString& out);
    [[nodiscard]] int decrypt(const ByteString& data, ByteString& out, bool oaep);
    [[nodiscard]] int genWTLSSignature(int nHashAlg, const ByteString& data, ByteString& signature,
                                       const ByteString* pub, bool isCert);

    // The random-number attribute, read and written on a DER PrivateKeyInfo
    // held by the caller (storage and PFX work on keys they do not sign with).
    static constexpr int kNoRandomNumber = 4096;     // the key has no random-number attribute
    static constexpr int kNotPrivateKeyInfo = 4108;  // the input is not a PrivateKeyInfo
    // Extracts the random value into `random` (the last such attribute wins).
    // With `keep` false, `privateKeyInfo` is rewritten without the attribute.
    [[nodiscard]] int getRandomNumber(ByteString& privateKeyInfo, ByteString& random, bool keep);
    // Replaces or adds the random-number attribute in `privateKeyInfo`.
    [[nodiscard]] int setRandomNumber(ByteString& privateKeyInfo, const ByteString& random);

    Failure failure() const { return m_failure; }
    // The key algorithm OID text ("" before a key is set).
    const char* algorithmOid() const { return m_oid.c_str(); }
    const RPrivateKeyInfo& info() const { return m_info; }

private:
    int rsaAlgorithm(int nHashAlg, bool oaep, int& nAlg, ByteString& key);
    int kcdsaAlgorithm(int nHashAlg, const ByteString* pub, bool isCert, int& nAlg, ByteString& key);
    int ecAlgorithm(int nHashAlg, int& nAlg, ByteString& key);

    RPrivateKeyInfo m_info;
    ByteString m_oid;
    bool m_bLoaded = false;
    Failure m_failure = Failure::None;
};

}  // namespace qelt
