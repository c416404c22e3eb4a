#include "ZRProcess/WWapEnvelopedData.h"

#include <cstring>

#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/WMessageBytes.h"

namespace qelt {

namespace {

constexpr const char* kClass = "WWapEnvelopedData";
constexpr int kPkcsPadding = 2;

}  // namespace

bool WWapEnvelopedData::cipherOf(uint8_t contentEncryption, Cipher& out) {
    switch (contentEncryption) {
        case k3DesCbc:
            out = {ALG_3DES, 24, 8};
            return true;
        case kSeedCbc:
            out = {ALG_SEED, 16, 16};
            return true;
        case kNeatCbc:
            out = {ALG_NEAT, 16, 16};
            return true;
        default:
            return false;
    }
}

int WWapEnvelopedData::setContentEncryptionAlgorithm(uint8_t algorithm) {
    Cipher c;
    if (!cipherOf(algorithm, c)) {
        ByteString msg;
        msg.format("The content encryption algorithm (%d) does not supported.", algorithm);
        return fail(kClass, "setContentEncryptionAlgorithm", "ucAlgorithm", 1, msg.c_str());
    }
    m_ucContentEncryption = algorithm;
    return 0;
}

int WWapEnvelopedData::setRecipientCertificate(const ByteString& cert) {
    const char* m = "setRecipientCertificate";
    m_Certificate.clear();
    PCertUtil util;
    if (util.parseCertificate(cert) != 0) return fail(kClass, m, "certificate", kBadCertificate, util.errorText());
    ByteString oid;
    util.getSubjectPublicKeyAlgorithm(&oid);
    if (std::strcmp(oid.c_str(), kOidRsaEncryption) != 0)
        return fail(kClass, m, "publicKeyAlgorithm", kNotRsaRecipient,
                    "Only the RSA key management is supported for writing.");
    // A certificate without a readable key identifier cannot be named as
    // recipient: makeWapEnvelopedData refuses it.
    m_RecipientId.assign(util.get_SubjectKeyIdentifier_value());
    if (util.errorCode() != 0) m_RecipientId.clear();
    m_Certificate.assign(cert);
    return 0;
}

void WWapEnvelopedData::setContent(const ByteString& content) { m_Content.assign(content); }

int WWapEnvelopedData::makeWapEnvelopedData(ByteString& out) {
    const char* m = "makeWapEnvelopedData";
    if (m_Certificate.isEmpty()) return fail(kClass, m, "recipient", 1, "The recipient certificate is not set.");
    if (m_RecipientId.isEmpty()) return fail(kClass, m, "rid", 2, "The recipient has no subject key identifier.");
    if (m_RecipientId.length() > kMaxRecipientId)
        return fail(kClass, m, "rid", 3, "rid value's length is more than 20.");
    Cipher cipher;
    if (!cipherOf(m_ucContentEncryption, cipher)) return fail(kClass, m, "cipher", 4, "Unknown content cipher.");

    ZRRandom rng;
    if (rng.GenerateRandom(ALG_RANDOM, cipher.keyLength, m_Key) != 0 ||
        rng.GenerateRandom(ALG_RANDOM, cipher.ivLength, m_Iv) != 0)
        return fail(kClass, m, "random", 5, rng.errorText());

    PPublicKey recipient;
    ByteString encryptedKey;
    if (recipient.encryptWithCert(m_Certificate, m_Key, encryptedKey, false) != 0)
        return fail(kClass, m, "encryptedKey", 6, recipient.errorText());
    if (encryptedKey.length() > kMaxEncryptedKey)
        return fail(kClass, m, "encryptedKey", 7, "EncryptedKey value's length is more than 255.");

    ZREncrypt enc;
    ByteString cipherText;
    if (enc.EncryptData(cipher.nAlg, MODE_CBC, m_Key, m_Iv, m_Content, cipherText, kPkcsPadding) != 0)
        return fail(kClass, m, "encryptedContent", 8, enc.errorText());
    if (cipherText.length() > kMaxCipherText)
        return fail(kClass, m, "encryptedContent", 9, "CipherText value's length is more than 0xFFFD.");

    ByteString msg;
    msg.allocZero(1 + 1 + 1 + m_Iv.length() + 1 + 1 + 1 + m_RecipientId.length() + 1 + encryptedKey.length() + 2 +
                  cipherText.length());
    wap::putU8(msg, 1);
    wap::putU8(msg, m_ucContentEncryption);
    wap::putU8(msg, static_cast<uint8_t>(m_Iv.length()));
    msg.append(m_Iv);
    wap::putU8(msg, kRsa);
    wap::putU8(msg, kKeyIdentifier);
    wap::putU8(msg, static_cast<uint8_t>(m_RecipientId.length()));
    msg.append(m_RecipientId);
    wap::putU8(msg, static_cast<uint8_t>(encryptedKey.length()));
    msg.append(encryptedKey);
    wap::putU16(msg, static_cast<uint16_t>(cipherText.length()));
    msg.append(cipherText);
    if (msg.status() != ByteString::kOk) return fail(kClass, m, "bsWapEnvelopedData", 10, "Memory allocation failed.");
    out = std::move(msg);
    return 0;
}

}  // namespace qelt
