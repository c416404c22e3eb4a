#include "ASN1Pkix/PEncryptedData.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"

namespace qelt {

namespace {

constexpr const char* kMakeClass = "PEncryptedData";
constexpr const char* kProcessClass = "PEncryptedDataProcess";
constexpr const char* kOidData = "1 2 840 113549 1 7 1";
constexpr const char* kOidEncryptedData = "1 2 840 113549 1 7 6";
constexpr const char* kOidRc2Cbc = "1 2 840 113549 3 2";
constexpr const char* kOidNeat = "1 2 410 100001 1 3";
constexpr int kNeatIvLen = 16;
constexpr uint8_t kZeroIv[kNeatIvLen] = {};
constexpr int kContentPadding = 2;

}  // namespace

int readContentEncryptionAlgorithm(const RAlgorithmIdentifier& alg, int& nAlg, int& nMode, ByteString& iv,
                                   ErrorHolder& err, const char* cls, const char* method) {
    ASN1ObjectIdentifier oid = alg.getAlgorithm();
    const ByteString oidText(oid.getOID().c_str());
    int rc2Version = 0;
    iv.clear();
    if (alg.hasParameters()) {
        const ByteString& params = alg.getParameters().getEncoding();
        if (oid.is(kOidRc2Cbc)) {
            RRC2_CBC_Parameter p;
            if (p.fromASN1Object(params) != 0) return err.fail(cls, method, "rc2CBCParameter", 21, p.errorText());
            rc2Version = p.hasRc2ParameterVersion() ? p.getRc2ParameterVersion().getInteger() : 0;
            iv.assign(p.getIv().getValue());
        } else {
            ASN1OctetString octets;
            if (octets.fromASN1Object(params) == 0) iv.assign(octets.getValue());
        }
    }
    PAlgorithmUtil algs;
    if (algs.oid2code(oidText.c_str(), &nAlg, &nMode, rc2Version) != 0)
        return err.fail(cls, method, "contentEncryptionAlgorithm", 22, algs.errorText());
    if (iv.isEmpty()) {
        if (!oid.is(kOidNeat)) return err.fail(cls, method, "iv", 23, "IV does not exist.");
        iv.set(kZeroIv, kNeatIvLen);
    }
    return 0;
}

PEncryptedData::PEncryptedData() : m_nSymAlg(ALG_SEED), m_nMode(MODE_CBC) { (void)m_ContentType.setOID(kOidData); }

int PEncryptedData::setContentType(const char* oidText) {
    if (m_ContentType.setOID(oidText) != 0)
        return fail(kMakeClass, "setContentType", "m_ContentType", 1, m_ContentType.errorText());
    return 0;
}

int PEncryptedData::makeEncryptedData(ByteString& out) {
    constexpr const char* kMethod = "makeEncryptedData";
    if (m_Key.isEmpty()) return fail(kMakeClass, kMethod, "m_Key", 1, "Set Key.");
    if (m_nSymAlg == 0 || m_nMode == 0)
        return fail(kMakeClass, kMethod, "m_nSymAlg", 2, "Set SymmetricAlg and Encryption Mode.");
    ByteString iv(m_IV);
    if (m_nSymAlg == ALG_NEAT) iv.set(kZeroIv, kNeatIvLen);
    if (iv.isEmpty() && m_nMode != MODE_ECB) return fail(kMakeClass, kMethod, "m_IV", 3, "Set IV.");

    ZREncrypt enc;
    ByteString cipher;
    if (enc.EncryptData(m_nSymAlg, m_nMode, m_Key, iv, m_Content, cipher, kContentPadding) != 0)
        return fail(kMakeClass, kMethod, "encrypt.EncryptData()", kEncryptFailed, enc.errorText());

    REncryptedContentInfo eci;
    eci.setContentType(m_ContentType);
    PAlgorithmUtil algs;
    RAlgorithmIdentifier contentAlg;
    if (algs.makeSymmetricAlgID(m_nSymAlg, m_nMode, iv, contentAlg) != 0)
        return fail(kMakeClass, kMethod, "contentEncryptionAlgorithm", 4, algs.errorText());
    eci.setContentEncryptionAlgorithm(contentAlg);
    ASN1OctetString encrypted;
    (void)encrypted.setValue(cipher);
    eci.setEncryptedContent(encrypted);

    REncryptedData ed;
    ed.setVersion(0);
    ed.setEncryptedContentInfo(eci);
    const ByteString& bare = ed.toASN1Object();
    if (ed.errorCode() != 0 || bare.isEmpty()) return fail(kMakeClass, kMethod, "encryptedData", 5, ed.errorText());
    if ((m_nOption & kOptContentInfo) == 0) {
        out.assign(bare);
        return 0;
    }
    RContentInfo ci;
    (void)ci.editContentType().setOID(kOidEncryptedData);
    ASN1Any content;
    content.set(bare);
    ci.setContent(content);
    const ByteString& wrapped = ci.toASN1Object();
    if (ci.errorCode() != 0 || wrapped.isEmpty()) return fail(kMakeClass, kMethod, "contentInfo", 6, ci.errorText());
    out.assign(wrapped);
    return 0;
}

int PEncryptedDataProcess::parseEncryptedData(const ByteString& message) {
    constexpr const char* kMethod = "parseEncryptedData";
    ASN1Sequence outer;
    if (outer.fromASN1Object(message) != 0)
        return fail(kProcessClass, kMethod, "message", kNotEncryptedData, outer.errorText());
    ByteString bare;
    RContentInfo ci;
    if (outer.getComponentCount() == 2 && ci.fromASN1Object(message) == 0) {
        if (!ci.getContentType().is(kOidEncryptedData) || !ci.hasContent())
            return fail(kProcessClass, kMethod, "contentType", kNotEncryptedData, "It is not encryptedData.");
        bare.assign(ci.getContent().getEncoding());
    } else {
        bare.assign(message);
    }
    REncryptedData ed;
    if (ed.fromASN1Object(bare) != 0)
        return fail(kProcessClass, kMethod, "encryptedData", kNotEncryptedData, ed.errorText());
    const REncryptedContentInfo& eci = ed.getEncryptedContentInfo();
    if (const int rc = readContentEncryptionAlgorithm(eci.getContentEncryptionAlgorithm(), m_nSymAlg, m_nMode, m_IV,
                                                      *this, kProcessClass, kMethod);
        rc != 0)
        return rc;
    if (!eci.hasEncryptedContent())
        return fail(kProcessClass, kMethod, "encryptedContent", 7, "The encrypted content does not exist.");
    ZREncrypt dec;
    if (dec.DecryptData(m_nSymAlg, m_nMode, m_Key, m_IV, eci.getEncryptedContent().getValue(), m_Content,
                        kContentPadding) != 0)
        return fail(kProcessClass, kMethod, "decrypt.DecryptData()", kDecryptFailed, dec.errorText());
    return 0;
}

void PEncryptedDataProcess::getSymmetricKey(int& nAlg, int& nMode, ByteString& key, ByteString& iv) const {
    nAlg = m_nSymAlg;
    nMode = m_nMode;
    key.assign(m_Key);
    iv.assign(m_IV);
}

}  // namespace qelt
