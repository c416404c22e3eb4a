#include "ASN1Pkix/PEnvelopedData.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/PEncryptedData.h"
#include "ASN1Pkix/PKEKAlgorithm.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_random.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kMakeClass = "PEnvelopedData";
constexpr const char* kProcessClass = "PEnvelopedDataProcess";

constexpr const char* kOidData = "1 2 840 113549 1 7 1";
constexpr const char* kOidEnvelopedData = "1 2 840 113549 1 7 3";
constexpr const char* kOidRsaOaep = "1 2 840 113549 1 1 7";
constexpr const char* kOidRsaEncryption = "1 2 840 113549 1 1 1";
constexpr const char* kOidDsa = "1 2 840 10040 4 1";
constexpr const char* kOidKcdsa = "1 2 410 200004 1 1";
constexpr const char* kOid3DesWrap = "1 2 840 113549 1 9 16 3 6";
constexpr const char* kOidRc2Wrap = "1 2 840 113549 1 9 16 3 7";
constexpr int kContentPadding = 2;  // block padding of 1 to blocksize bytes

// CEK and IV sizes by content-encryption algorithm. NEAT runs with a fixed
// all-zero IV: its identifier is sent without parameters by older peers, so
// the receiving side must be able to assume the IV.
constexpr ContentCipher kContentCiphers[] = {
    {ALG_DES, 8, 8, false},   {ALG_3DES, 24, 8, false},     {ALG_SEED, 16, 16, false},
    {ALG_NEAT, 16, 16, true}, {ALG_ARIA128, 16, 16, false}, {ALG_RC2_40, 5, 8, false},
};

int sha1Of(const ByteString& in, ByteString& out) {
    ZRHash hash;
    return hash.DigestData(ALG_SHA1, in, out);
}

// The bits of a BIT STRING after its unused-bits octet.
ByteString bitStringBits(const ASN1BitString& bits) {
    const ByteString& content = bits.getValue();
    return content.length() > 1 ? ByteString(content.data() + 1, content.length() - 1) : ByteString();
}

// The key-encryption key-wrap algorithm for a content-encryption algorithm.
const char* keyWrapOidOf(int nAlg) {
    if (nAlg == ALG_3DES) return kOid3DesWrap;
    if (nAlg == ALG_RC2_40) return kOidRc2Wrap;
    return nullptr;
}

}  // namespace

const ContentCipher* contentCipherOf(int nAlg) {
    for (const ContentCipher& c : kContentCiphers)
        if (c.alg == nAlg) return &c;
    return nullptr;
}

// ---------------------------------------------------------------- making

PEnvelopedData::PEnvelopedData() : m_nSymAlg(ALG_DES), m_nMode(MODE_CBC) { (void)m_ContentType.setOID(kOidData); }

int PEnvelopedData::choiceRecipientIdentifier(int kind) {
    if (kind != kIssuerAndSerialNumber && kind != kSubjectKeyIdentifier)
        return fail(kMakeClass, "choiceRecipientIdentifier", "nRidType", 1,
                    "input error(input ISSUERANDSERIALNUMBER or SUBJECT_KEY_IDENTIFIER)");
    m_nRidKind = kind;
    return 0;
}

void PEnvelopedData::setSymmetricAlgorithm(int nAlg, int nMode) {
    m_nSymAlg = nAlg;
    m_nMode = nMode == 0 ? MODE_CBC : nMode;
}

int PEnvelopedData::setContentType(const char* oidText) {
    if (m_ContentType.setOID(oidText) != 0)
        return fail(kMakeClass, "setContentType", "m_ContentType", 1, m_ContentType.errorText());
    return 0;
}

void PEnvelopedData::setOriginatorInfo(const ROriginatorInfo& info) {
    m_OriginatorInfo = info;
    m_nOptional |= kHasOriginatorInfo;
}

void PEnvelopedData::setUnprotectedAttrs(const RAttributes& attrs) {
    m_UnprotectedAttrs = attrs;
    m_nOptional |= kHasUnprotectedAttrs;
}

void PEnvelopedData::setSymmetricKey(const ByteString& cek, const ByteString& iv) {
    m_CEK.assign(cek);
    m_IV.assign(iv);
}

