// PEncryptedData and PEncryptedDataProcess: content encrypted under a
// symmetric key that both sides already hold, as a CMS EncryptedData.
//
// EncryptedData ::= SEQUENCE { version 0, EncryptedContentInfo } where the
// content-encryption algorithm carries the IV. NEAT content is always
// encrypted with an all-zero IV, which the identifier then carries, so that a
// reader that sees NEAT without parameters can still open it.
#pragma once

#include "ASN1Pkix/cms_enveloped_data.h"
#include "util/error_holder.h"

namespace qelt {

class PEncryptedData : public ErrorHolder {
public:
    static constexpr unsigned kOptContentInfo = 0x01;  // wrap the result in a ContentInfo
    static constexpr int kEncryptFailed = 4117;

    PEncryptedData();
    void setOption(unsigned bits) { m_nOption = bits; }
    void setSymmetricAlgorithm(int nAlg, int nMode) {
        m_nSymAlg = nAlg;
        m_nMode = nMode;
    }
    void setKeyAndIV(const ByteString& key, const ByteString& iv) {
        m_Key.assign(key);
        m_IV.assign(iv);
    }
    [[nodiscard]] int setContentType(const char* oidText);
    void setContent(const ByteString& content) { m_Content.assign(content); }
    [[nodiscard]] int makeEncryptedData(ByteString& out);

private:
    unsigned m_nOption = 0;
    int m_nSymAlg;
    int m_nMode;
    ByteString m_Key;
    ByteString m_IV;
    ASN1ObjectIdentifier m_ContentType;
    ByteString m_Content;
};

class PEncryptedDataProcess : public ErrorHolder {
public:
    static constexpr int kNotEncryptedData = 4115;
    static constexpr int kDecryptFailed = 4116;

    void setKey(const ByteString& key) { m_Key.assign(key); }
    // Parses the message (a ContentInfo of encryptedData or the bare
    // structure), reads algorithm, mode and IV and decrypts the content.
    [[nodiscard]] int parseEncryptedData(const ByteString& message);
    const ByteString& getContent() const { return m_Content; }
    void getSymmetricKey(int& nAlg, int& nMode, ByteString& key, ByteString& iv) const;

private:
    int m_nSymAlg = 0;
    int m_nMode = 0;
    ByteString m_Key;
    ByteString m_IV;
    ByteString m_Content;
};

// Algorithm code, mode and IV of a content-encryption AlgorithmIdentifier
// (the IV of RC2 comes from its RC2-CBC-Parameter; NEAT may come without
// parameters and then has the all-zero IV). 0, or a step number with `err`
// holding the location record.
int readContentEncryptionAlgorithm(const RAlgorithmIdentifier& alg, int& nAlg, int& nMode, ByteString& iv,
                                   ErrorHolder& err, const char* cls, const char* method);

}  // namespace qelt
