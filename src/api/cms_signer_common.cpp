#include "api/cms_signer_common.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "util/cp949_literal.h"

namespace qelt::cms {

int chooseSignerHash(ApiCall& call, const ByteString& cert, int& hash) {
    if (call.ctx().nHashAlg != 0) {
        hash = call.ctx().nHashAlg;
        return 0;
    }
    RCertificate certificate;
    if (certificate.fromASN1Object(cert) != 0)
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, certificate);
    return chooseSignerHash(call, certificate, hash);
}

int chooseSignerHash(ApiCall& call, const RCertificate& cert, int& hash) {
    if (call.ctx().nHashAlg != 0) {
        hash = call.ctx().nHashAlg;
        return 0;
    }
    PAlgorithmUtil algs;
    if (algs.getHashAlgFromSignAlg(cert.getSignatureAlgorithm(), hash) != 0)
        return call.failCore(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949, algs);
    return 0;
}

}  // namespace qelt::cms
