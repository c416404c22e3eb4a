#include "ASN1Pkix/PSignedData.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <vector>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PPrivateKey.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PSignedData";
constexpr const char* kNoMemory = "The memory allocation is failed.";
// Attributes are ordered by this many leading octets of their encodings.
constexpr int kSortKeyLength = 52;

// The encoding of an Attribute of `type` with the single value `value` (an
// encoding): SEQUENCE { type, SET { value } }. Empty when memory ran out.
ByteString singleValued(const char* type, const ByteString& value) {
    ASN1ObjectIdentifier oid(type);
    const ByteString& typeDer = oid.toASN1Object();
    const ByteString values = derElement(0x31, {value.bytes()});
    if (typeDer.isEmpty() || values.isEmpty()) return ByteString();
    return derElement(0x30, {typeDer.bytes(), values.bytes()});
}

// The contents octets of one DER element (tag and length taken off).
int contentsOctets(const ByteString& der, ByteString& out) {
    ASN1Object element;
    if (element.fromASN1Object(der) != 0) return 1;
    out.assign(element.getValue());
    return 0;
}

// Identifier and length octets of an element with `len` content octets.
size_t headerLength(size_t len) { return 1 + lengthOctetCount(len); }

}  // namespace

// Writes octets into memory sized beforehand; never past `end`.
struct PSignedData::Writer {
    uint8_t* p = nullptr;
    uint8_t* end = nullptr;
    void put(std::span<const uint8_t> bytes) {
        const size_t n = std::min(bytes.size(), static_cast<size_t>(end - p));
        if (n > 0) std::memcpy(p, bytes.data(), n);
        p += n;
    }
    void header(uint8_t tag, size_t len) {
        uint8_t h[1 + kMaxLengthOctets] = {tag};
        put({h, 1 + writeLengthOctets(h + 1, len)});
    }
};

PSignedData::PSignedData() { m_ContentType.assign(oid::kData); }
PSignedData::~PSignedData() = default;

void PSignedData::setSigningTime(const int64_t* pTime) {
    if (pTime != nullptr) m_tSigningTime = *pTime;
    m_ucSignedAttrFlag |= kAttrBasic | kAttrSigningTime;
}

int PSignedData::setContent(const ByteString& content, const char* contentTypeOid) {
    return setContent(ByteString(content), contentTypeOid);
}

int PSignedData::setContentView(std::span<const uint8_t> content) {
    m_Content.clear();
    m_ContentView = content;
    m_bContentIsView = true;
    m_ContentType.assign(oid::kData);
    return 0;
}

int PSignedData::setContent(ByteString&& content, const char* contentTypeOid) {
    m_Content = std::move(content);
    m_bContentIsView = false;
    if (contentTypeOid == nullptr || std::strcmp(contentTypeOid, oid::kData) == 0) {
        m_ContentType.assign(oid::kData);
        return 0;
    }
    m_ContentType.assign(contentTypeOid);
    m_ucContentFlag |= kContentNotData;
    m_ucSignedAttrFlag |= kAttrBasic;
    return 0;
}

int PSignedData::setHashedContent(const ByteString& hash, int nHashAlg) {
    m_ContentType.assign(oid::kData);
    m_nHashAlg = nHashAlg != 0 ? nHashAlg : ALG_SHA1;
    m_ucOption |= kHashMode;
    m_ucContentFlag |= kContentIsHash;
    m_Content.assign(hash);
    m_bContentIsView = false;
    return 0;
}

int PSignedData::getPureSigendData(const ByteString& in, ByteString& signedData) {
    constexpr const char* kMethod = "getPureSigendData";
    ASN1Sequence seq;
    if (seq.fromASN1Object(in) != 0) return fail(kClass, kMethod, "asnSeq", kNotSignedData, "It is not signedData.");
    // A SignedData starts with its version; anything else is a ContentInfo.
    if (seq.getUniversalTag(0) == asn1::kTagInteger) {
        signedData.assign(in);
        return 0;
    }
    RContentInfo info;
    if (info.fromASN1Object(in) != 0 || !info.getContentType().is(oid::kSignedData) || !info.hasContent())
        return fail(kClass, kMethod, "contentType", kNotSignedData, "It is not signedData.");
    signedData.assign(info.getContent().getEncoding());
    return 0;
}

