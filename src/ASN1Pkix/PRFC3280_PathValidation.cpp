#include "ASN1Pkix/PRFC3280_PathValidation.h"

#include <algorithm>
#include <new>

#include "ASN1Pkix/pkix_time.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PRFC3280_PathValidation";
constexpr int kExaminationsPerBundleCert = 10;
}  // namespace

PRFC3280_PathValidation::PRFC3280_PathValidation() = default;
PRFC3280_PathValidation::~PRFC3280_PathValidation() = default;

void PRFC3280_PathValidation::setReason(int reason, const char* message) {
    m_nReason = reason;
    m_ReasonMessage.assign(message);
}

int PRFC3280_PathValidation::addUser_initial_policy(const char* policy, char separator) {
    try {
        ByteString text(policy == nullptr ? "" : policy);
        for (int i = 0; i < text.length(); ++i)
            if (text.data()[i] == static_cast<uint8_t>(separator)) text.data()[i] = ' ';
        if (m_pValid_policy_tree.addPolicyToIPS(text.c_str()) != 0)
            return fail(kClass, "addUser_initial_policy", "m_pValid_policy_tree", 2, m_pValid_policy_tree.errorText());
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(kClass, "addUser_initial_policy", "policy", 1, "Momory allocation is failed.");
    }
}

void PRFC3280_PathValidation::setOption(int flags) {
    m_nOption = flags;
    if (m_pValid_policy_tree.ipsCount() > 0) m_nOption |= kOptInitialExplicitPolicy;
}

int PRFC3280_PathValidation::addTrustAnchor(const ByteString& cert) {
    try {
        if (cert.isEmpty()) return fail(kClass, "addTrustAnchor", "m_pTrustAnchor", 2, "The trust anchor is empty.");
        m_pTrustAnchor.push_back(cert);
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(kClass, "addTrustAnchor", "m_pTrustAnchor", 1, "Momory allocation is failed.");
    }
}

// ---- path building

// Whether `candidate` issued `subject`, judged by the subject's Authority Key
// Identifier: an AKI naming the issuer's issuer and serial number must name the
// candidate's; an AKI key identifier must equal the candidate's Subject Key
// Identifier when the candidate has one. The subject's issuer name is compared
// with the candidate's subject name later, during validation.
int PRFC3280_PathValidation::isIssuerCert(const PathCertificate& subject, const PathCertificate& candidate,
                                          bool& isIssuer) {
    constexpr const char* kMethod = "isIssuerCert";
    isIssuer = false;
    const PathCertificate::Extension* ext = subject.extension(PathCertificate::kAuthorityKeyIdentifier);
    if (ext == nullptr)
        return fail(kClass, kMethod, "subject", 1, "The subject certificate does not have AKI extension field.");
    RAuthorityKeyIdentifier aki;
    if (aki.fromASN1Object(ext->value) != 0) return fail(kClass, kMethod, "subject", 2, aki.errorText());

    if (aki.hasAuthorityCertIssuer() && aki.hasAuthorityCertSerialNumber()) {
        bool nameMatches = false;
        const RGeneralNames& names = aki.getAuthorityCertIssuer();
        for (int k = 0; k < names.getElementCount() && !nameMatches; ++k) {
            RGeneralName name;
            if (names.getElement(k, name) == 0 && name.isDirectoryName())
                nameMatches = UDNSettings::CompareByName(candidate.tbs().getIssuer(), name.getDirectoryName()) == 0;
        }
        if (!nameMatches) return 0;
        if (!(candidate.tbs().getSerialNumber().getValue() == aki.getAuthorityCertSerialNumber().getValue())) return 0;
    }
    if (aki.hasKeyIdentifier()) {
        const auto& ski = candidate.subjectKeyIdentifier();
        if (ski && !(*ski == aki.getKeyIdentifier().getValue())) return 0;
    }
    isIssuer = true;
    return 0;
}

int PRFC3280_PathValidation::composeCertPath(Asn1Input targetCert, Asn1Input caPubs) {
    constexpr const char* kMethod = "composeCertPath";
    resetForGetter();
    m_pCertInfo.clear();
    m_Decoded.clear();
    try {
        RPCaPubs bundle;
        if (bundle.fromASN1Object(caPubs) != 0) return fail(kClass, kMethod, "caPubs", 1, bundle.errorText());
        auto target = std::make_unique<PathCertificate>();
        if (target->decode(targetCert) != 0) return fail(kClass, kMethod, "userCertificate", 2, target->errorText());
        std::vector<const PathCertificate*> candidates;
        m_Decoded.push_back(std::move(target));
        for (int k = 0; k < bundle.getElementCount(); ++k) {
            auto cert = std::make_unique<PathCertificate>();
            const auto bytes = bundle.getElement(k);
            if (cert->decode(bytes) != 0) {
                ByteString label;
                label.format("%dth CA Certificate", k);
                return fail(kClass, kMethod, label.c_str(), 4, cert->errorText());
            }
            candidates.push_back(cert.get());
            m_Decoded.push_back(std::move(cert));
        }

        // Scan the bundle from its first certificate for the issuer of the
        // current subject; every match restarts the scan one level up.
        std::vector<const PathCertificate*> chain{m_Decoded.front().get()};
        const PathCertificate* subject = chain.front();
        const size_t limit = kExaminationsPerBundleCert * candidates.size();
        size_t examined = 0;
        bool bFindRoot = false;
        for (size_t k = 0; k < candidates.size();) {
            if (++examined > limit) return fail(kClass, kMethod, "m_pCertInfo", 3, "The compose path is failed.");
            bool issuer = false;
            // A certificate is not its own issuer unless it is the self-signed root.
            if (candidates[k] == subject) {
                ++k;
                continue;
            }
            if (isIssuerCert(*subject, *candidates[k], issuer) != 0)
                return fail(kClass, kMethod, "issuer", 5, errorText());
            if (!issuer) {
                ++k;
                continue;
            }
            chain.push_back(candidates[k]);
            if (candidates[k]->isSelfSigned()) {
                bFindRoot = true;
                break;
            }
            subject = candidates[k];
            k = 0;
        }
        if (!bFindRoot) return fail(kClass, kMethod, "bFindRoot", 7, "The Building path is failed.");
        m_pCertInfo.resize(chain.size());
        for (size_t i = 0; i < chain.size(); ++i) m_pCertInfo[i].cert = chain[chain.size() - 1 - i];
        return 0;
    } catch (const std::bad_alloc&) {
        m_pCertInfo.clear();
        return fail(kClass, kMethod, "m_pCertInfo", 8, "Momory allocation is failed.");
    }
}

