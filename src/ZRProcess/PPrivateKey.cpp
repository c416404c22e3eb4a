#include "ZRProcess/PPrivateKey.h"

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "ASN1/asn1_cursor.h"
#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/key_blobs.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PPrivateKey";
constexpr const char* kGet = "GetPrivateKeyAlgorithm";
constexpr int kNotPrivateKeyInfo = 4108;

// Row of the RSA table: codes by modulus bytes.
struct RsaRow {
    int bytes, plain, oaep, md5, sha1, sha256;
};
constexpr RsaRow kRsaRows[] = {
    {64, ALG_RSA_ENC_512, 0, ALG_RSA_MD5_512, ALG_RSA_SHA1_512, 0},
    {128, ALG_RSA_ENC_1024, ALG_RSA_OAEP_1024, ALG_RSA_MD5_1024, ALG_RSA_SHA1_1024, ALG_RSA_SHA256_1024},
    {256, ALG_RSA_ENC_2048, ALG_RSA_OAEP_2048, ALG_RSA_MD5_2048, ALG_RSA_SHA1_2048, ALG_RSA_SHA256_2048},
};

// Octets of the modulus of an RSAPrivateKey in DER (SEQUENCE { version
// INTEGER, modulus INTEGER, ... }) without a leading sign octet; -1 when the
// start of the key is not that.
int modulusOctets(std::span<const uint8_t> der) {
    std::array<std::span<const uint8_t>, 2> ints;  // version, modulus
    std::span<const uint8_t> after;
    size_t sequenceLen = 0;
    if (!asn1::readLeadingIntegers(der, ints, after, sequenceLen) || ints[1].empty()) return -1;
    const std::span<const uint8_t> modulus = ints[1];
    const bool signOctet = modulus.size() > 1 && (modulus[0] == 0x00 || modulus[0] == 0xFF);
    return static_cast<int>(modulus.size()) - (signOctet ? 1 : 0);
}

bool isRsaCode(int alg) { return alg == ALG_RSA_ENC_512 || alg == ALG_RSA_ENC_1024 || alg == ALG_RSA_ENC_2048; }

}  // namespace

int PPrivateKey::setPrivateKeyInfo(const ByteString& der) {
    m_failure = Failure::None;
    m_bLoaded = false;
    if (der.isEmpty() || m_info.fromASN1Object(der) != 0) {
        m_failure = Failure::NotPrivateKey;
        return fail(kClass, "setPrivateKeyInfo", "priKeyInfo", kNotPrivateKeyInfo, "The data is not PrivateKeyInfo.");
    }
    m_oid.assign(keyblob::oidOf(m_info.getPrivateKeyAlgorithm()).c_str());
    m_bLoaded = true;
    return 0;
}

int PPrivateKey::rsaAlgorithm(int nHashAlg, bool oaep, int& nAlg, ByteString& key) {
    key.assign(m_info.getPrivateKey().getValue());
    // The size of the modulus is all that is needed here; the engine decodes
    // the whole key when it uses it. A key whose start does not read plainly
    // is decoded here, so that it is refused with the decoder's account.
    int bytes = modulusOctets(key.bytes());
    if (bytes < 0) {
        RRSAPrivateKey rsa;
        if (rsa.fromASN1Object(key) != 0) return fail(kClass, kGet, "rsaPrivateKey", 6, rsa.errorText());
        bytes = keyblob::magnitudeOf(rsa.getModulus()).length();
    }
    ByteString msg;
    const RsaRow* row = nullptr;
    for (const RsaRow& r : kRsaRows)
        if (r.bytes == bytes) row = &r;
    if (row == nullptr) {
        msg.format("The RSA %dbit is not supported.", bytes * 8);
        return fail(kClass, kGet, "nPrivateKey", 5, msg.c_str());
    }
    if (oaep) {
        if (nHashAlg != 0) return fail(kClass, kGet, "nHashAlgo", 5, "The RSA-PSS is not supported.");
        if (row->oaep == 0) return fail(kClass, kGet, "nPrivateKey", 5, "The RSA OAEP supported only for 1024, 2048bit");
        nAlg = row->oaep;
        return 0;
    }
    switch (nHashAlg) {
        case 0: nAlg = row->plain; return 0;
        case ALG_MD5: nAlg = row->md5; return 0;
        case ALG_SHA1: nAlg = row->sha1; return 0;
        case ALG_SHA256:
            if (row->sha256 != 0) {
                nAlg = row->sha256;
                return 0;
            }
            break;
        default: break;
    }
    msg.format("The Hash algorithm (%d) is not suppoted for RSA signature.", nHashAlg);
    return fail(kClass, kGet, "nHashAlgo", 11, msg.c_str());
}

