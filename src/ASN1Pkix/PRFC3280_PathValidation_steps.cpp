// The validation steps of PRFC3280_PathValidation, in the order of RFC 3280
// section 6.1: initialization (6.1.2), basic certificate processing (6.1.3),
// preparation for certificate i+1 (6.1.4) and wrap-up (6.1.5).
#include <algorithm>
#include <cstring>
#include <vector>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "ASN1Pkix/PSignatureCheck.h"
#include "ASN1Pkix/pkix_time.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UDNSettings.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PRFC3280_PathValidation";
constexpr const char* kOidEmail = "1 2 840 113549 1 9 1";

// Critical extensions the engine understands; any other critical one fails a path.
constexpr const char* kSupportedCritical[] = {
    "2 5 29 14", "2 5 29 15", "2 5 29 16", "2 5 29 17", "2 5 29 18", "2 5 29 19", "2 5 29 30", "2 5 29 31",
    "2 5 29 32", "2 5 29 35", "2 5 29 36", "2 5 29 37", "2 5 29 46", "2 5 29 54", "2 5 29 9",  "1 3 6 1 5 5 7 1 1",
};

// Key usage bits of the first octet.
constexpr uint8_t kDigitalSignature = 0x80;
constexpr uint8_t kNonRepudiation = 0x40;
constexpr uint8_t kKeyEncipherment = 0x20;
constexpr uint8_t kKeyAgreement = 0x08;
constexpr uint8_t kKeyCertSign = 0x04;
constexpr uint8_t kCRLSign = 0x02;

// Extended key usages and the key usage bits (any one of `bits`) each needs.
struct PurposeRule {
    const char* oid;
    uint8_t bits;
    const char* message;
};
constexpr const char* kOidServerAuth = "1 3 6 1 5 5 7 3 1";
constexpr const char* kOidTimeStamping = "1 3 6 1 5 5 7 3 8";
constexpr const char* kOidOcspSigning = "1 3 6 1 5 5 7 3 9";
constexpr PurposeRule kPurposeRules[] = {
    {kOidServerAuth, kDigitalSignature | kKeyEncipherment | kKeyAgreement,
     "The ServerAuth extendedKeyUsage doesn't have a digitalSignatue, keyEncipherMent or keyAgreement KeyUsageBit."},
    {"1 3 6 1 5 5 7 3 2", kDigitalSignature | kKeyAgreement,
     "The ClientAuth extendedKeyUsage doesn't have (a) digitalSignatue or/and KeyAgreement KeyUsageBit."},
    {"1 3 6 1 5 5 7 3 3", kDigitalSignature,
     "The CodeSigning extendedKeyUsage doesn't have a digitalSignatue KeyUsageBit."},
    {"1 3 6 1 5 5 7 3 4", kDigitalSignature | kNonRepudiation | kKeyEncipherment | kKeyAgreement,
     "The EmailProtection extendedKeyUsage doesn't have a digitalSignatue, nonRepudiation and/or (keyEncipherment or "
     "keyAgreement) KeyUsageBit."},
    {kOidTimeStamping, kDigitalSignature | kNonRepudiation,
     "The TimeStamping extendedKeyUsage doesn't have (a) digitalSignatue and/or nonRepudiation KeyUsageBit"},
    {kOidOcspSigning, kDigitalSignature | kNonRepudiation,
     "The OCSPSigning extendedKeyUsage doesn't have (a) digitalSignatue and/or nonRepudiation KeyUsageBit."},
};

ByteString nameText(const RRDNSequence& name) {
    ByteString text;
    if (UDNSettings::RDN2Str(name, text) != 0) text.assign("?");
    return text;
}

bool isSupportedCritical(std::span<const uint8_t> id) {
    static const std::vector<ByteString> contents = [] {
        std::vector<ByteString> v;
        for (const char* oid : kSupportedCritical) v.push_back(ASN1ObjectIdentifier(oid).getValue());
        return v;
    }();
    return std::any_of(contents.begin(), contents.end(), [&](const ByteString& known) {
        return known.bytes().size() == id.size() && std::equal(id.begin(), id.end(), known.bytes().begin());
    });
}

// The value of a small INTEGER (skip counts, path lengths); -1 when it does
// not fit an int or is negative.
int smallInteger(const ASN1Integer& value) {
    const ByteString& content = value.getValue();
    if (content.isEmpty() || content.length() > 4 || (content.data()[0] & 0x80) != 0) return -1;
    return value.getInteger();
}

}  // namespace

// ---- 6.1.2 initialization: the root

