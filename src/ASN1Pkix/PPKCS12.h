// PPKCS12: a user's certificate/private-key pairs in and out of a
// password-protected PFX (PKCS #12).
//
// Writing: every private key goes into a pkcs8ShroudedKeyBag encrypted with
// PKCS#12 3DES, every certificate into a certBag of one SafeContents
// encrypted with PKCS#12 RC2-40, the pairs tied by their local key ids; the
// AuthenticatedSafe is protected by an HMAC-SHA-1 whose key comes from the
// password. Every salt is derived from the data it protects, so the same
// inputs always give the same PFX bytes.
//
// Reading: the MAC is checked first (a mismatch is a wrong password, 4122),
// then the SafeContents are decrypted and walked; certificates are paired
// with the keys whose local key id they carry.
//
// Every password derivation of one PFX draws on one iteration budget, so a
// crafted file with enormous iteration counts is refused at once instead of
// keeping the caller busy for minutes.
#pragma once

#include <cstdint>
#include <vector>

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

struct Pkcs12Pbe;

class PPKCS12 : public ErrorHolder {
public:
    // The MAC does not match: the password is wrong (or the file was altered).
    static constexpr int kMacMismatch = 4122;
    static constexpr int kMaxPairs = 10;
    // Largest iteration count accepted for one derivation, and the SHA-1
    // rounds all the derivations of one PFX may take together. Common tools
    // write 1024 to 10000 iterations (about 12000 rounds for a whole PFX);
    // the budget is about a second of work on a current processor.
    static constexpr int64_t kMaxIterations = 1000000;
    static constexpr int64_t kIterationBudget = 8000000;

    PPKCS12();
    ~PPKCS12() override = default;
    PPKCS12(const PPKCS12&) = delete;
    PPKCS12& operator=(const PPKCS12&) = delete;

    void setPassword(const char* text);
    // Adds a pair; the key must be a DER PrivateKeyInfo.
    [[nodiscard]] int setKeyAndCert(const ByteString& priKey, const ByteString& cert);
    // A certificate without a key (a CA certificate), written after the pairs.
    [[nodiscard]] int setOtherCertificate(const ByteString& cert);
    [[nodiscard]] int setCRL(const ByteString& crl);

    // The DER PFX of everything set so far.
    [[nodiscard]] int makePKCS12Data(ByteString& out);
    // Parses a PFX, checks its MAC and decrypts its pairs.
    [[nodiscard]] int setPKCS12Data(const ByteString& pfx);
    // Pair `index` (0-based) of the parsed PFX.
    [[nodiscard]] int getKeyAndCert(int index, ByteString& priKey, ByteString& cert);
    int getPairCount() const { return m_nCount; }
    int getOtherCertificateCount() const { return m_nOtherCerts; }
    // Other certificates and CRLs found in (or set for) the PFX, each a DER
    // element of a SEQUENCE OF.
    const ByteString& getOtherCertificates() const { return m_OtherCerts; }
    const ByteString& getCRLs() const { return m_CRLs; }

    // The PBE identifiers used when writing (PKCS#12 PBE OIDs in text form).
    void setCertAlgorithm(const char* oid) { m_CertPbeOid.assign(oid); }
    void setKeyAlgorithm(const char* oid) { m_KeyPbeOid.assign(oid); }
    // Lower bounds for reading (the fuzz target keeps its runs short with them).
    void setIterationLimits(int64_t perDerivation, int64_t total) {
        m_nMaxIterations = perDerivation;
        m_nIterationBudget = total;
    }
    void setIterations(int encryption, int mac) {
        m_nEncIteration = encryption;
        m_nMacIteration = mac;
    }

private:
    struct Pair {
        ByteString localKeyId;  // the attribute value as encoded: OCTET STRING element
        ByteString priKey;
        ByteString cert;
    };

    // Cipher, key length and mode of a PKCS#12 PBE identifier.
    [[nodiscard]] int getAlgorithm(const ByteString& oid, const Pkcs12Pbe*& alg);
    // Key and IV of `alg` for `salt` and `iterations`.
    [[nodiscard]] int keyGenAsc(const Pkcs12Pbe& alg, const ByteString& salt, int64_t iterations, ByteString& key,
                                ByteString& iv);
    [[nodiscard]] int pbeEncrypt(const ByteString& oid, const ByteString& plain, ByteString& algId,
                                 ByteString& cipherText);
    [[nodiscard]] int pbeDecrypt(const ByteString& algId, const ByteString& cipherText, ByteString& plain);
    [[nodiscard]] int makeMac(const ByteString& authSafe, ByteString& macData);
    [[nodiscard]] int verifyMac(const ByteString& authSafe, const ByteString& macData);
    [[nodiscard]] int ProcessData(const ByteString& safeContents);
    [[nodiscard]] int decryptShroudedKey(const ByteString& encryptedKeyInfo, ByteString& priKey);
    [[nodiscard]] int pairCertificates();
    static constexpr int kPbeCipherFailed = 5;  // pbeDecrypt: the cipher refused the data
    bool wrongPassword(int pbeDecryptResult) const;
    // Takes `chains` SHA-1 chains of `iterations` rounds from the budget of
    // this PFX, refusing a count out of range.
    [[nodiscard]] int chargeIterations(int64_t iterations, int64_t chains, const char* what);

    ByteString m_Password;
    ByteString m_CertPbeOid;
    ByteString m_KeyPbeOid;
    int m_nCount = 0;
    Pair m_Pairs[kMaxPairs];
    ByteString m_OtherCerts;
    ByteString m_CRLs;
    int m_nOtherCerts = 0;
    int m_nEncIteration = 2000;
    int m_nMacIteration = 1024;

    // Reading state: keys and certificates found in the bags, before pairing.
    bool m_bParsed = false;
    bool m_bHasMac = false;
    int64_t m_nIterationsSpent = 0;
    int64_t m_nMaxIterations = kMaxIterations;
    int64_t m_nIterationBudget = kIterationBudget;
    int m_nKeyCount = 0;
    Pair m_Keys[kMaxPairs];          // keys by local key id, in the order found
    std::vector<Pair> m_FoundCerts;  // certificates with their local key id (empty: none)
};

}  // namespace qelt