int PPrivateKey::kcdsaAlgorithm(int nHashAlg, const ByteString* pub, bool isCert, int& nAlg, ByteString& key) {
    RKCDSAParameters params;
    if (!m_info.getPrivateKeyAlgorithm().hasParameters() ||
        params.fromASN1Object(m_info.getPrivateKeyAlgorithm().getParameters().getEncoding()) != 0)
        return fail(kClass, kGet, "kcdsaParameters", 7, "The KCDSA parameters are not readable.");
    const int bytes = keyblob::magnitudeOf(params.getP()).length();
    ByteString msg;
    struct Choice {
        int hash, code1024, code2048;
        const char* text;
    };
    static constexpr Choice kChoices[] = {
        {ALG_SHA1, ALG_KCDSA_SHA1_1024, ALG_KCDSA_SHA1_2048, "The SHA1 with KCDSA %dbit is not supported."},
        {ALG_SHA256, 0, ALG_KCDSA_SHA256_2048, "The SHA256 with KCDSA %dbit is not supported."},
        {ALG_HAS160, ALG_KCDSA_HAS160_1024, ALG_KCDSA_HAS160_2048, "The HAS160 with KCDSA %dbit is not supported."},
    };
    const Choice* c = nullptr;
    for (const Choice& x : kChoices)
        if (x.hash == nHashAlg) c = &x;
    if (c == nullptr) return fail(kClass, kGet, "nHashAlg", 9, "Only support sha1WithKCDSA, has160WithKCDSA.");
    nAlg = bytes == 128 ? c->code1024 : bytes == 256 ? c->code2048 : 0;
    if (nAlg == 0) {
        msg.format(c->text, bytes * 8);
        return fail(kClass, kGet, "nPrivateKey", 12, msg.c_str());
    }
    if (pub == nullptr || pub->isEmpty()) {
        m_failure = Failure::NeedPublicKey;
        return fail(kClass, kGet, "pubKeyInfo", 10, "You must set certificate or PublicKeyInfo.");
    }
    RSubjectPublicKeyInfo spki;
    ASN1Integer y;
    if (!keyblob::spkiFrom(*pub, isCert, spki)) {
        if (isCert) m_failure = Failure::NotCertificate;
        return fail(kClass, kGet, "pubKeyInfo", 9, isCert ? "Unknown certificate type." : spki.errorText());
    }
    if (y.fromASN1Object(keyblob::bitsOf(spki.getSubjectPublicKey())) != 0)
        return fail(kClass, kGet, "pubKeyInfo", 9, y.errorText());
    ASN1Integer x;
    if (x.fromASN1Object(m_info.getPrivateKey().getValue()) != 0)
        return fail(kClass, kGet, "kcdsaPrivateKey", 8, x.errorText());
    RDSAPrivateKey blob;
    blob.setP(params.getP());
    blob.setQ(params.getQ());
    blob.setG(params.getG());
    blob.setX(x);
    blob.setY(y);
    key.assign(blob.toASN1Object());
    return 0;
}

