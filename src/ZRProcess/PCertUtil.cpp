#include "ZRProcess/PCertUtil.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UDNSettings.h"
#include "ZRProcess/cert_validity_time.h"
#include "ZRProcess/oid_name_table.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PCertUtil";

// OID of each indexed extension, in the order of PCertUtil::Extension.
constexpr const char* kKnownExtensionOids[PCertUtil::kKnownExtensionCount] = {
    "2 5 29 35",         "2 5 29 14",
    "2 5 29 15",         "2 5 29 16",
    "2 5 29 32",         "2 5 29 5",
    "2 5 29 18",         "2 5 29 17",
    "2 5 29 9",          "2 5 29 19",
    "2 5 29 30",         "2 5 29 36",
    "2 5 29 37",         "2 5 29 31",
    "1 3 6 1 5 5 7 1 1", "1 2 410 200004 4 1",
    "2 23 43 3 1",       "2 5 29 54",
    "2 5 29 46",         "1 3 6 1 5 5 7 1 11",
    "1 3 6 1 5 5 7 1 3", "1 2 410 200012 1 2 1",
};

// The encoded contents of the OIDs above, made once: indexing compares bytes.
const std::vector<ByteString>& knownExtensionContents() {
    static const std::vector<ByteString> contents = [] {
        std::vector<ByteString> v;
        for (const char* oid : kKnownExtensionOids) v.push_back(ASN1ObjectIdentifier(oid).getValue());
        return v;
    }();
    return contents;
}

constexpr OidName kSignatureAlgorithms[] = {
    {"1 2 840 113549 1 1 2", "md2 With RSAEncryption"},
    {"1 2 840 113549 1 1 3", "md4 With RSAEncryption"},
    {"1 2 840 113549 1 1 4", "md5 With RSAEncryption"},
    {"1 2 840 113549 1 1 5", "sha1 With RSAEncryption"},
    {"1 2 840 113549 1 1 11", "sha256 With RSAEncryption"},
    {"1 2 410 200004 1 20", "RSA With HAS160"},
    {"1 2 840 10040 4 3", "DSA with Sha1"},
    {"1 2 840 10045 4 1", "ECDSA with SHA1"},
    {"1 2 840 10045 4 3 2", "ECDSA with SHA256"},
    {"1 2 410 200004 1 8", "KCDSA With HAS160"},
    {"1 2 410 200004 1 9", "KCDSA With SHA1"},
    {"1 2 410 200004 1 22", "KCDSA1 With HAS160"},
    {"1 2 410 200004 1 23", "KCDSA1 With SHA1"},
    {"1 2 410 200004 1 38", "KCDSA1 With SHA256"},
};

constexpr OidName kPublicKeyAlgorithms[] = {
    {"1 2 840 113549 1 1 1", "rsaEncryption"},   {"1 2 840 10045 2 1", "ecPublicKey"},
    {"1 2 410 200004 1 100 2 1", "ecPublicKey"}, {"1 2 840 10040 4 1", "dsa"},
    {"1 2 840 10046 2 1", "dhpublicnumber"},     {"1 2 410 200004 1 1", "kcdsa"},
    {"1 2 410 200004 1 21", "kcdsa1"},
};

const OidNameTable& signatureAlgorithmNames() {
    static const OidNameTable table(kSignatureAlgorithms);
    return table;
}
const OidNameTable& publicKeyAlgorithmNames() {
    static const OidNameTable table(kPublicKeyAlgorithms);
    return table;
}

// The bits of a BIT STRING's content (the unused-bits octet dropped).
void bitsOf(const ASN1BitString& bits, ByteString& out) {
    const ByteString& content = bits.getValue();
    out.clear();
    if (content.length() > 1) out.set(content.data() + 1, content.length() - 1);
}

}  // namespace

PCertUtil::PCertUtil() { m_nExtIndex.fill(-1); }
PCertUtil::~PCertUtil() = default;

void PCertUtil::clear() {
    m_pCert.reset();
    m_pTBSCert = nullptr;
    m_Extensions.clear();
    m_nExtIndex.fill(-1);
    m_nExtReserve.fill(-1);
    m_nReserveCount = 0;
    m_nParseCode = -1;
    m_ParseChain.clear();
}