int drawContentKey(int nAlg, ByteString& cek, ByteString& iv, ErrorHolder& err, const char* cls, const char* method) {
    const ContentCipher* c = contentCipherOf(nAlg);
    if (c == nullptr) return err.fail(cls, method, "m_nSymmetricAlgorithmId", 1, "Unknown symmetric algoritm.");
    // Key and IV come from one request: every request to the generator
    // starts with a fresh key of its own, so two would cost nearly twice one.
    uint8_t bytes[32 + 16] = {};
    const size_t keyLen = static_cast<size_t>(c->keyLen), ivLen = static_cast<size_t>(c->ivLen);
    if (zcapRandomBytes(bytes, keyLen + ivLen) != 0) {
        secureWipe(bytes, sizeof bytes);
        return err.fail(cls, method, "zcapRandomBytes", 3, "Random generation failed.");
    }
    // The IV is drawn like any other and then fixed, so that the generator's
    // output stream does not depend on the algorithm.
    if (c->zeroIv) secureWipe(bytes + keyLen, ivLen);
    cek.set(bytes, c->keyLen);
    iv.set(bytes + keyLen, c->ivLen);
    secureWipe(bytes, sizeof bytes);
    return 0;
}

int PEnvelopedData::makeSymetricKey() {
    return drawContentKey(m_nSymAlg, m_CEK, m_IV, *this, kMakeClass, "makeSymetricKey");
}

void PEnvelopedData::getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const {
    nAlg = m_nSymAlg;
    nMode = m_nMode;
    cek.assign(m_CEK);
    iv.assign(m_IV);
}

int PEnvelopedData::addRecipientByCert(const ByteString& cert) {
    m_nRecipientType = kKeyTransport;
    return addRecipient(cert, nullptr);
}

int PEnvelopedData::addRecipient(const ByteString& certOrKekId, const ByteString* kek) {
    constexpr const char* kMethod = "addRecipient";
    if (m_CEK.isEmpty()) {
        if (const int rc = makeSymetricKey(); rc != 0) return rc;
    }
    RRecipientInfo ri;
    switch (m_nRecipientType) {
        case kKeyTransport:
            if (const int rc = keyTransRecipientInfo(certOrKekId, ri); rc != 0) return rc;
            break;
        case kKEK:
            if (kek == nullptr || kek->isEmpty())
                return fail(kMakeClass, kMethod, "bsKEK", 5, "KeyEncrytionKey does not set.");
            if (const int rc = kekRecipientInfo(certOrKekId, *kek, ri); rc != 0) return rc;
            break;
        case kKeyAgreement:
            return fail(kMakeClass, kMethod, "m_nRecipientType", 6, "The KARI recipientInfoType does not supported.");
        default:
            return fail(kMakeClass, kMethod, "m_nRecipientType", 7, "The recipientType is not chosen.");
    }
    if (m_RecipientInfos.addElement(ri) != 0)
        return fail(kMakeClass, kMethod, "m_RecipientInfos", 8, m_RecipientInfos.errorText());
    return 0;
}

int makeKeyTransRecipientInfo(const ByteString& certDer, const ByteString& cek, bool subjectKeyId, bool oaepWanted,
                              RRecipientInfo& out, ErrorHolder& err, const char* cls, const char* kMethod) {
    RCertificate cert;
    if (certDer.isEmpty() || cert.fromASN1Object(certDer) != 0)
        return err.fail(cls, kMethod, "pCert", 1, certDer.isEmpty() ? "The certificate is empty." : cert.errorText());
    const RTBSCertificate& tbs = cert.getTbsCertificate();
    const RSubjectPublicKeyInfo& spki = tbs.getSubjectPublicKeyInfo();
    const ASN1ObjectIdentifier& keyAlg = spki.getAlgorithm().getAlgorithm();
    if (keyAlg.is(kOidDsa) || keyAlg.is(kOidKcdsa))
        return err.fail(cls, kMethod, "keyAlgorithm", 2, "Can't encrypt key by dsa or kcdsa algorithm.");

    RKeyTransRecipientInfo ktri;
    RRecipientIdentifier rid;
    if (subjectKeyId) {
        ktri.setVersion(2);
        ByteString keyId;
        if (sha1Of(bitStringBits(spki.getSubjectPublicKey()), keyId) != 0)
            return err.fail(cls, kMethod, "subjectKeyIdentifier", 3, "SHA-1 of the public key failed.");
        ASN1OctetString ski;
        (void)ski.setValue(keyId);
        rid.setSubjectKeyIdentifier(ski);
    } else {
        ktri.setVersion(0);
        RIssuerAndSerialNumber ias;
        ias.setIssuer(tbs.getIssuer());
        ias.setSerialNumber(tbs.getSerialNumber());
        rid.setIssuerAndSerialNumber(ias);
    }
    ktri.setRid(rid);

    const bool rsa = keyAlg.is(kOidRsaEncryption);
    const bool oaep = rsa && oaepWanted;
    RAlgorithmIdentifier keyEncAlg;
    ASN1Any params;
    if (oaep) {
        (void)keyEncAlg.editAlgorithm().setOID(kOidRsaOaep);
        RRSAES_OAEP_params defaults;  // SHA-1, MGF1 with SHA-1, empty label: all defaults
        params.set(defaults.toASN1Object());
    } else {
        keyEncAlg.setAlgorithm(keyAlg);
        ASN1Null null;
        params.set(null.toASN1Object());
    }
    keyEncAlg.setParameters(params);
    ktri.setKeyEncryptionAlgorithm(keyEncAlg);

    PPublicKey pub;
    ByteString encryptedKey;
    if (pub.setCertificate(certDer) != 0 || pub.encrypt(cek, encryptedKey, oaep) != 0)
        return err.fail(cls, kMethod, "encryptedKey", 4, pub.errorText());
    ASN1OctetString ek;
    (void)ek.setValue(encryptedKey);
    ktri.setEncryptedKey(ek);
    out.setKtri(ktri);
    return 0;
}

