#include "ASN1Pkix/PSignedDataProcess.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PPublicKey.h"
#include "util/cp949_literal.h"
#include "util/io_thread.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PSignedDataProcess";
constexpr const char* kNoSignerCert = "Can't verify signature. Because there is not signer certificate.";
constexpr const char* kParseFirst = "First, Use parseSignedData().";
// Countersignatures nest; deeper chains than this are refused rather than
// followed (each level is a full signature check).
constexpr int kMaxCounterDepth = 8;

// The first value of an attribute as DER.
ByteString firstValue(const RAttribute& attr) {
    const auto bytes = attr.getAttrValues().componentBytes(0);
    return ByteString(bytes);
}

// The DER that a signature over signed attributes covers: the SET OF with
// its universal tag in place of the [0] IMPLICIT one.
ByteString signedAttrsTbs(RSignerInfo& si) {
    ByteString tbs(si.editSignedAttrs().toASN1Object(0));
    if (!tbs.isEmpty()) tbs.setByteAt(0, 0x31);
    return tbs;
}

// Hashes `data` and copies it to `copy`. A large content is copied by a
// helper thread while this one hashes: the copy's cost is mostly the kernel
// handing out and zeroing fresh pages, which then overlaps the digest instead
// of adding to it. A small content, or no thread to be had, is copied slice by
// slice and each slice hashed from the copy while it is still in the cache.
bool hashWhileCopying(ZRHash& hash, std::span<const uint8_t> data, uint8_t* copy) {
    constexpr size_t kSlice = size_t{1} << 30;  // the engine takes int lengths
    constexpr size_t kParallelFrom = size_t{4} << 20;
    std::thread copier;
    if (data.size() >= kParallelFrom && std::thread::hardware_concurrency() > 1 &&
        startIoThread(copier, [data, copy] { std::memcpy(copy, data.data(), data.size()); })) {
        bool ok = true;
        for (size_t off = 0; ok && off < data.size(); off += kSlice)
            ok = hash.DigestData_Update(data.data() + off, static_cast<int>(std::min(kSlice, data.size() - off))) == 0;
        copier.join();
        return ok;
    }
    constexpr size_t kCacheSlice = size_t{64} << 10;
    bool ok = true;
    for (size_t off = 0; ok && off < data.size(); off += kCacheSlice) {
        const size_t n = std::min(kCacheSlice, data.size() - off);
        std::memcpy(copy + off, data.data() + off, n);
        ok = hash.DigestData_Update(copy + off, static_cast<int>(n)) == 0;
    }
    return ok;
}

}  // namespace

bool PSignedDataProcess::parsed(const char* method) {
    if (m_bParsed) return true;
    fail(kClass, method, "m_pSignedData", 1, kParseFirst);
    return false;
}

bool PSignedDataProcess::signerReady(const char* method, int index) {
    if (!parsed(method)) return false;
    if (!m_bProcessed) {
        fail(kClass, method, "m_pSignerInfos", 2, "You must processSignerInfos.");
        return false;
    }
    if (index < 0 || index >= static_cast<int>(m_Signers.size())) {
        fail(kClass, method, "index", 3, "The signer index is out of range.");
        return false;
    }
    return true;
}

int PSignedDataProcess::setContent(const ByteString& content) {
    if (!m_bHasContent) {
        m_Content.assign(content);
        m_bContentIsView = false;
    }
    return 0;
}

int PSignedDataProcess::addSignerCert(const ByteString& cert) {
    m_AddedCerts.emplace_back(cert);
    return 0;
}

int PSignedDataProcess::addCertEntry(const ByteString& der) {
    CertEntry e;
    e.der.assign(der);
    PCertUtil cert;
    if (cert.parseCertificate(der) == 0) {
        e.issuer.assign(cert.getIssuer());
        e.serial.assign(cert.getSerialNumber(1));
        const ByteString& ski = cert.get_SubjectKeyIdentifier_value();
        if (cert.errorCode() == 0) e.ski.assign(ski);
        e.subjectText.assign(cert.getSubjectDN());
        e.usable = !e.issuer.isEmpty();
    }
    m_Certs.push_back(std::move(e));
    return 0;
}

