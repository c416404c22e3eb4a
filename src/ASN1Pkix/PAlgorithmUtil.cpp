#include "ASN1Pkix/PAlgorithmUtil.h"

#include <cstring>

#include "ASN1Pkix/cms_enveloped_data.h"
#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PAlgorithmUtil";
constexpr int kAnyMode = 0;

// code2oid: a row with kAnyMode answers every mode; otherwise the rows of one
// algorithm list its modes and the code returned for any other mode.
struct CodeToOid {
    int alg;
    int mode;
    const char* oid;
    int badModeCode;
};
constexpr CodeToOid kCodeToOid[] = {
    {ALG_MD5, kAnyMode, "1 2 840 113549 2 5", 0},
    {ALG_SHA1, kAnyMode, "1 3 14 3 2 26", 0},
    {ALG_SHA256, kAnyMode, "2 16 840 1 101 3 4 2 1", 0},
    {ALG_HAS160, kAnyMode, "1 2 410 200004 1 2", 0},
    {ALG_DES, MODE_ECB, "1 3 14 3 2 6", 1},
    {ALG_DES, MODE_CBC, "1 3 14 3 2 7", 1},
    {ALG_DES, MODE_OFB, "1 3 14 3 2 8", 1},
    {ALG_3DES, kAnyMode, "1 2 840 113549 3 7", 0},
    {ALG_SEED, MODE_ECB, "1 2 410 200004 1 3", 2},
    {ALG_SEED, MODE_CBC, "1 2 410 200004 1 4", 2},
    {ALG_SEED, MODE_OFB, "1 2 410 200004 1 5", 2},
    {ALG_NEAT, MODE_CBC, "1 2 410 100001 1 3", 3},
    {ALG_ARIA128, MODE_CBC, "1 2 410 100001 1 20", 5},
    {ALG_RC2_40, kAnyMode, "1 2 840 113549 3 2", 0},
};

// oid2code: kAnyMode marks the hash and HMAC OIDs, which need no mode.
struct OidToCode {
    const char* oid;
    int alg;
    int mode;
    int noModeCode;  // returned when the caller gives no place for the mode
};
constexpr OidToCode kOidToCode[] = {
    {"1 3 14 3 2 26", ALG_SHA1, kAnyMode, 0},
    {"2 16 840 1 101 3 4 2 1", ALG_SHA256, kAnyMode, 0},
    {"1 2 840 113549 2 5", ALG_MD5, kAnyMode, 0},
    {"1 2 410 200004 1 2", ALG_HAS160, kAnyMode, 0},
    {"1 3 6 1 5 5 8 1 2", ALG_HMAC_SHA1, kAnyMode, 0},
    {"1 2 840 113549 2 9", ALG_HMAC_SHA256, kAnyMode, 0},
    {"1 3 14 3 2 6", ALG_DES, MODE_ECB, 7},
    {"1 3 14 3 2 7", ALG_DES, MODE_CBC, 9},
    {"1 2 410 200004 1 3", ALG_SEED, MODE_ECB, 11},
    {"1 2 410 200004 1 4", ALG_SEED, MODE_CBC, 13},
    {"1 2 410 100001 1 3", ALG_NEAT, MODE_CBC, 15},
    {"1 2 410 200004 5 100 2 1", ALG_ARIA128, MODE_CBC, 19},
    {"1 2 410 100001 1 20", ALG_ARIA128, MODE_CBC, 19},
    {"1 2 840 113549 3 2", ALG_RC2_40, MODE_CBC, 21},
    {"1 2 840 113549 3 7", ALG_3DES, MODE_CBC, 24},
};

constexpr int kRc2ParamVersion = 160;  // RC2-CBC parameter version of 40 effective key bits

