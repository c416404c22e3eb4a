// PPKCS8: password protection of private keys. Turns a DER PrivateKeyInfo into
// an EncryptedPrivateKeyInfo and back.
//
// The encryption side writes PBES2 (PBKDF2 with HMAC-SHA-1) for DES, 3DES,
// RC2, SEED, NEAT and ARIA, or the PBES1 shape for the older and national
// schemes. The decryption side reads the PBES1 schemes of PKCS#5 (PBKDF1 with
// MD5 or SHA-1, DES or RC2), the national SEED, NEAT and ARIA identifiers
// (PBKDF1 or the PKCS#12 derivation), PKCS#12 3DES, and PBES2.
//
// Decryption loads the scheme, salt, iteration count and IV from its input, so
// a following getPKCS8Data on the same object re-encrypts with them: that is
// how a password is changed.
#pragma once

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

// PBE scheme codes.
enum PbeScheme : int {
    PBE_MD5_DES = 3,
    PBE_MD5_RC2 = 4,
    PBE_SHA1_DES = 5,
    PBE_SHA1_RC2 = 6,
    PBE_SHA1_SEED = 7,
    PBE_SHA1_SEED_FIXED_IV = 8,
    PBE_SHA1_NEAT = 9,
    PBE_HAS160_NEAT = 10,
    PBE_SHA1_ARIA = 11,
    PBE_HAS160_ARIA = 12,
    PBES2_DES = 14,
    PBES2_3DES = 15,
    PBES2_RC2 = 16,
    PBES2_SEED = 24,
    PBES2_NEAT = 25,
    PBES2_ARIA = 26,
};

class PPKCS8 : public ErrorHolder {
public:
    // Results of getPrivateKeyInfo the callers tell apart.
    static constexpr int kNotEncryptedKey = 4106;  // input is not an EncryptedPrivateKeyInfo
    static constexpr int kDecryptFailed = 4109;    // wrong password: padding or PrivateKeyInfo check failed

    PPKCS8();
    ~PPKCS8() override = default;
    PPKCS8(const PPKCS8&) = delete;
    PPKCS8& operator=(const PPKCS8&) = delete;

    // The password without its terminating NUL.
    void setPassword(const char* text);
    // Loads one row of the scheme table; unknown codes keep the lengths and OID.
    void setAlgorithm(int code);
    // Parses and keeps a DER PrivateKeyInfo (1 when it does not parse).
    [[nodiscard]] int setPrivateKeyInfo(const ByteString& der);
    // Any bytes to protect, taken as they are.
    void setData(const ByteString& data);

    // Encrypts the key or data set before into a DER EncryptedPrivateKeyInfo.
    [[nodiscard]] int getPKCS8Data(ByteString& out);
    // Decrypts a DER EncryptedPrivateKeyInfo into the DER PrivateKeyInfo.
    [[nodiscard]] int getPrivateKeyInfo(const ByteString& encrypted, ByteString& out);
    // PBE scheme code of an encryption-scheme or cipher identifier.
    [[nodiscard]] int GetAlgorithm(const char* oid, int& code);

    // Salt (from `data` when it is not empty), key and IV for the current scheme.
    [[nodiscard]] int PBE_Initialize(const ByteString& data);

    int getScheme() const { return m_nPbeAlg; }
    int getIterationCount() const { return m_nIteration; }
    const ByteString& getSalt() const { return m_Salt; }
    const ByteString& getIv() const { return m_Iv; }

private:
    [[nodiscard]] int makeKeyDerivationFunc(ByteString& der);
    [[nodiscard]] int makeEncryptionScheme(ByteString& der);
    [[nodiscard]] int Encrypt(bool decrypt, const ByteString& in, ByteString& out);
    [[nodiscard]] int parsePbes1(const ByteString& oid, const ByteString& params);
    [[nodiscard]] int parsePbes2(const ByteString& params);
    [[nodiscard]] int decryptAndParse(const ByteString& cipherText, ByteString& out);
    int cipherKeyLength() const;
    bool isPbes2() const { return m_nPbeAlg > 13; }

    ByteString m_Password;
    ByteString m_PrivateKeyInfo;
    int m_nFlags = 0;
    int m_nPbeAlg = PBES2_SEED;
    int m_nHashAlg;
    int m_nCipherAlg;
    int m_nLen1 = 32;
    int m_nIvLen = 16;
    int m_nHashLen = 20;
    ByteString m_SchemeOid;
    ByteString m_Salt;
    int m_nIteration = 1024;
    ByteString m_Key;
    ByteString m_Iv;
    int m_nRc2ParamVersion = 0;
    int m_nRc2KeyLength = 0;
    bool m_bFixedIv = false;
    bool m_bPkcs12Kdf = false;
    bool m_bSecondAttempt = false;
};

}  // namespace qelt
