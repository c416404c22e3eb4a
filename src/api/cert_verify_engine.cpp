#include "api/cert_verify_engine.h"

#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertificates.h"
#include "api/cert_verify_common.h"
#include "api/cert_verify_crl.h"
#include "api/cert_verify_ctl.h"
#include "net/ldap_path_builder.h"
#include "net/ocsp_check.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

namespace qelt {

namespace {

constexpr size_t kIpsBuffer = 512;
// composeCertPath's step for a target that does not decode.
constexpr int kComposeBadTarget = 2;

// The texts a pass shows, for an ordinary target and for an OCSP responder's
// certificate (type 3).
struct PassTexts {
    const char* badTarget;
    const char* pathFetch;
    const char* pathCompose;
    const char* untrustedRoot;
    const char* caRevocation;
    const char* targetRevocation;
    const char* validationPrefix;
};
constexpr PassTexts kTargetTexts{
    "잘못된 검증하고자 하는 인증서 입니다."_cp949,
    "인증서 경로 구축 - "_cp949,
    "인증서 경로 구성을 실패하였습니다."_cp949,
    "검증하고자 하는 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없습니다."_cp949,
    "검증하고자 하는 인증서의 인증기관 인증서 폐지 여부 확인 - "_cp949,
    "검증하고자 하는 인증서의 폐지 여부 확인 - "_cp949,
    "",
};
constexpr PassTexts kOcspTexts{
    "잘못된 OCSP 인증서 입니다."_cp949,
    "OCSP 인증서 경로 구축 - "_cp949,
    "OCSP 인증서 경로 구성을 실패하엿습니다."_cp949,
    "OCSP 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없습니다."_cp949,
    "OCSP 인증서의 인증기관 인증서 폐지 여부 확인 - "_cp949,
    "OCSP 인증서의 폐지 여부 확인 - "_cp949,
    "OCSP "_cp949,
};
const PassTexts& textsFor(int certType) { return certType == kCertTypeOcsp ? kOcspTexts : kTargetTexts; }

// The path engine's purpose for a certificate type.
int purposeOf(int certType) {
    switch (certType) {
        case kCertTypeSign:
            return PRFC3280_PathValidation::kPurposeSign;
        case kCertTypeKeyManagement:
            return PRFC3280_PathValidation::kPurposeKeyManagement;
        case kCertTypeOcsp:
            return PRFC3280_PathValidation::kPurposeOcsp;
        case kCertTypeTsa:
            return PRFC3280_PathValidation::kPurposeTsa;
        default:
            return PRFC3280_PathValidation::kPurposeNone;
    }
}

// The service's code and message for the reason a validation failed.
struct ReasonText {
    int reason;
    int code;
    const char* message;
};
constexpr ReasonText kReasonTexts[] = {
    {PRFC3280_PathValidation::kReasonKeyUsage, QELT_ERR_PATH_KEY_USAGE,
     "인증서 경로 검증 시, 키용도 검증을 실패하였습니다."_cp949},
    {PRFC3280_PathValidation::kReasonBasicConstraints, QELT_ERR_PATH_BASIC_CONSTRAINTS,
     "인증서 경로 검증 시, 기본 제한 검증을 실패하였습니다."_cp949},
    {PRFC3280_PathValidation::kReasonNameConstraints, QELT_ERR_PATH_NAME_CONSTRAINTS,
     "인증서 경로 검증 시, 이름 제한 검증을 실패하였습니다."_cp949},
    {PRFC3280_PathValidation::kReasonPolicy, QELT_ERR_PATH_POLICY,
     "인증서 경로 검증 시, 인증서 정책 검증을 실패하였습니다."_cp949},
    {PRFC3280_PathValidation::kReasonValidity, QELT_ERR_PATH_VALIDITY,
     "인증서 경로 검증 시, 유효기간 검증을 실패하였습니다."_cp949},
    {PRFC3280_PathValidation::kReasonCAValidity, QELT_ERR_PATH_VALIDITY,
     "인증서 경로 검증 시, 유효기간 검증을 실패하였습니다."_cp949},
};
const ReasonText kOtherReason{0, QELT_ERR_PATH_VALIDATION, "인증서 경로 검증 실패하였습니다."_cp949};

const ReasonText& reasonText(int reason) {
    for (const ReasonText& r : kReasonTexts)
        if (r.reason == reason) return r;
    return kOtherReason;
}

// The [VALIDATOIN_OPTION] IPS value of the configuration file; empty when
// absent; false when the file cannot be read.
//
// Every verification without a policy set of its own asks for it, and opening
// and reading the file costs more system calls than the rest of a verification
// without revocation checks. The value last read is therefore kept per thread
// with the file's identity and last change (device, inode, size, modification
// time to the nanosecond) and read again only when one of them differs. File
// systems stamp changes with a coarse clock, so two writes in quick succession
// can leave the same time: a file changed less than two seconds before it was
// read is not kept, and is read again at every call until it is older.
bool configuredIps(const ApiContext& ctx, std::string& out) {
    struct Kept {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        std::string value;
    };
    thread_local Kept kept;
    out.clear();
    if (ctx.pszConfFilePath == nullptr) return false;
    struct stat st {};
    const bool known = ::stat(ctx.pszConfFilePath, &st) == 0;
    if (known && kept.path == ctx.pszConfFilePath && kept.device == st.st_dev && kept.inode == st.st_ino &&
        kept.size == st.st_size && kept.modified.tv_sec == st.st_mtim.tv_sec &&
        kept.modified.tv_nsec == st.st_mtim.tv_nsec) {
        out = kept.value;
        return true;
    }
    Profile profile;
    if (profile.setPath(ctx.pszConfFilePath) != Profile::kPathOk) return false;
    std::vector<char> value(kIpsBuffer);
    if (profile.getString("VALIDATOIN_OPTION", "IPS", value.data(), value.size(), "") > 0) out = value.data();
    kept.path.clear();
    constexpr time_t kStampGrain = 2;
    timespec now{};
    if (known && ::clock_gettime(CLOCK_REALTIME, &now) == 0 && st.st_mtim.tv_sec + kStampGrain <= now.tv_sec)
        kept = Kept{ctx.pszConfFilePath, st.st_dev, st.st_ino, st.st_size, st.st_mtim, out};
    return true;
}

// One pass over one target, its state kept between the steps.
class VerificationPass {
public:
    VerificationPass(ApiContext& ctx, const VerifyRequest& request, int pass, ByteString& responderCert,
                     ServiceFailure& failure)
        : m_ctx(ctx),
          m_request(request),
          m_pass(pass),
          m_texts(textsFor(request.certType)),
          m_responderCert(responderCert),
          m_failure(failure) {}