int PSignedData::setSignedData(const ByteString& in) {
    constexpr const char* kMethod = "setSignedData";
    ByteString der;
    if (getPureSigendData(in, der) != 0) return m_nErrorCode;
    auto sd = std::make_unique<RSignedData>();
    if (sd->fromASN1Object(der) != 0)
        return fail(kClass, kMethod, "m_pSignedData", kNotSignedData, "It is not signedData.");
    const REncapsulatedContentInfo& eci = sd->getEncapContentInfo();
    if (!eci.hasEContent())
        return fail(kClass, kMethod, "eContent", 2,
                    "The SignedData does not contain contents. so, Set to be signed content.");
    ASN1ObjectIdentifier type = eci.getEContentType();
    const ByteString typeText(type.getOID());
    m_bContentIsView = false;
    if (type.is(oid::kData)) {
        if (eci.getContentOctets(m_Content) != 0) return fail(kClass, kMethod, "eContent", 3, "Invalid data content.");
        m_ContentType.assign(oid::kData);
    } else {
        m_Content.assign(eci.getEContent().getEncoding());
        m_ContentType.assign(typeText);
        m_ucContentFlag |= kContentNotData;
        m_ucSignedAttrFlag |= kAttrBasic;
    }
    m_pSignedData = std::move(sd);
    // CA certificates added before the message was loaded join its set.
    if (m_pCertificates) {
        RPCaPubs pending;
        for (int i = 0; i < m_pCertificates->getElementCount(); ++i) pending.addElement(m_pCertificates->getElement(i));
        m_pCertificates.reset();
        if (pending.getElementCount() > 0 && addCaPubs(pending.toASN1Object()) != 0) return m_nErrorCode;
    }
    return 0;
}

RDigestAlgorithmIdentifiers& PSignedData::digestAlgorithms() {
    if (m_pSignedData) return m_pSignedData->editDigestAlgorithms();
    if (!m_pDigestAlgorithms) m_pDigestAlgorithms = std::make_unique<RDigestAlgorithmIdentifiers>();
    return *m_pDigestAlgorithms;
}

RCertificateSet& PSignedData::certificateSet() {
    if (m_pSignedData) return m_pSignedData->editCertificates();
    if (!m_pCertificates) m_pCertificates = std::make_unique<RCertificateSet>();
    return *m_pCertificates;
}

RSignerInfos& PSignedData::signerInfos() {
    if (m_pSignedData) return m_pSignedData->editSignerInfos();
    if (!m_pSignerInfos) m_pSignerInfos = std::make_unique<RSignerInfos>();
    return *m_pSignerInfos;
}

int PSignedData::addCaPubs(const ByteString& caPubs) {
    constexpr const char* kMethod = "addCaPubs";
    RPCaPubs list;
    if (list.fromASN1Object(caPubs) != 0) return fail(kClass, kMethod, "caPubs", 1, "Invalid CaPubs.");
    RCertificateSet& set = certificateSet();
    ZRHash hash;
    std::vector<ByteString> present;
    for (int i = 0; i < set.getElementCount(); ++i) {
        RCertificateChoices choice;
        if (set.getElement(i, choice) != 0 || !choice.isCertificate())
            return fail(kClass, kMethod, "certificates", 2, "Only X.509 certificate format supported.");
        ByteString digest;
        if (hash.DigestData(ALG_SHA1, set.getElement(i), digest) != 0)
            return fail(kClass, kMethod, "hash", 3, hash.errorText());
        present.push_back(std::move(digest));
    }
    for (int i = 0; i < list.getElementCount(); ++i) {
        const ByteString cert(list.getElement(i));
        ByteString digest;
        if (hash.DigestData(ALG_SHA1, cert, digest) != 0) return fail(kClass, kMethod, "hash", 3, hash.errorText());
        if (std::any_of(present.begin(), present.end(), [&](const ByteString& d) { return d == digest; })) continue;
        if (set.addElement(cert) != 0) return fail(kClass, kMethod, "certificates", 4, kNoMemory);
        present.push_back(std::move(digest));
    }
    if (m_pSignedData) m_pSignedData->setCertificates(RCertificateSet(m_pSignedData->getCertificates()));
    return 0;
}

