#include "ZRProcess/PPublicKey.h"

#include <cstring>
#include <string>

#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/key_blobs.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PPublicKey";
constexpr const char* kGet = "GetPublicKeyAlgorithm";

bool same(const ByteString& a, const char* b) { return std::strcmp(a.c_str(), b) == 0; }
}  // namespace

int PPublicKey::setPublicKeyInfo(const ByteString& der) {
    m_failure = Failure::None;
    m_bLoaded = false;
    if (der.isEmpty() || m_info.fromASN1Object(der) != 0) {
        m_failure = Failure::NotPublicKey;
        return fail(kClass, "setPublicKeyInfo", "pubKeyInfo", 1, "The data is not SubjectPublicKeyInfo.");
    }
    m_oid.assign(keyblob::oidOf(m_info.getAlgorithm()).c_str());
    m_bLoaded = true;
    return 0;
}

int PPublicKey::setCertificate(const ByteString& der) {
    m_failure = Failure::None;
    m_bLoaded = false;
    if (der.isEmpty() || !keyblob::spkiFrom(der, true, m_info)) {
        m_failure = Failure::NotCertificate;
        return fail(kClass, "setCertificate", "certificate", 1, "Unknown certificate type.");
    }
    m_oid.assign(keyblob::oidOf(m_info.getAlgorithm()).c_str());
    m_bLoaded = true;
    return 0;
}

int PPublicKey::GetPublicKeyAlgorithm(int nHashAlg, bool oaep, int& nAlg, ByteString& key) {
    if (!m_bLoaded) return fail(kClass, kGet, "pubKeyInfo", 1, "The public key does not setted.");
    if (nHashAlg == 0) nHashAlg = ALG_SHA1;
    const ByteString bits = keyblob::bitsOf(m_info.getSubjectPublicKey());
    ByteString msg;
    if (same(m_oid, kOidRsaEncryption)) {
        RRSAPublicKey rsa;
        if (rsa.fromASN1Object(bits) != 0) return fail(kClass, kGet, "rsaPublicKey", 3, rsa.errorText());
        const int len = keyblob::magnitudeOf(rsa.getModulus()).length();
        if (len == 64) {
            if (oaep) return fail(kClass, kGet, "m_nOption", 2, "The RSA_OAEP 512bit does not supported.");
            nAlg = ALG_RSA_ENC_512;
        } else if (len == 128) {
            nAlg = oaep ? ALG_RSA_OAEP_1024 : ALG_RSA_ENC_1024;
        } else if (len == 256) {
            nAlg = oaep ? ALG_RSA_OAEP_2048 : ALG_RSA_ENC_2048;
        } else {
            msg.format("nLen(%d) is not proper RSA public key length.", len);
            return fail(kClass, kGet, "nLen", 2, msg.c_str());
        }
        key.assign(bits);
        return 0;
    }
    if (same(m_oid, kOidKcdsa) || same(m_oid, kOidKcdsa21)) {
        ASN1Integer y;
        if (y.fromASN1Object(bits) != 0) return fail(kClass, kGet, "dsaPublicKey", 12, y.errorText());
        RKCDSAParameters params;
        if (!m_info.getAlgorithm().hasParameters() ||
            params.fromASN1Object(m_info.getAlgorithm().getParameters().getEncoding()) != 0)
            return fail(kClass, kGet, "dsaPublicKey", 13, "The KCDSA parameters are not readable.");
        // Sized by p: a y that happens to start with zero bytes is still a key of p's size.
        const int len = keyblob::magnitudeOf(params.getP()).length();
        msg.format("The hash(%d)withKCDSA is not supported.", nHashAlg);
        if (len == 128) {
            nAlg = nHashAlg == ALG_SHA1 ? ALG_KCDSA_SHA1_1024 : nHashAlg == ALG_HAS160 ? ALG_KCDSA_HAS160_1024 : 0;
            if (nAlg == 0) return fail(kClass, kGet, "nHashAlg", 8, msg.c_str());
        } else if (len == 256) {
            nAlg = nHashAlg == ALG_SHA1     ? ALG_KCDSA_SHA1_2048
                   : nHashAlg == ALG_HAS160 ? ALG_KCDSA_HAS160_2048
                   : nHashAlg == ALG_SHA256 ? ALG_KCDSA_SHA256_2048
                                            : 0;
            if (nAlg == 0) return fail(kClass, kGet, "nHashAlg", 14, msg.c_str());
        } else if (len == 64 && nHashAlg != ALG_SHA1) {
            return fail(kClass, kGet, "nHashAlg", 6, msg.c_str());
        } else {
            // 512-bit KCDSA is not supported: no algorithm code exists for it.
            msg.format("nLen(%d) is not proper for KCDSA public key length.", len);
            return fail(kClass, kGet, "nLen", 11, msg.c_str());
        }
        RDSAPublicKey blob;
        blob.setY(y);
        blob.setP(params.getP());
        blob.setQ(params.getQ());
        blob.setG(params.getG());
        key.assign(blob.toASN1Object());
        return 0;
    }
    if (same(m_oid, kOidEcPublicKey)) {
        if (nHashAlg != ALG_SHA1)
            return fail(kClass, kGet, "nHashAlgorithm", 35, "The ECDSA algorithm only support SHA1 algorithm.");
        RecpkParameters params;
        if (!m_info.getAlgorithm().hasParameters() ||
            params.fromASN1Object(m_info.getAlgorithm().getParameters().getEncoding()) != 0 || !params.isNamedCurve())
            return fail(kClass, kGet, "bsNamedCurve", 34, "bsNamedCurve length error.");
        ASN1ObjectIdentifier oid = params.getNamedCurve();
        const std::string curve = oid.getOID().c_str();
        static constexpr int kCodes[] = {0, ALG_ECDSA_SHA1_SECT163K1, ALG_ECDSA_SHA1_C2PNB163V1,
                                         ALG_ECDSA_SHA1_SECP160R1};
        nAlg = kCodes[static_cast<int>(ecCurveOfOid(curve.c_str()))];
        if (nAlg == 0) {
            msg.format("bsNamedCurve(%s) does not supported named curve.", curve.c_str());
            return fail(kClass, kGet, "bsNamedCurve", 36, msg.c_str());
        }
        key.assign(m_info.toASN1Object());
        return 0;
    }
    if (same(m_oid, kOidEcKcdsa)) return fail(kClass, kGet, "bsPublicKeyAlgorithm", 40, "The ECKCDSA algorithm does not supported.");
    if (same(m_oid, kOidDsa)) return fail(kClass, kGet, "bsPublicKeyAlgorithm", 23, "DSA is not supported");
    if (same(m_oid, kOidDh)) return fail(kClass, kGet, "bsPublicKeyAlgorithm", 31, "DH is not supported");
    msg.format("bsPublicKeyAlgorithm(%s) is unknwon algorithm.", m_oid.c_str());
    return fail(kClass, kGet, "bsPublicKeyAlgorithm", 46, msg.c_str());
}

