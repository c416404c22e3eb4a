// PRFC3280_PathValidation: the certification-path engine.
//
// Given a target certificate and a CA bundle (a DER SEQUENCE OF Certificate),
// it composes the path from the target up to a self-signed root found in the
// bundle, tells whether that root is one of the caller's trust anchors (by the
// SHA-1 digest of its encoding), and validates the path in the manner of
// RFC 3280 section 6.1: signatures, validity nesting, name chaining, basic
// constraints and path length, key usage and extended key usage by purpose,
// name constraints and the certificate-policy tree. Revocation is not its
// business: it keeps, per certificate, the CRL distribution points and the
// OCSP responder address for the caller to check afterwards.
//
// Use: addUser_initial_policy / setOption / setCertPurpose / setValidationTime,
// addTrustAnchor, composeCertPath, trustRootCert, verifyCert, then the
// accessors. Index 0 of the path is the root, the last index the target.
// Methods return 0 or a small step number with a location record; a failure
// the caller must classify also leaves a reason code (4100-4119) and a user
// message (getReason, getReasonMessage).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ASN1Pkix/PNameConstraints.h"
#include "ASN1Pkix/PValidPolicyTree.h"
#include "ASN1Pkix/path_certificate.h"
#include "util/error_holder.h"

namespace qelt {

class PRFC3280_PathValidation : public ErrorHolder {
public:
    // Target modes of verifyCert.
    enum TargetMode : int {
        kTargetEndEntity = 0,  // the target is an end-entity certificate
        kTargetCA = 1,         // the target is itself a CA certificate
        kTargetNoPolicy = 2,   // policy mappings, name constraints and the policy tree are skipped
    };
    // What the target certificate is for.
    enum Purpose : int {
        kPurposeNone = 0,
        kPurposeOcsp = 1,
        kPurposeTsa = 2,
        kPurposeSign = 3,
        kPurposeKeyManagement = 4,
        kPurposeBoth = 5,
        kPurposeCrlIssuer = 6,
    };
    // Option flags.
    static constexpr int kOptInitialPolicyMappingInhibit = 1;
    static constexpr int kOptInitialExplicitPolicy = 2;
    static constexpr int kOptInitialAnyPolicyInhibit = 4;
    static constexpr int kOptStrictEndEntity = 8;
    // Reason codes.
    static constexpr int kReasonValidity = 4100;  // the target is not yet valid or has expired
    static constexpr int kReasonKeyUsage = 4101;
    static constexpr int kReasonBasicConstraints = 4102;
    static constexpr int kReasonNameConstraints = 4103;
    static constexpr int kReasonPolicy = 4104;
    static constexpr int kReasonCAValidity = 4119;  // a CA certificate's validity (nesting included)

    PRFC3280_PathValidation();
    ~PRFC3280_PathValidation() override;
    PRFC3280_PathValidation(const PRFC3280_PathValidation&) = delete;
    PRFC3280_PathValidation& operator=(const PRFC3280_PathValidation&) = delete;

    // Adds one policy to the user-initial-policy-set; every `separator` in the
    // text is read as a blank first ('.' makes a dotted OID the text form).
    // 1 on allocation failure, 2 when the text is not an OID.
    int addUser_initial_policy(const char* policy, char separator);
    // The option flags; initial-explicit-policy is added when a policy set was given.
    void setOption(int flags);
    // Replaces the flags with the strict end-entity extension check.
    void setStrictOption() { m_nOption = kOptStrictEndEntity; }
    int getOption() const { return m_nOption; }
    void setCertPurpose(int purpose) { m_nPurpose = purpose; }
    // Seconds since 1970; 0 means the time of verifyCert.
    void setValidationTime(int64_t seconds) { m_tValidationTime = seconds; }
    // The time verifyCert validated at (the current time when none was set).
    int64_t validationTime() const { return m_tResolvedTime; }

    // Appends one DER certificate to the trust anchors; 1 on allocation
    // failure, 2 when the input is empty.
    int addTrustAnchor(const ByteString& cert);