int PSignedData::addSignedAttribute(const RAttribute& attribute) {
    if (!m_pSignedAttrs) m_pSignedAttrs = std::make_unique<RAttributes>();
    RAttribute copy(attribute);
    if (m_pSignedAttrs->addElement(copy) != 0) return fail(kClass, "addSignedAttribute", "attributes", 1, kNoMemory);
    m_ucSignedAttrFlag |= kAttrBasic;
    return 0;
}

int PSignedData::addAlgToDigestAlgorithmIdentifiers(const RAlgorithmIdentifier& alg) {
    RDigestAlgorithmIdentifiers& set = digestAlgorithms();
    const ByteString& wanted = alg.getAlgorithm().getValue();
    for (int i = 0; i < set.getElementCount(); ++i) {
        RAlgorithmIdentifier have;
        if (set.getElement(i, have) == 0 && have.getAlgorithm().getValue() == wanted) return 0;
    }
    RAlgorithmIdentifier copy(alg);
    if (set.addElement(copy) != 0)
        return fail(kClass, "addAlgToDigestAlgorithmIdentifiers", "digestAlgorithms", 1, kNoMemory);
    return 0;
}

int PSignedData::addSignerCert(const ByteString& cert, const ByteString& priKey, int nHashAlg) {
    RCertificate decoded;
    if (decoded.fromASN1Object(cert) != 0) {
        // The digest algorithm is checked first, as before the certificate is read.
        m_nHashAlg = nHashAlg != 0 ? nHashAlg : ALG_SHA1;
        PAlgorithmUtil algs;
        RAlgorithmIdentifier digestAlg;
        if (algs.makeAlgorithmID(m_nHashAlg, digestAlg) != 0)
            return fail(kClass, "addSignerCert", "digestAlg", 1, algs.errorText());
        return fail(kClass, "addSignerInfo", "cert", 2, "Invalid certificate.");
    }
    return addSignerCert(cert, decoded, priKey, nHashAlg);
}

int PSignedData::addSignerCert(const ByteString& cert, const RCertificate& decoded, const ByteString& priKey,
                               int nHashAlg) {
    constexpr const char* kMethod = "addSignerCert";
    m_nHashAlg = nHashAlg != 0 ? nHashAlg : ALG_SHA1;
    PAlgorithmUtil algs;
    RAlgorithmIdentifier digestAlg;
    if (algs.makeAlgorithmID(m_nHashAlg, digestAlg) != 0)
        return fail(kClass, kMethod, "digestAlg", 1, algs.errorText());
    if (addAlgToDigestAlgorithmIdentifiers(digestAlg) != 0) return m_nErrorCode;
    if (const int rc = addSignerInfo(cert, decoded, priKey); rc != 0) return rc;
    // A certificate already in the set (the same signer signing twice) is not repeated.
    RCertificateSet& set = certificateSet();
    bool present = false;
    for (int i = 0; i < set.getElementCount() && !present; ++i) present = set.getElement(i) == cert;
    if (!present && set.addElement(cert) != 0) return fail(kClass, kMethod, "certificates", 3, kNoMemory);
    if (m_pSignedData) m_pSignedData->setCertificates(RCertificateSet(m_pSignedData->getCertificates()));
    return 0;
}