constexpr const char* kOidRsa = "1 2 840 113549 1 1 1";
constexpr const char* kOidKcdsa = "1 2 410 200004 1 1";
constexpr const char* kOidKcdsa1 = "1 2 410 200004 1 21";
constexpr const char* kOidEc = "1 2 840 10045 2 1";
constexpr const char* kOidEcdsaSha1 = "1 2 840 10045 4 1";
constexpr const char* kOidEcdsaSha256 = "1 2 840 10045 4 3 2";

// Key algorithms that never sign here, each with the code and message of its
// refusal in makeSignAlgID and makeDigestEncAlgID.
struct RefusedKey {
    const char* oid;
    int signCode;
    int digestEncCode;
    const char* message;
};
constexpr RefusedKey kRefusedKeys[] = {
    {"1 2 840 10040 4 1", 8, 3, "The DSA algorithm does not support."},
    {"1 2 410 200004 1 100 2 1", 12, 11, "The ECKCDSA algorithm does not support."},
    {"1 2 840 10046 2 1", 14, 13, "The DH algorithm does not support."},
};

struct HashToSign {
    int hash;
    const char* signOid;
};
// Signature algorithms by key algorithm: which hashes each key takes, whether
// the identifier carries NULL parameters, and the code of a refused hash.
struct SignFamily {
    const char* keyOid;
    bool nullParams;
    int badHashCode;
    HashToSign sigs[3];
};
constexpr SignFamily kSignFamilies[] = {
    {kOidRsa,
     true,
     1,
     {{ALG_MD5, "1 2 840 113549 1 1 4"}, {ALG_SHA1, "1 2 840 113549 1 1 5"}, {ALG_SHA256, "1 2 840 113549 1 1 11"}}},
    {kOidKcdsa, false, 3, {{ALG_SHA1, "1 2 410 200004 1 9"}, {ALG_HAS160, "1 2 410 200004 1 8"}, {0, nullptr}}},
    {kOidKcdsa1,
     false,
     5,
     {{ALG_SHA1, "1 2 410 200004 1 23"}, {ALG_SHA256, "1 2 410 200004 1 38"}, {ALG_HAS160, "1 2 410 200004 1 22"}}},
    {kOidEc, false, 9, {{ALG_SHA1, kOidEcdsaSha1}, {ALG_SHA256, kOidEcdsaSha256}, {0, nullptr}}},
};

// Signature OID -> the hash it implies.
constexpr HashToSign kSignToHash[] = {
    {ALG_SHA1, "1 2 840 113549 1 1 5"},
    {ALG_SHA1, kOidEcdsaSha1},
    {ALG_SHA1, "1 2 410 200004 1 9"},
    {ALG_SHA1, "1 2 410 200004 1 23"},
    {ALG_SHA1, "1 2 840 10040 4 3"},
    {ALG_MD5, "1 2 840 113549 1 1 4"},
    {ALG_HAS160, "1 2 410 200004 1 8"},
    {ALG_HAS160, "1 2 410 200004 1 22"},
    {ALG_HAS160, "1 2 410 200004 1 100 4 1"},
    {ALG_HAS160, "1 2 410 200004 1 20"},
    {ALG_SHA256, "1 2 840 113549 1 1 11"},
    {ALG_SHA256, "1 2 410 200004 1 38"},
    {ALG_SHA256, kOidEcdsaSha256},
};

// Digests: code, OID, whether NULL parameters follow, and the code of a failed
// OID set in makeAlgorithmID.
struct DigestRow {
    int alg;
    const char* oid;
    bool nullParams;
    int setFailCode;
};
constexpr DigestRow kDigests[] = {
    {ALG_MD5, "1 2 840 113549 2 5", true, 6},
    {ALG_SHA1, "1 3 14 3 2 26", false, 1},
    {ALG_SHA256, "2 16 840 1 101 3 4 2 1", false, 2},
    {ALG_HAS160, "1 2 410 200004 1 2", false, 3},
};
constexpr const char* kOidMd2 = "1 2 840 113549 2 2";
constexpr const char* kOidMd4 = "1 2 840 113549 2 4";

