#include "ASN1Pkix/PPKCS8.h"

#include <cstring>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/cms_enveloped_data.h"
#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/password_kdf.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PPKCS8";

constexpr int kFlagPassword = 0x01;
constexpr int kFlagPrivateKeyInfo = 0x02;
constexpr int kFlagData = 0x04;

constexpr int kSaltLen = 8;
constexpr int kPadPkcs = 2;  // padding type: n bytes of value n
constexpr const char* kFixedSeedIv = "4715092386150274";

constexpr const char* kOidPbes2 = "1 2 840 113549 1 5 13";
constexpr const char* kOidPbkdf2 = "1 2 840 113549 1 5 12";
constexpr const char* kOidHmacSha1 = "1 3 6 1 5 5 8 1 2";
constexpr const char* kOidRc2Cbc = "1 2 840 113549 3 2";
constexpr const char* kOidRc5Cbc = "1 2 840 113549 3 9";

// One PBE scheme: the hash of the salt and PBKDF1, the cipher, len1 (key
// length for the PBES1 shape, total derived length for PBES2), the IV length,
// the hash output length and the identifier written. PBES2 rows carry no hash:
// the object keeps the one it had (SHA-1), used only for the salt.
struct SchemeRow {
    int code;
    int hash;
    int cipher;
    int len1;
    int ivLen;
    int hashLen;
    const char* oid;
};
constexpr SchemeRow kSchemes[] = {
    {PBE_MD5_DES, ALG_MD5, ALG_DES, 8, 8, 16, "1 2 840 113549 1 5 3"},
    {PBE_MD5_RC2, ALG_MD5, ALG_RC2_40, 5, 8, 16, "1 2 840 113549 1 5 6"},
    {PBE_SHA1_DES, ALG_SHA1, ALG_DES, 8, 8, 20, "1 2 840 113549 1 5 10"},
    {PBE_SHA1_RC2, ALG_SHA1, ALG_RC2_40, 5, 8, 20, "1 2 840 113549 1 5 11"},
    {PBE_SHA1_SEED, ALG_SHA1, ALG_SEED, 16, 16, 20, "1 2 410 200004 1 15"},
    {PBE_SHA1_SEED_FIXED_IV, ALG_SHA1, ALG_SEED, 16, 16, 20, "1 2 410 200004 1 4"},
    {PBE_SHA1_NEAT, ALG_SHA1, ALG_NEAT, 16, 16, 20, "1 2 410 100001 1 7"},
    {PBE_HAS160_NEAT, ALG_HAS160, ALG_NEAT, 16, 16, 20, "1 2 410 100001 1 8"},
    {PBE_SHA1_ARIA, ALG_SHA1, ALG_ARIA128, 16, 16, 20, "1 2 410 200004 5 100 2 2"},
    {PBE_HAS160_ARIA, ALG_HAS160, ALG_ARIA128, 16, 16, 20, "1 2 410 200004 5 100 2 3"},
    {PBES2_DES, 0, ALG_DES, 16, 8, 20, "1 3 14 3 2 7"},
    {PBES2_3DES, 0, ALG_3DES, 32, 8, 20, "1 2 840 113549 3 7"},
    {PBES2_RC2, 0, ALG_RC2_40, 13, 8, 20, kOidRc2Cbc},
    {PBES2_SEED, 0, ALG_SEED, 32, 16, 20, "1 2 410 200004 1 4"},
    {PBES2_NEAT, 0, ALG_NEAT, 32, 16, 20, "1 2 410 100001 1 3"},
    {PBES2_ARIA, 0, ALG_ARIA128, 32, 16, 20, "1 2 410 100001 1 20"},
};