int PSignedData::getTBSData(const ByteString& cert, ByteString& tbs) {
    constexpr const char* kMethod = "getTBSData";
    m_SignerCert.assign(cert);
    ByteString digest;
    if (m_ucOption & kHashMode) {
        digest.assign(m_Content);
    } else {
        ByteString contents;
        std::span<const uint8_t> hashed = content();
        if ((m_ucOption & kPkcs7) && (m_ucContentFlag & kContentNotData)) {
            if (contentsOctets(m_Content, contents) != 0)
                return fail(kClass, kMethod, "content", 1, "The content is not DER encoded.");
            hashed = contents.bytes();
        }
        ZRHash hash;
        // Hashed in slices: the engine takes int lengths.
        constexpr size_t kSlice = size_t{1} << 30;
        bool ok = hash.DigestData_Init(m_nHashAlg) == 0;
        for (size_t off = 0; ok && off < hashed.size(); off += kSlice)
            ok = hash.DigestData_Update(hashed.data() + off, static_cast<int>(std::min(kSlice, hashed.size() - off))) ==
                 0;
        if (!ok || hash.DigestData_Final(digest) != 0) return fail(kClass, kMethod, "hash", 2, hash.errorText());
    }
    m_LastSignedAttrs = RAttributes();
    if (makeSignedAttrs(digest, m_LastSignedAttrs) != 0) return m_nErrorCode;
    if (m_ucSignedAttrFlag & kAttrBasic) {
        // The signature covers the attributes as a plain SET OF.
        tbs.assign(m_LastSignedAttrs.toASN1Object(0));
        if (!tbs.isEmpty()) tbs.setByteAt(0, 0x31);
    } else {
        tbs.assign(ByteString(content()));
    }
    return 0;
}

// The attributes are encoded here directly, each once, then put in DER order.
int PSignedData::makeSignedAttrs(const ByteString& digest, RAttributes& attrs) {
    constexpr const char* kMethod = "makeSignedAttrs";
    std::vector<ByteString> encodings;
    encodings.reserve(kMaxAttributes + 1);
    auto add = [&](ByteString encoding) {
        if (encoding.isEmpty()) return 1;
        encodings.push_back(std::move(encoding));
        return 0;
    };
    if (m_ucSignedAttrFlag & kAttrBasic) {
        ASN1ObjectIdentifier type(m_ContentType.c_str());
        if (add(singleValued(oid::kContentTypeAttr, type.toASN1Object())) != 0)
            return fail(kClass, kMethod, "contentTypeAttr", 1, kNoMemory);
    }
    if (m_ucSignedAttrFlag & kAttrSigningTime) {
        const int64_t when = m_tSigningTime != 0 ? m_tSigningTime : static_cast<int64_t>(std::time(nullptr));
        // UTCTime for 1950 to 2049, GeneralizedTime outside it (RFC 5652, 11.3).
        ASN1UTCTime utc;
        ASN1GeneralizedTime general;
        ByteString value;
        if (utc.setGMTTime(when) == 0)
            value = utc.toASN1Object();
        else if (general.setGMTTime(when) == 0)
            value = general.toASN1Object();
        else
            return fail(kClass, kMethod, "signingTimeAttr", 2, "Invalid signing time.");
        if (add(singleValued(oid::kSigningTimeAttr, value)) != 0)
            return fail(kClass, kMethod, "signingTimeAttr", 2, kNoMemory);
    }
    if (m_ucSignedAttrFlag & kAttrBasic) {
        ASN1OctetString value;
        value.setValue(digest);
        if (add(singleValued(oid::kMessageDigestAttr, value.toASN1Object())) != 0)
            return fail(kClass, kMethod, "messageDigestAttr", 3, kNoMemory);
    }
    if (m_ucSignedAttrFlag & kAttrSigningCert) {
        ZRHash sha1;
        ByteString certHash;
        if (sha1.DigestData(ALG_SHA1, m_SignerCert, certHash) != 0)
            return fail(kClass, kMethod, "signingCertAttr", 4, sha1.errorText());
        RESSCertID id;
        ASN1OctetString h;
        h.setValue(certHash);
        id.setCertHash(h);
        ASN1Sequence certs;
        certs.addComponent(id.toASN1Object());
        RSigningCertificate sc;
        sc.setCerts(certs);
        if (add(singleValued(oid::kSigningCertificateAttr, sc.toASN1Object())) != 0)
            return fail(kClass, kMethod, "signingCertAttr", 4, kNoMemory);
    }
    if (m_pSignedAttrs) {
        for (int i = 0; i < m_pSignedAttrs->getElementCount(); ++i)
            if (add(ByteString(m_pSignedAttrs->elementBytes(i))) != 0)
                return fail(kClass, kMethod, "attributes", 5, kNoMemory);
    }
    return BER2DER(encodings, attrs);
}