// Finds the SignedData in the input without copying: the input itself, or
// the [0] content of a ContentInfo (told apart by its first element, an OID
// where a SignedData has its version).
int PSignedDataProcess::locateSignedData(std::span<const uint8_t> in, std::span<const uint8_t>& signedData) {
    constexpr const char* kMethod = "parseSignedData";
    asn1::ElementBounds outer;
    if (in.empty() || in[0] != 0x30 || !asn1::scanElement(in, outer) || outer.contentLen == 0)
        return fail(kClass, kMethod, "asnSeq", kNotSignedData, "It is not signedData.");
    const auto body = in.subspan(outer.headerLen, outer.contentLen);
    if (body[0] != asn1::kTagOid) {
        signedData = in.first(outer.totalLen);
        return 0;
    }
    static constexpr uint8_t kSignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
    asn1::ElementBounds type, tagged, inner;
    if (!asn1::scanElement(body, type) || type.totalLen != sizeof kSignedDataOid ||
        !std::equal(kSignedDataOid, kSignedDataOid + sizeof kSignedDataOid, body.begin()))
        return fail(kClass, kMethod, "contentType", kNotSignedData, "It is not signedData.");
    const auto rest = body.subspan(type.totalLen);
    if (rest.empty() || rest[0] != 0xA0 || !asn1::scanElement(rest, tagged) || tagged.contentLen == 0)
        return fail(kClass, kMethod, "content", kNotSignedData, "It is not signedData.");
    const auto content = rest.subspan(tagged.headerLen, tagged.contentLen);
    if (!asn1::scanElement(content, inner))
        return fail(kClass, kMethod, "content", kNotSignedData, "It is not signedData.");
    signedData = content.first(inner.totalLen);
    return 0;
}

// For a definite-length SignedData whose eContent is one primitive OCTET
// STRING: the SignedData with that OCTET STRING emptied, and the content's
// place in the input. False (nothing to split) for any other shape.
bool PSignedDataProcess::splitContent(std::span<const uint8_t> sd, ByteString& skeleton,
                                      std::span<const uint8_t>& content) {
    using asn1::ElementBounds;
    ElementBounds outer;
    if (!asn1::scanElement(sd, outer) || outer.indefinite || sd[0] != 0x30) return false;
    const auto body = sd.subspan(outer.headerLen, outer.contentLen);
    // version, digestAlgorithms, then the EncapsulatedContentInfo
    size_t pos = 0;
    for (int i = 0; i < 2; ++i) {
        ElementBounds e;
        if (pos >= body.size() || !asn1::scanElement(body.subspan(pos), e)) return false;
        pos += e.totalLen;
    }
    ElementBounds eci, type, tagged, octets;
    if (pos >= body.size() || body[pos] != 0x30 || !asn1::scanElement(body.subspan(pos), eci) || eci.indefinite)
        return false;
    const auto eciBody = body.subspan(pos + eci.headerLen, eci.contentLen);
    if (eciBody.empty() || eciBody[0] != asn1::kTagOid || !asn1::scanElement(eciBody, type)) return false;
    const auto rest = eciBody.subspan(type.totalLen);
    if (rest.empty() || rest[0] != 0xA0 || !asn1::scanElement(rest, tagged) || tagged.indefinite) return false;
    const auto inner = rest.subspan(tagged.headerLen, tagged.contentLen);
    if (inner.empty() || inner[0] != asn1::kTagOctetString || !asn1::scanElement(inner, octets) || octets.indefinite ||
        octets.totalLen != inner.size() || type.totalLen + tagged.totalLen != eciBody.size())
        return false;
    content = inner.subspan(octets.headerLen, octets.contentLen);

    static constexpr uint8_t kEmptyContent[] = {0xA0, 0x02, 0x04, 0x00};
    const size_t newEciBody = type.totalLen + sizeof kEmptyContent;
    const size_t newEci = 1 + lengthOctetCount(newEciBody) + newEciBody;
    const size_t newBody = body.size() - eci.totalLen + newEci;
    if (skeleton.allocZero(static_cast<int>(1 + lengthOctetCount(newBody) + newBody)) != 0) return false;
    skeleton.append(static_cast<uint8_t>(0x30));
    appendLengthOctets(skeleton, newBody);
    skeleton.append(body.data(), static_cast<int>(pos));
    skeleton.append(static_cast<uint8_t>(0x30));
    appendLengthOctets(skeleton, newEciBody);
    skeleton.append(eciBody.data(), static_cast<int>(type.totalLen));
    skeleton.append(kEmptyContent, sizeof kEmptyContent);
    const size_t after = pos + eci.totalLen;
    skeleton.append(body.data() + after, static_cast<int>(body.size() - after));
    return true;
}

