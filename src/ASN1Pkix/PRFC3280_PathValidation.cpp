#include "ASN1Pkix/PRFC3280_PathValidation.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>

#include "ASN1Pkix/pkix_time.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PRFC3280_PathValidation";
constexpr int kExaminationsPerBundleCert = 10;

using SharedCert = std::shared_ptr<const PathCertificate>;

bool sameBytes(const ByteString& kept, std::span<const uint8_t> input) {
    return kept.bytes().size() == input.size() && std::equal(input.begin(), input.end(), kept.bytes().begin());
}

// Certificates decoded lately on this thread, keyed by the exact input bytes
// they were decoded from: the same bundle and often the same target come back
// call after call, and decoding them is a large part of a validation. Only
// inputs that decoded are kept, and a different input, even one differing in a
// single byte, never matches, so an answer is never taken from another
// certificate. Being per thread it takes no lock; a few slots replaced in turn
// and a size limit per input bound the memory a thread keeps.
struct DecodedCache {
    static constexpr size_t kBundleSlots = 2;
    static constexpr size_t kTargetSlots = 8;
    static constexpr size_t kMaxBundleBytes = 256 * 1024;
    static constexpr size_t kMaxTargetBytes = 32 * 1024;

    struct Bundle {
        ByteString input;
        std::vector<SharedCert> certs;
    };
    struct Target {
        ByteString input;
        SharedCert cert;
    };
    std::array<Bundle, kBundleSlots> bundles;
    std::array<Target, kTargetSlots> targets;
    size_t nextBundle = 0, nextTarget = 0;

    const std::vector<SharedCert>* findBundle(std::span<const uint8_t> input) const {
        for (const Bundle& b : bundles)
            if (!b.certs.empty() && sameBytes(b.input, input)) return &b.certs;
        return nullptr;
    }
    void keepBundle(std::span<const uint8_t> input, const std::vector<SharedCert>& certs) {
        if (input.size() > kMaxBundleBytes || certs.empty()) return;
        Bundle& slot = bundles[nextBundle];
        slot.input = ByteString(input);
        slot.certs = certs;
        nextBundle = (nextBundle + 1) % kBundleSlots;
    }
    SharedCert findTarget(std::span<const uint8_t> input) const {
        for (const Target& t : targets)
            if (t.cert && sameBytes(t.input, input)) return t.cert;
        return nullptr;
    }
    void keepTarget(std::span<const uint8_t> input, const SharedCert& cert) {
        if (input.size() > kMaxTargetBytes) return;
        Target& slot = targets[nextTarget];
        slot.input = ByteString(input);
        slot.cert = cert;
        nextTarget = (nextTarget + 1) % kTargetSlots;
    }
};

DecodedCache& decodedCache() {
    thread_local DecodedCache cache;
    return cache;
}

// Settles the facts a decoded certificate works out on first use, so that a
// kept certificate is only read from then on.
void settle(const PathCertificate& cert, bool asBundleMember) {
    (void)cert.isSelfIssued();
    (void)cert.subjectKeyIdentifier();
    if (asBundleMember) (void)cert.isSelfSigned();
}
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
        DecodedCache& cache = decodedCache();
        const std::vector<SharedCert>* keptBundle = cache.findBundle(caPubs.bytes());
        std::vector<SharedCert> bundleCerts;
        const auto addTarget = [&]() -> int {
            SharedCert target = cache.findTarget(targetCert.bytes());
            if (!target) {
                auto decoded = std::make_shared<PathCertificate>();
                if (decoded->decode(targetCert) != 0)
                    return fail(kClass, kMethod, "userCertificate", 2, decoded->errorText());
                settle(*decoded, false);
                target = decoded;
                cache.keepTarget(targetCert.bytes(), target);
            }
            m_Decoded.push_back(std::move(target));
            return 0;
        };
        if (keptBundle == nullptr) {
            RPCaPubs bundle;
            if (bundle.fromASN1Object(caPubs) != 0) return fail(kClass, kMethod, "caPubs", 1, bundle.errorText());
            // The target is decoded before any bundle member, so that a bad
            // target is reported as such even when the bundle is bad too.
            if (addTarget() != 0) return 2;
            for (int k = 0; k < bundle.getElementCount(); ++k) {
                auto cert = std::make_shared<PathCertificate>();
                const auto bytes = bundle.getElement(k);
                if (cert->decode(bytes) != 0) {
                    ByteString label;
                    label.format("%dth CA Certificate", k);
                    return fail(kClass, kMethod, label.c_str(), 4, cert->errorText());
                }
                settle(*cert, true);
                bundleCerts.push_back(std::move(cert));
            }
            cache.keepBundle(caPubs.bytes(), bundleCerts);
        } else {
            // The bundle decoded before, so only the target can fail here.
            if (addTarget() != 0) return 2;
            bundleCerts = *keptBundle;
        }
        std::vector<const PathCertificate*> candidates;
        for (SharedCert& cert : bundleCerts) {
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
    // Anchors are matched by their exact encoding, not by name and key. The
    // encodings are compared directly: equal encodings are what equal SHA-1
    // digests of them stand for, without hashing the root and every anchor on
    // each call (and without trusting a digest collision).
    const ByteString& root = m_pCertInfo.front().cert->der();
    found = std::any_of(m_pTrustAnchor.begin(), m_pTrustAnchor.end(),
                        [&](const ByteString& anchor) { return sameBytes(anchor, root.bytes()); });
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