int PCertUtil::parseCertificate(Asn1Input encoding) {
    clear();
    resetForGetter();
    const auto failParse = [this](const char* label, int code, const char* message) {
        fail(kClass, "parseCertificate", label, code, message);
        m_nParseCode = code;
        m_ParseChain.assign(m_ErrorChain);
        return code;
    };
    m_pCert = std::make_unique<RCertificate>();
    if (m_pCert->fromASN1Object(encoding) != 0) {
        // Tell bytes that are no SEQUENCE at all from a SEQUENCE that is not a certificate.
        ASN1Sequence outer;
        if (outer.fromASN1Object(encoding) != 0) return failParse("asnSeq", 2, outer.errorText());
        return failParse("m_pCert", kNotCertificate, m_pCert->errorText());
    }
    m_pTBSCert = &m_pCert->getTbsCertificate();

    if (m_pTBSCert->hasExtensions()) {
        const RExtensions& list = m_pTBSCert->getExtensions();
        const auto& known = knownExtensionContents();
        m_Extensions.resize(static_cast<size_t>(list.getElementCount()));
        for (int i = 0; i < list.getElementCount(); ++i) {
            RExtension& ext = m_Extensions[static_cast<size_t>(i)];
            if (list.getElement(i, ext) != 0) return failParse("extension", 8, ext.errorText());
            const ByteString& id = ext.getExtnID().getValue();
            int slot = -1;
            for (int k = 0; k < kKnownExtensionCount && slot < 0; ++k)
                if (known[static_cast<size_t>(k)] == id) slot = k;
            if (slot >= 0) {
                m_nExtIndex[static_cast<size_t>(slot)] = i;  // a later duplicate wins
                continue;
            }
            if (m_nReserveCount == kMaxReservedExtensions)
                return failParse("extension", 9, "The m_nExtReserve array size is 10.");
            m_nExtReserve[static_cast<size_t>(m_nReserveCount++)] = i;
        }
    }
    m_nParseCode = 0;
    return 0;
}

const ByteString& PCertUtil::getEncoded() const {
    static const ByteString kEmpty;
    return m_pCert ? m_pCert->getReceivedEncoding() : kEmpty;
}

bool PCertUtil::ready(const char* method) {
    resetForGetter();
    if (m_nParseCode == 0) return true;
    if (m_nParseCode < 0) {
        fail(kClass, method, "m_pCert", 1, "First, use parseCertificate");
    } else {
        m_nErrorCode = m_nParseCode;
        m_ErrorChain.assign(m_ParseChain);
    }
    return false;
}

const ByteString& PCertUtil::getSerialNumber(int raw) {
    if (!ready("getSerialNumber")) return m_Result;
    const ByteString& content = m_pTBSCert->getSerialNumber().getValue();
    const int skip = (raw == 0 && content.length() > 1 && content.data()[0] == 0x00) ? 1 : 0;
    m_Result.set(content.data() + skip, content.length() - skip);
    return m_Result;
}

const ByteString& PCertUtil::getIssuerDN() {
    if (!ready("getIssuerDN")) return m_Result;
    if (UDNSettings::RDN2Str(m_pTBSCert->getIssuer(), m_Result) != 0)
        fail(kClass, "getIssuerDN", "m_pIssuer", 2, "Make DN String failed.");
    return m_Result;
}

const ByteString& PCertUtil::getSubjectDN() {
    if (!ready("getSubjectDN")) return m_Result;
    if (UDNSettings::RDN2Str(m_pTBSCert->getSubject(), m_Result) != 0)
        fail(kClass, "getSubjectDN", "m_pSubject", 2, "Make DN String failed.");
    return m_Result;
}

const ByteString& PCertUtil::getIssuer() {
    if (!ready("getIssuer")) return m_Result;
    RRDNSequence name = m_pTBSCert->getIssuer();
    m_Result.assign(name.toASN1Object());
    if (m_Result.isEmpty()) fail(kClass, "getIssuer", "m_pIssuer", 2, "The m_pIssuer is NULL");
    return m_Result;
}

const ByteString& PCertUtil::getSubject() {
    if (!ready("getSubject")) return m_Result;
    RRDNSequence name = m_pTBSCert->getSubject();
    m_Result.assign(name.toASN1Object());
    if (m_Result.isEmpty()) fail(kClass, "getSubject", "m_pSubject", 2, "The m_pSubject is NULL.");
    return m_Result;
}

int PCertUtil::getVersion(int& version) {
    if (!ready("getVersion")) return m_nErrorCode;
    version = m_pTBSCert->getVersion();
    return 0;
}

