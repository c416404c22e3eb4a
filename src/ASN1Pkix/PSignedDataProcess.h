// PSignedDataProcess: parses a SignedData (bare or in a ContentInfo, DER or
// BER), verifies every signer against the certificates of the message and
// those the caller adds, and answers questions about the signers.
//
// It does not validate the signer certificates themselves (path, revocation):
// that is the certificate verification service's job.
//
// Methods return 0 or a small positive code with a location record of class
// "PSignedDataProcess". kNotSignedData: the input is not a SignedData;
// kVerifyFailed: a signature or content digest did not verify, and
// verifyMessage() names the signer.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "ASN1Pkix/cms_signed_data.h"
#include "util/error_holder.h"

namespace qelt {

class PSignedDataProcess : public ErrorHolder {
public:
    static constexpr int kNotSignedData = 4110;
    static constexpr int kVerifyFailed = 4120;
    static constexpr int kNoCaPubs = 5;

    // How the content was carried.
    static constexpr int kFormPkcs7 = 1;  // ContentInfo with [0] EXPLICIT ANY (version 1)
    static constexpr int kFormCms = 2;    // EncapsulatedContentInfo

    // Content of a detached message; the message's own content wins.
    int setContent(const ByteString& content);
    // The content is a precomputed digest (hash-only signatures).
    void setHashMode(bool on) { m_ucHashMode = on ? 1 : 0; }
    // Another certificate to look for signers among.
    int addSignerCert(const ByteString& cert);
    // Where a caller that wants its own copy of the content has it made while
    // the content is hashed for the first signer that hashes it: a large
    // content is then read once, each slice copied and hashed while it is in
    // the cache. `allocate(n)` is asked once for the content's n bytes; a null
    // answer fails the verification like an allocation failure of the hash.
    // contentCopied() tells whether the copy was made (no signer with signed
    // attributes hashes the content: the caller copies getContent() itself).
    using ContentMemory = std::function<uint8_t*(size_t)>;
    void setContentCopy(ContentMemory allocate) { m_ContentCopy = std::move(allocate); }
    bool contentCopied() const { return m_bContentCopied; }
    // A large data content is not copied: getContent() then points into `in`,
    // which must outlive the object's use of the content.
    int parseSignedData(Asn1Input in, bool verify);
    int processSignerInfos();

    int getSignerCount(int& count);
    std::span<const uint8_t> getContent() const { return m_bContentIsView ? m_ContentView : m_Content.bytes(); }
    const char* getContentType() const { return m_ContentType.c_str(); }
    int getForm() const { return m_nForm; }
    int getVersion() const { return m_nVersion; }
    int getSignerCert(int index, ByteString& cert);
    // `present` false (time 0) when the signer has no signingTime attribute,
    // or when its value does not name a time (the signing time is not part of
    // what is verified, so an unreadable one is reported like an absent one).
    int getSigningTime(int index, int64_t& time, bool& present);
    int getSignerInfo_DigestAlg(int index, int& nHashAlg);
    int getSignerInfo_Signature(int index, ByteString& signature);
    // The attrIndex-th unsigned attribute: its type (OID text) and first value's DER.
    int getSignerAttribute(int index, int attrIndex, ByteString& type, ByteString& value);
    // The first value of the unsigned attribute `oidText`; empty when absent.
    int getUnsignedAttribute(int index, const char* oidText, ByteString& value);
    // Every message certificate that did not verify a signer, as a SEQUENCE
    // OF Certificate; kNoCaPubs when there is none.
    int getCaPubs(ByteString& caPubs);
    // The CRLs of the message, each as DER.
    const std::vector<ByteString>& getCrls() const { return m_Crls; }
    // The text of the last verification failure or remark ("" when none).
    const char* verifyMessage() const { return m_VerifyMessage.c_str(); }

private:
    struct CertEntry {
        ByteString der;
        ByteString issuer;  // DER of the issuer name
        ByteString serial;  // INTEGER content octets
        ByteString ski;     // subjectKeyIdentifier octets, empty when absent
        ByteString subjectText;
        bool usable = false;
    };
    bool parsed(const char* method);
    bool signerReady(const char* method, int index);
    int addCertEntry(const ByteString& der);
    int findSignerCert(const RSignerIdentifier& sid);
    int locateSignedData(std::span<const uint8_t> in, std::span<const uint8_t>& signedData);
    static bool splitContent(std::span<const uint8_t> signedData, ByteString& skeleton,
                             std::span<const uint8_t>& content);
    int signedContent(std::span<const uint8_t>& data);
    int verifySigner(RSignerInfo& si, std::span<const uint8_t> data, bool counter);
    int processCounterSignature(const RSignerInfo& parent, int depth);

    ByteString m_VerifyMessage;
    int m_nForm = 0;
    int m_nVersion = 0;
    ByteString m_ContentType;
    ByteString m_Content;
    std::span<const uint8_t> m_ContentView;  // into the parsed input, when m_bContentIsView
    bool m_bContentIsView = false;
    bool m_bHasContent = false;
    std::vector<CertEntry> m_Certs;  // message certificates first, then the added ones
    int m_nMessageCerts = 0;
    std::vector<ByteString> m_AddedCerts;
    std::vector<ByteString> m_Crls;
    RSignerInfos m_SignerInfos;
    std::vector<RSignerInfo> m_Signers;
    std::vector<int> m_SignerCertIndex;
    RDigestAlgorithmIdentifiers m_DigestAlgorithms;
    uint8_t m_ucHashMode = 0;
    std::vector<uint8_t> m_IsSigner;
    bool m_bParsed = false;
    bool m_bProcessed = false;
    ContentMemory m_ContentCopy;
    bool m_bContentCopied = false;
};

}  // namespace qelt