// `attrs` becomes the attribute encodings ordered as a DER SET OF wants them
// (ascending by their first octets).
int PSignedData::BER2DER(std::vector<ByteString>& encodings, RAttributes& attrs) {
    const int n = static_cast<int>(encodings.size());
    if (n > kMaxAttributes)
        return fail(kClass, "BER2DER", "attributes", 1, "The supported attribute maximum count is 8.");
    std::vector<std::array<uint8_t, kSortKeyLength>> keys(n);
    for (int i = 0; i < n; ++i) {
        keys[i].fill(0);
        std::memcpy(keys[i].data(), encodings[i].data(), std::min(encodings[i].length(), kSortKeyLength));
    }
    // Bubble sort, swapping only on a strict "greater": attributes whose
    // leading octets are equal keep their order.
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[i] = i;
    for (int pass = 0; pass < n; ++pass)
        for (int j = 0; j + 1 < n - pass; ++j)
            if (keys[order[j]] > keys[order[j + 1]]) std::swap(order[j], order[j + 1]);
    RAttributes sorted;
    for (int i : order)
        if (sorted.addElement(encodings[i]) != 0) return fail(kClass, "BER2DER", "attributes", 2, kNoMemory);
    attrs = std::move(sorted);
    return 0;
}

int PSignedData::addSignerInfo(const ByteString& cert, const RCertificate& decoded, const ByteString& priKey) {
    constexpr const char* kMethod = "addSignerInfo";
    ByteString tbs;
    if (getTBSData(cert, tbs) != 0) return m_nErrorCode;

    PPrivateKey key;
    if (key.setPrivateKeyInfo(priKey) != 0) return fail(kClass, kMethod, "priKey", kNotPrivateKey, key.errorText());
    ByteString signature;
    if (key.genSignature(m_nHashAlg, tbs, signature, &cert, true) != 0) {
        if (key.failure() == PPrivateKey::Failure::NotPrivateKey)
            return fail(kClass, kMethod, "priKey", kNotPrivateKey, key.errorText());
        return fail(kClass, kMethod, "signature", 4, key.errorText());
    }
    return appendSignerInfo(decoded, signature);
}

// The SignerInfo of the certificate `decoded` with the signed attributes
// getTBSData made and `signature` over them, appended to the signer infos.
int PSignedData::appendSignerInfo(const RCertificate& decoded, const ByteString& signature) {
    constexpr const char* kMethod = "addSignerInfo";
    const std::span<const uint8_t> attrs = m_LastSignedAttrs.getElementCount() > 0
                                               ? m_LastSignedAttrs.toASN1Object(0).bytes()
                                               : std::span<const uint8_t>();
    ByteString signerInfo;
    if (encodeSignerInfo(decoded.getTbsCertificate(), m_nHashAlg, (m_ucOption & kPkcs7) != 0, attrs, signature,
                         signerInfo, *this, kClass, kMethod) != 0)
        return m_nErrorCode;
    if (signerInfos().addElement(signerInfo) != 0) return fail(kClass, kMethod, "signerInfo", 7, kNoMemory);
    return 0;
}

