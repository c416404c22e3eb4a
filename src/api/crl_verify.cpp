#include "api/crl_verify.h"

#include "ASN1Pkix/GCertListProcess.h"
#include "ASN1Pkix/pkix_time.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kReasonCodeOid = "2 5 29 21";

constexpr const char* kReasonNames[] = {
    "unspecified",   "keyCompromise",        "cACompromise",    "affiliationChanged",
    "superseded",    "cessationOfOperation", "certificateHold", "",
    "removeFromCRL", "privilegeWithdreawn",  "aACompromise",
};

// The serial number as the checker looks it up: the INTEGER content without
// the one leading 00 octet that only carries the sign.
ByteString serialOf(const PathCertificate& cert) {
    const ByteString& content = cert.tbs().getSerialNumber().getValue();
    const int skip = content.length() > 1 && content.data()[0] == 0x00 ? 1 : 0;
    return ByteString(content.data() + skip, content.length() - skip);
}

// The reasonCode entry extension: -1 when absent, -2 when unreadable.
int reasonOf(const RRevokedCertificate& entry) {
    if (!entry.hasCrlEntryExtensions()) return -1;
    RExtension ext;
    if (entry.getCrlEntryExtensions().findExtension(kReasonCodeOid, ext) != 0) return -1;
    ASN1Enumerated value;
    if (value.fromASN1Object(ext.getExtnValue().getValue()) != 0 || value.getValue().isEmpty() ||
        value.getValue().length() > 4)
        return -2;
    return value.getInteger();
}

}  // namespace

const char* crlReasonName(int reason) { return reason >= 0 && reason <= 10 ? kReasonNames[reason] : ""; }

int verifyCRL(ApiCall& call, std::span<const uint8_t> crl, const ByteString& issuerCert, const ByteString& subjectCert,
              CrlRevocation& out) {
    out = CrlRevocation{};
    const char* invalid = "잘못된 인증서 폐지 목록(CRL) 입니다."_cp949;
    GCertListProcess checker;
    if (const int rc = checker.parseCertList(crl, issuerCert, subjectCert); rc != 0) {
        if (rc == GCertListProcess::kNotCertificateList)
            return call.failCore(QELT_ERR_CRL_NOT_CRL, "인증서 폐지 목록이 아닙니다."_cp949, checker);
        return call.failCore(checker.isIndirectCRL() ? kCrlIndirectFailed : QELT_ERR_CRL_INVALID, invalid, checker);
    }

    const int64_t now = call.ctx().tVerifyTime != 0 ? call.ctx().tVerifyTime : currentSeconds();
    if (now < checker.getThisUpdate())
        return call.failf(QELT_ERR_CRL_BAD_VALIDITY,
                          "인증서 폐지 목록을 발급한 시간(%s)이 현재 시간(%s) 보다 이전입니다."_cp949,
                          pkixTimeText(checker.getThisUpdate()).c_str(), pkixTimeText(now).c_str());
    // A CRL without nextUpdate does not expire: it is judged by thisUpdate alone.
    if (checker.getNextUpdate() && now > *checker.getNextUpdate())
        return call.failf(QELT_ERR_CRL_EXPIRED,
                          "이미 유효기간이 지난 CRL 입니다.(현재 시간 : %s, 다음 갱신 시간 : %s)"_cp949,
                          pkixTimeText(now).c_str(), pkixTimeText(*checker.getNextUpdate()).c_str());

    const PathCertificate* subject = checker.subject();
    if (subject == nullptr) return call.fail(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949);
    bool found = false;
    std::span<const uint8_t> entryBytes;
    if (checker.isRevoked(serialOf(*subject), found, entryBytes) != 0)
        return call.failCore(QELT_ERR_CRL_INVALID, invalid, checker);
    if (!found) return 0;

    RRevokedCertificate entry;
    if (entry.fromASN1Object(entryBytes) != 0) return call.failCore(QELT_ERR_CRL_INVALID, invalid, entry);
    const RTime& date = entry.getRevocationDate();
    const auto seconds = pkixSeconds(date);
    if (!seconds) return call.fail(QELT_ERR_CRL_INVALID, invalid);
    const int reason = reasonOf(entry);
    if (reason < -1 || reason > 10)
        return call.failf(QELT_ERR_CRL_INVALID,
                          "잘못된 인증서 폐지 목록(CRL) 입니다. : 알 수 없는 폐지 사유(%d)가 지정되어있습니다."_cp949,
                          reason);
    out.listed = true;
    out.generalizedTime = date.isGeneralTime();
    out.revocationDate.assign(out.generalizedTime ? date.getGeneralTime().getValue() : date.getUtcTime().getValue());
    out.revocationTime = *seconds;
    out.reason = reason;
    return 0;
}

}  // namespace qelt