// Sets the OID and, when asked, NULL parameters; false when the OID is refused.
bool setIdentifier(RAlgorithmIdentifier& out, const char* oid, bool nullParams) {
    out = RAlgorithmIdentifier();
    if (out.editAlgorithm().setOID(oid) != 0) return false;
    if (nullParams) {
        ASN1Null null;
        ASN1Any params;
        params.set(null.toASN1Object());
        out.setParameters(params);
    }
    return true;
}

// The OID text of an identifier; empty when it cannot be read.
ByteString oidText(const RAlgorithmIdentifier& alg) {
    if (alg.errorCode() != 0) return ByteString();
    ASN1ObjectIdentifier oid = alg.getAlgorithm();
    return ByteString(oid.getOID());
}

}  // namespace

int PAlgorithmUtil::code2oid(int nAlg, ByteString& oid, int nMode) {
    ByteString msg;
    int badModeCode = 0;
    for (const CodeToOid& row : kCodeToOid) {
        if (row.alg != nAlg) continue;
        if (row.mode == kAnyMode || row.mode == nMode) {
            oid.assign(row.oid);
            return 0;
        }
        badModeCode = row.badModeCode;
    }
    if (badModeCode != 0) {
        msg.format("The encryption mode(%d) dose not supported.", nMode);
        return fail(kClass, "code2oid", "nMode", badModeCode, msg.c_str());
    }
    msg.format("The Algorithm Code(%d) dose not supported.", nAlg);
    return fail(kClass, "code2oid", "nAlg", 6, msg.c_str());
}

int PAlgorithmUtil::oid2code(const char* oid, int* pAlg, int* pMode, int nParamVer) {
    ByteString msg;
    for (const OidToCode& row : kOidToCode) {
        if (oid == nullptr || std::strcmp(row.oid, oid) != 0) continue;
        if (row.mode != kAnyMode) {
            if (pMode == nullptr) return fail(kClass, "oid2code", "bsAlgOid", row.noModeCode, "pMode is NULL.");
            if (row.alg == ALG_RC2_40 && nParamVer != kRc2ParamVersion) {
                msg.format("nParamVer(%d) is not supported.", nParamVer);
                return fail(kClass, "oid2code", "nParamVer", 22, msg.c_str());
            }
            *pMode = row.mode;
        }
        if (pAlg != nullptr) *pAlg = row.alg;
        return 0;
    }
    msg.format("Algorithm OID(%s) dose not support.", oid == nullptr ? "" : oid);
    return fail(kClass, "oid2code", "bsAlgOid", 26, msg.c_str());
}

int PAlgorithmUtil::makeSignAlgID(const char* keyAlgOid, int nHashAlg, RAlgorithmIdentifier& signAlg) {
    constexpr const char* kMethod = "makeSignAlgID";
    const char* key = keyAlgOid == nullptr ? "" : keyAlgOid;
    ByteString msg;
    for (const SignFamily& family : kSignFamilies) {
        if (std::strcmp(family.keyOid, key) != 0) continue;
        for (const HashToSign& sig : family.sigs) {
            if (sig.signOid == nullptr || sig.hash != nHashAlg) continue;
            if (!setIdentifier(signAlg, sig.signOid, family.nullParams))
                return fail(kClass, kMethod, "pSignAlg", 16, signAlg.getAlgorithm().errorText());
            return 0;
        }
        msg.format("The Hash Algorithm(%d) dose not support.", nHashAlg);
        return fail(kClass, kMethod, "nHashAlg", family.badHashCode, msg.c_str());
    }
    for (const RefusedKey& refused : kRefusedKeys)
        if (std::strcmp(refused.oid, key) == 0)
            return fail(kClass, kMethod, "bsAlg", refused.signCode, refused.message);
    msg.format("ASymmetric Algorithm(%s) dose not support.", key);
    return fail(kClass, kMethod, "bsAlg", 15, msg.c_str());
}