int PRFC3280_PathValidation::processRoot() {
    constexpr const char* kMethod = "processRoot";
    const int n = getCertCount();
    m_nExplicitPolicy = (m_nOption & kOptInitialExplicitPolicy) ? 0 : n + 1;
    m_nInhibitAnyPolicy = (m_nOption & kOptInitialAnyPolicyInhibit) ? 0 : n + 1;
    m_nPolicyMapping = (m_nOption & kOptInitialPolicyMappingInhibit) ? 0 : n + 1;
    m_nMaxPathLength = n;
    const PathCertificate& root = *m_pCertInfo.front().cert;
    m_pWorkingPublicKey = &root.publicKeyInfo();
    m_pWorking_issuer_name = &root.tbs().getSubject();
    m_tResolvedTime = m_tValidationTime != 0 ? m_tValidationTime : currentSeconds();
    if (validateValidity(0) != 0) return fail(kClass, kMethod, "Root Certificate", 1, errorText());
    // The root's policies are read but, like a trust anchor's, do not restrict
    // the tree: it starts from anyPolicy at depth 0.
    if (const PathCertificate::Extension* ext = root.extension(PathCertificate::kCertificatePolicies)) {
        RCertificatePolicies policies;
        if (policies.fromASN1Object(ext->value) != 0)
            return fail(kClass, kMethod, "certificatePolicies", 2, policies.errorText());
    }
    m_pCertInfo.front().processed = true;
    return 0;
}

// ---- 6.1.3 basic certificate processing

int PRFC3280_PathValidation::basicCertProcess(int i) {
    constexpr const char* kMethod = "basicCertProcess";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;

    // (a)(1) The signature verifies with the working public key.
    PSignatureCheck signature;
    if (signature.verify(*m_pWorkingPublicKey, cert.record().getSignatureAlgorithm(),
                         cert.tbs().getReceivedEncoding().bytes(), cert.record().getSignature()) != 0)
        return fail(kClass, kMethod, "signature", 2, signature.errorText());
    // (a)(2) The certificate is valid at the validation time.
    if (validateValidity(i) != 0) return fail(kClass, kMethod, "validity", 3, errorText());
    // (a)(4) The issuer name is the working issuer name.
    if (UDNSettings::CompareByName(*m_pWorking_issuer_name, cert.tbs().getIssuer()) != 0) {
        ByteString msg;
        msg.format("The Issuer's subject Name(%s) and The Issuer Name(%s) is different.",
                   nameText(*m_pWorking_issuer_name).c_str(), nameText(cert.tbs().getIssuer()).c_str());
        return fail(kClass, kMethod, "issuer", 4, msg.c_str());
    }
    // (d) certificate policies, and the extensions of the record.
    if (const int rc = processExtensions(i); rc != 0) return rc;

    if (m_nTargetMode != kTargetNoPolicy) {
        // (e) Without a certificate policies extension the valid_policy_tree becomes NULL.
        if (cert.extension(PathCertificate::kCertificatePolicies) == nullptr) m_pValid_policy_tree.setNull();
        // (f) Either explicit_policy is above 0 or the tree is not NULL.
        if (m_nExplicitPolicy == 0 && m_pValid_policy_tree.isNull()) {
            constexpr const char* msg = "The explicit_policy is equal to 0 and the valid_policy_tree is equal to NULL.";
            setReason(kReasonPolicy, msg);
            return fail(kClass, kMethod, "m_pValid_policy_tree", 14, msg);
        }
    }

    // An empty subject needs a critical subjectAltName.
    if (cert.tbs().getSubject().getElementCount() == 0) {
        if (cert.extension(PathCertificate::kSubjectAltName) == nullptr)
            return fail(
                kClass, kMethod, "subject", 15,
                "If the subject field contains an empty sequence, the subjectAltName extension MUST be present.");
        if (!cert.isCritical(PathCertificate::kSubjectAltName))
            return fail(kClass, kMethod, "subject", 15,
                        "If the subject field contains an empty sequence, the subjectAltName extension MUST be marked "
                        "critical.");
    }

    // (b), (c) The names lie inside the permitted subtrees and outside the
    // excluded ones, unless the certificate is a self-issued intermediate.
    if (m_nTargetMode != kTargetNoPolicy && !m_NameConstraints.isEmpty() && !(cert.isSelfIssued() && !isTarget(i))) {
        if (validateSubjectName(i) != 0) return fail(kClass, kMethod, "subjectName", 16, errorText());
    }
    return 0;
}

