#include "ASN1Pkix/PSignatureCheck.h"

#include <cstring>
#include <vector>

#include "ASN1/asn1_cursor.h"
#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/key_blobs.h"

namespace qelt {

enum class SignatureKeyFamily { Rsa, Ecdsa, Kcdsa, Dsa };

struct SignatureAlgorithmRow {
    const char* oid;
    int hash;
    SignatureKeyFamily family;
};

namespace {

constexpr const char* kClass = "PSignatureCheck";

constexpr SignatureAlgorithmRow kSignatures[] = {
    {"1 2 840 113549 1 1 4", ALG_MD5, SignatureKeyFamily::Rsa},
    {"1 2 840 113549 1 1 5", ALG_SHA1, SignatureKeyFamily::Rsa},
    {"1 2 840 113549 1 1 11", ALG_SHA256, SignatureKeyFamily::Rsa},
    {"1 2 410 200004 1 20", ALG_HAS160, SignatureKeyFamily::Rsa},
    {"1 2 840 10045 4 1", ALG_SHA1, SignatureKeyFamily::Ecdsa},
    {"1 2 840 10045 4 3 2", ALG_SHA256, SignatureKeyFamily::Ecdsa},
    {"1 2 410 200004 1 8", ALG_HAS160, SignatureKeyFamily::Kcdsa},
    {"1 2 410 200004 1 9", ALG_SHA1, SignatureKeyFamily::Kcdsa},
    {"1 2 410 200004 1 22", ALG_HAS160, SignatureKeyFamily::Kcdsa},
    {"1 2 410 200004 1 23", ALG_SHA1, SignatureKeyFamily::Kcdsa},
    {"1 2 410 200004 1 38", ALG_SHA256, SignatureKeyFamily::Kcdsa},
    {"1 2 840 10040 4 3", ALG_SHA1, SignatureKeyFamily::Dsa},
};

struct KeyRow {
    const char* oid;
    SignatureKeyFamily family;
};

constexpr KeyRow kKeys[] = {
    {kOidRsaEncryption, SignatureKeyFamily::Rsa}, {kOidEcPublicKey, SignatureKeyFamily::Ecdsa},
    {kOidKcdsa, SignatureKeyFamily::Kcdsa},       {kOidKcdsa21, SignatureKeyFamily::Kcdsa},
    {kOidDsa, SignatureKeyFamily::Dsa},
};

// ECDSA over SHA-256 on the same curve as the SHA-1 code the key class names.
int ecdsaSha256Of(int sha1Code) {
    switch (sha1Code) {
        case ALG_ECDSA_SHA1_SECT163K1:
            return ALG_ECDSA_SHA256_SECT163K1;
        case ALG_ECDSA_SHA1_C2PNB163V1:
            return ALG_ECDSA_SHA256_C2PNB163V1;
        case ALG_ECDSA_SHA1_SECP160R1:
            return ALG_ECDSA_SHA256_SECP160R1;
        default:
            return 0;
    }
}

// The modulus length in octets of an RSAPublicKey, read from its first
// INTEGER's header; 0 when the key is not shaped like one.
int modulusLength(std::span<const uint8_t> key) {
    asn1::ElementBounds outer, modulus;
    if (!asn1::scanElement(key, outer) || key[0] != 0x30 || outer.indefinite) return 0;
    const auto content = key.subspan(outer.headerLen, outer.contentLen);
    if (!asn1::scanElement(content, modulus) || content[0] != 0x02 || modulus.indefinite) return 0;
    int len = static_cast<int>(modulus.contentLen);
    if (len > 0 && content[modulus.headerLen] == 0x00) --len;
    return len;
}

// RSA signature codes by modulus length and hash.
struct RsaRow {
    int octets, md5, sha1, sha256;
};
constexpr RsaRow kRsaCodes[] = {
    {64, ALG_RSA_MD5_512, ALG_RSA_SHA1_512, 0},
    {128, ALG_RSA_MD5_1024, ALG_RSA_SHA1_1024, ALG_RSA_SHA256_1024},
    {256, ALG_RSA_MD5_2048, ALG_RSA_SHA1_2048, ALG_RSA_SHA256_2048},
};

const ByteString& rsaOidContent() {
    static const ByteString content = ASN1ObjectIdentifier(kOidRsaEncryption).getValue();
    return content;
}

const SignatureAlgorithmRow* signatureRowOf(const RAlgorithmIdentifier& alg) {
    static const std::vector<ByteString> contents = [] {
        std::vector<ByteString> v;
        for (const SignatureAlgorithmRow& r : kSignatures) v.push_back(ASN1ObjectIdentifier(r.oid).getValue());
        return v;
    }();
    const ByteString& id = alg.getAlgorithm().getValue();
    for (size_t k = 0; k < contents.size(); ++k)
        if (contents[k] == id) return &kSignatures[k];
    return nullptr;
}

}  // namespace

int PSignatureCheck::engineKey(const RSubjectPublicKeyInfo& publicKeyInfo, const SignatureAlgorithmRow& row, int& alg,
                               ByteString& key) {
    constexpr const char* kMethod = "verify";
    const RAlgorithmIdentifier& keyAlg = publicKeyInfo.getAlgorithm();
    if (keyAlg.getAlgorithm().getValue() == rsaOidContent()) {
        // RSA, the common case: the engine takes the RSAPublicKey as it is.
        if (row.family != SignatureKeyFamily::Rsa)
            return fail(kClass, kMethod, "publicKey", 2,
                        "The public key(rsaEncryption) does not match the signature algorithm.");
        const ByteString& bits = publicKeyInfo.getSubjectPublicKey().getValue();
        if (bits.length() < 2 || bits.data()[0] != 0)
            return fail(kClass, kMethod, "publicKey", 2, "The RSA public key is not a whole number of octets.");
        key.set(bits.data() + 1, bits.length() - 1);
        const int octets = modulusLength(key.bytes());
        alg = 0;
        for (const RsaRow& r : kRsaCodes)
            if (r.octets == octets)
                alg = row.hash == ALG_MD5      ? r.md5
                      : row.hash == ALG_SHA1   ? r.sha1
                      : row.hash == ALG_SHA256 ? r.sha256
                                               : 0;
        if (alg == 0) {
            ByteString msg;
            msg.format("The RSA key of %d octets with the hash(%d) is not supported.", octets, row.hash);
            return fail(kClass, kMethod, "publicKey", 2, msg.c_str());
        }
        return 0;
    }
    RSubjectPublicKeyInfo copy = publicKeyInfo;
    PPublicKey pub;
    if (pub.setPublicKeyInfo(ByteString(copy.toASN1Object())) != 0)
        return fail(kClass, kMethod, "publicKey", 2, pub.errorText());
    bool sameFamily = false;
    for (const KeyRow& k : kKeys)
        if (std::strcmp(pub.algorithmOid(), k.oid) == 0) sameFamily = k.family == row.family;
    if (!sameFamily) {
        ByteString msg;
        msg.format("The public key(%s) does not match the signature algorithm(%s).", pub.algorithmOid(), row.oid);
        return fail(kClass, kMethod, "publicKey", 2, msg.c_str());
    }
    // The key class names ECDSA codes for SHA-1 only; the curve decides the SHA-256 code.
    const int keyHash = row.family == SignatureKeyFamily::Ecdsa ? ALG_SHA1 : row.hash;
    if (pub.getSignatureAlgorithm(keyHash, alg, key) != 0)
        return fail(kClass, kMethod, "publicKey", 2, pub.errorText());
    if (row.family == SignatureKeyFamily::Ecdsa && row.hash == ALG_SHA256) alg = ecdsaSha256Of(alg);
    return 0;
}

int PSignatureCheck::verify(const ByteString& publicKeyInfo, const RAlgorithmIdentifier& signatureAlgorithm,
                            std::span<const uint8_t> signedBytes, const ASN1BitString& signature) {
    RSubjectPublicKeyInfo key;
    if (key.fromASN1Object(publicKeyInfo) != 0)
        return fail(kClass, "verify", "publicKey", 2, "The data is not SubjectPublicKeyInfo.");
    return verify(key, signatureAlgorithm, signedBytes, signature);
}

int PSignatureCheck::verify(const RSubjectPublicKeyInfo& publicKeyInfo, const RAlgorithmIdentifier& signatureAlgorithm,
                            std::span<const uint8_t> signedBytes, const ASN1BitString& signature) {
    constexpr const char* kMethod = "verify";
    resetForGetter();
    const SignatureAlgorithmRow* row = signatureRowOf(signatureAlgorithm);
    if (row == nullptr) {
        ByteString msg;
        msg.format("The %s signature algorithm is does not supported.", keyblob::oidOf(signatureAlgorithm).c_str());
        return fail(kClass, kMethod, "signatureAlgorithm", 1, msg.c_str());
    }
    int alg = 0;
    ByteString key;
    if (const int rc = engineKey(publicKeyInfo, *row, alg, key); rc != 0) return rc;

    const ByteString& bits = signature.getValue();
    if (bits.length() < 2 || bits.data()[0] != 0)
        return fail(kClass, kMethod, "signature", 3, "The signature is not a whole number of octets.");
    const ByteString value(bits.data() + 1, bits.length() - 1);
    ZRSign sign;
    int rc = 0;
    if (alg == ALG_KCDSA_SHA1_1024) {
        // Two signature forms exist for this code; the one-shot call accepts either.
        rc = sign.VerifyData(alg, key, ByteString(signedBytes), value);
    } else {
        rc = sign.VerifyData_Init(alg, key);
        if (rc == 0) rc = sign.VerifyData_Update(signedBytes.data(), static_cast<int>(signedBytes.size()));
        if (rc == 0) rc = sign.VerifyData_Final(value);
    }
    if (rc != 0) return fail(kClass, kMethod, "signature", 3, sign.errorText());
    return 0;
}

}  // namespace qelt