int PAlgorithmUtil::makeDigestEncAlgID(const char* keyAlgOid, int nHashAlg, RAlgorithmIdentifier& digestEncAlg) {
    constexpr const char* kMethod = "makeDigestEncAlgID";
    const char* key = keyAlgOid == nullptr ? "" : keyAlgOid;
    ByteString msg;
    const char* oid = nullptr;
    bool nullParams = false;
    if (std::strcmp(key, kOidRsa) == 0) {
        oid = kOidRsa;
        nullParams = true;
    } else if (std::strcmp(key, kOidKcdsa) == 0 || std::strcmp(key, kOidKcdsa1) == 0) {
        oid = key;  // KCDSA names the signature by the key algorithm itself
    } else if (std::strcmp(key, kOidEc) == 0) {
        if (nHashAlg == ALG_SHA1)
            oid = kOidEcdsaSha1;
        else if (nHashAlg == ALG_SHA256)
            oid = kOidEcdsaSha256;
        else {
            msg.format("The Hash Algorithm(%d) dose not support.", nHashAlg);
            return fail(kClass, kMethod, "nHashAlg", 8, msg.c_str());
        }
    } else {
        for (const RefusedKey& refused : kRefusedKeys)
            if (std::strcmp(refused.oid, key) == 0)
                return fail(kClass, kMethod, "bsAlg", refused.digestEncCode, refused.message);
        msg.format("ASymmetric Algorithm(%s) dose not support.", key);
        return fail(kClass, kMethod, "bsAlg", 14, msg.c_str());
    }
    if (!setIdentifier(digestEncAlg, oid, nullParams))
        return fail(kClass, kMethod, "pDigestEncAlg", 15, digestEncAlg.getAlgorithm().errorText());
    return 0;
}

int PAlgorithmUtil::getHashAlgFromSignAlg(const RAlgorithmIdentifier& signAlg, int& nHashAlg) {
    const ByteString oid = oidText(signAlg);
    if (oid.isEmpty()) return fail(kClass, "getHashAlgFromSignAlg", "pSignAlgID", 1);
    for (const HashToSign& row : kSignToHash) {
        if (!oid.equals(row.signOid)) continue;
        nHashAlg = row.hash;
        return 0;
    }
    ByteString msg;
    msg.format("The %s signature algorithm is does not supported.", oid.c_str());
    return fail(kClass, "getHashAlgFromSignAlg", "bsSignature", 2, msg.c_str());
}

int PAlgorithmUtil::makeAlgorithmID(int nAlg, RAlgorithmIdentifier& digestAlg) {
    for (const DigestRow& row : kDigests) {
        if (row.alg != nAlg) continue;
        if (!setIdentifier(digestAlg, row.oid, row.nullParams))
            return fail(kClass, "makeAlgorithmID", "pDigestAlg", row.setFailCode, digestAlg.getAlgorithm().errorText());
        return 0;
    }
    ByteString msg;
    msg.format("nAlg (%d) is unknown algorithm code.", nAlg);
    return fail(kClass, "makeAlgorithmID", "nAlg", 7, msg.c_str());
}

int PAlgorithmUtil::makeDigestAlgID(const char* oid, RAlgorithmIdentifier& digestAlg) {
    const char* text = oid == nullptr ? "" : oid;
    bool known = std::strcmp(text, kOidMd2) == 0;
    bool nullParams = known;
    for (const DigestRow& row : kDigests) {
        if (std::strcmp(row.oid, text) != 0) continue;
        known = true;
        nullParams = row.nullParams;
    }
    if (!known) {
        ByteString msg;
        msg.format("Digest Algorithm(%s) dose not support.", text);
        return fail(kClass, "makeDigestAlgID", "bsOID", 3, msg.c_str());
    }
    if (!setIdentifier(digestAlg, text, nullParams))
        return fail(kClass, "makeDigestAlgID", "pDigestAlg", nullParams ? 1 : 2, digestAlg.getAlgorithm().errorText());
    return 0;
}

