#include "ASN1Pkix/GCertListProcess.h"

#include <new>
#include <vector>

#include "ASN1Pkix/PSignatureCheck.h"
#include "ASN1Pkix/pkix_time.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kClass = "GCertListProcess";
constexpr const char* kParse = "parseCertList";

// OID of each recognised CRL extension, in the order of ExtensionKind.
constexpr const char* kExtensionOids[GCertListProcess::kExtensionKindCount] = {
    "2 5 29 35", "2 5 29 18", "2 5 29 20", "2 5 29 27", "2 5 29 28", "2 5 29 46",
    "2 5 29 44", "2 5 29 45", "2 5 29 40", "2 5 29 47", "2 5 29 51", "2 5 29 53",
};

int extensionKindOf(const ASN1ObjectIdentifier& id) {
    for (int k = 0; k < GCertListProcess::kExtensionKindCount; ++k)
        if (id.is(kExtensionOids[k])) return k;
    return -1;
}

bool flag(bool present, const ASN1Boolean& value) { return present && value.getBoolean(); }

// The names a distribution point name stands for: a full name as it is, a
// name relative to the CRL issuer appended to `base`.
std::vector<RGeneralName> namesOf(const RDistributionPointName& dp, const RRDNSequence& base) {
    std::vector<RGeneralName> out;
    if (dp.isFullName()) {
        const RGeneralNames& names = dp.getFullName();
        for (int k = 0; k < names.getElementCount(); ++k) {
            RGeneralName name;
            if (names.getElement(k, name) == 0) out.push_back(name);
        }
    } else if (dp.isNameRelativeToCRLIssuer()) {
        RRDNSequence full = base;
        RRelativeDistinguishedName rdn = dp.getNameRelativeToCRLIssuer();
        rdn.setTagging(0, -1, 0);
        if (full.addElement(rdn) == 0) {
            RGeneralName name;
            name.setDirectoryName(full);
            out.push_back(name);
        }
    }
    return out;
}

void appendNames(const RGeneralNames& names, std::vector<RGeneralName>& out) {
    for (int k = 0; k < names.getElementCount(); ++k) {
        RGeneralName name;
        if (names.getElement(k, name) == 0) out.push_back(name);
    }
}

// Directory names are equal by the name comparison; other names by their encoding.
bool sameName(const RGeneralName& a, const RGeneralName& b) {
    if (a.isDirectoryName() && b.isDirectoryName())
        return UDNSettings::CompareByName(a.getDirectoryName(), b.getDirectoryName()) == 0;
    if (a.getBitMask() != b.getBitMask()) return false;
    RGeneralName x = a, y = b;
    return x.toASN1Object() == y.toASN1Object();
}

}  // namespace

GCertListProcess::GCertListProcess() = default;
GCertListProcess::~GCertListProcess() = default;