int PEnvelopedData::keyTransRecipientInfo(const ByteString& certDer, RRecipientInfo& out) {
    return makeKeyTransRecipientInfo(certDer, m_CEK, m_nRidKind == kSubjectKeyIdentifier, (m_nOption & kOptOaep) != 0,
                                     out, *this, kMakeClass, "makeKeyTransRecipientInfo");
}

int PEnvelopedData::kekRecipientInfo(const ByteString& kekId, const ByteString& kek, RRecipientInfo& out) {
    constexpr const char* kMethod = "makeKEKRecipientInfo";
    const char* wrapOid = keyWrapOidOf(m_nSymAlg);
    if (wrapOid == nullptr) {
        ByteString msg;
        msg.format("m_nSymmetricAlgorithmId(%d) algorithm does not support.", m_nSymAlg);
        return fail(kMakeClass, kMethod, "m_nSymmetricAlgorithmId", 1, msg.c_str());
    }
    PKEKAlgorithm wrap;
    ByteString wrapped;
    if (wrap.wrapKey(m_nSymAlg, m_CEK, kek, wrapped) != 0)
        return fail(kMakeClass, kMethod, "wrapKey", 2, wrap.errorText());

    RKEKRecipientInfo kekri;
    kekri.setVersion(4);
    RKEKIdentifier id;
    (void)id.editKeyIdentifier().setValue(kekId);
    kekri.setKekid(id);
    RAlgorithmIdentifier alg;
    (void)alg.editAlgorithm().setOID(wrapOid);
    if (m_nSymAlg == ALG_3DES) {
        ASN1Null null;
        ASN1Any params;
        params.set(null.toASN1Object());
        alg.setParameters(params);
    } else {
        ASN1Integer effectiveBits;  // RC2wrapParameter: the KEK's effective key bits
        effectiveBits.setInteger(58);
        ASN1Any params;
        params.set(effectiveBits.toASN1Object());
        alg.setParameters(params);
    }
    kekri.setKeyEncryptionAlgorithm(alg);
    ASN1OctetString ek;
    (void)ek.setValue(wrapped);
    kekri.setEncryptedKey(ek);
    out.setKekri(kekri);
    return 0;
}