int PRFC3280_PathValidation::trustRootCert(bool& found) {
    constexpr const char* kMethod = "trustRootCert";
    found = false;
    resetForGetter();
    if (m_pTrustAnchor.empty()) return fail(kClass, kMethod, "m_pTrustAnchor", 1, "First, Set Trust anchor.");
    if (m_pCertInfo.empty()) return fail(kClass, kMethod, "m_pCertInfo", 2, "First, Compose Cert Path.");
    // Anchors are matched by their exact encoding, not by name and key.
    ZRHash hash;
    ByteString rootDigest, anchorDigest;
    if (hash.DigestData(ALG_SHA1, m_pCertInfo.front().cert->der(), rootDigest) != 0)
        return fail(kClass, kMethod, "Root Certificate", 3, hash.errorText());
    for (const ByteString& anchor : m_pTrustAnchor) {
        if (hash.DigestData(ALG_SHA1, anchor, anchorDigest) != 0)
            return fail(kClass, kMethod, "m_pTrustAnchor", 4, hash.errorText());
        if (anchorDigest == rootDigest) {
            found = true;
            break;
        }
    }
    return 0;
}

// ---- validation

int PRFC3280_PathValidation::verifyCert(int targetMode) {
    constexpr const char* kMethod = "verifyCert";
    resetForGetter();
    m_nReason = 0;
    m_ReasonMessage.clear();
    if (m_pCertInfo.empty()) return fail(kClass, kMethod, "m_pCertInfo", 1, "First, Compose Cert path");
    try {
        for (CertInfo& info : m_pCertInfo) {
            const PathCertificate* cert = info.cert;
            info = CertInfo{};
            info.cert = cert;
        }
        m_nTargetMode = targetMode;
        m_NameConstraints.reset();
        m_pValid_policy_tree.reset();

        if (processRoot() != 0) return fail(kClass, kMethod, "Root Certificate", 3, errorText());
        const int last = getCertCount() - 1;
        for (int i = 1; i <= last; ++i) {
            ByteString label;
            label.format(i == last ? "userCertificate" : "%dth CA Certificate", i);
            if (basicCertProcess(i) != 0) return fail(kClass, kMethod, label.c_str(), i == last ? 6 : 4, errorText());
            if (i < last) {
                if (prepareForTheNextCert(i) != 0) return fail(kClass, kMethod, label.c_str(), 5, errorText());
            } else if (wrapUp(i) != 0) {
                return fail(kClass, kMethod, label.c_str(), 7, errorText());
            }
            m_pCertInfo[static_cast<size_t>(i)].processed = true;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(kClass, kMethod, "m_pCertInfo", 2, "Momory allocation is failed.");
    }
}

// ---- accessors

bool PRFC3280_PathValidation::checkIndex(int index, const char* method) {
    resetForGetter();
    if (m_pCertInfo.empty()) {
        fail(kClass, method, "m_pCertInfo", 1, "First, Compose Cert path");
        return false;
    }
    if (index < 0 || index >= getCertCount()) {
        ByteString msg;
        msg.format("The index(%d) exceed the certCount(%d).", index, getCertCount());
        fail(kClass, method, "index", 2, msg.c_str());
        return false;
    }
    return true;
}

const ByteString& PRFC3280_PathValidation::getCert(int index) {
    if (checkIndex(index, "getCert")) m_Result.assign(m_pCertInfo[static_cast<size_t>(index)].cert->der());
    return m_Result;
}

const ByteString& PRFC3280_PathValidation::getCRLDPs(int index) {
    if (checkIndex(index, "getCRLDPs"))
        m_Result = ByteString(
            m_pCertInfo[static_cast<size_t>(index)].cert->extensionValue(PathCertificate::kCRLDistributionPoints));
    return m_Result;
}

const ByteString& PRFC3280_PathValidation::getOCSPURL(int index) {
    if (checkIndex(index, "getOCSPURL")) {
        const CertInfo& info = m_pCertInfo[static_cast<size_t>(index)];
        // Validation records the address; before it, it is read from the certificate.
        if (info.processed)
            m_Result.assign(info.ocspUrl);
        else if (info.cert->ocspUrl(m_Result) != 0)
            m_Result.clear();
    }
    return m_Result;
}

}  // namespace qelt