int PRFC3280_PathValidation::validateValidity(int i) {
    constexpr const char* kMethod = "validateValidity";
    CertInfo& info = m_pCertInfo[static_cast<size_t>(i)];
    const RValidity& validity = info.cert->tbs().getValidity();
    const auto notBefore = pkixSeconds(validity.getNotBefore());
    const auto notAfter = pkixSeconds(validity.getNotAfter());
    const bool target = isTarget(i) && i > 0;
    if (!notBefore || !notAfter) {
        setReason(target ? kReasonValidity : kReasonCAValidity, "The validity of the certificate is not readable.");
        return fail(kClass, kMethod, "validity", 1, "The validity of the certificate is not readable.");
    }
    info.notBefore = *notBefore;
    info.notAfter = *notAfter;
    ByteString log, msg;

    // A certificate may not outlive its issuer.
    if (i > 0 && info.notAfter > m_pCertInfo[static_cast<size_t>(i - 1)].notAfter) {
        log.format("The notAfterTime(%s) is after the Issuer's notAfterTime(%s)", pkixTimeText(info.notAfter).c_str(),
                   pkixTimeText(m_pCertInfo[static_cast<size_t>(i - 1)].notAfter).c_str());
        setReason(kReasonCAValidity,
                  "인증서 유효기간 오류 : 발급자의 인증서 만료날짜보다 이후인 하위 인증서가 있습니다."_cp949);
        return fail(kClass, kMethod, "notAfter", 2, log.c_str());
    }
    if (m_tResolvedTime < info.notBefore) {
        const ByteString from = pkixTimeText(info.notBefore), now = pkixTimeText(m_tResolvedTime);
        log.format("The ValidationTime(%s) is before the notBeforeTime(%s)", now.c_str(), from.c_str());
        msg.format(target
                       ? "아직 유효하지 않은 인증서입니다.(유효기간 시작일자 : %s, 현재 시간 : %s)"_cp949
                       : "아직 유효하지 않은 발급자 인증서가 있습니다.(유효기간 시작일자 : %s, 현재 시간 : %s)"_cp949,
                   from.c_str(), now.c_str());
        setReason(target ? kReasonValidity : kReasonCAValidity, msg);
        return fail(kClass, kMethod, "notBefore", 3, log.c_str());
    }
    if (m_tResolvedTime > info.notAfter) {
        const ByteString until = pkixTimeText(info.notAfter), now = pkixTimeText(m_tResolvedTime);
        log.format("The ValidationTime(%s) is after the notAfterTime(%s)", now.c_str(), until.c_str());
        msg.format(target ? "만료된 인증서입니다.(인증서 만료일자 : %s, 현재 시간 : %s)"_cp949
                          : "만료된 발급자 인증서가 있습니다.(인증서 만료일자 : %s, 현재 시간 : %s)"_cp949,
                   until.c_str(), now.c_str());
        setReason(target ? kReasonValidity : kReasonCAValidity, msg);
        return fail(kClass, kMethod, "notAfter", 4, log.c_str());
    }
    return 0;
}

// The extensions in the order they appear: policies go into the tree, the
// inhibitAnyPolicy value and the OCSP address into the record; a critical
// extension the engine does not know fails the certificate.
int PRFC3280_PathValidation::processExtensions(int i) {
    constexpr const char* kMethod = "basicCertProcess";
    CertInfo& info = m_pCertInfo[static_cast<size_t>(i)];
    const PathCertificate& cert = *info.cert;
    for (const PathCertificate::Extension& ext : cert.extensions()) {
        if (&ext == cert.extension(PathCertificate::kCertificatePolicies)) {
            if (m_nTargetMode != kTargetNoPolicy && processCertPolicies(i, ext) != 0)
                return fail(kClass, kMethod, "certificatePolicies", 8, errorText());
        } else if (&ext == cert.extension(PathCertificate::kInhibitAnyPolicy)) {
            ASN1Integer skipCerts;
            if (skipCerts.fromASN1Object(ext.value) != 0 || smallInteger(skipCerts) < 0)
                return fail(kClass, kMethod, "inhibitAnyPolicy", 9, "The inhibitAnyPolicy is not a SkipCerts.");
            info.inhibitAnyPolicy = smallInteger(skipCerts);
        } else if (&ext == cert.extension(PathCertificate::kAuthorityInfoAccess)) {
            const int rc = cert.ocspUrl(info.ocspUrl);
            if (rc == 1)
                return fail(kClass, kMethod, "authorityInfoAccess", 10, "The AuthorityInfoAccess is not readable.");
            if (rc == 2) return fail(kClass, kMethod, "accessLocation", 12, "The OCSP access location is not a URI.");
        }
        if (ext.critical && !isSupportedCritical(ext.id)) {
            ByteString msg;
            msg.format("The certificate contains an unsupported critical extension(%s).", ext.oidText().c_str());
            return fail(kClass, kMethod, "extension", 13, msg.c_str());
        }
    }
    return 0;
}