int PSignedDataProcess::parseSignedData(Asn1Input in, bool verify) {
    constexpr const char* kMethod = "parseSignedData";
    m_bParsed = m_bProcessed = false;
    m_bContentCopied = false;
    m_Certs.clear();
    m_Crls.clear();
    m_Signers.clear();
    m_VerifyMessage.clear();

    std::span<const uint8_t> signedData;
    if (locateSignedData(in.bytes(), signedData) != 0) return m_nErrorCode;
    // A large data content is cut out of the SignedData and read in place; the
    // records decode the rest.
    ByteString skeleton;
    std::span<const uint8_t> contentView;
    const bool split = splitContent(signedData, skeleton, contentView);
    RSignedData sd;
    if (sd.fromASN1Object(split ? Asn1Input(skeleton) : Asn1Input(signedData)) != 0)
        return fail(kClass, kMethod, "m_pSignedData", kNotSignedData, "It is not signedData.");

    // Version 1 messages are read in the PKCS#7 way (the content may be of any
    // type, kept as its DER); later versions carry an OCTET STRING eContent.
    m_nVersion = sd.getVersion();
    m_nForm = m_nVersion == 1 ? kFormPkcs7 : kFormCms;
    m_DigestAlgorithms = sd.getDigestAlgorithms();

    const REncapsulatedContentInfo& eci = sd.getEncapContentInfo();
    ASN1ObjectIdentifier type = eci.getEContentType();
    m_ContentType.assign(type.getOID());
    if (eci.hasEContent()) {
        m_Content.clear();
        m_ContentView = {};
        if (split) {
            m_ContentView = contentView;
        } else if (m_nForm == kFormPkcs7 && !type.is(oid::kData)) {
            m_Content.assign(eci.getEContent().getEncoding());
        } else if (eci.getContentOctets(m_Content) != 0) {
            return fail(kClass, kMethod, "eContent", 3, "The content is not an OCTET STRING.");
        }
        m_bContentIsView = split;
        m_bHasContent = true;
    }

    if (sd.hasCertificates()) {
        RCertificateSet set(sd.getCertificates());
        for (int i = 0; i < set.getElementCount(); ++i) {
            RCertificateChoices choice;
            if (set.getElement(i, choice) != 0)
                return fail(kClass, kMethod, "certificates", 4, "Unkonwn certificate type.");
            if (choice.isExtendedCertificate())
                return fail(kClass, kMethod, "certificates", 5, "extenedCert is not supported.");
            if (!choice.isCertificate()) return fail(kClass, kMethod, "certificates", 6, "Unkonwn certificate type.");
            addCertEntry(set.getElement(i));
        }
    }
    m_nMessageCerts = static_cast<int>(m_Certs.size());
    for (const ByteString& c : m_AddedCerts) addCertEntry(c);
    if (m_Certs.empty()) m_VerifyMessage.assign(kNoSignerCert);

    if (sd.hasCrls()) {
        RCertificateRevocationLists crls(sd.getCrls());
        for (int i = 0; i < crls.getElementCount(); ++i) m_Crls.emplace_back(crls.getElement(i));
    }
    m_SignerInfos = sd.getSignerInfos();
    m_bParsed = true;
    return verify ? processSignerInfos() : 0;
}

int PSignedDataProcess::findSignerCert(const RSignerIdentifier& sid) {
    if (sid.isIssuerAndSerialNumber()) {
        RIssuerAndSerialNumber ias(sid.getIssuerAndSerialNumber());
        RRDNSequence issuer(ias.getIssuer());
        const ByteString issuerDer(issuer.toASN1Object());
        const ByteString& serial = ias.getSerialNumber().getValue();
        for (size_t i = 0; i < m_Certs.size(); ++i)
            if (m_Certs[i].usable && m_Certs[i].serial == serial && m_Certs[i].issuer == issuerDer)
                return static_cast<int>(i);
    } else if (sid.isSubjectKeyIdentifier()) {
        const ByteString& ski = sid.getSubjectKeyIdentifier().getValue();
        for (size_t i = 0; i < m_Certs.size(); ++i)
            if (m_Certs[i].usable && !m_Certs[i].ski.isEmpty() && m_Certs[i].ski == ski) return static_cast<int>(i);
    }
    return -1;
}

