#include "ASN1Pkix/PSignedAndEnvelopedData.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/PEncryptedData.h"
#include "ASN1Pkix/PEnvelopedData.h"
#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kMakeClass = "PSignedAndEnvelopedData";
constexpr const char* kProcessClass = "PSignedAndEnvelopedDataProcess";
constexpr const char* kOidData = "1 2 840 113549 1 7 1";
constexpr const char* kOidSignedAndEnveloped = "1 2 840 113549 1 7 4";
constexpr int kPadding = 2;  // block padding of 1 to blocksize bytes, for content and digests alike
constexpr int kVersion = 1;

}  // namespace

// ---------------------------------------------------------------- making

PSignedAndEnvelopedData::PSignedAndEnvelopedData() : m_nSymAlg(ALG_DES), m_nMode(MODE_CBC) {}

void PSignedAndEnvelopedData::setSymmetricAlgorithm(int nAlg, int nMode) {
    m_nSymAlg = nAlg;
    m_nMode = nMode == 0 ? MODE_CBC : nMode;
}

int PSignedAndEnvelopedData::addRecipient(const ByteString& cert) {
    RCertificate certificate;
    if (cert.isEmpty() || certificate.fromASN1Object(cert) != 0)
        return fail(kMakeClass, "addRecipient", "pCert", 1,
                    cert.isEmpty() ? "The certificate is empty." : certificate.errorText());
    m_Recipients.emplace_back(cert);
    return 0;
}

int PSignedAndEnvelopedData::addSigner(const ByteString& cert, const ByteString& priKey, int nHashAlg) {
    RCertificate certificate;
    if (cert.isEmpty() || certificate.fromASN1Object(cert) != 0)
        return fail(kMakeClass, "addSigner", "pCert", 1,
                    cert.isEmpty() ? "The certificate is empty." : certificate.errorText());
    m_Signers.push_back(Signer{ByteString(cert), ByteString(priKey), nHashAlg != 0 ? nHashAlg : ALG_SHA1});
    return 0;
}

void PSignedAndEnvelopedData::getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const {
    nAlg = m_nSymAlg;
    nMode = m_nMode;
    cek.assign(m_CEK);
    iv.assign(m_IV);
}

int PSignedAndEnvelopedData::generateSymmetricKey() {
    return drawContentKey(m_nSymAlg, m_CEK, m_IV, *this, kMakeClass, "generateSymmetricKey");
}

int PSignedAndEnvelopedData::collectRecipientInfo(RRecipientInfos& out) {
    constexpr const char* kMethod = "collectRecipientInfo";
    if (m_Recipients.empty()) return fail(kMakeClass, kMethod, "m_Recipients", 1, "Add Recipient!");
    for (const ByteString& cert : m_Recipients) {
        RRecipientInfo ri;
        if (makeKeyTransRecipientInfo(cert, m_CEK, false, (m_nOption & kOptOaep) != 0, ri, *this, kMakeClass,
                                      kMethod) != 0)
            return fail(kMakeClass, kMethod, "recipientInfo", kBadRecipient, errorText());
        if (out.addElement(ri) != 0) return fail(kMakeClass, kMethod, "recipientInfos", 2, out.errorText());
    }
    return 0;
}