int PPublicKey::getSignatureAlgorithm(int nHashAlg, int& nAlg, ByteString& key) {
    const int rc = GetPublicKeyAlgorithm(nHashAlg, false, nAlg, key);
    if (rc != 0) return rc;
    if (nHashAlg == 0) nHashAlg = ALG_SHA1;
    struct Row {
        int enc, md5, sha1, sha256, refusal;
    };
    static constexpr Row kRows[] = {
        {ALG_RSA_ENC_512, ALG_RSA_MD5_512, ALG_RSA_SHA1_512, 0, 6},
        {ALG_RSA_ENC_1024, ALG_RSA_MD5_1024, ALG_RSA_SHA1_1024, ALG_RSA_SHA256_1024, 7},
        {ALG_RSA_ENC_2048, ALG_RSA_MD5_2048, ALG_RSA_SHA1_2048, ALG_RSA_SHA256_2048, 8},
    };
    for (const Row& r : kRows) {
        if (r.enc != nAlg) continue;
        nAlg = nHashAlg == ALG_MD5 ? r.md5 : nHashAlg == ALG_SHA1 ? r.sha1 : nHashAlg == ALG_SHA256 ? r.sha256 : 0;
        if (nAlg == 0) {
            ByteString msg;
            msg.format("The Hash algorithm (%d) does not suppoted for RSA signature.", nHashAlg);
            return fail(kClass, "verifySignature", "nHashAlg", r.refusal, msg.c_str());
        }
    }
    return 0;
}

int PPublicKey::verifySignature(const ByteString& data, const ByteString& signature, int nHashAlg) {
    if (signature.isEmpty()) return fail(kClass, "verifySignature", "bsSignature", 1, "signature length error.");
    int alg = 0;
    ByteString key;
    const int rc = getSignatureAlgorithm(nHashAlg, alg, key);
    if (rc != 0) return rc;
    ZRSign sign;
    if (sign.VerifyData(alg, key, data, signature) != 0)
        return fail(kClass, "verifySignature", "sign.VerifyData", 21, sign.errorText());
    return 0;
}

int PPublicKey::verifySignatureWithCert(const ByteString& cert, const ByteString& data, const ByteString& signature,
                                        int nHashAlg) {
    if (setCertificate(cert) != 0) return errorCode();
    return verifySignature(data, signature, nHashAlg);
}