    int run() {
        if (const int rc =
                getCaBundle(m_ctx, m_request.cert, m_request.certType, m_pass, m_bundle, m_bFromCache, m_failure);
            rc != 0)
            return rc;
        if (const int rc = setUpEngine(); rc != 0) return rc;
        if (const int rc = composePath(); rc != 0) return rc;
        if (const int rc = decideTrust(); rc != 0) return rc;
        if (const int rc = addInitialPolicies(); rc != 0) return rc;
        m_engine.setValidationTime(m_ctx.tVerifyTime);
        if (const int rc = validate(); rc != 0) return rc;
        if (m_ctx.nVerifyCheck == kRevokeNone) return 0;
        if (const int rc = checkCaCertificates(); rc != 0) return rc;
        return checkTarget();
    }

private:
    int last() const { return m_engine.getCertCount() - 1; }

    // Scope and purpose.
    int setUpEngine() {
        if ((m_ctx.nVerifyType & kScopeFullPath) == 0)
            return m_failure.set(QELT_ERR_NOT_SUPPORTED_FUNCTION,
                                 "윈도우 클라이언트 모듈에서는 인증서 검증 범위를 지정할 수 없습니다."_cp949);
        if ((m_ctx.nVerifyType & kScopeStrictEndEntity) != 0) m_engine.setStrictOption();
        m_engine.setCertPurpose(purposeOf(m_request.certType));
        return 0;
    }

    int composePath() {
        const int rc = m_engine.composeCertPath(m_request.cert, m_bundle);
        if (rc == 0) return 0;
        if (rc == kComposeBadTarget) return m_failure.setCore(QELT_ERR_CERT_INVALID, m_texts.badTarget, m_engine);
        if (m_bFromCache) return kRetryWithFreshBundle;
        return m_failure.setCore(QELT_ERR_PATH_BUILD, m_texts.pathCompose, m_engine);
    }