// The bytes the signatures cover: the content, or for a typed (non-data)
// PKCS#7 content its DER without tag and length.
int PSignedDataProcess::signedContent(std::span<const uint8_t>& data) {
    data = getContent();
    if (m_ucHashMode == 0 && m_nForm == kFormPkcs7 && std::strcmp(m_ContentType.c_str(), oid::kData) != 0 &&
        !data.empty()) {
        asn1::ElementBounds element;
        if (!asn1::scanElement(data, element) || element.indefinite)
            return fail(kClass, "signedContent", "content", 7, "The content is not DER encoded.");
        data = data.subspan(element.headerLen, element.contentLen);
    }
    return 0;
}

// Verifies one SignerInfo over `data` (the content, or the countersigned
// signature octets): signature first, then the signed attributes.
int PSignedDataProcess::verifySigner(RSignerInfo& si, std::span<const uint8_t> data, bool counter) {
    constexpr const char* kMethod = "processSignerInfos";
    if (m_nForm == kFormPkcs7 && si.getVersion() != 1)
        return fail(kClass, kMethod, "version", 11, "Only v1 signerInfo supported.");
    const int certIndex = findSignerCert(si.getSid());
    if (certIndex < 0) {
        if (counter) {
            m_VerifyMessage.assign("There is a countersignature that can't be verified.");
            return -1;
        }
        m_VerifyMessage.assign(kNoSignerCert);
        return fail(kClass, kMethod, "signerCert", 12, kNoSignerCert);
    }
    const CertEntry& cert = m_Certs[certIndex];
    if (!counter) {
        m_IsSigner[certIndex] = 1;
        m_SignerCertIndex.push_back(certIndex);
    }

    PAlgorithmUtil algs;
    int hashAlg = 0;
    if (algs.parseHashAlgID(si.getDigestAlgorithm(), hashAlg) != 0)
        return fail(kClass, kMethod, "digestAlgorithm", 13, algs.errorText());
    if (si.getSignatureAlgorithm().getAlgorithm().is(oid::kRsaPss))
        return fail(kClass, kMethod, "signatureAlgorithm", 10, "The RSA-PSS is not supported.");

    const ByteString& signature = si.getSignature().getValue();
    const bool withAttrs = si.hasSignedAttrs();
    const ByteString tbs = withAttrs ? signedAttrsTbs(si) : ByteString();
    PPublicKey key;
    if (key.verifySignatureWithCert(cert.der, withAttrs ? tbs : ByteString(data), signature, hashAlg) != 0) {
        m_VerifyMessage.format("%s가 서명한 서명값 검증 실패. (%s)"_cp949, cert.subjectText.c_str(), key.errorText());
        return fail(kClass, kMethod, "signature", kVerifyFailed, m_VerifyMessage.c_str());
    }
    if (!withAttrs) return 0;

    ByteString digest;
    if (m_ucHashMode != 0 && !counter) {
        digest.assign(ByteString(data));
    } else {
        ZRHash hash;
        bool ok = hash.DigestData_Init(hashAlg) == 0;
        const std::span<const uint8_t> content = getContent();
        if (ok && !counter && m_ContentCopy && !m_bContentCopied && data.data() == content.data() &&
            data.size() == content.size() && !data.empty()) {
            uint8_t* copy = m_ContentCopy(data.size());
            if (copy == nullptr) return fail(kClass, kMethod, "hash", 14, "The content's copy has no memory.");
            ok = hashWhileCopying(hash, data, copy);
            m_bContentCopied = ok;
        } else {
            // Hashed in slices: the engine takes int lengths.
            constexpr size_t kSlice = size_t{1} << 30;
            for (size_t off = 0; ok && off < data.size(); off += kSlice)
                ok = hash.DigestData_Update(data.data() + off, static_cast<int>(std::min(kSlice, data.size() - off))) ==
                     0;
        }
        if (!ok || hash.DigestData_Final(digest) != 0) return fail(kClass, kMethod, "hash", 14, hash.errorText());
    }
    const RAttributes& attrs = si.getSignedAttrs();
    for (int i = 0; i < attrs.getElementCount(); ++i) {
        RAttribute attr;
        if (attrs.getElement(i, attr) != 0) return fail(kClass, kMethod, "signedAttrs", 20, "Invalid attribute.");
        const ASN1ObjectIdentifier& type = attr.getAttrType();
        if (type.is(oid::kContentTypeAttr)) {
            if (counter)
                return fail(kClass, kMethod, "contentType", 22,
                            "CounterSignature.SignedAttrs filed MUST NOT contatin a content-type attribute.");
            ASN1ObjectIdentifier value;
            ASN1ObjectIdentifier expected(m_ContentType.c_str());
            if (value.fromASN1Object(firstValue(attr)) != 0 || !(value.getValue() == expected.getValue()))
                return fail(kClass, kMethod, "contentType", 21,
                            "SignedAttrs.ContentType are different from ContentInfo.ContentType.");
        } else if (type.is(oid::kMessageDigestAttr)) {
            ASN1OctetString value;
            if (value.fromASN1Object(firstValue(attr)) != 0 || !(value.getValue() == digest)) {
                if (counter) return fail(kClass, kMethod, "messageDigest", 24, "Content Hash value is not same.");
                if (cert.subjectText.isEmpty()) {
                    m_VerifyMessage.assign("Content Hash value is not same.");
                    return fail(kClass, kMethod, "messageDigest", 24, m_VerifyMessage.c_str());
                }
                m_VerifyMessage.format("%s's content Hash value is not same.", cert.subjectText.c_str());
                return fail(kClass, kMethod, "messageDigest", kVerifyFailed, m_VerifyMessage.c_str());
            }
        } else if (type.is(oid::kSigningCertificateAttr)) {
            RSigningCertificate sc;
            RESSCertID id;
            ByteString certHash;
            ZRHash sha1;
            ASN1Sequence certs;
            bool ok = sc.fromASN1Object(firstValue(attr)) == 0;
            if (ok) {
                certs = sc.getCerts();
                ok = certs.getComponentCount() > 0 && id.fromASN1Object(certs.componentBytes(0)) == 0 &&
                     sha1.DigestData(ALG_SHA1, cert.der, certHash) == 0 && id.getCertHash().getValue() == certHash;
            }
            if (!ok) return fail(kClass, kMethod, "signingCertificate", 31, "Invalid CertHash value.");
        }
    }
    return 0;
}