// 6.1.3 (d): the policies of certificate i grow the tree to depth i.
int PRFC3280_PathValidation::processCertPolicies(int i, const PathCertificate::Extension& ext) {
    constexpr const char* kMethod = "processCertPolicies";
    RCertificatePolicies policies;
    if (policies.fromASN1Object(ext.value) != 0) {
        setReason(kReasonPolicy, "The certificatePolicies extension is not readable.");
        return fail(kClass, kMethod, "certificatePolicies", 1, policies.errorText());
    }
    if (m_pValid_policy_tree.isNull()) return 0;
    m_pValid_policy_tree.openDepth();
    bool hasAnyPolicy = false;
    ByteString anyQualifiers;
    for (int k = 0; k < policies.getElementCount(); ++k) {
        RPolicyInformation info;
        if (policies.getElement(k, info) != 0) {
            setReason(kReasonPolicy, "The certificatePolicies extension is not readable.");
            return fail(kClass, kMethod, "policyInformation", 2, info.errorText());
        }
        const ByteString policy = PGeneralNameUtil::oidText(info.getPolicyIdentifier());
        ByteString qualifiers;
        if (info.hasPolicyQualifiers()) {
            ASN1Sequence q = info.getPolicyQualifiers();
            qualifiers.assign(q.toASN1Object());
        }
        if (policy.equals(PValidPolicyTree::kAnyPolicy)) {
            hasAnyPolicy = true;
            anyQualifiers = qualifiers;
            continue;
        }
        // (d)(1) each policy other than anyPolicy.
        m_pValid_policy_tree.addPolicy(policy, qualifiers);
    }
    // (d)(2) anyPolicy, when inhibit_anyPolicy allows it or a self-issued
    // intermediate carries it.
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    if (hasAnyPolicy && (m_nInhibitAnyPolicy > 0 || (!isTarget(i) && cert.isSelfIssued())))
        m_pValid_policy_tree.addAnyPolicy(anyQualifiers);
    // (d)(3) nodes left without children go.
    m_pValid_policy_tree.deleteNullNode();
    return 0;
}

// (b), (c): the subject name, its e-mail attribute and every subjectAltName
// entry against the permitted and excluded subtrees.
int PRFC3280_PathValidation::validateSubjectName(int i) {
    constexpr const char* kMethod = "validateSubjectName";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const bool target = isTarget(i);
    ByteString constraint, log;

    const auto refuse = [&](PNameConstraints::Verdict verdict, bool altName, const ByteString& text) {
        const char* what = altName ? "SubjectAltName" : "Subject";
        if (verdict == PNameConstraints::kNotPermitted) {
            log.format("The %s(%s) does not contain %s", what, text.c_str(), constraint.c_str());
            setReason(
                kReasonNameConstraints,
                altName
                    ? (target
                           ? "발급자가 요구하는 형식의 주체대체이름을 가지고 있지 않습니다."_cp949
                           : "상위 인증서가 요구하는 형식의 주체대체이름을 가지고 않은 발급자 인증서가 있습니다."_cp949)
                    : (target ? "발급자가 요구하는 이름 형식을 가지고 있지 않습니다."_cp949
                              : "상위 인증서가 요구하는 이름 형식을 가지고 있지 않은 발급자 인증서가 있습니다."_cp949));
        } else {
            log.format("The %s(%s) contain %s", what, text.c_str(), constraint.c_str());
            setReason(
                kReasonNameConstraints,
                altName
                    ? (target
                           ? "발급자가 금지하는 형식을 가진 주체대체이름이 있습니다."_cp949
                           : "상위 인증서가 금지하는 형식을 가진 주체대체이름이 있는 발급자 인증서가 있습니다."_cp949)
                    : (target ? "발급자가 금지하는 이름 형식을 가지고 있습니다."_cp949
                              : "상위 인증서가 금지하는 이름 형식을 가지고 있는 발급자 인증서가 있습니다."_cp949));
        }
        return fail(kClass, kMethod, altName ? "subjectAltName" : "subject",
                    verdict == PNameConstraints::kNotPermitted ? 1 : 2, log.c_str());
    };

    const RRDNSequence& subject = cert.tbs().getSubject();
    if (subject.getElementCount() > 0) {
        const ByteString text = nameText(subject);
        if (auto v = m_NameConstraints.check(PNameConstraints::kDirectory, text, constraint);
            v != PNameConstraints::kInside)
            return refuse(v, false, text);
        // The e-mail attributes of the subject are rfc822 names.
        for (int r = 0; r < subject.getElementCount(); ++r) {
            RRelativeDistinguishedName rdn;
            if (subject.getElement(r, rdn) != 0) continue;
            for (int a = 0; a < rdn.getElementCount(); ++a) {
                RAttributeTypeAndValue atv;
                ByteString mail;
                if (rdn.getElement(a, atv) != 0 || !atv.getType().is(kOidEmail) ||
                    UDNSettings::stringValueText(atv.getValue().getEncoding(), mail) != 0)
                    continue;
                if (auto v = m_NameConstraints.check(PNameConstraints::kRfc822, mail, constraint);
                    v != PNameConstraints::kInside)
                    return refuse(v, false, mail);
            }
        }
    }

    if (const PathCertificate::Extension* ext = cert.extension(PathCertificate::kSubjectAltName)) {
        RGeneralNames names;
        if (names.fromASN1Object(ext->value) != 0) {
            setReason(kReasonNameConstraints, "The subjectAltName extension is not readable.");
            return fail(kClass, kMethod, "subjectAltName", 3, names.errorText());
        }
        for (int k = 0; k < names.getElementCount(); ++k) {
            RGeneralName name;
            PNameConstraints::Form form = PNameConstraints::kDns;
            ByteString text;
            if (names.getElement(k, name) != 0 || !PNameConstraints::nameText(name, form, text)) continue;
            if (auto v = m_NameConstraints.check(form, text, constraint); v != PNameConstraints::kInside)
                return refuse(v, true, text);
        }
    }
    return 0;
}