// Identifiers with a fixed answer. A row with a message is a refusal: `code`
// is then the failure code. `pkcs12` marks identifiers that imply the PKCS#12
// key derivation.
struct OidRow {
    const char* oid;
    int code;
    const char* refusal;
    bool pkcs12;
};
constexpr const char* kNes = "The NES algorithm does not supported.";
constexpr OidRow kOids[] = {
    {"1 2 840 113549 1 5 1", 1, "The MD2 or DES algorithm does not supported.", false},
    {"1 2 840 113549 1 5 4", 2, "The MD2 or RC2 algorithm does not supported.", false},
    {"1 2 840 113549 1 5 3", PBE_MD5_DES, nullptr, false},
    {"1 2 840 113549 1 5 6", PBE_MD5_RC2, nullptr, false},
    {"1 2 840 113549 1 5 10", PBE_SHA1_DES, nullptr, false},
    {"1 2 840 113549 1 5 11", PBE_SHA1_RC2, nullptr, false},
    {"1 2 410 200004 1 15", PBE_SHA1_SEED, nullptr, false},
    {"1 2 410 100001 1 7", PBE_SHA1_NEAT, nullptr, false},
    {"1 2 410 100001 1 8", PBE_HAS160_NEAT, nullptr, false},
    {"1 2 410 100001 1 3", PBES2_NEAT, nullptr, false},
    {"1 2 410 200004 5 100 2 2", PBE_SHA1_ARIA, nullptr, false},
    {"1 2 410 100001 1 24", PBE_SHA1_ARIA, nullptr, false},
    {"1 2 410 200004 5 100 2 3", PBE_HAS160_ARIA, nullptr, false},
    {"1 2 410 100001 1 26", PBE_HAS160_ARIA, nullptr, false},
    {"1 2 410 200004 5 100 2 1", PBES2_ARIA, nullptr, false},
    {"1 2 410 100001 1 20", PBES2_ARIA, nullptr, false},
    {"1 2 410 100001 1 11", 16, kNes, false},
    {"1 2 410 200004 5 100 3 1", 17, kNes, false},
    {"1 2 410 100001 1 15", 17, kNes, false},
    {"1 2 410 100001 1 16", 18, kNes, false},
    {"1 2 410 100001 1 17", 19, kNes, false},
    {"1 2 840 113549 1 12 1 4", 20, "The SHA1 or 3DES algorithm does not supported.", false},
    {"1 3 14 3 2 7", PBES2_DES, nullptr, false},
    {"1 2 840 113549 3 7", PBES2_3DES, nullptr, false},
    {"1 2 840 113549 1 12 1 3", PBES2_3DES, nullptr, true},
    {kOidRc5Cbc, 31, "The RC5 algorithm does not supported.", false},
};

// The RC2 parameter version that marks an IV read as an OCTET STRING inside PBES2.
constexpr int kIvInPbes2 = 2;
constexpr int kRc2Version40 = 160;
constexpr int kRc2KeyLength40 = 5;

// Copies the identifier text of an AlgorithmIdentifier.
ByteString oidOf(const RAlgorithmIdentifier& alg) {
    ASN1ObjectIdentifier oid = alg.getAlgorithm();
    return ByteString(oid.getOID());
}

// Bytes [from, from + n) of `src`, or empty when they are not all there.
ByteString slice(const ByteString& src, int from, int n) {
    if (from < 0 || n <= 0 || from + n > src.length()) return ByteString();
    return ByteString(src.data() + from, n);
}

}  // namespace

PPKCS8::PPKCS8() : m_nHashAlg(ALG_SHA1), m_nCipherAlg(ALG_SEED), m_SchemeOid("1 2 410 200004 1 4") {}

void PPKCS8::setPassword(const char* text) {
    m_Password.clear();
    if (text != nullptr) m_Password.set(text, static_cast<int>(std::strlen(text)));
    m_nFlags |= kFlagPassword;
}

void PPKCS8::setAlgorithm(int code) {
    m_nPbeAlg = code;
    m_bFixedIv = code == PBE_SHA1_SEED_FIXED_IV;
    for (const SchemeRow& row : kSchemes) {
        if (row.code != code) continue;
        if (row.hash != 0) m_nHashAlg = row.hash;
        m_nCipherAlg = row.cipher;
        m_nLen1 = row.len1;
        m_nIvLen = row.ivLen;
        m_nHashLen = row.hashLen;
        m_SchemeOid.assign(row.oid);
        return;
    }
}

int PPKCS8::setPrivateKeyInfo(const ByteString& der) {
    RPrivateKeyInfo info(der);
    if (info.errorCode() != 0) return fail(kClass, "setPrivateKeyInfo", "privateKeyInfo", 1, info.errorText());
    m_PrivateKeyInfo.assign(der);
    m_nFlags |= kFlagPrivateKeyInfo;
    return 0;
}

void PPKCS8::setData(const ByteString& data) {
    m_PrivateKeyInfo.assign(data);
    m_nFlags |= kFlagData;
}

int PPKCS8::cipherKeyLength() const {
    switch (m_nCipherAlg) {
        case ALG_DES:
            return 8;
        case ALG_3DES:
            return 24;
        case ALG_RC2_40:
            return kRc2KeyLength40;
        default:
            return 16;  // SEED, NEAT, ARIA-128
    }
}