int GCertListProcess::parseCertList(std::span<const uint8_t> crl, const ByteString& issuerCert,
                                    const ByteString& subjectCert) {
    resetForGetter();
    m_bParsed = false;
    m_nIndex = 0;
    for (StoredExtension& e : m_Extensions) e = StoredExtension{};
    m_IssuerKeyId.clear();
    m_tThisUpdate = 0;
    m_tNextUpdate.reset();
    m_bIndirectCRL = m_bSubjectIsCA = false;
    m_pIssuer.reset();
    m_pSubject.reset();
    try {
        // 1. A CertificateList, read in place.
        m_pCertList = std::make_unique<GCertificateList>();
        if (m_pCertList->decodeInPlace(crl) != 0)
            return fail(kClass, kParse, "m_pCertList", kNotCertificateList, m_pCertList->errorText());
        const GTBSCertList& tbs = m_pCertList->getTbsCertList();
        const auto thisUpdate = pkixSeconds(tbs.getThisUpdate());
        const auto nextUpdate = tbs.hasNextUpdate() ? pkixSeconds(tbs.getNextUpdate()) : std::optional<int64_t>(0);
        if (!thisUpdate || !nextUpdate)
            return fail(kClass, kParse, "thisUpdate", 1, "The thisUpdate or nextUpdate is not a readable time.");
        m_tThisUpdate = *thisUpdate;
        if (tbs.hasNextUpdate()) m_tNextUpdate = *nextUpdate;

        // 2. The subject certificate: its distribution points and whether it is a CA.
        if (!subjectCert.isEmpty()) {
            m_pSubject = std::make_unique<PathCertificate>();
            if (m_pSubject->decode(subjectCert) != 0)
                return fail(kClass, kParse, "subjectCert", 2, m_pSubject->errorText());
            if (checkSubject() != 0) return fail(kClass, kParse, "subjectCert", 2, errorText());
        }
        // 3. The issuer certificate names the CRL's issuer.
        if (issuerCert.isEmpty()) {
            return fail(kClass, kParse, "issuerCert", 3,
                        m_bIndirectCRL ? "The CRL is a indirectCRL, Input CRL Issuer Cert."
                                       : "The CRL Issuer Cert is required.");
        }
        m_pIssuer = std::make_unique<PathCertificate>();
        if (m_pIssuer->decode(issuerCert) != 0) return fail(kClass, kParse, "issuerCert", 3, m_pIssuer->errorText());
        if (UDNSettings::CompareByName(tbs.getIssuer(), m_pIssuer->tbs().getSubject()) != 0)
            return fail(kClass, kParse, "issuer", 3, "CRL Issuer Dn is different from Issuer Certificate subjectName.");
        // 4. The signature verifies with the issuer's key.
        PSignatureCheck signature;
        if (signature.verify(m_pIssuer->publicKeyInfo(), m_pCertList->getSignatureAlgorithm(),
                             m_pCertList->signedBytes(), m_pCertList->getSignature()) != 0)
            return fail(kClass, kParse, "signature", 4, signature.errorText());
        // 5. The issuer may sign CRLs.
        if (checkKeyUsage() != 0) return fail(kClass, kParse, "keyUsage", 5, errorText());
        // 6. The issuer's key identifier.
        if (makeIssuerKeyIdentifier() != 0) return fail(kClass, kParse, "subjectKeyIdentifier", 6, errorText());
        // 7. nextUpdate.
        if (m_bMandatory && !tbs.hasNextUpdate())
            return fail(kClass, kParse, "nextUpdate", 7, "NaxtUpdate does not exist.");
        // 8.-11. The extensions.
        if (collectExtensions() != 0) return fail(kClass, kParse, "crlExtensions", 8, errorText());
        if (checkIssuerAltName() != 0) return fail(kClass, kParse, "issuerAltName", 9, errorText());
        if (checkIssuingDistributionPoint() != 0)
            return fail(kClass, kParse, "issuingDistributionPoint", 10, errorText());
        if (checkAuthorityKeyIdentifier() != 0) return fail(kClass, kParse, "authorityKeyIdentifier", 11, errorText());
        // 12. What a mandatory check requires.
        if (m_bMandatory && getExtension(kAuthorityKeyIdentifier).isEmpty())
            return fail(kClass, kParse, "authorityKeyIdentifier", 12,
                        "CRL Extension AuthorityKeyIdentifier does not exist.");
        if (m_bMandatory && getExtension(kCRLNumber).isEmpty())
            return fail(kClass, kParse, "cRLNumber", 12, "CRL Extension CRLNumber does not exist.");
        m_bParsed = true;
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(kClass, kParse, "m_pCertList", 1, "The memory allocation is failed.");
    }
}