int PAlgorithmUtil::parseHashAlgID(const RAlgorithmIdentifier& hashAlg, int& nHashAlg) {
    const ByteString oid = oidText(hashAlg);
    if (oid.isEmpty()) return fail(kClass, "parseHashAlgID", "pHashAlg", 1);
    for (const DigestRow& row : kDigests) {
        if (!oid.equals(row.oid)) continue;
        nHashAlg = row.alg;
        return 0;
    }
    if (oid.equals(kOidMd2))
        return fail(kClass, "parseHashAlgID", "bsHashAlg", 4, "The MD2 algorithm does not support.");
    if (oid.equals(kOidMd4))
        return fail(kClass, "parseHashAlgID", "bsHashAlg", 5, "The MD4 algorithm does not support.");
    ByteString msg;
    msg.format("bsHashAlg (%s) is unknown hash algorithm.", oid.c_str());
    return fail(kClass, "parseHashAlgID", "bsHashAlg", 8, msg.c_str());
}

int PAlgorithmUtil::makeSymmetricAlgID(int nAlg, int nMode, const ByteString& iv, RAlgorithmIdentifier& symAlg) {
    constexpr const char* kMethod = "makeSymmetricAlgID";
    ByteString msg;
    symAlg = RAlgorithmIdentifier();
    ASN1Any params;
    if (nAlg == ALG_RC2_40) {
        if (symAlg.editAlgorithm().setOID("1 2 840 113549 3 2") != 0)
            return fail(kClass, kMethod, "pSymmetricAlg", 9, symAlg.getAlgorithm().errorText());
        RRC2_CBC_Parameter rc2;
        ASN1Integer version;
        version.setInteger(kRc2ParamVersion);
        rc2.setRc2ParameterVersion(version);
        if (rc2.editIv().setValue(iv) != 0) return fail(kClass, kMethod, "rc2CBCParameter", 6);
        const ByteString& der = rc2.toASN1Object();
        if (rc2.errorCode() != 0) return fail(kClass, kMethod, "rc2CBCParameter", 7, rc2.errorText());
        params.set(der);
        symAlg.setParameters(params);
        return 0;
    }
    // code2oid knows the OIDs; only the mode codes reported here differ.
    bool knownAlg = false;
    int badModeCode = 0;
    const char* oid = nullptr;
    for (const CodeToOid& row : kCodeToOid) {
        if (row.alg != nAlg || nAlg == ALG_MD5 || nAlg == ALG_SHA1 || nAlg == ALG_SHA256 || nAlg == ALG_HAS160)
            continue;
        knownAlg = true;
        if (row.mode == kAnyMode || row.mode == nMode) oid = row.oid;
        badModeCode = row.badModeCode;
    }
    if (!knownAlg) {
        msg.format("nAlg (%d) is unknown algorithm code.", nAlg);
        return fail(kClass, kMethod, "nAlg", 8, msg.c_str());
    }
    if (oid == nullptr) {
        msg.format("The nMode(%d) does not supported.", nMode);
        return fail(kClass, kMethod, "pAlgOID", badModeCode, msg.c_str());
    }
    if (symAlg.editAlgorithm().setOID(oid) != 0)
        return fail(kClass, kMethod, "pSymmetricAlg", 9, symAlg.getAlgorithm().errorText());
    ASN1OctetString asnIv;
    if (asnIv.setValue(iv) != 0) return fail(kClass, kMethod, "asnIv", 10);
    const ByteString& der = asnIv.toASN1Object();
    if (asnIv.getStatus() != 0) return fail(kClass, kMethod, "asnIv", 11, asnIv.errorText());
    params.set(der);
    symAlg.setParameters(params);
    return 0;
}

}  // namespace qelt
