// PEnvelopedData and PEnvelopedDataProcess: CMS EnvelopedData made for and
// opened by its recipients.
//
// A message carries its content encrypted under a fresh content-encryption
// key (CEK) and IV; every recipient gets the CEK either under its RSA public
// key (key transport, PKCS#1 v1.5 or RSAES-OAEP) or wrapped under a shared
// key-encryption key (KEK recipient, 3DES or RC2 key wrap). Key agreement
// recipients are refused on both sides.
//
// Methods return 0 or a small step number and leave a location record; the
// processing side also reports the four classified failures below so the API
// layer can map them.
#pragma once

#include "ASN1Pkix/cms_enveloped_data.h"
#include "util/error_holder.h"

namespace qelt {

// The content-encryption algorithms an EnvelopedData can carry and the CEK
// and IV each one needs. Null for an algorithm that cannot be used.
struct ContentCipher {
    int alg;
    int keyLen;
    int ivLen;
    bool zeroIv;  // the IV is all zero bytes (the cipher is used with a fixed IV)
};
const ContentCipher* contentCipherOf(int nAlg);

// Pieces shared by the EnvelopedData and SignedAndEnvelopedData classes. Each
// returns 0 or a step number with the location record (class `cls`) on `err`.

// Draws a fresh CEK and IV for `nAlg` ("Unknown symmetric algoritm." otherwise).
int drawContentKey(int nAlg, ByteString& cek, ByteString& iv, ErrorHolder& err, const char* cls, const char* method);

// A KeyTransRecipientInfo carrying `cek` under the public key of `certDer`:
// identified by issuer and serial number (version 0) or by the SHA-1 of the
// public key (version 2); RSAES-OAEP when `oaep` and the key is RSA, else the
// key's own algorithm (PKCS#1 v1.5). DSA and KCDSA keys are refused.
int makeKeyTransRecipientInfo(const ByteString& certDer, const ByteString& cek, bool subjectKeyId, bool oaep,
                              RRecipientInfo& out, ErrorHolder& err, const char* cls, const char* method);

// Recovers the CEK of a KeyTransRecipientInfo with a PrivateKeyInfo, by
// RSAES-OAEP when the info names it and by PKCS#1 v1.5 otherwise. Fails with
// `notPrivateKey` or `decryptFailed` as the step number.
int openKeyTransKey(const RKeyTransRecipientInfo& ktri, const ByteString& priKey, ByteString& cek, int notPrivateKey,
                    int decryptFailed, ErrorHolder& err, const char* cls, const char* method);

class PEnvelopedData : public ErrorHolder {
public:
    // Option bits.
    static constexpr unsigned kOptOaep = 0x01;         // RSAES-OAEP key transport
    static constexpr unsigned kOptContentInfo = 0x02;  // wrap the result in a ContentInfo
    static constexpr unsigned kOptNoContent = 0x04;    // leave the encrypted content out
    // Optional-field bits.
    static constexpr unsigned kHasOriginatorInfo = 0x01;
    static constexpr unsigned kHasUnprotectedAttrs = 0x02;
    // Recipient-identifier kinds.
    static constexpr int kIssuerAndSerialNumber = 1;
    static constexpr int kSubjectKeyIdentifier = 2;
    // Recipient types.
    static constexpr int kKeyTransport = 1;
    static constexpr int kKeyAgreement = 2;
    static constexpr int kKEK = 3;

    PEnvelopedData();

    [[nodiscard]] int choiceRecipientIdentifier(int kind);
    // Mode 0 means CBC.
    void setSymmetricAlgorithm(int nAlg, int nMode);
    void setOption(unsigned bits) { m_nOption = bits; }
    void setRecipientType(int type) { m_nRecipientType = type; }
    [[nodiscard]] int setContentType(const char* oidText);
    void setContent(const ByteString& content) { m_Content.assign(content); }
    void setOriginatorInfo(const ROriginatorInfo& info);
    void setUnprotectedAttrs(const RAttributes& attrs);
    // Gives the object a CEK and IV made elsewhere (a second message under the same key).
    void setSymmetricKey(const ByteString& cek, const ByteString& iv);