// A distribution point naming a cRLIssuer makes the CRL indirect when that
// issuer issued it; a certificate whose every point names another CRL issuer
// cannot be judged by this CRL.
int GCertListProcess::checkSubject() {
    constexpr const char* kMethod = "checkSubject";
    if (!m_pSubject) return 0;
    if (const PathCertificate::Extension* ext = m_pSubject->extension(PathCertificate::kBasicConstraints)) {
        RBasicConstraints bc;
        m_bSubjectIsCA = bc.fromASN1Object(ext->value) == 0 && flag(bc.hasCA(), bc.getCA());
    }
    const PathCertificate::Extension* ext = m_pSubject->extension(PathCertificate::kCRLDistributionPoints);
    if (ext == nullptr) return 0;
    RCRLDistPointsSyntax points;
    if (points.fromASN1Object(ext->value) != 0)
        return fail(kClass, kMethod, "cRLDistributionPoints", 1, points.errorText());
    bool withIssuer = false, withoutIssuer = false;
    const RRDNSequence& crlIssuer = m_pCertList->getTbsCertList().getIssuer();
    for (int k = 0; k < points.getElementCount(); ++k) {
        RDistributionPoint dp;
        if (points.getElement(k, dp) != 0) return fail(kClass, kMethod, "distributionPoint", 1, dp.errorText());
        if (!dp.hasCRLIssuer()) {
            withoutIssuer = true;
            continue;
        }
        withIssuer = true;
        std::vector<RGeneralName> names;
        appendNames(dp.getCRLIssuer(), names);
        for (const RGeneralName& name : names)
            if (name.isDirectoryName() && UDNSettings::CompareByName(crlIssuer, name.getDirectoryName()) == 0)
                m_bIndirectCRL = true;
    }
    if (withIssuer && !withoutIssuer && !m_bIndirectCRL)
        return fail(kClass, kMethod, "cRLIssuer", 2,
                    "The issuer field in the CRL does not matches cRLIssuer in the DP.");
    return 0;
}

int GCertListProcess::checkKeyUsage() {
    const PathCertificate::Extension* ext = m_pIssuer->extension(PathCertificate::kKeyUsage);
    if (ext == nullptr) return 0;
    ASN1BitString bits;
    if (bits.fromASN1Object(ext->value) != 0 || bits.getValue().length() < 2 || (bits.getValue().data()[1] & 0x02) == 0)
        return fail(kClass, "checkKeyUsage", "keyUsage", 1,
                    "The KeyUsage in the IssuerCert does not have crlSign bit.");
    return 0;
}

// The issuer's Subject Key Identifier, or else the SHA-1 digest of its public key bits.
int GCertListProcess::makeIssuerKeyIdentifier() {
    if (const auto& ski = m_pIssuer->subjectKeyIdentifier()) {
        m_IssuerKeyId.assign(*ski);
        return 0;
    }
    const ByteString& bits = m_pIssuer->tbs().getSubjectPublicKeyInfo().getSubjectPublicKey().getValue();
    ZRHash hash;
    const ByteString key(bits.length() > 1 ? bits.data() + 1 : nullptr, bits.length() - 1);
    if (hash.DigestData(ALG_SHA1, key, m_IssuerKeyId) != 0)
        return fail(kClass, "makeIssuerKeyIdentifier", "subjectPublicKey", 1,
                    "Making Subject PublicKey's digest is failed.");
    return 0;
}

int GCertListProcess::setExtension(int kind, const ByteString& value) {
    if (m_nIndex >= CRL_EXTENSION_MAX_CNT) {
        ByteString msg;
        msg.format("The m_nIndex(%d) is more or equal than CRL_EXTENSION_MAX_CNT(%d)", m_nIndex, CRL_EXTENSION_MAX_CNT);
        return fail(kClass, "setExtension", "m_nIndex", 1, msg.c_str());
    }
    ASN1OctetString octets;
    if (octets.fromASN1Object(value) != 0) return fail(kClass, "setExtension", "value", 2, octets.errorText());
    try {
        StoredExtension& slot = m_Extensions[static_cast<size_t>(m_nIndex)];
        slot.kind = kind;
        slot.value.assign(octets.getValue());
        if (slot.value.length() != octets.getValue().length())
            return fail(kClass, "setExtension", "value", 3, "The memory allocation is failed.");
    } catch (const std::bad_alloc&) {
        return fail(kClass, "setExtension", "value", 3, "The memory allocation is failed.");
    }
    ++m_nIndex;
    return 0;
}