int PSignedAndEnvelopedData::collectSignerInfo(RSignerInfos& out, RExtendedCertificatesAndCertificates& certs) {
    constexpr const char* kMethod = "collectSignerInfo";
    if (m_Signers.empty()) return fail(kMakeClass, kMethod, "m_Signers", 1, "Add Signer!");
    for (const Signer& s : m_Signers) {
        RCertificate certificate;
        if (certificate.fromASN1Object(s.cert) != 0)
            return fail(kMakeClass, kMethod, "cert", 2, certificate.errorText());
        PPrivateKey key;
        if (key.setPrivateKeyInfo(s.priKey) != 0)
            return fail(kMakeClass, kMethod, "priKey", kNotPrivateKey, key.errorText());
        ByteString signature;
        if (key.genSignature(s.nHashAlg, m_Content, signature, &s.cert, true) != 0) {
            if (key.failure() == PPrivateKey::Failure::NotPrivateKey)
                return fail(kMakeClass, kMethod, "priKey", kNotPrivateKey, key.errorText());
            return fail(kMakeClass, kMethod, "signature", 3, key.errorText());
        }
        // The signature travels encrypted under the CEK, like the content.
        ZREncrypt enc;
        ByteString encryptedDigest;
        if (enc.EncryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, signature, encryptedDigest, kPadding) != 0)
            return fail(kMakeClass, kMethod, "encryptedDigest", 4, enc.errorText());

        ByteString signerInfo;
        if (encodeSignerInfo(certificate.getTbsCertificate(), s.nHashAlg, true, {}, encryptedDigest, signerInfo, *this,
                             kMakeClass, kMethod) != 0)
            return m_nErrorCode;
        if (out.addElement(signerInfo) != 0) return fail(kMakeClass, kMethod, "signerInfos", 7, out.errorText());
        // A certificate already listed (the same signer twice) is not repeated.
        bool present = false;
        for (int i = 0; i < certs.getElementCount() && !present; ++i) present = certs.getElement(i) == s.cert;
        if (!present && certs.addElement(s.cert) != 0)
            return fail(kMakeClass, kMethod, "certificates", 8, certs.errorText());
    }
    return 0;
}

int PSignedAndEnvelopedData::makeDigestAlgorithms(RDigestAlgorithmIdentifiers& out) {
    constexpr const char* kMethod = "makeDigestAlgorithms";
    std::vector<int> seen;
    for (const Signer& s : m_Signers) {
        bool known = false;
        for (int h : seen) known = known || h == s.nHashAlg;
        if (known) continue;
        seen.push_back(s.nHashAlg);
        PAlgorithmUtil algs;
        RAlgorithmIdentifier digestAlg;
        if (algs.makeAlgorithmID(s.nHashAlg, digestAlg) != 0)
            return fail(kMakeClass, kMethod, "digestAlg", 1, algs.errorText());
        if (out.addElement(digestAlg) != 0) return fail(kMakeClass, kMethod, "digestAlgorithms", 2, out.errorText());
    }
    return 0;
}

int PSignedAndEnvelopedData::makeEncryptedContentInfo(REncryptedContentInfo& out) {
    constexpr const char* kMethod = "makeEncryptedContentInfo";
    (void)out.editContentType().setOID(kOidData);
    PAlgorithmUtil algs;
    RAlgorithmIdentifier contentAlg;
    if (algs.makeSymmetricAlgID(m_nSymAlg, m_nMode, m_IV, contentAlg) != 0)
        return fail(kMakeClass, kMethod, "contentEncryptionAlgorithm", 1, algs.errorText());
    out.setContentEncryptionAlgorithm(contentAlg);
    ZREncrypt enc;
    ByteString cipher;
    if (enc.EncryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, m_Content, cipher, kPadding) != 0)
        return fail(kMakeClass, kMethod, "encryptedContent", 2, "Content encryption failed.");
    ASN1OctetString encrypted;
    (void)encrypted.setValue(cipher);
    out.setEncryptedContent(encrypted);
    return 0;
}