int PEnvelopedData::makeEnvelopedData(ByteString& out) {
    constexpr const char* kMethod = "makeEnvelopedData";
    if (m_RecipientInfos.getElementCount() == 0)
        return fail(kMakeClass, kMethod, "m_RecipientInfos", 1, "First, use addRecipient or addRecipientByCert");

    REnvelopedData env;
    env.setVersion(m_nOptional != 0 ? 2 : 0);
    if ((m_nOptional & kHasOriginatorInfo) != 0) env.setOriginatorInfo(m_OriginatorInfo);
    env.setRecipientInfos(m_RecipientInfos);

    REncryptedContentInfo eci;
    eci.setContentType(m_ContentType);
    PAlgorithmUtil algs;
    RAlgorithmIdentifier contentAlg;
    if (algs.makeSymmetricAlgID(m_nSymAlg, m_nMode, m_IV, contentAlg) != 0)
        return fail(kMakeClass, kMethod, "contentEncryptionAlgorithm", 2, algs.errorText());
    eci.setContentEncryptionAlgorithm(contentAlg);
    if ((m_nOption & kOptNoContent) == 0) {
        ZREncrypt enc;
        ByteString cipher;
        if (enc.EncryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, m_Content, cipher, kContentPadding) != 0)
            return fail(kMakeClass, kMethod, "encryptedContent", 3, "Encryption Error");
        ASN1OctetString encrypted;
        (void)encrypted.setValue(cipher);
        eci.setEncryptedContent(encrypted);
    }
    env.setEncryptedContentInfo(eci);
    if ((m_nOptional & kHasUnprotectedAttrs) != 0) env.setUnprotectedAttrs(m_UnprotectedAttrs);

    const ByteString& bare = env.toASN1Object();
    if (env.errorCode() != 0 || bare.isEmpty()) return fail(kMakeClass, kMethod, "envelopedData", 4, env.errorText());
    if ((m_nOption & kOptContentInfo) == 0) {
        out.assign(bare);
        return 0;
    }
    RContentInfo ci;
    (void)ci.editContentType().setOID(kOidEnvelopedData);
    ASN1Any content;
    content.set(bare);
    ci.setContent(content);
    const ByteString& wrapped = ci.toASN1Object();
    if (ci.errorCode() != 0 || wrapped.isEmpty()) return fail(kMakeClass, kMethod, "contentInfo", 5, ci.errorText());
    out.assign(wrapped);
    return 0;
}

// ---------------------------------------------------------------- processing

int PEnvelopedDataProcess::setRecipientIdentifier(const ByteString& certDer, const ByteString& priKey) {
    constexpr const char* kMethod = "setRecipientIdentifier";
    RCertificate cert;
    if (cert.fromASN1Object(certDer) != 0) return fail(kProcessClass, kMethod, "pCert", 1, cert.errorText());
    const RTBSCertificate& tbs = cert.getTbsCertificate();
    if (UDNSettings::RDN2Str(tbs.getIssuer(), m_IssuerDN) != 0)
        return fail(kProcessClass, kMethod, "m_IssuerDN", 2, "Make DN String failed.");
    m_Serial.assign(tbs.getSerialNumber().getValue());
    if (sha1Of(bitStringBits(tbs.getSubjectPublicKeyInfo().getSubjectPublicKey()), m_SubjectKeyId) != 0)
        return fail(kProcessClass, kMethod, "m_SubjectKeyId", 3, "SHA-1 of the public key failed.");
    m_PriKey.assign(priKey);
    return 0;
}

void PEnvelopedDataProcess::setKeyEncryptionKey(const ByteString& kekId, const ByteString& kek) {
    m_KekId.assign(kekId);
    m_Kek.assign(kek);
}

int PEnvelopedDataProcess::getPureEnvData(const ByteString& message, ByteString& bare) {
    constexpr const char* kMethod = "getPureEnvData";
    // A ContentInfo is a SEQUENCE of an OID and [0]; an EnvelopedData starts with its INTEGER version.
    ASN1Sequence outer;
    if (outer.fromASN1Object(message) != 0)
        return fail(kProcessClass, kMethod, "message", kNotEnvelopedData, outer.errorText());
    RContentInfo ci;
    if (outer.getComponentCount() == 2 && ci.fromASN1Object(message) == 0) {
        if (!ci.getContentType().is(kOidEnvelopedData) || !ci.hasContent())
            return fail(kProcessClass, kMethod, "contentType", kNotEnvelopedData, "It is not envelopedData.");
        bare.assign(ci.getContent().getEncoding());
        return 0;
    }
    bare.assign(message);
    return 0;
}

int PEnvelopedDataProcess::decode(const ByteString& message, const char* method) {
    ByteString bare;
    if (const int rc = getPureEnvData(message, bare); rc != 0) return rc;
    REnvelopedData env;
    if (env.fromASN1Object(bare) != 0)
        return fail(kProcessClass, method, "envelopedData", kNotEnvelopedData, env.errorText());
    m_Message.assign(bare);
    m_RecipientInfos = env.getRecipientInfos();
    if (m_RecipientInfos.getElementCount() < 1)
        return fail(kProcessClass, method, "recipientInfos", 2,
                    "The recipientInfos must have at leat one recipientInfo");
    const REncryptedContentInfo& eci = env.getEncryptedContentInfo();
    m_ContentType = eci.getContentType();
    m_ContentAlg = eci.getContentEncryptionAlgorithm();
    m_bHasContent = eci.hasEncryptedContent();
    m_EncryptedContent.assign(eci.getEncryptedContent().getValue());
    return 0;
}

