// The service-level CRL and ARL check: cache, directory, verifyCRL, verdict.
#include "api/cert_verify_crl.h"

#include "ZRProcess/PCertUtil.h"
#include "api/cert_verify_common.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

// verifyCRL records its failure in an API call; a call of its own on a
// scratch context (same validation time) keeps that record here, composed
// without a function name, so that the service can put its own words in
// front of it.
int verifyCrlHere(const ApiContext& ctx, const ByteString& crl, const ByteString& issuerCert,
                  const ByteString& subjectCert, CrlRevocation& entry, ServiceFailure& failure) {
    ApiContext scratch{};
    scratch.bInitialized = 1;
    scratch.tVerifyTime = ctx.tVerifyTime;
    ApiCall call(scratch, nullptr);
    int rc = verifyCRL(call, crl.bytes(), issuerCert, subjectCert, entry);
    if (rc != 0) {
        // An indirect CRL that fails its checks is as unusable as any other.
        if (rc == kCrlIndirectFailed) rc = QELT_ERR_CRL_INVALID;
        failure.set(rc, scratch.pszErrMsg != nullptr ? scratch.pszErrMsg : "");
    }
    ClearError(&scratch);
    return rc;
}

int verdict(bool forCA, const CrlRevocation& entry, ServiceFailure& failure) {
    if (!entry.listed) return 0;
    const std::string when = timeText(entry.revocationTime);
    if (entry.reason == 6)
        return failure.setf(QELT_ERR_CERT_SUSPENDED,
                            forCA ? "효력정지된 인증기관 인증서가 있습니다. (폐지 일시 : %s)"_cp949
                                  : "효력정지된 인증서입니다. (폐지 일시 : %s)"_cp949,
                            when.c_str());
    return failure.setf(QELT_ERR_CERT_REVOKED,
                        forCA ? "폐지된 인증기관 인증서가 있습니다. (폐지 일자 : %s, 폐지 사유 : %s)"_cp949
                              : "폐지된 인증서가 있습니다. (폐지 일자 : %s, 폐지 사유 : %s)"_cp949,
                        when.c_str(), crlReasonName(entry.reason));
}

}  // namespace

int checkCRL(ApiContext& ctx, bool forCA, const ByteString& dpsExtValue, const ByteString& issuerCert,
             const ByteString& subjectCert, CrlRevocation& entry, ServiceFailure& failure) {
    const char* kind = forCA ? "ARL" : "CRL";
    PCertUtil subject;
    if (subject.parseCertificate(subjectCert) != 0)
        return failure.setCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, subject);
    std::vector<ByteString> entries;
    if (const int rc = distributionPointEntries(dpsExtValue, subject.certificate()->getTbsCertificate().getIssuer(),
                                                entries, failure);
        rc != 0)
        return rc;

    if (ctx.bUseCache != 0) {
        // The cache file is named by the first distribution point that gives a DN.
        ByteString name;
        for (const ByteString& e : entries)
            if (name = distributionPointDN(e); !name.isEmpty()) break;
        const std::string path = cacheFilePath(ctx, kind, name, "crl");
        ByteString cached;
        if (!name.isEmpty() && readCache(path, cached)) {
            ServiceFailure ignored;
            if (verifyCrlHere(ctx, cached, issuerCert, subjectCert, entry, ignored) == 0)
                return verdict(forCA, entry, failure);
            // A cached list that fails a check is never reported: it is fetched again.
            dropCache(path);
        }
    }

    ByteString crl, servedBy;
    if (const int rc = fetchCRLFromDistributionPoints(directorySettings(ctx), forCA ? kArlAttribute : kCrlAttribute,
                                                      entries, crl, servedBy, failure);
        rc != 0)
        return rc;
    if (const int rc = verifyCrlHere(ctx, crl, issuerCert, subjectCert, entry, failure); rc != 0) return rc;
    // Only a list that passed its checks is kept for the next time.
    if (ctx.bUseCache != 0) {
        const std::string path = cacheFilePath(ctx, kind, servedBy, "crl");
        if (!writeCache(path, crl))
            return failure.setf(QELT_ERR_CRL_SAVE, "CRL/ARL 파일을 저장하는데 실패하였습니다. (파일 위치 : %s)"_cp949,
                                path.c_str());
    }
    return verdict(forCA, entry, failure);
}

}  // namespace qelt