    // The root must be a trust anchor, or be listed by an anchor's trust list.
    int decideTrust() {
        if (m_ctx.pTrustedCerts == nullptr || m_ctx.pTrustedCerts->isEmpty())
            return m_failure.set(QELT_ERR_NO_TRUST_ANCHOR, "신뢰하는 최상위 인증기관 인증서를 지정하세요."_cp949);
        PCertificates list;
        if (list.setCerts(*m_ctx.pTrustedCerts) != 0)
            return m_failure.setCore(QELT_ERR_CERT_LIST_NOT_LIST, "잘못된 최상위 인증기관 인증서 목록입니다."_cp949,
                                     list);
        std::vector<ByteString> anchors(static_cast<size_t>(list.count()));
        for (int i = 0; i < list.count(); ++i) {
            if (list.getCert(i, anchors[static_cast<size_t>(i)]) != 0)
                return m_failure.setCore(QELT_ERR_CERT_LIST_NOT_LIST, "잘못된 최상위 인증기관 인증서 목록입니다."_cp949,
                                         list);
            if (m_engine.addTrustAnchor(anchors[static_cast<size_t>(i)]) != 0)
                return m_failure.set(QELT_ERR_MEMORY, "메모리 할당 실패"_cp949);
        }
        bool trusted = false;
        if (m_engine.trustRootCert(trusted) != 0)
            return m_failure.setCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, m_engine);
        if (trusted) return 0;

        for (const ByteString& anchor : anchors) {
            PCertUtil check;
            if (check.parseCertificate(anchor) != 0)
                return m_failure.setCore(
                    QELT_ERR_CERT_LIST_BAD_CERT,
                    "지정된 신뢰하는 최상위 인증기관 인증서 중에 잘못된 형식의 인증서가 있습니다."_cp949, check);
        }
        const int rc = trustRootByCTL(m_ctx, anchors, m_engine.getCert(0), m_failure);
        if (rc == QELT_ERR_PATH_UNTRUSTED_ROOT) return m_failure.set(rc, m_texts.untrustedRoot);
        return rc;
    }

    // The caller's policy set, else the configuration's, split at ";".
    int addInitialPolicies() {
        std::string ips = m_request.ips != nullptr ? m_request.ips : "";
        if (ips.empty() && !configuredIps(m_ctx, ips))
            return m_failure.set(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);
        size_t start = 0;
        while (start <= ips.size()) {
            const size_t end = std::min(ips.find(';', start), ips.size());
            const std::string policy = ips.substr(start, end - start);
            if (!policy.empty() && m_engine.addUser_initial_policy(policy.c_str(), '.') != 0)
                return m_failure.setCore(QELT_ERR_PATH_POLICY,
                                         "인증서 경로 검증 시, 인증서 정책 검증을 실패하였습니다."_cp949, m_engine);
            start = end + 1;
        }
        // Adds initial-explicit-policy when the set is not empty.
        m_engine.setOption(m_engine.getOption());
        return 0;
    }

    int validate() {
        if (m_engine.verifyCert(PRFC3280_PathValidation::kTargetEndEntity) == 0) return 0;
        const int reason = m_engine.getReason();
        if (reason == PRFC3280_PathValidation::kReasonCAValidity && m_bFromCache) return kRetryWithFreshBundle;
        const ReasonText& text = reasonText(reason);
        PCertUtil target;
        ByteString serial, subject;
        if (target.parseCertificate(m_request.cert) == 0) {
            serial = target.getSerialNumber(0).toHex();
            subject = target.getSubjectDN();
        }
        for (int i = 0; i < serial.length(); ++i)
            if (serial.data()[i] >= 'A' && serial.data()[i] <= 'F') serial.data()[i] += 'a' - 'A';
        ByteString detail(m_engine.getReasonMessage().isEmpty() ? m_engine.errorChain() : m_engine.getReasonMessage());
        ByteString info;
        info.format("<인증서 정보 : 일련번호 = %s, DN = %s>"_cp949, serial.c_str(), subject.c_str());
        detail.append(info);
        ByteString message(m_texts.validationPrefix);
        message.append(text.message);
        m_failure.set(text.code, message.c_str());
        m_failure.kind = ErrKind::Core;
        m_failure.libText = std::move(detail);
        return text.code;
    }

    // The CA certificates by their issuers' ARLs, root first (its own issuer).
    int checkCaCertificates() {
        const int option = m_ctx.nVerifyCheck;
        if (option != kRevokeAll && (option & kRevokeCaByArl) == 0) return 0;
        for (int i = 0; i < last(); ++i) {
            const ByteString dps(m_engine.getCRLDPs(i));
            if (dps.isEmpty()) continue;
            const ByteString cert(m_engine.getCert(i));
            const ByteString issuer(m_engine.getCert(i > 0 ? i - 1 : 0));
            CrlRevocation entry;
            const int rc = checkCRL(m_ctx, true, dps, issuer, cert, entry, m_failure);
            if (rc == 0) continue;
            if ((rc == QELT_ERR_CERT_SUSPENDED || rc == QELT_ERR_CERT_REVOKED) && m_bFromCache)
                return kRetryWithFreshBundle;
            m_failure.prepend("%s", m_texts.caRevocation);
            return rc;
        }
        return 0;
    }