int PEnvelopedDataProcess::parseRecipientInfos(const ByteString& message) {
    return decode(message, "parseRecipientInfos");
}

int PEnvelopedDataProcess::parseEnvelopedData(const ByteString& message) {
    if (const int rc = decode(message, "parseEnvelopedData"); rc != 0) return rc;
    if (const int rc = findMyRecipientInfo(); rc != 0) return rc;
    return readContentAlgorithm();
}

int PEnvelopedDataProcess::findMyRecipientInfo() {
    constexpr const char* kMethod = "findMyRecipientInfo";
    for (int i = 0; i < m_RecipientInfos.getElementCount(); ++i) {
        RRecipientInfo ri;
        if (m_RecipientInfos.getElement(i, ri) != 0)
            return fail(kProcessClass, kMethod, "recipientInfo", 3, ri.errorText());
        bool matched = false;
        if (ri.isKtri()) {
            if (const int rc = openKeyTrans(ri.getKtri(), matched); rc != 0) return rc;
        } else if (ri.isKari()) {
            return fail(kProcessClass, kMethod, "kari", 4, "The keyAgreeRecipientInfo does not supported.");
        } else if (ri.isKekri()) {
            if (const int rc = openKek(ri.getKekri(), matched); rc != 0) return rc;
        }
        // Password and other recipient kinds are not ours to open: look further.
        if (matched) return 0;
    }
    return fail(kProcessClass, kMethod, "recipientInfos", kNoRecipientInfo,
                "Your information does not exist in RecipientInfos");
}

int PEnvelopedDataProcess::openKeyTrans(const RKeyTransRecipientInfo& ktri, bool& matched) {
    constexpr const char* kMethod = "findMyRecipientInfo";
    const RRecipientIdentifier& rid = ktri.getRid();
    if (rid.isIssuerAndSerialNumber()) {
        const RIssuerAndSerialNumber& ias = rid.getIssuerAndSerialNumber();
        ByteString issuer;
        if (UDNSettings::RDN2Str(ias.getIssuer(), issuer) != 0)
            return fail(kProcessClass, kMethod, "issuer", 5, "Make DN String failed.");
        matched = issuer.equals(m_IssuerDN) && ias.getSerialNumber().getValue().equals(m_Serial);
    } else if (rid.isSubjectKeyIdentifier()) {
        matched = rid.getSubjectKeyIdentifier().getValue().equals(m_SubjectKeyId);
    } else {
        return fail(kProcessClass, kMethod, "rid", 6, "Unknown recipient identifier.");
    }
    if (!matched) return 0;

    return openKeyTransKey(ktri, m_PriKey, m_CEK, kNotPrivateKey, kKeyDecryptFailed, *this, kProcessClass, kMethod);
}

int openKeyTransKey(const RKeyTransRecipientInfo& ktri, const ByteString& priKey, ByteString& cek, int notPrivateKey,
                    int decryptFailed, ErrorHolder& err, const char* cls, const char* method) {
    PPrivateKey key;
    if (key.setPrivateKeyInfo(priKey) != 0) return err.fail(cls, method, "priKey", notPrivateKey, key.errorText());
    const bool oaep = ktri.getKeyEncryptionAlgorithm().getAlgorithm().is(kOidRsaOaep);
    if (key.decrypt(ktri.getEncryptedKey().getValue(), cek, oaep) != 0)
        return err.fail(cls, method, "encryptedKey", decryptFailed, key.errorText());
    return 0;
}