// ---- 6.1.4 preparation for certificate i+1

int PRFC3280_PathValidation::prepareForTheNextCert(int i) {
    constexpr const char* kMethod = "prepareForTheNextCert";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    // (a), (b) policy mappings.
    if (m_nTargetMode != kTargetNoPolicy && validatePolicyMappings(i) != 0)
        return fail(kClass, kMethod, "policyMappings", 1, errorText());
    // (c)-(f) the working issuer name and public key.
    m_pWorking_issuer_name = &cert.tbs().getSubject();
    m_pWorkingPublicKey = &cert.publicKeyInfo();
    // (g) name constraints.
    if (m_nTargetMode != kTargetNoPolicy && applyNameConstraints(i) != 0)
        return fail(kClass, kMethod, "nameConstraints", 2, errorText());
    // (h) counters fall by one for a certificate that is not self-issued.
    if (!cert.isSelfIssued()) {
        if (m_nExplicitPolicy > 0) --m_nExplicitPolicy;
        if (m_nPolicyMapping > 0) --m_nPolicyMapping;
        if (m_nInhibitAnyPolicy > 0) --m_nInhibitAnyPolicy;
    }
    // (i), (j) policy constraints and inhibitAnyPolicy lower them further.
    if (applyPolicyConstraints(i) != 0) return fail(kClass, kMethod, "policyConstraints", 4, errorText());
    // (l) a certificate that is not self-issued uses up one step of path length.
    if (!cert.isSelfIssued()) {
        if (m_nMaxPathLength <= 0) {
            constexpr const char* msg = "The max_path_length is not greater than zero.";
            setReason(kReasonBasicConstraints, msg);
            return fail(kClass, kMethod, "max_path_length", 10, msg);
        }
        --m_nMaxPathLength;
    }
    // (k), (m) basic constraints; (n) key usage.
    if (validateBasicConsts(i) != 0) return fail(kClass, kMethod, "basicConstraints", 11, errorText());
    if (validateKeyUsage(i) != 0) return fail(kClass, kMethod, "keyUsage", 12, errorText());
    return 0;
}

