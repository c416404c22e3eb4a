// PSignedAndEnvelopedData and PSignedAndEnvelopedDataProcess: the PKCS #7
// SignedAndEnvelopedData, content signed and encrypted in one message.
//
// The content is encrypted under a fresh content-encryption key (CEK) and IV
// that every recipient receives under its RSA key, as in an EnvelopedData.
// Every signer signs the content itself (no authenticated attributes); the
// signature value is then encrypted once more under the CEK and IV and
// carried as the SignerInfo's encryptedDigest, so only a recipient can check
// who signed. Recipients and signers are named by issuer and serial number.
//
// Methods return 0 or a small step number and leave a location record; the
// codes below are the classified failures the API layer maps.
#pragma once

#include <vector>

#include "ASN1Pkix/cms_enveloped_data.h"
#include "util/error_holder.h"

namespace qelt {

class PSignedAndEnvelopedData : public ErrorHolder {
public:
    static constexpr int kBadRecipient = 4105;   // a recipient's key could not take the CEK
    static constexpr int kNotPrivateKey = 4108;  // a signer key is not a decrypted PrivateKeyInfo

    // Option bits.
    static constexpr unsigned kOptOaep = 0x01;         // RSAES-OAEP key transport
    static constexpr unsigned kOptContentInfo = 0x02;  // wrap the result in a ContentInfo

    PSignedAndEnvelopedData();

    void setOption(unsigned bits) { m_nOption = bits; }
    void setContent(const ByteString& content) { m_Content.assign(content); }
    // Mode 0 means CBC.
    void setSymmetricAlgorithm(int nAlg, int nMode);
    // A key-transport recipient; the certificate is read here, the CEK is
    // given to it when the message is made.
    [[nodiscard]] int addRecipient(const ByteString& cert);
    // A signer with its decrypted key and hash (0 = SHA-1); it signs when the
    // message is made.
    [[nodiscard]] int addSigner(const ByteString& cert, const ByteString& priKey, int nHashAlg);
    [[nodiscard]] int makeSignedAndEnvelopedData(ByteString& out);
    void getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const;

private:
    struct Signer {
        ByteString cert;
        ByteString priKey;
        int nHashAlg;
    };
    int generateSymmetricKey();
    int collectRecipientInfo(RRecipientInfos& out);
    int collectSignerInfo(RSignerInfos& out, RExtendedCertificatesAndCertificates& certs);
    int makeDigestAlgorithms(RDigestAlgorithmIdentifiers& out);
    int makeEncryptedContentInfo(REncryptedContentInfo& out);

    unsigned m_nOption = 0;
    int m_nSymAlg;
    int m_nMode;
    ByteString m_CEK;
    ByteString m_IV;
    ByteString m_Content;
    std::vector<ByteString> m_Recipients;
    std::vector<Signer> m_Signers;
};

class PSignedAndEnvelopedDataProcess : public ErrorHolder {
public:
    static constexpr int kNoRecipientInfo = 4099;        // no RecipientInfo names this certificate
    static constexpr int kNotCertificate = 4107;         // the own certificate does not decode
    static constexpr int kNotPrivateKey = 4108;          // the own key is not a decrypted PrivateKeyInfo
    static constexpr int kNotSignedAndEnveloped = 4112;  // the input is not a SignedAndEnvelopedData
    static constexpr int kKeyDecryptFailed = 4116;       // the encrypted key does not open with the own key
    static constexpr int kNoCaPubs = 5;                  // getCaPubs: every message certificate is a signer's

    // The bare SignedAndEnvelopedData of a message that may be wrapped in a
    // ContentInfo: a SEQUENCE starting with an OBJECT IDENTIFIER is a
    // ContentInfo and must be of type signedAndEnvelopedData.
    [[nodiscard]] int getPureSignedAndEnvData(const ByteString& message, ByteString& bare);
    // The own identifier (issuer DN text and serial number) and key.
    [[nodiscard]] int setReceiverInfo(const ByteString& cert, const ByteString& priKey);
    // Finds the own RecipientInfo, recovers the CEK, decrypts the content and
    // verifies every signer over it.
    [[nodiscard]] int parseSignedAndEnvelopedData(const ByteString& message);

    int getSignerCount() const { return static_cast<int>(m_SignerCertIndex.size()); }
    [[nodiscard]] int getSignerCert(int index, ByteString& cert);
    // Every message certificate that did not sign, as a SEQUENCE OF
    // Certificate; kNoCaPubs when there is none.
    [[nodiscard]] int getCaPubs(ByteString& caPubs);
    const ByteString& getContent() const { return m_Content; }
    const std::vector<ByteString>& getCrls() const { return m_Crls; }
    void getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const;

private:
    struct CertEntry {
        ByteString der;
        ByteString issuerText;
        ByteString serial;
    };
    int findMyRecipientInfo(const RRecipientInfos& infos);
    int verifySigners(const RSignerInfos& infos);

    ByteString m_IssuerDN;
    ByteString m_Serial;
    ByteString m_PriKey;
    int m_nSymAlg = 0;
    int m_nMode = 0;
    ByteString m_CEK;
    ByteString m_IV;
    ByteString m_Content;
    std::vector<CertEntry> m_Certs;
    std::vector<ByteString> m_Crls;
    std::vector<int> m_SignerCertIndex;
    bool m_bParsed = false;
};

}  // namespace qelt