    // A key-transport recipient from its certificate.
    [[nodiscard]] int addRecipientByCert(const ByteString& cert);
    // Key transport: `certOrKekId` is the certificate and `kek` is null. KEK
    // recipient: `certOrKekId` is the key identifier and `kek` the key-encryption key.
    [[nodiscard]] int addRecipient(const ByteString& certOrKekId, const ByteString* kek);
    [[nodiscard]] int makeEnvelopedData(ByteString& out);

    // Draws a CEK and IV for the algorithm.
    [[nodiscard]] int makeSymetricKey();
    void getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const;
    int recipientCount() const { return m_RecipientInfos.getElementCount(); }

private:
    int keyTransRecipientInfo(const ByteString& cert, RRecipientInfo& out);
    int kekRecipientInfo(const ByteString& kekId, const ByteString& kek, RRecipientInfo& out);

    unsigned m_nOptional = 0;
    unsigned m_nOption = 0;
    int m_nRidKind = kIssuerAndSerialNumber;
    int m_nRecipientType = kKeyTransport;
    ByteString m_CEK;
    ByteString m_IV;
    int m_nSymAlg;
    int m_nMode;
    ASN1ObjectIdentifier m_ContentType;
    ByteString m_Content;
    RRecipientInfos m_RecipientInfos;
    ROriginatorInfo m_OriginatorInfo;
    RAttributes m_UnprotectedAttrs;
};

class PEnvelopedDataProcess : public ErrorHolder {
public:
    static constexpr int kNoRecipientInfo = 4099;   // no RecipientInfo for this certificate
    static constexpr int kNotPrivateKey = 4108;     // the private key is not a decrypted key
    static constexpr int kNotEnvelopedData = 4111;  // the input is not an EnvelopedData
    static constexpr int kKeyDecryptFailed = 4116;  // the encrypted key does not open with this key

    // RecipientInfo kinds of getRecipientInfoType.
    static constexpr int kKtri = 1, kKari = 2, kKekri = 3, kOther = 4;

    // The own identifier (issuer DN text, serial, subject key identifier) and key.
    [[nodiscard]] int setRecipientIdentifier(const ByteString& cert, const ByteString& priKey);
    // A key-encryption key for KEK recipients, found by its identifier.
    void setKeyEncryptionKey(const ByteString& kekId, const ByteString& kek);

    // Parses the message, finds the own RecipientInfo, recovers the CEK and
    // reads the content-encryption algorithm and IV.
    [[nodiscard]] int parseEnvelopedData(const ByteString& message);
    // Parses the message without decrypting anything (recipient listing).
    [[nodiscard]] int parseRecipientInfos(const ByteString& message);
    [[nodiscard]] int getContent(ByteString& out);
    void getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const;

    int getRecipientCnt() const { return m_RecipientInfos.getElementCount(); }
    // kKtri, kKari, kKekri or kOther; 0 when the element cannot be read.
    int getRecipientInfoType(int index);
    [[nodiscard]] int getRecipientInfo_ktri_IssAndSerialNum(int index, ByteString& issuer, ByteString& serial);
    [[nodiscard]] int getRecipientInfo_ktri_SubjectKeyID(int index, ByteString& keyId);
    [[nodiscard]] int getRecipientInfo_kekri_KeyID(int index, ByteString& keyId);
    // The bare EnvelopedData of a message that may be wrapped in a ContentInfo.
    [[nodiscard]] int getPureEnvData(const ByteString& message, ByteString& bare);

private:
    int decode(const ByteString& message, const char* method);
    int findMyRecipientInfo();
    int openKeyTrans(const RKeyTransRecipientInfo& ktri, bool& matched);
    int openKek(const RKEKRecipientInfo& kekri, bool& matched);
    int readContentAlgorithm();

    ByteString m_Message;
    ByteString m_IssuerDN;
    ByteString m_Serial;
    ByteString m_SubjectKeyId;
    ByteString m_PriKey;
    ByteString m_KekId;
    ByteString m_Kek;
    RRecipientInfos m_RecipientInfos;
    ASN1ObjectIdentifier m_ContentType;
    RAlgorithmIdentifier m_ContentAlg;
    int m_nSymAlg = 0;
    int m_nMode = 0;
    ByteString m_CEK;
    ByteString m_IV;
    ByteString m_EncryptedContent;
    bool m_bHasContent = false;
};

}  // namespace qelt