int encodeSignerInfo(const RTBSCertificate& cert, int nHashAlg, bool pkcs7, std::span<const uint8_t> signedAttrs,
                     const ByteString& signature, ByteString& out, ErrorHolder& err, const char* cls,
                     const char* method) {
    RIssuerAndSerialNumber ias;
    ias.setIssuer(cert.getIssuer());
    ias.setSerialNumber(cert.getSerialNumber());
    PAlgorithmUtil algs;
    RAlgorithmIdentifier digestAlg, sigAlg;
    if (algs.makeAlgorithmID(nHashAlg, digestAlg) != 0) return err.fail(cls, method, "digestAlg", 5, algs.errorText());
    ASN1ObjectIdentifier keyAlg = cert.getSubjectPublicKeyInfo().getAlgorithm().getAlgorithm();
    const ByteString keyOid(keyAlg.getOID());
    const int rc = pkcs7 ? algs.makeDigestEncAlgID(keyOid.c_str(), nHashAlg, sigAlg)
                         : algs.makeSignAlgID(keyOid.c_str(), nHashAlg, sigAlg);
    if (rc != 0) return err.fail(cls, method, "signatureAlg", 6, algs.errorText());
    const ByteString& sid = ias.toASN1Object();
    const ByteString& digestDer = digestAlg.toASN1Object();
    const ByteString& sigAlgDer = sigAlg.toASN1Object();
    static constexpr uint8_t kVersion1[] = {0x02, 0x01, 0x01};
    // The attributes' SET OF goes under [0] IMPLICIT: its identifier octet changes, nothing else.
    static constexpr uint8_t kAttrsTag[] = {0xA0};
    const bool withAttrs = !signedAttrs.empty();
    const ByteString signatureDer = derElement(0x04, {signature.bytes()});
    out = derElement(0x30, {kVersion1, sid.bytes(), digestDer.bytes(),
                            withAttrs ? std::span<const uint8_t>(kAttrsTag) : std::span<const uint8_t>(),
                            withAttrs ? signedAttrs.subspan(1) : signedAttrs, sigAlgDer.bytes(), signatureDer.bytes()});
    if (sid.isEmpty() || digestDer.isEmpty() || sigAlgDer.isEmpty() || signatureDer.isEmpty() || out.isEmpty())
        return err.fail(cls, method, "signerInfo", 7, "Encoding the SignerInfo failed.");
    return 0;
}

// The SignedData is written piece by piece into one buffer sized up front:
// the content is copied once, whatever its size, instead of once per nesting
// level as a record encoding would.
int PSignedData::makeSignedData(ByteString& out) {
    return makeSignedData([&out](size_t n) -> uint8_t* {
        const uint8_t zero = 0;
        if (out.allocZero(static_cast<int>(n)) != 0 || out.writeAt(static_cast<int>(n) - 1, &zero, 1) != 0)
            return nullptr;
        return out.data();
    });
}