int PSignedAndEnvelopedData::makeSignedAndEnvelopedData(ByteString& out) {
    constexpr const char* kMethod = "makeSignedAndEnvelopedData";
    if (generateSymmetricKey() != 0) return m_nErrorCode;
    RSignedAndEnvelopedData sed;
    sed.setVersion(kVersion);
    RRecipientInfos recipients;
    if (collectRecipientInfo(recipients) != 0) return m_nErrorCode;
    RSignerInfos signers;
    RExtendedCertificatesAndCertificates certs;
    if (collectSignerInfo(signers, certs) != 0) return m_nErrorCode;
    RDigestAlgorithmIdentifiers digestAlgs;
    if (makeDigestAlgorithms(digestAlgs) != 0) return m_nErrorCode;
    REncryptedContentInfo eci;
    if (makeEncryptedContentInfo(eci) != 0) return m_nErrorCode;
    sed.setRecipientInfos(recipients);
    sed.setDigestAlgorithms(digestAlgs);
    sed.setEncryptedContentInfo(eci);
    sed.setCertificates(certs);
    sed.setSignerInfos(signers);

    const ByteString& bare = sed.toASN1Object();
    if (sed.errorCode() != 0 || bare.isEmpty())
        return fail(kMakeClass, kMethod, "signedAndEnvelopedData", 1, sed.errorText());
    if ((m_nOption & kOptContentInfo) == 0) {
        out.assign(bare);
        return 0;
    }
    RContentInfo ci;
    (void)ci.editContentType().setOID(kOidSignedAndEnveloped);
    ASN1Any content;
    content.set(bare);
    ci.setContent(content);
    const ByteString& wrapped = ci.toASN1Object();
    if (ci.errorCode() != 0 || wrapped.isEmpty()) return fail(kMakeClass, kMethod, "contentInfo", 2, ci.errorText());
    out.assign(wrapped);
    return 0;
}

// ---------------------------------------------------------------- processing

int PSignedAndEnvelopedDataProcess::getPureSignedAndEnvData(const ByteString& message, ByteString& bare) {
    constexpr const char* kMethod = "getPureSignedAndEnvData";
    ASN1Sequence outer;
    if (outer.fromASN1Object(message) != 0)
        return fail(kProcessClass, kMethod, "message", kNotSignedAndEnveloped, outer.errorText());
    // A SignedAndEnvelopedData starts with its INTEGER version, a ContentInfo with its type.
    if (outer.getComponentCount() == 0 || outer.getUniversalTag(0) != asn1::kTagOid) {
        bare.assign(message);
        return 0;
    }
    ASN1ObjectIdentifier type;
    if (type.fromASN1Object(outer.componentBytes(0)) != 0 || type.getOID().isEmpty())
        return fail(kProcessClass, kMethod, "contentType", 1, type.errorText());
    if (!type.is(kOidSignedAndEnveloped))
        return fail(kProcessClass, kMethod, "contentType", kNotSignedAndEnveloped, "It is not signedAndEnvelopedData.");
    RContentInfo ci;
    if (ci.fromASN1Object(message) != 0 || !ci.hasContent())
        return fail(kProcessClass, kMethod, "content", 2, "The ContentInfo holds no SignedAndEnvelopedData.");
    bare.assign(ci.getContent().getEncoding());
    return 0;
}

int PSignedAndEnvelopedDataProcess::setReceiverInfo(const ByteString& certDer, const ByteString& priKey) {
    constexpr const char* kMethod = "setReceiverInfo";
    RCertificate cert;
    if (cert.fromASN1Object(certDer) != 0)
        return fail(kProcessClass, kMethod, "pCert", kNotCertificate, cert.errorText());
    const RTBSCertificate& tbs = cert.getTbsCertificate();
    if (UDNSettings::RDN2Str(tbs.getIssuer(), m_IssuerDN) != 0)
        return fail(kProcessClass, kMethod, "m_IssuerDN", 1, "Make DNString by RDNSequence is failed.");
    m_Serial.assign(tbs.getSerialNumber().getValue());
    m_PriKey.assign(priKey);
    return 0;
}