int PPrivateKey::ecAlgorithm(int nHashAlg, int& nAlg, ByteString& key) {
    RecpkParameters params;
    if (!m_info.getPrivateKeyAlgorithm().hasParameters() ||
        params.fromASN1Object(m_info.getPrivateKeyAlgorithm().getParameters().getEncoding()) != 0)
        return fail(kClass, kGet, "ecpkParams", 35, params.errorText());
    if (!params.isNamedCurve()) return fail(kClass, kGet, "bsNamedCurve", 37, "bsNamedCurve value error.");
    ASN1ObjectIdentifier curveOid = params.getNamedCurve();
    const std::string curve = curveOid.getOID().c_str();
    RECPrivateKey ec;
    if (ec.fromASN1Object(m_info.getPrivateKey().getValue()) != 0)
        return fail(kClass, kGet, "ecPrivateKey", 44, ec.errorText());
    if (ec.getPrivateKey().getValue().isEmpty()) return fail(kClass, kGet, "asnOct", 46, "The private value is empty.");
    const EcCurve c = ecCurveOfOid(curve.c_str());
    static constexpr int kSha1[] = {0, ALG_ECDSA_SHA1_SECT163K1, ALG_ECDSA_SHA1_C2PNB163V1, ALG_ECDSA_SHA1_SECP160R1};
    static constexpr int kSha256[] = {0, ALG_ECDSA_SHA256_SECT163K1, ALG_ECDSA_SHA256_C2PNB163V1,
                                      ALG_ECDSA_SHA256_SECP160R1};
    const int idx = static_cast<int>(c);
    nAlg = c == EcCurve::None                                ? 0
           : (nHashAlg == 0 || nHashAlg == ALG_SHA1) ? kSha1[idx]
           : nHashAlg == ALG_SHA256                          ? kSha256[idx]
                                                             : 0;
    if (nAlg == 0) {
        ByteString msg;
        msg.format("The ECC curve \"%s\" is not supported.", ecCurveName(curve.c_str()));
        return fail(kClass, kGet, "bsNamedCurve", 39, msg.c_str());
    }
    // The engine needs the curve inside the ECPrivateKey.
    if (!ec.hasParameters()) ec.setParameters(params);
    key.assign(ec.toASN1Object());
    return 0;
}

int PPrivateKey::GetPrivateKeyAlgorithm(int nHashAlg, bool oaep, const ByteString* pub, bool isCert, int& nAlg,
                                        ByteString& engineKey) {
    if (!m_bLoaded) {
        m_failure = Failure::NotPrivateKey;
        return fail(kClass, kGet, "privateKeyInfo", kNotPrivateKeyInfo, "The PrivateKeyInfo does not setted.");
    }
    const char* oid = m_oid.c_str();
    if (std::strcmp(oid, kOidRsaEncryption) == 0) return rsaAlgorithm(nHashAlg, oaep, nAlg, engineKey);
    if (std::strcmp(oid, kOidKcdsa) == 0 || std::strcmp(oid, kOidKcdsa21) == 0)
        return kcdsaAlgorithm(nHashAlg, pub, isCert, nAlg, engineKey);
    if (std::strcmp(oid, kOidEcPublicKey) == 0) return ecAlgorithm(nHashAlg, nAlg, engineKey);
    if (std::strcmp(oid, kOidEcKcdsa) == 0) return fail(kClass, kGet, "pPriKeyAlg", 43, "The ECKCDSA algorithm is not supported.");
    if (std::strcmp(oid, kOidDsa) == 0) return fail(kClass, kGet, "pPriKeyAlg", 26, "The DSA is not supported.");
    if (std::strcmp(oid, kOidDh) == 0) return fail(kClass, kGet, "pPriKeyAlg", 34, "The DH is not supported.");
    ByteString msg;
    msg.format("*pPriKeyAlg(%s) is unknwon algorithm.", oid);
    return fail(kClass, kGet, "pPriKeyAlg", 50, msg.c_str());
}

int PPrivateKey::genSignature(int nHashAlg, const ByteString& data, ByteString& signature, const ByteString* pub,
                              bool isCert) {
    m_failure = Failure::None;
    int alg = 0;
    ByteString key;
    const int rc = GetPrivateKeyAlgorithm(nHashAlg, false, pub, isCert, alg, key);
    if (rc != 0) return rc;
    ZRSign sign;
    if (sign.SignData(alg, key, data, signature) != 0)
        return fail(kClass, "genSignature", "sign.SignData()", 30, sign.errorText());
    return 0;
}

int PPrivateKey::encrypt(const ByteString& data, ByteString& out) {
    m_failure = Failure::None;
    if (m_bLoaded && std::strcmp(m_oid.c_str(), kOidRsaEncryption) != 0)
        return fail(kClass, "encrypt", "bsPriKeyAlg", 1, "The privateKey encryption only supported for RSA key.");
    int alg = 0;
    ByteString key;
    const int rc = GetPrivateKeyAlgorithm(0, false, nullptr, false, alg, key);
    if (rc != 0) return rc;
    ZREncrypt enc;
    if (enc.EncryptData(alg, MODE_PRIVATE_KEY, key, ByteString(), data, out, 0) != 0) {
        ByteString msg;
        msg.format("Data encryption is failed. %s", enc.errorText());
        return fail(kClass, "encrypt", "encrypt.EncryptData", 2, msg.c_str());
    }
    return 0;
}