    int checkTarget() {
        const int option = m_ctx.nVerifyCheck;
        if (m_request.certType != kCertTypeOcsp && (option == kRevokeAll || (option & kRevokeTargetByOcsp) != 0)) {
            const int rc = checkTargetByOcspStep();
            if (rc == 0 || rc == QELT_ERR_CERT_SUSPENDED || rc == QELT_ERR_CERT_REVOKED) return rc;
            if (option != kRevokeAll && (option & kRevokeTargetByCrl) == 0) return rc;
        } else if (m_request.certType != kCertTypeOcsp && option != kRevokeAll && (option & kRevokeTargetByCrl) == 0) {
            return 0;
        }
        return checkTargetByCrl();
    }

    // The responder (the context's "[UseThisURLFirst]" address, the target's
    // own, the context's, the configuration's OCSP_SERVER) is asked about the
    // target; its certificate comes back for validation in turn.
    int checkTargetByOcspStep() {
        const ByteString target(m_engine.getCert(last()));
        const ByteString issuer(m_engine.getCert(last() > 0 ? last() - 1 : 0));
        return checkTargetByOCSP(m_ctx, target, issuer, m_request.signOcspRequest, m_request.requesterCert,
                                 m_request.requesterKey, m_responderCert, m_failure);
    }

    int checkTargetByCrl() {
        const ByteString dps(m_engine.getCRLDPs(last()));
        if (dps.isEmpty()) return 0;
        // The engine's accessors share one result buffer: each value is copied out.
        const ByteString issuer(m_engine.getCert(last() > 0 ? last() - 1 : 0));
        const ByteString target(m_engine.getCert(last()));
        CrlRevocation entry;
        const int rc = checkCRL(m_ctx, false, dps, issuer, target, entry, m_failure);
        if (rc != 0) m_failure.prepend("%s", m_texts.targetRevocation);
        return rc;
    }

    ApiContext& m_ctx;
    const VerifyRequest& m_request;
    const int m_pass;
    const PassTexts& m_texts;
    ByteString& m_responderCert;
    ServiceFailure& m_failure;
    PRFC3280_PathValidation m_engine;
    ByteString m_bundle;
    bool m_bFromCache = false;
};

}  // namespace

int getCaBundle(ApiContext& ctx, const ByteString& target, int certType, int pass, ByteString& bundle, bool& fromCache,
                ServiceFailure& failure) {
    const PassTexts& texts = textsFor(certType);
    fromCache = false;
    // The caller's bundle needs nothing of the target; a target that does not
    // decode then fails path composition with the same code and message.
    if (ctx.pCaPubs != nullptr && !ctx.pCaPubs->isEmpty()) {
        bundle.assign(*ctx.pCaPubs);
        return 0;
    }
    PCertUtil cert;
    ByteString issuerDN;
    if (cert.parseCertificate(target) == 0) issuerDN = cert.getIssuerDN();
    if (issuerDN.isEmpty()) return failure.setCore(QELT_ERR_CERT_INVALID, texts.badTarget, cert);
    const std::string path = cacheFilePath(ctx, "CaPubs", issuerDN, "cpb");
    if (ctx.bUseCache != 0 && pass == 0 && readCache(path, bundle)) {
        fromCache = true;
        return 0;
    }
    if (const int rc = buildCertPathFromDirectory(directorySettings(ctx), target, bundle, failure); rc != 0) {
        failure.prepend("%s", texts.pathFetch);
        return rc;
    }
    if (ctx.bUseCache != 0 && !writeCache(path, bundle))
        return failure.set(QELT_ERR_PATH_SAVE, "획득한 인증서 경로를 저장하는데 실패하였습니다."_cp949);
    return 0;
}

int runVerificationPass(ApiContext& ctx, const VerifyRequest& request, int pass, ByteString& responderCert,
                        ServiceFailure& failure) {
    responderCert.clear();
    return VerificationPass(ctx, request, pass, responderCert, failure).run();
}

}  // namespace qelt