int PPublicKey::encrypt(const ByteString& data, ByteString& out, bool oaep) {
    if (data.isEmpty()) return fail(kClass, "encrypt", "bsData", 3, "data length error");
    if (same(m_oid, kOidDh) || same(m_oid, kOidEcdh))
        return fail(kClass, "encrypt", "bsPublicKeyAlgorithm", 4, "The ECDH and DH algorithms are not supported.");
    if (m_bLoaded && !same(m_oid, kOidRsaEncryption))
        return fail(kClass, "encrypt", "bsPublicKeyAlgorithm", 5, "The public key encryption only supported for RSA key.");
    int alg = 0;
    ByteString key;
    const int rc = GetPublicKeyAlgorithm(0, oaep, alg, key);
    if (rc != 0) return rc;
    ZREncrypt enc;
    if (enc.EncryptData(alg, MODE_PUBLIC_KEY, key, ByteString(), data, out, 0) != 0)
        return fail(kClass, "encrypt", "encrypt.EncryptData", 6, enc.errorText());
    return 0;
}

int PPublicKey::encryptWithCert(const ByteString& cert, const ByteString& data, ByteString& out, bool oaep) {
    if (setCertificate(cert) != 0) return errorCode();
    return encrypt(data, out, oaep);
}

int PPublicKey::decrypt(const ByteString& data, ByteString& out) {
    if (data.isEmpty()) return fail(kClass, "decrypt", "bsData", 3, "Data length error.");
    if (m_bLoaded && !same(m_oid, kOidRsaEncryption))
        return fail(kClass, "decrypt", "bsPublicKeyAlgorithm", 5, "The public key decryption only supported for RSA key.");
    int alg = 0;
    ByteString key;
    const int rc = GetPublicKeyAlgorithm(0, false, alg, key);
    if (rc != 0) return rc;
    ZREncrypt enc;
    if (enc.DecryptData(alg, MODE_PUBLIC_KEY, key, ByteString(), data, out, 0) != 0) {
        if (enc.engineResult() == zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED))
            m_failure = Failure::KeyMismatch;
        return fail(kClass, "decrypt", "decrypt.DecryptData", 6, enc.errorText());
    }
    return 0;
}

int PPublicKey::decryptWithCert(const ByteString& cert, const ByteString& data, ByteString& out) {
    if (setCertificate(cert) != 0) return errorCode();
    return decrypt(data, out);
}

int PPublicKey::verifyWTLSSignature(const ByteString& data, const ByteString& signature, int nHashAlg) {
    const char* m = "verifyWTLSSignature";
    if (signature.isEmpty()) return fail(kClass, m, "bsSignature", 1, "Signature length error.");
    int alg = 0;
    ByteString key;
    const bool rsa = same(m_oid, kOidRsaEncryption);
    if (GetPublicKeyAlgorithm(rsa ? 0 : nHashAlg, false, alg, key) != 0)
        return fail(kClass, m, "GetPublicKeyAlgorithm", 5, errorText());
    if (rsa) {
        ZRHash hash;
        ByteString digest, recovered;
        if (hash.DigestData(nHashAlg != 0 ? nHashAlg : ALG_SHA1, data, digest) != 0)
            return fail(kClass, m, "hash", nHashAlg != 0 ? 7 : 6, hash.errorText());
        ZREncrypt enc;
        if (enc.DecryptData(alg, MODE_PUBLIC_KEY, key, ByteString(), signature, recovered, 2) != 0)
            return fail(kClass, m, "encrypt", 8, enc.errorText());
        if (!(recovered == digest)) return fail(kClass, m, "bsHash", 9, "The hash value is different.");
        return 0;
    }
    ByteString der(signature);
    const int width = alg == ALG_ECDSA_SHA1_SECP160R1 ? 20
                      : alg == ALG_ECDSA_SHA1_SECT163K1 || alg == ALG_ECDSA_SHA1_C2PNB163V1 ? 21
                                                                                             : 0;
    if (width != 0) {
        if (signature.length() != 2 * width)
            return fail(kClass, m, "ecdsaSignValue", 10, "The signature is not r || s of the curve's width.");
        RECDSA_Sig_Value sv;
        sv.editR().setInteger(signature.data(), width, 0);
        sv.editS().setInteger(signature.data() + width, width, 0);
        der.assign(sv.toASN1Object());
        if (der.isEmpty()) return fail(kClass, m, "ecdsaSignValue", 12, sv.errorText());
    }
    ZRSign sign;
    if (sign.VerifyData(alg, key, data, der) != 0) return fail(kClass, m, "pSing->VerifyData", 13, sign.errorText());
    return 0;
}

int PPublicKey::verifyWTLSSignatureWithCert(const ByteString& cert, const ByteString& data,
                                            const ByteString& signature, int nHashAlg) {
    if (setCertificate(cert) != 0) return errorCode();
    return verifyWTLSSignature(data, signature, nHashAlg);
}

}  // namespace qelt
