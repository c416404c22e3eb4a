// PSignedData: builds a SignedData message, or adds a signer to an existing
// one. Order of use: options, content (or the existing message), signing
// time, CA certificates, then addSignerCert (which makes the signed
// attributes and signs at once), then makeSignedData.
//
// Two encodings are written: the PKCS#7-compatible form (option bit kPkcs7:
// signature algorithm field carries the key algorithm, content kept as a
// ContentInfo) and the CMS form (signature algorithm identifiers, version 3
// for non-data or hash-only content).
//
// Methods return 0 or a small positive code and leave a location record of
// class "PSignedData"; kNotPrivateKey and kNotSignedData are the two codes
// callers map specially.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "ASN1Pkix/cms_signed_data.h"
#include "util/error_holder.h"

namespace qelt {

// The encoding of a SignerInfo as every builder writes it: version 1, the
// IssuerAndSerialNumber of `cert`, the digest identifier of nHashAlg,
// `signedAttrs` (the attributes' SET OF encoding, written under [0]; none when
// empty), the signature-algorithm field — with `pkcs7` the digest-encryption
// identifier of the key algorithm (rsaEncryption for RSA), otherwise the
// signature identifier (sha256WithRSAEncryption...) — and `signature` as its
// OCTET STRING. 0, or a step number with the location record (class `cls`)
// on `err`.
int encodeSignerInfo(const RTBSCertificate& cert, int nHashAlg, bool pkcs7, std::span<const uint8_t> signedAttrs,
                     const ByteString& signature, ByteString& out, ErrorHolder& err, const char* cls,
                     const char* method);

class PSignedData : public ErrorHolder {
public:
    static constexpr int kNotPrivateKey = 4108;
    static constexpr int kNotSignedData = 4110;
    static constexpr int kMaxAttributes = 8;

    // Option bits.
    static constexpr uint8_t kPkcs7 = 0x01;
    static constexpr uint8_t kHashMode = 0x02;
    static constexpr uint8_t kWrapContentInfo = 0x04;

    // Content flag bits.
    static constexpr uint8_t kContentNotData = 0x02;
    static constexpr uint8_t kContentIsHash = 0x08;

    // Signed-attribute flag bits.
    static constexpr uint8_t kAttrBasic = 0x01;  // contentType and messageDigest
    static constexpr uint8_t kAttrSigningTime = 0x02;
    static constexpr uint8_t kAttrSigningCert = 0x04;

    PSignedData();
    ~PSignedData() override;
    PSignedData(const PSignedData&) = delete;
    PSignedData& operator=(const PSignedData&) = delete;

    void setOption(uint8_t bits) { m_ucOption |= bits; }
    // Stores the time when given; always asks for contentType, messageDigest
    // and signingTime attributes (time 0 = the time the attributes are made).
    void setSigningTime(const int64_t* pTime);
    void setSignedAttrFlags(uint8_t bits) { m_ucSignedAttrFlag |= bits; }
    // Content type NULL or data: the bytes are the data; otherwise they are
    // the DER of the typed content.
    int setContent(const ByteString& content, const char* contentTypeOid);
    int setContent(ByteString&& content, const char* contentTypeOid);
    // Data content read in place, not copied: it must outlive makeSignedData.
    int setContentView(std::span<const uint8_t> content);
    // Hash-only signing: the content is the digest made with nHashAlg (0 = SHA-1).
    int setHashedContent(const ByteString& hash, int nHashAlg);
    // Loads an existing SignedData (bare or in a ContentInfo) to add a signer to.
    int setSignedData(const ByteString& signedData);
    // Adds the certificates of a SEQUENCE OF Certificate, skipping duplicates.
    int addCaPubs(const ByteString& caPubs);
    // Extra signed attribute appended after the standard ones.
    int addSignedAttribute(const RAttribute& attribute);
    int addSignerCert(const ByteString& cert, const ByteString& priKey, int nHashAlg);
    // The same with the certificate already decoded by the caller (`decoded`
    // is `cert`'s record), so a signer certificate is decoded once per call.
    int addSignerCert(const ByteString& cert, const RCertificate& decoded, const ByteString& priKey, int nHashAlg);
    int makeSignedData(ByteString& out);
    // Writes the result into memory from `allocate` (asked once, for the exact
    // size; null refuses), so a large message is written only once.
    using OutputAllocator = std::function<uint8_t*(size_t)>;
    int makeSignedData(const OutputAllocator& allocate);

    int hashAlgorithm() const { return m_nHashAlg; }

    // Signing in two steps (PSignedData_steps.cpp): the hash getTBSData
    // digests with (0 = SHA-1), then composeSignedData with a signature made
    // outside over getTBSData's bytes: the SignerInfo of the certificate
    // getTBSData was given, and the encoded message. Composing again
    // replaces the signer composed before.
    void setHashAlgorithm(int nHashAlg);
    int composeSignedData(const ByteString& signature, ByteString& out);
    // Appends `token` as the id-aa-timeStampToken unsigned attribute of
    // signer `index` of `signedData` (bare or in a ContentInfo); `out` is
    // the bare SignedData. Code 5 when the signer already has a token.
    int setTimeStampToken(const ByteString& signedData, int index, const ByteString& token, ByteString& out);

    // Steps of addSignerCert, public for the detached-signing flow.
    int getTBSData(const ByteString& cert, ByteString& tbs);
    int makeSignedAttrs(const ByteString& digest, RAttributes& attrs);
    // `attrs` becomes the attribute `encodings` in DER order (ascending by their first bytes).
    int BER2DER(std::vector<ByteString>& encodings, RAttributes& attrs);

private:
    int addSignerInfo(const ByteString& cert, const RCertificate& decoded, const ByteString& priKey);
    int appendSignerInfo(const RCertificate& decoded, const ByteString& signature);
    int addAlgToDigestAlgorithmIdentifiers(const RAlgorithmIdentifier& alg);
    int getPureSigendData(const ByteString& in, ByteString& signedData);
    struct Writer;
    RDigestAlgorithmIdentifiers& digestAlgorithms();
    RCertificateSet& certificateSet();
    RSignerInfos& signerInfos();

    ByteString m_ContentType;
    ByteString m_Content;
    std::span<const uint8_t> m_ContentView;  // the content when m_bContentIsView
    bool m_bContentIsView = false;
    std::span<const uint8_t> content() const { return m_bContentIsView ? m_ContentView : m_Content.bytes(); }
    ByteString m_SignerCert;
    ByteString m_Spare;
    std::unique_ptr<RCertificateSet> m_pCertificates;
    std::unique_ptr<RDigestAlgorithmIdentifiers> m_pDigestAlgorithms;
    std::unique_ptr<RSignerInfos> m_pSignerInfos;
    std::unique_ptr<RAttributes> m_pSignedAttrs;  // caller's extra attributes
    std::unique_ptr<RSignedData> m_pSignedData;   // the existing message, when adding a signer
    std::unique_ptr<RCertificateRevocationLists> m_pCrls;
    uint8_t m_ucContentFlag = 0;
    uint8_t m_ucSignedAttrFlag = 0;
    uint8_t m_ucOption = 0;
    int m_nHashAlg = 0;
    int64_t m_tSigningTime = 0;
    RAttributes m_LastSignedAttrs;  // the attributes made for the signer being added
};

}  // namespace qelt
