#include "ZRProcess/WSignedContent.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/WMessageBytes.h"
#include "util/time_text.h"

namespace qelt {

namespace {

constexpr const char* kClass = "WSignedContent";
constexpr int kSha1Length = 20;
constexpr int kUtcTimeLength = 13;
constexpr int kMaxField = 0xFFFF;

// SET { SEQUENCE { contentType, SET { data } },
//       SEQUENCE { signingTime, SET { UTCTime <13 octets> } },
//       SEQUENCE { messageDigest, SET { OCTET STRING <20 octets> } } }
constexpr uint8_t kBlockHead[] = {
    0x31, 0x5D,                                                                    // SET, 93 octets
    0x30, 0x18, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03,  // contentType
    0x31, 0x0B, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01,  //   data
    0x30, 0x1C, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05,  // signingTime
    0x31, 0x0F, 0x17, 0x0D,                                                        //   UTCTime
};
constexpr uint8_t kBlockDigestHead[] = {
    0x30, 0x23, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04,  // messageDigest
    0x31, 0x16, 0x04, 0x14,                                                        //   OCTET STRING
};
static_assert(sizeof kBlockHead + kUtcTimeLength + sizeof kBlockDigestHead + kSha1Length ==
              WSignedContent::kSignedAttributeBlockLength);

bool twoDigits(const uint8_t* p, int& out) {
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9') return false;
    out = (p[0] - '0') * 10 + (p[1] - '0');
    return true;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int monthDays(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

bool WSignedContent::makeSignedAttributeBlock(const char* utcTime, const ByteString& sha1, ByteString& block) {
    if (utcTime == nullptr || std::strlen(utcTime) != kUtcTimeLength || sha1.length() != kSha1Length) return false;
    block.clear();
    block.allocZero(kSignedAttributeBlockLength);
    block.append(kBlockHead, sizeof kBlockHead);
    block.append(utcTime, kUtcTimeLength);
    block.append(kBlockDigestHead, sizeof kBlockDigestHead);
    block.append(sha1);
    return block.length() == kSignedAttributeBlockLength;
}

bool WSignedContent::utcTimeText(int64_t seconds, char (&text)[14]) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm parts {};
    if (gmtime_r(&t, &parts) == nullptr) return false;
    const int year = parts.tm_year + 1900;
    if (year < 1950 || year > 2049) return false;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02dZ", year % 100, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
    std::memcpy(text, buf, sizeof text);
    return true;
}

bool WSignedContent::parseWapTime(const uint8_t* digits, int64_t& seconds) {
    int f[6];
    for (int i = 0; i < 6; ++i)
        if (!twoDigits(digits + 2 * i, f[i])) return false;
    const int year = f[0] < 50 ? 2000 + f[0] : 1900 + f[0];
    if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > monthDays(year, f[1]) || f[3] > 23 || f[4] > 59 || f[5] > 59)
        return false;
    seconds = daysFromCivil(year, f[1], f[2]) * 86400 + f[3] * 3600 + f[4] * 60 + f[5];
    return true;
}

int WSignedContent::setPrivateKey(const ByteString& privateKeyInfo) {
    m_bKeySet = false;
    if (m_Key.setPrivateKeyInfo(privateKeyInfo) != 0)
        return fail(kClass, "setPrivateKey", "privateKeyInfo", kNotPrivateKeyInfo, m_Key.errorText());
    const char* oid = m_Key.algorithmOid();
    if (std::strcmp(oid, kOidRsaEncryption) == 0) {
        m_ucSignatureAlgorithm = kRsaWithSha1;
    } else if (std::strcmp(oid, kOidEcPublicKey) == 0) {
        m_ucSignatureAlgorithm = kEcdsaWithSha1;
    } else {
        return fail(kClass, "setPrivateKey", "privateKeyAlgorithm", kUnknownSignatureAlgorithm,
                    "Unknown Signature Algorithm.");
    }
    m_bKeySet = true;
    return 0;
}

void WSignedContent::setCertificate(const ByteString& cert) { m_Certificate.assign(cert); }

int WSignedContent::setContentType(int type) {
    if (type != 1 && type != 2) return fail(kClass, "setContentType", "nContentType", 1, "Unknown content type.");
    m_ucContentType = static_cast<uint8_t>(type);
    return 0;
}

void WSignedContent::setContent(const ByteString& content) { m_Content.assign(content); }

int WSignedContent::setAttributeGmtUtcTime(int64_t seconds) {
    if (seconds == 0) seconds = static_cast<int64_t>(std::time(nullptr));
    if (!utcTimeText(seconds, m_szUtcTime)) {
        m_szUtcTime[0] = 0;
        return fail(kClass, "setAttributeGmtUtcTime", "tTime", 1, "The time is outside the UTCTime years 1950-2049.");
    }
    return 0;
}

void WSignedContent::setAttributeOctets(const ByteString& octets) { m_AttributeOctets.assign(octets); }

int WSignedContent::makeSignature() {
    const char* m = "makeSignature";
    if (!m_bKeySet) return fail(kClass, m, "privateKey", 1, "The private key is not set.");
    if (m_szUtcTime[0] == 0) return fail(kClass, m, "signingTime", 2, "The signing time is not set.");
    ZRHash hash;
    ByteString digest;
    if (hash.DigestData(ALG_SHA1, m_Content, digest) != 0) return fail(kClass, m, "hash", 3, hash.errorText());
    if (!makeSignedAttributeBlock(m_szUtcTime, digest, m_SignedBlock))
        return fail(kClass, m, "signedAttributes", 4, "The signed attribute block could not be made.");
    const int rc = m_ucSignatureAlgorithm == kRsaWithSha1
                       ? m_Key.genSignature(ALG_SHA1, m_SignedBlock, m_Signature, nullptr, true)
                       : m_Key.genWTLSSignature(0, m_SignedBlock, m_Signature, nullptr, true);
    if (rc != 0) return fail(kClass, m, "privateKey", 5, m_Key.errorText());
    return 0;
}

int WSignedContent::makeSignedContent(ByteString& out) {
    const char* m = "makeSignedContent";
    if (m_Signature.isEmpty()) return fail(kClass, m, "signature", 1, "The signature is not made.");
    if (m_Signature.length() > kMaxField) return fail(kClass, m, "signature", 2, "The signature is too long.");
    const int signerInfos = m_Certificate.isEmpty() ? 1 : 1 + 2 + m_Certificate.length();
    if (signerInfos > kMaxField) return fail(kClass, m, "certificate", 3, "The certificate is too long.");
    if (m_Content.length() > kMaxField) return fail(kClass, m, "content", 4, "The content is longer than 65535.");
    const bool timeAttribute = m_AttributeOctets.isEmpty();
    const int attributes = 1 + (timeAttribute ? kWapTimeLength : m_AttributeOctets.length());
    if (attributes > 0xFF) return fail(kClass, m, "attributes", 5, "The attributes are longer than 255.");

    ByteString msg;
    msg.allocZero(1 + 1 + 2 + m_Signature.length() + 2 + signerInfos + 1 + 2 + 1 + 2 + m_Content.length() + 1 +
                  attributes);
    wap::putU8(msg, 1);
    wap::putU8(msg, m_ucSignatureAlgorithm);
    wap::putU16(msg, static_cast<uint16_t>(m_Signature.length()));
    msg.append(m_Signature);
    wap::putU16(msg, static_cast<uint16_t>(signerInfos));
    if (m_Certificate.isEmpty()) {
        wap::putU8(msg, kImplicit);
    } else {
        wap::putU8(msg, kX509Certificate);
        wap::putU16(msg, static_cast<uint16_t>(m_Certificate.length()));
        msg.append(m_Certificate);
    }
    wap::putU8(msg, m_ucContentType);
    wap::putU16(msg, 0);  // content encoding
    if (m_Content.isEmpty()) {
        wap::putU8(msg, 0);
    } else {
        wap::putU8(msg, 1);
        wap::putU16(msg, static_cast<uint16_t>(m_Content.length()));
        msg.append(m_Content);
    }
    wap::putU8(msg, static_cast<uint8_t>(attributes));
    if (timeAttribute) {
        wap::putU8(msg, kGmtUtcTime);
        msg.append(m_szUtcTime, kWapTimeLength);  // the UTCTime text without its "Z"
    } else {
        wap::putU8(msg, kAttributeOctets);
        msg.append(m_AttributeOctets);
    }
    if (msg.status() != ByteString::kOk) return fail(kClass, m, "bsSignedContent", 6, "Memory allocation failed.");
    out = std::move(msg);
    return 0;
}

}  // namespace qelt
