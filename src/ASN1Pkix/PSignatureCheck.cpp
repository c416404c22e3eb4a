#include "ASN1Pkix/PSignatureCheck.h"

#include <cstring>

#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/key_blobs.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PSignatureCheck";

enum class KeyFamily { Rsa, Ecdsa, Kcdsa, Dsa };

struct SignatureRow {
    const char* oid;
    int hash;
    KeyFamily family;
};

constexpr SignatureRow kSignatures[] = {
    {"1 2 840 113549 1 1 4", ALG_MD5, KeyFamily::Rsa},     {"1 2 840 113549 1 1 5", ALG_SHA1, KeyFamily::Rsa},
    {"1 2 840 113549 1 1 11", ALG_SHA256, KeyFamily::Rsa}, {"1 2 410 200004 1 20", ALG_HAS160, KeyFamily::Rsa},
    {"1 2 840 10045 4 1", ALG_SHA1, KeyFamily::Ecdsa},     {"1 2 840 10045 4 3 2", ALG_SHA256, KeyFamily::Ecdsa},
    {"1 2 410 200004 1 8", ALG_HAS160, KeyFamily::Kcdsa},  {"1 2 410 200004 1 9", ALG_SHA1, KeyFamily::Kcdsa},
    {"1 2 410 200004 1 22", ALG_HAS160, KeyFamily::Kcdsa}, {"1 2 410 200004 1 23", ALG_SHA1, KeyFamily::Kcdsa},
    {"1 2 410 200004 1 38", ALG_SHA256, KeyFamily::Kcdsa}, {"1 2 840 10040 4 3", ALG_SHA1, KeyFamily::Dsa},
};

struct KeyRow {
    const char* oid;
    KeyFamily family;
};

constexpr KeyRow kKeys[] = {
    {kOidRsaEncryption, KeyFamily::Rsa}, {kOidEcPublicKey, KeyFamily::Ecdsa}, {kOidKcdsa, KeyFamily::Kcdsa},
    {kOidKcdsa21, KeyFamily::Kcdsa},     {kOidDsa, KeyFamily::Dsa},
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

}  // namespace

int PSignatureCheck::verify(const ByteString& publicKeyInfo, const RAlgorithmIdentifier& signatureAlgorithm,
                            std::span<const uint8_t> signedBytes, const ASN1BitString& signature) {
    constexpr const char* kMethod = "verify";
    resetForGetter();
    const std::string sigOid = keyblob::oidOf(signatureAlgorithm);
    const SignatureRow* row = nullptr;
    for (const SignatureRow& r : kSignatures)
        if (sigOid == r.oid) row = &r;
    if (row == nullptr) {
        ByteString msg;
        msg.format("The %s signature algorithm is does not supported.", sigOid.c_str());
        return fail(kClass, kMethod, "signatureAlgorithm", 1, msg.c_str());
    }

    PPublicKey key;
    if (key.setPublicKeyInfo(publicKeyInfo) != 0) return fail(kClass, kMethod, "publicKey", 2, key.errorText());
    bool sameFamily = false;
    for (const KeyRow& k : kKeys)
        if (std::strcmp(key.algorithmOid(), k.oid) == 0) sameFamily = k.family == row->family;
    if (!sameFamily) {
        ByteString msg;
        msg.format("The public key(%s) does not match the signature algorithm(%s).", key.algorithmOid(),
                   sigOid.c_str());
        return fail(kClass, kMethod, "publicKey", 2, msg.c_str());
    }
    int alg = 0;
    ByteString engineKey;
    // The key class names ECDSA codes for SHA-1 only; the curve decides the SHA-256 code.
    const int keyHash = row->family == KeyFamily::Ecdsa ? ALG_SHA1 : row->hash;
    if (key.getSignatureAlgorithm(keyHash, alg, engineKey) != 0)
        return fail(kClass, kMethod, "publicKey", 2, key.errorText());
    if (row->family == KeyFamily::Ecdsa && row->hash == ALG_SHA256) alg = ecdsaSha256Of(alg);

    const ByteString& bits = signature.getValue();
    if (bits.length() < 2 || bits.data()[0] != 0)
        return fail(kClass, kMethod, "signature", 3, "The signature is not a whole number of octets.");
    const ByteString value(bits.data() + 1, bits.length() - 1);
    ZRSign sign;
    int rc = 0;
    if (alg == ALG_KCDSA_SHA1_1024) {
        // Two signature forms exist for this code; the one-shot call accepts either.
        rc = sign.VerifyData(alg, engineKey, ByteString(signedBytes), value);
    } else {
        rc = sign.VerifyData_Init(alg, engineKey);
        if (rc == 0) rc = sign.VerifyData_Update(signedBytes.data(), static_cast<int>(signedBytes.size()));
        if (rc == 0) rc = sign.VerifyData_Final(value);
    }
    if (rc != 0) return fail(kClass, kMethod, "signature", 3, sign.errorText());
    return 0;
}

}  // namespace qelt