const ByteString& GCertListProcess::getExtension(int kind) const {
    static const ByteString kNone;
    for (int k = m_nIndex - 1; k >= 0; --k)
        if (m_Extensions[static_cast<size_t>(k)].kind == kind) return m_Extensions[static_cast<size_t>(k)].value;
    return kNone;
}

int GCertListProcess::collectExtensions() {
    constexpr const char* kMethod = "collectExtensions";
    const GTBSCertList& tbs = m_pCertList->getTbsCertList();
    if (!tbs.hasCrlExtensions()) return 0;
    const RExtensions& list = tbs.getCrlExtensions();
    for (int k = 0; k < list.getElementCount(); ++k) {
        RExtension ext;
        if (list.getElement(k, ext) != 0) return fail(kClass, kMethod, "extension", 1, ext.errorText());
        const int kind = extensionKindOf(ext.getExtnID());
        if (kind >= 0) {
            ASN1OctetString value = ext.getExtnValue();
            if (setExtension(kind, value.toASN1Object()) != 0)
                return fail(kClass, kMethod, "extension", 2, errorText());
            continue;
        }
        if (flag(ext.hasCritical(), ext.getCritical())) {
            ByteString msg;
            msg.format("CRL Extension(%s, critical) is UNKNOWN", PGeneralNameUtil::oidText(ext.getExtnID()).c_str());
            return fail(kClass, kMethod, "extension", 3, msg.c_str());
        }
    }
    return 0;
}

int GCertListProcess::checkIssuerAltName() {
    const ByteString& altName = getExtension(kIssuerAltName);
    if (altName.isEmpty()) return 0;
    if (!(ByteString(m_pIssuer->extensionValue(PathCertificate::kSubjectAltName)) == altName))
        return fail(kClass, "checkIssuerAltName", "issuerAltName", 1,
                    "CRL Issuer Alt Name is different from IssuerCert SubjectAltName.");
    return 0;
}

// The distribution point names of the IDP and of the certificate match when
// one name is common to both; a point without a name stands for its cRLIssuer.
bool GCertListProcess::distributionPointMatches(const RIssuingDistributionPoint& idp) {
    const RRDNSequence& crlIssuer = m_pCertList->getTbsCertList().getIssuer();
    const std::vector<RGeneralName> wanted = namesOf(idp.getDistributionPoint(), crlIssuer);
    const PathCertificate::Extension* ext = m_pSubject->extension(PathCertificate::kCRLDistributionPoints);
    RCRLDistPointsSyntax points;
    if (ext == nullptr || points.fromASN1Object(ext->value) != 0) return false;
    for (int k = 0; k < points.getElementCount(); ++k) {
        RDistributionPoint dp;
        if (points.getElement(k, dp) != 0) continue;
        std::vector<RGeneralName> names;
        if (dp.hasDistributionPoint()) {
            // A relative name is relative to the point's CRL issuer, or else to the certificate's issuer.
            RRDNSequence base = m_pSubject->tbs().getIssuer();
            if (dp.hasCRLIssuer()) {
                std::vector<RGeneralName> issuers;
                appendNames(dp.getCRLIssuer(), issuers);
                for (const RGeneralName& n : issuers)
                    if (n.isDirectoryName()) base = n.getDirectoryName();
            }
            names = namesOf(dp.getDistributionPoint(), base);
        } else if (dp.hasCRLIssuer()) {
            appendNames(dp.getCRLIssuer(), names);
        }
        for (const RGeneralName& a : wanted)
            for (const RGeneralName& b : names)
                if (sameName(a, b)) return true;
    }
    return false;
}