int PSignedDataProcess::processCounterSignature(const RSignerInfo& parent, int depth) {
    if (!parent.hasUnsignedAttrs()) return 0;
    if (depth >= kMaxCounterDepth)
        return fail(kClass, "processCounterSignature", "depth", 40, "The countersignatures nest too deeply.");
    const RAttributes& attrs = parent.getUnsignedAttrs();
    const ByteString& parentSignature = parent.getSignature().getValue();
    for (int i = 0; i < attrs.getElementCount(); ++i) {
        RAttribute attr;
        if (attrs.getElement(i, attr) != 0 || !attr.getAttrType().is(oid::kCounterSignatureAttr)) continue;
        const ASN1Set& values = attr.getAttrValues();
        for (int v = 0; v < values.getComponentCount(); ++v) {
            RSignerInfo counter;
            if (counter.fromASN1Object(values.componentBytes(v)) != 0)
                return fail(kClass, "processCounterSignature", "counterSignature", 41, "Invalid countersignature.");
            const int rc = verifySigner(counter, parentSignature.bytes(), true);
            if (rc < 0) continue;  // no certificate for it: recorded and skipped
            if (rc != 0) return rc;
            if (const int inner = processCounterSignature(counter, depth + 1); inner != 0) return inner;
        }
    }
    return 0;
}

int PSignedDataProcess::processSignerInfos() {
    constexpr const char* kMethod = "processSignerInfos";
    if (!parsed(kMethod)) return m_nErrorCode;
    m_IsSigner.assign(m_Certs.size(), 0);
    m_Signers.clear();
    m_SignerCertIndex.clear();
    m_bProcessed = false;
    const int count = m_SignerInfos.getElementCount();
    if (count == 0) {
        m_VerifyMessage.assign("The Data does not Signed.");
        m_bProcessed = true;
        return 0;
    }
    std::span<const uint8_t> data;
    if (signedContent(data) != 0) return m_nErrorCode;
    for (int i = 0; i < count; ++i) {
        RSignerInfo si;
        if (m_SignerInfos.getElement(i, si) != 0) return fail(kClass, kMethod, "signerInfo", 8, "Invalid SignerInfo.");
        if (const int rc = verifySigner(si, data, false); rc != 0) return rc;
        if (const int rc = processCounterSignature(si, 0); rc != 0) return rc;
        m_Signers.push_back(std::move(si));
    }
    m_bProcessed = true;
    return 0;
}

