#include "ZRProcess/WWapEnvelopedDataProcess.h"

#include <cstring>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/WMessageBytes.h"
#include "ZRProcess/WWapEnvelopedData.h"

namespace qelt {

namespace {

constexpr const char* kClass = "WWapEnvelopedDataProcess";
constexpr const char* kParse = "parseWapEnvelopedData";
constexpr const char* kLengthError = "WapEnvelopedData length error.";
constexpr int kPkcsPadding = 2;

}  // namespace

int WWapEnvelopedDataProcess::parseWapEnvelopedData(std::span<const uint8_t> in, const ByteString& cert,
                                                    const ByteString& priKey, ByteString& content) {
    m_ucContentEncryption = 0;
    m_nCipherAlg = 0;
    m_Key.clear();
    m_Iv.clear();
    wap::Reader r(in);
    uint8_t version = 0, keyManagement = 0, ridType = 0, len8 = 0;
    uint16_t len16 = 0;
    std::span<const uint8_t> iv, rid, encryptedKey, cipherText;

    if (!r.u8(version) || !r.u8(m_ucContentEncryption) || !r.u8(len8) || !r.bytes(len8, iv) || !r.u8(keyManagement))
        return fail(kClass, kParse, "header", 1, kLengthError);
    if (keyManagement == WWapEnvelopedData::kEcdh)
        return fail(kClass, kParse, "ucKeyManagement", 2, "The ECDH key management is not supported for reading.");
    if (keyManagement != WWapEnvelopedData::kRsa) {
        ByteString msg;
        msg.format("The KeyManagement Algorithm (%d) does not supported.", keyManagement);
        return fail(kClass, kParse, "ucKeyManagement", 3, msg.c_str());
    }
    if (!r.u8(ridType) || !r.u8(len8) || !r.bytes(len8, rid) || !r.u8(len8) || !r.bytes(len8, encryptedKey) ||
        !r.u16(len16) || !r.bytes(len16, cipherText) || r.remaining() != 0)
        return fail(kClass, kParse, "recipientInfo", 4, kLengthError);
    if (ridType == WWapEnvelopedData::kIssuerSerialNumber)
        return fail(kClass, kParse, "ridType", 5, "ridType.issuerSerNo does not support.");
    if (ridType != WWapEnvelopedData::kKeyIdentifier) {
        ByteString msg;
        msg.format("ridType(%d) is unknown type.", ridType);
        return fail(kClass, kParse, "ridType", 6, msg.c_str());
    }
    if (rid.size() > WWapEnvelopedData::kMaxRecipientId)
        return fail(kClass, kParse, "rid", 7, "rid value's length is more than 20.");

    PCertUtil own;
    if (own.parseCertificate(cert) != 0) return fail(kClass, kParse, "certificate", 8, own.errorText());
    const ByteString& ski = own.get_SubjectKeyIdentifier_value();
    if (own.errorCode() != 0 || ski.isEmpty() || static_cast<size_t>(ski.length()) != rid.size() ||
        std::memcmp(ski.data(), rid.data(), rid.size()) != 0)
        return fail(kClass, kParse, "rid", kRecipientMismatch, "rid is different.");

    WWapEnvelopedData::Cipher cipher;
    if (!WWapEnvelopedData::cipherOf(m_ucContentEncryption, cipher)) {
        ByteString msg;
        msg.format("The content encryption algorithm (%d) does not supported.", m_ucContentEncryption);
        return fail(kClass, kParse, "ucContentEncryption", kUnsupportedCipher, msg.c_str());
    }

    PPrivateKey key;
    ByteString wrapped(encryptedKey.data(), static_cast<int>(encryptedKey.size()));
    if (key.setPrivateKeyInfo(priKey) != 0 || key.decrypt(wrapped, m_Key, false) != 0)
        return fail(kClass, kParse, "encryptedKey", 9, key.errorText());
    if (m_Key.length() != cipher.keyLength) {
        m_Key.clear();
        return fail(kClass, kParse, "encryptedKey", 10, "The content encryption key has the wrong length.");
    }
    m_Iv.set(iv.data(), static_cast<int>(iv.size()));
    ZREncrypt enc;
    const ByteString sealed(cipherText.data(), static_cast<int>(cipherText.size()));
    if (enc.DecryptData(cipher.nAlg, MODE_CBC, m_Key, m_Iv, sealed, content, kPkcsPadding) != 0)
        return fail(kClass, kParse, "encryptedContent", 11, enc.errorText());
    m_nCipherAlg = cipher.nAlg;
    return 0;
}

}  // namespace qelt