int PPrivateKey::decrypt(const ByteString& data, ByteString& out, bool oaep) {
    m_failure = Failure::None;
    if (data.isEmpty()) return fail(kClass, "decrypt", "bsData", 1, "Data length error");
    if (m_bLoaded && (std::strcmp(m_oid.c_str(), kOidDh) == 0 || std::strcmp(m_oid.c_str(), kOidEcdh) == 0))
        return fail(kClass, "decrypt", "bsPriKeyAlg", 2, "The ECDH and DH algorithms are not supported.");
    if (m_bLoaded && std::strcmp(m_oid.c_str(), kOidRsaEncryption) != 0)
        return fail(kClass, "decrypt", "bsPriKeyAlg", 3, "The privateKey decryption only supported for RSA key.");
    int alg = 0;
    ByteString key;
    const int rc = GetPrivateKeyAlgorithm(0, oaep, nullptr, false, alg, key);
    if (rc != 0) return rc;
    ZREncrypt enc;
    if (enc.DecryptData(alg, MODE_PRIVATE_KEY, key, ByteString(), data, out, 0) != 0) {
        // The block did not come out well formed: the data was not made for this key.
        if (enc.engineResult() == zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED))
            m_failure = Failure::KeyMismatch;
        return fail(kClass, "decrypt", "decrypt.DecryptData", 4, enc.errorText());
    }
    return 0;
}

int PPrivateKey::genWTLSSignature(int nHashAlg, const ByteString& data, ByteString& signature, const ByteString* pub,
                                  bool isCert) {
    m_failure = Failure::None;
    if (data.isEmpty()) return fail(kClass, "genWTLSSignature", "bsData", 1, "The bsData is empty.");
    int alg = 0;
    ByteString key;
    const bool kcdsa = std::strcmp(m_oid.c_str(), kOidKcdsa) == 0 || std::strcmp(m_oid.c_str(), kOidKcdsa21) == 0;
    // KCDSA has no signature without a hash: it signs with SHA-1 unless told otherwise.
    const int rc = GetPrivateKeyAlgorithm(kcdsa ? (nHashAlg != 0 ? nHashAlg : ALG_SHA1) : 0, false, pub, isCert, alg,
                                          key);
    if (rc != 0) return fail(kClass, "genWTLSSignature", "GetPrivateKeyAlgorithm", 5, errorText());
    if (isRsaCode(alg)) {
        ZRHash hash;
        ByteString digest;
        if (hash.DigestData(nHashAlg != 0 ? nHashAlg : ALG_SHA1, data, digest) != 0)
            return fail(kClass, "genWTLSSignature", "hash", nHashAlg != 0 ? 7 : 6, hash.errorText());
        ZREncrypt enc;
        if (enc.EncryptData(alg, MODE_PRIVATE_KEY, key, ByteString(), digest, signature, 2) != 0)
            return fail(kClass, "genWTLSSignature", "encrypt", 8, enc.errorText());
        return 0;
    }
    ZRSign sign;
    ByteString der;
    if (sign.SignData(alg, key, data, der) != 0) return fail(kClass, "genWTLSSignature", "sign", 9, sign.errorText());
    const int width = alg == ALG_ECDSA_SHA1_SECP160R1 || alg == ALG_ECDSA_SHA256_SECP160R1 ? 20
                      : alg >= ALG_ECDSA_SHA1_SECT163K1 && alg <= ALG_ECDSA_SHA256_SECP160R1 ? 21
                                                                                             : 0;
    if (width == 0) {
        signature.assign(der);
        return 0;
    }
    RECDSA_Sig_Value sv;
    if (sv.fromASN1Object(der) != 0) return fail(kClass, "genWTLSSignature", "ecdsaSignValue", 10, sv.errorText());
    const ByteString r = keyblob::magnitudeOf(sv.getR()), s = keyblob::magnitudeOf(sv.getS());
    if (r.length() > width || s.length() > width)
        return fail(kClass, "genWTLSSignature", "ecdsaSignValue", 11, "The r or s value is too long.");
    signature.clear();
    for (const ByteString* v : {&r, &s}) {
        for (int i = v->length(); i < width; ++i) signature.append(static_cast<uint8_t>(0));
        signature.append(*v);
    }
    return 0;
}

}  // namespace qelt