int PEnvelopedDataProcess::openKek(const RKEKRecipientInfo& kekri, bool& matched) {
    constexpr const char* kMethod = "findMyRecipientInfo";
    if (m_Kek.isEmpty() || !kekri.getKekid().getKeyIdentifier().getValue().equals(m_KekId)) return 0;
    if (kekri.getVersion() != 4) return fail(kProcessClass, kMethod, "kekri", 7, "kekRecipientInfo version must be 4.");
    const ASN1ObjectIdentifier& alg = kekri.getKeyEncryptionAlgorithm().getAlgorithm();
    int wrapAlg = 0;
    if (alg.is(kOid3DesWrap)) {
        wrapAlg = ALG_3DES;
    } else if (alg.is(kOidRc2Wrap)) {
        wrapAlg = ALG_RC2_40;
    } else {
        return fail(kProcessClass, kMethod, "keyEncryptionAlgorithm", 8, "Unknown Key encryption algorithm.");
    }
    matched = true;
    PKEKAlgorithm unwrap;
    if (unwrap.unwrapKey(wrapAlg, kekri.getEncryptedKey().getValue(), m_Kek, m_CEK) != 0)
        return fail(kProcessClass, kMethod, "encryptedKey", kKeyDecryptFailed, unwrap.errorText());
    return 0;
}

int PEnvelopedDataProcess::readContentAlgorithm() {
    return readContentEncryptionAlgorithm(m_ContentAlg, m_nSymAlg, m_nMode, m_IV, *this, kProcessClass,
                                          "parseEnvelopedData");
}

int PEnvelopedDataProcess::getContent(ByteString& out) {
    constexpr const char* kMethod = "getContent";
    if (m_CEK.isEmpty())
        return fail(kProcessClass, kMethod, "m_CEK", 1, "The content-encryption key is not recovered.");
    ZREncrypt dec;
    if (dec.DecryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, m_EncryptedContent, out, kContentPadding) != 0)
        return fail(kProcessClass, kMethod, "encryptedContent", 2, dec.errorText());
    if (out.isEmpty()) return fail(kProcessClass, kMethod, "content", 3, "Content data is empty.");
    return 0;
}

void PEnvelopedDataProcess::getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const {
    nAlg = m_nSymAlg;
    nMode = m_nMode;
    cek.assign(m_CEK);
    iv.assign(m_IV);
}

int PEnvelopedDataProcess::getRecipientInfoType(int index) {
    RRecipientInfo ri;
    if (m_RecipientInfos.getElement(index, ri) != 0) return 0;
    if (ri.isKtri()) return kKtri;
    if (ri.isKari()) return kKari;
    if (ri.isKekri()) return kKekri;
    return kOther;
}

int PEnvelopedDataProcess::getRecipientInfo_ktri_IssAndSerialNum(int index, ByteString& issuer, ByteString& serial) {
    constexpr const char* kMethod = "getRecipientInfo_ktri_IssAndSerialNum";
    RRecipientInfo ri;
    if (m_RecipientInfos.getElement(index, ri) != 0)
        return fail(kProcessClass, kMethod, "recipientInfo", 1, ri.errorText());
    if (!ri.isKtri() || !ri.getKtri().getRid().isIssuerAndSerialNumber())
        return fail(kProcessClass, kMethod, "rid", 2, "The recipient is not identified by issuer and serial number.");
    RIssuerAndSerialNumber ias = ri.getKtri().getRid().getIssuerAndSerialNumber();
    issuer.assign(ias.editIssuer().toASN1Object());
    serial.assign(ias.getSerialNumber().getValue());
    return 0;
}

int PEnvelopedDataProcess::getRecipientInfo_ktri_SubjectKeyID(int index, ByteString& keyId) {
    constexpr const char* kMethod = "getRecipientInfo_ktri_SubjectKeyID";
    RRecipientInfo ri;
    if (m_RecipientInfos.getElement(index, ri) != 0)
        return fail(kProcessClass, kMethod, "recipientInfo", 1, ri.errorText());
    if (!ri.isKtri() || !ri.getKtri().getRid().isSubjectKeyIdentifier())
        return fail(kProcessClass, kMethod, "rid", 2, "The recipient is not identified by subject key identifier.");
    keyId.assign(ri.getKtri().getRid().getSubjectKeyIdentifier().getValue());
    return 0;
}

int PEnvelopedDataProcess::getRecipientInfo_kekri_KeyID(int index, ByteString& keyId) {
    constexpr const char* kMethod = "getRecipientInfo_kekri_KeyID";
    RRecipientInfo ri;
    if (m_RecipientInfos.getElement(index, ri) != 0)
        return fail(kProcessClass, kMethod, "recipientInfo", 1, ri.errorText());
    if (!ri.isKekri()) return fail(kProcessClass, kMethod, "kekri", 2, "The recipient is not a KEK recipient.");
    keyId.assign(ri.getKekri().getKekid().getKeyIdentifier().getValue());
    return 0;
}

}  // namespace qelt