int PRFC3280_PathValidation::validatePolicyMappings(int i) {
    constexpr const char* kMethod = "validatePolicyMappings";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const PathCertificate::Extension* ext = cert.extension(PathCertificate::kPolicyMappings);
    if (ext == nullptr) return 0;
    RPolicyMappings list;
    if (list.fromASN1Object(ext->value) != 0) {
        setReason(kReasonPolicy, "The policyMappings extension is not readable.");
        return fail(kClass, kMethod, "policyMappings", 1, list.errorText());
    }
    std::vector<PValidPolicyTree::Mapping> mappings;
    for (int k = 0; k < list.getElementCount(); ++k) {
        ASN1Sequence pair;
        ASN1ObjectIdentifier issuerPolicy, subjectPolicy;
        const ByteString& element = list.getElement(k);
        if (pair.fromASN1Object(element) != 0 || pair.getComponentCount() != 2 ||
            issuerPolicy.fromASN1Object(pair.componentBytes(0)) != 0 ||
            subjectPolicy.fromASN1Object(pair.componentBytes(1)) != 0) {
            setReason(kReasonPolicy, "The policyMappings extension is not readable.");
            return fail(kClass, kMethod, "policyMapping", 2, "The policy mapping is not a pair of OIDs.");
        }
        ByteString idp(issuerPolicy.getOID()), sdp(subjectPolicy.getOID());
        // (a) anyPolicy is mapped neither from nor to.
        if (idp.equals(PValidPolicyTree::kAnyPolicy) || sdp.equals(PValidPolicyTree::kAnyPolicy)) {
            ByteString msg;
            msg.format("The IssuerDomainPolicy(%s) or the subjectDomainPolicy(%s) is equal to anyPolicy(%s)",
                       idp.c_str(), sdp.c_str(), PValidPolicyTree::kAnyPolicy);
            setReason(kReasonPolicy, msg);
            return fail(kClass, kMethod, "policyMapping", 3, msg.c_str());
        }
        mappings.emplace_back(std::move(idp), std::move(sdp));
    }
    // (b)(1) with policy_mapping above 0 the mapped policies become expected;
    // (b)(2) otherwise the mapped nodes are deleted.
    if (m_nPolicyMapping > 0) {
        ByteString anyQualifiers;
        if (const PathCertificate::Extension* cp = cert.extension(PathCertificate::kCertificatePolicies)) {
            RCertificatePolicies policies;
            if (policies.fromASN1Object(cp->value) == 0) {
                for (int k = 0; k < policies.getElementCount(); ++k) {
                    RPolicyInformation info;
                    if (policies.getElement(k, info) == 0 &&
                        info.getPolicyIdentifier().is(PValidPolicyTree::kAnyPolicy) && info.hasPolicyQualifiers()) {
                        ASN1Sequence q = info.getPolicyQualifiers();
                        anyQualifiers.assign(q.toASN1Object());
                    }
                }
            }
        }
        m_pValid_policy_tree.addPolicyByPolicyMappings(mappings, anyQualifiers);
    } else {
        for (const auto& m : mappings) m_pValid_policy_tree.deleteThisPolicyNode(m.first);
    }
    return 0;
}

int PRFC3280_PathValidation::applyNameConstraints(int i) {
    constexpr const char* kMethod = "applyNameConstraints";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const PathCertificate::Extension* ext = cert.extension(PathCertificate::kNameConstraints);
    if (ext == nullptr) return 0;
    RNameConstraints nc;
    if (nc.fromASN1Object(ext->value) != 0) {
        setReason(kReasonNameConstraints, "The nameConstraints extension is not readable.");
        return fail(kClass, kMethod, "nameConstraints", 1, nc.errorText());
    }
    if (nc.hasPermittedSubtrees() && m_NameConstraints.modifyPermittedSubtrees(nc.getPermittedSubtrees()) != 0) {
        setReason(kReasonNameConstraints, m_NameConstraints.errorText());
        return fail(kClass, kMethod, "permittedSubtrees", 2, m_NameConstraints.errorText());
    }
    if (nc.hasExcludedSubtrees() && m_NameConstraints.modifyExcludedSubtrees(nc.getExcludedSubtrees()) != 0) {
        setReason(kReasonNameConstraints, m_NameConstraints.errorText());
        return fail(kClass, kMethod, "excludedSubtrees", 3, m_NameConstraints.errorText());
    }
    return 0;
}

int PRFC3280_PathValidation::applyPolicyConstraints(int i) {
    constexpr const char* kMethod = "applyPolicyConstraints";
    const CertInfo& info = m_pCertInfo[static_cast<size_t>(i)];
    if (const PathCertificate::Extension* ext = info.cert->extension(PathCertificate::kPolicyConstraints)) {
        RPolicyConstraints pc;
        if (pc.fromASN1Object(ext->value) != 0) {
            setReason(kReasonPolicy, "The policyConstraints extension is not readable.");
            return fail(kClass, kMethod, "policyConstraints", 1, pc.errorText());
        }
        const int require = pc.hasRequireExplicitPolicy() ? smallInteger(pc.getRequireExplicitPolicy()) : -1;
        const int inhibit = pc.hasInhibitPolicyMapping() ? smallInteger(pc.getInhibitPolicyMapping()) : -1;
        if (require >= 0 && require < m_nExplicitPolicy) m_nExplicitPolicy = require;
        if (inhibit >= 0 && inhibit < m_nPolicyMapping) m_nPolicyMapping = inhibit;
    }
    if (info.inhibitAnyPolicy >= 0 && info.inhibitAnyPolicy < m_nInhibitAnyPolicy)
        m_nInhibitAnyPolicy = info.inhibitAnyPolicy;
    return 0;
}