int PPKCS8::PBE_Initialize(const ByteString& data) {
    constexpr const char* kMethod = "PBE_Initialize";
    if (!data.isEmpty()) {
        // The salt follows from password and key: the same key under the same
        // password always encrypts to the same bytes.
        ByteString input(m_Password);
        input.append(data);
        ByteString digest;
        ZRHash hash;
        if (hash.DigestData(m_nHashAlg, input, digest) != 0 || digest.length() < kSaltLen)
            return fail(kClass, kMethod, "salt", 4, hash.errorText());
        m_Salt.set(digest.data(), kSaltLen);
    }

    PasswordKdf kdf;
    const bool pbkdf2 = m_bSecondAttempt ? isPbes2() : !(m_bPkcs12Kdf || m_nPbeAlg == PBE_SHA1_NEAT) && isPbes2();
    const bool pkcs12 = !m_bSecondAttempt && (m_bPkcs12Kdf || m_nPbeAlg == PBE_SHA1_NEAT);

    if (pkcs12) {
        const ByteString wide = widenPassword(m_Password);
        if (kdf.pkcs12Sha1(wide, m_Salt, 1, m_nIteration, m_nLen1, m_Key) != 0)
            return fail(kClass, kMethod, "pkcs12", 1, kdf.errorText());
        if (kdf.pkcs12Sha1(wide, m_Salt, 2, m_nIteration, m_nIvLen, m_Iv) != 0)
            return fail(kClass, kMethod, "pkcs12", 2, kdf.errorText());
        return 0;
    }

    if (pbkdf2) {
        ByteString dk;
        if (kdf.pbkdf2Sha1(m_Password, m_Salt, m_nIteration, m_nLen1, dk) != 0)
            return fail(kClass, kMethod, "PBKDF2", 3, "PBKDF2 error");
        m_Key = slice(dk, 0, m_nLen1 - m_nIvLen);
        if (m_Iv.isEmpty()) m_Iv = slice(dk, m_nLen1 - m_nIvLen, m_nIvLen);
        return 0;
    }

    // PBKDF1: T = Hash^c(password || salt); the key is its head, the IV
    // depends on the scheme.
    ByteString t;
    if (kdf.pbkdf1(m_nHashAlg, m_Password, m_Salt, m_nIteration, t) != 0)
        return fail(kClass, kMethod, "PBKDF1", 5, kdf.errorText());
    if (m_nLen1 > t.length()) return fail(kClass, kMethod, "PBKDF1", 5, "The derived key is too short.");
    m_Key = slice(t, 0, m_nLen1);
    switch (m_nPbeAlg) {
        case PBE_SHA1_SEED:
        case PBE_SHA1_NEAT:
        case PBE_HAS160_NEAT:
        case PBE_SHA1_ARIA:
        case PBE_HAS160_ARIA: {
            // The IV is the head of the hash of the bytes after the key.
            ByteString rest = slice(t, m_nLen1, t.length() - m_nLen1), ivHash;
            ZRHash hash;
            if (hash.DigestData(m_nHashAlg, rest, ivHash) != 0 || ivHash.length() < m_nLen1)
                return fail(kClass, kMethod, "IV", 6, hash.errorText());
            m_Iv = slice(ivHash, 0, m_nLen1);
            break;
        }
        case 1:
        case 2:
        case PBE_MD5_DES:
        case PBE_MD5_RC2:
        case PBE_SHA1_DES:
        case PBE_SHA1_RC2:
        case 13:
            m_Iv = slice(t, m_nLen1, m_nIvLen);
            break;
        default:
            m_Iv.clear();  // the fixed-IV scheme supplies its own
    }
    return 0;
}

int PPKCS8::Encrypt(bool decrypt, const ByteString& in, ByteString& out) {
    ByteString key(m_Key);
    if (key.length() > cipherKeyLength()) key = slice(m_Key, 0, cipherKeyLength());
    const int mode = m_Iv.isEmpty() ? 0 : MODE_CBC;
    ZREncrypt cipher;
    const int rc = decrypt ? cipher.DecryptData(m_nCipherAlg, mode, key, m_Iv, in, out, kPadPkcs)
                           : cipher.EncryptData(m_nCipherAlg, mode, key, m_Iv, in, out, kPadPkcs);
    m_Key.clear();
    if (rc != 0) {
        location(kClass, decrypt ? "Decrypt" : "Encrypt", decrypt ? "Decrypt" : "encrypt.EncryptData()", rc,
                 cipher.errorText());
        return rc;
    }
    return 0;
}