int PSignedAndEnvelopedDataProcess::findMyRecipientInfo(const RRecipientInfos& infos) {
    constexpr const char* kMethod = "findMyRecipientInfo";
    for (int i = 0; i < infos.getElementCount(); ++i) {
        RRecipientInfo ri;
        if (infos.getElement(i, ri) != 0 || !ri.isKtri())
            return fail(kProcessClass, kMethod, "recipientInfo", 11, "Wrong ReciepientInfo format.");
        const RKeyTransRecipientInfo& ktri = ri.getKtri();
        if (ktri.getVersion() != 0) {
            ByteString msg;
            msg.format("Does not support version(%d).", ktri.getVersion());
            return fail(kProcessClass, kMethod, "version", 12, msg.c_str());
        }
        if (!ktri.getRid().isIssuerAndSerialNumber())
            return fail(kProcessClass, kMethod, "rid", 13, "Wrong ReciepientInfo format.");
        const RIssuerAndSerialNumber& ias = ktri.getRid().getIssuerAndSerialNumber();
        ByteString issuer;
        if (UDNSettings::RDN2Str(ias.getIssuer(), issuer) != 0)
            return fail(kProcessClass, kMethod, "issuer", 14, "Make DNString by RDNSequence is failed.");
        if (!issuer.equals(m_IssuerDN) || !ias.getSerialNumber().getValue().equals(m_Serial)) continue;
        return openKeyTransKey(ktri, m_PriKey, m_CEK, kNotPrivateKey, kKeyDecryptFailed, *this, kProcessClass, kMethod);
    }
    return fail(kProcessClass, kMethod, "recipientInfos", kNoRecipientInfo,
                "Your information does not exist in RecipientInfos");
}

int PSignedAndEnvelopedDataProcess::verifySigners(const RSignerInfos& infos) {
    constexpr const char* kMethod = "parseSignedAndEnvelopedData";
    for (int i = 0; i < infos.getElementCount(); ++i) {
        RSignerInfo si;
        if (infos.getElement(i, si) != 0) return fail(kProcessClass, kMethod, "signerInfo", 20, si.errorText());
        if (si.getVersion() != 1) {
            ByteString msg;
            msg.format("Does not supported SignerInfo version(%d).", si.getVersion());
            return fail(kProcessClass, kMethod, "signerInfo", 21, msg.c_str());
        }
        if (!si.getSid().isIssuerAndSerialNumber())
            return fail(kProcessClass, kMethod, "sid", 22, "Wrong SignerInfo format.");
        const RIssuerAndSerialNumber& ias = si.getSid().getIssuerAndSerialNumber();
        ByteString issuer;
        if (UDNSettings::RDN2Str(ias.getIssuer(), issuer) != 0)
            return fail(kProcessClass, kMethod, "issuer", 23, "Make DNString by RDNSequence is failed.");
        const ByteString& serial = ias.getSerialNumber().getValue();
        int found = -1;
        for (size_t c = 0; c < m_Certs.size() && found < 0; ++c)
            if (m_Certs[c].serial.equals(serial) && m_Certs[c].issuerText.equals(issuer)) found = static_cast<int>(c);
        if (found < 0)
            return fail(kProcessClass, kMethod, "signerCert", 24,
                        "Signer Certificate does not exist. so, You can't verify signature.");

        PAlgorithmUtil algs;
        int hashAlg = 0;
        if (algs.parseHashAlgID(si.getDigestAlgorithm(), hashAlg) != 0)
            return fail(kProcessClass, kMethod, "digestAlgorithm", 25, algs.errorText());
        ZREncrypt dec;
        ByteString signature;
        if (dec.DecryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, si.getSignature().getValue(), signature, kPadding) != 0)
            return fail(kProcessClass, kMethod, "encryptedDigest", 26, dec.errorText());
        PPublicKey key;
        if (key.verifySignatureWithCert(m_Certs[found].der, m_Content, signature, hashAlg) != 0)
            return fail(kProcessClass, kMethod, "signature", 27, key.errorText());
        m_SignerCertIndex.push_back(found);
    }
    return 0;
}

