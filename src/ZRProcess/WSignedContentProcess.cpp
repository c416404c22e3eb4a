#include "ZRProcess/WSignedContentProcess.h"

#include <cstring>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertKeyLocator.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/WMessageBytes.h"
#include "ZRProcess/WSignedContent.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kClass = "WSignedContentProcess";
constexpr const char* kParse = "parseSignedContent";
constexpr const char* kLengthError = "Signed Content length error.";

ByteString copyOf(std::span<const uint8_t> s) {
    return s.empty() ? ByteString() : ByteString(s.data(), static_cast<int>(s.size()));
}

}  // namespace

void WSignedContentProcess::clear() {
    m_ucVersion = m_ucSignatureAlgorithm = m_ucSignerInfoType = m_ucContentType = m_ucAttributeType = 0;
    m_bContentPresent = false;
    m_tSigningTime = 0;
    for (ByteString* b : {&m_Signature, &m_Certificate, &m_Content, &m_AttributeValue, &m_AttributeOctets}) b->clear();
}

int WSignedContentProcess::parseSignedContent(std::span<const uint8_t> in) {
    clear();
    wap::Reader r(in);
    uint16_t len = 0;
    std::span<const uint8_t> field;

    if (!r.u8(m_ucVersion) || !r.u8(m_ucSignatureAlgorithm)) return fail(kClass, kParse, "header", 1, kLengthError);
    if (m_ucSignatureAlgorithm != WSignedContent::kRsaWithSha1 &&
        m_ucSignatureAlgorithm != WSignedContent::kEcdsaWithSha1)
        return fail(kClass, kParse, "ucSignatureAlgorithm", 2, "DataSignatureAlgorithm 오류"_cp949);
    if (!r.u16(len) || !r.bytes(len, field)) return fail(kClass, kParse, "signature", 3, kLengthError);
    m_Signature = copyOf(field);

    // The signer infos are read inside their own length: only the certificate
    // form is understood, the others are recognised by their type and skipped.
    std::span<const uint8_t> infos;
    if (!r.u16(len) || !r.bytes(len, infos)) return fail(kClass, kParse, "signerInfos", 4, kLengthError);
    wap::Reader s(infos);
    if (!s.u8(m_ucSignerInfoType)) return fail(kClass, kParse, "signerInfoType", 5, kLengthError);
    if (m_ucSignerInfoType == WSignedContent::kX509Certificate) {
        if (!s.u16(len) || !s.bytes(len, field) || s.remaining() != 0)
            return fail(kClass, kParse, "certificate", 6, kLengthError);
        m_Certificate = copyOf(field);
    }

    uint16_t encoding = 0;
    uint8_t present = 0;
    if (!r.u8(m_ucContentType) || !r.u16(encoding) || !r.u8(present))
        return fail(kClass, kParse, "contentInfo", 7, kLengthError);
    if (present == 1) {
        if (!r.u16(len) || !r.bytes(len, field)) return fail(kClass, kParse, "content", 8, kLengthError);
        m_bContentPresent = true;
        m_Content = copyOf(field);
    } else if (present != 0) {
        ByteString msg;
        msg.format("ucContentPresent(%c) is unknown data type.", present);
        return fail(kClass, kParse, "ucContentPresent", 9, msg.c_str());
    }

    uint8_t attributesLength = 0;
    std::span<const uint8_t> attributes;
    if (!r.u8(attributesLength) || !r.bytes(attributesLength, attributes) || r.remaining() != 0)
        return fail(kClass, kParse, "authenticatedAttributes", 10, kLengthError);
    m_AttributeOctets = copyOf(attributes);
    wap::Reader a(attributes);
    if (!a.u8(m_ucAttributeType)) return fail(kClass, kParse, "m_attributeType", 11, kLengthError);
    if (m_ucAttributeType == WSignedContent::kGmtUtcTime) {
        if (!a.bytes(WSignedContent::kWapTimeLength, field) || a.remaining() != 0)
            return fail(kClass, kParse, "gmtUtcTime", 12, kLengthError);
        if (!WSignedContent::parseWapTime(field.data(), m_tSigningTime))
            return fail(kClass, kParse, "gmtUtcTime", 13, "The gmt_utc_time is not a time.");
    } else if (m_ucAttributeType == WSignedContent::kAttributeOctets) {
        a.bytes(a.remaining(), field);
    } else {
        ByteString msg;
        msg.format("m_attributeType(%d) is unknown type.", m_ucAttributeType);
        return fail(kClass, kParse, "m_attributeType", 14, msg.c_str());
    }
    m_AttributeValue = copyOf(field);
    return 0;
}

int WSignedContentProcess::getTBSContent(ByteString& block) {
    const char* m = "getTBSContent";
    if (m_ucAttributeType != WSignedContent::kGmtUtcTime)
        return fail(kClass, m, "m_attributeType", 1, "The message carries no signing time.");
    char utcTime[14];
    std::memcpy(utcTime, m_AttributeValue.data(), WSignedContent::kWapTimeLength);
    utcTime[12] = 'Z';
    utcTime[13] = 0;
    ZRHash hash;
    ByteString digest;
    if (hash.DigestData(ALG_SHA1, m_Content, digest) != 0) return fail(kClass, m, "hash", 2, hash.errorText());
    if (!WSignedContent::makeSignedAttributeBlock(utcTime, digest, block))
        return fail(kClass, m, "signedAttributes", 3, "The signed attribute block could not be made.");
    return 0;
}

int WSignedContentProcess::getTBSContent_Ver05(ByteString& data) {
    if (m_AttributeOctets.isEmpty())
        return fail(kClass, "getTBSContent_Ver05", "attributes", 1, "The message has no authenticated attributes.");
    data.clear();
    data.allocZero(m_Content.length() + m_AttributeOctets.length());
    data.append(m_Content);
    data.append(m_AttributeOctets);
    return 0;
}

int WSignedContentProcess::verifySignatureWithCert(const ByteString& tbs) {
    const char* m = "verifySignatureWithCert";
    std::span<const uint8_t> spki;
    if (!locateSubjectPublicKeyInfo(m_Certificate.bytes(), spki))
        return fail(kClass, m, "certificate", 1, "Unknown certificate type.");
    PPublicKey key;
    if (key.setPublicKeyInfo(copyOf(spki)) != 0) return fail(kClass, m, "publicKey", 2, key.errorText());
    const int rc = m_ucSignatureAlgorithm == WSignedContent::kRsaWithSha1
                       ? key.verifySignature(tbs, m_Signature, ALG_SHA1)
                       : key.verifyWTLSSignature(tbs, m_Signature, 0);
    if (rc != 0) return fail(kClass, m, "publicKey", 3, key.errorText());
    return 0;
}

}  // namespace qelt