int PPKCS8::makeKeyDerivationFunc(ByteString& der) {
    RPBKDF2_params params;
    ASN1OctetString salt;
    if (salt.setValue(m_Salt) != 0) return 1;
    ASN1Any saltChoice;
    saltChoice.set(salt.toASN1Object());
    params.setSalt(saltChoice);
    ASN1Integer count;
    count.setInteger(m_nIteration);
    params.setIterationCount(count);
    // Only the variable-length ciphers state their key length; the default
    // HMAC-SHA-1 pseudorandom function is never written.
    if (m_SchemeOid.equals(kOidRc2Cbc) || m_SchemeOid.equals(kOidRc5Cbc)) {
        ASN1Integer keyLength;
        keyLength.setInteger(m_nLen1 - m_nIvLen);
        params.setKeyLength(keyLength);
    }
    const ByteString& encoded = params.toASN1Object();
    if (params.errorCode() != 0) return 2;
    RAlgorithmIdentifier kdf;
    if (kdf.editAlgorithm().setOID(kOidPbkdf2) != 0) return 3;
    ASN1Any any;
    any.set(encoded);
    kdf.setParameters(any);
    der.assign(kdf.toASN1Object());
    return kdf.errorCode() != 0 ? 4 : 0;
}

int PPKCS8::makeEncryptionScheme(ByteString& der) {
    RAlgorithmIdentifier scheme;
    PAlgorithmUtil util;
    if (util.makeSymmetricAlgID(m_nCipherAlg, MODE_CBC, m_Iv, scheme) != 0) {
        location(kClass, "makeEncryptionScheme", "encryptionScheme", 1, util.errorText());
        return 1;
    }
    der.assign(scheme.toASN1Object());
    return scheme.errorCode() != 0 ? 2 : 0;
}

int PPKCS8::getPKCS8Data(ByteString& out) {
    constexpr const char* kMethod = "getPKCS8Data";
    if ((m_nFlags & kFlagPassword) == 0) return fail(kClass, kMethod, "Password", 1, "The Password does not setted.");
    if ((m_nFlags & (kFlagPrivateKeyInfo | kFlagData)) == 0)
        return fail(kClass, kMethod, "PrivateKeyInfo", 2, "The PrivateKeyInfo or Data does not setted.");
    m_bPkcs12Kdf = false;
    m_bSecondAttempt = false;
    if (PBE_Initialize(m_PrivateKeyInfo) != 0) return fail(kClass, kMethod, "PBE_Initialize", 3, errorText());
    if (m_bFixedIv) m_Iv.assign(kFixedSeedIv);

    ByteString cipherText;
    if (Encrypt(false, m_PrivateKeyInfo, cipherText) != 0)
        return fail(kClass, kMethod, "encrypt.EncryptData()", 4, errorText());

    RAlgorithmIdentifier encryptionAlgorithm;
    ASN1Any params;
    if (isPbes2()) {
        ByteString kdf, scheme;
        if (makeKeyDerivationFunc(kdf) != 0) return fail(kClass, kMethod, "keyDerivationFunc", 6);
        if (makeEncryptionScheme(scheme) != 0) return fail(kClass, kMethod, "encryptionScheme", 7, errorText());
        RPBES2_params pbes2;
        if (pbes2.editKeyDerivationFunc().fromASN1Object(kdf) != 0) return fail(kClass, kMethod, "pbes2Params", 8);
        if (pbes2.editEncryptionScheme().fromASN1Object(scheme) != 0) return fail(kClass, kMethod, "pbes2Params", 9);
        params.set(pbes2.toASN1Object());
        if (pbes2.errorCode() != 0 || encryptionAlgorithm.editAlgorithm().setOID(kOidPbes2) != 0)
            return fail(kClass, kMethod, "pbes2Params", 10, pbes2.errorText());
    } else {
        RPBEParameter pbe;
        ASN1Integer count;
        count.setInteger(m_nIteration);
        pbe.setIterationCount(count);
        if (pbe.editSalt().setValue(m_Salt) != 0) return fail(kClass, kMethod, "pbeParameter", 5);
        params.set(pbe.toASN1Object());
        if (pbe.errorCode() != 0 || encryptionAlgorithm.editAlgorithm().setOID(m_SchemeOid.c_str()) != 0)
            return fail(kClass, kMethod, "pbeParameter", 5, pbe.errorText());
    }
    encryptionAlgorithm.setParameters(params);

    REncryptedPrivateKeyInfo info;
    info.setEncryptionAlgorithm(encryptionAlgorithm);
    if (info.editEncryptedData().setValue(cipherText) != 0) return fail(kClass, kMethod, "encryptedPrivateKeyInfo", 11);
    const ByteString& der = info.toASN1Object();
    if (info.errorCode() != 0) return fail(kClass, kMethod, "encryptedPrivateKeyInfo", 12, info.errorText());
    if (der.isEmpty()) return fail(kClass, kMethod, "encryptedPrivateKeyInfo", 13);
    out.assign(der);
    return 0;
}