int PCertUtil::getNotBefore(int64_t& time) {
    if (!ready("getNotBefore")) return m_nErrorCode;
    return validityTime(*this, kClass, "getNotBefore", "notBefore", m_pTBSCert->getValidity().getNotBefore(), time);
}

int PCertUtil::getNotAfter(int64_t& time) {
    if (!ready("getNotAfter")) return m_nErrorCode;
    return validityTime(*this, kClass, "getNotAfter", "notAfter", m_pTBSCert->getValidity().getNotAfter(), time);
}

const ByteString& PCertUtil::getCertSignatureAlgorithmValue() {
    if (!ready("getCertSignatureAlgorithmValue")) return m_Result;
    const ASN1ObjectIdentifier& oid = m_pCert->getSignatureAlgorithm().getAlgorithm();
    if (const char* name = signatureAlgorithmNames().find(oid))
        m_Result.assign(name);
    else
        m_Result.format("%s : Unknown AlgorithmIdentifier", PGeneralNameUtil::oidText(oid).c_str());
    return m_Result;
}

const ByteString& PCertUtil::getCertSignatureValue() {
    if (!ready("getCertSignatureValue")) return m_Result;
    bitsOf(m_pCert->getSignature(), m_Result);
    return m_Result;
}

const ByteString& PCertUtil::getSubjectPublicKeyInfo() {
    if (!ready("getSubjectPublicKeyInfo")) return m_Result;
    RSubjectPublicKeyInfo spki = m_pTBSCert->getSubjectPublicKeyInfo();
    m_Result.assign(spki.toASN1Object());
    return m_Result;
}

const ByteString& PCertUtil::getSubjectPublicKeyAlgorithm(ByteString* oidText, ByteString* parameters) {
    if (!ready("getSubjectPublicKeyAlgorithm")) return m_Result;
    const RAlgorithmIdentifier& alg = m_pTBSCert->getSubjectPublicKeyInfo().getAlgorithm();
    const ByteString text = PGeneralNameUtil::oidText(alg.getAlgorithm());
    if (const char* name = publicKeyAlgorithmNames().find(alg.getAlgorithm()))
        m_Result.assign(name);
    else
        m_Result.format("%s : UnKnown Subject Algorithm", text.c_str());
    if (oidText != nullptr) oidText->assign(text);
    if (parameters != nullptr) {
        parameters->clear();
        if (alg.hasParameters()) parameters->assign(alg.getParameters().getEncoding());
    }
    return m_Result;
}

const ByteString& PCertUtil::getSubjectPublicKey() {
    if (!ready("getSubjectPublicKey")) return m_Result;
    bitsOf(m_pTBSCert->getSubjectPublicKeyInfo().getSubjectPublicKey(), m_Result);
    return m_Result;
}

const RExtension* PCertUtil::extension(Extension which, const char* method, const char* absentMessage) {
    if (!ready(method)) return nullptr;
    const int pos = m_nExtIndex[static_cast<size_t>(which)];
    if (pos < 0) {
        fail(kClass, method, "extension", kAbsent, absentMessage);
        return nullptr;
    }
    return &m_Extensions[static_cast<size_t>(pos)];
}

const ByteString& PCertUtil::extensionValue(Extension which, const char* method, const char* absentMessage) {
    if (const RExtension* ext = extension(which, method, absentMessage))
        m_Result.assign(ext->getExtnValue().getValue());
    return m_Result;
}

const ByteString& PCertUtil::getExtensionValue(Extension which) {
    return extensionValue(which, "getExtensionValue", "The extension does not exist.");
}

const ByteString& PCertUtil::getAuthorityKeyIdentifier() {
    return extensionValue(kAuthorityKeyIdentifier, "getAuthorityKeyIdentifier",
                          "AuthrityKeyIdentifier does not exist.");
}

const ByteString& PCertUtil::getCertPolicy() {
    return extensionValue(kCertificatePolicies, "getCertPolicy", "CertificatePolicy does not exist.");
}

const ByteString& PCertUtil::getSubjectAltNames() {
    return extensionValue(kSubjectAltName, "getSubjectAltNames", "SubjectAlternativeNames does not exist.");
}

const ByteString& PCertUtil::getExtendedKeyUsage() {
    return extensionValue(kExtKeyUsage, "getExtendedKeyUsage", "ExtendedKeyUsage dose not exist.");
}