    // 0; 1 the bundle does not decode; 2 the target does not decode; 3 the
    // loop guard (10 examinations per bundle certificate) was hit; 4 a bundle
    // certificate does not decode; 5 the issuer test failed (no Authority Key
    // Identifier); 7 no self-signed root was reached; 8 allocation failure.
    int composeCertPath(Asn1Input targetCert, Asn1Input caPubs);
    // Whether the root's encoding is one of the trust anchors'. 0; 1 no trust
    // anchor; 2 no path.
    int trustRootCert(bool& found);
    // 0; 1 no path; 2 allocation; 3 root processing; 4 a CA certificate; 5
    // preparation for the next certificate; 6 the target; 7 wrap-up.
    int verifyCert(int targetMode);

    int getCertCount() const { return static_cast<int>(m_pCertInfo.size()); }
    // The DER certificate, the CRLDistributionPoints extension value and the
    // OCSP responder address of a path index; empty outside the path.
    const ByteString& getCert(int index);
    const ByteString& getCRLDPs(int index);
    const ByteString& getOCSPURL(int index);

    int getReason() const { return m_nReason; }
    const ByteString& getReasonMessage() const { return m_ReasonMessage; }

    // The state variables, for those who want to see what a validation left.
    int explicitPolicy() const { return m_nExplicitPolicy; }
    int maxPathLength() const { return m_nMaxPathLength; }
    const PValidPolicyTree& policyTree() const { return m_pValid_policy_tree; }

private:
    // One path element, reset before every validation.
    struct CertInfo {
        const PathCertificate* cert = nullptr;
        int64_t notBefore = 0, notAfter = 0;
        int inhibitAnyPolicy = -1;  // skipCerts of inhibitAnyPolicy, -1 when absent
        ByteString ocspUrl;
        bool processed = false;
    };

    // Path building.
    int isIssuerCert(const PathCertificate& subject, const PathCertificate& candidate, bool& isIssuer);
    bool checkIndex(int index, const char* method);

    // Validation steps (PRFC3280_PathValidation_steps.cpp).
    int processRoot();
    int basicCertProcess(int i);
    int prepareForTheNextCert(int i);
    int wrapUp(int i);
    int validateValidity(int i);
    int processExtensions(int i);
    int processCertPolicies(int i, const PathCertificate::Extension& ext);
    int validateSubjectName(int i);
    int validatePolicyMappings(int i);
    int applyNameConstraints(int i);
    int applyPolicyConstraints(int i);
    int validateBasicConsts(int i);
    int validateKeyUsage(int i);
    int validateExtendedKeyUsage(int i, uint8_t keyUsage);
    int checkStrictEndEntity(int i);

    bool isTarget(int i) const { return i == getCertCount() - 1; }
    // A CA certificate: every one but the target, and the target in mode 1.
    bool isCA(int i) const { return !isTarget(i) || m_nTargetMode == kTargetCA; }
    // Records the reason of a failure; `message` is the user message.
    void setReason(int reason, const char* message);
    void setReason(int reason, const ByteString& message) { setReason(reason, message.c_str()); }

    std::vector<ByteString> m_pTrustAnchor;
    // The target and the bundle, decoded once; shared with the thread's cache
    // of decoded certificates, so only read.
    std::vector<std::shared_ptr<const PathCertificate>> m_Decoded;
    std::vector<CertInfo> m_pCertInfo;

    int m_nTargetMode = kTargetEndEntity;
    int m_nPurpose = kPurposeNone;
    int m_nOption = 0;
    int64_t m_tValidationTime = 0;
    int64_t m_tResolvedTime = 0;

    // RFC 3280 state variables.
    int m_nExplicitPolicy = 0;
    int m_nInhibitAnyPolicy = 0;
    int m_nPolicyMapping = 0;
    int m_nMaxPathLength = 0;
    const RRDNSequence* m_pWorking_issuer_name = nullptr;
    const RSubjectPublicKeyInfo* m_pWorkingPublicKey = nullptr;
    PNameConstraints m_NameConstraints;
    PValidPolicyTree m_pValid_policy_tree;

    int m_nReason = 0;
    ByteString m_ReasonMessage;
};

}  // namespace qelt
