#include "api/cert_verify_ctl.h"

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertificateTrustListsProcess.h"
#include "api/cert_verify_common.h"
#include "net/ldap_config.h"
#include "net/ldap_directory.h"
#include "net/ldap_url.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

namespace qelt {

namespace {

constexpr const char* kCtlAttribute = "certificatetrustlist";

int digestOf(int alg, const ByteString& data, ByteString& out, ServiceFailure& failure) {
    ZRHash hash;
    if (hash.DigestData(alg, data, out) != 0)
        return failure.setCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hash);
    return 0;
}

// The subject DN text of a certificate (empty when it cannot be read).
ByteString subjectText(const ByteString& cert) {
    PCertUtil parsed;
    if (parsed.parseCertificate(cert) != 0) return ByteString();
    ByteString dn(parsed.getSubjectDN());
    return parsed.errorCode() == 0 ? dn : ByteString();
}

}  // namespace

int checkCTL(int64_t when, const ByteString& ctl, const ByteString& root, const ByteString& anchor,
             ServiceFailure& failure) {
    PCertificateTrustListsProcess list;
    list.addSignerCert(anchor);
    if (const int rc = list.parseCTL(ctl); rc != 0) {
        if (rc == PCertificateTrustListsProcess::kNotCTL)
            return failure.setCore(QELT_ERR_CTL_NOT_CTL, "신뢰 인증서 목록이 아닙니다."_cp949, list);
        if (rc == PCertificateTrustListsProcess::kNoSignerCert)
            return failure.setCore(QELT_ERR_CTL_NO_SIGNER_CERT,
                                   "CTL 서명자의 인증서 정보가 없어서 CTL의 서명을 검증할 수 없습니다."_cp949, list);
        return failure.setCore(QELT_ERR_CTL_INVALID, "잘못된 신뢰 인증서 목록입니다."_cp949, list);
    }
    if (when < list.thisUpdate())
        return failure.setf(QELT_ERR_CTL_NOT_YET_VALID,
                            "인증서 신뢰 목록 발급 시간(%s)이 현재 시간(%s)이 보다 이후입니다."_cp949,
                            timeText(list.thisUpdate()).c_str(), timeText(when).c_str());
    if (list.nextUpdate() != PCertificateTrustListsProcess::kNoNextUpdate && when > list.nextUpdate())
        return failure.setf(QELT_ERR_CTL_EXPIRED,
                            "이미 유효기간이 지난 CTL 입니다.(현재 시간 : %s, 다음 갱신 시간 : %s)"_cp949,
                            timeText(when).c_str(), timeText(list.nextUpdate()).c_str());

    // The list must be the anchor's own: its signer certificate is the anchor, byte for byte.
    ByteString signerDigest, anchorDigest;
    if (digestOf(ALG_SHA1, list.signerCert(), signerDigest, failure) != 0 ||
        digestOf(ALG_SHA1, anchor, anchorDigest, failure) != 0)
        return failure.code;
    if (!signerDigest.equals(anchorDigest))
        return failure.set(QELT_ERR_CTL_UNTRUSTED_ISSUER, "CTL 발급자를 신뢰할 수 없습니다."_cp949);

    const int alg = list.subjectHashAlgorithm();
    if (alg == 0) return failure.set(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
    ByteString rootDigest;
    if (digestOf(alg, root, rootDigest, failure) != 0) return failure.code;
    if (list.listsDigest(rootDigest)) return 0;
    return failure.set(QELT_ERR_PATH_UNTRUSTED_ROOT,
                       "검증하고자 하는 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없습니다."_cp949);
}

int getCTL(ApiContext& ctx, const ByteString& anchor, int pass, ByteString& ctl, bool& fromCache,
           ServiceFailure& failure) {
    fromCache = false;
    const ByteString dn = subjectText(anchor);
    if (ctx.bUseCache != 0 && pass == 0 && readCache(cacheFilePath(ctx, "CTL", dn, "stl"), ctl)) {
        fromCache = true;
        return 0;
    }

    const DirectorySettings settings = directorySettings(ctx);
    LdapInfo info;
    if (const int rc = findLdapInfo(settings.confPath, dn, info, failure); rc != 0) {
        if (rc == QELT_ERR_LDAP_NO_ISSUER_INFO)
            return failure.setf(QELT_ERR_CTL_NO_LOCATION,
                                "환경파일에서 CTL의 게시 정보를 획득하는데 실패하였습니다. (%s)"_cp949, dn.c_str());
        if (rc == QELT_ERR_INVALID_ARGUMENT)
            return failure.set(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);
        return rc;
    }
    if (info.ctl.isEmpty())
        return failure.setf(QELT_ERR_LDAP_CONF, "환경파일에서 [%s]의 %s 정보를 읽는데 실패하였습니다."_cp949,
                            info.section.c_str(), "CTL");

    const ByteString address = joinDirectoryAddress(info.url, info.ctl);
    ParsedUrl url;
    DirectoryAnswer answer;
    int rc = parseURL(address.c_str(), UrlProtocol::Ldap, url, failure);
    if (rc == 0)
        rc = getDirectoryData(url.host, url.port, ByteString(url.path.c_str()), kCtlAttribute, settings.timeOut, false,
                              answer, failure);
    if (rc != 0) {
        failure.code = QELT_ERR_CTL_FETCH;
        failure.prepend("CTL을 획득 실패(%s) - "_cp949, address.c_str());
        return failure.code;
    }
    ctl = answer.values.front();
    return 0;
}

int trustRootByCTL(ApiContext& ctx, const std::vector<ByteString>& anchors, const ByteString& root,
                   ServiceFailure& failure) {
    const int64_t when = referenceTime(ctx);
    for (const ByteString& anchor : anchors) {
        ByteString ctl;
        bool fromCache = false;
        int rc = getCTL(ctx, anchor, 0, ctl, fromCache, failure);
        if (rc == 0) rc = checkCTL(when, ctl, root, anchor, failure);
        // A cached list that fails its check is only a reason to fetch it again.
        if (rc != 0 && fromCache) {
            rc = getCTL(ctx, anchor, 1, ctl, fromCache, failure);
            if (rc == 0) rc = checkCTL(when, ctl, root, anchor, failure);
        }
        if (rc == QELT_ERR_PATH_UNTRUSTED_ROOT || rc == QELT_ERR_CTL_UNTRUSTED_ISSUER) continue;
        if (rc != 0) return rc;
        if (!fromCache && ctx.bUseCache != 0 && !writeCache(cacheFilePath(ctx, "CTL", subjectText(anchor), "stl"), ctl))
            return failure.set(QELT_ERR_CTL_SAVE, "획득한 CTL을 저장하는데 실패하였습니다."_cp949);
        return 0;
    }
    return failure.set(QELT_ERR_PATH_UNTRUSTED_ROOT,
                       "검증하고자 하는 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없습니다."_cp949);
}

}  // namespace qelt