int PSignedDataProcess::getSignerCount(int& count) {
    if (!parsed("getSignerCount")) return m_nErrorCode;
    count = static_cast<int>(m_Signers.size());
    return 0;
}

int PSignedDataProcess::getSignerCert(int index, ByteString& cert) {
    if (!signerReady("getSignerCert", index)) return m_nErrorCode;
    cert.assign(m_Certs[m_SignerCertIndex[index]].der);
    return 0;
}

int PSignedDataProcess::getSigningTime(int index, int64_t& time, bool& present) {
    constexpr const char* kMethod = "getSigningTime";
    time = 0;
    present = false;
    if (!signerReady(kMethod, index)) return m_nErrorCode;
    const RSignerInfo& si = m_Signers[index];
    RAttribute attr;
    if (!si.hasSignedAttrs() || si.getSignedAttrs().findAttribute(oid::kSigningTimeAttr, attr) != 0) return 0;
    const ByteString value = firstValue(attr);
    if (!value.isEmpty() && value.data()[0] == asn1::kTagUtcTime) {
        ASN1UTCTime t;
        if (t.fromASN1Object(value) != 0) return fail(kClass, kMethod, "signingTime", 4, "Invalid signingTime.");
        time = t.getGMTTime();
    } else {
        ASN1GeneralizedTime t;
        if (t.fromASN1Object(value) != 0) return fail(kClass, kMethod, "signingTime", 4, "Invalid signingTime.");
        time = t.getGMTTime();
    }
    present = time != kNoTime;
    if (!present) time = 0;
    return 0;
}

int PSignedDataProcess::getSignerInfo_DigestAlg(int index, int& nHashAlg) {
    if (!signerReady("getSignerInfo_DigestAlg", index)) return m_nErrorCode;
    PAlgorithmUtil algs;
    if (algs.parseHashAlgID(m_Signers[index].getDigestAlgorithm(), nHashAlg) != 0)
        return fail(kClass, "getSignerInfo_DigestAlg", "digestAlgorithm", 4, algs.errorText());
    return 0;
}

int PSignedDataProcess::getSignerInfo_Signature(int index, ByteString& signature) {
    if (!signerReady("getSignerInfo_Signature", index)) return m_nErrorCode;
    signature.assign(m_Signers[index].getSignature().getValue());
    return 0;
}

int PSignedDataProcess::getSignerAttribute(int index, int attrIndex, ByteString& type, ByteString& value) {
    constexpr const char* kMethod = "getSignerAttribute";
    if (!signerReady(kMethod, index)) return m_nErrorCode;
    const RSignerInfo& si = m_Signers[index];
    RAttribute attr;
    if (!si.hasUnsignedAttrs() || si.getUnsignedAttrs().getElement(attrIndex, attr) != 0)
        return fail(kClass, kMethod, "unsignedAttrs", 4, "The unsigned attribute does not exist.");
    ASN1ObjectIdentifier oidValue(attr.getAttrType());
    type.assign(oidValue.getOID());
    value = firstValue(attr);
    return 0;
}

int PSignedDataProcess::getUnsignedAttribute(int index, const char* oidText, ByteString& value) {
    value.clear();
    if (!signerReady("getUnsignedAttribute", index)) return m_nErrorCode;
    const RSignerInfo& si = m_Signers[index];
    RAttribute attr;
    if (si.hasUnsignedAttrs() && si.getUnsignedAttrs().findAttribute(oidText, attr) == 0) value = firstValue(attr);
    return 0;
}

int PSignedDataProcess::getCaPubs(ByteString& caPubs) {
    constexpr const char* kMethod = "getCaPubs";
    if (!parsed(kMethod)) return m_nErrorCode;
    if (!m_bProcessed) return fail(kClass, kMethod, "m_pIsSigner", 2, "You must processSignerInfos.");
    RPCaPubs list;
    for (int i = 0; i < m_nMessageCerts; ++i)
        if (m_IsSigner[i] != 1 && list.addElement(m_Certs[i].der) != 0)
            return fail(kClass, kMethod, "caPubs", 3, "The memory allocation is failed.");
    if (list.getElementCount() == 0) return fail(kClass, kMethod, "caPubs", kNoCaPubs, "The CaPubs does not exist.");
    caPubs.assign(list.toASN1Object());
    return 0;
}

}  // namespace qelt