int PPKCS8::GetAlgorithm(const char* oid, int& code) {
    constexpr const char* kMethod = "GetAlgorithm";
    const char* text = oid == nullptr ? "" : oid;
    ByteString msg;
    if (std::strcmp(text, "1 2 410 200004 1 4") == 0) {
        code = m_nRc2ParamVersion == kIvInPbes2 ? PBES2_SEED : PBE_SHA1_SEED_FIXED_IV;
        return 0;
    }
    if (std::strcmp(text, "1 2 410 200004 1 4 2") == 0) {
        code = m_nRc2ParamVersion == kIvInPbes2 ? PBES2_SEED : PBE_SHA1_SEED_FIXED_IV;
        if (code == PBE_SHA1_SEED_FIXED_IV) m_bPkcs12Kdf = true;
        return 0;
    }
    if (std::strcmp(text, kOidRc2Cbc) == 0) {
        if (m_nRc2ParamVersion == 0) {
            if (m_nRc2KeyLength == 0) return fail(kClass, kMethod, "RC2", 24, "Key information does not enough.");
            if (m_nRc2KeyLength != kRc2KeyLength40) {
                msg.format("RC2KeyLength(%d) does not support.", m_nRc2KeyLength);
                return fail(kClass, kMethod, "RC2", 26, msg.c_str());
            }
        } else if (m_nRc2ParamVersion != kRc2Version40) {
            msg.format("RC2ParameterVersion(%d) does not support.", m_nRc2ParamVersion);
            return fail(kClass, kMethod, "RC2", 25, msg.c_str());
        }
        code = PBES2_RC2;
        return 0;
    }
    for (const OidRow& row : kOids) {
        if (std::strcmp(row.oid, text) != 0) continue;
        if (row.refusal != nullptr) return fail(kClass, kMethod, "bsOID", row.code, row.refusal);
        if (row.pkcs12) m_bPkcs12Kdf = true;
        code = row.code;
        return 0;
    }
    msg.format("bsOID(%s) is unknown OID.", text);
    return fail(kClass, kMethod, "bsOID", 32, msg.c_str());
}

int PPKCS8::parsePbes1(const ByteString& oid, const ByteString& params) {
    constexpr const char* kMethod = "getPrivateKeyInfo";
    int code = 0;
    if (GetAlgorithm(oid.c_str(), code) != 0) return fail(kClass, kMethod, "GetAlgorithm", 8, errorText());
    setAlgorithm(code);
    RPBEParameter pbe(params);
    if (pbe.errorCode() != 0) return fail(kClass, kMethod, "pbeParameter", 9, pbe.errorText());
    m_Salt.assign(pbe.getSalt().getValue());
    m_nIteration = pbe.getIterationCount().getInteger();
    return 0;
}