int PRFC3280_PathValidation::validateBasicConsts(int i) {
    constexpr const char* kMethod = "validateBasicConsts";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const PathCertificate::Extension* ext = cert.extension(PathCertificate::kBasicConstraints);
    const auto refuse = [&](int code, const char* msg) {
        setReason(kReasonBasicConstraints, msg);
        return fail(kClass, kMethod, "basicConstraints", code, msg);
    };
    RBasicConstraints bc;
    if (ext != nullptr && bc.fromASN1Object(ext->value) != 0)
        return refuse(1, "The basicConstraints extension is not readable.");
    const bool cA = ext != nullptr && bc.hasCA() && bc.getCA().getBoolean();
    if (isCA(i)) {
        if (ext == nullptr) return refuse(2, "The CA Certificate does not have basicConstraints extension.");
        if (!cA) return refuse(3, "The ca certificate MUST asserted cA boolean.");
        if (bc.hasPathLenConstraint()) {
            const int pathLen = smallInteger(bc.getPathLenConstraint());
            if (pathLen < 0) return refuse(4, "The pathLenConstraint is not a small non-negative INTEGER.");
            if (pathLen < m_nMaxPathLength) m_nMaxPathLength = pathLen;
        }
        return 0;
    }
    if (ext == nullptr) return 0;
    if (cA) return refuse(5, "The user certificate MUST NOT asserted cA boolean.");
    if (bc.hasPathLenConstraint())
        return refuse(6, "The user certificate MUST NOT include the pathLenConstraint field.");
    return 0;
}

int PRFC3280_PathValidation::validateKeyUsage(int i) {
    constexpr const char* kMethod = "validateKeyUsage";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const bool target = isTarget(i);
    const PathCertificate::Extension* ext = cert.extension(PathCertificate::kKeyUsage);
    uint8_t usage = 0;
    if (ext != nullptr) {
        ASN1BitString bits;
        if (bits.fromASN1Object(ext->value) != 0 || bits.getValue().isEmpty()) {
            setReason(kReasonKeyUsage, "The keyUsage extension is not readable.");
            return fail(kClass, kMethod, "keyUsage", 1, bits.errorText());
        }
        if (bits.getValue().length() > 1) usage = bits.getValue().data()[1];
    }
    const auto refuse = [&](int code, const char* reason, const char* log) {
        setReason(kReasonKeyUsage, reason);
        return fail(kClass, kMethod, "keyUsage", code, log);
    };

    if (ext == nullptr) {
        if (isCA(i))
            return refuse(2, "The keyUsage extension MUST be existed.", "The keyUsage extension MUST be existed.");
    } else if (target && m_nTargetMode == kTargetEndEntity) {
        if ((m_nPurpose == kPurposeSign || m_nPurpose == kPurposeBoth) && !(usage & kDigitalSignature))
            return refuse(3, "서명용 인증서가 아닙니다."_cp949,
                          "SignCert (or BothCert) does not have DigitalSignature key usage.");
        if ((m_nPurpose == kPurposeKeyManagement || m_nPurpose == kPurposeBoth) &&
            !(usage & (kKeyEncipherment | kKeyAgreement)))
            return refuse(4, "암호화용 인증서가 아닙니다."_cp949,
                          "KMCert (or BothCert) does not have KeyEncipherment and(or) KeyAgreement key usage.");
    } else if (target && m_nTargetMode == kTargetCA && m_nPurpose == kPurposeCrlIssuer) {
        if (!(usage & kCRLSign))
            return refuse(5, "CRL을 발급할 수 없는 발급자 인증서 입니다."_cp949, "The CrlSign bit does not setted.");
    } else if (isCA(i) && !(usage & kKeyCertSign)) {
        return refuse(6, "인증서를 발급할 수 없는 발급자 인증서가 있습니다."_cp949,
                      "The keyCertSign bit does not setted.");
    }
    return validateExtendedKeyUsage(i, usage);
}