int PSignedData::makeSignedData(const OutputAllocator& allocate) {
    constexpr const char* kMethod = "makeSignedData";
    ASN1ObjectIdentifier signedType(oid::kSignedData);
    const ByteString typeSd(signedType.toASN1Object());
    const bool wrap = (m_ucOption & kWrapContentInfo) != 0;
    // Allocates the output and writes the ContentInfo header when wrapping.
    auto start = [&](size_t sdLen, Writer& w) {
        const size_t infoBody = static_cast<size_t>(typeSd.length()) + headerLength(sdLen) + sdLen;
        const size_t total = wrap ? headerLength(infoBody) + infoBody : sdLen;
        if (total > 0x7FFFFF00u) return fail(kClass, kMethod, "content", 4, "The content is too large.");
        w.p = allocate(total);
        if (w.p == nullptr) return fail(kClass, kMethod, "out", 3, kNoMemory);
        w.end = w.p + total;
        if (wrap) {
            w.header(0x30, infoBody);
            w.put(typeSd.bytes());
            w.header(0xA0, sdLen);
        }
        return 0;
    };
    Writer w;
    if (m_pSignedData) {
        const ByteString signedData(m_pSignedData->toASN1Object());
        if (signedData.isEmpty()) return fail(kClass, kMethod, "signedData", 2, "Encoding the SignedData failed.");
        if (start(static_cast<size_t>(signedData.length()), w) != 0) return m_nErrorCode;
        w.put(signedData.bytes());
        return 0;
    }
    if (!m_pSignerInfos) return fail(kClass, kMethod, "m_pSignerInfos", 1, "No signer was added.");
    const bool cms = (m_ucOption & kPkcs7) == 0;

    // The parts are read where each record keeps its encoding (each record is
    // encoded once here, so the references stay good).
    ASN1Integer version;
    version.setInteger(cms && m_ucContentFlag != 0 ? 3 : 1);
    const ByteString& versionDer = version.toASN1Object();
    const ByteString& digestAlgs = m_pDigestAlgorithms->toASN1Object();
    ASN1ObjectIdentifier type(m_ContentType.c_str());
    const ByteString& typeDer = type.toASN1Object();
    const ByteString none;
    const ByteString& certs = m_pCertificates ? m_pCertificates->toASN1Object() : none;
    const ByteString& crls = m_pCrls ? m_pCrls->toASN1Object() : none;
    const ByteString& signers = m_pSignerInfos->toASN1Object();
    if (versionDer.isEmpty() || digestAlgs.isEmpty() || typeDer.isEmpty() || signers.isEmpty())
        return fail(kClass, kMethod, "signedData", 2, "Encoding the SignedData failed.");
    // [0] and [1] IMPLICIT SET OF: a SET's own encoding with the context tag
    // in place of its identifier octet.
    auto putImplicit = [](Writer& w, uint8_t tag, const ByteString& set) {
        if (set.isEmpty()) return;
        w.put({&tag, 1});
        w.put(set.bytes().subspan(1));
    };

    // eContent: the data as an OCTET STRING, or a typed PKCS#7 content as its DER.
    const std::span<const uint8_t> data = content();
    const bool embed = !(m_ucOption & kHashMode) && !data.empty();
    const bool asOctets = !((m_ucContentFlag & kContentNotData) && !cms);
    const size_t contentLen = data.size();
    const size_t octetsLen = asOctets ? headerLength(contentLen) + contentLen : contentLen;
    const size_t explicitLen = embed ? headerLength(octetsLen) + octetsLen : 0;
    const size_t eciBody = static_cast<size_t>(typeDer.length()) + explicitLen;
    const size_t sdBody = static_cast<size_t>(versionDer.length() + digestAlgs.length()) + headerLength(eciBody) +
                          eciBody + static_cast<size_t>(certs.length() + crls.length() + signers.length());
    const size_t sdLen = headerLength(sdBody) + sdBody;
    if (sdLen > 0x7FFFFF00u) return fail(kClass, kMethod, "content", 4, "The content is too large.");

    if (start(sdLen, w) != 0) return m_nErrorCode;
    w.header(0x30, sdBody);
    w.put(versionDer.bytes());
    w.put(digestAlgs.bytes());
    w.header(0x30, eciBody);
    w.put(typeDer.bytes());
    if (embed) {
        w.header(0xA0, octetsLen);
        if (asOctets) w.header(0x04, contentLen);
        w.put(data);
    }
    putImplicit(w, 0xA0, certs);
    putImplicit(w, 0xA1, crls);
    w.put(signers.bytes());
    if (w.p != w.end) return fail(kClass, kMethod, "out", 3, "The encoded length is not as computed.");
    return 0;
}

}  // namespace qelt