int GCertListProcess::checkIssuingDistributionPoint() {
    constexpr const char* kMethod = "checkIssuingDistributionPoint";
    const ByteString& value = getExtension(kIssuingDistributionPoint);
    RIssuingDistributionPoint idp;
    const bool present = !value.isEmpty() && idp.fromASN1Object(value) == 0;
    if (!value.isEmpty() && !present) return fail(kClass, kMethod, "issuingDistributionPoint", 1, idp.errorText());
    if (m_bIndirectCRL && !(present && flag(idp.hasIndirectCRL(), idp.getIndirectCRL())))
        return fail(kClass, kMethod, "indirectCRL", 2,
                    "The CRL does not contain an IDP with the indirectCRL boolean asserted.");
    if (!present) return 0;
    if (!m_pSubject) return fail(kClass, kMethod, "subjectCert", 3, "The Subject Cert is required.");
    if (idp.hasDistributionPoint() && !distributionPointMatches(idp))
        return fail(kClass, kMethod, "distributionPoint", 4,
                    "The distributionPoint of the IDP does not match the CRL distribution points of the certificate.");
    if (flag(idp.hasOnlyContainsUserCerts(), idp.getOnlyContainsUserCerts()) && m_bSubjectIsCA)
        return fail(kClass, kMethod, "onlyContainsUserCerts", 5,
                    "The onlyContainsUserCerts is true but, the subject Certificate is CA Certificate.");
    if (flag(idp.hasOnlyContainsCACerts(), idp.getOnlyContainsCACerts()) && !m_bSubjectIsCA)
        return fail(kClass, kMethod, "onlyContainsCACerts", 6,
                    "The onlyContainsCACerts is true but, the subject Certificate is User Certificate.");
    if (flag(idp.hasOnlyContainsAttributeCerts(), idp.getOnlyContainsAttributeCerts()))
        return fail(kClass, kMethod, "onlyContainsAttributeCerts", 7, "The onlyContainsAttributeCerts is asserted.");
    return 0;
}

// The CRL's Authority Key Identifier names the issuer's key, and through
// existMatchName the issuer's own issuer (directory names only) and serial number.
int GCertListProcess::checkAuthorityKeyIdentifier() {
    constexpr const char* kMethod = "checkAuthorityKeyIdentifier";
    const ByteString& value = getExtension(kAuthorityKeyIdentifier);
    if (value.isEmpty()) return 0;
    RAuthorityKeyIdentifier aki;
    if (aki.fromASN1Object(value) != 0) return fail(kClass, kMethod, "authorityKeyIdentifier", 1, aki.errorText());
    if (aki.hasKeyIdentifier() && !(aki.getKeyIdentifier().getValue() == m_IssuerKeyId))
        return fail(kClass, kMethod, "keyIdentifier", 2,
                    "CRL AuthorityKeyIdentifier is different from Issuer SubjectKeyIdentifier.");
    if (aki.hasAuthorityCertIssuer()) {
        std::vector<RGeneralName> names;
        appendNames(aki.getAuthorityCertIssuer(), names);
        bool existMatchName = false;
        for (const RGeneralName& name : names) {
            if (!name.isDirectoryName())
                return fail(kClass, kMethod, "authorityCertIssuer", 3, "AuthorityCertIssuer is not DNSName.");
            existMatchName |= UDNSettings::CompareByName(name.getDirectoryName(), m_pIssuer->tbs().getIssuer()) == 0;
        }
        if (!existMatchName)
            return fail(kClass, kMethod, "authorityCertIssuer", 4,
                        "AuthorityCertIssuer is different from IssuerCert issuerName.");
    }
    if (aki.hasAuthorityCertSerialNumber() &&
        !(aki.getAuthorityCertSerialNumber().getValue() == m_pIssuer->tbs().getSerialNumber().getValue()))
        return fail(kClass, kMethod, "authorityCertSerialNumber", 5,
                    "AuthorityCertSerialNumber is different from IssuerCert serialNumber.");
    return 0;
}

int GCertListProcess::isRevoked(const ByteString& serialNumber, bool& found, std::span<const uint8_t>& entry) {
    found = false;
    entry = {};
    if (!m_bParsed) return fail(kClass, "isRevoked", "m_pCertList", 1, "First, use parseCertList");
    if (m_pCertList->editTbsCertList().isRevoked(serialNumber, found, entry) != 0)
        return fail(kClass, "isRevoked", "revokedCertificates", 2, m_pCertList->getTbsCertList().errorText());
    return 0;
}

}  // namespace qelt