int PRFC3280_PathValidation::validateExtendedKeyUsage(int i, uint8_t usage) {
    constexpr const char* kMethod = "validateKeyUsage";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    const PathCertificate::Extension* ext = cert.extension(PathCertificate::kExtKeyUsage);
    if (ext == nullptr) return 0;
    const auto refuse = [&](int code, const char* reason, const char* log) {
        setReason(kReasonKeyUsage, reason);
        return fail(kClass, kMethod, "extKeyUsage", code, log);
    };
    RExtKeyUsageSyntax list;
    if (list.fromASN1Object(ext->value) != 0)
        return refuse(7, "The extKeyUsage extension is not readable.", list.errorText());
    bool ocspSigning = false, timeStamping = false;
    for (int k = 0; k < list.getElementCount(); ++k) {
        ASN1ObjectIdentifier purpose;
        if (list.getElement(k, purpose) != 0)
            return refuse(7, "The extKeyUsage extension is not readable.", purpose.errorText());
        const PurposeRule* rule = nullptr;
        for (const PurposeRule& r : kPurposeRules)
            if (purpose.is(r.oid)) rule = &r;
        if (rule == nullptr) {
            ByteString msg;
            msg.format("The %s is unknown extendedKeyUsage.", PGeneralNameUtil::oidText(purpose).c_str());
            return refuse(8, msg.c_str(), msg.c_str());
        }
        ocspSigning |= std::strcmp(rule->oid, kOidOcspSigning) == 0;
        timeStamping |= std::strcmp(rule->oid, kOidTimeStamping) == 0;
        // The key usage bits are compared only when a key usage is stated.
        if (usage != 0 && !(usage & rule->bits)) return refuse(9, rule->message, rule->message);
    }
    if (isTarget(i) && m_nPurpose == kPurposeOcsp && !ocspSigning)
        return refuse(10, "OCSP용 인증서가 아닙니다."_cp949, "There are not OID_id_kp_OCSPSigning extKeyUsage.");
    if (isTarget(i) && m_nPurpose == kPurposeTsa && !timeStamping)
        return refuse(11, "TSA용 인증서가 아닙니다."_cp949, "There are not OID_id_kp_timeStamping extKeyUsage.");
    return 0;
}

// ---- 6.1.5 wrap-up

int PRFC3280_PathValidation::wrapUp(int i) {
    constexpr const char* kMethod = "wrapUp";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    if (m_nTargetMode != kTargetNoPolicy) {
        // (a) explicit_policy falls by one for a target that is not self-issued;
        if (!cert.isSelfIssued() && m_nExplicitPolicy > 0) --m_nExplicitPolicy;
        // (b) and to 0 when the target itself requires an explicit policy at once.
        if (const PathCertificate::Extension* ext = cert.extension(PathCertificate::kPolicyConstraints)) {
            RPolicyConstraints pc;
            if (pc.fromASN1Object(ext->value) == 0 && pc.hasRequireExplicitPolicy() &&
                smallInteger(pc.getRequireExplicitPolicy()) == 0)
                m_nExplicitPolicy = 0;
        }
    }
    if (validateBasicConsts(i) != 0) return fail(kClass, kMethod, "basicConstraints", 1, errorText());
    if (m_nTargetMode != kTargetNoPolicy) {
        // (g) the tree is intersected with the user-initial-policy-set.
        m_pValid_policy_tree.intersectWithIPS();
        m_pValid_policy_tree.deleteNullNode();
        if (m_nExplicitPolicy == 0 && m_pValid_policy_tree.isNull()) {
            setReason(kReasonPolicy, "허용되지 않는 인증서 정책의 인증서입니다."_cp949);
            return fail(kClass, kMethod, "m_pValid_policy_tree", 3,
                        "The value of explicit_policy_value is zero and The valid_policy_tree is NULL.");
        }
    }
    if ((m_nOption & kOptStrictEndEntity) && m_nTargetMode == kTargetEndEntity && checkStrictEndEntity(i) != 0)
        return fail(kClass, kMethod, "userCertificate", 4, errorText());
    if (validateKeyUsage(i) != 0) return fail(kClass, kMethod, "keyUsage", 5, errorText());
    return 0;
}

// Extensions meant for CA certificates do not belong in an end-entity certificate.
int PRFC3280_PathValidation::checkStrictEndEntity(int i) {
    constexpr const char* kMethod = "checkStrictEndEntity";
    const PathCertificate& cert = *m_pCertInfo[static_cast<size_t>(i)].cert;
    struct Rule {
        PathCertificate::Slot slot;
        const char* message;
    };
    static constexpr Rule kRules[] = {
        {PathCertificate::kPolicyMappings, "The policyMappings extension is used in CA certificates."},
        {PathCertificate::kNameConstraints,
         "The name constraints extension, which MUST be used only in a CA certificate."},
        {PathCertificate::kPolicyConstraints,
         "The policy constraints extension can be used in certificates issued to CAs."},
        {PathCertificate::kInhibitAnyPolicy,
         "The inhibit any-policy extension can be used in certificates issued to CAs."},
    };
    for (const Rule& rule : kRules)
        if (cert.extension(rule.slot) != nullptr) return fail(kClass, kMethod, "extension", 1, rule.message);
    return 0;
}

}  // namespace qelt