int PSignedAndEnvelopedDataProcess::parseSignedAndEnvelopedData(const ByteString& message) {
    constexpr const char* kMethod = "parseSignedAndEnvelopedData";
    m_bParsed = false;
    m_Certs.clear();
    m_Crls.clear();
    m_SignerCertIndex.clear();
    m_Content.clear();

    ByteString bare;
    if (getPureSignedAndEnvData(message, bare) != 0) return m_nErrorCode;
    RSignedAndEnvelopedData sed;
    if (sed.fromASN1Object(bare) != 0)
        return fail(kProcessClass, kMethod, "signedAndEnvelopedData", kNotSignedAndEnveloped, sed.errorText());
    if (sed.getVersion() != kVersion) {
        ByteString msg;
        msg.format("Does not supported version(%d).", sed.getVersion());
        return fail(kProcessClass, kMethod, "version", 1, msg.c_str());
    }
    if (findMyRecipientInfo(sed.getRecipientInfos()) != 0) return m_nErrorCode;

    const REncryptedContentInfo& eci = sed.getEncryptedContentInfo();
    if (readContentEncryptionAlgorithm(eci.getContentEncryptionAlgorithm(), m_nSymAlg, m_nMode, m_IV, *this,
                                       kProcessClass, kMethod) != 0)
        return m_nErrorCode;
    if (!eci.hasEncryptedContent())
        return fail(kProcessClass, kMethod, "encryptedContent", 2, "The encrypted content does not exist.");
    ZREncrypt dec;
    if (dec.DecryptData(m_nSymAlg, m_nMode, m_CEK, m_IV, eci.getEncryptedContent().getValue(), m_Content, kPadding) !=
        0)
        return fail(kProcessClass, kMethod, "encryptedContent", 3, dec.errorText());

    if (sed.hasCertificates()) {
        RExtendedCertificatesAndCertificates certs(sed.getCertificates());
        for (int i = 0; i < certs.getElementCount(); ++i) {
            RExtendedCertificateOrCertificate choice;
            if (certs.getElement(i, choice) != 0 || !choice.isCertificate())
                return fail(kProcessClass, kMethod, "certificates", 4, "Does not support ExtendedCertificate.");
            CertEntry e;
            e.der.assign(certs.getElement(i));
            RCertificate cert(choice.getCertificate());
            const RTBSCertificate& tbs = cert.getTbsCertificate();
            if (UDNSettings::RDN2Str(tbs.getIssuer(), e.issuerText) != 0)
                return fail(kProcessClass, kMethod, "certificates", 5, "Make DNString by RDNSequence is failed.");
            e.serial.assign(tbs.getSerialNumber().getValue());
            m_Certs.push_back(std::move(e));
        }
    }
    if (sed.hasCrls()) {
        RCertificateRevocationLists crls(sed.getCrls());
        for (int i = 0; i < crls.getElementCount(); ++i) m_Crls.emplace_back(crls.getElement(i));
    }
    if (verifySigners(sed.getSignerInfos()) != 0) return m_nErrorCode;
    m_bParsed = true;
    return 0;
}

int PSignedAndEnvelopedDataProcess::getSignerCert(int index, ByteString& cert) {
    if (!m_bParsed)
        return fail(kProcessClass, "getSignerCert", "m_Certs", 1, "First, Use parseSignedAndEnvelopedData().");
    if (index < 0 || index >= getSignerCount())
        return fail(kProcessClass, "getSignerCert", "index", 2, "The signer index is out of range.");
    cert.assign(m_Certs[static_cast<size_t>(m_SignerCertIndex[static_cast<size_t>(index)])].der);
    return 0;
}

int PSignedAndEnvelopedDataProcess::getCaPubs(ByteString& caPubs) {
    constexpr const char* kMethod = "getCaPubs";
    if (!m_bParsed) return fail(kProcessClass, kMethod, "m_Certs", 1, "First, Use parseSignedAndEnvelopedData().");
    RPCaPubs list;
    for (size_t i = 0; i < m_Certs.size(); ++i) {
        bool signer = false;
        for (int s : m_SignerCertIndex) signer = signer || static_cast<size_t>(s) == i;
        if (!signer && list.addElement(m_Certs[i].der) != 0)
            return fail(kProcessClass, kMethod, "caPubs", 2, list.errorText());
    }
    if (list.getElementCount() == 0)
        return fail(kProcessClass, kMethod, "caPubs", kNoCaPubs, "The CaPubs does not exist.");
    caPubs.assign(list.toASN1Object());
    return 0;
}

void PSignedAndEnvelopedDataProcess::getSymmetricKey(int& nAlg, int& nMode, ByteString& cek, ByteString& iv) const {
    nAlg = m_nSymAlg;
    nMode = m_nMode;
    cek.assign(m_CEK);
    iv.assign(m_IV);
}

}  // namespace qelt