const ByteString& PCertUtil::getCRLDistributionPoints() {
    return extensionValue(kCRLDistributionPoints, "getCRLDistributionPoints", "CRLDistributionPoints dose not exist.");
}

const ByteString& PCertUtil::getAuthorityInformationAccess() {
    return extensionValue(kAuthorityInfoAccess, "getAuthorityInformationAccess",
                          "AuthorityInformationAccess dose not exist.");
}

const ByteString& PCertUtil::get_SubjectKeyIdentifier_value() {
    const RExtension* ext =
        extension(kSubjectKeyIdentifier, "get_SubjectKeyIdentifier_value", "SubjectKeyIdentifier does not exist.");
    if (ext == nullptr) return m_Result;
    ASN1OctetString keyId;
    if (keyId.fromASN1Object(ext->getExtnValue().getValue()) != 0) {
        fail(kClass, "get_SubjectKeyIdentifier_value", "subjectKeyIdentifier", 3, keyId.errorText());
        return m_Result;
    }
    m_Result.assign(keyId.getValue());
    return m_Result;
}

const ByteString& PCertUtil::get_KeyUsage_value() {
    const RExtension* ext = extension(kKeyUsage, "get_KeyUsage_value", "nKeyUsage does not exist.");
    if (ext == nullptr) return m_Result;
    ASN1BitString bits;
    if (bits.fromASN1Object(ext->getExtnValue().getValue()) != 0 || bits.getValue().isEmpty()) {
        fail(kClass, "get_KeyUsage_value", "keyUsage", 3, bits.errorText());
        return m_Result;
    }
    bitsOf(bits, m_Result);
    return m_Result;
}

int PCertUtil::getBasicConstraints_cA(int& isCA) {
    const RExtension* ext = extension(kBasicConstraints, "getBasicConstraints_cA", "BasicConstraints dose not exist.");
    if (ext == nullptr) return m_nErrorCode;
    RBasicConstraints bc;
    if (bc.fromASN1Object(ext->getExtnValue().getValue()) != 0)
        return fail(kClass, "getBasicConstraints_cA", "basicConstraints", 3, bc.errorText());
    isCA = bc.hasCA() && bc.getCA().getBoolean() ? 1 : 0;
    return 0;
}

int PCertUtil::getBasicConstraints_pathLenConstraint(int& pathLen) {
    const RExtension* ext =
        extension(kBasicConstraints, "getBasicConstraints_pathLenConstraint", "BasicConstraints dose not exist.");
    if (ext == nullptr) return m_nErrorCode;
    RBasicConstraints bc;
    if (bc.fromASN1Object(ext->getExtnValue().getValue()) != 0)
        return fail(kClass, "getBasicConstraints_pathLenConstraint", "basicConstraints", 3, bc.errorText());
    if (!bc.hasPathLenConstraint())
        return fail(kClass, "getBasicConstraints_pathLenConstraint", "pathLenConstraint", kAbsent,
                    "pathLenConstraint dose not exist.");
    pathLen = bc.getPathLenConstraint().getInteger();
    return 0;
}

int PCertUtil::getcertPolicyCNT(int& count) {
    const RExtension* ext = extension(kCertificatePolicies, "getcertPolicyCNT", "CertificatePolicy does not exist.");
    if (ext == nullptr) return m_nErrorCode;
    RCertificatePolicies policies;
    if (policies.fromASN1Object(ext->getExtnValue().getValue()) != 0)
        return fail(kClass, "getcertPolicyCNT", "certificatePolicies", 3, policies.errorText());
    count = policies.getElementCount();
    return 0;
}

const ByteString& PCertUtil::getPolicyIdentifier(int index) {
    const RExtension* ext = extension(kCertificatePolicies, "getPolicyIdentifier", "CertificatePolicy does not exist.");
    if (ext == nullptr) return m_Result;
    RCertificatePolicies policies;
    RPolicyInformation info;
    if (policies.fromASN1Object(ext->getExtnValue().getValue()) != 0 || index < 0 ||
        index >= policies.getElementCount() || policies.getElement(index, info) != 0) {
        fail(kClass, "getPolicyIdentifier", "certificatePolicies", 3, policies.errorText());
        return m_Result;
    }
    m_Result.assign(PGeneralNameUtil::oidText(info.getPolicyIdentifier()));
    return m_Result;
}

}  // namespace qelt
