// WSignedContent: the signed message of mobile browsers' text signing, made
// from a content, the signer's certificate and decrypted private key, and a
// signing time.
//
//   version                    1 octet   1
//   signature algorithm        1 octet   1 RSA with SHA-1, 2 ECDSA with SHA-1
//   signature                  2-octet length, octets
//   signer infos               2-octet length of what follows, then
//     signer info type         1 octet   3 x509_certificate (0 when none)
//     certificate              2-octet length, DER
//   content type               1 octet   1 or 2
//   content encoding           2 octets  0
//   content present            1 octet   1 (then 2-octet length, content) or 0
//   authenticated attributes   1-octet length, then
//     attribute type           1 octet   1 gmt_utc_time (12 ASCII digits
//                                        YYMMDDhhmmss, UTC) or 2 (caller's octets)
//
// The signature does not cover these octets but a 95-octet DER SET of three
// CMS signed attributes (contentType data, signingTime, messageDigest = SHA-1
// of the content), so that the same signature can also sit in a CMS
// SignerInfo. RSA signs that block with PKCS#1 v1.5 over SHA-1; EC keys make
// the WTLS form of ECDSA (r || s).
#pragma once

#include <cstdint>

#include "ZRProcess/PPrivateKey.h"
#include "util/error_holder.h"

namespace qelt {

class WSignedContent : public ErrorHolder {
public:
    static constexpr int kNotPrivateKeyInfo = 4108;
    static constexpr int kUnknownSignatureAlgorithm = 4121;
    static constexpr int kSignedAttributeBlockLength = 95;
    static constexpr int kWapTimeLength = 12;  // YYMMDDhhmmss

    enum SignatureAlgorithm : uint8_t { kRsaWithSha1 = 1, kEcdsaWithSha1 = 2 };
    enum SignerInfoType : uint8_t {
        kImplicit = 0,
        kShaKeyHash = 1,
        kWtlsCertificate = 2,
        kX509Certificate = 3,
        kX968Certificate = 4,
        kCertificateUrl = 5,
    };
    enum AttributeType : uint8_t { kGmtUtcTime = 1, kAttributeOctets = 2 };

    // RSA ("1 2 840 113549 1 1 1") or EC ("1 2 840 10045 2 1") keys; 4108 when
    // the bytes are not a PrivateKeyInfo, 4121 for any other key algorithm.
    [[nodiscard]] int setPrivateKey(const ByteString& privateKeyInfo);
    // The signer certificate goes into the signer infos as type 3.
    void setCertificate(const ByteString& cert);
    // 1 or 2.
    [[nodiscard]] int setContentType(int type);
    void setContent(const ByteString& content);
    // The signing time in seconds since 1970 (0: now); it must lie in the
    // UTCTime years 1950 to 2049.
    [[nodiscard]] int setAttributeGmtUtcTime(int64_t seconds);
    // Octets of the second attribute form, which replace the time attribute in
    // the message (the signed block still carries the signing time).
    void setAttributeOctets(const ByteString& octets);
    // Builds the signed block and signs it.
    [[nodiscard]] int makeSignature();
    // Lays out the message; makeSignature must have run.
    [[nodiscard]] int makeSignedContent(ByteString& out);

    uint8_t signatureAlgorithm() const { return m_ucSignatureAlgorithm; }
    // The 95-octet block of the last makeSignature.
    const ByteString& signedAttributeBlock() const { return m_SignedBlock; }
    const ByteString& signature() const { return m_Signature; }

    // The DER SET of contentType, signingTime (the 13-character UTCTime text
    // `utcTime`, "YYMMDDhhmmssZ") and messageDigest (`sha1`, 20 octets).
    // False when the inputs do not have those lengths.
    static bool makeSignedAttributeBlock(const char* utcTime, const ByteString& sha1, ByteString& block);
    // "YYMMDDhhmmssZ" of a time in 1950..2049; false outside.
    static bool utcTimeText(int64_t seconds, char (&text)[14]);
    // Seconds of the 12 digits YYMMDDhhmmss (years 50-99 in the 1900s, 00-49
    // in the 2000s); false when they are not a valid time.
    static bool parseWapTime(const uint8_t* digits, int64_t& seconds);

private:
    PPrivateKey m_Key;
    bool m_bKeySet = false;
    uint8_t m_ucSignatureAlgorithm = 0;
    ByteString m_Certificate;
    uint8_t m_ucContentType = 2;
    ByteString m_Content;
    char m_szUtcTime[14] = {};
    ByteString m_AttributeOctets;
    ByteString m_SignedBlock;
    ByteString m_Signature;
};

}  // namespace qelt