int PPKCS8::parsePbes2(const ByteString& params) {
    constexpr const char* kMethod = "getPrivateKeyInfo";
    RPBES2_params pbes2(params);
    if (pbes2.errorCode() != 0) return fail(kClass, kMethod, "pbes2Params", 10, pbes2.errorText());

    const RAlgorithmIdentifier& kdf = pbes2.getKeyDerivationFunc();
    ByteString kdfOid = oidOf(kdf);
    if (!kdfOid.equals(kOidPbkdf2)) {
        ByteString msg;
        msg.format("The key derivation function(%s) does not supported.", kdfOid.c_str());
        return fail(kClass, kMethod, "keyDerivationFunc", 6, msg.c_str());
    }
    RPBKDF2_params pbkdf2(kdf.getParameters().getEncoding());
    if (pbkdf2.errorCode() != 0) return fail(kClass, kMethod, "pbkdf2Params", 6, pbkdf2.errorText());
    if (pbkdf2.getSpecifiedSalt(m_Salt) != 0)
        return fail(kClass, kMethod, "salt", 6, "Only the specified salt is supported.");
    m_nIteration = pbkdf2.getIterationCount().getInteger();
    if (pbkdf2.hasKeyLength()) m_nRc2KeyLength = pbkdf2.getKeyLength().getInteger();
    if (pbkdf2.hasPrf() && !oidOf(pbkdf2.getPrf()).equals(kOidHmacSha1))
        return fail(kClass, kMethod, "prf", 4, "Only support HMAC-SHA-1 Pseudorandom function.");

    const RAlgorithmIdentifier& scheme = pbes2.getEncryptionScheme();
    const ByteString cipherOid = oidOf(scheme);
    const ByteString& schemeParams = scheme.getParameters().getEncoding();
    if (cipherOid.equals(kOidRc5Cbc))
        return fail(kClass, kMethod, "encryptionScheme", 7, "The RC5 algorithm dose not supported.");
    if (cipherOid.equals(kOidRc2Cbc)) {
        RRC2_CBC_Parameter rc2(schemeParams);
        if (rc2.errorCode() != 0) return fail(kClass, kMethod, "rc2CBCParameter", 7, rc2.errorText());
        if (rc2.hasRc2ParameterVersion()) m_nRc2ParamVersion = rc2.getRc2ParameterVersion().getInteger();
        m_Iv.assign(rc2.getIv().getValue());
    } else {
        ASN1OctetString iv(schemeParams);
        if (iv.getStatus() != 0) return fail(kClass, kMethod, "iv", 7, iv.errorText());
        m_Iv.assign(iv.getValue());
        m_nRc2ParamVersion = kIvInPbes2;
    }
    int code = 0;
    if (GetAlgorithm(cipherOid.c_str(), code) != 0) return fail(kClass, kMethod, "GetAlgorithm", 7, errorText());
    setAlgorithm(code);
    return 0;
}

int PPKCS8::decryptAndParse(const ByteString& cipherText, ByteString& out) {
    constexpr const char* kMethod = "getPrivateKeyInfo";
    if (PBE_Initialize(ByteString()) != 0) return fail(kClass, kMethod, "PBE_Initialize", 11, errorText());
    if (m_bFixedIv && m_Iv.isEmpty()) m_Iv.assign(kFixedSeedIv);
    ByteString plain;
    if (Encrypt(true, cipherText, plain) != 0) return fail(kClass, kMethod, "Decrypt", kDecryptFailed, errorText());
    if (plain.isEmpty()) return fail(kClass, kMethod, "Decrypt", 12, "Decrypted data length zero.");
    RPrivateKeyInfo info(plain);
    if (info.errorCode() != 0) return fail(kClass, kMethod, "privateKeyInfo", kDecryptFailed, info.errorText());
    const ByteString& der = info.toASN1Object();
    if (info.errorCode() != 0) return fail(kClass, kMethod, "privateKeyInfo", kDecryptFailed, info.errorText());
    out.assign(der);
    m_PrivateKeyInfo.assign(der);
    m_nFlags |= kFlagPrivateKeyInfo;
    return 0;
}

int PPKCS8::getPrivateKeyInfo(const ByteString& encrypted, ByteString& out) {
    constexpr const char* kMethod = "getPrivateKeyInfo";
    m_bPkcs12Kdf = false;
    m_bSecondAttempt = false;
    m_nRc2ParamVersion = 0;
    m_nRc2KeyLength = 0;
    m_Iv.clear();

    REncryptedPrivateKeyInfo info(encrypted);
    if (info.errorCode() != 0)
        return fail(kClass, kMethod, "encryptedPrivateKeyInfo", kNotEncryptedKey, info.errorText());
    const RAlgorithmIdentifier& algorithm = info.getEncryptionAlgorithm();
    const ByteString oid = oidOf(algorithm);
    const ByteString& params = algorithm.getParameters().getEncoding();
    const int rc = oid.equals(kOidPbes2) ? parsePbes2(params) : parsePbes1(oid, params);
    if (rc != 0) return rc;

    const ByteString& cipherText = info.getEncryptedData().getValue();
    const int first = decryptAndParse(cipherText, out);
    if (first != kDecryptFailed || m_nPbeAlg != PBE_SHA1_NEAT) return first;
    // NEAT keys were also written with PBKDF1 and the hashed-IV rule: try that
    // second, whether the padding or the PrivateKeyInfo check refused the first.
    m_bSecondAttempt = true;
    return decryptAndParse(cipherText, out);
}

}  // namespace qelt
